// PROPVARIANT values: clearing and copying what they own.
#include <propidl.h>
#include <windows.h>

#include <cstring>

namespace {

bool IsKnownType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
    case VT_INT: case VT_UINT: case VT_I8: case VT_UI8: case VT_R4: case VT_R8: case VT_BOOL: case VT_FILETIME:
    case VT_LPSTR: case VT_LPWSTR: case VT_BLOB: case VT_CLSID:
      return true;
    default:
      return false;
  }
}

void* Duplicate(const void* data, size_t bytes) {
  void* copy = CoTaskMemAlloc(bytes);
  if (copy && bytes) memcpy(copy, data, bytes);
  return copy;
}

}  // namespace

HRESULT WINAPI PropVariantClear(PROPVARIANT* value) {
  if (!value) return S_OK;
  if (!IsKnownType(value->vt)) return DISP_E_BADVARTYPE;
  switch (value->vt) {
    case VT_LPSTR: CoTaskMemFree(value->pszVal); break;
    case VT_LPWSTR: CoTaskMemFree(value->pwszVal); break;
    case VT_CLSID: CoTaskMemFree(value->puuid); break;
    case VT_BLOB: CoTaskMemFree(value->blob.pBlobData); break;
    default: break;
  }
  memset(value, 0, sizeof *value);
  return S_OK;
}

HRESULT WINAPI PropVariantCopy(PROPVARIANT* destination, const PROPVARIANT* source) {
  if (!destination || !source) return E_INVALIDARG;
  if (!IsKnownType(source->vt)) return DISP_E_BADVARTYPE;
  PROPVARIANT copy = *source;
  switch (source->vt) {
    case VT_LPSTR:
      if (source->pszVal && !(copy.pszVal = static_cast<LPSTR>(Duplicate(source->pszVal, strlen(source->pszVal) + 1))))
        return E_OUTOFMEMORY;
      break;
    case VT_LPWSTR:
      if (source->pwszVal) {
        size_t n = 0;
        while (source->pwszVal[n]) ++n;
        if (!(copy.pwszVal = static_cast<LPWSTR>(Duplicate(source->pwszVal, (n + 1) * sizeof(WCHAR)))))
          return E_OUTOFMEMORY;
      }
      break;
    case VT_CLSID:
      if (source->puuid && !(copy.puuid = static_cast<CLSID*>(Duplicate(source->puuid, sizeof(CLSID)))))
        return E_OUTOFMEMORY;
      break;
    case VT_BLOB:
      if (source->blob.cbSize &&
          !(copy.blob.pBlobData = static_cast<BYTE*>(Duplicate(source->blob.pBlobData, source->blob.cbSize))))
        return E_OUTOFMEMORY;
      break;
    default:
      break;
  }
  *destination = copy;
  return S_OK;
}
