// GUIDs: creation and their braced text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <sys/random.h>
#include <velno/wide_text.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kGuidChars = 39;  // 38 characters and the terminator

void FormatGuid(REFGUID g, char16_t* out) {
  char text[kGuidChars];
  snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
           g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  for (int i = 0; i < kGuidChars; ++i) out[i] = static_cast<unsigned char>(text[i]);
}

int HexDigit(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos]; false when any is not a hex digit.
bool ReadHex(const char16_t* text, size_t pos, int digits, uint32_t* out) {
  uint32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    int d = HexDigit(text[pos + i]);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  *out = v;
  return true;
}

// Parses exactly the braced form, nothing before or after it.
bool ParseBraced(const char16_t* text, GUID* out) {
  size_t n = velno::text::WideLength(text);
  if (n != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' || text[19] != '-' ||
      text[24] != '-')
    return false;
  uint32_t d1, d2, d3, b;
  if (!ReadHex(text, 1, 8, &d1) || !ReadHex(text, 10, 4, &d2) || !ReadHex(text, 15, 4, &d3)) return false;
  GUID g;
  g.Data1 = d1;
  g.Data2 = static_cast<uint16_t>(d2);
  g.Data3 = static_cast<uint16_t>(d3);
  const size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, bytePos[i], 2, &b)) return false;
    g.Data4[i] = static_cast<uint8_t>(b);
  }
  *out = g;
  return true;
}

HRESULT AllocGuidText(REFGUID guid, LPOLESTR* text) {
  if (!text) return E_INVALIDARG;
  *text = static_cast<LPOLESTR>(CoTaskMemAlloc(kGuidChars * sizeof(OLECHAR)));
  if (!*text) return E_OUTOFMEMORY;
  FormatGuid(guid, *text);
  return S_OK;
}

}  // namespace

HRESULT WINAPI CoCreateGuid(GUID* guid) {
  if (!guid) return E_INVALIDARG;
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n <= 0) return E_FAIL;
    got += static_cast<size_t>(n);
  }
  memcpy(guid, bytes, sizeof bytes);
  // A random (version 4) identifier of the RFC 4122 variant.
  guid->Data3 = static_cast<uint16_t>((guid->Data3 & 0x0FFF) | 0x4000);
  guid->Data4[0] = static_cast<uint8_t>((guid->Data4[0] & 0x3F) | 0x80);
  return S_OK;
}

int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR text, int maxChars) {
  if (!text || maxChars < kGuidChars) return 0;
  FormatGuid(guid, text);
  return kGuidChars;
}

HRESULT WINAPI StringFromCLSID(REFCLSID clsid, LPOLESTR* text) { return AllocGuidText(clsid, text); }
HRESULT WINAPI StringFromIID(REFIID iid, LPOLESTR* text) { return AllocGuidText(iid, text); }

HRESULT WINAPI CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
  if (!clsid) return E_INVALIDARG;
  *clsid = GUID_NULL;
  if (!text) return S_OK;
  if (ParseBraced(text, clsid)) return S_OK;
  // Not an identifier: a ProgID names its class under HKEY_CLASSES_ROOT\<ProgID>\CLSID.
  if (text[0] != '{' && text[0] != 0) {
    std::string key = velno::text::AnsiFromWideZ(text) + "\\CLSID";
    HKEY progId = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &progId) == ERROR_SUCCESS) {
      char16_t value[64] = {};
      DWORD size = sizeof value - sizeof(char16_t), type = 0;
      LONG rc = RegQueryValueExW(progId, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
      RegCloseKey(progId);
      if (rc == ERROR_SUCCESS && type == REG_SZ) {
        value[size / 2] = 0;
        if (size >= 2 && value[size / 2 - 1] == 0) value[size / 2 - 1] = 0;
        if (ParseBraced(value, clsid)) return S_OK;
      }
    }
  }
  *clsid = GUID_NULL;
  return CO_E_CLASSSTRING;
}

HRESULT WINAPI IIDFromString(LPCOLESTR text, LPIID iid) {
  if (!iid) return E_INVALIDARG;
  *iid = GUID_NULL;
  if (!text) return S_OK;
  if (ParseBraced(text, iid)) return S_OK;
  *iid = GUID_NULL;
  return E_INVALIDARG;
}
