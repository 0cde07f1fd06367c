// One topology node of a filter: its index and its type.
#pragma once
#include "KsCommon.h"

class CKsNode : public CKsHeapObject {
 public:
  CKsNode(ULONG id, REFGUID type);
  ULONG nodeId;
  char name[4];  // "NONE": nodes carry no name of their own
  GUID nodeType;
};
