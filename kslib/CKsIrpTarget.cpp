// Synchronous I/O control on a kernel-streaming object, and the property requests built on it.
#include "CKsIrpTarget.h"

CKsIrpTarget::CKsIrpTarget() : handle(INVALID_HANDLE_VALUE) {}

BOOL CKsIrpTarget::IsValidHandle(HANDLE h) {
  KS_ENTER("CKsIrpTarget::IsValidHandle");
  BOOL valid = h != NULL && h != INVALID_HANDLE_VALUE;
  KS_LEAVE("CKsIrpTarget::IsValidHandle");
  return valid;
}

BOOL CKsIrpTarget::SafeCloseHandle(HANDLE& h) {
  KS_ENTER("CKsIrpTarget::SafeCloseHandle");
  BOOL result = TRUE;
  if (IsValidHandle(h)) {
    result = CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
  }
  KS_LEAVE("CKsIrpTarget::SafeCloseHandle");
  return result;
}

HRESULT CKsIrpTarget::SyncIoctl(HANDLE target, ULONG ioControlCode, PVOID inBuffer, ULONG inSize, PVOID outBuffer,
                                ULONG outSize, PULONG bytesReturned) {
  KS_ENTER("CKsIrpTarget::SyncIoctl");
  if (!IsValidHandle(target)) {
    LogMessage(KS_LOG_ERROR, "CKsIrpTarget::SyncIoctl Invalid Handle");
    KS_LEAVE_HR("CKsIrpTarget::SyncIoctl", E_FAIL);
    return E_FAIL;
  }
  OVERLAPPED overlapped;
  memset(&overlapped, 0, sizeof overlapped);
  HANDLE event = CreateEventA(NULL, FALSE, FALSE, NULL);
  if (event == NULL) {
    LogMessage(KS_LOG_ERROR, "CKsIrpTarget::SyncIoctl CreateEvent failed");
    KS_LEAVE_HR("CKsIrpTarget::SyncIoctl", E_OUTOFMEMORY);
    return E_OUTOFMEMORY;
  }
  // Bit 0 set: the completion is not queued to a completion port.
  overlapped.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event) | 1);
  ULONG local = 0;
  if (bytesReturned == NULL) bytesReturned = &local;
  DWORD returned = 0;
  HRESULT hr = S_OK;
  if (DeviceIoControl(target, ioControlCode, inBuffer, inSize, outBuffer, outSize, &returned, &overlapped)) {
    *bytesReturned = returned;
  } else {
    DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      DWORD wait = WaitForSingleObject(event, INFINITE);
      if (wait != WAIT_OBJECT_0) {
        LogMessage(KS_LOG_ERROR, "CKsIrpTarget::SyncIoctl WaitForSingleObject failed dwWait:0x%08x", wait);
        hr = E_FAIL;
      }
      *bytesReturned = 0;
    } else if ((error == ERROR_INSUFFICIENT_BUFFER || error == ERROR_MORE_DATA) && ioControlCode == IOCTL_KS_PROPERTY &&
               outSize == 0) {
      *bytesReturned = returned;  // a size query: the size the caller needs
    } else {
      *bytesReturned = 0;
      hr = E_FAIL;
    }
  }
  SafeCloseHandle(event);
  KS_LEAVE_HR("CKsIrpTarget::SyncIoctl", hr);
  return hr;
}

HRESULT CKsIrpTarget::GetPropertySimple(REFGUID set, ULONG id, PVOID value, ULONG valueSize) {
  KS_ENTER("CKsIrpTarget::GetPropertySimple");
  PKSPROPERTY property = static_cast<PKSPROPERTY>(KsHeapAlloc(sizeof(KSPROPERTY)));
  if (property == NULL) {
    KS_LEAVE_HR("CKsIrpTarget::GetPropertySimple", E_OUTOFMEMORY);
    return E_OUTOFMEMORY;
  }
  property->Set = set;
  property->Id = id;
  property->Flags = KSPROPERTY_TYPE_GET;
  ULONG returned = 0;
  HRESULT hr = SyncIoctl(handle, IOCTL_KS_PROPERTY, property, sizeof(KSPROPERTY), value, valueSize, &returned);
  KsHeapFree(property);
  KS_LEAVE_HR("CKsIrpTarget::GetPropertySimple", hr);
  return hr;
}

HRESULT CKsIrpTarget::SetPropertySimple(REFGUID set, ULONG id, PVOID value, ULONG valueSize) {
  KS_ENTER("CKsIrpTarget::SetPropertySimple");
  PKSPROPERTY property = static_cast<PKSPROPERTY>(KsHeapAlloc(sizeof(KSPROPERTY)));
  if (property == NULL) {
    KS_LEAVE_HR("CKsIrpTarget::SetPropertySimple", E_OUTOFMEMORY);
    return E_OUTOFMEMORY;
  }
  property->Set = set;
  property->Id = id;
  property->Flags = KSPROPERTY_TYPE_SET;
  ULONG returned = 0;
  // Kernel streaming passes the value of a SET in the output buffer.
  HRESULT hr = SyncIoctl(handle, IOCTL_KS_PROPERTY, property, sizeof(KSPROPERTY), value, valueSize, &returned);
  KsHeapFree(property);
  KS_LEAVE_HR("CKsIrpTarget::SetPropertySimple", hr);
  return hr;
}

HRESULT CKsIrpTarget::QueryMulti(PVOID request, ULONG requestSize, PKSMULTIPLE_ITEM* buffer) {
  ULONG size = 0;
  HRESULT hr = SyncIoctl(handle, IOCTL_KS_PROPERTY, request, requestSize, NULL, 0, &size);
  if (SUCCEEDED(hr) && size != 0) {
    PKSMULTIPLE_ITEM items = static_cast<PKSMULTIPLE_ITEM>(KsHeapAlloc(size));
    if (items == NULL) return E_OUTOFMEMORY;
    *buffer = items;
    hr = SyncIoctl(handle, IOCTL_KS_PROPERTY, request, requestSize, items, size, NULL);
    if (FAILED(hr) || size < sizeof(KSMULTIPLE_ITEM)) {
      KsHeapFree(items);
      *buffer = NULL;
      if (SUCCEEDED(hr)) hr = E_FAIL;
    } else if (items->Size > size) {
      // A result that claims more than it holds is cut to what it holds.
      items->Size = size;
    }
  }
  return hr;
}

HRESULT CKsIrpTarget::GetPropertyMulti(REFGUID set, ULONG id, PKSMULTIPLE_ITEM* buffer) {
  KS_ENTER("CKsIrpTarget::GetPropertyMulti");
  KSPROPERTY property;
  memset(&property, 0, sizeof property);
  property.Set = set;
  property.Id = id;
  property.Flags = KSPROPERTY_TYPE_GET;
  HRESULT hr = QueryMulti(&property, sizeof property, buffer);
  KS_LEAVE_HR("CKsIrpTarget::GetPropertyMulti", hr);
  return hr;
}
