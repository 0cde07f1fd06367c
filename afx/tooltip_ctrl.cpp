// CToolTipCtrl: the tooltip control.
#include <afxcmn.h>

IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle) {
  return CWnd::CreateEx(0, TOOLTIPS_CLASSA, NULL, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : NULL, NULL, NULL);
}

void CToolTipCtrl::FillInToolInfo(TOOLINFOA& ti, CWnd* pWnd, UINT_PTR nIDTool) const {
  memset(&ti, 0, sizeof(ti));
  ti.cbSize = sizeof(ti);
  if (nIDTool == 0) {
    ti.hwnd = ::GetParent(pWnd->m_hWnd);
    ti.uFlags = TTF_IDISHWND;
    ti.uId = (UINT_PTR)pWnd->m_hWnd;
  } else {
    ti.hwnd = pWnd->m_hWnd;
    ti.uFlags = 0;
    ti.uId = nIDTool;
  }
}

void CToolTipCtrl::Activate(BOOL bActivate) { ::SendMessageA(m_hWnd, TTM_ACTIVATE, bActivate, 0); }

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool) {
  if (pWnd == NULL) return FALSE;
  TOOLINFOA ti;
  FillInToolInfo(ti, pWnd, nIDTool);
  if (lpRectTool != NULL) ti.rect = *lpRectTool;
  ti.hinst = AfxGetResourceHandle();
  ti.lpszText = (LPSTR)lpszText;
  return (BOOL)::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool) {
  if (pWnd == NULL) return;
  TOOLINFOA ti;
  FillInToolInfo(ti, pWnd, nIDTool);
  ::SendMessageA(m_hWnd, TTM_DELTOOLA, 0, (LPARAM)&ti);
}

int CToolTipCtrl::GetToolCount() const { return (int)::SendMessageA(m_hWnd, TTM_GETTOOLCOUNT, 0, 0); }

void CToolTipCtrl::UpdateTipText(LPCSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool) {
  if (pWnd == NULL) return;
  TOOLINFOA ti;
  FillInToolInfo(ti, pWnd, nIDTool);
  ti.hinst = AfxGetResourceHandle();
  ti.lpszText = (LPSTR)lpszText;
  ::SendMessageA(m_hWnd, TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::GetText(CString& str, CWnd* pWnd, UINT_PTR nIDTool) const {
  TOOLINFOA ti;
  FillInToolInfo(ti, pWnd, nIDTool);
  // Tooltip texts are at most 80 characters through this message.
  ti.lpszText = str.GetBuffer(256);
  ::SendMessageA(m_hWnd, TTM_GETTEXTA, 0, (LPARAM)&ti);
  str.ReleaseBuffer();
}

void CToolTipCtrl::RelayEvent(LPMSG lpMsg) { ::SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, (LPARAM)lpMsg); }
