// GUID, IID and CLSID as Windows lays them out (16 bytes).
#pragma once
#include <stdint.h>
#include <string.h>

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef GUID FMTID;
typedef GUID* LPGUID;
typedef const GUID* LPCGUID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;
#ifdef __cplusplus
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef const FMTID& REFFMTID;
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
#endif

// DEFINE_GUID gives a definition with INITGUID and a declaration otherwise, as on Windows.
// Here every GUID is an inline constant, so it can be used from any translation unit.
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#define GUID_NULL_VALUE {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}
inline constexpr GUID GUID_NULL = GUID_NULL_VALUE;
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL
static_assert(sizeof(GUID) == 16, "GUID");
