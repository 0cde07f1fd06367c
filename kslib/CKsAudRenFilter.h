// The audio render filter: finds the render sink pin that accepts a format.
#pragma once
#include "CKsAudFilter.h"

class CKsAudRenFilter : public CKsAudFilter {
 public:
  CKsAudRenFilter(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName, HRESULT* phr);
  CKsAudPin* FindViablePin(const WAVEFORMATEX* pwfx, int checks);
};
