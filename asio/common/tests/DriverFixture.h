// A driver object on a fresh machine, over the test's fake transport.
#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "AsioSample.h"
#include "FakeTransport.h"
#include "testsupport.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);

inline GUID MakeClassId(uint32_t n) { return GUID{n, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}}; }

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool attached = DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    (void)attached;
    TheFakeDevice() = FakeDevice();
    machine_.reset();
    machine_ = std::make_unique<velno::testing::TempMachine>();
  }
  void TearDown() override {
    for (CAsioSample* d : drivers_) d->NonDelegatingRelease();
    drivers_.clear();
    machine_.reset();
  }
  // A probed driver object, as the class factory makes it (null when the probe fails).
  CAsioSample* Create(uint32_t classNumber = 1) {
    CAsioSample* driver = new CAsioSample(nullptr);
    driver->NonDelegatingAddRef();
    if (FAILED(driver->ProbeDevice(MakeClassId(classNumber)))) {
      driver->NonDelegatingRelease();
      return nullptr;
    }
    drivers_.push_back(driver);
    return driver;
  }
  void Destroy(CAsioSample* driver) {
    for (auto it = drivers_.begin(); it != drivers_.end(); ++it) {
      if (*it == driver) {
        drivers_.erase(it);
        break;
      }
    }
    driver->NonDelegatingRelease();
  }
  static void SetUserDword(const char* name, DWORD value) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    RegCloseKey(key);
  }
  std::unique_ptr<velno::testing::TempMachine> machine_;
  std::vector<CAsioSample*> drivers_;
};
