// The classes of the test server module (VelnoTestServer.dll).
#pragma once
#include <objbase.h>

// A creatable object with ITestObject.
DEFINE_GUID(CLSID_VelnoTestObject, 0x6a1f0c3e, 0x8b2d, 0x4e55, 0x9c, 0x71, 0x2b, 0x3d, 0x4e, 0x5f, 0x60, 0x71);
// A class whose factory refuses every instance with TEST_FACTORY_ERROR.
DEFINE_GUID(CLSID_VelnoTestRefused, 0x6a1f0c3e, 0x8b2d, 0x4e55, 0x9c, 0x71, 0x2b, 0x3d, 0x4e, 0x5f, 0x60, 0x72);
DEFINE_GUID(IID_ITestObject, 0x6a1f0c3e, 0x8b2d, 0x4e55, 0x9c, 0x71, 0x2b, 0x3d, 0x4e, 0x5f, 0x60, 0x80);
#define TEST_FACTORY_ERROR ((HRESULT)0x80070020L)

struct ITestObject : public IUnknown {
  // How many times the module's DllMain saw a process attach.
  virtual LONG STDMETHODCALLTYPE AttachCount() = 0;
  virtual LONG STDMETHODCALLTYPE Twice(LONG value) = 0;
};

// DllRegisterServer sets HKLM\Software\VelnoTest "Registered" = 1 and returns S_OK, unless
// that key holds a DWORD "FailRegister", which it returns as its result instead.
// DllUnregisterServer removes "Registered".
