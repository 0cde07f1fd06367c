// A skin slider: a bitmap slider with a name and index that reports drags and releases to
// its skinned dialog.
#pragma once
#include "BitmapSlider.h"

class CSkinSlider : public CBitmapSlider {
  DECLARE_DYNAMIC(CSkinSlider)
 public:
  CSkinSlider();

  // Cuts the track at rect from the normal image and loads the two thumb bitmaps.
  void SetSliderSkin(CBitmap* pNormal, int nThumbId1, int nThumbId2, const CRect& rect);

  CString m_strName;
  int m_nIndex;
  DWORD m_dwPageMask;
  int m_bDragging;

 protected:
  void OnLButtonDown(UINT nFlags, CPoint point) override;
  void OnLButtonUp(UINT nFlags, CPoint point) override;
  void OnMouseMove(UINT nFlags, CPoint point) override;
};
