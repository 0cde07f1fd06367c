// CWnd's thin operations over the window functions.
#include "afx_internal.h"

DWORD CWnd::GetStyle() const { return (DWORD)::GetWindowLongA(m_hWnd, GWL_STYLE); }

DWORD CWnd::GetExStyle() const { return (DWORD)::GetWindowLongA(m_hWnd, GWL_EXSTYLE); }

static BOOL ModifyLong(HWND hWnd, int nIndex, DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
  DWORD dwStyle = (DWORD)::GetWindowLongA(hWnd, nIndex);
  DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
  if (dwStyle == dwNewStyle) return FALSE;
  ::SetWindowLongA(hWnd, nIndex, (LONG)dwNewStyle);
  if (nFlags != 0)
    ::SetWindowPos(hWnd, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
  return TRUE;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
  return ModifyLong(m_hWnd, GWL_STYLE, dwRemove, dwAdd, nFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
  return ModifyLong(m_hWnd, GWL_EXSTYLE, dwRemove, dwAdd, nFlags);
}

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

CWnd* CWnd::GetOwner() const { return m_hWndOwner != NULL ? FromHandle(m_hWndOwner) : GetParent(); }

CWnd* CWnd::GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }

int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

void CWnd::SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }

int CWnd::GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const {
  return ::GetWindowTextA(m_hWnd, lpszStringBuf, nMaxCount);
}

void CWnd::GetWindowText(CString& rString) const {
  int nLen = ::GetWindowTextLengthA(m_hWnd);
  ::GetWindowTextA(m_hWnd, rString.GetBufferSetLength(nLen), nLen + 1);
  rString.ReleaseBuffer();
}

int CWnd::GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString) { ::SetDlgItemTextA(m_hWnd, nID, lpszString); }

BOOL CWnd::ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }

BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }

BOOL CWnd::EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }

BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }

BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
  return ::SetWindowPos(m_hWnd, pWndInsertAfter ? pWndInsertAfter->m_hWnd : NULL, x, y, cx, cy, nFlags);
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
  ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
  MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint);
}

int CWnd::SetWindowRgn(HRGN hRgn, BOOL bRedraw) { return ::SetWindowRgn(m_hWnd, hRgn, bRedraw); }

void CWnd::GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }

void CWnd::GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }

void CWnd::ClientToScreen(LPPOINT lpPoint) const { ::ClientToScreen(m_hWnd, lpPoint); }

void CWnd::ClientToScreen(LPRECT lpRect) const {
  ::ClientToScreen(m_hWnd, (LPPOINT)lpRect);
  ::ClientToScreen(m_hWnd, ((LPPOINT)lpRect) + 1);
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const { ::ScreenToClient(m_hWnd, lpPoint); }

void CWnd::ScreenToClient(LPRECT lpRect) const {
  ::ScreenToClient(m_hWnd, (LPPOINT)lpRect);
  ::ScreenToClient(m_hWnd, ((LPPOINT)lpRect) + 1);
}

BOOL CWnd::SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }

CWnd* CWnd::SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }

CWnd* CWnd::GetCapture() { return FromHandle(::GetCapture()); }

CWnd* CWnd::GetActiveWindow() { return FromHandle(::GetActiveWindow()); }

CWnd* CWnd::WindowFromPoint(POINT point) { return FromHandle(::WindowFromPoint(point)); }

CWnd* CWnd::FindWindow(LPCSTR lpszClassName, LPCSTR lpszWindowName) {
  return FromHandle(::FindWindowA(lpszClassName, lpszWindowName));
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
  return (HICON)::SendMessageA(m_hWnd, WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, (LPARAM)hIcon);
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
  ::SendMessageA(m_hWnd, WM_SETFONT, (WPARAM)(pFont ? pFont->m_hObject : NULL), bRedraw);
}

CFont* CWnd::GetFont() const { return CFont::FromHandle((HFONT)::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)); }

void CWnd::Invalidate(BOOL bErase) { ::InvalidateRect(m_hWnd, NULL, bErase); }

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase) { ::InvalidateRect(m_hWnd, lpRect, bErase); }

void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }

BOOL CWnd::RedrawWindow(LPCRECT lpRectUpdate, CRgn* prgnUpdate, UINT flags) {
  return ::RedrawWindow(m_hWnd, lpRectUpdate, prgnUpdate ? (HRGN)prgnUpdate->m_hObject : NULL, flags);
}

CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }

int CWnd::ReleaseDC(CDC* pDC) {
  if (pDC == NULL) return 0;
  HDC hDC = pDC->m_hDC;
  int nResult = ::ReleaseDC(m_hWnd, hDC);
  // The wrapper of a released context must not outlive it: the handle may be reused.
  auto& map = AfxGetThreadState()->tempDCs;
  auto it = map.find(hDC);
  if (it != map.end() && it->second.get() == pDC) {
    pDC->m_hDC = pDC->m_hAttribDC = NULL;
    map.erase(it);
  }
  return nResult;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
  return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
  return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}
