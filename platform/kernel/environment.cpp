// The environment as a program on the machine sees it, and the system folders. Names are
// case-insensitive, as on Windows. The well-known Windows variables come from the machine (its
// drive C and profile); everything else comes from the process environment.
#include <strings.h>
#include <velno/machine.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel_internal.h"

extern char** environ;

namespace velno::kernel {

// Copies a string result the Win32 way: when it fits (with its terminator), its length;
// otherwise the size needed including the terminator, leaving the buffer alone.
DWORD CopyOut(const std::string& value, LPSTR buffer, DWORD size) {
  if (!buffer || size <= value.size()) return DWORD(value.size() + 1);
  memcpy(buffer, value.c_str(), value.size() + 1);
  return DWORD(value.size());
}

bool MachineVariable(const char* name, std::string* value) {
  std::string user = "user";
  const auto& profile = sim::Profile();
  if (profile.contains("user") && profile["user"].contains("name") && profile["user"]["name"].is_string())
    user = profile["user"]["name"].get<std::string>();
  struct Known {
    const char* name;
    std::string value;
  } known[] = {
      {"SystemRoot", "C:\\windows"},
      {"windir", "C:\\windows"},
      {"SystemDrive", "C:"},
      {"ProgramFiles", "C:\\Program Files"},
      {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
      {"ProgramW6432", "C:\\Program Files"},
      {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
      {"ProgramData", "C:\\ProgramData"},
      {"ALLUSERSPROFILE", "C:\\ProgramData"},
      {"USERPROFILE", "C:\\users\\" + user},
      {"APPDATA", "C:\\users\\" + user + "\\AppData\\Roaming"},
      {"LOCALAPPDATA", "C:\\users\\" + user + "\\AppData\\Local"},
      {"TEMP", "C:\\users\\" + user + "\\Temp"},
      {"TMP", "C:\\users\\" + user + "\\Temp"},
      {"USERNAME", user},
      {"COMPUTERNAME", "VELNO-PC"},
      {"OS", "Windows_NT"},
      {"ComSpec", "C:\\windows\\system32\\cmd.exe"},
  };
  for (const Known& k : known) {
    if (strcasecmp(k.name, name) == 0) {
      *value = k.value;
      return true;
    }
  }
  return false;
}

bool LookupVariable(const char* name, std::string* value) {
  if (!name || !*name) return false;
  if (MachineVariable(name, value)) return true;
  size_t n = strlen(name);
  for (char** e = environ; e && *e; ++e) {
    if (strncasecmp(*e, name, n) == 0 && (*e)[n] == '=') {
      *value = *e + n + 1;
      return true;
    }
  }
  return false;
}

}  // namespace velno::kernel

using namespace velno::kernel;

DWORD WINAPI GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  std::string value;
  if (!LookupVariable(name, &value)) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  return CopyOut(value, buffer, size);
}

// Replaces each %NAME% by its value; names that are not set stay as written. Returns the
// characters stored including the terminator, or the size needed when the buffer is short.
DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR src, LPSTR dst, DWORD size) {
  if (!src) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string out;
  for (const char* p = src; *p;) {
    const char* close = *p == '%' ? strchr(p + 1, '%') : nullptr;
    std::string value;
    if (close && close > p + 1 && LookupVariable(std::string(p + 1, close).c_str(), &value)) {
      out += value;
      p = close + 1;
    } else if (close) {
      out.append(p, close);  // not a variable: keep the text up to the next '%'
      p = close;
    } else {
      out += *p++;
    }
  }
  if (dst && size > out.size()) memcpy(dst, out.c_str(), out.size() + 1);
  return DWORD(out.size() + 1);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) { return CopyOut("C:\\windows\\system32", buffer, size); }
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) { return CopyOut("C:\\windows", buffer, size); }

DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer) {
  std::string temp;
  if (!LookupVariable("TMP", &temp) && !LookupVariable("TEMP", &temp)) temp = "C:\\windows\\Temp";
  if (temp.empty() || temp.back() != '\\') temp += '\\';
  return CopyOut(temp, buffer, size);
}
