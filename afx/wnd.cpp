// CWnd: attaching objects to windows, subclassing, and dispatching messages to handlers.
#include "afx_internal.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

CWnd::CWnd() : m_hWnd(NULL), m_pfnSuper(NULL), m_hWndOwner(NULL), m_nModalResult(-1), m_bContinueModal(FALSE) {}

CWnd::CWnd(HWND hWndConstant) : CWnd() { m_hWnd = hWndConstant; }

CWnd::~CWnd() {
  CWinApp* pApp = AfxGetApp();
  if (pApp && pApp->m_pMainWnd == this) pApp->m_pMainWnd = NULL;
  // Deleting the object of a live window destroys the window with it.
  if (m_hWnd != NULL && AfxThreadStateAlive() && FromHandlePermanent(m_hWnd) == this) {
    ::DestroyWindow(m_hWnd);
    if (m_hWnd != NULL && FromHandlePermanent(m_hWnd) == this) Detach();
  }
}

// ---- handle maps

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (hWnd == NULL || !AfxThreadStateAlive()) return NULL;
  auto& map = AfxGetThreadState()->permanentWindows;
  auto it = map.find(hWnd);
  return it == map.end() ? NULL : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  if (hWnd == NULL) return NULL;
  if (CWnd* p = FromHandlePermanent(hWnd)) return p;
  auto& slot = AfxGetThreadState()->tempWindows[hWnd];
  if (!slot) {
    slot.reset(new CWnd);
    slot->m_hWnd = hWnd;
  }
  return slot.get();
}

BOOL CWnd::Attach(HWND hWndNew) {
  if (hWndNew == NULL || m_hWnd != NULL) return FALSE;
  AfxThreadState* s = AfxGetThreadState();
  if (s->permanentWindows.count(hWndNew)) return FALSE;
  auto temp = s->tempWindows.find(hWndNew);
  if (temp != s->tempWindows.end()) {
    temp->second->m_hWnd = NULL;
    s->tempWindows.erase(temp);
  }
  s->permanentWindows[hWndNew] = this;
  m_hWnd = hWndNew;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  if (h != NULL && AfxThreadStateAlive()) {
    auto& map = AfxGetThreadState()->permanentWindows;
    auto it = map.find(h);
    if (it != map.end() && it->second == this) map.erase(it);
  }
  m_hWnd = NULL;
  return h;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (!Attach(hWnd)) return FALSE;
  PreSubclassWindow();
  WNDPROC oldProc = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
  if (oldProc == NULL) {
    Detach();
    return FALSE;
  }
  if (oldProc != AfxWndProc) m_pfnSuper = oldProc;
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
  HWND hWndControl = ::GetDlgItem(pParent->m_hWnd, (int)nID);
  return hWndControl != NULL && SubclassWindow(hWndControl);
}

HWND CWnd::UnsubclassWindow() {
  if (m_hWnd == NULL) return NULL;
  if (m_pfnSuper) ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
  m_pfnSuper = NULL;
  return Detach();
}

// ---- creation and destruction

LPCSTR AfxRegisteredWndClass() {
  static const char kClassName[] = "AfxWnd";
  static BOOL registered = FALSE;
  if (!registered) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = AfxWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = ::LoadCursorA(NULL, MAKEINTRESOURCEA(32512));  // the arrow
    wc.lpszClassName = kClassName;
    registered = ::RegisterClassA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
  return kClassName;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs) {
  if (cs.lpszClass == NULL) cs.lpszClass = AfxRegisteredWndClass();
  return TRUE;
}

BOOL CWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID) {
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : NULL,
                  (HMENU)(UINT_PTR)nID);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
  if (m_hWnd != NULL) return FALSE;
  CREATESTRUCTA cs;
  memset(&cs, 0, sizeof(cs));
  cs.dwExStyle = dwExStyle;
  cs.lpszClass = lpszClassName;
  cs.lpszName = lpszWindowName;
  cs.style = (LONG)dwStyle;
  cs.x = x;
  cs.y = y;
  cs.cx = nWidth;
  cs.cy = nHeight;
  cs.hwndParent = hWndParent;
  cs.hMenu = nIDorHMenu;
  cs.hInstance = AfxGetInstanceHandle();
  cs.lpCreateParams = lpParam;
  if (!PreCreateWindow(cs)) {
    PostNcDestroy();
    return FALSE;
  }
  AfxThreadState* s = AfxGetThreadState();
  CWnd* pOldInit = s->pWndInit;
  s->pWndInit = this;
  HWND hWnd = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, (DWORD)cs.style, cs.x, cs.y, cs.cx, cs.cy,
                                cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
  s->pWndInit = pOldInit;
  if (hWnd == NULL) {
    if (m_hWnd != NULL) Detach();
    return FALSE;
  }
  // Windows of other classes (the system's controls) are subclassed once they exist.
  if (m_hWnd == NULL && !SubclassWindow(hWnd)) {
    ::DestroyWindow(hWnd);
    return FALSE;
  }
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  if (m_hWnd == NULL) return FALSE;
  HWND hWnd = m_hWnd;
  BOOL bResult = ::DestroyWindow(hWnd);
  // Not subclassed (or the procedure was replaced): detach here, since WM_NCDESTROY did not.
  if (m_hWnd == hWnd && !::IsWindow(hWnd)) Detach();
  return bResult;
}

void CWnd::PreSubclassWindow() {}

void CWnd::PostNcDestroy() {}

BOOL CWnd::PreTranslateMessage(MSG* pMsg) { return FALSE; }

// ---- dispatch

LRESULT AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
  AfxThreadState* s = AfxGetThreadState();
  MSG oldMsg = s->lastSentMsg;
  s->lastSentMsg.hwnd = hWnd;
  s->lastSentMsg.message = nMsg;
  s->lastSentMsg.wParam = wParam;
  s->lastSentMsg.lParam = lParam;
  LRESULT lResult = pWnd->WindowProc(nMsg, wParam, lParam);
  s->lastSentMsg = oldMsg;
  return lResult;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
  CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
  if (pWnd == NULL) {
    // The first message of a window CreateEx is making with the framework's class.
    AfxThreadState* s = AfxGetThreadState();
    if (s->pWndInit != NULL && s->pWndInit->m_hWnd == NULL) {
      pWnd = s->pWndInit;
      s->pWndInit = NULL;
      pWnd->Attach(hWnd);
      pWnd->PreSubclassWindow();
    }
  }
  if (pWnd == NULL || pWnd->m_hWnd != hWnd) return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
  return AfxCallWndProc(pWnd, hWnd, nMsg, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT lResult = 0;
  if (!OnWndMsg(message, wParam, lParam, &lResult)) lResult = DefWindowProc(message, wParam, lParam);
  return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper != NULL) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  const MSG& msg = AfxGetThreadState()->lastSentMsg;
  return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  LRESULT r = 0;
  switch (message) {
    case WM_CREATE: r = OnCreate((LPCREATESTRUCTA)lParam); break;
    case WM_DESTROY: OnDestroy(); break;
    case WM_NCDESTROY: OnNcDestroy(); break;
    case WM_CLOSE: OnClose(); break;
    case WM_PAINT: OnPaint(); break;
    case WM_ERASEBKGND: r = OnEraseBkgnd(CDC::FromHandle((HDC)wParam)); break;
    case WM_SIZE: OnSize((UINT)wParam, (short)LOWORD(lParam), (short)HIWORD(lParam)); break;
    case WM_SHOWWINDOW: OnShowWindow((BOOL)wParam, (UINT)lParam); break;
    case WM_SETFOCUS: OnSetFocus(FromHandle((HWND)wParam)); break;
    case WM_KILLFOCUS: OnKillFocus(FromHandle((HWND)wParam)); break;
    case WM_TIMER: OnTimer((UINT_PTR)wParam); break;
    case WM_MOUSEMOVE: OnMouseMove((UINT)wParam, CPoint(lParam)); break;
    case WM_LBUTTONDOWN: OnLButtonDown((UINT)wParam, CPoint(lParam)); break;
    case WM_LBUTTONUP: OnLButtonUp((UINT)wParam, CPoint(lParam)); break;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk((UINT)wParam, CPoint(lParam)); break;
    case WM_RBUTTONDOWN: OnRButtonDown((UINT)wParam, CPoint(lParam)); break;
    case WM_RBUTTONUP: OnRButtonUp((UINT)wParam, CPoint(lParam)); break;
    case WM_MOUSEWHEEL: r = OnMouseWheel(LOWORD(wParam), (short)HIWORD(wParam), CPoint(lParam)); break;
    case WM_CAPTURECHANGED: OnCaptureChanged(FromHandle((HWND)lParam)); break;
    case WM_KEYDOWN: OnKeyDown((UINT)wParam, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_SYSCOMMAND: OnSysCommand((UINT)wParam, lParam); break;
    case WM_CONTEXTMENU: OnContextMenu(FromHandle((HWND)wParam), CPoint(lParam)); break;
    case WM_DRAWITEM: OnDrawItem((int)wParam, (LPDRAWITEMSTRUCT)lParam); r = TRUE; break;
    case WM_HSCROLL: OnHScroll(LOWORD(wParam), HIWORD(wParam), FromHandle((HWND)lParam)); break;
    case WM_VSCROLL: OnVScroll(LOWORD(wParam), HIWORD(wParam), FromHandle((HWND)lParam)); break;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      r = (LRESULT)OnCtlColor(CDC::FromHandle((HDC)wParam), FromHandle((HWND)lParam), message - WM_CTLCOLORMSGBOX);
      break;
    case WM_DEVICECHANGE: r = OnDeviceChange((UINT)wParam, (DWORD_PTR)lParam); break;
    case WM_QUERYDRAGICON: r = (LRESULT)OnQueryDragIcon(); break;
    case WM_COMMAND:
      if (OnCommand(wParam, lParam)) break;
      return FALSE;
    case WM_NOTIFY:
      if (OnNotify(wParam, lParam, &r)) break;
      return FALSE;
    default:
      return FALSE;
  }
  *pResult = r;
  return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) { return FALSE; }

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const NMHDR* pHdr = (const NMHDR*)lParam;
  if (pHdr != NULL) {
    if (CWnd* pChild = FromHandlePermanent(pHdr->hwndFrom))
      if (pChild != this && pChild->OnChildNotify(WM_NOTIFY, wParam, lParam, pResult)) return TRUE;
  }
  return FALSE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) { return FALSE; }

// ---- default handlers

int CWnd::OnCreate(LPCREATESTRUCTA) { return (int)Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return (BOOL)Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return (BOOL)Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return (HBRUSH)Default(); }
BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR) { return (BOOL)Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return (HCURSOR)Default(); }

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT lpDrawItemStruct) {
  // Owner-drawn controls draw themselves: the request goes to the control's own object.
  if (lpDrawItemStruct != NULL) {
    if (CWnd* pChild = FromHandlePermanent(lpDrawItemStruct->hwndItem)) {
      const MSG& msg = AfxGetThreadState()->lastSentMsg;
      LRESULT r = 0;
      if (pChild != this && pChild->OnChildNotify(WM_DRAWITEM, msg.wParam, msg.lParam, &r)) return;
    }
  }
  Default();
}

static void ReflectScroll(CWnd* pParent, UINT message, CWnd* pScrollBar) {
  if (pScrollBar != NULL && pScrollBar != pParent && CWnd::FromHandlePermanent(pScrollBar->m_hWnd) == pScrollBar) {
    const MSG& msg = AfxGetThreadState()->lastSentMsg;
    LRESULT r = 0;
    if (pScrollBar->OnChildNotify(message, msg.wParam, msg.lParam, &r)) return;
  }
  pParent->Default();
}

void CWnd::OnHScroll(UINT, UINT, CWnd* pScrollBar) { ReflectScroll(this, WM_HSCROLL, pScrollBar); }
void CWnd::OnVScroll(UINT, UINT, CWnd* pScrollBar) { ReflectScroll(this, WM_VSCROLL, pScrollBar); }

void CWnd::OnNcDestroy() {
  CWinApp* pApp = AfxGetApp();
  if (pApp && pApp->m_pMainWnd == this) {
    // The program's main window is gone: its message loop ends.
    pApp->m_pMainWnd = NULL;
    ::PostQuitMessage(0);
  }
  Default();
  // Give the window back its own procedure before letting go of it.
  if (m_pfnSuper != NULL && (WNDPROC)::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC) == AfxWndProc)
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
  m_pfnSuper = NULL;
  Detach();
  PostNcDestroy();
}

// ---- pre-translation and the modal loop

BOOL AfxPreTranslateMessage(MSG* pMsg, HWND hWndStop) {
  for (HWND hWnd = pMsg->hwnd; hWnd != NULL; hWnd = ::GetParent(hWnd)) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd != NULL && pWnd->PreTranslateMessage(pMsg)) return TRUE;
    if (hWnd == hWndStop) break;
  }
  return FALSE;
}

BOOL CWnd::ContinueModal() { return m_bContinueModal; }

void CWnd::EndModalLoop(int nResult) {
  m_nModalResult = nResult;
  if (m_bContinueModal) {
    m_bContinueModal = FALSE;
    // Wake the loop if it is waiting for a message.
    if (m_hWnd) ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
  }
}

int CWnd::RunModalLoop() {
  BOOL bShown = FALSE;
  MSG msg;
  while (ContinueModal()) {
    if (!::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) {
      // Idle: the dialog appears once its initial messages are through.
      if (!bShown) {
        bShown = TRUE;
        if (m_hWnd && !(GetStyle() & WS_VISIBLE)) {
          ShowWindow(SW_SHOWNORMAL);
          UpdateWindow();
        }
      }
      AfxDeleteTempMap();
      if (!ContinueModal()) break;
    }
    BOOL bRet = ::GetMessageA(&msg, NULL, 0, 0);
    if (bRet == 0) {
      // WM_QUIT ends this loop and is left for the outer one.
      ::PostQuitMessage((int)msg.wParam);
      break;
    }
    if (bRet == -1) break;
    if (!AfxPreTranslateMessage(&msg, m_hWnd)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  AfxDeleteTempMap();
  return m_nModalResult;
}
