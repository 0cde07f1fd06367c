// A pin type of a filter: its properties and, once instantiated, the pin instance that audio
// streams through.
#pragma once
#include "CKsIrpTarget.h"

enum ETypePin { ePinUnknown = 0, ePinRender = 1, ePinCapture = 2 };

class CKsPin : public CKsIrpTarget {
 public:
  CKsPin(CKsFilter* pFilter, ULONG nId, HRESULT* phr);
  virtual ~CKsPin();
  virtual HRESULT Instantiate(BOOL bLooped);
  virtual HRESULT SetState(KSSTATE ksState);

  HRESULT Init();
  void ClosePin();
  HRESULT Reset();
  HRESULT WriteData(PKSSTREAM_HEADER pKSStreamHeader, LPOVERLAPPED pOVLP);
  HRESULT ReadData(PKSSTREAM_HEADER pKSStreamHeader, LPOVERLAPPED pOVLP);

  ULONG GetId();
  KSPIN_DATAFLOW GetDataFlow();
  KSPIN_COMMUNICATION GetCommunication();

  PKSPIN_CONNECT m_pksPinCreate;  // connection request: KSPIN_CONNECT and the data format after it
  ULONG m_cbPinCreate;
  ULONG pinId;
  CKsFilter* filter;
  GUID category;
  CKsPropertyItems interfaces;  // KSIDENTIFIER items
  CKsPropertyItems mediums;     // KSPIN_MEDIUM items
  CKsPropertyItems dataRanges;  // variable-size items, each starting with its FormatSize
  KSPIN_DATAFLOW dataFlow;
  KSPIN_COMMUNICATION communication;
  KSPIN_CINSTANCES cInstances;
  KSPIN_CINSTANCES globalCInstances;
  int pinType;
  KSSTATE state;
  char name[MAX_PATH];
  BOOL looped;
  CKsPin* connectTo;
};

// KsCreatePin from ksuser.dll, loaded once per process. Returns the Win32 result of the
// creation, or ERROR_FILE_NOT_FOUND when the module or its entry point is missing.
DWORD KsCreatePinFromKsUser(HANDLE filter, PKSPIN_CONNECT connect, ACCESS_MASK access, PHANDLE pin);
