// Waitable timers, served by one timer thread per process. Arming and cancelling allocate
// nothing: the armed timers form an intrusive list that the timer thread scans (a process has
// only a handful).
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "kernel_internal.h"

namespace velno::kernel {
namespace {

class Timer;

struct TimerService {
  std::mutex lock;
  std::condition_variable changed;
  Timer* armed = nullptr;  // intrusive list of armed timers
  bool threadStarted = false;
  uint64_t generation = 0;  // bumped when the armed set changes
};

TimerService& Service() {
  static auto* service = new TimerService;  // the timer thread outlives static destruction
  return *service;
}

class Timer : public Waitable {
 public:
  explicit Timer(bool manual) : manual_(manual) {}
  ~Timer() override {
    std::lock_guard<std::mutex> guard(Service().lock);
    Unlink();
  }
  const char* TypeName() const override { return "Timer"; }
  bool IsSignalled() const override { return signalled_; }
  void Satisfy() override {
    if (!manual_) signalled_ = false;
  }

  // Service lock held for the rest.
  void Link() {
    if (linked_) return;
    TimerService& s = Service();
    next_ = s.armed;
    prev_ = nullptr;
    if (s.armed) s.armed->prev_ = this;
    s.armed = this;
    linked_ = true;
  }
  void Unlink() {
    if (!linked_) return;
    if (prev_) {
      prev_->next_ = next_;
    } else {
      Service().armed = next_;
    }
    if (next_) next_->prev_ = prev_;
    next_ = prev_ = nullptr;
    linked_ = false;
  }

  const bool manual_;
  bool signalled_ = false;  // dispatcher lock
  uint64_t due_ = 0;        // CLOCK_MONOTONIC ns
  uint64_t periodNs_ = 0;
  bool linked_ = false;
  Timer* next_ = nullptr;
  Timer* prev_ = nullptr;
};

void TimerThread() {
  // Timers pace the stream thread's watchdog and pacing; fire them on time where the machine
  // lets this thread run at real-time priority.
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 41;
  if (param.sched_priority > sched_get_priority_max(SCHED_FIFO)) param.sched_priority = sched_get_priority_max(SCHED_FIFO);
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
  pthread_setname_np(pthread_self(), "velno-timers");
  TimerService& s = Service();
  std::unique_lock<std::mutex> guard(s.lock);
  for (;;) {
    uint64_t now = MonotonicNs();
    uint64_t next = UINT64_MAX;
    for (Timer* t = s.armed; t;) {
      Timer* following = t->next_;
      if (t->due_ <= now) {
        UpdateState(*t, [&] { t->signalled_ = true; });
        if (t->periodNs_) {
          t->due_ += t->periodNs_;
          if (t->due_ <= now) t->due_ = now + t->periodNs_;  // fell behind: no burst of catch-up firings
        } else {
          t->Unlink();
        }
      }
      if (t->linked_ && t->due_ < next) next = t->due_;
      t = following;
    }
    uint64_t seen = s.generation;
    if (next == UINT64_MAX) {
      s.changed.wait(guard, [&] { return s.generation != seen; });
    } else {
      // condition_variable::wait_until on steady_clock waits on CLOCK_MONOTONIC.
      auto deadline = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(next));
      s.changed.wait_until(guard, deadline, [&] { return s.generation != seen; });
    }
  }
}

constexpr int64_t kFileTimeUnixEpoch = 116444736000000000LL;  // 1601-01-01 to 1970-01-01 in 100 ns

uint64_t RealtimeNs() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

std::shared_ptr<Timer> GetTimer(HANDLE h) {
  auto timer = Lookup<Timer>(h);
  if (!timer) SetLastError(ERROR_INVALID_HANDLE);
  return timer;
}

}  // namespace
}  // namespace velno::kernel

using namespace velno::kernel;

HANDLE WINAPI CreateWaitableTimerA(LPSECURITY_ATTRIBUTES, BOOL manualReset, LPCSTR name) {
  SetLastError(ERROR_SUCCESS);
  return InsertHandle(std::make_shared<Timer>(manualReset != FALSE));
}

// Due times: negative values are relative, in 100 ns units; positive values are absolute
// system times (FILETIME). The period is in milliseconds (0: fires once). A completion routine
// would need an alertable wait, which this kernel does not offer; it is not called.
BOOL WINAPI SetWaitableTimer(HANDLE h, const LARGE_INTEGER* dueTime, LONG period, PTIMERAPCROUTINE, LPVOID, BOOL) {
  auto timer = GetTimer(h);
  if (!timer) return FALSE;
  if (!dueTime || period < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t now = MonotonicNs();
  uint64_t due;
  LONGLONG value = dueTime->QuadPart;
  if (value < 0) {
    due = now + uint64_t(-value) * 100;
  } else {
    int64_t fromNowNs = (value - kFileTimeUnixEpoch) * 100 - int64_t(RealtimeNs());
    due = fromNowNs <= 0 ? now : now + uint64_t(fromNowNs);
  }
  {
    // Setting a timer makes it unsignalled until it fires.
    std::lock_guard<std::mutex> guard(Dispatcher::Lock());
    timer->signalled_ = false;
  }
  TimerService& s = Service();
  bool startThread = false;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    timer->due_ = due;
    timer->periodNs_ = uint64_t(period) * 1000000ull;
    timer->Link();
    ++s.generation;
    if (!s.threadStarted) s.threadStarted = startThread = true;
  }
  if (startThread) {
    std::thread(TimerThread).detach();
  } else {
    s.changed.notify_one();
  }
  return TRUE;
}

BOOL WINAPI CancelWaitableTimer(HANDLE h) {
  auto timer = GetTimer(h);
  if (!timer) return FALSE;
  TimerService& s = Service();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    timer->Unlink();
    ++s.generation;
  }
  s.changed.notify_one();
  return TRUE;
}
