// CreateProcessA on the machine's programs, waitable process handles and exit codes, and the
// machine's debug output.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <velno/machine.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using velno::testing::BinDir;
using velno::testing::RunProcess;
using velno::testing::TempMachine;

void InstallHelper(const char* windowsPath) {
  fs::path target = velno::sim::HostPathFromWindows(windowsPath);
  fs::create_directories(target.parent_path());
  fs::copy_file(fs::path(BinDir()) / "velno_kernel_helper", target, fs::copy_options::overwrite_existing);
}

std::string DebugOutput(const TempMachine& machine) {
  std::ifstream in(machine.root() + "/debug_output.log");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Processes, ExitCodeAndWaitableHandle) {
  TempMachine machine;
  InstallHelper("C:\\Program Files\\Velno Tools\\helper.exe");
  char line[] = "\"C:\\Program Files\\Velno Tools\\helper\" exit 3";  // no extension: .exe is added
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
      << GetLastError();
  EXPECT_NE(pi.dwProcessId, 0u);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, 3u);
  EXPECT_EQ(WaitForSingleObject(pi.hThread, 0), WAIT_OBJECT_0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  char missing[] = "C:\\Program Files\\Velno Tools\\none.exe";
  EXPECT_FALSE(CreateProcessA(nullptr, missing, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(Processes, ChildRunsOnTheMachineAndWritesDebugOutput) {
  TempMachine machine;
  InstallHelper("C:\\windows\\system32\\VelnoHelper.exe");
  char line[] = "VelnoHelper.exe debug \"two words\\\" and a quote\"";
  STARTUPINFOA si = {};
  PROCESS_INFORMATION pi = {};
  // The application is given; the command line only provides the arguments.
  ASSERT_TRUE(CreateProcessA("C:\\windows\\system32\\VelnoHelper.exe", line, nullptr, nullptr, FALSE, 0, nullptr,
                             "C:\\windows", &si, &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);

  OutputDebugStringA("from the test\nsecond line\n");
  std::string log = DebugOutput(machine);
  // time TAB pid TAB process name TAB text
  EXPECT_NE(log.find("\t" + std::to_string(pi.dwProcessId) + "\tVelnoHelper.exe\ttwo words\" and a quote\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("\t" + std::to_string(GetCurrentProcessId()) + "\tplatform_kernel_tests\tfrom the test\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("\tsecond line\n"), std::string::npos);
}

TEST(Processes, TerminateGivesTheCode) {
  TempMachine machine;
  InstallHelper("C:\\windows\\system32\\sleeper.exe");
  char line[] = "sleeper.exe exit 0";
  STARTUPINFOA si = {};
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA("C:\\windows\\system32\\sleeper.exe", line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi));
  EXPECT_TRUE(TerminateProcess(pi.hProcess, 77));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 77u);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}

}  // namespace
