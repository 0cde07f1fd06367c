// Device-context wrappers.
#include "afx_internal.h"

IMPLEMENT_DYNAMIC(CDC, CObject)
IMPLEMENT_DYNAMIC(CPaintDC, CDC)
IMPLEMENT_DYNAMIC(CClientDC, CDC)

CDC::CDC() : m_hDC(NULL), m_hAttribDC(NULL) {}

CDC::~CDC() {
  if (m_hDC) DeleteDC();
}

BOOL CDC::Attach(HDC hDC) {
  if (hDC == NULL) return FALSE;
  m_hDC = m_hAttribDC = hDC;
  return TRUE;
}

HDC CDC::Detach() {
  HDC h = m_hDC;
  m_hDC = m_hAttribDC = NULL;
  return h;
}

CDC* CDC::FromHandle(HDC hDC) {
  if (hDC == NULL) return NULL;
  auto& map = AfxGetThreadState()->tempDCs;
  auto& slot = map[hDC];
  if (!slot) {
    slot.reset(new CDC);
    slot->m_hDC = slot->m_hAttribDC = hDC;
  }
  return slot.get();
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) { return Attach(::CreateCompatibleDC(pDC ? pDC->m_hDC : NULL)); }

BOOL CDC::DeleteDC() {
  if (m_hDC == NULL) return FALSE;
  return ::DeleteDC(Detach());
}

CGdiObject* CDC::SelectObject(CGdiObject* pObject) {
  if (pObject == NULL) return NULL;
  return CGdiObject::FromHandle(::SelectObject(m_hDC, pObject->m_hObject));
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
  if (pBitmap == NULL) return NULL;
  return CBitmap::FromHandle((HBITMAP)::SelectObject(m_hDC, pBitmap->m_hObject));
}

CFont* CDC::SelectObject(CFont* pFont) {
  if (pFont == NULL) return NULL;
  return CFont::FromHandle((HFONT)::SelectObject(m_hDC, pFont->m_hObject));
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
  if (pBrush == NULL) return NULL;
  return CBrush::FromHandle((HBRUSH)::SelectObject(m_hDC, pBrush->m_hObject));
}

int CDC::SelectObject(CRgn* pRgn) {
  return ::SelectClipRgn(m_hDC, pRgn ? (HRGN)pRgn->m_hObject : NULL);
}

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) { return ::SelectObject(m_hDC, hObject); }

CGdiObject* CDC::SelectStockObject(int nIndex) {
  return CGdiObject::FromHandle(::SelectObject(m_hDC, ::GetStockObject(nIndex)));
}

CBitmap* CDC::GetCurrentBitmap() const {
  return CBitmap::FromHandle((HBITMAP)::GetCurrentObject(m_hDC, OBJ_BITMAP));
}

CFont* CDC::GetCurrentFont() const { return CFont::FromHandle((HFONT)::GetCurrentObject(m_hDC, OBJ_FONT)); }

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
  return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC ? pSrcDC->m_hDC : NULL, xSrc, ySrc, dwRop);
}

int CDC::SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }

COLORREF CDC::SetBkColor(COLORREF crColor) { return ::SetBkColor(m_hDC, crColor); }

COLORREF CDC::SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }

int CDC::DrawText(LPCSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) {
  return ::DrawTextA(m_hDC, lpszString, nCount, lpRect, nFormat);
}

int CDC::DrawText(const CString& str, LPRECT lpRect, UINT nFormat) {
  return DrawText((LPCSTR)str, str.GetLength(), lpRect, nFormat);
}

BOOL CDC::TextOut(int x, int y, LPCSTR lpszString, int nCount) {
  return ::TextOutA(m_hDC, x, y, lpszString, nCount);
}

BOOL CDC::TextOut(int x, int y, const CString& str) { return TextOut(x, y, str, str.GetLength()); }

CSize CDC::GetTextExtent(LPCSTR lpszString, int nCount) const {
  SIZE size = {0, 0};
  ::GetTextExtentPoint32A(m_hAttribDC, lpszString, nCount, &size);
  return CSize(size);
}

CSize CDC::GetTextExtent(const CString& str) const { return GetTextExtent(str, str.GetLength()); }

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) {
  ::FillRect(m_hDC, lpRect, pBrush ? (HBRUSH)pBrush->m_hObject : NULL);
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
  HBRUSH hBrush = ::CreateSolidBrush(clr);
  if (hBrush == NULL) return;
  ::FillRect(m_hDC, lpRect, hBrush);
  ::DeleteObject(hBrush);
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

int CDC::GetDeviceCaps(int nIndex) const { return ::GetDeviceCaps(m_hAttribDC, nIndex); }

// ---- CPaintDC, CClientDC

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) {
  memset(&m_ps, 0, sizeof(m_ps));
  Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
  if (m_hDC) {
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
  }
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : NULL) { Attach(::GetDC(m_hWnd)); }

CClientDC::~CClientDC() {
  if (m_hDC) ::ReleaseDC(m_hWnd, Detach());
}
