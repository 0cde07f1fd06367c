// The window outline from a mask bitmap: one rectangle per horizontal run of pixels that are
// not pure white, handed to region creation in blocks of at most 2000 rectangles.
#include "SkinDialog.h"

namespace {

const int kGrowBy = 100;
const int kMaxRectsPerCall = 2000;
const DWORD kHeaderSize = sizeof(RGNDATAHEADER);

struct RegionBuilder {
  HGLOBAL hData = NULL;
  RGNDATA* pData = NULL;
  DWORD capacity = 0;
  HRGN hResult = NULL;
  BOOL failed = FALSE;

  void ResetHeader() {
    pData->rdh.nCount = 0;
    SetRect(&pData->rdh.rcBound, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0);
  }

  BOOL Start() {
    capacity = kGrowBy;
    hData = ::GlobalAlloc(GMEM_MOVEABLE, kHeaderSize + sizeof(RECT) * capacity);
    if (hData == NULL) return FALSE;
    pData = (RGNDATA*)::GlobalLock(hData);
    if (pData == NULL) return FALSE;
    pData->rdh.dwSize = kHeaderSize;
    pData->rdh.iType = RDH_RECTANGLES;
    pData->rdh.nRgnSize = 0;
    ResetHeader();
    return TRUE;
  }

  // Turns what the block holds into a region and merges it into the result.
  void Flush() {
    HRGN h = ::ExtCreateRegion(NULL, kHeaderSize + sizeof(RECT) * capacity, pData);
    if (h == NULL) {
      failed = TRUE;
    } else if (hResult != NULL) {
      ::CombineRgn(hResult, hResult, h, RGN_OR);
      ::DeleteObject(h);
    } else {
      hResult = h;
    }
    ResetHeader();
  }

  void Add(int x0, int y, int x1) {
    if (pData->rdh.nCount >= capacity) {
      ::GlobalUnlock(hData);
      HGLOBAL hNew = ::GlobalReAlloc(hData, kHeaderSize + sizeof(RECT) * (capacity + kGrowBy), GMEM_MOVEABLE);
      if (hNew == NULL) {
        pData = (RGNDATA*)::GlobalLock(hData);
        failed = TRUE;
        return;
      }
      hData = hNew;
      capacity += kGrowBy;
      pData = (RGNDATA*)::GlobalLock(hData);
      if (pData == NULL) {
        failed = TRUE;
        return;
      }
    }
    RECT* pRects = (RECT*)pData->Buffer;
    SetRect(&pRects[pData->rdh.nCount], x0, y, x1, y + 1);
    RECT& b = pData->rdh.rcBound;
    if (x0 < b.left) b.left = x0;
    if (y < b.top) b.top = y;
    if (x1 > b.right) b.right = x1;
    if (y + 1 > b.bottom) b.bottom = y + 1;
    if (++pData->rdh.nCount == (DWORD)kMaxRectsPerCall) Flush();
  }

  ~RegionBuilder() {
    if (hData != NULL) {
      if (pData != NULL) ::GlobalUnlock(hData);
      ::GlobalFree(hData);
    }
  }
};

}  // namespace

HRGN CSkinDialog::CreateRegionFromBitmap(CBitmap* pBitmap) {
  if (pBitmap == NULL || pBitmap->GetSafeHandle() == NULL) return NULL;
  HDC hMemDC = ::CreateCompatibleDC(NULL);
  if (hMemDC == NULL) return NULL;

  BITMAP bm;
  memset(&bm, 0, sizeof(bm));
  pBitmap->GetBitmap(&bm);
  const int W = bm.bmWidth, H = bm.bmHeight;

  BITMAPINFOHEADER bih;
  memset(&bih, 0, sizeof(bih));
  bih.biSize = sizeof(BITMAPINFOHEADER);
  bih.biWidth = W;
  bih.biHeight = H;  // bottom-up
  bih.biPlanes = 1;
  bih.biBitCount = 32;
  bih.biCompression = BI_RGB;
  void* pBits = NULL;
  HBITMAP hSection = ::CreateDIBSection(hMemDC, (BITMAPINFO*)&bih, DIB_RGB_COLORS, &pBits, NULL, 0);
  if (hSection == NULL || pBits == NULL) {
    if (hSection) ::DeleteObject(hSection);
    ::DeleteDC(hMemDC);
    return NULL;
  }
  HGDIOBJ hOldSection = ::SelectObject(hMemDC, hSection);

  HDC hSrcDC = ::CreateCompatibleDC(hMemDC);
  if (hSrcDC == NULL) {
    ::SelectObject(hMemDC, hOldSection);
    ::DeleteObject(hSection);
    ::DeleteDC(hMemDC);
    return NULL;
  }
  BITMAP sectionBm;
  memset(&sectionBm, 0, sizeof(sectionBm));
  ::GetObjectA(hSection, (int)sizeof(sectionBm), &sectionBm);
  const int stride = (sectionBm.bmWidthBytes + 3) & ~3;
  HGDIOBJ hOldSrc = ::SelectObject(hSrcDC, pBitmap->GetSafeHandle());
  ::BitBlt(hMemDC, 0, 0, W, H, hSrcDC, 0, 0, SRCCOPY);
  ::GdiFlush();

  HRGN hResult = NULL;
  {
    RegionBuilder builder;
    if (builder.Start()) {
      // Top row of the image first: in the bottom-up section that is the last stored row.
      const BYTE* pRow = (const BYTE*)pBits + (size_t)stride * (H > 0 ? H - 1 : 0);
      for (int y = 0; y < H && !builder.failed; ++y, pRow -= stride) {
        for (int x = 0; x < W; ++x) {
          const int x0 = x;
          while (x < W) {
            const BYTE* p = pRow + 4 * x;
            if (p[0] == 255 && p[1] == 255 && p[2] == 255) break;
            ++x;
          }
          if (x > x0) builder.Add(x0, y, x);
          if (builder.failed) break;
        }
      }
      if (!builder.failed) builder.Flush();
    } else {
      builder.failed = TRUE;
    }
    hResult = builder.hResult;
    if (builder.failed && hResult != NULL) {
      // An incomplete outline is no outline.
      ::DeleteObject(hResult);
      hResult = NULL;
    }
  }

  ::SelectObject(hSrcDC, hOldSrc);
  ::DeleteDC(hSrcDC);
  ::SelectObject(hMemDC, hOldSection);
  ::DeleteObject(hSection);
  ::DeleteDC(hMemDC);
  return hResult;
}
