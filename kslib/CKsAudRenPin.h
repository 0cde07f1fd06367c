// The render sink pin of an audio filter.
#pragma once
#include "CKsAudPin.h"

class CKsAudRenPin : public CKsAudPin {
 public:
  CKsAudRenPin(CKsFilter* pFilter, ULONG nId, HRESULT* phr);
};
