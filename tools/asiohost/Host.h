// The host side of the ASIO conversation, kept in one place: the four callbacks, the answers
// to asioMessage, and what each buffer switch does with the host's buffers.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "asio.h"

namespace asiohost {

struct HostBehaviour {
  bool timeInfo = true;      // answer kAsioSupportsTimeInfo with 1 (the driver then calls bufferSwitchTimeInfo)
  bool callOutputReady = true;
};

// What the host does at each buffer switch: fill the output halves, take the input halves.
// `index` is the half, `switchNumber` counts switches from 0.
using SwitchHandler = std::function<void(LONG index, uint64_t switchNumber)>;

class Host {
 public:
  static Host& Instance();

  void Configure(IASIO* driver, const HostBehaviour& behaviour, SwitchHandler handler);
  ASIOCallbacks* Callbacks() { return &callbacks_; }

  // Timing of the switches seen so far (monotonic nanoseconds at entry).
  std::vector<int64_t> SwitchTimes();
  uint64_t Switches() const { return switches_.load(); }
  bool ResetRequested() const { return resetRequests_.load() > 0; }
  int ResetRequests() const { return resetRequests_.load(); }
  void ClearResetRequest() { resetRequests_ = 0; }
  double RateFromDriver() const { return rateFromDriver_.load(); }
  uint64_t TimeInfoSwitches() const { return timeInfoSwitches_.load(); }
  // sample positions reported by the driver in its ASIOTime, one per time-info switch
  std::vector<uint64_t> ReportedPositions();

 private:
  static void BufferSwitch(LONG index, ASIOBool direct);
  static void SampleRateDidChange(ASIOSampleRate rate);
  static LONG AsioMessage(LONG selector, LONG value, void* message, double* opt);
  static ASIOTime* BufferSwitchTimeInfo(ASIOTime* time, LONG index, ASIOBool direct);
  void OnSwitch(LONG index, const ASIOTime* time);

  IASIO* driver_ = nullptr;
  HostBehaviour behaviour_;
  SwitchHandler handler_;
  ASIOCallbacks callbacks_{};
  std::atomic<uint64_t> switches_{0};
  std::atomic<uint64_t> timeInfoSwitches_{0};
  std::atomic<int> resetRequests_{0};
  std::atomic<double> rateFromDriver_{0};
  std::vector<int64_t> times_;
  std::vector<uint64_t> positions_;
};

int64_t MonotonicNs();

}  // namespace asiohost
