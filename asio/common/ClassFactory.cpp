#include "ClassFactory.h"

#include "AsioSample.h"
#include "ModuleState.h"

CAsioClsFactory::CAsioClsFactory(IUnknown* outer, REFCLSID id) : CUnknown(outer), classId(id) {}

HRESULT STDMETHODCALLTYPE CAsioClsFactory::QueryInterface(REFIID riid, void** ppv) {
  return ownerUnknown->QueryInterface(riid, ppv);
}
ULONG STDMETHODCALLTYPE CAsioClsFactory::AddRef() { return ownerUnknown->AddRef(); }
ULONG STDMETHODCALLTYPE CAsioClsFactory::Release() { return ownerUnknown->Release(); }

HRESULT STDMETHODCALLTYPE CAsioClsFactory::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (ppv == NULL) return E_POINTER;
  if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    NonDelegatingAddRef();
    return S_OK;
  }
  *ppv = NULL;
  return E_FAIL;
}

HRESULT STDMETHODCALLTYPE CAsioClsFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (ppv == NULL) return E_POINTER;
  *ppv = NULL;
  CAsioSample* driver = new CAsioSample(outer);
  if (driver == NULL) return E_FAIL;
  driver->NonDelegatingAddRef();
  HRESULT hr = driver->ProbeDevice(classId);
  if (SUCCEEDED(hr)) hr = driver->NonDelegatingQueryInterface(riid, ppv);
  // Destroys the object when the probe failed; otherwise the host's reference keeps it.
  driver->NonDelegatingRelease();
  return hr;
}

HRESULT STDMETHODCALLTYPE CAsioClsFactory::LockServer(BOOL lock) {
  if (lock) {
    InterlockedIncrement(&g_lockCount);
  } else {
    InterlockedDecrement(&g_lockCount);
  }
  return S_OK;
}
