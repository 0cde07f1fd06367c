// A transport for a driver module whose device access is not available: its probe finds no
// device, so the class factory refuses to create the driver object.
#pragma once
#include "AsioSample.h"
#include "ModuleState.h"

class CUnavailableTransport : public CAsioTransport {
 public:
  HRESULT ProbeDevice() override { return E_FAIL; }
  BOOL OpenDevice() override { return FALSE; }
  BOOL CreateEngineObjects() override { return FALSE; }
  void BuildRateTables() override {}
  RateRecordBase* Record(int, int) override { return NULL; }
  void ChannelState(RateRecordBase*, LONG, ASIOBool* isActive, LONG* group) override {
    *isActive = ASIOFalse;
    *group = 0;
  }
  ASIOError OpenStreams(int, ASIOBufferInfo*, LONG, LONG, RateRecordBase*) override { return ASE_NotPresent; }
  ASIOError CloseStreams(RateRecordBase*) override { return ASE_OK; }
  ASIOError StartStreamThreads() override { return ASE_NotPresent; }
  ASIOError StopStreamThreads() override { return ASE_OK; }
  bool StreamThreadExists() override { return false; }
  void SignalStart() override {}
  void SignalStop() override {}
  void FillOutput(RateRecordBase*, LONG, LONG) override {}
  void CloseDevice() override {}

  static void* operator new(size_t bytes) noexcept { return PrivateAlloc(bytes); }
  static void operator delete(void* memory) noexcept { PrivateFree(memory); }
};
