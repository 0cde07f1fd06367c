#include "Unknown.h"

#include "ModuleState.h"

CUnknown::CUnknown(IUnknown* outer) : refCount(0) {
  nonDelegatingFace.object = this;
  // Without an outer unknown the object controls itself.
  ownerUnknown = outer != NULL ? outer : static_cast<IUnknown*>(&nonDelegatingFace);
  InterlockedIncrement(&g_objectCount);
}

CUnknown::~CUnknown() { InterlockedDecrement(&g_objectCount); }

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (ppv == NULL) return E_POINTER;
  if (IsEqualGUID(riid, IID_IUnknown)) {
    *ppv = static_cast<IUnknown*>(&nonDelegatingFace);
    NonDelegatingAddRef();
    return S_OK;
  }
  *ppv = NULL;
  return E_INVALIDARG;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef() { return (ULONG)InterlockedIncrement(&refCount); }

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease() {
  LONG count = InterlockedDecrement(&refCount);
  if (count == 0) {
    // A release nested inside the destructor must not destroy the object a second time.
    refCount = 1;
    delete this;
    return 0;
  }
  return (ULONG)count;
}

void* CUnknown::operator new(size_t bytes) noexcept { return PrivateAlloc(bytes); }

void CUnknown::operator delete(void* memory) noexcept { PrivateFree(memory); }
