// The application framework over Win32: GDI object and device-context wrappers, windows with
// virtual message handlers, dialogs, buttons and the application object.
#pragma once
#include <afx.h>

class CDC;
class CWnd;
class CWinApp;

// ---------------------------------------------------------------------------------------------
// GDI objects. Each owns its handle and deletes it when it is destroyed, unless detached.
// FromHandle returns a temporary wrapper that never deletes the handle; temporaries live until
// the message loop next becomes idle.

class CGdiObject : public CObject {
  DECLARE_DYNAMIC(CGdiObject)
 public:
  HGDIOBJ m_hObject;

  CGdiObject();
  ~CGdiObject() override;
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }
  BOOL Attach(HGDIOBJ hObject);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  int GetObject(int nCount, LPVOID lpObject) const;
  BOOL CreateStockObject(int nIndex);
  static CGdiObject* FromHandle(HGDIOBJ hObject);
};

class CBitmap : public CGdiObject {
  DECLARE_DYNAMIC(CBitmap)
 public:
  static CBitmap* FromHandle(HBITMAP hBitmap);
  operator HBITMAP() const { return (HBITMAP)m_hObject; }
  // Loads a bitmap resource of the module that holds the program's resources.
  BOOL LoadBitmap(UINT nIDResource);
  BOOL LoadBitmap(LPCSTR lpszResourceName);
  BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
  BOOL CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits);
  int GetBitmap(BITMAP* pBitMap) const;
};

class CFont : public CGdiObject {
  DECLARE_DYNAMIC(CFont)
 public:
  static CFont* FromHandle(HFONT hFont);
  operator HFONT() const { return (HFONT)m_hObject; }
  BOOL CreateFontIndirect(const LOGFONTA* lpLogFont);
  // nPointSize is in tenths of a point; the height is converted to logical units of pDC
  // (the screen when pDC is NULL).
  BOOL CreatePointFont(int nPointSize, LPCSTR lpszFaceName, CDC* pDC = NULL);
  BOOL CreatePointFontIndirect(const LOGFONTA* lpLogFont, CDC* pDC = NULL);
  int GetLogFont(LOGFONTA* pLogFont) const;
};

class CBrush : public CGdiObject {
  DECLARE_DYNAMIC(CBrush)
 public:
  CBrush() = default;
  explicit CBrush(COLORREF crColor);
  static CBrush* FromHandle(HBRUSH hBrush);
  operator HBRUSH() const { return (HBRUSH)m_hObject; }
  BOOL CreateSolidBrush(COLORREF crColor);
};

class CRgn : public CGdiObject {
  DECLARE_DYNAMIC(CRgn)
 public:
  static CRgn* FromHandle(HRGN hRgn);
  operator HRGN() const { return (HRGN)m_hObject; }
  BOOL CreateRectRgn(int x1, int y1, int x2, int y2);
  BOOL CreateRectRgnIndirect(LPCRECT lpRect);
  BOOL CreateFromData(const XFORM* lpXForm, int nCount, const RGNDATA* pRgnData);
  int CombineRgn(const CRgn* pRgn1, const CRgn* pRgn2, int nCombineMode);
  int CopyRgn(const CRgn* pRgnSrc);
  BOOL EqualRgn(const CRgn* pRgn) const;
  int GetRegionData(LPRGNDATA lpRgnData, int nCount) const;
  int GetRgnBox(LPRECT lpRect) const;
  BOOL PtInRegion(int x, int y) const;
  BOOL PtInRegion(POINT point) const { return PtInRegion(point.x, point.y); }
};

// ---------------------------------------------------------------------------------------------
// Device contexts.

class CDC : public CObject {
  DECLARE_DYNAMIC(CDC)
 public:
  HDC m_hDC;
  HDC m_hAttribDC;

  CDC();
  ~CDC() override;
  operator HDC() const { return m_hDC; }
  HDC GetSafeHdc() const { return m_hDC; }
  BOOL Attach(HDC hDC);
  HDC Detach();
  static CDC* FromHandle(HDC hDC);

  BOOL CreateCompatibleDC(CDC* pDC);
  BOOL DeleteDC();

  // Selection returns the previously selected object (a temporary wrapper).
  CGdiObject* SelectObject(CGdiObject* pObject);
  CBitmap* SelectObject(CBitmap* pBitmap);
  CFont* SelectObject(CFont* pFont);
  CBrush* SelectObject(CBrush* pBrush);
  int SelectObject(CRgn* pRgn);
  HGDIOBJ SelectObject(HGDIOBJ hObject);
  CGdiObject* SelectStockObject(int nIndex);
  CBitmap* GetCurrentBitmap() const;
  CFont* GetCurrentFont() const;

  BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop);
  int SetBkMode(int nBkMode);
  COLORREF SetBkColor(COLORREF crColor);
  COLORREF SetTextColor(COLORREF crColor);
  int DrawText(LPCSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat);
  int DrawText(const CString& str, LPRECT lpRect, UINT nFormat);
  BOOL TextOut(int x, int y, LPCSTR lpszString, int nCount);
  BOOL TextOut(int x, int y, const CString& str);
  CSize GetTextExtent(LPCSTR lpszString, int nCount) const;
  CSize GetTextExtent(const CString& str) const;
  void FillRect(LPCRECT lpRect, CBrush* pBrush);
  void FillSolidRect(LPCRECT lpRect, COLORREF clr);
  BOOL DrawIcon(int x, int y, HICON hIcon);
  int GetDeviceCaps(int nIndex) const;
};

// A device context for painting: BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
  DECLARE_DYNAMIC(CPaintDC)
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps;

 protected:
  HWND m_hWnd;
};

// The client area's device context: GetDC on construction, ReleaseDC on destruction.
class CClientDC : public CDC {
  DECLARE_DYNAMIC(CClientDC)
 public:
  explicit CClientDC(CWnd* pWnd);
  ~CClientDC() override;

 protected:
  HWND m_hWnd;
};

// ---------------------------------------------------------------------------------------------
// Windows.

class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
};

// A CWnd is attached to at most one window and a window to at most one CWnd. Messages reach
// WindowProc, which dispatches the common ones to the virtual On... handlers; every handler's
// base version hands the message to Default(), the window's previous procedure.
class CWnd : public CCmdTarget {
  DECLARE_DYNAMIC(CWnd)
 public:
  HWND m_hWnd;

  // Stand-ins for the insert-after handles of SetWindowPos.
  static const CWnd wndTop;
  static const CWnd wndBottom;
  static const CWnd wndTopMost;
  static const CWnd wndNoTopMost;

  CWnd();
  ~CWnd() override;
  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }
  BOOL operator==(const CWnd& wnd) const { return wnd.m_hWnd == m_hWnd; }
  BOOL operator!=(const CWnd& wnd) const { return wnd.m_hWnd != m_hWnd; }

  // The object attached to a window: the permanent one, or else a temporary wrapper.
  static CWnd* FromHandle(HWND hWnd);
  static CWnd* FromHandlePermanent(HWND hWnd);
  BOOL Attach(HWND hWndNew);
  HWND Detach();
  // Attaches and routes the window's messages through this object; the old procedure stays
  // reachable through Default().
  BOOL SubclassWindow(HWND hWnd);
  BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
  HWND UnsubclassWindow();

  virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                      CWnd* pParentWnd, UINT nID);
  BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = NULL);
  virtual BOOL DestroyWindow();

  virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
  virtual void PreSubclassWindow();
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // A message the parent received about this control (WM_DRAWITEM, scrolls); TRUE if handled.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // Called after the window is gone (WM_NCDESTROY), when the object is already detached.
  virtual void PostNcDestroy();
  // The current message handed to the window's previous procedure.
  LRESULT Default();

  // Window state.
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
  BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
  CWnd* GetParent() const;
  CWnd* GetOwner() const;
  void SetOwner(CWnd* pOwnerWnd) { m_hWndOwner = pOwnerWnd ? pOwnerWnd->m_hWnd : NULL; }
  CWnd* GetDlgItem(int nID) const;
  int GetDlgCtrlID() const;
  void SetWindowText(LPCSTR lpszString);
  int GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const;
  void GetWindowText(CString& rString) const;
  int GetWindowTextLength() const;
  void SetDlgItemText(int nID, LPCSTR lpszString);
  BOOL ShowWindow(int nCmdShow);
  BOOL IsWindowVisible() const;
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL IsIconic() const;
  BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
  void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
  void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
  int SetWindowRgn(HRGN hRgn, BOOL bRedraw);
  void GetWindowRect(LPRECT lpRect) const;
  void GetClientRect(LPRECT lpRect) const;
  void ClientToScreen(LPPOINT lpPoint) const;
  void ClientToScreen(LPRECT lpRect) const;
  void ScreenToClient(LPPOINT lpPoint) const;
  void ScreenToClient(LPRECT lpRect) const;
  BOOL SetForegroundWindow();
  CWnd* SetFocus();
  static CWnd* GetFocus();
  CWnd* SetCapture();
  static CWnd* GetCapture();
  static CWnd* GetActiveWindow();
  static CWnd* WindowFromPoint(POINT point);
  static CWnd* FindWindow(LPCSTR lpszClassName, LPCSTR lpszWindowName);
  HICON SetIcon(HICON hIcon, BOOL bBigIcon);
  void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
  CFont* GetFont() const;

  // Painting.
  void Invalidate(BOOL bErase = TRUE);
  void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
  void UpdateWindow();
  BOOL RedrawWindow(LPCRECT lpRectUpdate = NULL, CRgn* prgnUpdate = NULL,
                    UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  CDC* GetDC();
  int ReleaseDC(CDC* pDC);

  // Messages and timers.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = NULL);
  BOOL KillTimer(UINT_PTR nIDEvent);
  int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = NULL, UINT nType = MB_OK);

  // Runs messages until EndModalLoop (used by modal dialogs).
  int RunModalLoop();
  virtual BOOL ContinueModal();
  virtual void EndModalLoop(int nResult);

 protected:
  // Message handlers. The base versions pass the message on (Default()).
  virtual int OnCreate(LPCREATESTRUCTA lpCreateStruct);
  virtual void OnDestroy();
  virtual void OnNcDestroy();
  virtual void OnClose();
  virtual void OnPaint();
  virtual BOOL OnEraseBkgnd(CDC* pDC);
  virtual void OnSize(UINT nType, int cx, int cy);
  virtual void OnShowWindow(BOOL bShow, UINT nStatus);
  virtual void OnSetFocus(CWnd* pOldWnd);
  virtual void OnKillFocus(CWnd* pNewWnd);
  virtual void OnTimer(UINT_PTR nIDEvent);
  virtual void OnMouseMove(UINT nFlags, CPoint point);
  virtual void OnLButtonDown(UINT nFlags, CPoint point);
  virtual void OnLButtonUp(UINT nFlags, CPoint point);
  virtual void OnLButtonDblClk(UINT nFlags, CPoint point);
  virtual void OnRButtonDown(UINT nFlags, CPoint point);
  virtual void OnRButtonUp(UINT nFlags, CPoint point);
  virtual BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
  virtual void OnCaptureChanged(CWnd* pWnd);
  virtual void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  virtual void OnSysCommand(UINT nID, LPARAM lParam);
  virtual void OnContextMenu(CWnd* pWnd, CPoint pos);
  virtual void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
  virtual void OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
  virtual void OnVScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
  virtual HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  virtual BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
  virtual HCURSOR OnQueryDragIcon();

  WNDPROC m_pfnSuper;      // the window's procedure before it was subclassed
  HWND m_hWndOwner;        // a separate owner, or NULL for the parent
  int m_nModalResult;
  BOOL m_bContinueModal;

 private:
  explicit CWnd(HWND hWndConstant);
  friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT AfxCallWndProc(CWnd*, HWND, UINT, WPARAM, LPARAM);
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
// Offers a message to the PreTranslateMessage of its window and of every parent up to and
// including hWndStop; TRUE when one of them consumed it.
BOOL AfxPreTranslateMessage(MSG* pMsg, HWND hWndStop);
// Deletes the temporary wrappers made by FromHandle (the message loops call it when idle).
void AfxDeleteTempMap();

// ---------------------------------------------------------------------------------------------
// Dialogs from templates.

class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  CDialog();
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
  explicit CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd = NULL);

  // Creates the dialog from its template and runs it until EndDialog; returns the result
  // given to EndDialog, or -1 if the dialog could not be created.
  virtual INT_PTR DoModal();
  // Modeless creation.
  virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = NULL);
  virtual BOOL Create(LPCSTR lpszTemplateName, CWnd* pParentWnd = NULL);
  void EndDialog(int nResult);

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  BOOL PreTranslateMessage(MSG* pMsg) override;

  LPCSTR m_lpszTemplateName;
  UINT m_nIDHelp;
  CWnd* m_pParentWnd;

 protected:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------------------------
// Buttons.

class CButton : public CWnd {
  DECLARE_DYNAMIC(CButton)
 public:
  virtual BOOL Create(LPCSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  UINT GetState() const;
  void SetState(BOOL bHighlight);
  int GetCheck() const;
  void SetCheck(int nCheck);
  // The button's type and style bits: the low 16 bits of the window style.
  UINT GetButtonStyle() const;
  void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
  // Owner-drawn buttons draw themselves here (reflected from the parent's WM_DRAWITEM).
  virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

 protected:
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

// ---------------------------------------------------------------------------------------------
// The application object: one per program, constructed as a global.

class CWinApp : public CCmdTarget {
  DECLARE_DYNAMIC(CWinApp)
 public:
  explicit CWinApp(LPCSTR lpszAppName = NULL);
  ~CWinApp() override;

  HINSTANCE m_hInstance;
  LPSTR m_lpCmdLine;
  int m_nCmdShow;
  LPCSTR m_pszAppName;
  CString m_strRegistryKey;
  CWnd* m_pMainWnd;

  virtual BOOL InitInstance();
  virtual int ExitInstance();
  // The main message loop; returns ExitInstance's result when WM_QUIT arrives.
  virtual int Run();
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  virtual BOOL OnIdle(LONG lCount);
  // The registry key under which the application keeps its settings.
  void SetRegistryKey(LPCSTR lpszRegistryKey);
  // Containment of controls is built in; kept for start-up code written for it.
  void EnableControlContainer() {}
  // The help command (ID_HELP); there is no help file.
  virtual void OnHelp();
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
// The program's start: initialises the application object, runs InitInstance and, when it
// succeeds, the message loop.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
