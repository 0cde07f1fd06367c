// The platform's own COM classes (never for system code).
//
// A platform module that implements a system class (the audio device enumerator, ...)
// registers a creation function for its CLSID; CoCreateInstance and CoGetClassObject consult
// this table before the registry, so such classes need no InprocServer32 registration.
#pragma once
#include <objbase.h>

namespace velno::com {

// Creates an instance: outer is the controlling unknown (null when not aggregated); on success
// *ppv holds the interface riid with one reference.
using CreateInstanceFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// Registers (or replaces) a built-in class. Safe to call from a static initialiser:
//   static const bool registered = velno::com::RegisterBuiltinClass(CLSID_X, &CreateX);
bool RegisterBuiltinClass(REFCLSID clsid, CreateInstanceFn create);

}  // namespace velno::com
