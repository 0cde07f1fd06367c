// GDI: DIB sections and block transfers bit for bit, bitmap descriptions, monochrome
// compatibility, regions (combining, hit-testing, large region data), window regions that clip
// drawing, and text measured with the machine's fonts.
#include <gtest/gtest.h>
#include <velno/winstation.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "testsupport.h"

namespace {

HBITMAP Dib(int w, int h, int bpp, void** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, (WORD)bpp, BI_RGB, 0, 0, 0, 0, 0};
  return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

TEST(Bitmaps, BlitFromBottomUp24BitToTopDown32BitKeepsEveryPixel) {
  velno::testing::TempMachine machine;
  const int w = 7, h = 5;
  void* srcBits;
  HBITMAP src = Dib(w, h, 24, &srcBits);  // positive height: bottom-up rows
  ASSERT_NE(nullptr, src);
  BITMAP bm;
  ASSERT_EQ((int)sizeof(BITMAP), GetObjectA(src, sizeof bm, &bm));
  EXPECT_EQ(24, bm.bmWidthBytes);  // 7 * 3 = 21, rounded up to a multiple of 4
  EXPECT_EQ(24, bm.bmBitsPixel);
  auto* s = static_cast<uint8_t*>(srcBits);
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = s + row * 24 + x * 3;  // stored row 0 is the bottom line
      p[0] = (uint8_t)(x * 30), p[1] = (uint8_t)(row * 40), p[2] = (uint8_t)(x + row);
    }
  void* dstBits;
  HBITMAP dst = Dib(w, -h, 32, &dstBits);
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  SelectObject(a, src);
  SelectObject(b, dst);
  ASSERT_TRUE(BitBlt(b, 0, 0, w, h, a, 0, 0, SRCCOPY));
  auto* d = static_cast<uint32_t*>(dstBits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = s + (h - 1 - y) * 24 + x * 3;
      uint32_t want = p[0] | (p[1] << 8) | (p[2] << 16);
      ASSERT_EQ(want, d[y * w + x] & 0xFFFFFF) << x << "," << y;
      ASSERT_EQ(RGB(p[2], p[1], p[0]), GetPixel(b, x, y));
    }
  // a source offset and a partial destination
  std::vector<uint32_t> before(d, d + w * h);
  ASSERT_TRUE(BitBlt(b, 2, 1, 3, 2, b, 0, 0, SRCCOPY));
  EXPECT_EQ(before[0], d[1 * w + 2] & 0xFFFFFFFF);
  EXPECT_EQ(before[w + 2], d[2 * w + 4]);
  DeleteDC(a);
  DeleteDC(b);
  EXPECT_TRUE(DeleteObject(src));
  EXPECT_TRUE(DeleteObject(dst));
}

TEST(Bitmaps, CompatibleBitmapOfAFreshMemoryDcIsMonochrome) {
  velno::testing::TempMachine machine;
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP mono = CreateCompatibleBitmap(mem, 10, 10);
  BITMAP bm;
  GetObjectA(mono, sizeof bm, &bm);
  EXPECT_EQ(1, bm.bmBitsPixel);
  HDC screen = GetDC(nullptr);
  HBITMAP color = CreateCompatibleBitmap(screen, 10, 10);
  GetObjectA(color, sizeof bm, &bm);
  EXPECT_EQ(32, bm.bmBitsPixel);
  EXPECT_EQ(40, bm.bmWidthBytes);
  HGDIOBJ old = SelectObject(mem, color);
  EXPECT_FALSE(DeleteObject(color));  // still selected
  SelectObject(mem, old);
  EXPECT_TRUE(DeleteObject(color));
  ReleaseDC(nullptr, screen);
  DeleteDC(mem);
  DeleteObject(mono);
}

TEST(Regions, CombineAndHitTest) {
  velno::testing::TempMachine machine;
  HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 20, 20), r = CreateRectRgn(0, 0, 0, 0);
  struct Case {
    int mode, kind;
    POINT in, out;
    RECT box;
  } cases[] = {
      {RGN_OR, COMPLEXREGION, {15, 15}, {15, 2}, {0, 0, 20, 20}},
      {RGN_AND, SIMPLEREGION, {7, 7}, {2, 2}, {5, 5, 10, 10}},
      {RGN_DIFF, COMPLEXREGION, {2, 2}, {7, 7}, {0, 0, 10, 10}},
      {RGN_XOR, COMPLEXREGION, {15, 15}, {7, 7}, {0, 0, 20, 20}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.kind, CombineRgn(r, a, b, c.mode)) << c.mode;
    EXPECT_TRUE(PtInRegion(r, c.in.x, c.in.y)) << c.mode;
    EXPECT_FALSE(PtInRegion(r, c.out.x, c.out.y)) << c.mode;
    RECT box;
    GetRgnBox(r, &box);
    EXPECT_TRUE(EqualRect(&box, &c.box)) << c.mode;
  }
  EXPECT_FALSE(PtInRegion(a, 10, 5));  // right and bottom edges are outside
  DeleteObject(a);
  DeleteObject(b);
  DeleteObject(r);
}

// Many one-pixel runs: made 2000 at a time and OR-combined, or in one call, the same region.
TEST(Regions, RegionDataInChunksEqualsOneCall) {
  velno::testing::TempMachine machine;
  std::vector<RECT> runs;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 100; x += 2) runs.push_back(RECT{x, y, x + 1, y + 1});  // split by single gaps
  auto make = [](const RECT* r, size_t n) {
    std::vector<uint8_t> buf(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
    auto* d = reinterpret_cast<RGNDATA*>(buf.data());
    d->rdh = RGNDATAHEADER{sizeof(RGNDATAHEADER), RDH_RECTANGLES, (DWORD)n, 0, {0, 0, 0, 0}};
    memcpy(d->Buffer, r, n * sizeof(RECT));
    return ExtCreateRegion(nullptr, (DWORD)buf.size(), d);
  };
  HRGN whole = make(runs.data(), runs.size());
  ASSERT_NE(nullptr, whole);
  HRGN merged = nullptr;
  for (size_t i = 0; i < runs.size(); i += 2000) {
    HRGN part = make(runs.data() + i, std::min<size_t>(2000, runs.size() - i));
    if (!merged) {
      merged = part;
    } else {
      CombineRgn(merged, merged, part, RGN_OR);
      DeleteObject(part);
    }
  }
  EXPECT_TRUE(EqualRgn(whole, merged));
  EXPECT_TRUE(PtInRegion(whole, 2, 3));
  EXPECT_FALSE(PtInRegion(whole, 1, 3));  // the white gap between runs stays out
  DWORD size = GetRegionData(whole, 0, nullptr);
  std::vector<uint8_t> buf(size);
  ASSERT_EQ(size, GetRegionData(whole, size, reinterpret_cast<RGNDATA*>(buf.data())));
  EXPECT_EQ(50u, reinterpret_cast<RGNDATA*>(buf.data())->rdh.nCount);  // runs merge vertically into columns
  // a count beyond the data is refused
  auto* d = reinterpret_cast<RGNDATA*>(buf.data());
  d->rdh.nCount += 1;
  EXPECT_EQ(nullptr, ExtCreateRegion(nullptr, size, d));
  DeleteObject(whole);
  DeleteObject(merged);
}

LRESULT CALLBACK FillProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT rc;
    GetClientRect(h, &rc);
    HBRUSH b = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(dc, &rc, b);
    DeleteObject(b);
    EndPaint(h, &ps);
    return 0;
  }
  if (m == WM_LBUTTONDOWN) SetWindowLongPtrA(h, GWLP_USERDATA, GetWindowLongPtrA(h, GWLP_USERDATA) + 1);
  return DefWindowProcA(h, m, w, l);
}

TEST(Regions, WindowRegionClipsDrawingAndHitTesting) {
  velno::testing::TempMachine machine;
  WNDCLASSA wc{};
  wc.lpfnWndProc = FillProc;
  wc.lpszClassName = "RegionWindow";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "RegionWindow", "rgn", WS_POPUP, 100, 100, 40, 40, nullptr, nullptr, nullptr, nullptr);
  HRGN rgn = CreateRectRgn(0, 0, 20, 40);
  ASSERT_TRUE(SetWindowRgn(w, rgn, FALSE));
  EXPECT_FALSE(DeleteObject(rgn));  // the window owns it now
  ShowWindow(w, SW_SHOW);
  velno::winstation::Pump(20);
  EXPECT_EQ(w, WindowFromPoint(POINT{105, 110}));
  EXPECT_NE(w, WindowFromPoint(POINT{130, 110}));
  velno::winstation::Click(w, 5, 5);
  velno::winstation::Click(w, 30, 5);  // outside the region: not this window's
  velno::winstation::Pump(20);
  EXPECT_EQ(1, GetWindowLongPtrA(w, GWLP_USERDATA));
  HRGN got = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(SIMPLEREGION, GetWindowRgn(w, got));
  DeleteObject(got);
  int cw, ch;
  std::vector<uint8_t> px;
  ASSERT_TRUE(velno::winstation::Capture(w, &cw, &ch, &px));
  EXPECT_EQ(255, px[(10 * cw + 10) * 4 + 2]);  // blue inside
  EXPECT_EQ(0, px[(10 * cw + 30) * 4 + 3]);    // nothing outside
  DestroyWindow(w);
}

TEST(Text, ExtentOfATenPixelFont) {
  velno::testing::TempMachine machine;
  HDC dc = GetDC(nullptr);
  // Courier New stands for the machine's monospaced face; at 17 pixels each glyph advances 10
  HFONT f = CreateFontA(-17, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH, "Courier New");
  HGDIOBJ old = SelectObject(dc, f);
  SIZE s;
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "W", 1, &s));
  EXPECT_EQ(10, s.cx);
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "WWW iii", 7, &s));
  EXPECT_EQ(70, s.cx);
  TEXTMETRICA tm;
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(s.cy, tm.tmHeight);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
  RECT r{0, 0, 0, 0};
  EXPECT_EQ(tm.tmHeight, DrawTextA(dc, "abcd", -1, &r, DT_CALCRECT | DT_SINGLELINE));
  EXPECT_EQ(40, r.right);
  EXPECT_EQ(96, GetDeviceCaps(dc, LOGPIXELSY));
  EXPECT_EQ(-11, -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72));
  // Arial (Liberation Sans): proportional, bold wider than regular
  HFONT reg = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  HFONT bold = CreateFontA(-12, 0, 0, 0, FW_BOLD, 1, 0, 0, 0, 0, 0, 0, 0, "Arial");
  SIZE sr, sb, si;
  SelectObject(dc, reg);
  GetTextExtentPoint32A(dc, "Not Available", 13, &sr);
  GetTextExtentPoint32A(dc, "i", 1, &si);
  SelectObject(dc, bold);
  GetTextExtentPoint32A(dc, "Not Available", 13, &sb);
  EXPECT_GT(sb.cx, sr.cx);
  EXPECT_LT(si.cx, 10);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(f);
  DeleteObject(reg);
  DeleteObject(bold);
}

TEST(Text, DrawTextCentresInTheRectangleAndClipsToIt) {
  velno::testing::TempMachine machine;
  void* bits;
  HBITMAP bmp = Dib(100, -20, 32, &bits);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bmp);
  RECT all{0, 0, 100, 20};
  FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
  HFONT f = CreateFontA(-17, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, FIXED_PITCH, "Courier New");
  SelectObject(dc, f);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT r{0, 0, 100, 20};
  DrawTextA(dc, "MM", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  auto* p = static_cast<uint32_t*>(bits);
  int minX = 100, maxX = -1;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 100; ++x)
      if ((p[y * 100 + x] & 0xFF) < 128) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
      }
  EXPECT_GE(minX, 38);  // 20 pixels of text centred in 100
  EXPECT_LE(maxX, 61);
  RECT small{0, 0, 10, 20};
  FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
  DrawTextA(dc, "MMMMMMMM", -1, &small, DT_LEFT | DT_SINGLELINE);
  for (int y = 0; y < 20; ++y)
    for (int x = 10; x < 100; ++x) ASSERT_EQ(0xFFFFFFu, p[y * 100 + x] & 0xFFFFFF) << "clipped at the rectangle";
  DeleteDC(dc);
  DeleteObject(bmp);
  DeleteObject(f);
}

}  // namespace
