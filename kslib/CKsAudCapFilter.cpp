// The audio capture filter.
#include "CKsAudCapFilter.h"

#include "CKsAudPin.h"

CKsAudCapFilter::CKsAudCapFilter(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName, HRESULT* phr)
    : CKsAudFilter(pszSymbolicLink, pszFriendlyName, phr) {
  KS_ENTER("CKsAudCapFilter::CKsAudCapFilter");
  filterType = eAudCap;
  KS_LEAVE_HR("CKsAudCapFilter::CKsAudCapFilter", phr != NULL ? *phr : S_OK);
}

CKsAudPin* CKsAudCapFilter::FindViablePin(const WAVEFORMATEX* pwfx, int checks) {
  KS_ENTER("CKsAudCapFilter::FindViablePin");
  CKsAudPin* found = NULL;
  for (CKsList<CKsPin>::Entry* e = captureSinkPins.GetHead(); e != NULL && found == NULL; e = e->next) {
    CKsAudPin* pin = static_cast<CKsAudPin*>(e->item);
    if (pin->IsFormatSupported(pwfx, checks)) found = pin;
  }
  KS_LEAVE("CKsAudCapFilter::FindViablePin");
  return found;
}
