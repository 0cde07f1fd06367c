// Code page conversions and the lstr functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

TEST(Text, AnsiIsWindows1252) {
  // 0x80 is the euro sign, 0x93/0x94 curly quotes, 0xE9 e-acute (Latin-1).
  const char ansi[] = "\x80 \x93ok\x94 caf\xE9";
  WCHAR wide[32];
  int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 32);
  ASSERT_EQ(n, 12);  // eleven characters and the terminator
  EXPECT_EQ(wide[0], 0x20AC);
  EXPECT_EQ(wide[2], 0x201C);
  EXPECT_EQ(wide[5], 0x201D);
  EXPECT_EQ(wide[10], 0x00E9);
  EXPECT_EQ(wide[11], 0);
  char back[32];
  BOOL defaulted = TRUE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, 32, nullptr, &defaulted), 12);
  EXPECT_STREQ(back, ansi);
  EXPECT_FALSE(defaulted);
  const WCHAR greek[] = {u'a', 0x03A9, 0};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, greek, -1, back, 32, nullptr, &defaulted), 3);
  EXPECT_STREQ(back, "a?");
  EXPECT_TRUE(defaulted);
}

TEST(Text, LengthsSizeQueriesAndErrors) {
  const char text[] = "Velno-HD";
  // Explicit length: no terminator counted or written.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 5, nullptr, 0), 5);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 9);
  WCHAR small[4] = {1, 1, 1, 1};
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, small, 4), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 0, small, 4), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(12345, 0, text, -1, small, 4), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  const WCHAR wide[] = u"Velno";
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 6);
  char narrow[3];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST(Text, Utf8) {
  const char utf8[] = "\xE2\x82\xAC \xF0\x9F\x8E\xB5";  // euro sign, musical note (a surrogate pair)
  WCHAR wide[8];
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 8), 5);
  EXPECT_EQ(wide[0], 0x20AC);
  EXPECT_EQ(wide[2], 0xD83C);
  EXPECT_EQ(wide[3], 0xDFB5);
  char back[16];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, 16, nullptr, nullptr), int(sizeof utf8));
  EXPECT_STREQ(back, utf8);
  const char bad[] = "a\xFF" "b";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, bad, -1, wide, 8), 4);
  EXPECT_EQ(wide[1], 0xFFFD);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, wide, 8), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
  BOOL used;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, 1, back, 16, nullptr, &used), 0);  // not allowed for UTF-8
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Text, Lstr) {
  char buffer[16];
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrlenA("abc"), 3);
  EXPECT_EQ(lstrcpynA(buffer, "Velno-HD", 6), buffer);
  EXPECT_STREQ(buffer, "Velno");  // max - 1 characters and a terminator
  lstrcpyA(buffer, "ab");
  lstrcatA(buffer, "cd");
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(lstrcmpiA("VELNO", "velno"), 0);
  EXPECT_LT(lstrcmpA("a", "b"), 0);
  EXPECT_GT(lstrcmpiA("b", "A"), 0);
  WCHAR w[16];
  lstrcpyW(w, u"ab");
  lstrcatW(w, u"cd");
  EXPECT_EQ(lstrlenW(w), 4);
  EXPECT_EQ(std::u16string(w), u"abcd");
}

}  // namespace
