// The base of filters and pins: a kernel object handle with synchronous I/O control and
// property access.
#pragma once
#include "KsCommon.h"

class CKsIrpTarget : public CKsHeapObject {
 public:
  CKsIrpTarget();

  static BOOL IsValidHandle(HANDLE h);
  static BOOL SafeCloseHandle(HANDLE& h);

  HRESULT SyncIoctl(HANDLE target, ULONG ioControlCode, PVOID inBuffer, ULONG inSize, PVOID outBuffer, ULONG outSize,
                    PULONG bytesReturned);
  HRESULT GetPropertySimple(REFGUID set, ULONG id, PVOID value, ULONG valueSize);
  // The buffer is a private-heap block that the caller frees (KsHeapFree); its header's Size is
  // never larger than the block.
  HRESULT GetPropertyMulti(REFGUID set, ULONG id, PKSMULTIPLE_ITEM* buffer);
  HRESULT SetPropertySimple(REFGUID set, ULONG id, PVOID value, ULONG valueSize);

  HANDLE handle;

 protected:
  // The size query and the read of a variable-length property described by `request`.
  HRESULT QueryMulti(PVOID request, ULONG requestSize, PKSMULTIPLE_ITEM* buffer);
};
