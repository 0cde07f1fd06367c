// The driver modules as RegSvr32 and a host use them: loaded from drive C of the machine.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <velno/machine.h>

#include <filesystem>
#include <memory>
#include <string>

#include "testsupport.h"

namespace {

const char kProductFolder[] = "C:\\Program Files\\Velno\\Velno-HD";

typedef HRESULT(STDAPICALLTYPE* EntryPoint)();

std::string ReadString(HKEY root, const std::string& path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
  char buf[512] = {};
  DWORD size = sizeof buf - 1;
  DWORD type = 0;
  LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS ? std::string(buf) : "<no value>";
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.reset();
    machine_ = std::make_unique<velno::testing::TempMachine>();
    std::string folder = velno::sim::HostPathFromWindows(kProductFolder);
    std::filesystem::create_directories(folder);
    for (const char* name : {"VelnoHDASIO.dll", "VelnoHDASIOW.dll"})
      std::filesystem::copy_file(velno::testing::BinDir() + "/" + name, folder + "/" + name);
  }
  void TearDown() override {
    for (HMODULE m : modules_) FreeLibrary(m);
    machine_.reset();
  }
  HMODULE Load(const char* name) {
    std::string path = std::string(kProductFolder) + "\\" + name;
    HMODULE module = LoadLibraryA(path.c_str());
    EXPECT_NE(nullptr, module) << path;
    if (module) modules_.push_back(module);
    return module;
  }
  static HRESULT Call(HMODULE module, const char* entry) {
    auto fn = reinterpret_cast<EntryPoint>(GetProcAddress(module, entry));
    EXPECT_NE(nullptr, fn) << entry;
    return fn ? fn() : E_FAIL;
  }
  std::unique_ptr<velno::testing::TempMachine> machine_;
  std::vector<HMODULE> modules_;
};

TEST_F(RegistrationTest, EachRegistrationMakesANewClassAndUnregistrationRemovesTheRecordedOne) {
  HMODULE ks = Load("VelnoHDASIO.dll");
  ASSERT_NE(nullptr, ks);
  ASSERT_EQ(S_OK, Call(ks, "DllRegisterServer"));
  std::string first = ReadString(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", "CLSID");
  ASSERT_EQ(S_OK, Call(ks, "DllRegisterServer"));
  std::string second = ReadString(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", "CLSID");
  ASSERT_EQ(38u, first.size()) << first;
  ASSERT_EQ(38u, second.size()) << second;
  EXPECT_NE(first, second);
  EXPECT_EQ(std::string(kProductFolder) + "\\VelnoHDASIO.dll",
            ReadString(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", "Driver"));
  std::string classKey = "CLSID\\" + second;
  EXPECT_EQ(std::string(kProductFolder) + "\\VelnoHDASIO.dll",
            ReadString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", ""));
  EXPECT_EQ("Apartment", ReadString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel"));
  EXPECT_EQ("Velno-HD", ReadString(HKEY_CLASSES_ROOT, classKey, "FriendlyName"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + first));

  HKEY user;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &user, nullptr));
  RegCloseKey(user);
  ASSERT_EQ(S_OK, Call(ks, "DllUnregisterServer"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + first));  // the earlier class stays behind
  EXPECT_EQ(S_OK, Call(ks, "DllUnregisterServer"));              // nothing left to remove: still S_OK
}

TEST_F(RegistrationTest, TheModuleRegisteredLastIsTheOneHostsLoad) {
  HMODULE ks = Load("VelnoHDASIO.dll");
  HMODULE wasapi = Load("VelnoHDASIOW.dll");
  ASSERT_TRUE(ks && wasapi);
  ASSERT_EQ(S_OK, Call(ks, "DllRegisterServer"));
  ASSERT_EQ(S_OK, Call(wasapi, "DllRegisterServer"));
  EXPECT_EQ(std::string(kProductFolder) + "\\VelnoHDASIOW.dll",
            ReadString(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", "Driver"));
  std::string text = ReadString(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", "CLSID");
  EXPECT_EQ(std::string(kProductFolder) + "\\VelnoHDASIOW.dll",
            ReadString(HKEY_CLASSES_ROOT, "CLSID\\" + text + "\\InprocServer32", ""));

  // A host: creation through the registered class loads the second module, whose transport
  // finds no device, so the creation is refused.
  FreeLibrary(wasapi);
  modules_.pop_back();
  ASSERT_EQ(nullptr, GetModuleHandleA((std::string(kProductFolder) + "\\VelnoHDASIOW.dll").c_str()));
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  WCHAR wide[64];
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 64);
  CLSID clsid;
  ASSERT_EQ(S_OK, CLSIDFromString(wide, &clsid));
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_FAIL, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_NE(nullptr, GetModuleHandleA((std::string(kProductFolder) + "\\VelnoHDASIOW.dll").c_str()));
  CoUninitialize();
}

TEST_F(RegistrationTest, FactoryAndUnloadRules) {
  // The device is unplugged: the factory's creation must be refused.
  nlohmann::json profile = velno::sim::Profile();
  profile["usb"] = nlohmann::json::array();
  velno::sim::SaveProfile(profile);
  HMODULE ks = Load("VelnoHDASIO.dll");
  ASSERT_NE(nullptr, ks);
  auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(ks, "DllGetClassObject"));
  auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(ks, "DllCanUnloadNow"));
  ASSERT_TRUE(getClassObject && canUnload);
  EXPECT_EQ(S_OK, canUnload());
  GUID anyClass{0xDEADBEEF, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  IClassFactory* factory = nullptr;
  ASSERT_EQ(S_OK, getClassObject(anyClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  EXPECT_EQ(S_FALSE, canUnload());
  void* other = reinterpret_cast<void*>(1);
  GUID otherIid{0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  EXPECT_EQ(E_FAIL, factory->QueryInterface(otherIid, &other));
  EXPECT_EQ(nullptr, other);
  void* driver = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_FAIL, factory->CreateInstance(nullptr, anyClass, &driver));  // no device
  EXPECT_EQ(nullptr, driver);
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  factory->Release();
  EXPECT_EQ(S_FALSE, canUnload());  // the lock is still outstanding
  ASSERT_EQ(S_OK, getClassObject(anyClass, IID_IUnknown, reinterpret_cast<void**>(&factory)));
  factory->LockServer(FALSE);
  factory->Release();
  EXPECT_EQ(S_OK, canUnload());  // the refused object and both factories are gone
}

}  // namespace
