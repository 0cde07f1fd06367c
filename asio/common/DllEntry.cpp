// The module's entry points: DllMain, DllGetClassObject and DllCanUnloadNow.
#include <windows.h>

#include "ClassFactory.h"
#include "ModuleState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_moduleInstance = module;
    g_privateHeap = HeapCreate(0, 0x10000, 0);
    DisableThreadLibraryCalls(module);
  } else if (reason == DLL_PROCESS_DETACH) {
    if (g_privateHeap != NULL) {
      HeapDestroy(g_privateHeap);
      g_privateHeap = NULL;
    }
  }
  return TRUE;
}

// Every class identifier yields a factory; the identifier becomes the driver object's.
extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == NULL) return E_POINTER;
  *ppv = NULL;
  CAsioClsFactory* factory = new CAsioClsFactory(NULL, rclsid);
  if (factory == NULL) return E_FAIL;
  factory->NonDelegatingAddRef();
  HRESULT hr = factory->NonDelegatingQueryInterface(riid, ppv);
  factory->NonDelegatingRelease();
  return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow(void) {
  return (g_lockCount > 0 || g_objectCount != 0) ? S_FALSE : S_OK;
}
