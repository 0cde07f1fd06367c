#include "SkinTestSupport.h"

#include <velno/winstation.h>

#include <string.h>

namespace skintest {

HBITMAP MakeBitmap(int w, int h, const std::function<Rgb(int, int)>& pixel, int bpp, BYTE alpha) {
  BITMAPINFO bi;
  memset(&bi, 0, sizeof(bi));
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = (WORD)bpp;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP hBitmap = CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
  if (!hBitmap) return NULL;
  const int stride = ((w * bpp / 8) + 3) & ~3;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      BYTE* p = (BYTE*)bits + (size_t)y * stride + (size_t)x * (bpp / 8);
      Rgb c = pixel(x, y);
      p[0] = c.b, p[1] = c.g, p[2] = c.r;
      if (bpp == 32) p[3] = alpha;
    }
  return hBitmap;
}

std::vector<Rgb> BitmapPixels(HBITMAP hBitmap, int* pw, int* ph) {
  BITMAP bm;
  memset(&bm, 0, sizeof(bm));
  GetObjectA(hBitmap, sizeof(bm), &bm);
  const int w = bm.bmWidth, h = bm.bmHeight;
  BITMAPINFO bi;
  memset(&bi, 0, sizeof(bi));
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> raw((size_t)w * h);
  HDC hdc = CreateCompatibleDC(NULL);
  GetDIBits(hdc, hBitmap, 0, (UINT)h, raw.data(), &bi, DIB_RGB_COLORS);
  DeleteDC(hdc);
  std::vector<Rgb> out(raw.size());
  for (size_t i = 0; i < raw.size(); ++i)
    out[i] = {(BYTE)(raw[i] >> 16), (BYTE)(raw[i] >> 8), (BYTE)raw[i]};
  if (pw) *pw = w;
  if (ph) *ph = h;
  return out;
}

std::vector<Rgb> WindowPixels(HWND hwnd, int* w, int* h) {
  std::vector<uint8_t> rgba;
  std::vector<Rgb> out;
  if (!velno::winstation::Capture(hwnd, w, h, &rgba)) return out;
  out.resize(rgba.size() / 4);
  for (size_t i = 0; i < out.size(); ++i) out[i] = {rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2]};
  return out;
}

std::vector<Rgb> Crop(const std::vector<Rgb>& image, int w, const RECT& rect) {
  std::vector<Rgb> out;
  for (int y = rect.top; y < rect.bottom; ++y)
    for (int x = rect.left; x < rect.right; ++x) out.push_back(image[(size_t)y * w + x]);
  return out;
}

std::vector<RECT> RegionRects(HRGN hRgn) {
  DWORD size = GetRegionData(hRgn, 0, NULL);
  std::vector<BYTE> buffer(size);
  std::vector<RECT> rects;
  if (size == 0 || GetRegionData(hRgn, size, (LPRGNDATA)buffer.data()) == 0) return rects;
  const RGNDATA* data = (const RGNDATA*)buffer.data();
  const RECT* r = (const RECT*)data->Buffer;
  rects.assign(r, r + data->rdh.nCount);
  return rects;
}

BOOL RecordingDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  LoadSkin();
  ShowFirstPage();
  return TRUE;
}

void RecordingDialog::OnSkinButtonClick(LPCSTR lpszName) { events.push_back(std::string("click ") + lpszName); }

void RecordingDialog::OnSkinSliderChange(LPCSTR lpszName, int nCode, int nValue) {
  events.push_back("slider " + std::string(lpszName) + " " + std::to_string(nCode) + " " + std::to_string(nValue));
}

void RecordingDialog::OnSkinLabelClick(LPCSTR lpszName) { events.push_back(std::string("label ") + lpszName); }

void RecordingDialog::OnSkinMouseMove(LPCSTR lpszName, int x, int y) {
  if (bRecordMoves)
    events.push_back("move " + std::string(lpszName) + " " + std::to_string(x) + " " + std::to_string(y));
}

RECT RecordingDialog::RectOf(CWnd* pElement) const {
  CRect rc;
  pElement->GetWindowRect(&rc);
  ScreenToClient(&rc);
  return rc;
}

std::vector<std::string> RecordingDialog::Take() {
  std::vector<std::string> out;
  out.swap(events);
  return out;
}

}  // namespace skintest
