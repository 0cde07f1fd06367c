// Buffers and streaming hand-over: createBuffers, disposeBuffers, start, stop, outputReady.
#include "AsioSample.h"

namespace {
ModeCommand DsdCommandFor(LONG clockRate) {
  if (clockRate == kDsd128Rate) return kDsd128Command;
  if (clockRate == kDsd256Rate) return kDsd256Command;
  return kDsd64Command;
}
}  // namespace

void CAsioSample::QueryHostSupport() {
  hostTimeInfo = hostTimeCode = hostInputMonitor = hostInputGain = hostInputMeter = hostOutputGain = hostOutputMeter =
      0;
  LONG (*message)(LONG, LONG, void*, double*) = hostCallbacks.asioMessage;
  if (message == NULL) return;
  if (message(kAsioEngineVersion, 0, NULL, NULL) < 2) return;
  if (canTimeInfo) {
    hostTimeInfo = message(kAsioSupportsTimeInfo, 0, NULL, NULL) == 1;
    if (hostTimeInfo && canTimeCode) hostTimeCode = message(kAsioSupportsTimeCode, 0, NULL, NULL) == 1;
  }
  if (canInputMonitor) hostInputMonitor = message(kAsioSupportsInputMonitor, 0, NULL, NULL) == 1;
  if (canInputGain) hostInputGain = message(kAsioSupportsInputGain, 0, NULL, NULL) == 1;
  if (canInputMeter) hostInputMeter = message(kAsioSupportsInputMeter, 0, NULL, NULL) == 1;
  if (canOutputGain) hostOutputGain = message(kAsioSupportsOutputGain, 0, NULL, NULL) == 1;
  if (canOutputMeter) hostOutputMeter = message(kAsioSupportsOutputMeter, 0, NULL, NULL) == 1;
}

ASIOError CAsioSample::createBuffers(ASIOBufferInfo* bufferInfos, LONG numChannels, LONG bufferSize,
                                     ASIOCallbacks* callbacks) {
  // Buffers exist already: the host must dispose them first.
  if (state == kStatePrepared || state == kStateRunning) return ASE_InvalidMode;

  LONG inputs = 0, outputs = 0;
  ASIOError result = getChannels(&inputs, &outputs);
  if (result != ASE_OK) {
    activeRender = currentRender;
    activeCapture = currentCapture;
    disposeBuffers();
    return result;
  }
  // Everything the host hands over is checked before anything is allocated or opened.
  if (callbacks == NULL || numChannels < 0 || (numChannels > 0 && bufferInfos == NULL)) return ASE_InvalidParameter;
  LONG maxSize = 0;
  getBufferSize(NULL, &maxSize, NULL, NULL);
  if (bufferSize <= 0 || bufferSize > maxSize) return ASE_InvalidMode;
  if (IsDsdRate(clockRate) && bufferSize % 32 != 0) return ASE_InvalidMode;  // whole 32-bit containers only
  for (LONG i = 0; i < numChannels; ++i) {
    LONG count = bufferInfos[i].isInput ? inputs : outputs;
    if (bufferInfos[i].channelNum < 0 || bufferInfos[i].channelNum >= count) return ASE_InvalidParameter;
    for (LONG j = 0; j < i; ++j) {
      if (bufferInfos[j].channelNum == bufferInfos[i].channelNum &&
          (bufferInfos[j].isInput != 0) == (bufferInfos[i].isInput != 0))
        return ASE_InvalidParameter;  // one channel asked for twice would share its buffers
    }
  }

  activeRender = currentRender;
  activeCapture = currentCapture;
  // DSD travels in 32-bit containers whatever width the host chose before.
  if (IsDsdRate(clockRate)) bitsPerSample = 32;
  bool wantsInputs = false;
  for (LONG i = 0; i < numChannels; ++i) wantsInputs = wantsInputs || bufferInfos[i].isInput;

  if (inputs > 0 && wantsInputs) {
    if (activeCapture == NULL) {
      result = ASE_InvalidParameter;
    } else {
      result = transport->OpenStreams(kCaptureDirection, bufferInfos, numChannels, bufferSize, activeCapture);
    }
  }
  if (result == ASE_OK && outputs > 0) {
    if (activeRender == NULL) {
      result = ASE_InvalidParameter;
    } else {
      result = transport->OpenStreams(kRenderDirection, bufferInfos, numChannels, bufferSize, activeRender);
    }
  }
  if (result == ASE_OK) {
    hostCallbacks = *callbacks;
    callbacksKnown = true;
    bufferFrames = bufferSize;
    result = transport->StartStreamThreads();
    QueryHostSupport();
  }
  if (result != ASE_OK) {
    disposeBuffers();
    return result;
  }

  state = kStatePrepared;
  if (OwnsBlock()) {
    bool dsd = IsDsdRate(clockRate);
    BlockSet(statusBlock, &StatusBlock::state, kStatePrepared);
    BlockSet(statusBlock, &StatusBlock::runBuffer, dsd ? bufferSize / 32 : bufferSize);
    BlockSet(statusBlock, &StatusBlock::dsdActive, dsd ? 1 : 0);
    BlockSet(statusBlock, &StatusBlock::dsd128, clockRate == kDsd128Rate ? 1 : 0);
    BlockSet(statusBlock, &StatusBlock::dsd256, clockRate == kDsd256Rate ? 1 : 0);
    BlockSet(statusBlock, &StatusBlock::nativeDsd, dsd ? 1 : 0);
    BlockSet(statusBlock, &StatusBlock::changed, 1);
  }
  if (IsDsdRate(clockRate)) SendModeCommand(DsdCommandFor(clockRate), TRUE);
  return ASE_OK;
}

ASIOError CAsioSample::disposeBuffers() {
  LONG inputs = 0, outputs = 0;
  ASIOError result = getChannels(&inputs, &outputs);
  if (result == ASE_OK && transport != NULL) {
    transport->StopStreamThreads();
    if (inputs > 0 && activeCapture != NULL) transport->CloseStreams(activeCapture);
    if (outputs > 0 && activeRender != NULL) transport->CloseStreams(activeRender);
  }
  state = kStateInitialized;
  if (OwnsBlock()) {
    BlockSet(statusBlock, &StatusBlock::state, kStateInitialized);
    BlockSet(statusBlock, &StatusBlock::dsdActive, 0);
    BlockSet(statusBlock, &StatusBlock::dsd128, 0);
    BlockSet(statusBlock, &StatusBlock::nativeDsd, 0);
    BlockSet(statusBlock, &StatusBlock::changed, 1);
  }
  SendModeCommand(kDsd64Command, FALSE);
  SendModeCommand(kDsd128Command, FALSE);
  SendModeCommand(kDsd256Command, FALSE);
  activeRender = NULL;
  activeCapture = NULL;
  return result;
}

ASIOError CAsioSample::start() {
  ASIOError result = getChannels(NULL, NULL);
  if (result != ASE_OK) return result;
  // Only a prepared driver has a stream thread that acknowledges the start.
  if (state == kStatePrepared && transport->StreamThreadExists()) {
    state = kStateRunning;
    PublishOwned(&StatusBlock::state, kStateRunning);
    transport->SignalStart();
    WaitForSingleObject(ackEvent, INFINITE);
  }
  return ASE_OK;
}

ASIOError CAsioSample::stop() {
  ASIOError result = getChannels(NULL, NULL);
  if (result == ASE_OK && state == kStateRunning && transport->StreamThreadExists()) {
    transport->SignalStop();
    WaitForSingleObject(ackEvent, INFINITE);
  }
  if (dopActive) {
    dopActive = 0;
    SendModeCommand(kDopCommand, FALSE);
  }
  // Stopping never moves an initialised driver to PREPARED: without buffers there is no
  // stream thread to acknowledge a later start.
  if (state == kStateRunning || state == kStatePrepared) {
    state = kStatePrepared;
    PublishOwned(&StatusBlock::state, kStatePrepared);
  }
  return result;
}

ASIOError CAsioSample::outputReady() {
  if (state == kStateRunning && activeRender != NULL && bufferFrames > 0) {
    ULONGLONG buffers = samplePosition / (ULONGLONG)bufferFrames;
    transport->FillOutput(activeRender, (LONG)((warmupSwitches + buffers) % 8), (LONG)(buffers & 1));
  }
  return ASE_OK;
}

ASIOError CAsioSample::future(LONG selector, void* opt) {
  switch (selector) {
    case kAsioEnableTimeCodeRead:
    case kAsioDisableTimeCodeRead:
      if (!canTimeCode) return ASE_NotPresent;
      timeCodeRead = selector == kAsioEnableTimeCodeRead;
      return ASE_SUCCESS;
    case kAsioSetInputMonitor:
    case kAsioTransport:
    case kAsioSetInputGain:
    case kAsioGetInputMeter:
    case kAsioSetOutputGain:
    case kAsioGetOutputMeter:
      return ASE_NotPresent;
    case kAsioCanInputMonitor: return canInputMonitor ? ASE_SUCCESS : ASE_NotPresent;
    case kAsioCanTimeInfo: return canTimeInfo ? ASE_SUCCESS : ASE_NotPresent;
    case kAsioCanTimeCode: return canTimeCode ? ASE_SUCCESS : ASE_NotPresent;
    case kAsioCanTransport: return canTransport ? ASE_SUCCESS : ASE_NotPresent;
    case kAsioCanInputGain: return canInputGain ? ASE_SUCCESS : ASE_NotPresent;
    case kAsioCanInputMeter: return canInputMeter ? ASE_SUCCESS : ASE_NotPresent;
    case kAsioCanOutputGain: return canOutputGain ? ASE_SUCCESS : ASE_NotPresent;
    case kAsioCanOutputMeter: return canOutputMeter ? ASE_SUCCESS : ASE_NotPresent;
    case kAsioSetIoFormat: {
      if (!canIoFormat) return ASE_NotPresent;
      ASIOIoFormat* format = static_cast<ASIOIoFormat*>(opt);
      if (format == NULL) return ASE_InvalidParameter;
      if (format->FormatType == kASIOPCMFormat || format->FormatType == kASIODSDFormat) {
        ioFormat = format->FormatType;
        return ASE_SUCCESS;
      }
      format->FormatType = kASIOFormatInvalid;
      return ASE_NotPresent;
    }
    case kAsioGetIoFormat: {
      if (!canIoFormat) return ASE_NotPresent;
      ASIOIoFormat* format = static_cast<ASIOIoFormat*>(opt);
      if (format == NULL) return ASE_InvalidParameter;
      format->FormatType = ioFormat;
      return ASE_SUCCESS;
    }
    case kAsioCanDoIoFormat: return canIoFormat ? ASE_SUCCESS : ASE_NotPresent;
    default: return ASE_InvalidParameter;
  }
}
