// The ASIO driver object: the IASIO front end shared by both drivers. It keeps the state
// machine, answers the host's questions from its transport's format records, hands streaming
// to the transport, and publishes its state in the status block.
#pragma once
#include "AsioTransport.h"
#include "StatusBlock.h"
#include "Unknown.h"
#include "asio.h"

enum DriverState { kStateUnload = 0, kStateLoaded = 1, kStateInitialized = 2, kStatePrepared = 3, kStateRunning = 4 };

// The HID mode commands the driver sends to the device.
enum ModeCommand { kDsd64Command = 0, kDsd128Command = 1, kDsd256Command = 2, kDopCommand = 3 };

enum { kDsd64Rate = 2822400, kDsd128Rate = 5644800, kDsd256Rate = 11289600 };

extern const LONG kSampleRateTable[kRateCount];
extern const LONG kBufferLengthTableMs[34];

bool IsDsdRate(LONG rate);
// The PCM rate that carries a DSD rate (one thirty-second of it); other rates unchanged.
LONG DsdCarrierRate(LONG rate);

class CAsioSample : public IASIO, public CUnknown {
 public:
  explicit CAsioSample(IUnknown* outer);
  ~CAsioSample() override;

  // IUnknown: forwarded to the controlling unknown.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IASIO
  ASIOBool init(void* sysHandle) override;
  void getDriverName(char* name) override;
  LONG getDriverVersion() override;
  void getErrorMessage(char* string) override;
  ASIOError start() override;
  ASIOError stop() override;
  ASIOError getChannels(LONG* numInputChannels, LONG* numOutputChannels) override;
  ASIOError getLatencies(LONG* inputLatency, LONG* outputLatency) override;
  ASIOError getBufferSize(LONG* minSize, LONG* maxSize, LONG* preferredSize, LONG* granularity) override;
  ASIOError canSampleRate(ASIOSampleRate sampleRate) override;
  ASIOError getSampleRate(ASIOSampleRate* sampleRate) override;
  ASIOError setSampleRate(ASIOSampleRate sampleRate) override;
  ASIOError getClockSources(ASIOClockSource* clocks, LONG* numSources) override;
  ASIOError setClockSource(LONG reference) override;
  ASIOError getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) override;
  ASIOError getChannelInfo(ASIOChannelInfo* info) override;
  ASIOError createBuffers(ASIOBufferInfo* bufferInfos, LONG numChannels, LONG bufferSize,
                          ASIOCallbacks* callbacks) override;
  ASIOError disposeBuffers() override;
  ASIOError controlPanel() override;
  ASIOError future(LONG selector, void* opt) override;
  ASIOError outputReady() override;

  // Creation: runs the transport's device probe; failure ends the creation.
  HRESULT ProbeDevice(REFCLSID classId);

  // Settings kept under HKEY_CURRENT_USER\Software\ASIO\Velno-HD.
  void LoadSettings();
  void SaveSettings();

  // Sends one HID mode command to this driver's device (silently nothing without one).
  void SendModeCommand(ModeCommand command, BOOL on);

  // DSD-over-PCM: whether render halves are scanned for markers at the current format, and
  // what a scanned channel found.
  bool ScansForDop() const;
  void NoteDopScan(bool marked);

  // Status block helpers: the block belongs to this driver object.
  bool OwnsBlock() const { return BlockOwnedBy(statusBlock, classId); }
  // Publishes a field and announces it with `changed` when the block belongs to this driver.
  void PublishOwned(LONG StatusBlock::*field, LONG value);

  // ---- front-end fields (read by the transport's threads without a lock)
  GUID classId;
  char driverName[MAX_PATH];
  LONG state;
  void* sysHandle;
  LONG bitsPerSample;
  LONG deviceRate;
  LONG clockRate;
  LONGLONG bufferDuration;  // 100-ns units
  LONG bufferFrames;
  LONG rateChanged;
  LONG warmupSwitches;
  RateRecordBase* currentRender;
  RateRecordBase* currentCapture;
  RateRecordBase* activeRender;
  RateRecordBase* activeCapture;
  ASIOCallbacks hostCallbacks;
  bool callbacksKnown;
  ULONGLONG samplePosition;
  ULONGLONG sampleTimestamp;
  LONG canInputMonitor, canTimeInfo, canTimeCode, canTransport, canInputGain, canInputMeter, canOutputGain,
      canOutputMeter;
  LONG canIoFormat;
  LONG ioFormat;
  LONG timeCodeRead;
  LONG hostTimeInfo, hostTimeCode, hostInputMonitor, hostInputGain, hostInputMeter, hostOutputGain,
      hostOutputMeter;
  LONG dopActive;

  // ---- device fields set by the transport's probe
  LONG hasCapture;
  BYTE depthMask;  // bit 1 = 16, bit 2 = 24, bit 3 = 32 bits
  WORD productVid;
  WORD productPid;

  // ---- threads, events and the status block
  HANDLE eventThread;
  HANDLE eventThreadEvents[4];
  HANDLE ackEvent;
  HANDLE statusMapping;
  StatusBlock* statusBlock;
  bool timerPeriodSet;

  CAsioTransport* transport;

 private:
  void QueryHostSupport();
  void SelectCurrentRecords();
  void StartEventThread();
  void StopEventThread();
  static DWORD WINAPI EventThreadMain(LPVOID parameter);
};
