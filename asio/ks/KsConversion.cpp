// Moving samples between the host's buffers and the pins' packets.
#include "KsConversion.h"

#include "SampleCopy.h"

void FillRenderPackets(CAsioSample* driver, RateRecord* record, LONG packet, LONG half) {
  const size_t sampleSize = (size_t)driver->bitsPerSample / 8;
  const bool scan = driver->ScansForDop();
  for (ULONG c = 0; c < record->channelCount && c < kMaxChannelSlots; ++c) {
    ChannelSlot& channel = record->channels[c];
    PinSlot* pin = channel.pinSlot;
    if (pin == NULL || !pin->opened || pin->channelsUsed == 0) continue;
    KSSTREAM_HEADER& header = pin->packets[packet].header;
    const BYTE* host = static_cast<const BYTE*>(channel.buffers[half]);
    if (header.FrameExtent == 0 || host == NULL || header.Data == NULL) continue;
    const size_t frameSize = pin->channelsUsed * sampleSize;
    size_t frames = header.FrameExtent / frameSize;
    if (frames > channel.frames) frames = channel.frames;  // never read past the host half
    BYTE* destination = static_cast<BYTE*>(header.Data) + channel.indexInPin * sampleSize;
    // A stereo pin whose two channels both have buffers is copied in one pass.
    if (pin->channelsUsed == 2 && channel.indexInPin == 0 && c + 1 < record->channelCount) {
      ChannelSlot& right = record->channels[c + 1];
      const BYTE* rightHost = static_cast<const BYTE*>(right.buffers[half]);
      if (right.pinSlot == pin && right.indexInPin == 1 && rightHost != NULL && right.frames == channel.frames) {
        if (scan) {
          bool marked[2];
          InterleaveStereoScanningDop(destination, host, rightHost, sampleSize, frames, marked);
          driver->NoteDopScan(marked[0]);
          driver->NoteDopScan(marked[1]);
        } else {
          InterleaveStereo(destination, host, rightHost, sampleSize, frames);
        }
        ++c;
        continue;
      }
    }
    if (scan) {
      driver->NoteDopScan(InterleaveChannelScanningDop(destination, frameSize, host, sampleSize, frames));
    } else {
      InterleaveChannel(destination, frameSize, host, sampleSize, frames);
    }
  }
}

void CopyCapturePackets(CAsioSample* driver, RateRecord* record, LONG packet, LONG half) {
  const size_t sampleSize = (size_t)driver->bitsPerSample / 8;
  for (ULONG c = 0; c < record->channelCount && c < kMaxChannelSlots; ++c) {
    ChannelSlot& channel = record->channels[c];
    PinSlot* pin = channel.pinSlot;
    if (pin == NULL || !pin->opened || pin->channelsUsed == 0) continue;
    const KSSTREAM_HEADER& header = pin->packets[packet].header;
    BYTE* host = static_cast<BYTE*>(channel.buffers[half]);
    if (header.DataUsed == 0 || host == NULL || header.Data == NULL) continue;
    const size_t frameSize = pin->channelsUsed * sampleSize;
    size_t frames = header.DataUsed / frameSize;  // only what the device delivered
    if (frames > channel.frames) frames = channel.frames;
    const BYTE* source = static_cast<const BYTE*>(header.Data) + channel.indexInPin * sampleSize;
    if (pin->channelsUsed == 2 && channel.indexInPin == 0 && c + 1 < record->channelCount) {
      ChannelSlot& right = record->channels[c + 1];
      BYTE* rightHost = static_cast<BYTE*>(right.buffers[half]);
      if (right.pinSlot == pin && right.indexInPin == 1 && rightHost != NULL && right.frames == channel.frames) {
        DeinterleaveStereo(host, rightHost, source, sampleSize, frames);
        ++c;
        continue;
      }
    }
    DeinterleaveChannel(host, source, frameSize, sampleSize, frames);
  }
}

void FillWithSilence(CAsioSample* driver, RateRecord* record, LONG packet) {
  const int silence = IsDsdRate(driver->clockRate) ? kDsdSilence : kPcmSilence;
  for (ULONG s = 0; s < record->pinCount; ++s) {
    PinSlot& pin = record->pins[s];
    if (!pin.opened) continue;
    KSSTREAM_HEADER& header = pin.packets[packet].header;
    if (header.Data != NULL) memset(header.Data, silence, header.FrameExtent);
  }
}
