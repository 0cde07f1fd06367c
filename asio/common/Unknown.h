// The reference-counting base of the module's COM objects (class factory and driver object).
#pragma once
#include <windows.h>
#include <objbase.h>

#include <new>

struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class CUnknown : public INonDelegatingUnknown {
 public:
  explicit CUnknown(IUnknown* outer);
  virtual ~CUnknown();

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // Objects live in the module's private heap, zero-filled; a failed allocation yields null.
  static void* operator new(size_t bytes) noexcept;
  static void operator delete(void* memory) noexcept;

 protected:
  LONG volatile refCount;
  IUnknown* ownerUnknown;  // the controlling unknown: the outer one, or this object itself
};

// The object's own CUnknown part seen as the IUnknown its faces forward to.
#define CUNKNOWN_AS_IUNKNOWN(obj) reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(obj))
