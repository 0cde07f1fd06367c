// PROPVARIANT: the tagged value that property stores hand out and take.
#pragma once
#include <windef.h>
#include <objbase.h>

typedef unsigned short VARTYPE;
enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BOOL = 11,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_LPSTR = 30,
  VT_LPWSTR = 31,
  VT_FILETIME = 64,
  VT_BLOB = 65,
  VT_CLSID = 72,
};
typedef short VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

typedef struct tagBLOB {
  ULONG cbSize;
  BYTE* pBlobData;
} BLOB, *LPBLOB;

typedef struct tagPROPVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    CHAR cVal;
    UCHAR bVal;
    SHORT iVal;
    USHORT uiVal;
    LONG lVal;
    ULONG ulVal;
    INT intVal;
    UINT uintVal;
    LARGE_INTEGER hVal;
    ULARGE_INTEGER uhVal;
    FLOAT fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    FILETIME filetime;
    CLSID* puuid;
    BLOB blob;
    LPSTR pszVal;
    LPWSTR pwszVal;
  };
} PROPVARIANT, *LPPROPVARIANT;
typedef const PROPVARIANT* REFPROPVARIANT;
static_assert(sizeof(PROPVARIANT) == 24, "PROPVARIANT");

#define DISP_E_BADVARTYPE ((HRESULT)0x80020008L)

// Frees what the value owns (strings, blob data and CLSIDs from CoTaskMemAlloc) and leaves it
// VT_EMPTY. DISP_E_BADVARTYPE, with the value untouched, for a type it does not know.
WINBASEAPI HRESULT WINAPI PropVariantClear(PROPVARIANT* value);
WINBASEAPI HRESULT WINAPI PropVariantCopy(PROPVARIANT* destination, const PROPVARIANT* source);
#ifdef __cplusplus
inline void PropVariantInit(PROPVARIANT* value) { memset(value, 0, sizeof(PROPVARIANT)); }
#endif
