// RegSvr32.exe run as its own process on a machine, against the test server module.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <velno/machine.h>
#include <windows.h>

#include <filesystem>

using velno::testing::BinDir;
using velno::testing::RunProcess;
using velno::testing::TempMachine;

namespace {

std::string RegSvr32() { return BinDir() + "/RegSvr32.exe"; }
std::string Server() { return BinDir() + "/VelnoTestServer.dll"; }

// HKLM\Software\VelnoTest "Registered", as the test server's DllRegisterServer writes it.
bool Registered() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\VelnoTest", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD value = 0, size = sizeof value;
  LONG rc = RegQueryValueExA(key, "Registered", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && value == 1;
}

}  // namespace

TEST(RegSvr32, RegistersAndUnregistersWithMessages) {
  TempMachine machine;
  auto r = RunProcess(RegSvr32(), {Server()});
  EXPECT_EQ(0, r.exitCode) << r.out << r.err;
  EXPECT_EQ("DllRegisterServer in " + Server() + " succeeded.\n", r.out);
  EXPECT_TRUE(Registered());

  r = RunProcess(RegSvr32(), {"/u", Server()});
  EXPECT_EQ(0, r.exitCode) << r.out << r.err;
  EXPECT_EQ("DllUnregisterServer in " + Server() + " succeeded.\n", r.out);
  EXPECT_FALSE(Registered());

  r = RunProcess(RegSvr32(), {"/s", Server()});
  EXPECT_EQ(0, r.exitCode) << r.err;
  EXPECT_EQ("", r.out) << "silent";
  EXPECT_TRUE(Registered());
  r = RunProcess(RegSvr32(), {"-U", "/S", Server()});
  EXPECT_EQ(0, r.exitCode) << r.err;
  EXPECT_EQ("", r.out);
  EXPECT_FALSE(Registered());
}

TEST(RegSvr32, ModuleNamedByItsWindowsPath) {
  TempMachine machine;
  std::string dir = velno::sim::HostPathFromWindows("C:\\Program Files\\Velno Test");
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(Server(), dir + "/VelnoTestServer.dll");
  auto r = RunProcess(RegSvr32(), {"C:\\Program Files\\Velno Test\\VelnoTestServer.dll"});
  EXPECT_EQ(0, r.exitCode) << r.out << r.err;
  EXPECT_TRUE(Registered());
}

TEST(RegSvr32, FailuresAndTheirExitCodes) {
  TempMachine machine;
  // Make the test server's DllRegisterServer fail with E_ACCESSDENIED.
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\VelnoTest", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  DWORD failure = static_cast<DWORD>(E_ACCESSDENIED);
  RegSetValueExA(key, "FailRegister", 0, REG_DWORD, reinterpret_cast<BYTE*>(&failure), 4);
  RegCloseKey(key);

  struct Case {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    const char* text;  // expected in the output ("" = no output)
  };
  const Case cases[] = {
      {"entry point fails", {Server()}, 5, "failed with error code 0x80070005"},
      {"entry point fails, silently", {"/s", Server()}, 5, ""},
      {"options after the module, as the installer passes them", {Server(), "/s"}, 5, ""},
      {"unregistering still works", {"/u", Server(), "/s"}, 0, ""},
      {"module missing", {"C:\\nowhere\\missing.dll"}, 3, "failed to load"},
      {"no entry point", {BinDir() + "/libvelnowin.so"}, 4, "entry-point DllRegisterServer was not found"},
      {"no module named", {"/s"}, 1, ""},
      {"no arguments", {}, 1, "Usage"},
      {"two modules", {Server(), Server()}, 1, "Usage"},
  };
  for (const Case& c : cases) {
    auto r = RunProcess(RegSvr32(), c.args);
    EXPECT_EQ(c.exitCode, r.exitCode) << c.what << "\n" << r.out << r.err;
    if (*c.text)
      EXPECT_NE(std::string::npos, r.out.find(c.text)) << c.what << "\n" << r.out;
    else
      EXPECT_EQ("", r.out) << c.what;
  }
  EXPECT_FALSE(Registered());
}

TEST(RegSvr32, InstalledInSystem32AndStartedByWindowsPath) {
  TempMachine machine;
  EXPECT_TRUE(std::filesystem::exists(velno::sim::HostPathFromWindows("C:\\Windows\\System32\\RegSvr32.exe")))
      << "a new machine carries the platform's programs";
  auto install = RunProcess(BinDir() + "/velnosim", {"install-system-programs", BinDir()});
  ASSERT_EQ(0, install.exitCode) << install.out << install.err;
  EXPECT_NE(std::string::npos, install.out.find("C:\\windows\\system32\\RegSvr32.exe")) << install.out;

  // The way an installer starts it: by its Windows path, with a Windows command line.
  std::string dir = velno::sim::HostPathFromWindows("C:\\Program Files\\Velno Test");
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(Server(), dir + "/VelnoTestServer.dll");
  char commandLine[] = "RegSvr32.exe /s \"C:\\Program Files\\Velno Test\\VelnoTestServer.dll\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessA("C:\\Windows\\System32\\RegSvr32.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info))
      << GetLastError();
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 60000));
  DWORD exitCode = 99;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exitCode));
  EXPECT_EQ(0u, exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  EXPECT_TRUE(Registered());
}
