// Version and system information answered from the machine profile.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <windows.h>

using velno::testing::TempMachine;

TEST(Version, ExtendedQueryReportsTheProfile) {
  TempMachine machine(nlohmann::json{{"windows",
                        {{"major", 6},
                         {"minor", 1},
                         {"build", 7601},
                         {"productType", 3},
                         {"csdVersion", "Service Pack 1"},
                         {"servicePackMajor", 1}}}});
  OSVERSIONINFOEXA ex;
  memset(&ex, 0xAB, sizeof ex);
  ex.dwOSVersionInfoSize = sizeof ex;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)));
  EXPECT_EQ(156u, ex.dwOSVersionInfoSize);
  EXPECT_EQ(6u, ex.dwMajorVersion);
  EXPECT_EQ(1u, ex.dwMinorVersion);
  EXPECT_EQ(7601u, ex.dwBuildNumber);
  EXPECT_EQ(DWORD(VER_PLATFORM_WIN32_NT), ex.dwPlatformId);
  EXPECT_STREQ("Service Pack 1", ex.szCSDVersion);
  EXPECT_EQ(1, ex.wServicePackMajor);
  EXPECT_EQ(0, ex.wServicePackMinor);
  EXPECT_EQ(3, ex.wProductType);
}

TEST(Version, BasicStructureIsFilledAndNothingBeyondIt) {
  TempMachine machine;
  struct {
    OSVERSIONINFOA info;
    unsigned char guard[8];
  } buffer;
  memset(&buffer, 0xAB, sizeof buffer);
  buffer.info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  ASSERT_EQ(148u, sizeof(OSVERSIONINFOA));
  ASSERT_TRUE(GetVersionExA(&buffer.info));
  EXPECT_EQ(10u, buffer.info.dwMajorVersion);
  EXPECT_EQ(19045u, buffer.info.dwBuildNumber);
  EXPECT_STREQ("", buffer.info.szCSDVersion);
  for (unsigned char b : buffer.guard) EXPECT_EQ(0xAB, b);
}

TEST(Version, WrongSizeFieldAndProfileFailure) {
  TempMachine machine;
  OSVERSIONINFOEXA ex = {};
  for (DWORD size : {0u, 147u, 149u, 155u, 157u, 300u}) {
    ex.dwOSVersionInfoSize = size;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex))) << size;
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError()) << size;
  }
  TempMachine failing(nlohmann::json{{"windows", {{"versionQueryFails", true}}}});
  ex.dwOSVersionInfoSize = sizeof ex;
  EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)));
  EXPECT_NE(0u, GetLastError());
}

TEST(SystemInfo, ArchitectureAndProcessorsFromTheProfile) {
  struct Case {
    int architecture;
    int processors;
  };
  for (const Case& c : {Case{PROCESSOR_ARCHITECTURE_AMD64, 8}, Case{PROCESSOR_ARCHITECTURE_INTEL, 2},
                        Case{PROCESSOR_ARCHITECTURE_IA64, 1}}) {
    TempMachine machine(nlohmann::json{{"windows", {{"processorArchitecture", c.architecture}, {"processors", c.processors}}}});
    SYSTEM_INFO native, seen;
    memset(&native, 0xCC, sizeof native);
    memset(&seen, 0xCC, sizeof seen);
    GetNativeSystemInfo(&native);
    GetSystemInfo(&seen);
    EXPECT_EQ(c.architecture, native.wProcessorArchitecture);
    EXPECT_EQ(DWORD(c.processors), native.dwNumberOfProcessors);
    EXPECT_EQ((DWORD_PTR(1) << c.processors) - 1, native.dwActiveProcessorMask);
    EXPECT_EQ(4096u, native.dwPageSize);
    EXPECT_EQ(0x10000u, native.dwAllocationGranularity);
    EXPECT_EQ(0, memcmp(&native, &seen, sizeof native)) << "a native process sees the native system";
  }
  BOOL wow64 = TRUE;
  EXPECT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_FALSE(wow64);
}
