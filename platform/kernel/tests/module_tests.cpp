// LoadLibraryA, DllMain, GetProcAddress, GetModuleFileNameA.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <velno/machine.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using velno::testing::BinDir;
using velno::testing::TempMachine;

const char kModule[] = "VelnoKernelTestModule.dll";

void Install(const std::string& windowsFolder, const std::string& fileName) {
  fs::path folder = velno::sim::HostPathFromWindows(windowsFolder);
  fs::create_directories(folder);
  fs::copy_file(fs::path(BinDir()) / kModule, folder / fileName, fs::copy_options::overwrite_existing);
}

template <class F>
F Proc(HMODULE m, const char* name) {
  return reinterpret_cast<F>(GetProcAddress(m, name));
}

TEST(Modules, AttachOnceDetachAtLastFreeAndOwnWindowsPath) {
  TempMachine machine;
  Install("C:\\Program Files\\Velno", kModule);
  unsetenv("VELNO_TEST_MODULE_DETACHES");
  const char* path = "C:\\Program Files\\Velno\\VelnoKernelTestModule.dll";
  HMODULE a = LoadLibraryA(path);
  ASSERT_NE(a, nullptr) << GetLastError();
  HMODULE b = LoadLibraryA("c:\\program files\\velno\\velnokerneltestmodule.dll");
  EXPECT_EQ(a, b);
  auto attaches = Proc<int (*)()>(a, "TestModuleAttaches");
  ASSERT_NE(attaches, nullptr);
  EXPECT_EQ(attaches(), 1);
  EXPECT_EQ(Proc<HINSTANCE (*)()>(a, "TestModuleInstance")(), a);  // DllMain got the HMODULE

  // The module finds its own path from the handle it was given.
  char buffer[MAX_PATH];
  auto ownPath = Proc<DWORD (*)(char*, DWORD)>(a, "TestModuleOwnPath");
  EXPECT_EQ(ownPath(buffer, MAX_PATH), strlen(path));
  EXPECT_STREQ(buffer, path);
  EXPECT_EQ(GetModuleFileNameA(a, buffer, MAX_PATH), strlen(path));
  EXPECT_STREQ(buffer, path);

  // Truncation: as much as fits with a terminator, the buffer size returned.
  struct Case {
    DWORD size;
    DWORD result;
    DWORD error;
  } cases[] = {{DWORD(strlen(path)) + 1, DWORD(strlen(path)), ERROR_SUCCESS},
               {DWORD(strlen(path)), DWORD(strlen(path)), ERROR_INSUFFICIENT_BUFFER},
               {10, 10, ERROR_INSUFFICIENT_BUFFER}};
  for (const Case& c : cases) {
    memset(buffer, 'x', sizeof buffer);
    SetLastError(12345);
    EXPECT_EQ(GetModuleFileNameA(a, buffer, c.size), c.result) << c.size;
    EXPECT_EQ(GetLastError(), c.error) << c.size;
    EXPECT_EQ(std::string(buffer), std::string(path, std::min<size_t>(strlen(path), c.size - 1))) << c.size;
  }

  EXPECT_EQ(GetProcAddress(a, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(a, "CreateEventA"), nullptr);  // exported by the platform, not by the module
  EXPECT_EQ(GetModuleHandleA("velnokerneltestmodule"), a);

  EXPECT_TRUE(FreeLibrary(b));
  EXPECT_EQ(getenv("VELNO_TEST_MODULE_DETACHES"), nullptr);  // still loaded once
  EXPECT_TRUE(FreeLibrary(a));
  ASSERT_NE(getenv("VELNO_TEST_MODULE_DETACHES"), nullptr);
  EXPECT_STREQ(getenv("VELNO_TEST_MODULE_DETACHES"), "1");
  EXPECT_FALSE(FreeLibrary(a));
}

TEST(Modules, SearchOrderFailuresAndHostPaths) {
  TempMachine machine;
  Install("C:\\windows\\system32", "velnotestmod.dll");
  HMODULE bare = LoadLibraryA("VELNOTESTMOD");  // no extension: .dll, in system32, any case
  ASSERT_NE(bare, nullptr) << GetLastError();
  char buffer[MAX_PATH];
  GetModuleFileNameA(bare, buffer, MAX_PATH);
  EXPECT_STREQ(buffer, "C:\\windows\\system32\\velnotestmod.dll");
  FreeLibrary(bare);

  // A module off drive C is named by its host path.
  std::string host = BinDir() + "/" + kModule;
  HMODULE h = LoadLibraryA(host.c_str());
  ASSERT_NE(h, nullptr);
  GetModuleFileNameA(h, buffer, MAX_PATH);
  EXPECT_EQ(std::string(buffer), fs::canonical(host).string());
  FreeLibrary(h);

  EXPECT_EQ(LoadLibraryA("C:\\nowhere\\missing.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadLibraryA("missing-module"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  fs::path notModule = velno::sim::HostPathFromWindows("C:\\windows\\system32") + "/text.dll";
  FILE* f = fopen(notModule.c_str(), "w");
  fputs("not a module", f);
  fclose(f);
  EXPECT_EQ(LoadLibraryA("text.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_EXE_FORMAT));

  setenv("VELNO_TEST_MODULE_REFUSE", "1", 1);
  unsetenv("VELNO_TEST_MODULE_DETACHES");
  EXPECT_EQ(LoadLibraryA("velnotestmod.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DLL_INIT_FAILED));
  EXPECT_STREQ(getenv("VELNO_TEST_MODULE_DETACHES"), "1");  // the refused attach was followed by a detach
  unsetenv("VELNO_TEST_MODULE_REFUSE");

  // The program itself.
  HMODULE program = GetModuleHandleA(nullptr);
  EXPECT_NE(program, nullptr);
  EXPECT_GT(GetModuleFileNameA(nullptr, buffer, MAX_PATH), 0u);
  char again[MAX_PATH];
  GetModuleFileNameA(program, again, MAX_PATH);
  EXPECT_STREQ(buffer, again);
}

}  // namespace
