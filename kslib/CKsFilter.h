// A kernel-streaming filter opened through its device interface: its pins, sorted by data
// flow and communication, and its topology nodes.
#pragma once
#include "CKsIrpTarget.h"
#include "CKsNode.h"

enum ETypeFilter { eUnknown = 0, eAudRen = 1, eAudCap = 2 };

class CKsFilter : public CKsIrpTarget {
 public:
  CKsFilter(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName, HRESULT* phr);
  virtual ~CKsFilter();

  virtual HRESULT Instantiate();
  virtual HRESULT EnumerateNodes();
  virtual HRESULT EnumeratePins();
  virtual HRESULT DestroyLists();

  HRESULT GetPinPropertySimple(ULONG pinId, REFGUID set, ULONG id, PVOID value, ULONG valueSize);
  HRESULT GetPinPropertyMulti(ULONG pinId, REFGUID set, ULONG id, PKSMULTIPLE_ITEM* buffer);
  HRESULT ClassifyPins();

  CKsList<CKsNode> nodes;
  CKsList<CKsPin> pins;
  CKsList<CKsPin> renderSinkPins;
  CKsList<CKsPin> captureSourcePins;
  CKsList<CKsPin> captureSinkPins;
  CKsList<CKsPin> renderSourcePins;
  CKsList<CKsPin> noCommPins;
  int filterType;
  char symbolicLink[MAX_PATH];
  char friendlyName[MAX_PATH];

 protected:
  HRESULT InternalInit(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName);
  void DeleteAllPins();
};
