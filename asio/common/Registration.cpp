// Self-registration: every registration makes a fresh class identifier and records it under
// the driver key, so the module registered last is the one hosts load.
#include <windows.h>
#include <objbase.h>

#include "ModuleState.h"

namespace {

const char kDriverKeyName[] = "Velno-HD";
const char kFriendlyName[] = "Velno-HD";

// 8-bit text to a terminated wide string (the wide registry functions take these).
void ToWide(const char* text, WCHAR* wide, int capacity) {
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, capacity) == 0) wide[0] = 0;
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer(void) {
  char modulePath[MAX_PATH];
  DWORD length = GetModuleFileNameA(g_moduleInstance, modulePath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;

  GUID classId;
  if (FAILED(CoCreateGuid(&classId))) return E_FAIL;
  WCHAR classText[64];
  int classChars = StringFromGUID2(classId, classText, 64);
  if (classChars == 0) return E_FAIL;

  HKEY asioKey = NULL;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO", 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                      &asioKey, NULL) != ERROR_SUCCESS)
    return E_FAIL;
  HKEY driverKey = NULL;
  LONG created = RegCreateKeyExA(asioKey, kDriverKeyName, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                                 &driverKey, NULL);
  if (created == ERROR_SUCCESS) {
    WCHAR valueName[8];
    ToWide("CLSID", valueName, 8);
    // classChars counts the terminator: (characters x 2 + 2) bytes.
    RegSetValueExW(driverKey, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(classText),
                   (DWORD)(classChars * sizeof(WCHAR)));
    RegSetValueExA(driverKey, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(modulePath), length + 1);
    RegCloseKey(driverKey);
  }
  RegCloseKey(asioKey);
  if (created != ERROR_SUCCESS) return E_FAIL;

  WCHAR classKeyName[80];
  ToWide("CLSID\\", classKeyName, 80);
  lstrcatW(classKeyName, classText);
  HKEY classKey = NULL;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, classKeyName, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                      &classKey, NULL) != ERROR_SUCCESS)
    return E_FAIL;
  WCHAR inprocName[32];
  ToWide("InprocServer32", inprocName, 32);
  HKEY inprocKey = NULL;
  LONG inproc = RegCreateKeyExW(classKey, inprocName, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                                &inprocKey, NULL);
  if (inproc == ERROR_SUCCESS) {
    RegSetValueExA(inprocKey, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(modulePath), length + 1);
    RegSetValueExA(inprocKey, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Apartment"), 10);
    RegCloseKey(inprocKey);
  }
  RegSetValueExA(classKey, "FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(kFriendlyName),
                 sizeof(kFriendlyName));
  RegCloseKey(classKey);
  return inproc == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer(void) {
  HKEY asioKey = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO", 0, KEY_ALL_ACCESS, &asioKey) == ERROR_SUCCESS) {
    HKEY driverKey = NULL;
    if (RegOpenKeyExA(asioKey, kDriverKeyName, 0, KEY_ALL_ACCESS, &driverKey) == ERROR_SUCCESS) {
      WCHAR classText[260];
      DWORD size = sizeof(classText);
      DWORD type = 0;
      WCHAR valueName[8];
      ToWide("CLSID", valueName, 8);
      if (RegQueryValueExW(driverKey, valueName, NULL, &type, reinterpret_cast<BYTE*>(classText), &size) ==
              ERROR_SUCCESS &&
          type == REG_SZ) {
        // The stored text need not be terminated; never read past what was returned.
        classText[size / sizeof(WCHAR) < 260 ? size / sizeof(WCHAR) : 259] = 0;
        CLSID classId;
        if (SUCCEEDED(CLSIDFromString(classText, &classId))) {
          char classKeyText[64];
          WCHAR canonical[64];
          StringFromGUID2(classId, canonical, 64);
          WideCharToMultiByte(CP_ACP, 0, canonical, -1, classKeyText, sizeof(classKeyText), NULL, NULL);
          char path[128] = "CLSID\\";
          lstrcatA(path, classKeyText);
          char inprocPath[160];
          lstrcpyA(inprocPath, path);
          lstrcatA(inprocPath, "\\InprocServer32");
          RegDeleteKeyA(HKEY_CLASSES_ROOT, inprocPath);
          RegDeleteKeyA(HKEY_CLASSES_ROOT, path);
        }
      }
      RegCloseKey(driverKey);
      RegDeleteKeyA(asioKey, kDriverKeyName);
    }
    RegCloseKey(asioKey);
  }
  HKEY userKey = NULL;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ASIO", 0, KEY_ALL_ACCESS, &userKey) == ERROR_SUCCESS) {
    RegDeleteKeyA(userKey, kDriverKeyName);
    RegCloseKey(userKey);
  }
  return S_OK;
}
