#include "testsupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <velno/machine.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace velno::testing {

TempMachine::TempMachine(const nlohmann::json& overrides) {
  const char* prev = getenv("VELNO_MACHINE");
  previous_ = prev ? prev : "";
  std::string tmpl = (std::filesystem::temp_directory_path() / "velno-test-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  root_ = mkdtemp(buf.data());
  sim::CreateMachine(root_, overrides);
  sim::SetMachineRootForProcess(root_);
}

TempMachine::~TempMachine() {
  if (!getenv("VELNO_KEEP_MACHINES")) {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  if (!previous_.empty()) {
    sim::SetMachineRootForProcess(previous_);
  } else {
    unsetenv("VELNO_MACHINE");
  }
}

std::string BinDir() {
  const char* bin = getenv("VELNO_BIN");
  return bin ? bin : ".";
}

namespace {
std::string ReadAll(int fd) {
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, n);
  return out;
}
}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, int timeoutSeconds) {
  ProcessResult result;
  char outName[] = "/tmp/velno-out-XXXXXX";
  char errName[] = "/tmp/velno-err-XXXXXX";
  int outFd = mkstemp(outName);
  int errFd = mkstemp(errName);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    result.err = "cannot start " + program;
  } else {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    for (;;) {
      pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        break;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        result.exitCode = -9;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  lseek(outFd, 0, SEEK_SET);
  lseek(errFd, 0, SEEK_SET);
  result.out = ReadAll(outFd);
  result.err += ReadAll(errFd);
  close(outFd);
  close(errFd);
  unlink(outName);
  unlink(errName);
  return result;
}

}  // namespace velno::testing
