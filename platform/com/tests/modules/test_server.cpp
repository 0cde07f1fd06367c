// A minimal in-process COM server, written as a Windows module is.
#include <windows.h>

#include "test_server.h"

namespace {

LONG g_attachCount = 0;
LONG g_objects = 0;
LONG g_locks = 0;

class TestObject : public ITestObject {
 public:
  TestObject() { InterlockedIncrement(&g_objects); }
  virtual ~TestObject() { InterlockedDecrement(&g_objects); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_ITestObject)) {
      *ppv = static_cast<ITestObject*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }
  LONG STDMETHODCALLTYPE AttachCount() override { return g_attachCount; }
  LONG STDMETHODCALLTYPE Twice(LONG value) override { return value * 2; }

 private:
  LONG refs_ = 0;
};

class Factory : public IClassFactory {
 public:
  explicit Factory(bool refuse) : refuse_(refuse) { InterlockedIncrement(&g_objects); }
  virtual ~Factory() { InterlockedDecrement(&g_objects); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    *ppv = NULL;
    if (outer != NULL) return CLASS_E_NOAGGREGATION;
    if (refuse_) return TEST_FACTORY_ERROR;
    TestObject* object = new TestObject;
    object->AddRef();
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      InterlockedIncrement(&g_locks);
    else
      InterlockedDecrement(&g_locks);
    return S_OK;
  }

 private:
  LONG refs_ = 0;
  bool refuse_;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) InterlockedIncrement(&g_attachCount);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  *ppv = NULL;
  bool refuse = IsEqualGUID(clsid, CLSID_VelnoTestRefused);
  if (!refuse && !IsEqualGUID(clsid, CLSID_VelnoTestObject)) return CLASS_E_CLASSNOTAVAILABLE;
  Factory* factory = new Factory(refuse);
  factory->AddRef();
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

STDAPI DllCanUnloadNow(void) { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer(void) {
  HKEY key = NULL;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\VelnoTest", 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      NULL, &key, NULL) != ERROR_SUCCESS)
    return E_FAIL;
  DWORD failure = 0, size = sizeof(failure), type = 0;
  if (RegQueryValueExA(key, "FailRegister", NULL, &type, reinterpret_cast<BYTE*>(&failure), &size) == ERROR_SUCCESS &&
      type == REG_DWORD) {
    RegCloseKey(key);
    return static_cast<HRESULT>(failure);
  }
  DWORD one = 1;
  RegSetValueExA(key, "Registered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
  RegCloseKey(key);
  return S_OK;
}

STDAPI DllUnregisterServer(void) {
  HKEY key = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\VelnoTest", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "Registered");
    RegCloseKey(key);
  }
  return S_OK;
}
