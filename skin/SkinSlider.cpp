#include "SkinSlider.h"

#include "SkinDialog.h"
#include "SkinSlice.h"

IMPLEMENT_DYNAMIC(CSkinSlider, CBitmapSlider)

CSkinSlider::CSkinSlider() : m_nIndex(0), m_dwPageMask(0), m_bDragging(0) {}

void CSkinSlider::SetSliderSkin(CBitmap* pNormal, int nThumbId1, int nThumbId2, const CRect& rect) {
  CDC* pDC = GetDC();
  CopySkinSlice(m_bmpTrack, pDC, pNormal, rect);
  ReleaseDC(pDC);
  m_bmpThumb.DeleteObject();
  m_bmpThumb.LoadBitmap(LOWORD(nThumbId1));
  m_bmpThumbGrabbed.DeleteObject();
  m_bmpThumbGrabbed.LoadBitmap(LOWORD(nThumbId2));
  ModifyStyle(WS_BORDER | WS_TABSTOP, 0);
  m_bDragging = 0;
}

void CSkinSlider::OnLButtonDown(UINT nFlags, CPoint point) {
  CBitmapSlider::OnLButtonDown(nFlags, point);
  m_bDragging = 1;
}

void CSkinSlider::OnLButtonUp(UINT nFlags, CPoint point) {
  m_bDragging = 0;
  int nPos = GetPos();
  if (CSkinDialog* pDlg = dynamic_cast<CSkinDialog*>(GetParent())) pDlg->OnSkinSliderChangeIndex(m_nIndex, TB_ENDTRACK, nPos);
  CBitmapSlider::OnLButtonUp(nFlags, point);
}

void CSkinSlider::OnMouseMove(UINT nFlags, CPoint point) {
  Default();
  if (m_bThumbGrabbed) Invalidate(TRUE);
  CSkinDialog* pDlg = dynamic_cast<CSkinDialog*>(GetParent());
  if (pDlg == NULL) return;
  if (m_bDragging) pDlg->OnSkinSliderChangeIndex(m_nIndex, TB_THUMBPOSITION, GetPos());
  else pDlg->OnSkinMouseMove(m_strName, point.x, point.y);
}
