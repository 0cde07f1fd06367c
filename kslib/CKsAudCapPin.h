// The capture sink pin of an audio filter.
#pragma once
#include "CKsAudPin.h"

class CKsAudCapPin : public CKsAudPin {
 public:
  CKsAudCapPin(CKsFilter* pFilter, ULONG nId, HRESULT* phr);
};
