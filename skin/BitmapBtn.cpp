#include "BitmapBtn.h"

IMPLEMENT_DYNAMIC(CBitmapBtn, CButton)

CBitmapBtn::CBitmapBtn() : m_bChecked(0), m_bCheckable(0), m_bHover(0) {}

CBitmapBtn::~CBitmapBtn() {}

void CBitmapBtn::PreSubclassWindow() {
  SetButtonStyle(GetButtonStyle() | BS_OWNERDRAW, TRUE);
  ModifyStyle(WS_TABSTOP, 0);
  CButton::PreSubclassWindow();
}

void CBitmapBtn::CreateTooltip() {
  m_tooltip.Create(this, 0);
  m_tooltip.Activate(FALSE);
}

void CBitmapBtn::SetTooltipText(LPCSTR lpszText) {
  if (lpszText == NULL) return;
  if (m_tooltip.GetSafeHwnd() == NULL) CreateTooltip();
  if (m_tooltip.GetToolCount() == 0) {
    CRect rc;
    GetClientRect(&rc);
    m_tooltip.AddTool(this, lpszText, &rc, 1);
  }
  m_tooltip.UpdateTipText(lpszText, this, 1);
  m_tooltip.Activate(TRUE);
}

BOOL CBitmapBtn::PreTranslateMessage(MSG* pMsg) {
  if (m_tooltip.GetSafeHwnd() == NULL) CreateTooltip();
  m_tooltip.RelayEvent(pMsg);
  return CButton::PreTranslateMessage(pMsg);
}

CBitmap* CBitmapBtn::ChooseLook(UINT itemState) {
  const BOOL bSelected = (itemState & ODS_SELECTED) != 0;
  const BOOL bDisabled = (itemState & ODS_DISABLED) != 0;
  if (m_bCheckable) {
    // The checked look outranks hover; a check button never shows a pressed look of its own.
    if (bDisabled) return &m_bmpDisabled;
    if (m_bChecked) return &m_bmpPressed;
    if (m_bHover) return &m_bmpHover;
    return &m_bmpNormal;
  }
  if (m_bChecked && !m_bHover) return &m_bmpPressed;
  if (bSelected) return &m_bmpPressed;
  if (m_bHover) return &m_bmpHover;
  if (bDisabled) return &m_bmpDisabled;
  return &m_bmpNormal;
}

void CBitmapBtn::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
  CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
  CBitmap* pLook = ChooseLook(lpDrawItemStruct->itemState);
  CDC memDC;
  if (!memDC.CreateCompatibleDC(pDC)) return;
  CBitmap* pOld = memDC.SelectObject(pLook);
  CRect rc;
  GetClientRect(&rc);
  pDC->BitBlt(0, 0, rc.Width(), rc.Height(), &memDC, 0, 0, SRCCOPY);
  memDC.SelectObject(pOld);
}

void CBitmapBtn::OnMouseMove(UINT nFlags, CPoint point) {
  CButton::OnMouseMove(nFlags, point);
  // A drag that started elsewhere does not light the button.
  if ((nFlags & MK_LBUTTON) && !m_bHover) return;
  if (::GetCapture() != m_hWnd) {
    if (::GetActiveWindow() != NULL && GetOwner() != NULL) {
      m_bHover = 1;
      SetCapture();
      Invalidate(TRUE);
      return;
    }
  }
  // The button holds the capture: has the pointer left it?
  CPoint ptScreen = point;
  ClientToScreen(&ptScreen);
  HWND hWndUnder = ::WindowFromPoint(ptScreen);
  if (hWndUnder == NULL || hWndUnder == m_hWnd) return;
  if (m_bHover) {
    m_bHover = 0;
    Invalidate(TRUE);
  }
  if (!(nFlags & MK_LBUTTON)) ::ReleaseCapture();
}

void CBitmapBtn::OnKillFocus(CWnd* pNewWnd) {
  CButton::OnKillFocus(pNewWnd);
  m_bHover = 0;
  Invalidate(TRUE);
}

void CBitmapBtn::OnCaptureChanged(CWnd* pWnd) {
  if (m_bHover) {
    ::ReleaseCapture();
    Invalidate(TRUE);
  }
  CButton::OnCaptureChanged(pWnd);
}

BOOL CBitmapBtn::OnEraseBkgnd(CDC* pDC) { return CButton::OnEraseBkgnd(pDC); }
