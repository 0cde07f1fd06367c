#include "SkinButton.h"

#include "SkinDialog.h"
#include "SkinSlice.h"

IMPLEMENT_DYNAMIC(CSkinButton, CBitmapBtn)

CSkinButton::CSkinButton() : m_nIndex(0), m_dwPageMask(0) {}

void CSkinButton::SetSkinImages(CBitmap* pHover, CBitmap* pPressed, CBitmap* pDisabled, CBitmap* pNormal,
                                const CRect& rect) {
  CDC* pDC = GetDC();
  CopySkinSlice(m_bmpHover, pDC, pHover, rect);
  CopySkinSlice(m_bmpPressed, pDC, pPressed, rect);
  CopySkinSlice(m_bmpDisabled, pDC, pDisabled, rect);
  CopySkinSlice(m_bmpNormal, pDC, pNormal, rect);
  ReleaseDC(pDC);
  ModifyStyle(WS_BORDER | WS_TABSTOP, 0);
}

void CSkinButton::OnLButtonUp(UINT nFlags, CPoint point) {
  CRect rc;
  GetClientRect(&rc);
  if (rc.PtInRect(point)) {
    m_bHover = 0;
    Invalidate(TRUE);
    if (CSkinDialog* pDlg = dynamic_cast<CSkinDialog*>(GetParent())) pDlg->OnSkinButtonClickIndex(m_nIndex);
  }
  CBitmapBtn::OnLButtonUp(nFlags, point);
}

void CSkinButton::OnMouseMove(UINT nFlags, CPoint point) {
  if (CSkinDialog* pDlg = dynamic_cast<CSkinDialog*>(GetParent())) pDlg->OnSkinMouseMove(m_strName, point.x, point.y);
  CBitmapBtn::OnMouseMove(nFlags, point);
}
