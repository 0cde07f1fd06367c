// The audio capture filter: finds the capture sink pin that accepts a format.
#pragma once
#include "CKsAudFilter.h"

class CKsAudCapFilter : public CKsAudFilter {
 public:
  CKsAudCapFilter(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName, HRESULT* phr);
  CKsAudPin* FindViablePin(const WAVEFORMATEX* pwfx, int checks);
};
