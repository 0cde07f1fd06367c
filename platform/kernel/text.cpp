// Code page conversions and the lstr functions. The ANSI code page is Windows-1252: bytes
// 0x80-0x9F carry its punctuation and letters, the rest are Latin-1.
#include <strings.h>

#include <cstring>
#include <string>

#include "kernel_internal.h"

namespace {

// Windows-1252 bytes 0x80-0x9F. The five bytes it leaves undefined map to the C1 controls of
// the same value, as Windows does.
const char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

enum class Page { k1252, kUtf8, kInvalid };

Page PageOf(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case 1:  // CP_OEMCP
    case 3:  // CP_THREAD_ACP
    case 1252:
    case 28591: return Page::k1252;
    case CP_UTF8: return Page::kUtf8;
    default: return Page::kInvalid;
  }
}

constexpr DWORD kErrInvalidChars = 0x00000008;  // MB_ERR_INVALID_CHARS
constexpr char16_t kReplacement = 0xFFFD;

bool DecodeUtf8(const unsigned char* p, size_t n, bool strict, std::u16string* out) {
  size_t i = 0;
  while (i < n) {
    unsigned char c = p[i];
    if (c < 0x80) {
      *out += char16_t(c);
      ++i;
      continue;
    }
    size_t need = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    char32_t cp = need == 2 ? c & 0x1F : need == 3 ? c & 0x0F : c & 0x07;
    size_t k = 1;
    for (; need && k < need && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
    bool ok = need && k == need && !(need == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) &&
              !(need == 4 && (cp < 0x10000 || cp > 0x10FFFF));
    if (!ok) {
      if (strict) return false;
      *out += kReplacement;
      i += k > 1 ? k : 1;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *out += char16_t(0xD800 + (cp >> 10));
      *out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      *out += char16_t(cp);
    }
    i += need;
  }
  return true;
}

void EncodeUtf8(const char16_t* s, size_t n, std::string* out) {
  for (size_t i = 0; i < n; ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;  // a lone surrogate
    }
    if (cp < 0x80) {
      *out += char(cp);
    } else if (cp < 0x800) {
      *out += char(0xC0 | (cp >> 6));
      *out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *out += char(0xE0 | (cp >> 12));
      *out += char(0x80 | ((cp >> 6) & 0x3F));
      *out += char(0x80 | (cp & 0x3F));
    } else {
      *out += char(0xF0 | (cp >> 18));
      *out += char(0x80 | ((cp >> 12) & 0x3F));
      *out += char(0x80 | ((cp >> 6) & 0x3F));
      *out += char(0x80 | (cp & 0x3F));
    }
  }
}

bool To1252(char16_t c, char* byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    *byte = char(c);
    return true;
  }
  for (int i = 0; i < 32; ++i)
    if (kHigh1252[i] == c) {
      *byte = char(0x80 + i);
      return true;
    }
  return false;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLength, LPWSTR dst, int dstLength) {
  Page page = PageOf(codePage);
  if (page == Page::kInvalid || !src || srcLength == 0 || srcLength < -1 || dstLength < 0 || (dstLength && !dst)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = srcLength == -1 ? strlen(src) + 1 : size_t(srcLength);  // -1 includes the terminator
  auto* bytes = reinterpret_cast<const unsigned char*>(src);
  std::u16string wide;
  wide.reserve(n);
  if (page == Page::kUtf8) {
    if (!DecodeUtf8(bytes, n, flags & kErrInvalidChars, &wide)) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
  } else {
    for (size_t i = 0; i < n; ++i) wide += bytes[i] >= 0x80 && bytes[i] < 0xA0 ? kHigh1252[bytes[i] - 0x80] : char16_t(bytes[i]);
  }
  if (dstLength == 0) return int(wide.size());  // the size needed
  if (wide.size() > size_t(dstLength)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(dst, wide.data(), wide.size() * sizeof(char16_t));
  return int(wide.size());
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLength, LPSTR dst, int dstLength,
                               LPCSTR defaultChar, LPBOOL usedDefault) {
  Page page = PageOf(codePage);
  if (page == Page::kInvalid || !src || srcLength == 0 || srcLength < -1 || dstLength < 0 || (dstLength && !dst) ||
      (page == Page::kUtf8 && (defaultChar || usedDefault))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = 0;
  if (srcLength == -1) {
    while (src[n]) ++n;
    ++n;
  } else {
    n = size_t(srcLength);
  }
  std::string out;
  bool defaulted = false;
  if (page == Page::kUtf8) {
    EncodeUtf8(src, n, &out);
  } else {
    char fallback = defaultChar ? *defaultChar : '?';
    for (size_t i = 0; i < n; ++i) {
      char b;
      if (!To1252(src[i], &b)) {
        b = fallback;
        defaulted = true;
      }
      out += b;
    }
  }
  if (usedDefault) *usedDefault = defaulted;
  if (dstLength == 0) return int(out.size());
  if (out.size() > size_t(dstLength)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(dst, out.data(), out.size());
  return int(out.size());
}

int WINAPI lstrlenA(LPCSTR s) { return s ? int(strlen(s)) : 0; }

int WINAPI lstrlenW(LPCWSTR s) {
  if (!s) return 0;
  int n = 0;
  while (s[n]) ++n;
  return n;
}

LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src) {
  if (!dst || !src) return nullptr;
  return strcpy(dst, src);
}

// Copies at most max - 1 characters and always terminates.
LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int max) {
  if (!dst || !src) return nullptr;
  if (max <= 0) return dst;
  int i = 0;
  for (; i < max - 1 && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

LPSTR WINAPI lstrcatA(LPSTR dst, LPCSTR src) {
  if (!dst || !src) return nullptr;
  return strcat(dst, src);
}

LPWSTR WINAPI lstrcpyW(LPWSTR dst, LPCWSTR src) {
  if (!dst || !src) return nullptr;
  int i = 0;
  for (; src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

LPWSTR WINAPI lstrcatW(LPWSTR dst, LPCWSTR src) {
  if (!dst || !src) return nullptr;
  lstrcpyW(dst + lstrlenW(dst), src);
  return dst;
}

namespace {
int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }
}  // namespace

int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) { return Sign(strcmp(a ? a : "", b ? b : "")); }
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) { return Sign(strcasecmp(a ? a : "", b ? b : "")); }
