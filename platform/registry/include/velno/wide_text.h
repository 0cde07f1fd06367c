// Text conversions the platform's modules share (never for system code).
//
// 8-bit text on this machine is UTF-8; a byte that does not start a valid UTF-8 sequence is
// taken as the Latin-1 character of the same value, so that no byte string is rejected.
// Wide text is UTF-16 (WCHAR).
#pragma once
#include <windef.h>

#include <string>

namespace velno::text {

// 8-bit bytes (exactly `size` of them, terminators included) to UTF-16 code units.
std::u16string WideFromAnsi(const char* bytes, size_t size);
inline std::u16string WideFromAnsi(const std::string& s) { return WideFromAnsi(s.data(), s.size()); }
// UTF-16 code units to 8-bit text (unpaired surrogates become '?').
std::string AnsiFromWide(const char16_t* units, size_t count);
inline std::string AnsiFromWide(const std::u16string& s) { return AnsiFromWide(s.data(), s.size()); }
// Length of a null-terminated wide string, in code units.
size_t WideLength(const char16_t* s);
// A null-terminated wide string (null pointer → empty) as 8-bit text.
inline std::string AnsiFromWideZ(const char16_t* s) { return s ? AnsiFromWide(s, WideLength(s)) : std::string(); }

}  // namespace velno::text
