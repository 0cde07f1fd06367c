// render sink pins.
#include "CKsAudRenPin.h"

CKsAudRenPin::CKsAudRenPin(CKsFilter* pFilter, ULONG nId, HRESULT* phr) : CKsAudPin(pFilter, nId, phr) {
  KS_ENTER("CKsAudRenPin::CKsAudRenPin");
  pinType = ePinRender;
  KS_LEAVE_HR("CKsAudRenPin::CKsAudRenPin", phr != NULL ? *phr : S_OK);
}
