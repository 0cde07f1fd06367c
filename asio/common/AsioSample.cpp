// The driver object's life: construction, the device probe, init, the idle event thread and
// destruction in its fixed order.
#include "AsioSample.h"

#include <mmsystem.h>
#include <stdio.h>

const LONG kSampleRateTable[kRateCount] = {32000, 44100, 48000, 88200, 96000, 176400, 192000, 352800, 384000};
const LONG kBufferLengthTableMs[34] = {2,  3,  4,  5,  6,  7,   8,   9,   10,  12,  14,  16,  18,  20,  25,  30,  40,
                                       50, 60, 70, 80, 90, 100, 125, 150, 175, 200, 250, 300, 350, 400, 450, 500, 600};

bool IsDsdRate(LONG rate) { return rate == kDsd64Rate || rate == kDsd128Rate || rate == kDsd256Rate; }

LONG DsdCarrierRate(LONG rate) { return IsDsdRate(rate) ? rate / 32 : rate; }

namespace {
// Buffer lengths outside what the control panel offers (2 ms .. 600 ms) are not trusted.
const LONGLONG kMinBufferDuration = 2 * 10000;
const LONGLONG kMaxBufferDuration = 600 * 10000;

// Copies text into a fixed buffer, always terminated, cut to fit.
void CopyText(char* destination, size_t capacity, const char* source) {
  if (capacity == 0) return;
  size_t length = strlen(source);
  if (length >= capacity) length = capacity - 1;
  memcpy(destination, source, length);
  destination[length] = 0;
}
}  // namespace

CAsioSample::CAsioSample(IUnknown* outer) : CUnknown(outer) {
  memset(&classId, 0, sizeof classId);
  driverName[0] = 0;
  state = kStateUnload;
  warmupSwitches = 2;
  statusMapping = NULL;
  statusBlock = NULL;
  BOOL created = FALSE;
  statusBlock = MapStatusBlock(&statusMapping, &created);
  if (created) LoadSettings();
  dopActive = 0;
  transport = CreateTransport(this);
}

CAsioSample::~CAsioSample() {
  if (timerPeriodSet) {
    timeEndPeriod(1);
    timerPeriodSet = false;
  }
  // Each state's teardown leads into the next one's.
  if (state == kStateRunning) {
    stop();
    state = kStatePrepared;
  }
  if (state == kStatePrepared) {
    disposeBuffers();
    state = kStateInitialized;
  }
  if (state == kStateInitialized) {
    StopEventThread();
    SaveSettings();
    state = kStateLoaded;
  }
  if (transport != NULL) {
    transport->CloseDevice();
    DestroyTransport(transport);
    transport = NULL;
  }
  for (HANDLE& event : eventThreadEvents) {
    if (event != NULL) CloseHandle(event);
    event = NULL;
  }
  if (ackEvent != NULL) CloseHandle(ackEvent);
  ackEvent = NULL;
  state = kStateUnload;
  if (OwnsBlock()) ReleaseBlock(statusBlock, classId);
  // The view stays mapped until the process ends, so the block outlives this object.
}

HRESULT STDMETHODCALLTYPE CAsioSample::QueryInterface(REFIID riid, void** ppv) {
  return ownerUnknown->QueryInterface(riid, ppv);
}
ULONG STDMETHODCALLTYPE CAsioSample::AddRef() { return ownerUnknown->AddRef(); }
ULONG STDMETHODCALLTYPE CAsioSample::Release() { return ownerUnknown->Release(); }

HRESULT STDMETHODCALLTYPE CAsioSample::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (ppv == NULL) return E_POINTER;
  // Hosts ask for the driver's interface with its class identifier.
  if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, classId)) {
    *ppv = static_cast<IASIO*>(this);
    NonDelegatingAddRef();
    return S_OK;
  }
  *ppv = NULL;
  return E_NOINTERFACE;
}

void CAsioSample::PublishOwned(LONG StatusBlock::*field, LONG value) {
  if (!OwnsBlock()) return;
  BlockSet(statusBlock, field, value);
  BlockSet(statusBlock, &StatusBlock::changed, 1);
}

HRESULT CAsioSample::ProbeDevice(REFCLSID id) {
  classId = id;
  state = kStateLoaded;
  ClaimBlock(statusBlock, classId, state);
  hasCapture = 0;
  if (transport == NULL || FAILED(transport->ProbeDevice())) return E_FAIL;
  if (driverName[0] == 0) CopyText(driverName, sizeof driverName, "Velno-HD");
  timeBeginPeriod(1);
  timerPeriodSet = true;
  if (OwnsBlock()) {
    CopyText(statusBlock->deviceName, sizeof statusBlock->deviceName, driverName);
    BlockSet(statusBlock, &StatusBlock::changed, 1);
  }
  return S_OK;
}

void CAsioSample::SelectCurrentRecords() {
  for (int k = 0; k < kRateCount; ++k) {
    RateRecordBase* render = transport->Record(kRenderDirection, k);
    if (render != NULL && render->sampleRate == deviceRate) currentRender = render;
    RateRecordBase* capture = transport->Record(kCaptureDirection, k);
    if (capture != NULL && capture->sampleRate == deviceRate) currentCapture = capture;
  }
}

ASIOBool CAsioSample::init(void* handle) {
  if (transport == NULL || state == kStateUnload) return ASIOFalse;
  // A host that initialises again while buffers exist gets them taken down first.
  if (state == kStateRunning) stop();
  if (state == kStatePrepared) disposeBuffers();

  sysHandle = handle;
  if (!transport->OpenDevice()) return ASIOFalse;
  if (!transport->CreateEngineObjects()) return ASIOFalse;
  for (HANDLE& event : eventThreadEvents) {
    if (event == NULL) event = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (event == NULL) return ASIOFalse;
  }

  LoadSettings();
  if (OwnsBlock()) {
    bufferDuration = (LONGLONG)BlockGet(statusBlock, &StatusBlock::reqBufferSize) * 1000;
    bitsPerSample = BlockGet(statusBlock, &StatusBlock::reqBits);
  }
  if (bufferDuration < kMinBufferDuration || bufferDuration > kMaxBufferDuration) bufferDuration = 0;

  if (bitsPerSample != 0) {
    bool known = bitsPerSample == 16 || bitsPerSample == 24 || bitsPerSample == 32;
    if (!known || (depthMask & (1 << (bitsPerSample / 8 - 1))) == 0) bitsPerSample = 0;
  }
  if (bitsPerSample == 0) {
    static const LONG kWidest[16] = {0, 8, 16, 16, 24, 24, 24, 24, 32, 32, 32, 32, 32, 32, 32, 32};
    bitsPerSample = kWidest[depthMask & 0xF];
  }

  transport->BuildRateTables();
  if (bufferDuration == 0) bufferDuration = 100000;
  warmupSwitches = 2;

  auto supportedBoth = [this](LONG rate) {
    for (int k = 0; k < kRateCount; ++k) {
      RateRecordBase* render = transport->Record(kRenderDirection, k);
      RateRecordBase* capture = transport->Record(kCaptureDirection, k);
      if (render == NULL || capture == NULL) continue;
      if (render->supported && render->sampleRate == rate && capture->supported && capture->sampleRate == rate)
        return true;
    }
    return false;
  };
  if (deviceRate != 0 && !supportedBoth(deviceRate)) {
    deviceRate = 0;
    clockRate = 0;
  }
  if (deviceRate == 0) {
    for (int k = 0; k < kRateCount && deviceRate == 0; ++k) {
      if (supportedBoth(kSampleRateTable[k])) {
        deviceRate = kSampleRateTable[k];
        clockRate = deviceRate;
      }
    }
  }

  if (OwnsBlock()) {
    BlockSet(statusBlock, &StatusBlock::runBuffer, (LONG)(bufferDuration / 1000));
    BlockSet(statusBlock, &StatusBlock::runRate, deviceRate);
    BlockSet(statusBlock, &StatusBlock::runBits, bitsPerSample);
    BlockSet(statusBlock, &StatusBlock::changed, 1);
  }
  SelectCurrentRecords();

  canInputMonitor = canTimeCode = canTransport = canInputGain = canInputMeter = canOutputGain = canOutputMeter = 0;
  canTimeInfo = 1;
  canIoFormat = 1;
  ioFormat = kASIOPCMFormat;

  StartEventThread();
  if (ackEvent == NULL) ackEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
  if (eventThread == NULL || ackEvent == NULL) return ASIOFalse;

  state = kStateInitialized;
  if (OwnsBlock()) {
    LONG rateMask = 0;
    for (int k = 0; k < kRateCount; ++k) {
      RateRecordBase* render = transport->Record(kRenderDirection, k);
      RateRecordBase* capture = transport->Record(kCaptureDirection, k);
      if (render != NULL && capture != NULL && render->supported && capture->supported) rateMask |= 1 << k;
    }
    BlockSet(statusBlock, &StatusBlock::state, kStateInitialized);
    BlockSet(statusBlock, &StatusBlock::bitsMask, depthMask & 0xF);
    BlockSet(statusBlock, &StatusBlock::rateMask, rateMask);
    BlockSet(statusBlock, &StatusBlock::changed, 1);
  }
  return ASIOTrue;
}

DWORD WINAPI CAsioSample::EventThreadMain(LPVOID parameter) {
  CAsioSample* self = static_cast<CAsioSample*>(parameter);
  // Only the first event ends the thread; nothing signals the other three.
  for (;;) {
    DWORD result = WaitForMultipleObjects(4, self->eventThreadEvents, FALSE, INFINITE);
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) break;
  }
  return 0;
}

void CAsioSample::StartEventThread() {
  if (eventThread != NULL) return;
  eventThread = CreateThread(NULL, 0, EventThreadMain, this, 0, NULL);
}

void CAsioSample::StopEventThread() {
  if (eventThread == NULL) return;
  SetEvent(eventThreadEvents[0]);
  // Waits for the thread's end without spinning; the exit code confirms it.
  DWORD exitCode = STILL_ACTIVE;
  while (GetExitCodeThread(eventThread, &exitCode) && exitCode == STILL_ACTIVE) {
    WaitForSingleObject(eventThread, 1000);
  }
  CloseHandle(eventThread);
  eventThread = NULL;
}

void CAsioSample::getDriverName(char* name) {
  // The host's buffer holds 32 bytes.
  if (name != NULL) CopyText(name, 32, driverName);
}

LONG CAsioSample::getDriverVersion() { return 2; }

void CAsioSample::getErrorMessage(char* string) {}
