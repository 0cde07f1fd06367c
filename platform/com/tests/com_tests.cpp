// The COM runtime: apartments, GUID text, task memory, and creation through an in-process
// server registered under HKEY_CLASSES_ROOT (the test server module) or a built-in class.
#include <gtest/gtest.h>
#include <test_server.h>
#include <testsupport.h>
#include <velno/com_classes.h>
#include <velno/machine.h>
#include <windows.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>

namespace {

using velno::testing::TempMachine;

std::string ServerPath() { return velno::testing::BinDir() + "/VelnoTestServer.dll"; }

std::string Braced(REFGUID guid) {
  OLECHAR text[40];
  StringFromGUID2(guid, text, 40);
  std::string s;
  for (int i = 0; text[i]; ++i) s.push_back(static_cast<char>(text[i]));
  return s;
}

void RegisterServer(REFCLSID clsid, const std::string& modulePath) {
  HKEY key = nullptr;
  std::string sub = "CLSID\\" + Braced(clsid) + "\\InprocServer32";
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &key, nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(modulePath.c_str()),
                                          static_cast<DWORD>(modulePath.size() + 1)));
  RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Apartment"), 10);
  RegCloseKey(key);
}

// A thread with COM initialised for the test's duration.
struct ComScope {
  ComScope() { EXPECT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  ~ComScope() { CoUninitialize(); }
};

// A class built into the platform for the test.
DEFINE_GUID(CLSID_BuiltinProbe, 0x0b5e1d2c, 0x1111, 0x4222, 0x83, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66);
LONG g_builtinCreated = 0;
HRESULT CreateBuiltinProbe(IUnknown* outer, REFIID riid, void** ppv) {
  ++g_builtinCreated;
  struct Probe : IUnknown {
    LONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      if (!IsEqualGUID(iid, IID_IUnknown)) {
        *out = nullptr;
        return E_NOINTERFACE;
      }
      *out = this;
      AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
      ULONG n = --refs;
      if (!n) delete this;
      return n;
    }
  };
  Probe* p = new Probe;
  HRESULT hr = p->QueryInterface(riid, ppv);
  p->Release();
  return hr;
}

}  // namespace

TEST(ComApartment, InitialisationCountsAndModes) {
  std::thread([] {
    EXPECT_EQ(S_OK, CoInitialize(nullptr));
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED)) << "fully uninitialised: any mode again";
    EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitialize(nullptr));
    CoUninitialize();
    EXPECT_EQ(E_INVALIDARG, CoInitializeEx(reinterpret_cast<void*>(1), COINIT_MULTITHREADED));
  }).join();
}

TEST(ComApartment, CreationNeedsAnApartmentOrTheProcessMultithreadedOne) {
  TempMachine machine;
  velno::com::RegisterBuiltinClass(CLSID_BuiltinProbe, &CreateBuiltinProbe);
  std::thread([] {
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(CO_E_NOTINITIALIZED,
              CoCreateInstance(CLSID_BuiltinProbe, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(CO_E_NOTINITIALIZED, CoGetClassObject(CLSID_BuiltinProbe, CLSCTX_ALL, nullptr, IID_IClassFactory,
                                                    reinterpret_cast<void**>(&object)));
  }).join();

  // While one thread holds the multithreaded apartment, a thread that never initialised
  // COM belongs to it.
  std::thread([] {
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    std::thread([] {
      IUnknown* object = nullptr;
      EXPECT_EQ(S_OK, CoCreateInstance(CLSID_BuiltinProbe, nullptr, CLSCTX_ALL, IID_IUnknown,
                                       reinterpret_cast<void**>(&object)));
      if (object) object->Release();
    }).join();
    CoUninitialize();
  }).join();
}

TEST(Guid, BracedTextForm) {
  const GUID g = {0x0123abcd, 0x4567, 0x89ef, {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}};
  OLECHAR text[40];
  EXPECT_EQ(39, StringFromGUID2(g, text, 39));
  EXPECT_EQ(std::u16string(u"{0123ABCD-4567-89EF-0123-456789ABCDEF}"), std::u16string(text));
  EXPECT_EQ(0, StringFromGUID2(g, text, 38)) << "too small a buffer";

  LPOLESTR allocated = nullptr;
  ASSERT_EQ(S_OK, StringFromCLSID(g, &allocated));
  EXPECT_EQ(std::u16string(text), std::u16string(allocated));
  CoTaskMemFree(allocated);

  GUID back = GUID_NULL;
  EXPECT_EQ(S_OK, CLSIDFromString(u"{0123abcd-4567-89ef-0123-456789AbCdEf}", &back)) << "hex digits in either case";
  EXPECT_TRUE(IsEqualGUID(g, back));
  EXPECT_EQ(S_OK, IIDFromString(text, &back));
  EXPECT_TRUE(IsEqualGUID(g, back));

  int index = 0;
  for (const char16_t* bad : {u"", u"0123ABCD-4567-89EF-0123-456789ABCDEF", u"{0123ABCD-4567-89EF-0123-456789ABCDEF",
                              u"{0123ABCD-4567-89EF-0123-456789ABCDEF}x", u"{0123ABCD-4567-89EF-0123-456789ABCDEG}",
                              u"{0123ABCD+4567-89EF-0123-456789ABCDEF}", u"{0123ABC-D4567-89EF-0123-456789ABCDEF}",
                              u"{ 123ABCD-4567-89EF-0123-456789ABCDEF}"}) {
    back = g;
    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(bad, &back)) << "case " << index;
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, back)) << "case " << index;
    EXPECT_EQ(E_INVALIDARG, IIDFromString(bad, &back)) << "case " << index;
    ++index;
  }
}

TEST(Guid, ProgIdNamesItsClass) {
  TempMachine machine;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, "Velno.Test\\CLSID", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  const char16_t id[] = u"{6A1F0C3E-8B2D-4E55-9C71-2B3D4E5F6071}";
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(id), sizeof id);
  RegCloseKey(key);
  GUID g = GUID_NULL;
  EXPECT_EQ(S_OK, CLSIDFromString(u"Velno.Test", &g));
  EXPECT_TRUE(IsEqualGUID(CLSID_VelnoTestObject, g));
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(u"Velno.Missing", &g));
}

TEST(Guid, CreatedIdentifiersAreRandomVersion4) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    GUID g;
    ASSERT_EQ(S_OK, CoCreateGuid(&g));
    EXPECT_EQ(0x4000, g.Data3 & 0xF000);
    EXPECT_EQ(0x80, g.Data4[0] & 0xC0);
    seen.insert(Braced(g));
  }
  EXPECT_EQ(200u, seen.size());
}

TEST(TaskMemory, AllocateGrowFree) {
  auto* p = static_cast<unsigned char*>(CoTaskMemAlloc(16));
  ASSERT_NE(nullptr, p);
  memset(p, 7, 16);
  p = static_cast<unsigned char*>(CoTaskMemRealloc(p, 4096));
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(7, p[15]);
  CoTaskMemFree(p);
  CoTaskMemFree(nullptr);
}

TEST(ComCreate, InProcessServerFromTheRegistryStaysLoaded) {
  TempMachine machine;
  ComScope com;
  RegisterServer(CLSID_VelnoTestObject, ServerPath());
  ITestObject* first = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_VelnoTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_ITestObject,
                                   reinterpret_cast<void**>(&first)));
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(42, first->Twice(21));
  EXPECT_EQ(1, first->AttachCount()) << "the module was loaded with its DllMain called once";

  CoFreeUnusedLibraries();  // an object is alive: the server stays
  ITestObject* second = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_VelnoTestObject, nullptr, CLSCTX_ALL, IID_ITestObject,
                                   reinterpret_cast<void**>(&second)));
  EXPECT_EQ(1, second->AttachCount()) << "the second creation reused the loaded module";
  EXPECT_EQ(10, first->Twice(5));
  second->Release();
  first->Release();

  IClassFactory* factory = nullptr;
  ASSERT_EQ(S_OK, CoGetClassObject(CLSID_VelnoTestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)));
  IUnknown* object = nullptr;
  EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
  object->Release();
  factory->Release();
  CoFreeUnusedLibraries();
}

TEST(ComCreate, ServerNamedByItsWindowsPath) {
  TempMachine machine;
  ComScope com;
  std::string dir = velno::sim::HostPathFromWindows("C:\\Program Files\\Velno Test");
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(ServerPath(), dir + "/VelnoTestServer.dll");
  RegisterServer(CLSID_VelnoTestObject, "C:\\Program Files\\Velno Test\\VelnoTestServer.dll");
  ITestObject* object = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_VelnoTestObject, nullptr, CLSCTX_ALL, IID_ITestObject,
                                   reinterpret_cast<void**>(&object)));
  EXPECT_EQ(8, object->Twice(4));
  object->Release();
}

TEST(ComCreate, Failures) {
  TempMachine machine;
  ComScope com;
  const GUID unregistered = {0x12345678, 0x1, 0x4002, {0x80, 3, 4, 5, 6, 7, 8, 9}};
  const GUID missingFile = {0x12345678, 0x2, 0x4002, {0x80, 3, 4, 5, 6, 7, 8, 9}};
  const GUID noEntryPoint = {0x12345678, 0x3, 0x4002, {0x80, 3, 4, 5, 6, 7, 8, 9}};
  const GUID unknownToServer = {0x12345678, 0x4, 0x4002, {0x80, 3, 4, 5, 6, 7, 8, 9}};
  RegisterServer(missingFile, "C:\\Program Files\\Nowhere\\gone.dll");
  RegisterServer(noEntryPoint, velno::testing::BinDir() + "/libvelnowin.so");
  RegisterServer(unknownToServer, ServerPath());
  RegisterServer(CLSID_VelnoTestRefused, ServerPath());
  RegisterServer(CLSID_VelnoTestObject, ServerPath());

  struct Case {
    const char* what;
    GUID clsid;
    DWORD context;
    IID iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {"not registered", unregistered, CLSCTX_ALL, IID_IUnknown, REGDB_E_CLASSNOTREG},
      {"module file missing", missingFile, CLSCTX_ALL, IID_IUnknown, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
      {"no DllGetClassObject", noEntryPoint, CLSCTX_ALL, IID_IUnknown, CO_E_ERRORINDLL},
      {"server does not know the class", unknownToServer, CLSCTX_ALL, IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
      {"factory refuses", CLSID_VelnoTestRefused, CLSCTX_ALL, IID_IUnknown, TEST_FACTORY_ERROR},
      {"interface not offered", CLSID_VelnoTestObject, CLSCTX_ALL, IID_IClassFactory, E_NOINTERFACE},
      {"only a local server asked", CLSID_VelnoTestObject, CLSCTX_LOCAL_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG},
  };
  for (const Case& c : cases) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(c.expected, CoCreateInstance(c.clsid, nullptr, c.context, c.iid, &object)) << c.what;
    EXPECT_EQ(nullptr, object) << c.what;
  }
  EXPECT_EQ(E_INVALIDARG, CoCreateInstance(CLSID_VelnoTestObject, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr));
}

TEST(ComCreate, BuiltinClassesNeedNoRegistration) {
  TempMachine machine;
  ComScope com;
  velno::com::RegisterBuiltinClass(CLSID_BuiltinProbe, &CreateBuiltinProbe);
  LONG before = g_builtinCreated;
  IUnknown* object = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_BuiltinProbe, nullptr, CLSCTX_ALL, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)));
  object->Release();
  IClassFactory* factory = nullptr;
  ASSERT_EQ(S_OK, CoGetClassObject(CLSID_BuiltinProbe, CLSCTX_ALL, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)));
  EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(&object)));
  EXPECT_EQ(nullptr, object);
  factory->Release();
  EXPECT_EQ(before + 2, g_builtinCreated);
}
