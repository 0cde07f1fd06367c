#include "BitmapSlider.h"

IMPLEMENT_DYNAMIC(CBitmapSlider, CSliderCtrl)

CBitmapSlider::CBitmapSlider() : m_bThumbGrabbed(0) {}

void CBitmapSlider::GetThumbDrawRect(CRect* pRect) {
  BITMAP bm;
  memset(&bm, 0, sizeof(bm));
  if (m_bmpThumb.GetSafeHandle() != NULL) m_bmpThumb.GetBitmap(&bm);
  const int W = bm.bmWidth, H = bm.bmHeight;
  CRect T;
  GetThumbRect(&T);
  if (GetStyle() & TBS_VERT) {
    int top = T.top + (T.bottom - T.top) / 2 - H / 2;
    if (top < 0) top = 0;
    pRect->SetRect(0, top, W, top + H);
  } else {
    int left = T.left + (T.right - T.left) / 2 - W / 2;
    pRect->SetRect(left, 0, left + W, H);
  }
}

void CBitmapSlider::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  CDC memDC;
  if (!memDC.CreateCompatibleDC(NULL)) return;
  CBitmap* pOld = memDC.SelectObject(&m_bmpTrack);
  dc.BitBlt(0, 0, rc.Width(), rc.Height(), &memDC, 0, 0, SRCCOPY);
  CRect rcThumb;
  GetThumbDrawRect(&rcThumb);
  memDC.SelectObject(m_bThumbGrabbed ? &m_bmpThumbGrabbed : &m_bmpThumb);
  dc.BitBlt(rcThumb.left, rcThumb.top, rcThumb.Width(), rcThumb.Height(), &memDC, 0, 0, SRCCOPY);
  memDC.SelectObject(pOld);
}

void CBitmapSlider::OnLButtonDown(UINT nFlags, CPoint point) {
  CSliderCtrl::OnLButtonDown(nFlags, point);
  CRect rcThumb;
  GetThumbDrawRect(&rcThumb);
  m_bThumbGrabbed = rcThumb.PtInRect(point) ? 1 : 0;
  Invalidate(TRUE);
}

void CBitmapSlider::OnLButtonUp(UINT nFlags, CPoint point) {
  CSliderCtrl::OnLButtonUp(nFlags, point);
  m_bThumbGrabbed = 0;
  Invalidate(TRUE);
}

void CBitmapSlider::OnMouseMove(UINT nFlags, CPoint point) {
  CSliderCtrl::OnMouseMove(nFlags, point);
  if (m_bThumbGrabbed) Invalidate(TRUE);
}

void CBitmapSlider::OnCaptureChanged(CWnd* pWnd) {
  if (m_bThumbGrabbed) {
    ::ReleaseCapture();
    Invalidate(TRUE);
  }
  CSliderCtrl::OnCaptureChanged(pWnd);
}

// The track slice covers the whole control: nothing to erase.
BOOL CBitmapSlider::OnEraseBkgnd(CDC*) { return TRUE; }

BOOL CBitmapSlider::OnMouseWheel(UINT nFlags, short zDelta, CPoint pt) {
  Invalidate(TRUE);
  return CSliderCtrl::OnMouseWheel(nFlags, zDelta, pt);
}
