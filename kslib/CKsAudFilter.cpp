// The audio filter's pin enumeration: bridge and unconnected pins are left out.
#include "CKsAudFilter.h"

#include "CKsAudCapPin.h"
#include "CKsAudRenPin.h"

CKsAudFilter::CKsAudFilter(LPCSTR pszSymbolicLink, LPCSTR pszFriendlyName, HRESULT* phr)
    : CKsFilter(pszSymbolicLink, pszFriendlyName, phr) {
  KS_ENTER("CKsAudFilter::CKsAudFilter");
  KS_LEAVE_HR("CKsAudFilter::CKsAudFilter", phr != NULL ? *phr : S_OK);
}

HRESULT CKsAudFilter::EnumeratePins() {
  KS_ENTER("CKsAudFilter::EnumeratePins");
  DeleteAllPins();
  ULONG count = 0;
  HRESULT hr = GetPinPropertySimple(0, KSPROPSETID_Pin, KSPROPERTY_PIN_CTYPES, &count, sizeof count);
  if (FAILED(hr)) {
    LogMessage(KS_LOG_ERROR, "Failed to retrieve count of pins in audio filter");
    count = 0;
  }
  bool outOfMemory = false;
  for (ULONG i = 0; i < count && !outOfMemory; i++) {
    ULONG communication = 0;
    if (FAILED(GetPinPropertySimple(i, KSPROPSETID_Pin, KSPROPERTY_PIN_COMMUNICATION, &communication,
                                    sizeof communication))) {
      LogMessage(KS_LOG_ERROR, "Failed to retrieve pin property KSPROPERTY_PIN_COMMUNICATION");
      continue;
    }
    if (communication < KSPIN_COMMUNICATION_SINK || communication > KSPIN_COMMUNICATION_BOTH) {
      LogMessage(KS_LOG_ERROR, "Pin communication value doesn't make sense");
      continue;
    }
    ULONG dataFlow = 0;
    if (FAILED(GetPinPropertySimple(i, KSPROPSETID_Pin, KSPROPERTY_PIN_DATAFLOW, &dataFlow, sizeof dataFlow))) {
      LogMessage(KS_LOG_ERROR, "Failed to retrieve pin property KSPROPERTY_PIN_DATAFLOW");
      continue;
    }
    HRESULT pinHr = S_OK;
    CKsPin* pin;
    if (communication == KSPIN_COMMUNICATION_SINK && dataFlow == KSPIN_DATAFLOW_IN)
      pin = new CKsAudRenPin(this, i, &pinHr);
    else if (communication == KSPIN_COMMUNICATION_SINK && dataFlow == KSPIN_DATAFLOW_OUT)
      pin = new CKsAudCapPin(this, i, &pinHr);
    else
      pin = new CKsAudPin(this, i, &pinHr);
    if (pin == NULL) {
      LogMessage(KS_LOG_ERROR, "Failed to create audio pin");
      outOfMemory = true;
      break;
    }
    if (FAILED(pinHr)) {
      delete pin;
      continue;
    }
    if (!pins.AddTail(pin)) {
      delete pin;
      LogMessage(KS_LOG_ERROR, "Unable to allocate list entry to save pin in");
      outOfMemory = true;
    }
  }
  if (outOfMemory) {
    LogMessage(KS_LOG_ERROR, "Ran out of memory enumerating pins - deleting all pins");
    DeleteAllPins();
    KS_LEAVE_HR("CKsAudFilter::EnumeratePins", E_OUTOFMEMORY);
    return E_OUTOFMEMORY;
  }
  hr = ClassifyPins();
  if (SUCCEEDED(hr) && renderSinkPins.IsEmpty() && captureSourcePins.IsEmpty() && captureSinkPins.IsEmpty() &&
      renderSourcePins.IsEmpty()) {
    LogMessage(KS_LOG_ERROR, "No valid pins found on the filter");
    hr = E_FAIL;
  }
  KS_LEAVE_HR("CKsAudFilter::EnumeratePins", hr);
  return hr;
}
