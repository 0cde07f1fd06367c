#include "SkinSlice.h"

void CopySkinSlice(CBitmap& dest, CDC* pRefDC, CBitmap* pSource, const CRect& rect) {
  if (pSource == NULL || pSource->GetSafeHandle() == NULL) return;
  dest.DeleteObject();
  if (!dest.CreateCompatibleBitmap(pRefDC, rect.Width(), rect.Height())) return;
  CDC srcDC, dstDC;
  if (!srcDC.CreateCompatibleDC(pRefDC) || !dstDC.CreateCompatibleDC(pRefDC)) return;
  CBitmap* pOldSrc = srcDC.SelectObject(pSource);
  CBitmap* pOldDst = dstDC.SelectObject(&dest);
  dstDC.BitBlt(0, 0, rect.Width(), rect.Height(), &srcDC, rect.left, rect.top, SRCCOPY);
  srcDC.SelectObject(pOldSrc);
  dstDC.SelectObject(pOldDst);
  srcDC.DeleteDC();
  dstDC.DeleteDC();
}
