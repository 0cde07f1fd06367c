// CreateProcessA: starts a program of this machine (an executable file on drive C) with the
// machine's environment. Process handles are waitable and carry the exit code; a watcher
// thread per child reaps it and signals the handle.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <velno/machine.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kernel_internal.h"

extern char** environ;

namespace velno::kernel {

std::string HostPath(const char* windowsPath);

namespace {

class Process : public Waitable {
 public:
  const char* TypeName() const override { return "Process"; }
  bool IsSignalled() const override { return ended_; }
  pid_t pid = 0;
  std::atomic<DWORD> exitCode{STILL_ACTIVE};
  std::atomic<bool> terminated{false};
  DWORD terminateCode = 0;
  bool ended_ = false;  // dispatcher lock
};

// Splits a command line the way the C runtime builds argv: blanks separate arguments, double
// quotes group, 2n backslashes before a quote give n backslashes, 2n+1 give n and a literal quote.
std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      if (line[i] == '\\') {
        size_t n = 0;
        while (i < line.size() && line[i] == '\\') ++n, ++i;
        if (i < line.size() && line[i] == '"') {
          arg.append(n / 2, '\\');
          if (n % 2) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(n, '\\');
        }
      } else if (line[i] == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';  // "" inside quotes is a literal quote
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
      } else {
        arg += line[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

bool IsExecutableFile(const std::string& host) {
  struct stat st;
  return !host.empty() && stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The program a command line names when no application is given: the first argument, with
// ".exe" added when it has no extension.
std::string ProgramOf(const std::string& first) {
  std::string host = HostPath(first.c_str());
  if (IsExecutableFile(host)) return host;
  std::string base = first.substr(first.find_last_of("\\/") == std::string::npos ? 0 : first.find_last_of("\\/") + 1);
  if (base.find('.') == std::string::npos) {
    host = HostPath((first + ".exe").c_str());
    if (IsExecutableFile(host)) return host;
  }
  return "";
}

}  // namespace
}  // namespace velno::kernel

using namespace velno::kernel;

BOOL WINAPI CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                           BOOL, DWORD flags, LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA,
                           LPPROCESS_INFORMATION info) {
  if ((!application || !*application) && (!commandLine || !*commandLine)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::string> args = SplitCommandLine(commandLine ? commandLine : "");
  std::string program;
  if (application && *application) {
    program = HostPath(application);
    if (!IsExecutableFile(program)) program.clear();
    if (args.empty()) args.push_back(application);
  } else {
    program = args.empty() ? "" : ProgramOf(args[0]);
  }
  if (program.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (access(program.c_str(), X_OK) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }

  // The child runs on this machine: its environment names the machine root.
  std::vector<std::string> env;
  const std::string machine = "VELNO_MACHINE=" + velno::sim::MachineRoot();
  if (environment) {
    for (const char* p = static_cast<const char*>(environment); *p; p += strlen(p) + 1) env.push_back(p);
  } else {
    for (char** e = environ; e && *e; ++e) env.push_back(*e);
  }
  std::erase_if(env, [](const std::string& v) { return v.rfind("VELNO_MACHINE=", 0) == 0; });
  env.push_back(machine);

  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (currentDirectory && *currentDirectory) {
    std::string dir = HostPath(currentDirectory);
    struct stat st;
    if (dir.empty() || stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      posix_spawn_file_actions_destroy(&actions);
      SetLastError(ERROR_DIRECTORY);
      return FALSE;
    }
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  }
  pid_t pid = 0;
  int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (r != 0) {
    SetLastError(r == ENOEXEC ? ERROR_BAD_EXE_FORMAT : r == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  auto process = std::make_shared<Process>();
  process->pid = pid;
  std::thread([process] {
    int status = 0;
    while (waitpid(process->pid, &status, 0) < 0 && errno == EINTR) {
    }
    DWORD code;
    if (process->terminated.load()) {
      code = process->terminateCode;
    } else if (WIFEXITED(status)) {
      code = DWORD(WEXITSTATUS(status));
    } else {
      code = 0xC0000000u | DWORD(WTERMSIG(status));  // ended by a signal: an NTSTATUS-like failure code
    }
    process->exitCode = code;
    UpdateState(*process, [&] { process->ended_ = true; });
  }).detach();
  if (info) {
    info->hProcess = InsertHandle(process);
    // The primary thread's handle stands for the same process object (waitable, closable).
    info->hThread = InsertHandle(process);
    info->dwProcessId = DWORD(pid);
    info->dwThreadId = DWORD(pid);  // a process's first thread has the process's id here
  }
  return TRUE;
}

BOOL WINAPI GetExitCodeProcess(HANDLE h, LPDWORD exitCode) {
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (auto process = Lookup<Process>(h)) {
    *exitCode = process->exitCode.load();
    return TRUE;
  }
  if (LookupHandle(h) && LookupHandle(h) == LookupHandle(GetCurrentProcess())) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

BOOL WINAPI TerminateProcess(HANDLE h, UINT exitCode) {
  if (LookupHandle(h) && LookupHandle(h) == LookupHandle(GetCurrentProcess())) _exit(int(exitCode));
  auto process = Lookup<Process>(h);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (process->exitCode.load() != STILL_ACTIVE) {
    SetLastError(ERROR_ACCESS_DENIED);  // already ended
    return FALSE;
  }
  process->terminateCode = exitCode;
  process->terminated = true;
  kill(process->pid, SIGKILL);
  return TRUE;
}
