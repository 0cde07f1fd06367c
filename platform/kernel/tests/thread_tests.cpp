// Threads: suspended start, exit codes, waitable handles; timers and time.
#include <gtest/gtest.h>
#include <mmsystem.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_ran{0};

DWORD WINAPI CountAndReturn(LPVOID arg) {
  ++g_ran;
  HANDLE gate = static_cast<HANDLE>(arg);
  if (gate) WaitForSingleObject(gate, INFINITE);
  return 42;
}

DWORD WINAPI EndsThroughExitThread(LPVOID) {
  ExitThread(7);
  return 0;  // not reached
}

TEST(Threads, SuspendedStartExitCodeAndWaitableHandle) {
  g_ran = 0;
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE t = CreateThread(nullptr, 0, CountAndReturn, gate, CREATE_SUSPENDED, &id);
  ASSERT_NE(t, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  // A second suspension of a thread that has not started keeps it from starting until both
  // are resumed.
  EXPECT_EQ(SuspendThread(t), 1u);
  EXPECT_EQ(ResumeThread(t), 2u);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(g_ran.load(), 0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_TIMEOUT);
  EXPECT_EQ(ResumeThread(t), 1u);
  EXPECT_EQ(ResumeThread(t), 0u);  // not suspended any more
  for (int i = 0; i < 200 && g_ran.load() == 0; ++i) Sleep(5);
  EXPECT_EQ(g_ran.load(), 1);
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, STILL_ACTIVE);  // blocked on the gate
  SetEvent(gate);
  EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);  // stays signalled
  CloseHandle(t);
  CloseHandle(gate);

  HANDLE e = CreateThread(nullptr, 0, EndsThroughExitThread, nullptr, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(e, &code));
  EXPECT_EQ(code, 7u);
  CloseHandle(e);
}

TEST(Threads, PriorityAffinityAndPseudoHandles) {
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE t = CreateThread(nullptr, 0, CountAndReturn, gate, CREATE_SUSPENDED, nullptr);
  // Time-critical succeeds whether or not the machine grants real-time scheduling.
  EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_TIME_CRITICAL));
  EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_TIME_CRITICAL);
  EXPECT_FALSE(SetThreadPriority(t, 5));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(SetThreadPriorityBoost(t, FALSE));
  DWORD_PTR process = 0, system = 0;
  ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
  EXPECT_NE(process, 0u);
  EXPECT_EQ(process & ~system, 0u);
  EXPECT_NE(SetThreadAffinityMask(t, process), 0u);
  EXPECT_EQ(SetThreadAffinityMask(t, 0), 0u);
  EXPECT_EQ(ResumeThread(t), 1u);
  SetEvent(gate);
  EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  CloseHandle(t);
  CloseHandle(gate);

  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
  EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(GetCurrentThread()));
  EXPECT_EQ(GetCurrentProcessId(), DWORD(getpid()));
}

TEST(Timers, RelativeDueTimeFiresOnceAndCancelStopsIt) {
  HANDLE timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
  LARGE_INTEGER due;
  due.QuadPart = -30 * 10000LL;  // 30 ms
  auto start = Clock::now();
  ASSERT_TRUE(SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE));
  EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(timer, 2000), WAIT_OBJECT_0);
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 30);
  // A synchronization timer is consumed by the wait, and fires only once.
  EXPECT_EQ(WaitForSingleObject(timer, 80), WAIT_TIMEOUT);

  ASSERT_TRUE(SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE));
  EXPECT_TRUE(CancelWaitableTimer(timer));
  EXPECT_EQ(WaitForSingleObject(timer, 80), WAIT_TIMEOUT);

  // Re-arming pushes the due time away (as the watchdog does on every completion).
  due.QuadPart = -60 * 10000LL;
  ASSERT_TRUE(SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE));
  Sleep(40);
  ASSERT_TRUE(SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE));
  EXPECT_EQ(WaitForSingleObject(timer, 40), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(timer, 2000), WAIT_OBJECT_0);
  CloseHandle(timer);
}

TEST(Timers, ManualResetPeriodicAndAbsolute) {
  HANDLE manual = CreateWaitableTimerA(nullptr, TRUE, nullptr);
  LARGE_INTEGER due;
  due.QuadPart = -10 * 10000LL;
  ASSERT_TRUE(SetWaitableTimer(manual, &due, 0, nullptr, nullptr, FALSE));
  EXPECT_EQ(WaitForSingleObject(manual, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);  // stays signalled
  // Setting it again makes it unsignalled until it fires.
  due.QuadPart = -200 * 10000LL;
  ASSERT_TRUE(SetWaitableTimer(manual, &due, 0, nullptr, nullptr, FALSE));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  CancelWaitableTimer(manual);
  CloseHandle(manual);

  HANDLE periodic = CreateWaitableTimerA(nullptr, FALSE, nullptr);
  due.QuadPart = -5 * 10000LL;
  ASSERT_TRUE(SetWaitableTimer(periodic, &due, 10, nullptr, nullptr, FALSE));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(WaitForSingleObject(periodic, 2000), WAIT_OBJECT_0) << i;
  CancelWaitableTimer(periodic);

  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  due.QuadPart = LONGLONG((uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime) + 30 * 10000LL;
  auto start = Clock::now();
  ASSERT_TRUE(SetWaitableTimer(periodic, &due, 0, nullptr, nullptr, FALSE));
  EXPECT_EQ(WaitForSingleObject(periodic, 2000), WAIT_OBJECT_0);
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 25);
  CloseHandle(periodic);
}

TEST(Time, ClocksAndPeriods) {
  LARGE_INTEGER f, a, b;
  ASSERT_TRUE(QueryPerformanceFrequency(&f));
  EXPECT_EQ(f.QuadPart, 10000000);
  QueryPerformanceCounter(&a);
  DWORD t0 = timeGetTime();
  ULONGLONG k0 = GetTickCount64();
  Sleep(20);
  QueryPerformanceCounter(&b);
  EXPECT_GE((b.QuadPart - a.QuadPart) * 1000 / f.QuadPart, 20);
  EXPECT_GE(timeGetTime() - t0, 20u);
  EXPECT_GE(GetTickCount64() - k0, 20u);
  EXPECT_EQ(SleepEx(1, FALSE), 0u);

  EXPECT_EQ(timeBeginPeriod(1), MMRESULT(TIMERR_NOERROR));
  EXPECT_EQ(timeBeginPeriod(1), MMRESULT(TIMERR_NOERROR));
  EXPECT_EQ(timeEndPeriod(1), MMRESULT(TIMERR_NOERROR));
  EXPECT_EQ(timeEndPeriod(1), MMRESULT(TIMERR_NOERROR));
  EXPECT_EQ(timeEndPeriod(1), MMRESULT(TIMERR_NOCANDO));  // unmatched
  EXPECT_EQ(timeBeginPeriod(0), MMRESULT(TIMERR_NOCANDO));
  EXPECT_EQ(timeBeginPeriod(1001), MMRESULT(TIMERR_NOCANDO));
}

}  // namespace

namespace {

TEST(Threads, ForeignThreadHandleIsSignalledAtItsEnd) {
  HANDLE handle = nullptr;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread t([&] {
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &handle, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    SetEvent(ready);
    WaitForSingleObject(go, INFINITE);
  });
  WaitForSingleObject(ready, INFINITE);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_TIMEOUT);
  SetEvent(go);
  t.join();
  EXPECT_EQ(WaitForSingleObject(handle, 1000), WAIT_OBJECT_0);
  DWORD code = STILL_ACTIVE;
  EXPECT_TRUE(GetExitCodeThread(handle, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(handle);
  CloseHandle(ready);
  CloseHandle(go);
}

}  // namespace
