// SetEvent in one thread to the return of a 52-handle WaitForMultipleObjects in another and
// back: the stream thread's wake-up path. Each iteration is one round trip (two wake-ups).
#include <benchmark/benchmark.h>
#include <windows.h>

#include <atomic>
#include <thread>

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

}  // namespace

BENCHMARK_MAIN();
