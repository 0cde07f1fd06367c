// Named file mappings shared between processes of one machine.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <windows.h>

#include <cstring>

namespace {

using velno::testing::BinDir;
using velno::testing::RunProcess;
using velno::testing::TempMachine;

std::string Helper() { return BinDir() + "/velno_kernel_helper"; }

TEST(FileMappings, TwoProcessesSeeTheSameBytes) {
  TempMachine machine;
  HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, "Local\\VelnoShared");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  auto* view = static_cast<char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  for (int i = 0; i < 8192; ++i) ASSERT_EQ(view[i], 0) << "new memory is zero at " << i;
  strcpy(view, "hello from the parent");
  auto r = RunProcess(Helper(), {"map-read", "Local\\VelnoShared"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "hello from the parent\n");
  EXPECT_STREQ(view + 100, "reply");

  // A second create in this process returns the same mapping.
  HANDLE again = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, "Local\\VelnoShared");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  auto* second = static_cast<char*>(MapViewOfFile(again, FILE_MAP_READ, 0, 0, 16));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(memcmp(second, "hello from the p", 16), 0);
  UnmapViewOfFile(second);
  CloseHandle(again);

  // Closing the handle keeps the mapping while a view exists; the last view frees it.
  CloseHandle(m);
  EXPECT_STREQ(view, "hello from the parent");
  HANDLE open = OpenFileMappingA(FILE_MAP_READ, FALSE, "Local\\VelnoShared");
  EXPECT_NE(open, nullptr);
  CloseHandle(open);
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, "Local\\VelnoShared"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  r = RunProcess(Helper(), {"map-read", "Local\\VelnoShared"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "open failed 2\n");
}

TEST(FileMappings, BlockOfADeadProcessIsNotSeen) {
  TempMachine machine;
  auto r = RunProcess(Helper(), {"map-create-abandon", "VelnoAbandoned"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, "VelnoAbandoned"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  r = RunProcess(Helper(), {"map-create-abandon", "VelnoAbandoned"});
  HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "VelnoAbandoned");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  auto* view = static_cast<unsigned char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[0], 0);
  EXPECT_EQ(view[4095], 0);
  UnmapViewOfFile(view);
  CloseHandle(m);
}

TEST(FileMappings, MachinesDoNotShareAndArgumentsAreChecked) {
  HANDLE m;
  {
    TempMachine first;
    m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "VelnoPerMachine");
    ASSERT_NE(m, nullptr);
    TempMachine second;
    HANDLE other = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "VelnoPerMachine");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    CloseHandle(other);
  }
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_READ, 0, 4096, 0), nullptr);  // not a multiple of 64 KB
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MAPPED_ALIGNMENT));
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 8192), nullptr);  // beyond the mapping
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  CloseHandle(m);
  EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, "VelnoZero"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

  // Unnamed mappings work within the process.
  HANDLE anon = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100, nullptr);
  auto* a = static_cast<char*>(MapViewOfFile(anon, FILE_MAP_WRITE, 0, 0, 0));
  auto* b = static_cast<char*>(MapViewOfFile(anon, FILE_MAP_READ, 0, 0, 0));
  a[5] = 'x';
  EXPECT_EQ(b[5], 'x');
  UnmapViewOfFile(a), UnmapViewOfFile(b), CloseHandle(anon);
}

}  // namespace
