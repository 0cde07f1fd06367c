// SetEvent in one thread to the return of a 52-handle WaitForMultipleObjects in another and
// back: the stream thread's wake-up path. Each iteration is one round trip (two wake-ups).
#include <benchmark/benchmark.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

void BM_WaitForMultiple52RoundTrip(benchmark::State& state) {
  const int index = int(state.range(0));  // which of the 52 the ping signals
  HANDLE events[52];
  for (HANDLE& e : events) e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE pong = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<bool> quit{false};
  std::thread waiter([&] {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    for (;;) {
      DWORD r = WaitForMultipleObjects(52, events, FALSE, INFINITE);
      if (quit.load()) break;
      if (r != WAIT_OBJECT_0 + DWORD(index)) abort();
      SetEvent(pong);
    }
  });
  for (auto _ : state) {
    SetEvent(events[index]);
    WaitForSingleObject(pong, INFINITE);
  }
  quit = true;
  SetEvent(events[0]);
  waiter.join();
  for (HANDLE e : events) CloseHandle(e);
  CloseHandle(pong);
}
BENCHMARK(BM_WaitForMultiple52RoundTrip)->Arg(0)->Arg(51)->UseRealTime();

void BM_WaitForMultiple52Signalled(benchmark::State& state) {
  // The cost of a wait that finds its object already signalled (no sleep).
  HANDLE events[52];
  for (HANDLE& e : events) e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetEvent(events[51]);
  for (auto _ : state) benchmark::DoNotOptimize(WaitForMultipleObjects(52, events, FALSE, INFINITE));
  for (HANDLE e : events) CloseHandle(e);
}
BENCHMARK(BM_WaitForMultiple52Signalled);

void BM_TimeCriticalTimerLateness(benchmark::State& state) {
  // How late a time-critical thread wakes from a 1 ms waitable timer: the machine's own floor
  // for short audio buffers (a stream with two 2 ms packets in flight survives up to 2 ms).
  std::vector<double> lateUs;
  std::thread sleeper([&] {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    HANDLE timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < 2000; ++i) {
      LARGE_INTEGER due;
      due.QuadPart = -10000;  // 1 ms, relative
      QueryPerformanceCounter(&before);
      SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
      WaitForSingleObject(timer, INFINITE);
      QueryPerformanceCounter(&after);
      lateUs.push_back(1e6 * double(after.QuadPart - before.QuadPart) / double(frequency.QuadPart) - 1000.0);
    }
    CloseHandle(timer);
  });
  sleeper.join();
  for (auto _ : state) benchmark::DoNotOptimize(lateUs.size());
  std::sort(lateUs.begin(), lateUs.end());
  state.counters["p50_us"] = lateUs[lateUs.size() / 2];
  state.counters["p99_us"] = lateUs[lateUs.size() * 99 / 100];
  state.counters["max_us"] = lateUs.back();
  state.counters["over_2ms"] = double(std::count_if(lateUs.begin(), lateUs.end(), [](double l) { return l > 2000; }));
}
BENCHMARK(BM_TimeCriticalTimerLateness)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
