// CButton: push, check and owner-drawn buttons.
#include "afx_internal.h"

IMPLEMENT_DYNAMIC(CButton, CWnd)

BOOL CButton::Create(LPCSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create("BUTTON", lpszCaption, dwStyle, rect, pParentWnd, nID);
}

UINT CButton::GetState() const { return (UINT)::SendMessageA(m_hWnd, BM_GETSTATE, 0, 0); }

void CButton::SetState(BOOL bHighlight) { ::SendMessageA(m_hWnd, BM_SETSTATE, bHighlight, 0); }

int CButton::GetCheck() const { return (int)::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0); }

void CButton::SetCheck(int nCheck) { ::SendMessageA(m_hWnd, BM_SETCHECK, nCheck, 0); }

UINT CButton::GetButtonStyle() const { return (UINT)::GetWindowLongA(m_hWnd, GWL_STYLE) & 0xFFFF; }

void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw) {
  ::SendMessageA(m_hWnd, BM_SETSTYLE, nStyle, (LPARAM)bRedraw);
}

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, pResult);
  DrawItem((LPDRAWITEMSTRUCT)lParam);
  if (pResult) *pResult = TRUE;
  return TRUE;
}
