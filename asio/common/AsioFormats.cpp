// The host's questions: channels, latencies, buffer sizes, sample rates, clock sources,
// sample position and channel descriptions.
#include <stdio.h>

#include "AsioSample.h"

namespace {
struct DsdBufferSizes {
  LONG rate, minSize, maxSize, preferred, granularity;
};
const DsdBufferSizes kDsdBufferSizes[] = {
    {kDsd64Rate, 28224, 282240, 28224, 28224},
    {kDsd128Rate, 56448, 564480, 56448, 56448},
    {kDsd256Rate, 112896, 1128960, 112896, 112896},
};

// A host rate as the integer the format tables use; 0 for values no table can hold.
LONG RateAsInteger(ASIOSampleRate rate) {
  if (!(rate > 0.0) || rate > 2147483647.0) return 0;
  return (LONG)rate;
}
}  // namespace

ASIOError CAsioSample::getChannels(LONG* numInputChannels, LONG* numOutputChannels) {
  LONG in = currentCapture != NULL ? currentCapture->asioChannels : 0;
  LONG out = currentRender != NULL ? currentRender->asioChannels : 0;
  if (numInputChannels != NULL) *numInputChannels = in;
  if (numOutputChannels != NULL) *numOutputChannels = out;
  return (in == 0 && out == 0) ? ASE_NotPresent : ASE_OK;
}

ASIOError CAsioSample::getLatencies(LONG* inputLatency, LONG* outputLatency) {
  ASIOError result = getChannels(NULL, NULL);
  if (result != ASE_OK) {
    if (inputLatency != NULL) *inputLatency = 0;
    if (outputLatency != NULL) *outputLatency = 0;
    return result;
  }
  LONG base;
  if (state == kStatePrepared) {
    base = bufferFrames;
  } else if (deviceRate == 44100) {
    base = (LONG)(bufferDuration * 44 / 10000);  // 44 frames per millisecond
  } else {
    base = (LONG)((LONGLONG)deviceRate * bufferDuration / 10000000);
  }
  if (inputLatency != NULL) *inputLatency = base;
  if (outputLatency != NULL) *outputLatency = (warmupSwitches - 1) * base;
  return ASE_OK;
}

ASIOError CAsioSample::getBufferSize(LONG* minSize, LONG* maxSize, LONG* preferredSize, LONG* granularity) {
  ASIOError result = getChannels(NULL, NULL);
  if (result != ASE_OK) return result;
  LONG values[4] = {(LONG)(deviceRate * 2.0 / 1000.0), (LONG)(deviceRate * 600.0 / 1000.0),
                    (LONG)((LONGLONG)deviceRate * bufferDuration / 10000000), deviceRate / 1000};
  for (const DsdBufferSizes& dsd : kDsdBufferSizes) {
    if (clockRate == dsd.rate) {
      values[0] = dsd.minSize;
      values[1] = dsd.maxSize;
      values[2] = dsd.preferred;
      values[3] = dsd.granularity;
    }
  }
  if (minSize != NULL) *minSize = values[0];
  if (maxSize != NULL) *maxSize = values[1];
  if (preferredSize != NULL) *preferredSize = values[2];
  if (granularity != NULL) *granularity = values[3];
  return ASE_OK;
}

ASIOError CAsioSample::canSampleRate(ASIOSampleRate sampleRate) {
  LONG rate = RateAsInteger(sampleRate);
  if (IsDsdRate(rate)) {
    // DSD needs 32-bit containers, and the control panel must be able to show it.
    if (!OwnsBlock() || (BlockGet(statusBlock, &StatusBlock::bitsMask) & 0x8) == 0) return ASE_NoClock;
    rate = DsdCarrierRate(rate);
  }
  if (transport == NULL) return ASE_NotPresent;
  RateRecordBase* render = NULL;
  RateRecordBase* capture = NULL;
  for (int k = 0; k < kRateCount; ++k) {
    RateRecordBase* r = transport->Record(kRenderDirection, k);
    RateRecordBase* c = transport->Record(kCaptureDirection, k);
    if (r != NULL && r->sampleRate == rate) render = r;
    if (c != NULL && c->sampleRate == rate) capture = c;
  }
  LONG captureChannels = capture != NULL ? capture->asioChannels : 0;
  LONG renderChannels = render != NULL ? render->asioChannels : 0;
  if (captureChannels > 0) {
    bool ok = capture->supported && (renderChannels == 0 || render->supported);
    return ok ? ASE_OK : ASE_NoClock;
  }
  if (renderChannels > 0) return render->supported ? ASE_OK : ASE_NoClock;
  return ASE_NotPresent;
}

ASIOError CAsioSample::getSampleRate(ASIOSampleRate* sampleRate) {
  ASIOError result = getChannels(NULL, NULL);
  if (result != ASE_OK) return result;
  if (sampleRate == NULL) return ASE_OK;
  if (deviceRate == 0) {
    *sampleRate = 0.0;
    return ASE_NoClock;
  }
  *sampleRate = IsDsdRate(clockRate) ? clockRate : deviceRate;
  return ASE_OK;
}

ASIOError CAsioSample::setSampleRate(ASIOSampleRate sampleRate) {
  ASIOError result = canSampleRate(sampleRate);
  if (result != ASE_OK) return result;
  LONG rate = RateAsInteger(sampleRate);
  bool clockChanged = clockRate != rate;
  clockRate = rate;
  LONG newDeviceRate = DsdCarrierRate(rate);
  if (newDeviceRate != deviceRate || clockChanged) {
    deviceRate = newDeviceRate;
    if (BlockHasMagic(statusBlock)) {
      BlockSet(statusBlock, &StatusBlock::runRate, deviceRate);
      BlockSet(statusBlock, &StatusBlock::changed, 1);
    }
    SelectCurrentRecords();
    if (callbacksKnown) {
      if (hostCallbacks.sampleRateDidChange != NULL) hostCallbacks.sampleRateDidChange((double)deviceRate);
      if (hostCallbacks.asioMessage != NULL) hostCallbacks.asioMessage(kAsioResetRequest, 0, NULL, NULL);
    }
    rateChanged = 1;
  }
  return ASE_OK;
}

ASIOError CAsioSample::getClockSources(ASIOClockSource* clocks, LONG* numSources) {
  ASIOError result = getChannels(NULL, NULL);
  if (result != ASE_OK) return result;
  if (numSources == NULL) return ASE_InvalidParameter;
  if (*numSources > 0 && clocks != NULL) {
    clocks[0].index = 0;
    clocks[0].associatedChannel = -1;
    clocks[0].associatedGroup = -1;
    clocks[0].isCurrentSource = ASIOTrue;
    snprintf(clocks[0].name, sizeof clocks[0].name, "%s", "Internal");
  }
  *numSources = 1;
  return ASE_OK;
}

ASIOError CAsioSample::setClockSource(LONG reference) {
  if (getChannels(NULL, NULL) != ASE_OK || reference > 1) return ASE_NotPresent;
  return ASE_OK;
}

ASIOError CAsioSample::getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) {
  if (getChannels(NULL, NULL) != ASE_OK) return ASE_NotPresent;
  ULONGLONG position = samplePosition;
  ULONGLONG timestamp = sampleTimestamp;
  if (sPos != NULL) {
    sPos->hi = (ULONG)(position >> 32);
    sPos->lo = (ULONG)position;
  }
  if (tStamp != NULL) {
    tStamp->hi = (ULONG)(timestamp >> 32);
    tStamp->lo = (ULONG)timestamp;
  }
  return ASE_OK;
}

ASIOError CAsioSample::getChannelInfo(ASIOChannelInfo* info) {
  LONG inputs = 0, outputs = 0;
  ASIOError result = getChannels(&inputs, &outputs);
  if (result != ASE_OK) return result;
  if (info == NULL) return ASE_InvalidParameter;
  RateRecordBase* record;
  if (info->isInput) {
    if (info->channel < 0 || info->channel >= inputs) return ASE_InvalidParameter;
    record = currentCapture;
  } else {
    if (info->channel < 0 || info->channel >= outputs) return ASE_InvalidParameter;
    record = currentRender;
  }
  if (record == NULL) return ASE_NotPresent;
  ASIOBool active = ASIOFalse;
  LONG group = 0;
  transport->ChannelState(record, info->channel, &active, &group);
  info->isActive = active ? 1 : 0;
  info->channelGroup = group;
  if (IsDsdRate(clockRate)) {
    info->type = ASIOSTDSDInt8MSB1;
    bitsPerSample = 32;
    if (BlockHasMagic(statusBlock)) {
      BlockSet(statusBlock, &StatusBlock::runBits, 32);
      BlockSet(statusBlock, &StatusBlock::changed, 1);
    }
  } else if (bitsPerSample == 24) {
    info->type = ASIOSTInt24LSB;
  } else if (bitsPerSample == 32) {
    info->type = ASIOSTInt32LSB;
  } else {
    info->type = ASIOSTInt16LSB;
  }
  // The name field holds 32 bytes; longer names are cut there.
  char name[sizeof driverName + 8];
  snprintf(name, sizeof name, "%s_%s_%s", driverName, info->isInput ? "IN" : "OUT", info->channel == 0 ? "L" : "R");
  lstrcpynA(info->name, name, sizeof info->name);
  return ASE_OK;
}
