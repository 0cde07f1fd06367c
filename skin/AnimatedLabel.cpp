#include "AnimatedLabel.h"

#include <limits.h>

#include "SkinSlice.h"

IMPLEMENT_DYNAMIC(CAnimatedLabel, CBitmapBtn)

CAnimatedLabel::CAnimatedLabel() : m_nOffset(0), m_nFitChars(0), m_crText(0), m_bMarquee(0) {
  LOGFONTA lf;
  memset(&lf, 0, sizeof(lf));
  if (::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), (int)sizeof(lf), &lf)) m_font.CreateFontIndirect(&lf);
}

void CAnimatedLabel::SetText(LPCSTR lpszText) {
  SetWindowText(lpszText);
  m_strText = lpszText;
  UpdateFit();
}

void CAnimatedLabel::UpdateFit() {
  if (m_bMarquee) KillTimer(1);
  // The estimate uses the window's own context as it comes, without the label's font.
  CDC* pDC = GetDC();
  CSize sizeW(0, 0);
  if (pDC != NULL) {
    sizeW = pDC->GetTextExtent("W", 1);
    ReleaseDC(pDC);
  }
  CRect rc;
  GetClientRect(&rc);
  // Without a measurable "W" nothing can be estimated: the text counts as fitting.
  m_nFitChars = sizeW.cx > 0 ? (rc.Width() * 2) / sizeW.cx : INT_MAX;
  m_nOffset = 0;
  m_bMarquee = m_nFitChars < m_strText.GetLength() ? 1 : 0;
  Invalidate(TRUE);
}

void CAnimatedLabel::SetBackground(CBitmap* pBackground, const CRect& rect) {
  CDC* pDC = GetDC();
  CopySkinSlice(m_bmpBackground, pDC, pBackground, rect);
  ReleaseDC(pDC);
}

void CAnimatedLabel::SetLabelFont(CFont* pFont) {
  LOGFONTA lf;
  if (pFont == NULL || !pFont->GetLogFont(&lf)) return;
  m_font.DeleteObject();
  m_font.CreateFontIndirect(&lf);
  UpdateFit();
}

void CAnimatedLabel::DrawLabel(CDC* pDC) {
  CRect rc;
  GetClientRect(&rc);
  CDC memDC;
  if (memDC.CreateCompatibleDC(NULL)) {
    CBitmap* pOld = memDC.SelectObject(&m_bmpBackground);
    pDC->BitBlt(0, 0, rc.Width(), rc.Height(), &memDC, 0, 0, SRCCOPY);
    memDC.SelectObject(pOld);
  }
  const int nLength = m_strText.GetLength();
  int nOffset = m_nOffset < 0 ? 0 : (m_nOffset > nLength ? nLength : m_nOffset);
  CString strDraw = m_strText.Mid(nOffset);
  UINT nFormat;
  if (m_nFitChars >= nLength) {
    nFormat = DT_CENTER | DT_VCENTER;
  } else {
    nFormat = DT_VCENTER;
    while (strDraw.GetLength() < m_nFitChars) {
      strDraw += " ** ";
      strDraw += m_strText;
    }
  }
  pDC->SetBkMode(TRANSPARENT);
  CFont* pOldFont = pDC->SelectObject(&m_font);
  pDC->SetTextColor(m_crText);
  pDC->DrawText(strDraw, &rc, nFormat);
  if (pOldFont) pDC->SelectObject(pOldFont);
}

void CAnimatedLabel::OnPaint() {
  CPaintDC dc(this);
  DrawLabel(&dc);
}

// The label is a button window: while it is pressed the button asks for a drawing of
// itself, which shows the label as it is rather than an empty button look.
void CAnimatedLabel::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
  DrawLabel(CDC::FromHandle(lpDrawItemStruct->hDC));
}

void CAnimatedLabel::OnTimer(UINT_PTR) {
  m_nOffset += 1;
  if (m_nOffset > m_strText.GetLength()) m_nOffset = 0;
  Invalidate(TRUE);
}

BOOL CAnimatedLabel::OnEraseBkgnd(CDC* pDC) { return CBitmapBtn::OnEraseBkgnd(pDC); }
