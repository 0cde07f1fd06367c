// The class factory the module hands out for any class identifier it is asked for.
#pragma once
#include "Unknown.h"

class CAsioClsFactory : public IClassFactory, public CUnknown {
 public:
  CAsioClsFactory(IUnknown* outer, REFCLSID classId);

  // IUnknown: forwarded to the controlling unknown.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IClassFactory
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

 private:
  GUID classId;
};
