// Helpers of the skin tests: bitmaps made from pixels, pixels read back from bitmaps and
// windows, and a skinned dialog that records every notification.
#pragma once
#include <afxwin.h>

#include <functional>
#include <string>
#include <vector>

#include "SkinDialog.h"

namespace skintest {

struct Rgb {
  BYTE r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// A 24-bit (or 32-bit) bitmap of w x h whose pixel (x, y) is pixel(x, y).
HBITMAP MakeBitmap(int w, int h, const std::function<Rgb(int, int)>& pixel, int bpp = 24, BYTE alpha = 0);

// The pixels of a bitmap, top row first.
std::vector<Rgb> BitmapPixels(HBITMAP hBitmap, int* w = nullptr, int* h = nullptr);

// What a window shows, as the window system composes it (children included), top row first,
// in the window's client coordinates.
std::vector<Rgb> WindowPixels(HWND hwnd, int* w, int* h);

// The pixels of rect cut out of an image of width w.
std::vector<Rgb> Crop(const std::vector<Rgb>& image, int w, const RECT& rect);

// The rectangles of a region, in the region's own order.
std::vector<RECT> RegionRects(HRGN hRgn);

// The dialog of the tests: the skin as the control panel shows it, with every notification
// written into a list as text ("click NAME", "slider NAME CODE VALUE", "label NAME",
// "move NAME X Y").
class RecordingDialog : public CSkinDialog {
 public:
  std::vector<std::string> events;
  BOOL bRecordMoves = FALSE;

  BOOL OnInitDialog() override;
  void OnSkinButtonClick(LPCSTR lpszName) override;
  void OnSkinSliderChange(LPCSTR lpszName, int nCode, int nValue) override;
  void OnSkinLabelClick(LPCSTR lpszName) override;
  void OnSkinMouseMove(LPCSTR lpszName, int x, int y) override;

  // The element's rectangle in dialog client coordinates.
  RECT RectOf(CWnd* pElement) const;
  std::vector<std::string> Take();
};

}  // namespace skintest
