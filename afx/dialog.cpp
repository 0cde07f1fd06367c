// CDialog: dialogs from templates, modal and modeless.
#include "afx_internal.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

CDialog::CDialog() : m_lpszTemplateName(NULL), m_nIDHelp(0), m_pParentWnd(NULL) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_nIDHelp(0), m_pParentWnd(pParentWnd) {}

// The dialog procedure: attaches the object at WM_INITDIALOG, from then on every message goes
// through the object (AfxWndProc) and this procedure only answers "not handled".
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  CDialog* pDlg = (CDialog*)lParam;
  if (pDlg == NULL) return TRUE;
  if (CWnd::FromHandlePermanent(hWnd) == NULL && !pDlg->SubclassWindow(hWnd)) return TRUE;
  AfxThreadState* s = AfxGetThreadState();
  MSG oldMsg = s->lastSentMsg;
  s->lastSentMsg.hwnd = hWnd;
  s->lastSentMsg.message = message;
  s->lastSentMsg.wParam = wParam;
  s->lastSentMsg.lParam = lParam;
  BOOL bResult = pDlg->OnInitDialog();
  s->lastSentMsg = oldMsg;
  return bResult;
}

BOOL CDialog::OnInitDialog() { return TRUE; }

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  return Create(MAKEINTRESOURCEA(nIDTemplate), pParentWnd);
}

BOOL CDialog::Create(LPCSTR lpszTemplateName, CWnd* pParentWnd) {
  if (m_hWnd != NULL) return FALSE;
  m_lpszTemplateName = lpszTemplateName;
  m_pParentWnd = pParentWnd;
  HWND hWnd = ::CreateDialogParamA(AfxGetResourceHandle(), lpszTemplateName,
                                   pParentWnd ? pParentWnd->m_hWnd : NULL, AfxDlgProc, (LPARAM)this);
  return hWnd != NULL && m_hWnd == hWnd;
}

INT_PTR CDialog::DoModal() {
  if (m_hWnd != NULL) return -1;
  HWND hWndParent = m_pParentWnd ? m_pParentWnd->m_hWnd : NULL;
  BOOL bEnableParent = FALSE;
  if (hWndParent != NULL && ::IsWindowEnabled(hWndParent)) {
    ::EnableWindow(hWndParent, FALSE);
    bEnableParent = TRUE;
  }
  m_nModalResult = -1;
  m_bContinueModal = TRUE;
  // The dialog is created modeless and run by the framework's own loop, so that every message
  // passes PreTranslateMessage (tooltips, dialog keys).
  HWND hWnd = ::CreateDialogParamA(AfxGetResourceHandle(), m_lpszTemplateName, hWndParent, AfxDlgProc, (LPARAM)this);
  if (hWnd != NULL && m_hWnd == hWnd && m_bContinueModal) RunModalLoop();
  m_bContinueModal = FALSE;
  if (m_hWnd != NULL)
    ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  if (bEnableParent) ::EnableWindow(hWndParent, TRUE);
  if (hWndParent != NULL && m_hWnd != NULL && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(hWndParent);
  if (m_hWnd != NULL) {
    DestroyWindow();
  } else if (hWnd != NULL && ::IsWindow(hWnd)) {
    ::DestroyWindow(hWnd);  // created but never attached
  }
  return hWnd == NULL ? -1 : m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
  if (m_bContinueModal) {
    EndModalLoop(nResult);
  } else if (m_hWnd != NULL) {
    m_nModalResult = nResult;
    ::EndDialog(m_hWnd, nResult);
  }
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  // A button click, a menu item or an accelerator (notification codes 0 and 1).
  if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == 1) {
    switch (LOWORD(wParam)) {
      case IDOK: OnOK(); return TRUE;
      case IDCANCEL: OnCancel(); return TRUE;
    }
  }
  return CWnd::OnCommand(wParam, lParam);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
  if (CWnd::PreTranslateMessage(pMsg)) return TRUE;
  // Keyboard input gets the dialog keys: Tab, arrows, Enter (IDOK) and Esc (IDCANCEL).
  if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hWnd != NULL &&
      (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd)))
    return ::IsDialogMessageA(m_hWnd, pMsg);
  return FALSE;
}
