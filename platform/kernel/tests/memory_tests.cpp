// Heaps, local and global memory.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

namespace {

bool AllZero(const void* p, size_t n) {
  auto* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i]) return false;
  return true;
}

TEST(Memory, PrivateHeap) {
  HANDLE heap = HeapCreate(0, 0, 0);
  ASSERT_NE(heap, nullptr);
  auto* p = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 100));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllZero(p, 100));
  EXPECT_EQ(HeapSize(heap, 0, p), 100u);
  memset(p, 0x5A, 100);
  p = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 300));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[99], 0x5A);
  EXPECT_TRUE(AllZero(p + 100, 200));  // the growth is zeroed
  EXPECT_EQ(HeapSize(heap, 0, p), 300u);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 400), nullptr);
  EXPECT_TRUE(HeapFree(heap, 0, p));
  EXPECT_FALSE(HeapFree(heap, 0, p));  // no longer a block of this heap
  EXPECT_TRUE(HeapFree(heap, 0, nullptr));
  // Blocks left over are freed with the heap (the leak checker would say otherwise).
  for (int i = 0; i < 10; ++i) HeapAlloc(heap, 0, 64);
  EXPECT_TRUE(HeapDestroy(heap));
  EXPECT_EQ(HeapAlloc(heap, 0, 8), nullptr);

  void* q = HeapAlloc(GetProcessHeap(), 0, 0);
  EXPECT_NE(q, nullptr);
  EXPECT_EQ(HeapSize(GetProcessHeap(), 0, q), 0u);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, q));
  EXPECT_FALSE(HeapDestroy(GetProcessHeap()));
}

TEST(Memory, LocalAndGlobal) {
  auto* p = static_cast<unsigned char*>(LocalAlloc(LMEM_ZEROINIT, 64));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllZero(p, 64));
  EXPECT_EQ(LocalSize(p), 64u);
  EXPECT_EQ(LocalFree(p), nullptr);  // NULL is success
  EXPECT_EQ(LocalFree(nullptr), nullptr);
  int stackValue = 0;
  EXPECT_EQ(LocalFree(&stackValue), static_cast<HLOCAL>(&stackValue));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

  HGLOBAL g = GlobalAlloc(GHND, 16);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(GlobalSize(g), 16u);
  auto* data = static_cast<char*>(GlobalLock(g));
  ASSERT_NE(data, nullptr);
  EXPECT_NE(static_cast<void*>(data), g);  // moveable: the handle is not the address
  EXPECT_TRUE(AllZero(data, 16));
  strcpy(data, "velno");
  EXPECT_EQ(GlobalLock(g), data);
  EXPECT_TRUE(GlobalUnlock(g));  // still locked once
  SetLastError(1234);
  EXPECT_FALSE(GlobalUnlock(g));
  EXPECT_EQ(GetLastError(), DWORD(NO_ERROR));
  HGLOBAL g2 = GlobalReAlloc(g, 4096, GMEM_MOVEABLE | GMEM_ZEROINIT);
  EXPECT_EQ(g2, g);
  EXPECT_EQ(GlobalSize(g), 4096u);
  data = static_cast<char*>(GlobalLock(g));
  EXPECT_STREQ(data, "velno");
  EXPECT_TRUE(AllZero(data + 16, 4096 - 16));
  GlobalUnlock(g);
  EXPECT_EQ(GlobalFree(g), nullptr);
  EXPECT_EQ(GlobalSize(g), 0u);
}

}  // namespace
