// The kernel-streaming transport of VelnoHDASIO: it finds the product's audio filter, builds
// the per-rate format records from its pins, and streams the host's double buffer as a ring of
// packets on those pins from a time-critical stream thread.
#pragma once
#include "AsioSample.h"
#include "KsRecords.h"
#include "ModuleState.h"

class CKsAudRenFilter;
class CKsAudCapFilter;

enum {
  kControlQuit = 0,
  kControlStart = 1,
  kControlStop = 2,
  kControlWatchdog = 3,
  kControlEvents = 4,
  kWaitHandles = kControlEvents + 2 * kMaxPinSlots * kPacketsPerPin,  // 52
};

class CKsTransport : public CAsioTransport {
 public:
  explicit CKsTransport(CAsioSample* driver);
  ~CKsTransport() override;

  HRESULT ProbeDevice() override;
  BOOL OpenDevice() override;
  BOOL CreateEngineObjects() override;
  void BuildRateTables() override;
  RateRecordBase* Record(int direction, int rateIndex) override;
  void ChannelState(RateRecordBase* record, LONG channel, ASIOBool* isActive, LONG* group) override;
  ASIOError OpenStreams(int direction, ASIOBufferInfo* infos, LONG count, LONG bufferFrames,
                        RateRecordBase* record) override;
  ASIOError CloseStreams(RateRecordBase* record) override;
  ASIOError StartStreamThreads() override;
  ASIOError StopStreamThreads() override;
  bool StreamThreadExists() override { return streamThread != NULL; }
  void SignalStart() override { SetEvent(controlEvents[kControlStart]); }
  void SignalStop() override { SetEvent(controlEvents[kControlStop]); }
  void FillOutput(RateRecordBase* record, LONG packet, LONG half) override;
  void CloseDevice() override;

  // The product match of a device path; stores the identifiers in the driver on a match.
  bool MatchesProduct(const char* path);
  HRESULT SetupPin(CKsAudPin* pin, LONG rate, LONG bits, ULONG channels);

  static void* operator new(size_t bytes) noexcept { return PrivateAlloc(bytes); }
  static void operator delete(void* memory) noexcept { PrivateFree(memory); }

  CAsioSample* driver;
  char devicePath[MAX_PATH];
  CKsAudRenFilter* renderFilter;
  CKsAudCapFilter* captureFilter;
  RateRecord renderRecords[kRateCount];
  RateRecord captureRecords[kRateCount];

  // Engine objects: created once by init, closed at destruction.
  HANDLE controlEvents[kControlEvents];
  HANDLE watchdogQuitEvent;
  HANDLE watchdogTimer;
  HANDLE streamThread;
  HANDLE watchdogThread;

  // Stream position, maintained by the stream thread.
  ULONGLONG runningSamples;
  ULONGLONG runningTimestamp;
  ULONGLONG bufferSwitchCount;

 private:
  void BuildRateTable(int direction, RateRecord* records);
  static DWORD WINAPI StreamThreadMain(LPVOID parameter);
  static DWORD WINAPI WatchdogThreadMain(LPVOID parameter);
  void StreamLoop();
  void WatchdogLoop();
  void DeliverBufferSwitch(LONG half);
  void ArmWatchdog();
  void SetPinStates(KSSTATE state);
  void QueuePackets(RateRecord* record, bool render, LONG packet);
  void StopStreaming();
};
