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
  // The object's own IUnknown: what an object without an outer unknown forwards to, and what
  // QueryInterface hands out for IID_IUnknown.
  struct NonDelegatingFace : public IUnknown {
    CUnknown* object;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
      return object->NonDelegatingQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return object->NonDelegatingAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return object->NonDelegatingRelease(); }
  };

  LONG volatile refCount;
  IUnknown* ownerUnknown;  // the controlling unknown: the outer one, or this object's own face
  NonDelegatingFace nonDelegatingFace;
};
