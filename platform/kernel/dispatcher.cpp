// Waits: WaitForSingleObject and WaitForMultipleObjects with Windows' rules.
//
// A blocked wait links one wait block per object into that object's wait list and sleeps on a
// futex word of its own thread. Whoever changes an object's state (SetEvent, a timer firing, a
// thread ending) walks that list under the dispatcher lock and completes each wait the new
// state satisfies on the waiter's behalf: it consumes the signal (an auto-reset event resets,
// a semaphore counts down) for exactly that wait, records the result and wakes the thread.
// Nothing here allocates.
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "kernel_internal.h"

namespace velno::kernel {

DWORD CurrentThreadId();

class Waiter {
 public:
  std::atomic<uint32_t> done{0};
  DWORD threadId = 0;
  bool waitAll = false;
  DWORD count = 0;
  DWORD result = WAIT_FAILED;
  Waitable* objects[MAXIMUM_WAIT_OBJECTS] = {};
  WaitBlock blocks[MAXIMUM_WAIT_OBJECTS];
};

namespace {

thread_local Waiter t_waiter;

// The index that satisfies the wait now (wait-any: the lowest signalled one; wait-all: 0 when
// every object is signalled), or -1.
int SatisfyingIndex(const Waiter& w) {
  if (!w.waitAll) {
    for (DWORD i = 0; i < w.count; ++i)
      if (w.objects[i]->IsSignalledFor(w.threadId)) return static_cast<int>(i);
    return -1;
  }
  for (DWORD i = 0; i < w.count; ++i)
    if (!w.objects[i]->IsSignalledFor(w.threadId)) return -1;
  return 0;
}

void Consume(Waiter& w, int index) {
  if (w.waitAll) {
    for (DWORD i = 0; i < w.count; ++i) w.objects[i]->SatisfyFor(w.threadId);
  } else {
    w.objects[index]->SatisfyFor(w.threadId);
  }
}

void Link(Waiter& w) {
  for (DWORD i = 0; i < w.count; ++i) {
    WaitBlock& b = w.blocks[i];
    WaitBlock*& head = Dispatcher::ListOf(*w.objects[i]);
    b.waiter = &w;
    b.object = w.objects[i];
    b.prev = nullptr;
    b.next = head;
    if (head) head->prev = &b;
    head = &b;
  }
}

void Unlink(Waiter& w) {
  for (DWORD i = 0; i < w.count; ++i) {
    WaitBlock& b = w.blocks[i];
    if (b.prev) {
      b.prev->next = b.next;
    } else {
      Dispatcher::ListOf(*b.object) = b.next;
    }
    if (b.next) b.next->prev = b.prev;
    b.next = b.prev = nullptr;
  }
}

DWORD Wait(DWORD count, Waitable* const* objects, bool waitAll, DWORD milliseconds) {
  Waiter& w = t_waiter;
  w.threadId = CurrentThreadId();
  w.waitAll = waitAll;
  w.count = count;
  for (DWORD i = 0; i < count; ++i) w.objects[i] = objects[i];
  const uint64_t deadline = DeadlineAfterMs(milliseconds);
  {
    std::lock_guard<std::mutex> guard(Dispatcher::Lock());
    int index = SatisfyingIndex(w);
    if (index >= 0) {
      Consume(w, index);
      return WAIT_OBJECT_0 + index;
    }
    if (milliseconds == 0) return WAIT_TIMEOUT;
    w.done.store(0, std::memory_order_relaxed);
    w.result = WAIT_FAILED;
    Link(w);
  }
  for (;;) {
    bool inTime = FutexWait(w.done, 0, deadline);
    if (w.done.load(std::memory_order_acquire) == 1) {
      // The waker still holds the lock while it wakes us; pass through it so that it is done
      // with this thread's waiter before the waiter can be reused or freed.
      std::lock_guard<std::mutex> guard(Dispatcher::Lock());
      return w.result;
    }
    if (!inTime) {
      std::lock_guard<std::mutex> guard(Dispatcher::Lock());
      if (w.done.load(std::memory_order_relaxed) == 1) return w.result;
      Unlink(w);
      return WAIT_TIMEOUT;
    }
  }
}

}  // namespace

std::mutex& Dispatcher::Lock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

void Dispatcher::WakeWaiters(Waitable& object) {
  bool again = true;
  while (again) {
    again = false;
    for (WaitBlock* b = object.waitList_; b; b = b->next) {
      Waiter& w = *b->waiter;
      int index = SatisfyingIndex(w);
      if (index < 0) continue;
      Consume(w, index);
      Unlink(w);  // may unlink more than one block of this list: start over
      w.result = WAIT_OBJECT_0 + index;
      w.done.store(1, std::memory_order_release);
      FutexWake(w.done, 1);
      again = true;
      break;
    }
  }
}

void UpdateState(Waitable& object, void (*change)(void*), void* context) {
  std::lock_guard<std::mutex> guard(Dispatcher::Lock());
  change(context);
  Dispatcher::WakeWaiters(object);
}

uint64_t MonotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

uint64_t DeadlineAfterMs(DWORD milliseconds) {
  if (milliseconds == INFINITE) return UINT64_MAX;
  return MonotonicNs() + uint64_t(milliseconds) * 1000000ull;
}

bool FutexWait(std::atomic<uint32_t>& word, uint32_t expected, uint64_t deadlineNs) {
  timespec ts;
  timespec* timeout = nullptr;
  if (deadlineNs != UINT64_MAX) {
    ts.tv_sec = time_t(deadlineNs / 1000000000ull);
    ts.tv_nsec = long(deadlineNs % 1000000000ull);
    timeout = &ts;
  }
  // FUTEX_WAIT_BITSET takes an absolute CLOCK_MONOTONIC deadline.
  long r = syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_BITSET | FUTEX_PRIVATE_FLAG, expected,
                   timeout, nullptr, FUTEX_BITSET_MATCH_ANY);
  return !(r == -1 && errno == ETIMEDOUT);
}

void FutexWake(std::atomic<uint32_t>& word, int count) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE | FUTEX_PRIVATE_FLAG, count, nullptr, nullptr, 0);
}

DWORD WaitOne(const std::shared_ptr<Waitable>& object, DWORD milliseconds) {
  Waitable* p = object.get();
  return Wait(1, &p, false, milliseconds);
}

}  // namespace velno::kernel

using namespace velno::kernel;

DWORD WINAPI WaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                      BOOL alertable) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::shared_ptr<Waitable> held[MAXIMUM_WAIT_OBJECTS];  // keeps the objects alive while waiting
  if (!LookupWaitables(count, handles, held)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  Waitable* objects[MAXIMUM_WAIT_OBJECTS];
  for (DWORD i = 0; i < count; ++i) objects[i] = held[i].get();
  if (waitAll) {
    // A wait for all may not name one object twice.
    for (DWORD i = 0; i < count; ++i)
      for (DWORD j = i + 1; j < count; ++j)
        if (objects[i] == objects[j]) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return WAIT_FAILED;
        }
  }
  return Wait(count, objects, waitAll != FALSE, milliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  return WaitForMultipleObjectsEx(count, handles, waitAll, milliseconds, FALSE);
}

DWORD WINAPI WaitForSingleObjectEx(HANDLE h, DWORD milliseconds, BOOL alertable) {
  return WaitForMultipleObjectsEx(1, &h, FALSE, milliseconds, alertable);
}

DWORD WINAPI WaitForSingleObject(HANDLE h, DWORD milliseconds) {
  return WaitForMultipleObjectsEx(1, &h, FALSE, milliseconds, FALSE);
}
