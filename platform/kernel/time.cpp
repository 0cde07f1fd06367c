// Sleeping, tick counts, the performance counter, system time and the multimedia timer
// resolution requests.
#include <sched.h>
#include <unistd.h>
#include <time.h>
#include <mmsystem.h>

#include <mutex>

#include "kernel_internal.h"

using namespace velno::kernel;

void WINAPI Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();  // gives up the rest of the time slice, as Sleep(0) does
    return;
  }
  if (milliseconds == INFINITE) {
    for (;;) pause();
  }
  uint64_t deadline = MonotonicNs() + uint64_t(milliseconds) * 1000000ull;
  timespec ts{time_t(deadline / 1000000000ull), long(deadline % 1000000000ull)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != 0) {
  }
}

// No APCs are queued in this kernel, so an alertable sleep always runs to its end.
DWORD WINAPI SleepEx(DWORD milliseconds, BOOL) {
  Sleep(milliseconds);
  return 0;
}

ULONGLONG WINAPI GetTickCount64(void) { return MonotonicNs() / 1000000ull; }
DWORD WINAPI GetTickCount(void) { return DWORD(MonotonicNs() / 1000000ull); }
DWORD WINAPI timeGetTime(void) { return DWORD(MonotonicNs() / 1000000ull); }

// The counter runs at 10 MHz, the frequency Windows reports on current machines.
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) return FALSE;
  frequency->QuadPart = 10000000;
  return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (!count) return FALSE;
  count->QuadPart = LONGLONG(MonotonicNs() / 100);
  return TRUE;
}

void WINAPI GetSystemTimeAsFileTime(LPFILETIME time) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  uint64_t value = uint64_t(ts.tv_sec) * 10000000ull + uint64_t(ts.tv_nsec) / 100 + 116444736000000000ull;
  time->dwLowDateTime = DWORD(value);
  time->dwHighDateTime = DWORD(value >> 32);
}

namespace {
// Outstanding timeBeginPeriod requests per period (1 to 1000 ms). The host's timers are
// already fine-grained, so a request changes nothing else; it only has to be matched.
std::mutex g_periodsLock;
unsigned g_periods[1001];
}  // namespace

MMRESULT WINAPI timeBeginPeriod(UINT period) {
  if (period < 1 || period > 1000) return TIMERR_NOCANDO;
  std::lock_guard<std::mutex> guard(g_periodsLock);
  ++g_periods[period];
  return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT period) {
  if (period < 1 || period > 1000) return TIMERR_NOCANDO;
  std::lock_guard<std::mutex> guard(g_periodsLock);
  if (g_periods[period] == 0) return TIMERR_NOCANDO;
  --g_periods[period];
  return TIMERR_NOERROR;
}
