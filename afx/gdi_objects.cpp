// GDI object wrappers: bitmaps, fonts, brushes and regions.
#include "afx_internal.h"

IMPLEMENT_DYNAMIC(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)
IMPLEMENT_DYNAMIC(CFont, CGdiObject)
IMPLEMENT_DYNAMIC(CBrush, CGdiObject)
IMPLEMENT_DYNAMIC(CRgn, CGdiObject)

CGdiObject::CGdiObject() : m_hObject(NULL) {}

CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
  if (hObject == NULL) return FALSE;
  DeleteObject();
  m_hObject = hObject;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ h = m_hObject;
  m_hObject = NULL;
  return h;
}

BOOL CGdiObject::DeleteObject() {
  if (m_hObject == NULL) return FALSE;
  HGDIOBJ h = Detach();
  return ::DeleteObject(h);
}

int CGdiObject::GetObject(int nCount, LPVOID lpObject) const {
  if (m_hObject == NULL) return 0;
  return ::GetObjectA(m_hObject, nCount, lpObject);
}

BOOL CGdiObject::CreateStockObject(int nIndex) { return Attach(::GetStockObject(nIndex)); }

// One temporary wrapper per handle, of the class the caller asked for.
template <class T>
static T* TempGdiObject(HGDIOBJ h) {
  if (h == NULL) return NULL;
  auto& map = AfxGetThreadState()->tempGdiObjects;
  auto it = map.find(h);
  if (it != map.end()) {
    if (T* existing = dynamic_cast<T*>(it->second.get())) return existing;
    it->second->m_hObject = NULL;
    map.erase(it);
  }
  T* obj = new T;
  obj->m_hObject = h;
  map[h].reset(obj);
  return obj;
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject) { return TempGdiObject<CGdiObject>(hObject); }
CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) { return TempGdiObject<CBitmap>(hBitmap); }
CFont* CFont::FromHandle(HFONT hFont) { return TempGdiObject<CFont>(hFont); }
CBrush* CBrush::FromHandle(HBRUSH hBrush) { return TempGdiObject<CBrush>(hBrush); }
CRgn* CRgn::FromHandle(HRGN hRgn) { return TempGdiObject<CRgn>(hRgn); }

// ---- CBitmap

BOOL CBitmap::LoadBitmap(UINT nIDResource) { return LoadBitmap(MAKEINTRESOURCEA(nIDResource)); }

BOOL CBitmap::LoadBitmap(LPCSTR lpszResourceName) {
  return Attach(::LoadBitmapA(AfxGetResourceHandle(), lpszResourceName));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
  return Attach(::CreateCompatibleBitmap(pDC ? pDC->m_hDC : NULL, nWidth, nHeight));
}

BOOL CBitmap::CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits) {
  return Attach(::CreateBitmap(nWidth, nHeight, nPlanes, nBitcount, lpBits));
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const { return GetObject((int)sizeof(BITMAP), pBitMap); }

// ---- CFont

BOOL CFont::CreateFontIndirect(const LOGFONTA* lpLogFont) {
  return Attach(::CreateFontIndirectA(lpLogFont));
}

BOOL CFont::CreatePointFont(int nPointSize, LPCSTR lpszFaceName, CDC* pDC) {
  LOGFONTA logFont;
  memset(&logFont, 0, sizeof(logFont));
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfHeight = nPointSize;
  if (lpszFaceName) {
    size_t i = 0;
    for (; i + 1 < sizeof(logFont.lfFaceName) && lpszFaceName[i]; ++i) logFont.lfFaceName[i] = lpszFaceName[i];
    logFont.lfFaceName[i] = 0;
  }
  return CreatePointFontIndirect(&logFont, pDC);
}

BOOL CFont::CreatePointFontIndirect(const LOGFONTA* lpLogFont, CDC* pDC) {
  HDC hDC = pDC ? pDC->m_hAttribDC : ::GetDC(NULL);
  LOGFONTA logFont = *lpLogFont;
  // Tenths of a point to pixels: pixels = points/10 * dpi / 72, always a character height.
  int dpi = hDC ? ::GetDeviceCaps(hDC, LOGPIXELSY) : 96;
  long long tenths = (long long)dpi * logFont.lfHeight;
  long long pixels = (tenths >= 0 ? tenths + 360 : tenths - 360) / 720;
  logFont.lfHeight = -(LONG)(pixels < 0 ? -pixels : pixels);
  if (pDC == NULL && hDC) ::ReleaseDC(NULL, hDC);
  return CreateFontIndirect(&logFont);
}

int CFont::GetLogFont(LOGFONTA* pLogFont) const { return GetObject((int)sizeof(LOGFONTA), pLogFont); }

// ---- CBrush

CBrush::CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }

BOOL CBrush::CreateSolidBrush(COLORREF crColor) { return Attach(::CreateSolidBrush(crColor)); }

// ---- CRgn

BOOL CRgn::CreateRectRgn(int x1, int y1, int x2, int y2) { return Attach(::CreateRectRgn(x1, y1, x2, y2)); }

BOOL CRgn::CreateRectRgnIndirect(LPCRECT lpRect) { return Attach(::CreateRectRgnIndirect(lpRect)); }

BOOL CRgn::CreateFromData(const XFORM* lpXForm, int nCount, const RGNDATA* pRgnData) {
  return Attach(::ExtCreateRegion(lpXForm, (DWORD)nCount, pRgnData));
}

int CRgn::CombineRgn(const CRgn* pRgn1, const CRgn* pRgn2, int nCombineMode) {
  return ::CombineRgn((HRGN)m_hObject, pRgn1 ? (HRGN)pRgn1->m_hObject : NULL,
                      pRgn2 ? (HRGN)pRgn2->m_hObject : NULL, nCombineMode);
}

int CRgn::CopyRgn(const CRgn* pRgnSrc) {
  return ::CombineRgn((HRGN)m_hObject, (HRGN)pRgnSrc->m_hObject, NULL, RGN_COPY);
}

BOOL CRgn::EqualRgn(const CRgn* pRgn) const { return ::EqualRgn((HRGN)m_hObject, (HRGN)pRgn->m_hObject); }

int CRgn::GetRegionData(LPRGNDATA lpRgnData, int nCount) const {
  return (int)::GetRegionData((HRGN)m_hObject, (DWORD)nCount, lpRgnData);
}

int CRgn::GetRgnBox(LPRECT lpRect) const { return ::GetRgnBox((HRGN)m_hObject, lpRect); }

BOOL CRgn::PtInRegion(int x, int y) const { return ::PtInRegion((HRGN)m_hObject, x, y); }
