// An audio filter: its pins are audio pins (render and capture sink pins get their own classes).
#pragma once
#include "CKsFilter.h"

class CKsAudFilter : public CKsFilter {
 public:
  CKsAudFilter(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName, HRESULT* phr);
  virtual HRESULT EnumeratePins();
};
