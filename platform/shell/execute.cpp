// ShellExecuteA / ShellExecuteExA: "open" (and "runas", which needs no elevation prompt on the
// simulated machine) of a program named by its Windows path, started with CreateProcessA.
#include <shellapi.h>
#include <spawn.h>
#include <sys/stat.h>
#include <velno/machine.h>

#include <cstring>
#include <string>

#include "../user/winsys.h"

// The kernel's process creation, when the platform has it; otherwise the program is spawned
// directly with the machine's environment.
#pragma weak CreateProcessA

extern char** environ;

namespace {

bool Spawn(const std::string& path, const char* params, HANDLE* process) {
  std::string host = velno::sim::HostPathFromWindows(path);
  std::vector<std::string> args{host};
  std::string cur;
  bool quoted = false;
  for (const char* p = params ? params : ""; *p; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      continue;
    }
    if (*p == ' ' && !quoted) {
      if (!cur.empty()) args.push_back(cur);
      cur.clear();
      continue;
    }
    cur += *p;
  }
  if (!cur.empty()) args.push_back(cur);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, host.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
  if (process) *process = nullptr;
  return true;
}

bool Exists(const std::string& windowsPath, bool* isDir) {
  std::string host = velno::sim::HostPathFromWindows(windowsPath);
  struct stat st;
  if (host.empty() || stat(host.c_str(), &st) != 0) return false;
  *isDir = S_ISDIR(st.st_mode);
  return true;
}

std::string Join(const std::string& dir, const std::string& file) {
  if (dir.empty()) return file;
  return dir.back() == '\\' || dir.back() == '/' ? dir + file : dir + "\\" + file;
}

bool Absolute(const std::string& p) { return (p.size() >= 2 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/')); }

std::string Extension(const std::string& p) {
  size_t dot = p.find_last_of('.'), slash = p.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string e = p.substr(dot);
  for (char& c : e) c = (char)tolower((unsigned char)c);
  return e;
}

// Finds the file; returns SE_ERR_* (0 when found) and the resolved path.
int Resolve(const char* file, const char* dir, std::string* out) {
  std::string f = file;
  if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
  std::vector<std::string> candidates;
  if (Absolute(f)) {
    candidates.push_back(f);
  } else {
    if (dir && *dir) candidates.push_back(Join(dir, f));
    char cur[MAX_PATH] = "";
    if (GetCurrentDirectoryA(MAX_PATH, cur)) candidates.push_back(Join(cur, f));
    candidates.push_back(Join("C:\\Windows\\System32", f));
    candidates.push_back(Join("C:\\Windows", f));
  }
  bool anyParent = false;
  for (const std::string& c : candidates) {
    for (const std::string& name : {c, Extension(c).empty() ? c + ".exe" : c}) {
      bool isDir = false;
      if (Exists(name, &isDir) && !isDir) {
        *out = name;
        return 0;
      }
    }
    size_t slash = c.find_last_of("\\/");
    bool d = false;
    if (slash != std::string::npos && Exists(c.substr(0, slash), &d) && d) anyParent = true;
  }
  return anyParent || !Absolute(f) ? SE_ERR_FNF : SE_ERR_PNF;
}

int Execute(const char* verb, const char* file, const char* params, const char* dir, int show, HANDLE* process) {
  if (!file || !*file) return SE_ERR_FNF;
  if (verb && *verb && strcasecmp(verb, "open") != 0 && strcasecmp(verb, "runas") != 0) return SE_ERR_NOASSOC;
  std::string path;
  int err = Resolve(file, dir, &path);
  if (err) {
    SetLastError(err == SE_ERR_FNF ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return err;
  }
  std::string ext = Extension(path);
  if (ext != ".exe" && ext != ".com" && ext != ".bat" && ext != ".cmd") {
    SetLastError(1155);  // ERROR_NO_ASSOCIATION
    return SE_ERR_NOASSOC;
  }
  std::string cmd = "\"" + path + "\"";
  if (params && *params) cmd += std::string(" ") + params;
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back(0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = (WORD)show;
  PROCESS_INFORMATION pi{};
  if (!&CreateProcessA) return Spawn(path, params, process) ? 0 : SE_ERR_OOM;
  if (!CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir && *dir ? dir : nullptr, &si,
                      &pi)) {
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND ? SE_ERR_FNF : e == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF
         : e == ERROR_ACCESS_DENIED   ? SE_ERR_ACCESSDENIED : SE_ERR_OOM;
  }
  if (pi.hThread) CloseHandle(pi.hThread);
  if (process)
    *process = pi.hProcess;
  else if (pi.hProcess)
    CloseHandle(pi.hProcess);
  return 0;
}

}  // namespace

extern "C" {

HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR verb, LPCSTR file, LPCSTR params, LPCSTR dir, INT show) {
  int err = Execute(verb, file, params, dir, show, nullptr);
  // success is any value above 32
  return (HINSTANCE)(uintptr_t)(err ? err : 42);
}

BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOA)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HANDLE process = nullptr;
  int err = Execute(info->lpVerb, info->lpFile, info->lpParameters, info->lpDirectory, info->nShow,
                    (info->fMask & SEE_MASK_NOCLOSEPROCESS) ? &process : nullptr);
  info->hInstApp = (HINSTANCE)(uintptr_t)(err ? err : 42);
  info->hProcess = process;
  if (err) {
    if (err == SE_ERR_NOASSOC) SetLastError(1155);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
