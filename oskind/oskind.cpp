// Classification of the running Windows release from the extended version information and the
// native processor architecture.
#include "oskind.h"

#include <string.h>

namespace {

typedef void(WINAPI* GetNativeSystemInfoFn)(LPSYSTEM_INFO);

// The native system information when kernel32 offers it (Windows XP and later), otherwise
// what the process sees.
void ReadSystemInfo(SYSTEM_INFO* info) {
  GetNativeSystemInfoFn native = NULL;
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel != NULL) {
    FARPROC proc = GetProcAddress(kernel, "GetNativeSystemInfo");
    native = reinterpret_cast<GetNativeSystemInfoFn>(reinterpret_cast<void*>(proc));
  }
  if (native != NULL) {
    native(info);
  } else {
    GetSystemInfo(info);
  }
}

INT Classify(DWORD major, DWORD minor, BYTE productType, WORD architecture) {
  const bool workstation = productType == VER_NT_WORKSTATION;
  if (major == 5) {
    if (minor == 1) return OSKIND_XP;
    if (minor == 2) {
      return workstation && architecture == PROCESSOR_ARCHITECTURE_AMD64 ? OSKIND_XP : OSKIND_SERVER_2003;
    }
    return OSKIND_OTHER;
  }
  if (major == 6) {
    switch (minor) {
      case 0: return workstation ? OSKIND_VISTA : OSKIND_SERVER_2008;
      case 1: return workstation ? OSKIND_WIN7 : OSKIND_SERVER_2008R2;
      case 2: return workstation ? OSKIND_WIN8 : OSKIND_SERVER_2012;
      case 3: return workstation ? OSKIND_WIN81 : OSKIND_SERVER_2012R2;
      default: return OSKIND_OTHER;
    }
  }
  if (major == 10 && minor == 0) return workstation ? OSKIND_WIN10 : OSKIND_SERVER_2016;
  return OSKIND_OTHER;
}

}  // namespace

HRESULT GetOsKind(OsRecord* record, INT* kind, INT* platformFlag, UINT* build) {
  if (kind != NULL) *kind = OSKIND_OTHER;
  if (platformFlag != NULL) *platformFlag = 1;
  if (build != NULL) *build = 7601;

  OSVERSIONINFOEXA version;
  memset(&version, 0, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  if (!GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&version))) return E_FAIL;

  SYSTEM_INFO system;
  memset(&system, 0, sizeof(system));
  ReadSystemInfo(&system);

  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT || version.dwMajorVersion < 5) return E_FAIL;

  const WORD architecture = system.wProcessorArchitecture;
  const INT osKind = Classify(version.dwMajorVersion, version.dwMinorVersion, version.wProductType, architecture);
  INT flag = 1;
  if (version.dwMajorVersion != 5 &&
      (architecture == PROCESSOR_ARCHITECTURE_AMD64 || architecture == PROCESSOR_ARCHITECTURE_IA64)) {
    flag = 0;
  }

  if (record != NULL) {
    record->kind = osKind;
    record->platformFlag = flag;
    record->build = version.dwBuildNumber;
  }
  if (kind != NULL) *kind = osKind;
  if (platformFlag != NULL) *platformFlag = flag;
  if (build != NULL) *build = version.dwBuildNumber;
  return 0;
}

bool IsVistaOrLater(const OsRecord& record) { return record.kind >= OSKIND_VISTA && record.kind <= OSKIND_SERVER_2016; }

bool IsWin10v1703OrLater(const OsRecord& record) {
  return record.kind >= OSKIND_WIN10 && record.build >= OSKIND_BUILD_WIN10_1703;
}
