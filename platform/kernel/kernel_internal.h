// Shared between the kernel module's own sources: the dispatcher, the handle table's bulk
// lookup, and small helpers.
#pragma once
#include <velno/kobject.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace velno::kernel {

class Waiter;

// One object a blocked wait observes: linked into that object's wait list.
struct WaitBlock {
  Waiter* waiter = nullptr;
  Waitable* object = nullptr;
  WaitBlock* next = nullptr;
  WaitBlock* prev = nullptr;
};

// The dispatcher: one lock over every waitable object's signal state and wait list. It is
// held only while a state changes or a wait checks and links itself, never while blocking.
struct Dispatcher {
  static std::mutex& Lock();
  // With the lock held: completes every wait on the object that its state now satisfies.
  static void WakeWaiters(Waitable& object);
  static WaitBlock*& ListOf(Waitable& object) { return object.waitList_; }
};

// Looks up count handles at once (one pass through the table lock). Returns false when one
// of them is not a waitable object.
bool LookupWaitables(DWORD count, const HANDLE* handles, std::shared_ptr<Waitable>* out);

// Blocks on a futex word while it holds `expected`, until the absolute CLOCK_MONOTONIC
// deadline in nanoseconds (UINT64_MAX: no deadline). Returns false on time-out.
bool FutexWait(std::atomic<uint32_t>& word, uint32_t expected, uint64_t deadlineNs);
void FutexWake(std::atomic<uint32_t>& word, int count);
uint64_t MonotonicNs();
// The deadline of a wait of the given milliseconds from now (INFINITE: none).
uint64_t DeadlineAfterMs(DWORD milliseconds);

// The wait of the calling thread on its own internal objects (sleeps, synchronous I/O).
DWORD WaitOne(const std::shared_ptr<Waitable>& object, DWORD milliseconds);

}  // namespace velno::kernel

namespace velno::kernel {
// The event object behind a handle (null for anything else), and SetEvent on it.
std::shared_ptr<Waitable> LookupEvent(HANDLE handle);
void SignalEvent(Waitable& event);
void ClearEvent(Waitable& event);

// The device opener whose prefix starts the path, if any.
bool FindDeviceOpener(const std::string& path, DeviceOpener* opener);
}  // namespace velno::kernel
