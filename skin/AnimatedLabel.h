// A line of text over a slice of the dialog's face. Text that does not fit is drawn left
// aligned and repeated after " ** ", ready to scroll as a marquee.
#pragma once
#include "BitmapBtn.h"

class CAnimatedLabel : public CBitmapBtn {
  DECLARE_DYNAMIC(CAnimatedLabel)
 public:
  CAnimatedLabel();

  void SetText(LPCSTR lpszText);
  // Recomputes how many characters fit (from the width of "W") and whether the text scrolls.
  void UpdateFit();
  // Cuts the label's background at rect from the dialog's face.
  void SetBackground(CBitmap* pBackground, const CRect& rect);
  // Replaces the label's font by a copy of pFont and recomputes the fit.
  void SetLabelFont(CFont* pFont);

  int m_nOffset;
  int m_nFitChars;
  CString m_strText;
  COLORREF m_crText;
  CBitmap m_bmpBackground;
  int m_bMarquee;
  CFont m_font;

  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

 protected:
  void OnPaint() override;
  void OnTimer(UINT_PTR nIDEvent) override;
  BOOL OnEraseBkgnd(CDC* pDC) override;
  void DrawLabel(CDC* pDC);
};
