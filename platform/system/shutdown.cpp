// System shutdown requests. The machine never shuts down: a request is appended, one JSON
// object a line, to <machine root>/shutdown-requests.jsonl, where tests and `velnosim
// shutdown-requests` read it.
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>
#include <velno/machine.h>
#include <windows.h>

#include <chrono>
#include <string>

namespace velno::system {
bool PrivilegeEnabled(const char* name);
}

namespace {

bool IsLocal(LPCSTR machineName) {
  if (!machineName || !*machineName) return true;
  std::string name = machineName;
  while (!name.empty() && name[0] == '\\') name.erase(0, 1);
  return strcasecmp(name.c_str(), "localhost") == 0 || name == ".";
}

BOOL Record(const nlohmann::json& request) {
  std::string line = request.dump() + "\n";
  std::string path = velno::sim::MachineRoot() + "/shutdown-requests.jsonl";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  close(fd);
  if (!ok) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace

BOOL WINAPI InitiateSystemShutdownExA(LPSTR machineName, LPSTR message, DWORD timeout, BOOL forceAppsClosed,
                                      BOOL rebootAfterShutdown, DWORD reason) {
  if (!IsLocal(machineName)) {
    SetLastError(ERROR_BAD_NETPATH);
    return FALSE;
  }
  // Shutting down the local machine takes the shutdown privilege, enabled.
  if (!velno::system::PrivilegeEnabled(SE_SHUTDOWN_NAME)) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
  }
  auto now = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch());
  return Record({{"request", "shutdown"},
                 {"message", message ? message : ""},
                 {"timeout", timeout},
                 {"forceAppsClosed", forceAppsClosed != FALSE},
                 {"reboot", rebootAfterShutdown != FALSE},
                 {"reason", reason},
                 {"pid", getpid()},
                 {"time", now.count()}});
}

BOOL WINAPI InitiateSystemShutdownA(LPSTR machineName, LPSTR message, DWORD timeout, BOOL forceAppsClosed,
                                    BOOL rebootAfterShutdown) {
  return InitiateSystemShutdownExA(machineName, message, timeout, forceAppsClosed, rebootAfterShutdown,
                                   SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER);
}

BOOL WINAPI AbortSystemShutdownA(LPSTR machineName) {
  if (!IsLocal(machineName)) {
    SetLastError(ERROR_BAD_NETPATH);
    return FALSE;
  }
  if (!velno::system::PrivilegeEnabled(SE_SHUTDOWN_NAME)) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
  }
  return Record({{"request", "abort"}, {"pid", getpid()}});
}
