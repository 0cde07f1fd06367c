// Access tokens and privileges of this process. The process holds the privileges the profile
// gives its user ("user": {"privileges": [...]}, by default those of an elevated
// administrator), all disabled except SeChangeNotifyPrivilege; every token handle of the
// process sees the same state, as the tokens of one process do on Windows.
#include <strings.h>
#include <velno/kobject.h>
#include <velno/machine.h>
#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

namespace {

struct Privilege {
  const char* name;
  DWORD luid;
};
// The locally unique identifiers Windows gives the well-known privileges.
const Privilege kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},         {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},          {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6},      {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},            {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},         {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},         {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14}, {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16},    {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},            {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},              {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22},  {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},     {"SeUndockPrivilege", 25},
    {"SeSyncAgentPrivilege", 26},          {"SeEnableDelegationPrivilege", 27},
    {"SeManageVolumePrivilege", 28},       {"SeImpersonatePrivilege", 29},
    {"SeCreateGlobalPrivilege", 30},       {"SeTrustedCredManAccessPrivilege", 31},
    {"SeRelabelPrivilege", 32},            {"SeIncreaseWorkingSetPrivilege", 33},
    {"SeTimeZonePrivilege", 34},           {"SeCreateSymbolicLinkPrivilege", 35},
};

const char* const kAdministratorPrivileges[] = {
    "SeIncreaseQuotaPrivilege", "SeSecurityPrivilege",      "SeTakeOwnershipPrivilege",
    "SeLoadDriverPrivilege",    "SeSystemProfilePrivilege", "SeSystemtimePrivilege",
    "SeProfileSingleProcessPrivilege", "SeIncreaseBasePriorityPrivilege", "SeCreatePagefilePrivilege",
    "SeBackupPrivilege",        "SeRestorePrivilege",       "SeShutdownPrivilege",
    "SeDebugPrivilege",         "SeSystemEnvironmentPrivilege", "SeChangeNotifyPrivilege",
    "SeRemoteShutdownPrivilege", "SeUndockPrivilege",       "SeManageVolumePrivilege",
    "SeImpersonatePrivilege",   "SeCreateGlobalPrivilege",  "SeIncreaseWorkingSetPrivilege",
    "SeTimeZonePrivilege",      "SeCreateSymbolicLinkPrivilege",
};

const Privilege* FindByName(const char* name) {
  for (const Privilege& p : kPrivileges)
    if (strcasecmp(p.name, name) == 0) return &p;
  return nullptr;
}

std::mutex g_mutex;
bool g_loaded = false;
bool g_hookInstalled = false;
std::map<DWORD, DWORD> g_held;  // privilege LUID -> attributes

void Forget() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_loaded = false;
  g_held.clear();
}

// The privileges of this process (caller holds g_mutex).
std::map<DWORD, DWORD>& Held() {
  if (!g_hookInstalled) {
    velno::sim::OnMachineChanged(&Forget);
    g_hookInstalled = true;
  }
  if (!g_loaded) {
    g_held.clear();
    std::vector<std::string> names(std::begin(kAdministratorPrivileges), std::end(kAdministratorPrivileges));
    const nlohmann::json& profile = velno::sim::Profile();
    auto user = profile.find("user");
    if (user != profile.end() && user->is_object()) {
      auto list = user->find("privileges");
      if (list != user->end() && list->is_array()) {
        names.clear();
        for (const auto& n : *list)
          if (n.is_string()) names.push_back(n.get<std::string>());
      }
    }
    for (const std::string& n : names) {
      if (const Privilege* p = FindByName(n.c_str())) {
        bool byDefault = p->luid == 23;  // SeChangeNotifyPrivilege
        g_held[p->luid] = byDefault ? (SE_PRIVILEGE_ENABLED | SE_PRIVILEGE_ENABLED_BY_DEFAULT) : 0;
      }
    }
    g_loaded = true;
  }
  return g_held;
}

class Token : public velno::kernel::Object {
 public:
  explicit Token(DWORD access) : access(access) {}
  const char* TypeName() const override { return "Token"; }
  DWORD access;
};

}  // namespace

namespace velno::system {
// Whether this process has the privilege enabled (for the functions that require one).
bool PrivilegeEnabled(const char* name) {
  const Privilege* p = FindByName(name);
  if (!p) return false;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto& held = Held();
  auto it = held.find(p->luid);
  return it != held.end() && (it->second & SE_PRIVILEGE_ENABLED);
}
}  // namespace velno::system

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token) {
  if (!token) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (!velno::kernel::LookupHandle(process)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD access = desiredAccess;
  if (access & 0x10000000u) access |= TOKEN_ALL_ACCESS;  // GENERIC_ALL
  if (access & 0x02000000u) access |= TOKEN_ALL_ACCESS;  // MAXIMUM_ALLOWED
  *token = velno::kernel::InsertHandle(std::make_shared<Token>(access));
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid) {
  if (!name || !luid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const Privilege* p = FindByName(name);
  if (!p) {
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
  }
  luid->LowPart = p->luid;
  luid->HighPart = 0;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// Returns TRUE when the call was carried out, with the last error ERROR_SUCCESS when every
// privilege named was changed and ERROR_NOT_ALL_ASSIGNED when the process lacks some of them
// (callers must look at the last error, as on Windows).
BOOL WINAPI AdjustTokenPrivileges(HANDLE tokenHandle, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                                  PTOKEN_PRIVILEGES previousState, PDWORD returnLength) {
  auto token = velno::kernel::Lookup<Token>(tokenHandle);
  if (!token) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(token->access & TOKEN_ADJUST_PRIVILEGES) || (previousState && !(token->access & TOKEN_QUERY))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!disableAll && !newState) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  auto& held = Held();
  // What would change, and what the process does not hold.
  std::vector<std::pair<DWORD, DWORD>> changes;  // luid, new attributes (~0u = removed)
  bool notAll = false;
  if (disableAll) {
    for (const auto& [luid, attributes] : held)
      if (attributes & SE_PRIVILEGE_ENABLED) changes.push_back({luid, attributes & ~DWORD(SE_PRIVILEGE_ENABLED)});
  } else {
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& entry = newState->Privileges[i];
      auto it = entry.Luid.HighPart == 0 ? held.find(entry.Luid.LowPart) : held.end();
      if (it == held.end()) {
        notAll = true;
        continue;
      }
      DWORD wanted = entry.Attributes & SE_PRIVILEGE_REMOVED
                         ? ~0u
                         : (it->second & ~DWORD(SE_PRIVILEGE_ENABLED)) | (entry.Attributes & SE_PRIVILEGE_ENABLED);
      if (wanted != it->second) changes.push_back({it->first, wanted});
    }
  }
  if (previousState) {
    DWORD needed = static_cast<DWORD>(sizeof(DWORD) + std::max<size_t>(changes.size(), 1) * sizeof(LUID_AND_ATTRIBUTES));
    if (returnLength) *returnLength = needed;
    if (bufferLength < needed) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    previousState->PrivilegeCount = static_cast<DWORD>(changes.size());
    for (size_t i = 0; i < changes.size(); ++i) {
      previousState->Privileges[i].Luid = LUID{changes[i].first, 0};
      previousState->Privileges[i].Attributes = held[changes[i].first];
    }
  }
  for (const auto& [luid, attributes] : changes) {
    if (attributes == ~0u)
      held.erase(luid);
    else
      held[luid] = attributes;
  }
  SetLastError(notAll ? ERROR_NOT_ALL_ASSIGNED : ERROR_SUCCESS);
  return TRUE;
}
