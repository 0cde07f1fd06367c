// A trackbar drawn from the skin: a track slice and a thumb image centred on the trackbar's
// own thumb rectangle.
#pragma once
#include <afxcmn.h>

class CBitmapSlider : public CSliderCtrl {
  DECLARE_DYNAMIC(CBitmapSlider)
 public:
  CBitmapSlider();

  // Where the thumb image is drawn, in client coordinates.
  void GetThumbDrawRect(CRect* pRect);

  CBitmap m_bmpTrack;
  CBitmap m_bmpThumb;
  CBitmap m_bmpThumbGrabbed;
  int m_bThumbGrabbed;

 protected:
  void OnPaint() override;
  void OnLButtonDown(UINT nFlags, CPoint point) override;
  void OnLButtonUp(UINT nFlags, CPoint point) override;
  void OnMouseMove(UINT nFlags, CPoint point) override;
  void OnCaptureChanged(CWnd* pWnd) override;
  BOOL OnEraseBkgnd(CDC* pDC) override;
  BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt) override;
};
