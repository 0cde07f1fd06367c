// The wait rules that the stream thread and the kernel-streaming library rely on.
#include <gtest/gtest.h>
#include <velno/kobject.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Events {
  std::vector<HANDLE> h;
  Events(int n, BOOL manual) {
    for (int i = 0; i < n; ++i) h.push_back(CreateEventA(nullptr, manual, FALSE, nullptr));
  }
  ~Events() {
    for (HANDLE e : h) CloseHandle(e);
  }
};

TEST(Handles, ValuesAreMultiplesOfFourAndCloseTwiceFails) {
  HANDLE a = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE b = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 4, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 4, 0u);
  EXPECT_NE(a, b);
  EXPECT_TRUE(CloseHandle(a));
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(a));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetEvent(a));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(b));
}

TEST(Handles, LowBitsAreIgnored) {
  HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE tagged = reinterpret_cast<HANDLE>(reinterpret_cast<uintptr_t>(e) | 1);
  EXPECT_TRUE(SetEvent(tagged));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(SetEvent(e));
  EXPECT_EQ(WaitForSingleObject(tagged, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(tagged, 0), WAIT_TIMEOUT);
  CloseHandle(e);
}

TEST(Wait, AnyReturnsLowestSignalledIndex) {
  Events ev(52, TRUE);
  SetEvent(ev.h[40]);
  SetEvent(ev.h[7]);
  SetEvent(ev.h[51]);
  EXPECT_EQ(WaitForMultipleObjects(52, ev.h.data(), FALSE, 0), WAIT_OBJECT_0 + 7);
  ResetEvent(ev.h[7]);
  EXPECT_EQ(WaitForMultipleObjects(52, ev.h.data(), FALSE, INFINITE), WAIT_OBJECT_0 + 40);
}

TEST(Wait, AutoResetIsConsumedOnlyBySatisfiedWait) {
  Events ev(3, FALSE);
  SetEvent(ev.h[1]);
  SetEvent(ev.h[2]);
  // Wait-any takes index 1 only; 2 stays signalled.
  EXPECT_EQ(WaitForMultipleObjects(3, ev.h.data(), FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForSingleObject(ev.h[1], 0), WAIT_TIMEOUT);
  // A wait-all that is not satisfied consumes nothing.
  EXPECT_EQ(WaitForMultipleObjects(3, ev.h.data(), TRUE, 20), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(ev.h[2], 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(ev.h[2], 0), WAIT_TIMEOUT);
}

TEST(Wait, OneSetEventWakesOneAutoResetWaiter) {
  HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> woke{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] {
      if (WaitForSingleObject(e, 2000) == WAIT_OBJECT_0) ++woke;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  SetEvent(e);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(woke.load(), 1);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);  // consumed by that one waiter
  for (int i = 0; i < 3; ++i) SetEvent(e), std::this_thread::sleep_for(std::chrono::milliseconds(20));
  for (auto& t : threads) t.join();
  EXPECT_EQ(woke.load(), 4);
  CloseHandle(e);
}

TEST(Wait, ManualResetReleasesEveryWaiter) {
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> woke{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] {
      if (WaitForSingleObject(e, 2000) == WAIT_OBJECT_0) ++woke;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  SetEvent(e);
  for (auto& t : threads) t.join();
  EXPECT_EQ(woke.load(), 4);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);  // stays signalled
  CloseHandle(e);
}

TEST(Wait, PulseReleasesCurrentWaitersAndLeavesUnsignalled) {
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> woke{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i)
    threads.emplace_back([&] {
      if (WaitForSingleObject(e, 2000) == WAIT_OBJECT_0) ++woke;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  PulseEvent(e);
  for (auto& t : threads) t.join();
  EXPECT_EQ(woke.load(), 3);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  CloseHandle(e);
}

TEST(Wait, AllIsAtomic) {
  // A wait-all on {a, b} and a wait-any on {b}: while only b is signalled the wait-all must
  // not take it; the wait-any gets it.
  Events ev(2, FALSE);
  std::atomic<DWORD> allResult{0xDEAD};
  std::thread all([&] { allResult = WaitForMultipleObjects(2, ev.h.data(), TRUE, 3000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  SetEvent(ev.h[1]);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(allResult.load(), 0xDEADu);
  EXPECT_EQ(WaitForSingleObject(ev.h[1], 0), WAIT_OBJECT_0);  // b was still there to take
  SetEvent(ev.h[1]);
  SetEvent(ev.h[0]);
  all.join();
  EXPECT_EQ(allResult.load(), WAIT_OBJECT_0);
  // Both consumed by the wait-all.
  EXPECT_EQ(WaitForSingleObject(ev.h[0], 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(ev.h[1], 0), WAIT_TIMEOUT);
}

TEST(Wait, InvalidArguments) {
  Events ev(65, TRUE);
  struct Case {
    DWORD count;
    BOOL all;
    DWORD error;
  } cases[] = {{65, FALSE, ERROR_INVALID_PARAMETER}, {0, FALSE, ERROR_INVALID_PARAMETER},
               {65, TRUE, ERROR_INVALID_PARAMETER}};
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(c.count, ev.h.data(), c.all, 0), WAIT_FAILED) << c.count;
    EXPECT_EQ(GetLastError(), c.error) << c.count;
  }
  SetEvent(ev.h[63]);
  EXPECT_EQ(WaitForMultipleObjects(64, ev.h.data(), FALSE, 0), WAIT_OBJECT_0 + 63);

  HANDLE closed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  CloseHandle(closed);
  HANDLE list[2] = {ev.h[63], closed};
  SetLastError(0);
  EXPECT_EQ(WaitForMultipleObjects(2, list, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x7ffff0), 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  HANDLE twice[2] = {ev.h[0], ev.h[0]};
  SetLastError(0);
  EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Wait, TimeOutWaitsAboutThatLong) {
  HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  auto start = Clock::now();
  EXPECT_EQ(WaitForSingleObject(e, 60), WAIT_TIMEOUT);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(ms, 60);
  // A wait that times out leaves nothing behind: a later SetEvent is still there to take.
  SetEvent(e);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  CloseHandle(e);
}

TEST(Wait, ObjectStaysAliveWhileWaitedOnAfterClose) {
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE other = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), e, GetCurrentProcess(), &other, 0, FALSE, DUPLICATE_SAME_ACCESS));
  std::atomic<DWORD> result{0xDEAD};
  std::thread t([&] { result = WaitForSingleObject(e, 3000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  CloseHandle(e);
  SetEvent(other);
  t.join();
  EXPECT_EQ(result.load(), WAIT_OBJECT_0);
  CloseHandle(other);
}

TEST(SyncObjects, NamedEventsAndSemaphores) {
  HANDLE a = CreateEventA(nullptr, TRUE, FALSE, "VelnoTestEvent");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  HANDLE b = CreateEventA(nullptr, TRUE, FALSE, "VelnoTestEvent");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  HANDLE c = OpenEventA(EVENT_ALL_ACCESS, FALSE, "VelnoTestEvent");
  ASSERT_NE(c, nullptr);
  SetEvent(c);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
  EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, "NoSuchEvent"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 1, "VelnoTestEvent"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  CloseHandle(a), CloseHandle(b), CloseHandle(c);

  HANDLE s = CreateSemaphoreA(nullptr, 1, 2, nullptr);
  LONG previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(s, 1, &previous));
  EXPECT_EQ(previous, 1);
  EXPECT_FALSE(ReleaseSemaphore(s, 1, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_TOO_MANY_POSTS));
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_TIMEOUT);
  CloseHandle(s);

  HANDLE m = CreateMutexA(nullptr, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);  // the owner takes it again
  std::atomic<DWORD> other{0xDEAD};
  std::thread t([&] {
    other = WaitForSingleObject(m, 0);
    SetLastError(0);
    if (!ReleaseMutex(m) && GetLastError() == ERROR_NOT_OWNER) other = other + 1;
  });
  t.join();
  EXPECT_EQ(other.load(), WAIT_TIMEOUT + 1);
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_TRUE(ReleaseMutex(m));
  std::thread t2([&] { other = WaitForSingleObject(m, 0); ReleaseMutex(m); });
  t2.join();
  EXPECT_EQ(other.load(), WAIT_OBJECT_0);
  CloseHandle(m);
}

}  // namespace

namespace {

TEST(Wait, EachSignalConsumedExactlyOnceUnderContention) {
  // Producers release a semaphore; consumers take it through waits that often time out. Every
  // release must be taken by exactly one wait: none lost to a time-out, none taken twice.
  constexpr int kProducers = 3, kPerProducer = 3000, kConsumers = 3;
  HANDLE sem = CreateSemaphoreA(nullptr, 0, 1 << 30, nullptr);
  Events others(10, TRUE);
  std::vector<HANDLE> list = others.h;
  list.push_back(sem);
  std::atomic<int> taken{0};
  std::atomic<bool> done{false};
  std::vector<std::thread> threads;
  for (int c = 0; c < kConsumers; ++c)
    threads.emplace_back([&] {
      while (!done.load()) {
        DWORD r = WaitForMultipleObjects(DWORD(list.size()), list.data(), FALSE, 1);
        if (r == WAIT_OBJECT_0 + 10) {
          ++taken;
        } else {
          ASSERT_EQ(r, WAIT_TIMEOUT);
        }
      }
    });
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p)
    producers.emplace_back([&] {
      for (int i = 0; i < kPerProducer; ++i) {
        ReleaseSemaphore(sem, 1, nullptr);
        if (i % 64 == 0) std::this_thread::yield();
      }
    });
  for (auto& t : producers) t.join();
  auto deadline = Clock::now() + std::chrono::seconds(20);
  while (taken.load() < kProducers * kPerProducer && Clock::now() < deadline) Sleep(1);
  done = true;
  for (auto& t : threads) t.join();
  EXPECT_EQ(taken.load(), kProducers * kPerProducer);
  EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_TIMEOUT);
  CloseHandle(sem);
}

TEST(Wait, PingPongAcrossFiftyTwoHandles) {
  Events ping(52, FALSE);
  HANDLE pong = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  constexpr int kRounds = 5000;
  std::atomic<int> wrong{0};
  std::thread waiter([&] {
    for (int i = 0; i < kRounds; ++i) {
      DWORD r = WaitForMultipleObjects(52, ping.h.data(), FALSE, 5000);
      if (r != WAIT_OBJECT_0 + DWORD(i % 52)) ++wrong;
      SetEvent(pong);
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    SetEvent(ping.h[i % 52]);
    ASSERT_EQ(WaitForSingleObject(pong, 5000), WAIT_OBJECT_0) << i;
  }
  waiter.join();
  EXPECT_EQ(wrong.load(), 0);
  CloseHandle(pong);
}

}  // namespace
