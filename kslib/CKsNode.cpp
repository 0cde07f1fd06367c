// Topology nodes.
#include "CKsNode.h"

CKsNode::CKsNode(ULONG id, REFGUID type) : nodeId(id), nodeType(type) {
  KS_ENTER("CKsNode::CKsNode");
  memcpy(name, "NONE", 4);
  KS_LEAVE("CKsNode::CKsNode");
}
