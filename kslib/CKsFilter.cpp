// Filters: opening, pin property requests, the generic pin enumeration, classification of
// the pins, topology nodes, and the lists' lifetime.
#include "CKsFilter.h"

#include "CKsPin.h"

CKsFilter::CKsFilter(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName, HRESULT* phr) : filterType(eUnknown) {
  KS_ENTER("CKsFilter::CKsFilter");
  HRESULT hr = InternalInit(pszSymbolicLink, pszFriendlyName);
  if (phr != NULL) *phr = hr;
  KS_LEAVE_HR("CKsFilter::CKsFilter", hr);
}

HRESULT CKsFilter::InternalInit(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName) {
  handle = INVALID_HANDLE_VALUE;
  filterType = eUnknown;
  memset(symbolicLink, 0, sizeof symbolicLink);
  memset(friendlyName, 0, sizeof friendlyName);
  HRESULT hr = S_OK;
  if (pszSymbolicLink == NULL) {
    LogMessage(KS_LOG_ERROR, "pszSymbolicLink cannot be NULL");
    hr = E_INVALIDARG;
  }
  if (pszFriendlyName == NULL) {
    LogMessage(KS_LOG_ERROR, "pszFriendlyName cannot be NULL");
    hr = E_INVALIDARG;
  }
  if (SUCCEEDED(hr)) {
    // Longer texts are cut to fit their 260-byte buffers.
    KsCopyText(symbolicLink, sizeof symbolicLink, pszSymbolicLink);
    KsCopyText(friendlyName, sizeof friendlyName, pszFriendlyName);
  }
  return hr;
}

CKsFilter::~CKsFilter() {
  KS_ENTER("CKsFilter::~CKsFilter");
  DestroyLists();
  SafeCloseHandle(handle);
  KS_LEAVE("CKsFilter::~CKsFilter");
}

HRESULT CKsFilter::Instantiate() {
  KS_ENTER("CKsFilter::Instantiate");
  HRESULT hr = S_OK;
  handle = CreateFileA(symbolicLink, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, NULL);
  if (!IsValidHandle(handle)) {
    LogMessage(KS_LOG_ERROR, "CKsFilter::Instantiate: CreateFile failed for device %s.  ErrorCode = 0x%08x",
               symbolicLink, GetLastError());
    hr = E_FAIL;
  }
  KS_LEAVE_HR("CKsFilter::Instantiate", hr);
  return hr;
}

HRESULT CKsFilter::GetPinPropertySimple(ULONG pinId, REFGUID set, ULONG id, PVOID value, ULONG valueSize) {
  KS_ENTER("CKsFilter::GetPinPropertySimple");
  KSP_PIN ksp;
  memset(&ksp, 0, sizeof ksp);
  ksp.Property.Set = set;
  ksp.Property.Id = id;
  ksp.Property.Flags = KSPROPERTY_TYPE_GET;
  ksp.PinId = pinId;
  ksp.Reserved = 0;
  ULONG returned = 0;
  HRESULT hr = SyncIoctl(handle, IOCTL_KS_PROPERTY, &ksp, sizeof ksp, value, valueSize, &returned);
  KS_LEAVE_HR("CKsFilter::GetPinPropertySimple", hr);
  return hr;
}

HRESULT CKsFilter::GetPinPropertyMulti(ULONG pinId, REFGUID set, ULONG id, PKSMULTIPLE_ITEM* buffer) {
  KS_ENTER("CKsFilter::GetPinPropertyMulti");
  KSP_PIN ksp;
  memset(&ksp, 0, sizeof ksp);
  ksp.Property.Set = set;
  ksp.Property.Id = id;
  ksp.Property.Flags = KSPROPERTY_TYPE_GET;
  ksp.PinId = pinId;
  HRESULT hr = QueryMulti(&ksp, sizeof ksp, buffer);
  KS_LEAVE_HR("CKsFilter::GetPinPropertyMulti", hr);
  return hr;
}

void CKsFilter::DeleteAllPins() {
  for (CKsList<CKsPin>::Entry* e = pins.GetHead(); e != NULL; e = e->next) delete e->item;
  pins.RemoveAll();
  renderSinkPins.RemoveAll();
  captureSourcePins.RemoveAll();
  captureSinkPins.RemoveAll();
  renderSourcePins.RemoveAll();
  noCommPins.RemoveAll();
}

HRESULT CKsFilter::EnumeratePins() {
  KS_ENTER("CKsFilter::EnumeratePins");
  DeleteAllPins();
  ULONG count = 0;
  HRESULT hr = GetPinPropertySimple(0, KSPROPSETID_Pin, KSPROPERTY_PIN_CTYPES, &count, sizeof count);
  if (FAILED(hr)) {
    LogMessage(KS_LOG_ERROR, "Failed to retrieve count of pins in audio filter");
    count = 0;
  }
  for (ULONG i = 0; i < count; i++) {
    HRESULT pinHr = S_OK;
    CKsPin* pin = new CKsPin(this, i, &pinHr);
    if (pin == NULL) {
      LogMessage(KS_LOG_ERROR, "Failed to create pin");
      continue;
    }
    if (FAILED(pinHr)) {
      LogMessage(KS_LOG_ERROR, "Failed to construct pin");
      delete pin;
      continue;
    }
    if (!pins.AddTail(pin)) {
      LogMessage(KS_LOG_ERROR, "Failed to add pin to list");
      delete pin;
    }
  }
  hr = ClassifyPins();
  if (SUCCEEDED(hr) && renderSinkPins.IsEmpty() && captureSourcePins.IsEmpty() && captureSinkPins.IsEmpty() &&
      renderSourcePins.IsEmpty() && noCommPins.IsEmpty()) {
    LogMessage(KS_LOG_ERROR, "Filter is not viable. It has no pins.");
    hr = E_FAIL;
  }
  KS_LEAVE_HR("CKsFilter::EnumeratePins", hr);
  return hr;
}

HRESULT CKsFilter::ClassifyPins() {
  KS_ENTER("CKsFilter::ClassifyPins");
  HRESULT hr = S_OK;
  for (CKsList<CKsPin>::Entry* e = pins.GetHead(); e != NULL && SUCCEEDED(hr); e = e->next) {
    CKsPin* pin = e->item;
    bool in = pin->GetDataFlow() == KSPIN_DATAFLOW_IN;
    bool ok = true;
    switch (pin->GetCommunication()) {
      case KSPIN_COMMUNICATION_NONE:
        ok = noCommPins.AddTail(pin);
        break;
      case KSPIN_COMMUNICATION_SINK:
        ok = in ? renderSinkPins.AddTail(pin) : captureSinkPins.AddTail(pin);
        break;
      case KSPIN_COMMUNICATION_SOURCE:
        ok = in ? renderSourcePins.AddTail(pin) : captureSourcePins.AddTail(pin);
        break;
      case KSPIN_COMMUNICATION_BOTH:
        ok = in ? (renderSinkPins.AddTail(pin) && renderSourcePins.AddTail(pin))
                : (captureSinkPins.AddTail(pin) && captureSourcePins.AddTail(pin));
        break;
      default:
        LogMessage(KS_LOG_INFO, "Pin communication type not recognized");
        break;
    }
    if (!ok) hr = E_OUTOFMEMORY;
  }
  KS_LEAVE_HR("CKsFilter::ClassifyPins", hr);
  return hr;
}

HRESULT CKsFilter::EnumerateNodes() {
  KS_ENTER("CKsFilter::EnumerateNodes");
  for (CKsList<CKsNode>::Entry* e = nodes.GetHead(); e != NULL; e = e->next) delete e->item;
  nodes.RemoveAll();
  PKSMULTIPLE_ITEM buffer = NULL;
  HRESULT hr = GetPropertyMulti(KSPROPSETID_Topology, KSPROPERTY_TOPOLOGY_NODES, &buffer);
  if (FAILED(hr)) {
    LogMessage(KS_LOG_WARNING, "Failed to get property KSPROPSETID_Topology.KSPROPERTY_TOPOLOGY_NODES");
    KsHeapFree(buffer);
    KS_LEAVE_HR("CKsFilter::EnumerateNodes", hr);
    return hr;
  }
  CKsPropertyItems items;
  KsTakeItems(buffer, sizeof(GUID), &items);
  const GUID* types = static_cast<const GUID*>(items.First());
  for (ULONG i = 0; i < items.count; i++) {
    CKsNode* node = new CKsNode(i, types[i]);
    if (node == NULL) continue;
    if (!nodes.AddTail(node)) {
      delete node;
      hr = E_OUTOFMEMORY;
    }
  }
  // A count that its buffer cannot hold leaves fewer nodes than announced: not a usable topology.
  if (buffer == NULL || nodes.GetCount() != buffer->Count) {
    for (CKsList<CKsNode>::Entry* e = nodes.GetHead(); e != NULL; e = e->next) delete e->item;
    nodes.RemoveAll();
    hr = E_FAIL;
  }
  KsFreeItems(&items);
  KS_LEAVE_HR("CKsFilter::EnumerateNodes", hr);
  return hr;
}

HRESULT CKsFilter::DestroyLists() {
  KS_ENTER("CKsFilter::DestroyLists");
  for (CKsList<CKsNode>::Entry* e = nodes.GetHead(); e != NULL; e = e->next) delete e->item;
  nodes.RemoveAll();
  DeleteAllPins();
  KS_LEAVE_HR("CKsFilter::DestroyLists", S_OK);
  return S_OK;
}
