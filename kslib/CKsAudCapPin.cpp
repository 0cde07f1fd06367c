// capture sink pins.
#include "CKsAudCapPin.h"

CKsAudCapPin::CKsAudCapPin(CKsFilter* pFilter, ULONG nId, HRESULT* phr) : CKsAudPin(pFilter, nId, phr) {
  KS_ENTER("CKsAudCapPin::CKsAudCapPin");
  pinType = ePinCapture;
  KS_LEAVE_HR("CKsAudCapPin::CKsAudCapPin", phr != NULL ? *phr : S_OK);
}
