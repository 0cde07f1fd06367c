#include "Driver.h"

#include <objbase.h>

#include <cstdio>

namespace asiohost {

std::string HresultText(HRESULT hr) {
  char code[16];
  snprintf(code, sizeof code, "0x%08X", (unsigned)hr);
  const char* name = nullptr;
  switch (hr) {
    case S_OK: name = "S_OK"; break;
    case S_FALSE: name = "S_FALSE"; break;
    case E_FAIL: name = "E_FAIL (no supported device present)"; break;
    case E_NOINTERFACE: name = "E_NOINTERFACE"; break;
    case E_OUTOFMEMORY: name = "E_OUTOFMEMORY"; break;
    case E_INVALIDARG: name = "E_INVALIDARG"; break;
    case REGDB_E_CLASSNOTREG: name = "REGDB_E_CLASSNOTREG (class not registered)"; break;
    case CO_E_DLLNOTFOUND: name = "CO_E_DLLNOTFOUND (driver module not found)"; break;
    case CO_E_ERRORINDLL: name = "CO_E_ERRORINDLL (driver module cannot be loaded)"; break;
    case CO_E_CLASSSTRING: name = "CO_E_CLASSSTRING (malformed class identifier)"; break;
    default: break;
  }
  return name ? std::string(name) + " " + code : std::string(code);
}

std::string AsioErrorText(ASIOError error) {
  switch (error) {
    case ASE_OK: return "ASE_OK";
    case ASE_SUCCESS: return "ASE_SUCCESS";
    case ASE_NotPresent: return "ASE_NotPresent";
    case ASE_HWMalfunction: return "ASE_HWMalfunction";
    case ASE_InvalidParameter: return "ASE_InvalidParameter";
    case ASE_InvalidMode: return "ASE_InvalidMode";
    case ASE_SPNotAdvancing: return "ASE_SPNotAdvancing";
    case ASE_NoClock: return "ASE_NoClock";
    case ASE_NoMemory: return "ASE_NoMemory";
    default: return "ASIOError " + std::to_string(error);
  }
}

std::string SampleTypeText(ASIOSampleType type) {
  switch (type) {
    case ASIOSTInt16LSB: return "ASIOSTInt16LSB";
    case ASIOSTInt24LSB: return "ASIOSTInt24LSB";
    case ASIOSTInt32LSB: return "ASIOSTInt32LSB";
    case ASIOSTFloat32LSB: return "ASIOSTFloat32LSB";
    case ASIOSTFloat64LSB: return "ASIOSTFloat64LSB";
    case ASIOSTDSDInt8MSB1: return "ASIOSTDSDInt8MSB1";
    case ASIOSTDSDInt8LSB1: return "ASIOSTDSDInt8LSB1";
    default: return "type " + std::to_string(type);
  }
}

DriverHandle CreateDriver(const std::string& name) {
  DriverHandle handle;
  std::string keyPath = "Software\\ASIO\\" + name;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    handle.problem = "no ASIO driver is registered under HKLM\\" + keyPath;
    return handle;
  }
  char text[128] = {};
  DWORD size = sizeof text - 1;
  DWORD type = 0;
  LONG read = RegQueryValueExA(key, "CLSID", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  char driverPath[MAX_PATH] = {};
  DWORD pathSize = sizeof driverPath - 1;
  if (RegQueryValueExA(key, "Driver", nullptr, &type, reinterpret_cast<BYTE*>(driverPath), &pathSize) ==
      ERROR_SUCCESS)
    handle.modulePath = driverPath;
  RegCloseKey(key);
  if (read != ERROR_SUCCESS) {
    handle.problem = "the driver key HKLM\\" + keyPath + " has no CLSID value";
    return handle;
  }
  WCHAR wide[128];
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 128);
  if (FAILED(CLSIDFromString(wide, &handle.classId))) {
    handle.problem = std::string("the CLSID value '") + text + "' is not a class identifier";
    return handle;
  }
  void* object = nullptr;
  handle.created = CoCreateInstance(handle.classId, nullptr, CLSCTX_INPROC_SERVER, handle.classId, &object);
  if (FAILED(handle.created)) {
    handle.problem = "creating the driver was refused: " + HresultText(handle.created);
    return handle;
  }
  handle.driver = static_cast<IASIO*>(object);
  return handle;
}

void ReleaseDriver(DriverHandle& handle) {
  if (handle.driver != nullptr) {
    handle.driver->Release();
    handle.driver = nullptr;
  }
}

}  // namespace asiohost
