// UTF-8 (with a Latin-1 fallback for stray bytes) <-> UTF-16.
#include <velno/wide_text.h>

namespace velno::text {

size_t WideLength(const char16_t* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

std::u16string WideFromAnsi(const char* bytes, size_t size) {
  std::u16string out;
  out.reserve(size);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  while (i < size) {
    unsigned char c = p[i];
    char32_t cp = c;
    size_t len = 1;
    if (c >= 0xC2 && c <= 0xF4) {
      size_t need = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      if (i + need <= size) {
        char32_t v = c & (0xFF >> (need + 1));
        bool ok = true;
        for (size_t k = 1; k < need; ++k) {
          if ((p[i + k] & 0xC0) != 0x80) {
            ok = false;
            break;
          }
          v = (v << 6) | (p[i + k] & 0x3F);
        }
        // Reject overlong forms, surrogates and values beyond Unicode.
        if (ok && ((need == 3 && v < 0x800) || (need == 4 && (v < 0x10000 || v > 0x10FFFF)) ||
                   (v >= 0xD800 && v <= 0xDFFF)))
          ok = false;
        if (ok) {
          cp = v;
          len = need;
        }
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string AnsiFromWide(const char16_t* units, size_t count) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    char32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = '?';
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace velno::text
