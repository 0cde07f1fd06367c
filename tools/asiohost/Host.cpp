#include "Host.h"

#include <time.h>

namespace asiohost {

int64_t MonotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

Host& Host::Instance() {
  static Host host;
  return host;
}

void Host::Configure(IASIO* driver, const HostBehaviour& behaviour, SwitchHandler handler) {
  driver_ = driver;
  behaviour_ = behaviour;
  handler_ = std::move(handler);
  switches_ = 0;
  timeInfoSwitches_ = 0;
  resetRequests_ = 0;
  times_.clear();
  times_.reserve(1 << 20);
  positions_.clear();
  positions_.reserve(1 << 20);
  callbacks_.bufferSwitch = &Host::BufferSwitch;
  callbacks_.sampleRateDidChange = &Host::SampleRateDidChange;
  callbacks_.asioMessage = &Host::AsioMessage;
  callbacks_.bufferSwitchTimeInfo = &Host::BufferSwitchTimeInfo;
}

std::vector<int64_t> Host::SwitchTimes() {
  size_t n = switches_.load();
  return std::vector<int64_t>(times_.begin(), times_.begin() + std::min(n, times_.size()));
}

std::vector<uint64_t> Host::ReportedPositions() {
  size_t n = timeInfoSwitches_.load();
  return std::vector<uint64_t>(positions_.begin(), positions_.begin() + std::min(n, positions_.size()));
}

void Host::OnSwitch(LONG index, const ASIOTime* time) {
  uint64_t n = switches_.load(std::memory_order_relaxed);
  if (times_.size() < times_.capacity()) times_.push_back(MonotonicNs());
  if (time != nullptr && positions_.size() < positions_.capacity()) {
    positions_.push_back(((uint64_t)time->timeInfo.samplePosition.hi << 32) | time->timeInfo.samplePosition.lo);
    timeInfoSwitches_.fetch_add(1);
  }
  if (handler_) handler_(index, n);
  switches_.store(n + 1);
  // A host tells the driver its outputs are ready once it has written them.
  if (behaviour_.callOutputReady && driver_ != nullptr) driver_->outputReady();
}

void Host::BufferSwitch(LONG index, ASIOBool) { Instance().OnSwitch(index, nullptr); }

ASIOTime* Host::BufferSwitchTimeInfo(ASIOTime* time, LONG index, ASIOBool) {
  Instance().OnSwitch(index, time);
  return nullptr;
}

void Host::SampleRateDidChange(ASIOSampleRate rate) { Instance().rateFromDriver_ = rate; }

LONG Host::AsioMessage(LONG selector, LONG value, void*, double*) {
  Host& host = Instance();
  switch (selector) {
    case kAsioSelectorSupported:
      return value == kAsioEngineVersion || value == kAsioResetRequest || value == kAsioResyncRequest ||
                     value == kAsioLatenciesChanged || value == kAsioSupportsTimeInfo ||
                     value == kAsioBufferSizeChange
                 ? 1
                 : 0;
    case kAsioEngineVersion: return 2;
    case kAsioResetRequest:
      // The reset happens on the host's own thread, never inside the callback.
      host.resetRequests_.fetch_add(1);
      return 1;
    case kAsioResyncRequest: return 1;
    case kAsioLatenciesChanged: return 1;
    case kAsioBufferSizeChange: return 0;
    case kAsioSupportsTimeInfo: return host.behaviour_.timeInfo ? 1 : 0;
    case kAsioSupportsTimeCode: return 0;
    default: return 0;
  }
}

}  // namespace asiohost
