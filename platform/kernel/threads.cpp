// Threads: creation (also suspended), exit codes, waitable thread handles, priorities and
// affinity; the current thread and process.
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "kernel_internal.h"

namespace velno::kernel {

namespace {

struct ExitThreadUnwind {
  DWORD code;
};

}  // namespace

// A thread of this process. Signalled once it has ended; holds the exit code.
class Thread : public Waitable {
 public:
  const char* TypeName() const override { return "Thread"; }
  bool IsSignalled() const override { return ended_; }

  std::mutex lock;  // suspension and start
  std::condition_variable resumed;
  DWORD suspendCount = 0;
  bool started = false;   // the host thread exists
  bool adopted = false;   // a thread that the kernel did not create (the main thread, ...)
  pthread_t pthread{};
  std::atomic<DWORD> tid{0};
  std::atomic<DWORD> exitCode{STILL_ACTIVE};
  std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  bool ended_ = false;  // dispatcher lock
};

namespace {

thread_local DWORD t_threadId = 0;

// The calling thread's object. A thread that the kernel did not create (the main thread, a
// std::thread) gets one on first use, and its handles are signalled when the thread ends.
struct Self {
  std::shared_ptr<Thread> thread;
  ~Self() {
    if (thread && thread->adopted && thread->exitCode.load() == STILL_ACTIVE) {
      thread->exitCode = 0;
      UpdateState(*thread, [&] { thread->ended_ = true; });
    }
  }
};
thread_local Self t_selfHolder;

void* ThreadMain(void* arg) {
  // The creator's reference, handed over.
  std::shared_ptr<Thread> self = std::move(*static_cast<std::shared_ptr<Thread>*>(arg));
  delete static_cast<std::shared_ptr<Thread>*>(arg);
  self->tid = static_cast<DWORD>(syscall(SYS_gettid));
  {
    std::unique_lock<std::mutex> guard(self->lock);
    self->resumed.wait(guard, [&] { return self->suspendCount == 0; });
  }
  t_selfHolder.thread = self;
  DWORD code;
  try {
    code = self->start(self->parameter);
  } catch (const ExitThreadUnwind& exit) {
    code = exit.code;
  }
  self->exitCode = code;
  UpdateState(*self, [&] { self->ended_ = true; });
  t_selfHolder.thread.reset();
  return nullptr;
}

// The process object: signalled never (it is this process); it stands behind the
// GetCurrentProcess pseudo-handle.
class CurrentProcess : public Waitable {
 public:
  const char* TypeName() const override { return "Process"; }
  bool IsSignalled() const override { return false; }
};

bool g_realtimeAllowed = true;

void ApplyPriority(Thread& thread, int priority) {
  if (!thread.started) return;
  pthread_t pt = thread.pthread;
  if (priority >= THREAD_PRIORITY_TIME_CRITICAL) {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 40;
    if (param.sched_priority > sched_get_priority_max(SCHED_FIFO)) param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (__atomic_load_n(&g_realtimeAllowed, __ATOMIC_RELAXED) && pthread_setschedparam(pt, SCHED_FIFO, &param) == 0)
      return;
    __atomic_store_n(&g_realtimeAllowed, false, __ATOMIC_RELAXED);  // not permitted here: plain scheduling
  }
  sched_param plain{};
  pthread_setschedparam(pt, SCHED_OTHER, &plain);
  // The ordinary levels become nice values; raising one needs a privilege the machine may not
  // grant, and then the thread simply keeps the default.
  int nice = priority <= THREAD_PRIORITY_IDLE ? 19 : priority >= THREAD_PRIORITY_TIME_CRITICAL ? -10 : -priority * 2;
  DWORD tid = thread.tid.load();
  if (tid) setpriority(PRIO_PROCESS, tid, nice);
}

}  // namespace

DWORD CurrentThreadId() {
  if (!t_threadId) t_threadId = static_cast<DWORD>(syscall(SYS_gettid));
  return t_threadId;
}

std::shared_ptr<Thread> CurrentThreadObject() {
  if (!t_selfHolder.thread) {
    auto self = std::make_shared<Thread>();
    self->started = true;
    self->adopted = true;
    self->pthread = pthread_self();
    self->tid = CurrentThreadId();
    t_selfHolder.thread = self;
  }
  return t_selfHolder.thread;
}

std::shared_ptr<Object> PseudoHandleObject(HANDLE handle) {
  if (reinterpret_cast<intptr_t>(handle) == -2) return CurrentThreadObject();
  static auto* process = new std::shared_ptr<CurrentProcess>(std::make_shared<CurrentProcess>());
  return *process;
}

}  // namespace velno::kernel

using namespace velno::kernel;

namespace {
std::shared_ptr<Thread> GetThread(HANDLE h) {
  auto thread = Lookup<Thread>(h);
  if (!thread) SetLastError(ERROR_INVALID_HANDLE);
  return thread;
}
}  // namespace

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                           DWORD flags, LPDWORD threadId) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<Thread>();
  thread->start = start;
  thread->parameter = parameter;
  thread->suspendCount = (flags & CREATE_SUSPENDED) ? 1 : 0;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stackSize) {
    size_t size = stackSize < size_t(PTHREAD_STACK_MIN) ? size_t(PTHREAD_STACK_MIN) : stackSize;
    size = (size + 0xFFFF) & ~size_t{0xFFFF};
    pthread_attr_setstacksize(&attr, size);
  }
  auto* handover = new std::shared_ptr<Thread>(thread);
  std::unique_lock<std::mutex> guard(thread->lock);
  int r = pthread_create(&thread->pthread, &attr, ThreadMain, handover);
  pthread_attr_destroy(&attr);
  if (r != 0) {
    delete handover;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  thread->started = true;
  guard.unlock();
  // The thread id is known once the thread runs its first instruction; wait for it briefly
  // so that the caller gets it now, as Windows gives it.
  while (!thread->tid.load()) sched_yield();
  if (threadId) *threadId = thread->tid.load();
  return InsertHandle(thread);
}

DWORD WINAPI ResumeThread(HANDLE h) {
  auto thread = GetThread(h);
  if (!thread) return DWORD(-1);
  std::lock_guard<std::mutex> guard(thread->lock);
  DWORD previous = thread->suspendCount;
  if (previous > 0 && --thread->suspendCount == 0) thread->resumed.notify_all();
  return previous;
}

// Suspends a thread that has not started running its routine yet. A thread that is already
// running is not stopped mid-flight (nothing in the system suspends a running thread); the
// call then reports the count as Windows would and takes effect at no point.
DWORD WINAPI SuspendThread(HANDLE h) {
  auto thread = GetThread(h);
  if (!thread) return DWORD(-1);
  std::lock_guard<std::mutex> guard(thread->lock);
  return thread->suspendCount++;
}

BOOL WINAPI GetExitCodeThread(HANDLE h, LPDWORD exitCode) {
  auto thread = GetThread(h);
  if (!thread) return FALSE;
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exitCode = thread->exitCode.load();
  return TRUE;
}

void WINAPI ExitThread(DWORD exitCode) {
  std::shared_ptr<Thread> self = CurrentThreadObject();
  if (self->adopted) {
    self->exitCode = exitCode;
    UpdateState(*self, [&] { self->ended_ = true; });
    t_selfHolder.thread.reset();
    pthread_exit(nullptr);
  }
  // Unwinds to ThreadMain, which records the code and signals the handle.
  throw ExitThreadUnwind{exitCode};
}

BOOL WINAPI TerminateThread(HANDLE h, DWORD exitCode) {
  // Killing a thread at an arbitrary point cannot be done safely here.
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI SetThreadPriority(HANDLE h, int priority) {
  auto thread = GetThread(h);
  if (!thread) return FALSE;
  bool valid = priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL ||
               (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST);
  if (!valid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  thread->priority = priority;
  ApplyPriority(*thread, priority);
  return TRUE;
}

int WINAPI GetThreadPriority(HANDLE h) {
  auto thread = GetThread(h);
  if (!thread) return THREAD_PRIORITY_ERROR_RETURN;
  return thread->priority.load();
}

BOOL WINAPI SetThreadPriorityBoost(HANDLE h, BOOL) {
  // There is no dynamic boost to turn on or off here; the call succeeds on a thread handle.
  return GetThread(h) != nullptr;
}

BOOL WINAPI GetProcessAffinityMask(HANDLE process, PDWORD_PTR processMask, PDWORD_PTR systemMask) {
  if (!processMask || !systemMask) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  DWORD_PTR mask = 0;
  for (int cpu = 0; cpu < int(sizeof(DWORD_PTR) * 8); ++cpu)
    if (CPU_ISSET(cpu, &set)) mask |= DWORD_PTR{1} << cpu;
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  DWORD_PTR system = online >= long(sizeof(DWORD_PTR) * 8) ? ~DWORD_PTR{0} : ((DWORD_PTR{1} << online) - 1);
  *processMask = mask;
  *systemMask = system | mask;
  return TRUE;
}

DWORD_PTR WINAPI SetThreadAffinityMask(HANDLE h, DWORD_PTR mask) {
  auto thread = GetThread(h);
  if (!thread) return 0;
  DWORD_PTR processMask = 0, systemMask = 0;
  GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
  if (mask == 0 || (mask & ~processMask)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  cpu_set_t old;
  CPU_ZERO(&old);
  pid_t tid = pid_t(thread->tid.load());
  if (sched_getaffinity(tid, sizeof old, &old) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int cpu = 0; cpu < int(sizeof(DWORD_PTR) * 8); ++cpu)
    if (mask & (DWORD_PTR{1} << cpu)) CPU_SET(cpu, &set);
  if (sched_setaffinity(tid, sizeof set, &set) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD_PTR previous = 0;
  for (int cpu = 0; cpu < int(sizeof(DWORD_PTR) * 8); ++cpu)
    if (CPU_ISSET(cpu, &old)) previous |= DWORD_PTR{1} << cpu;
  return previous;
}

HANDLE WINAPI GetCurrentThread(void) { return reinterpret_cast<HANDLE>(intptr_t{-2}); }
DWORD WINAPI GetCurrentThreadId(void) { return CurrentThreadId(); }
HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(intptr_t{-1}); }
DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
void WINAPI ExitProcess(UINT exitCode) { exit(int(exitCode)); }
