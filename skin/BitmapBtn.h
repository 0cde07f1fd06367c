// An owner-drawn button with four looks cut from the skin (normal, hover, pressed, disabled),
// hover tracking by mouse capture, and a tooltip.
#pragma once
#include <afxcmn.h>

class CBitmapBtn : public CButton {
  DECLARE_DYNAMIC(CBitmapBtn)
 public:
  CBitmapBtn();
  ~CBitmapBtn() override;

  // Sets the tooltip's text, creating the tooltip and its one tool on first use.
  void SetTooltipText(LPCSTR lpszText);

  CToolTipCtrl m_tooltip;
  int m_bChecked;
  int m_bCheckable;
  int m_bHover;
  CBitmap m_bmpHover;
  CBitmap m_bmpPressed;
  CBitmap m_bmpDisabled;
  CBitmap m_bmpNormal;

  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
  BOOL PreTranslateMessage(MSG* pMsg) override;

 protected:
  void PreSubclassWindow() override;
  void OnMouseMove(UINT nFlags, CPoint point) override;
  void OnKillFocus(CWnd* pNewWnd) override;
  void OnCaptureChanged(CWnd* pWnd) override;
  BOOL OnEraseBkgnd(CDC* pDC) override;

  // The look the button shows for the draw request's state bits.
  CBitmap* ChooseLook(UINT itemState);
  void CreateTooltip();
};
