// A machine with the product installed and a driver registered, as the installer leaves it,
// and a host that creates the driver through the registry in this process.
#pragma once
#include <gtest/gtest.h>
#include <objbase.h>
#include <velno/machine.h>

#include <filesystem>
#include <memory>
#include <string>

#include "asio.h"
#include "testsupport.h"

namespace drivertest {

inline const char* kProductFolder = "C:\\Program Files\\Velno\\Velno-HD";

// Installs both driver modules into drive C (a module already there may be loaded: it is
// never rewritten) and registers one of them (its DllRegisterServer,
// as RegSvr32 does).
inline void InstallDrivers(const char* registered = "VelnoHDASIO.dll") {
  std::string folder = velno::sim::HostPathFromWindows(kProductFolder);
  std::filesystem::create_directories(folder);
  for (const char* name : {"VelnoHDASIO.dll", "VelnoHDASIOW.dll"})
    std::filesystem::copy_file(velno::testing::BinDir() + "/" + name, folder + "/" + name,
                               std::filesystem::copy_options::skip_existing);
  std::string path = std::string(kProductFolder) + "\\" + registered;
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(nullptr, module) << path;
  auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllRegisterServer"));
  ASSERT_NE(nullptr, reg);
  ASSERT_EQ(S_OK, reg());
  FreeLibrary(module);
}

// The class identifier hosts find under HKLM\Software\ASIO\Velno-HD.
inline CLSID RegisteredClass() {
  HKEY key;
  CLSID clsid{};
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", 0, KEY_READ, &key) != ERROR_SUCCESS) return clsid;
  char text[64] = {};
  DWORD size = sizeof text - 1;
  RegQueryValueExA(key, "CLSID", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  WCHAR wide[64];
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
  CLSIDFromString(wide, &clsid);
  return clsid;
}

// Creates the registered driver as a host does; null when creation is refused.
inline IASIO* CreateRegisteredDriver(HRESULT* result = nullptr) {
  CLSID clsid = RegisteredClass();
  void* object = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid, &object);
  if (result) *result = hr;
  return SUCCEEDED(hr) ? static_cast<IASIO*>(object) : nullptr;
}

// A user setting of the driver, as the control panel or a person leaves it.
inline void SetUserDword(const char* name, DWORD value) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
  RegCloseKey(key);
}

class DriverMachineTest : public ::testing::Test {
 protected:
  void StartMachine(const nlohmann::json& profile = nlohmann::json::object(), const char* registered = "VelnoHDASIO.dll") {
    machine_ = std::make_unique<velno::testing::TempMachine>(profile);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    comInitialised_ = true;
    InstallDrivers(registered);
  }
  void TearDown() override {
    if (comInitialised_) {
      CoFreeUnusedLibraries();
      CoUninitialize();
      comInitialised_ = false;
    }
    machine_.reset();
  }
  std::unique_ptr<velno::testing::TempMachine> machine_;
  bool comInitialised_ = false;
};

}  // namespace drivertest
