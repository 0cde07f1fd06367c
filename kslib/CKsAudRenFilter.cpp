// The audio render filter.
#include "CKsAudRenFilter.h"

#include "CKsAudPin.h"

CKsAudRenFilter::CKsAudRenFilter(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName, HRESULT* phr)
    : CKsAudFilter(pszSymbolicLink, pszFriendlyName, phr) {
  KS_ENTER("CKsAudRenFilter::CKsAudRenFilter");
  filterType = eAudRen;
  KS_LEAVE_HR("CKsAudRenFilter::CKsAudRenFilter", phr != NULL ? *phr : S_OK);
}

CKsAudPin* CKsAudRenFilter::FindViablePin(const WAVEFORMATEX* pwfx, int checks) {
  KS_ENTER("CKsAudRenFilter::FindViablePin");
  CKsAudPin* found = NULL;
  for (CKsList<CKsPin>::Entry* e = renderSinkPins.GetHead(); e != NULL && found == NULL; e = e->next) {
    CKsAudPin* pin = static_cast<CKsAudPin*>(e->item);
    if (pin->IsFormatSupported(pwfx, checks)) found = pin;
  }
  KS_LEAVE("CKsAudRenFilter::FindViablePin");
  return found;
}
