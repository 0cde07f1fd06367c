// A skin button: a bitmap button with a name and index that reports clicks and pointer
// moves to its skinned dialog.
#pragma once
#include "BitmapBtn.h"

class CSkinButton : public CBitmapBtn {
  DECLARE_DYNAMIC(CSkinButton)
 public:
  CSkinButton();

  // Cuts the four looks at rect from the dialog's full-window images.
  void SetSkinImages(CBitmap* pHover, CBitmap* pPressed, CBitmap* pDisabled, CBitmap* pNormal, const CRect& rect);

  CString m_strName;
  int m_nIndex;
  DWORD m_dwPageMask;

 protected:
  void OnLButtonUp(UINT nFlags, CPoint point) override;
  void OnMouseMove(UINT nFlags, CPoint point) override;
};
