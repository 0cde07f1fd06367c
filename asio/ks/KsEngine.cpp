// The streaming engine: pins opened for the host's buffers, a ring of eight packets per pin,
// the time-critical stream thread that turns completions into buffer switches, and the
// watchdog that reports a stream that stopped completing.
#include "KsTransport.h"
#include "kslib.h"  // first: it brings the wave-format headers before ksmedia.h

#include <ksmedia.h>
#include <mmreg.h>
#include <mmsystem.h>

#include "KsConversion.h"
#include "SampleBuffers.h"
#include "SampleCopy.h"

namespace {

const LONGLONG kWatchdogDue = -20000000LL;  // two seconds, relative, in 100-ns units

ULONG ChannelMask(ULONG channels) {
  switch (channels) {
    case 4: return 0x33;
    case 6: return 0x3F;
    case 8: return 0x63F;
    default: return 0x3;
  }
}

// Waits for a thread to end without spinning, so a thread that is slow to leave costs no CPU;
// the exit code confirms the end.
void WaitForThreadEnd(HANDLE thread) {
  DWORD code = STILL_ACTIVE;
  while (GetExitCodeThread(thread, &code) && code == STILL_ACTIVE) WaitForSingleObject(thread, 1000);
}

}  // namespace

HRESULT CKsTransport::SetupPin(CKsAudPin* pin, LONG rate, LONG bits, ULONG channels) {
  WAVEFORMATEXTENSIBLE format = {};
  format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  format.Format.nChannels = (WORD)channels;
  format.Format.nSamplesPerSec = (DWORD)rate;
  format.Format.nBlockAlign = (WORD)(bits / 8 * channels);
  format.Format.nAvgBytesPerSec = format.Format.nBlockAlign * (DWORD)rate;
  format.Format.wBitsPerSample = (WORD)bits;
  format.Format.cbSize = 22;
  format.Samples.wValidBitsPerSample = (WORD)bits;
  format.dwChannelMask = ChannelMask(channels);
  format.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  HRESULT hr = pin->SetFormat(&format.Format);
  if (SUCCEEDED(hr)) hr = pin->Instantiate(FALSE);
  if (SUCCEEDED(hr)) hr = pin->Reset();
  return hr;
}

ASIOError CKsTransport::OpenStreams(int direction, ASIOBufferInfo* infos, LONG count, LONG bufferFrames,
                                    RateRecordBase* base) {
  RateRecord* record = static_cast<RateRecord*>(base);
  const bool dsd = IsDsdRate(driver->clockRate);
  const LONG bits = driver->bitsPerSample;
  const ULONG deviceFrames = dsd ? (ULONG)bufferFrames / 32 : (ULONG)bufferFrames;
  const SIZE_T halfBytes = dsd ? (SIZE_T)bufferFrames / 8 : (SIZE_T)bits * bufferFrames / 8;
  const bool capture = direction == kCaptureDirection;

  for (LONG i = 0; i < count; ++i) {
    ASIOBufferInfo& info = infos[i];
    if ((info.isInput != 0) != capture) continue;
    ChannelSlot& channel = record->channels[info.channelNum];
    for (int h = 0; h < 2; ++h) {
      if (channel.buffers[h] == NULL) channel.buffers[h] = AllocateSampleBuffer(halfBytes);
      info.buffers[h] = channel.buffers[h];
    }
    channel.frames = deviceFrames;
    channel.active = 1;
    if (channel.buffers[0] == NULL || channel.buffers[1] == NULL) return ASE_NoMemory;
    PinSlot* pin = channel.pinSlot;
    pin->inUse = 1;
    if (pin->channelsUsed < channel.indexInPin + 1) pin->channelsUsed = channel.indexInPin + 1;
  }
  if (count == 0) {
    for (ULONG s = 0; s < record->pinCount; ++s) {
      record->pins[s].inUse = 1;
      record->pins[s].channelsUsed = 1;
    }
  }

  ASIOError result = ASE_OK;
  for (ULONG s = 0; s < record->pinCount; ++s) {
    PinSlot& pin = record->pins[s];
    if (!pin.inUse || pin.channelsUsed == 0) continue;
    HRESULT hr = SetupPin(pin.pin, record->sampleRate, bits, pin.channelsUsed);
    // A pin may only take wider frames than the host asked for: try each larger channel count.
    for (ULONG channels = pin.channelsUsed + 1; FAILED(hr) && channels <= pin.channelCapacity; ++channels) {
      hr = SetupPin(pin.pin, record->sampleRate, bits, channels);
      if (SUCCEEDED(hr)) pin.channelsUsed = channels;
    }
    if (SUCCEEDED(hr)) {
      pin.opened = 1;
      record->openedPins |= 1u << s;
    }
    const ULONG frameExtent = (ULONG)bits * pin.channelsUsed * deviceFrames / 8;
    for (PacketRecord& packet : pin.packets) {
      if (packet.header.Data == NULL) packet.header.Data = AllocateSampleBuffer(frameExtent);
      packet.header.FrameExtent = packet.header.Data != NULL ? frameExtent : 0;
      packet.header.DataUsed = capture ? 0 : packet.header.FrameExtent;
      if (packet.header.Data == NULL) result = ASE_NoMemory;
    }
    pin.framesPerPacket = deviceFrames;
  }
  return result;
}

ASIOError CKsTransport::CloseStreams(RateRecordBase* base) {
  RateRecord* record = static_cast<RateRecord*>(base);
  for (ULONG s = 0; s < record->pinCount; ++s) {
    PinSlot& pin = record->pins[s];
    if (!pin.inUse) continue;
    for (PacketRecord& packet : pin.packets) {
      FreeSampleBuffer(packet.header.Data);
      packet.header.Data = NULL;
      packet.header.FrameExtent = 0;
      packet.header.DataUsed = 0;
    }
    pin.channelsUsed = 0;
    pin.framesPerPacket = 0;
    if (pin.opened) pin.pin->ClosePin();
    pin.opened = 0;
    pin.inUse = 0;
  }
  record->openedPins = 0;
  for (ULONG c = 0; c < record->channelCount; ++c) {
    ChannelSlot& channel = record->channels[c];
    for (void*& half : channel.buffers) {
      FreeSampleBuffer(half);
      half = NULL;
    }
    channel.frames = 0;
    channel.active = 0;
  }
  return ASE_OK;
}

ASIOError CKsTransport::StartStreamThreads() {
  if (streamThread != NULL) return ASE_OK;
  streamThread = CreateThread(NULL, 0, StreamThreadMain, this, CREATE_SUSPENDED, NULL);
  watchdogThread = CreateThread(NULL, 0, WatchdogThreadMain, this, CREATE_SUSPENDED, NULL);
  if (streamThread == NULL || watchdogThread == NULL) {
    // Neither thread has run: a suspended thread is simply ended.
    for (HANDLE* thread : {&streamThread, &watchdogThread}) {
      if (*thread != NULL) {
        TerminateThread(*thread, 0);
        CloseHandle(*thread);
        *thread = NULL;
      }
    }
    return ASE_NoMemory;
  }
  DWORD_PTR processMask = 0, systemMask = 0;
  GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
  for (HANDLE thread : {streamThread, watchdogThread}) {
    if (processMask != 0) SetThreadAffinityMask(thread, processMask);
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    SetThreadPriorityBoost(thread, FALSE);
    ResumeThread(thread);
  }
  return ASE_OK;
}

ASIOError CKsTransport::StopStreamThreads() {
  if (watchdogThread != NULL) {
    SetEvent(watchdogQuitEvent);
    WaitForThreadEnd(watchdogThread);
    CloseHandle(watchdogThread);
    watchdogThread = NULL;
  }
  if (streamThread != NULL) {
    SetEvent(controlEvents[kControlQuit]);
    WaitForThreadEnd(streamThread);
    CloseHandle(streamThread);
    streamThread = NULL;
  }
  return ASE_OK;
}

DWORD WINAPI CKsTransport::WatchdogThreadMain(LPVOID parameter) {
  static_cast<CKsTransport*>(parameter)->WatchdogLoop();
  return 0;
}

// Reports each stall once: the timer fires two seconds after the last completion, and only a
// new completion (or a new start) arms it again.
void CKsTransport::WatchdogLoop() {
  HANDLE handles[2] = {watchdogQuitEvent, watchdogTimer};
  for (;;) {
    DWORD result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (result != WAIT_OBJECT_0 + 1) break;
    SetEvent(controlEvents[kControlWatchdog]);
  }
  CancelWaitableTimer(watchdogTimer);
}

void CKsTransport::ArmWatchdog() {
  LARGE_INTEGER due;
  due.QuadPart = kWatchdogDue;
  SetWaitableTimer(watchdogTimer, &due, 0, NULL, NULL, FALSE);
}

DWORD WINAPI CKsTransport::StreamThreadMain(LPVOID parameter) {
  static_cast<CKsTransport*>(parameter)->StreamLoop();
  return 0;
}

void CKsTransport::SetPinStates(KSSTATE state) {
  // Capture first, then render; only pins that were opened.
  for (RateRecordBase* base : {driver->activeCapture, driver->activeRender}) {
    RateRecord* record = static_cast<RateRecord*>(base);
    if (record == NULL) continue;
    for (ULONG s = 0; s < record->pinCount; ++s)
      if (record->pins[s].opened) record->pins[s].pin->SetState(state);
  }
}

void CKsTransport::QueuePackets(RateRecord* record, bool render, LONG k) {
  if (record == NULL) return;
  for (ULONG s = 0; s < record->pinCount; ++s) {
    PinSlot& pin = record->pins[s];
    if (!pin.opened) continue;
    PacketRecord& packet = pin.packets[k];
    if (render) {
      pin.pin->WriteData(&packet.header, &packet.overlapped);
    } else {
      packet.header.DataUsed = 0;
      pin.pin->ReadData(&packet.header, &packet.overlapped);
    }
  }
}

void CKsTransport::StopStreaming() {
  SetPinStates(KSSTATE_PAUSE);
  SetPinStates(KSSTATE_ACQUIRE);
  SetPinStates(KSSTATE_STOP);
}

void CKsTransport::StreamLoop() {
  RateRecord* render = static_cast<RateRecord*>(driver->activeRender);
  RateRecord* capture = static_cast<RateRecord*>(driver->activeCapture);
  const ULONG activeDirections =
      (render != NULL && render->openedPins ? 1u : 0u) | (capture != NULL && capture->openedPins ? 2u : 0u);

  // Control events first, then the packet events of up to three pins per direction.
  // Every slot of a record has its events (made by init), used or not, so the list never
  // holds a handle twice; a direction without a record waits on the first record's events,
  // which nothing signals while it is inactive.
  HANDLE handles[kWaitHandles];
  for (int i = 0; i < kControlEvents; ++i) handles[i] = controlEvents[i];
  for (int direction = 0; direction < 2; ++direction) {
    RateRecord* record = direction == 0 ? render : capture;
    if (record == NULL) record = direction == 0 ? &renderRecords[0] : &captureRecords[0];
    for (int s = 0; s < kMaxPinSlots; ++s) {
      for (int k = 0; k < kPacketsPerPin; ++k) {
        HANDLE event = record->pins[s].packets[k].overlapped.hEvent;
        ResetEvent(event);
        handles[kControlEvents + direction * kMaxPinSlots * kPacketsPerPin + s * kPacketsPerPin + k] = event;
      }
    }
  }

  bool running = false;
  ULONG renderDone[2] = {0, 0}, captureDone[2] = {0, 0}, directionsDone[2] = {0, 0};
  const ULONG warmup = (ULONG)driver->warmupSwitches;
  const ULONGLONG frames = (ULONGLONG)driver->bufferFrames;

  for (;;) {
    DWORD result = WaitForMultipleObjects(kWaitHandles, handles, FALSE, INFINITE);
    if (result >= WAIT_OBJECT_0 + kWaitHandles) break;  // a failed wait ends the thread in order
    const DWORD index = result - WAIT_OBJECT_0;
    bool quit = false;

    if (index == kControlQuit) {
      CancelWaitableTimer(watchdogTimer);
      quit = true;
    } else if (index == kControlStart) {
      if (!running) {
        for (int p = 0; p < 2; ++p) renderDone[p] = captureDone[p] = directionsDone[p] = 0;
        // Completions left over from an earlier run must not count for this one.
        for (int i = kControlEvents; i < kWaitHandles; ++i) ResetEvent(handles[i]);
        SetPinStates(KSSTATE_ACQUIRE);
        SetPinStates(KSSTATE_PAUSE);
        bufferSwitchCount = 0;
        driver->samplePosition = 0;
        runningSamples = 0;
        runningTimestamp = (ULONGLONG)timeGetTime() * 1000000;
        for (ULONG k = 0; k < warmup; ++k) {
          if (render != NULL) FillWithSilence(driver, render, (LONG)k);
          QueuePackets(capture, false, (LONG)k);
          QueuePackets(render, true, (LONG)k);
        }
        Sleep(10);
        SetPinStates(KSSTATE_RUN);
        SetEvent(driver->ackEvent);
        running = true;
      }
      ArmWatchdog();
    } else if (index == kControlStop) {
      SleepEx(30, FALSE);
      if (running) StopStreaming();
      CancelWaitableTimer(watchdogTimer);
      running = false;
      SetEvent(driver->ackEvent);
    } else if (index == kControlWatchdog) {
      if (driver->rateChanged && driver->hostCallbacks.sampleRateDidChange != NULL) {
        driver->hostCallbacks.sampleRateDidChange((double)driver->deviceRate);
        driver->rateChanged = 0;
      }
      if (driver->hostCallbacks.asioMessage != NULL)
        driver->hostCallbacks.asioMessage(kAsioResetRequest, 0, NULL, NULL);
    } else {
      const bool isRender = index < kControlEvents + kMaxPinSlots * kPacketsPerPin;
      const DWORD packetIndex = index - kControlEvents - (isRender ? 0 : kMaxPinSlots * kPacketsPerPin);
      const ULONG slot = packetIndex / kPacketsPerPin;
      const ULONG p = packetIndex % 2;
      RateRecord* record = isRender ? render : capture;
      ULONG* pinsDone = isRender ? &renderDone[p] : &captureDone[p];
      if (running) ArmWatchdog();  // every completion pushes the watchdog away
      *pinsDone |= 1u << slot;
      if (record != NULL && (*pinsDone & record->openedPins) == record->openedPins) {
        if (!running) {
          *pinsDone = 0;
        } else {
          if (!isRender && bufferSwitchCount >= warmup && frames > 0) {
            LONG k = (LONG)((runningSamples / frames + 1) % kPacketsPerPin);
            CopyCapturePackets(driver, capture, k, k % 2);
          }
          directionsDone[p] |= isRender ? 1u : 2u;
          if ((directionsDone[p] & activeDirections) != activeDirections) {
            *pinsDone = 0;
          } else {
            if (bufferSwitchCount != 0) runningSamples += frames;
            runningTimestamp = (ULONGLONG)timeGetTime() * 1000000;
            const LONG k = frames > 0 ? (LONG)((runningSamples / frames + warmup) % kPacketsPerPin) : 0;
            QueuePackets(capture, false, k);
            DeliverBufferSwitch((LONG)p);
            if (render != NULL) {
              // DSD silence for start-up buffers the host left empty.
              if (bufferSwitchCount < 3 && IsDsdRate(driver->clockRate)) {
                for (ULONG s = 0; s < render->pinCount; ++s) {
                  KSSTREAM_HEADER& header = render->pins[s].packets[k].header;
                  static const BYTE zeros[8] = {};
                  if (render->pins[s].opened && header.Data != NULL && header.FrameExtent >= 8 &&
                      memcmp(header.Data, zeros, 8) == 0)
                    memset(header.Data, kDsdSilence, header.FrameExtent);
                }
              }
              QueuePackets(render, true, k);
            }
            directionsDone[p] = 0;
            *pinsDone = 0;
          }
        }
      }
    }

    StatusBlock* block = driver->statusBlock;
    if (driver->OwnsBlock() && BlockGet(block, &StatusBlock::resetRequest) != 0) {
      BlockSet(block, &StatusBlock::resetRequest, 0);
      if (driver->hostCallbacks.asioMessage != NULL)
        driver->hostCallbacks.asioMessage(kAsioResetRequest, 0, NULL, NULL);
    }
    if (quit) break;
  }
  if (running) StopStreaming();
}

void CKsTransport::DeliverBufferSwitch(LONG half) {
  CAsioSample* d = driver;
  d->samplePosition = runningSamples;
  d->sampleTimestamp = runningTimestamp;
  bufferSwitchCount += 1;
  if (d->canTimeInfo && d->hostTimeInfo && d->hostCallbacks.bufferSwitchTimeInfo != NULL) {
    ASIOTime time;
    memset(&time, 0, sizeof time);
    time.timeInfo.speed = 1.0;
    time.timeInfo.systemTime.hi = (ULONG)(runningTimestamp >> 32);
    time.timeInfo.systemTime.lo = (ULONG)runningTimestamp;
    time.timeInfo.samplePosition.hi = (ULONG)(runningSamples >> 32);
    time.timeInfo.samplePosition.lo = (ULONG)runningSamples;
    time.timeInfo.sampleRate = d->deviceRate;
    time.timeInfo.flags = kSystemTimeValid | kSamplePositionValid | kSampleRateValid;
    if (d->rateChanged) {
      time.timeInfo.flags |= kSampleRateChanged;
      d->rateChanged = 0;
    }
    if (d->canTimeCode && d->hostTimeCode) time.timeCode.flags = d->timeCodeRead ? (kTcValid | kTcRunning | kTcOnspeed) : 0;
    d->hostCallbacks.bufferSwitchTimeInfo(&time, half, ASIOTrue);
  } else if (d->hostCallbacks.bufferSwitch != NULL) {
    d->hostCallbacks.bufferSwitch(half, ASIOTrue);
  }
  // The host is not obliged to call outputReady: the driver copies the half it just handed
  // over itself (a host that does call it copies the same data again).
  d->outputReady();
}
