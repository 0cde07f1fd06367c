// Pins: property discovery, instantiation through KsCreatePin, state changes, reset and the
// asynchronous stream requests.
#include "CKsPin.h"

#include "CKsFilter.h"

namespace {
typedef DWORD(WINAPI* KsCreatePinFunction)(HANDLE, PKSPIN_CONNECT, ACCESS_MASK, PHANDLE);
HMODULE volatile g_ksUser = NULL;
KsCreatePinFunction volatile g_ksCreatePin = NULL;
}  // namespace

DWORD KsCreatePinFromKsUser(HANDLE filterHandle, PKSPIN_CONNECT connect, ACCESS_MASK access, PHANDLE pin) {
  KsCreatePinFunction create = g_ksCreatePin;
  if (create == NULL) {
    HMODULE module = g_ksUser != NULL ? g_ksUser : LoadLibraryA("ksuser.dll");
    if (module == NULL) return ERROR_FILE_NOT_FOUND;
    g_ksUser = module;
    create = reinterpret_cast<KsCreatePinFunction>(reinterpret_cast<void*>(GetProcAddress(module, "KsCreatePin")));
    if (create == NULL) return ERROR_FILE_NOT_FOUND;
    g_ksCreatePin = create;
  }
  return create(filterHandle, connect, access, pin);
}

CKsPin::CKsPin(CKsFilter* pFilter, ULONG nId, HRESULT* phr)
    : m_pksPinCreate(NULL),
      m_cbPinCreate(0),
      pinId(nId),
      filter(pFilter),
      category(GUID_NULL),
      dataFlow(static_cast<KSPIN_DATAFLOW>(0)),
      communication(KSPIN_COMMUNICATION_NONE),
      pinType(ePinUnknown),
      state(KSSTATE_STOP),
      looped(FALSE),
      connectTo(NULL) {
  KS_ENTER("CKsPin::CKsPin");
  memset(&interfaces, 0, sizeof interfaces);
  memset(&mediums, 0, sizeof mediums);
  memset(&dataRanges, 0, sizeof dataRanges);
  memset(&cInstances, 0, sizeof cInstances);
  memset(&globalCInstances, 0, sizeof globalCInstances);
  memset(name, 0, sizeof name);
  HRESULT hr = Init();
  if (phr != NULL) *phr = hr;
  KS_LEAVE_HR("CKsPin::CKsPin", hr);
}

CKsPin::~CKsPin() {
  KS_ENTER("CKsPin::~CKsPin");
  ClosePin();
  KsHeapFree(m_pksPinCreate);
  m_pksPinCreate = NULL;
  KsFreeItems(&interfaces);
  KsFreeItems(&mediums);
  KsFreeItems(&dataRanges);
  KS_LEAVE("CKsPin::~CKsPin");
}

HRESULT CKsPin::Init() {
  KS_ENTER("CKsPin::Init");
  HRESULT hr = S_OK;
  PKSMULTIPLE_ITEM buffer;
  if (FAILED(filter->GetPinPropertySimple(pinId, KSPROPSETID_Pin, KSPROPERTY_PIN_COMMUNICATION, &communication,
                                          sizeof communication))) {
    LogMessage(KS_LOG_PIN_PROPERTY, "Failed to retrieve pin property KSPROPERTY_PIN_COMMUNICATION on PinID: %d", pinId);
    hr = 1;
  }
  buffer = NULL;
  if (FAILED(filter->GetPinPropertyMulti(pinId, KSPROPSETID_Pin, KSPROPERTY_PIN_INTERFACES, &buffer))) {
    LogMessage(KS_LOG_PIN_PROPERTY, "Failed to retrieve pin property KSPROPETY_PIN_INTERFACES on PinID: %d", pinId);
    KsHeapFree(buffer);
    buffer = NULL;
    hr = 1;
  }
  KsTakeItems(buffer, sizeof(KSIDENTIFIER), &interfaces);
  buffer = NULL;
  if (FAILED(filter->GetPinPropertyMulti(pinId, KSPROPSETID_Pin, KSPROPERTY_PIN_MEDIUMS, &buffer))) {
    LogMessage(KS_LOG_PIN_PROPERTY, "Failed to retrieve pin property KSPROPERTY_PIN_MEDIUMS on PinID: %d", pinId);
    KsHeapFree(buffer);
    buffer = NULL;
    hr = 1;
  }
  KsTakeItems(buffer, sizeof(KSPIN_MEDIUM), &mediums);
  buffer = NULL;
  if (FAILED(filter->GetPinPropertyMulti(pinId, KSPROPSETID_Pin, KSPROPERTY_PIN_DATARANGES, &buffer))) {
    LogMessage(KS_LOG_PIN_PROPERTY, "Failed to retrieve pin property KSPROPERTY_PIN_DATARANGES on PinID: %d", pinId);
    KsHeapFree(buffer);
    buffer = NULL;
    hr = 1;
  }
  KsTakeItems(buffer, 0, &dataRanges);
  if (FAILED(filter->GetPinPropertySimple(pinId, KSPROPSETID_Pin, KSPROPERTY_PIN_DATAFLOW, &dataFlow,
                                          sizeof dataFlow))) {
    LogMessage(KS_LOG_PIN_PROPERTY, "Failed to retrieve pin property KSPROPERTY_PIN_DATAFLOW on PinID: %d", pinId);
    hr = 1;
  }
  if (FAILED(filter->GetPinPropertySimple(pinId, KSPROPSETID_Pin, KSPROPERTY_PIN_CINSTANCES, &cInstances,
                                          sizeof cInstances))) {
    LogMessage(KS_LOG_PIN_PROPERTY, "Failed to retrieve pin property KSPROPERTY_PIN_CINSTANCES on PinID: %d", pinId);
    hr = 1;
  }
  if (FAILED(filter->GetPinPropertySimple(pinId, KSPROPSETID_Pin, KSPROPERTY_PIN_GLOBALCINSTANCES, &globalCInstances,
                                          sizeof globalCInstances))) {
    LogMessage(KS_LOG_PIN_PROPERTY, "Failed to retrieve pin property KSPROPERTY_PIN_GLOBALCINSTANCES on PinID: %d",
               pinId);
    hr = 1;
  }
  if (FAILED(filter->GetPinPropertySimple(pinId, KSPROPSETID_Pin, KSPROPERTY_PIN_CATEGORY, &category,
                                          sizeof category))) {
    LogMessage(KS_LOG_PIN_PROPERTY, "Failed to retrieve pin property KSPROPERTY_PIN_CATEGORY on PinID: %d", pinId);
    hr = 1;
  }
  if (FAILED(filter->GetPinPropertySimple(pinId, KSPROPSETID_Pin, KSPROPERTY_PIN_NAME, name, sizeof name - 1))) {
    LogMessage(KS_LOG_PIN_PROPERTY, "Failed to retrieve pin property KSPROPERTY_PIN_NAME on PinID: %d", pinId);
    hr = 1;
  }
  name[sizeof name - 1] = '\0';
  KS_LEAVE_HR("CKsPin::Init", hr);
  return hr;
}

HRESULT CKsPin::Instantiate(BOOL bLooped) {
  KS_ENTER("CKsPin::Instantiate");
  if (m_pksPinCreate == NULL) {
    KS_LEAVE_HR("CKsPin::Instantiate", S_OK);
    return S_OK;
  }
  if (connectTo != NULL) m_pksPinCreate->PinToHandle = connectTo->handle;
  looped = bLooped;
  m_pksPinCreate->Interface.Id = bLooped ? KSINTERFACE_STANDARD_LOOPED_STREAMING : KSINTERFACE_STANDARD_STREAMING;
  HANDLE created = INVALID_HANDLE_VALUE;
  DWORD result = KsCreatePinFromKsUser(filter->handle, m_pksPinCreate, GENERIC_READ | GENERIC_WRITE, &created);
  HRESULT hr;
  if (result == ERROR_SUCCESS) {
    hr = IsValidHandle(created) ? S_OK : E_FAIL;
    if (SUCCEEDED(hr)) handle = created;
  } else if (static_cast<LONG>(result) < 0) {
    hr = static_cast<HRESULT>(result);
  } else {
    hr = static_cast<HRESULT>(0x80070000u | (result & 0xFFFF));
  }
  if (FAILED(hr)) LogMessage(KS_LOG_ERROR, "Failed to instantiate pin. hr=0x%08x", hr);
  KS_LEAVE_HR("CKsPin::Instantiate", hr);
  return hr;
}

HRESULT CKsPin::SetState(KSSTATE ksState) {
  KS_ENTER("CKsPin::SetState");
  HRESULT hr = SetPropertySimple(KSPROPSETID_Connection, KSPROPERTY_CONNECTION_STATE, &ksState, sizeof ksState);
  if (FAILED(hr)) LogMessage(KS_LOG_ERROR, "Failed to Set Pin State");
  else state = ksState;
  KS_LEAVE_HR("CKsPin::SetState", hr);
  return hr;
}

void CKsPin::ClosePin() {
  KS_ENTER("CKsPin::ClosePin");
  if (IsValidHandle(handle)) {
    SetState(KSSTATE_STOP);
    SafeCloseHandle(handle);
  }
  KS_LEAVE("CKsPin::ClosePin");
}

HRESULT CKsPin::Reset() {
  KS_ENTER("CKsPin::Reset");
  ULONG how = KSRESET_BEGIN;
  HRESULT hr = SyncIoctl(handle, IOCTL_KS_RESET_STATE, &how, sizeof how, NULL, 0, NULL);
  if (FAILED(hr)) LogMessage(KS_LOG_ERROR, "IOCTL_KS_RESET_STATE failed");
  how = KSRESET_END;
  hr = SyncIoctl(handle, IOCTL_KS_RESET_STATE, &how, sizeof how, NULL, 0, NULL);
  if (FAILED(hr)) LogMessage(KS_LOG_ERROR, "IOCTL_KS_RESET_STATE failed");
  KS_LEAVE_HR("CKsPin::Reset", hr);
  return hr;
}

HRESULT CKsPin::WriteData(PKSSTREAM_HEADER pKSStreamHeader, LPOVERLAPPED pOVLP) {
  KS_ENTER("CKsPin::WriteData");
  DWORD returned = 0;
  HRESULT hr = S_OK;
  if (!DeviceIoControl(handle, IOCTL_KS_WRITE_STREAM, NULL, 0, pKSStreamHeader, pKSStreamHeader->Size, &returned,
                       pOVLP)) {
    DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
      LogMessage(KS_LOG_ERROR, "CKsPin::WriteData's DeviceIoControl Failed!  Error=0x%#08x", error);
      hr = E_FAIL;
    }
  }
  KS_LEAVE_HR("CKsPin::WriteData", hr);
  return hr;
}

HRESULT CKsPin::ReadData(PKSSTREAM_HEADER pKSStreamHeader, LPOVERLAPPED pOVLP) {
  KS_ENTER("CKsPin::ReadData");
  DWORD returned = 0;
  HRESULT hr = S_OK;
  if (!DeviceIoControl(handle, IOCTL_KS_READ_STREAM, NULL, 0, pKSStreamHeader, pKSStreamHeader->Size, &returned,
                       pOVLP)) {
    DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
      LogMessage(KS_LOG_ERROR, "DeviceIoControl Failed!  Error=0x%08x", error);
      hr = E_FAIL;
    }
  }
  KS_LEAVE_HR("CKsPin::ReadData", hr);
  return hr;
}

ULONG CKsPin::GetId() {
  KS_ENTER("CKsPin::GetId");
  KS_LEAVE("CKsPin::GetId");
  return pinId;
}

KSPIN_DATAFLOW CKsPin::GetDataFlow() {
  KS_ENTER("CKsPin::GetDataFlow");
  KS_LEAVE("CKsPin::GetDataFlow");
  return dataFlow;
}

KSPIN_COMMUNICATION CKsPin::GetCommunication() {
  KS_ENTER("CKsPin::GetCommunication");
  KS_LEAVE("CKsPin::GetCommunication");
  return communication;
}
