// Version and system information, answered from the "windows" object of the machine profile.
#include <velno/machine.h>
#include <windows.h>

#include <cstring>

namespace {

const nlohmann::json& WindowsProfile() {
  static const nlohmann::json empty = nlohmann::json::object();
  const nlohmann::json& profile = velno::sim::Profile();
  auto it = profile.find("windows");
  return it != profile.end() && it->is_object() ? *it : empty;
}

template <class T>
T Field(const nlohmann::json& windows, const char* name, T fallback) {
  auto it = windows.find(name);
  if (it == windows.end() || it->is_null()) return fallback;
  try {
    return it->get<T>();
  } catch (const nlohmann::json::exception&) {
    return fallback;
  }
}

// The processor details a system of that architecture reports.
void FillSystemInfo(LPSYSTEM_INFO info) {
  if (!info) return;
  const nlohmann::json& windows = WindowsProfile();
  WORD arch = Field<WORD>(windows, "processorArchitecture", PROCESSOR_ARCHITECTURE_AMD64);
  DWORD processors = Field<DWORD>(windows, "processors", 1);
  if (processors == 0) processors = 1;
  if (processors > 64) processors = 64;
  memset(info, 0, sizeof *info);
  info->wProcessorArchitecture = arch;
  info->dwPageSize = 4096;
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
  info->dwAllocationGranularity = 0x10000;
  info->dwNumberOfProcessors = processors;
  info->dwActiveProcessorMask = processors >= 64 ? ~DWORD_PTR(0) : (DWORD_PTR(1) << processors) - 1;
  switch (arch) {
    case PROCESSOR_ARCHITECTURE_AMD64:
      info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFFFFFEFFFFull);
      info->dwProcessorType = 8664;  // PROCESSOR_AMD_X8664
      info->wProcessorLevel = 6;
      break;
    case PROCESSOR_ARCHITECTURE_IA64:
      info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x6FBFFFEFFFFull);
      info->dwProcessorType = 2200;  // PROCESSOR_INTEL_IA64
      info->wProcessorLevel = 31;
      break;
    case PROCESSOR_ARCHITECTURE_INTEL:
      info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFEFFFFull);
      info->dwProcessorType = 586;  // PROCESSOR_INTEL_PENTIUM
      info->wProcessorLevel = 6;
      break;
    default:
      info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFFFFFEFFFFull);
      break;
  }
}

}  // namespace

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
  if (!info) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  const DWORD size = info->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const nlohmann::json& windows = WindowsProfile();
  // A profile can make the query fail, so that callers' failure paths can be exercised.
  if (Field<bool>(windows, "versionQueryFails", false)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  info->dwMajorVersion = Field<DWORD>(windows, "major", 10);
  info->dwMinorVersion = Field<DWORD>(windows, "minor", 0);
  info->dwBuildNumber = Field<DWORD>(windows, "build", 19045);
  info->dwPlatformId = Field<DWORD>(windows, "platformId", VER_PLATFORM_WIN32_NT);
  std::string csd = Field<std::string>(windows, "csdVersion", "");
  memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  strncpy(info->szCSDVersion, csd.c_str(), sizeof info->szCSDVersion - 1);
  if (size == sizeof(OSVERSIONINFOEXA)) {
    auto* ex = reinterpret_cast<LPOSVERSIONINFOEXA>(info);
    ex->wServicePackMajor = Field<WORD>(windows, "servicePackMajor", 0);
    ex->wServicePackMinor = Field<WORD>(windows, "servicePackMinor", 0);
    ex->wSuiteMask = Field<WORD>(windows, "suiteMask", 0x0100);  // VER_SUITE_SINGLEUSERTS
    ex->wProductType = Field<BYTE>(windows, "productType", VER_NT_WORKSTATION);
    ex->wReserved = 0;
  }
  return TRUE;
}

void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO info) { FillSystemInfo(info); }

// Every process of this machine is a native one (no 32-bit process under WOW64), so what a
// process sees is the native information.
void WINAPI GetSystemInfo(LPSYSTEM_INFO info) { FillSystemInfo(info); }

BOOL WINAPI IsWow64Process(HANDLE process, PBOOL wow64) {
  if (!wow64) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  *wow64 = FALSE;
  return TRUE;
}
