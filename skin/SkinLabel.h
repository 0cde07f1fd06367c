// A skin label: an animated label with a name and index that reports clicks and pointer
// moves to its skinned dialog.
#pragma once
#include "AnimatedLabel.h"

class CSkinLabel : public CAnimatedLabel {
  DECLARE_DYNAMIC(CSkinLabel)
 public:
  CSkinLabel();

  CString m_strName;
  int m_nIndex;
  DWORD m_dwPageMask;

 protected:
  void OnLButtonUp(UINT nFlags, CPoint point) override;
  void OnMouseMove(UINT nFlags, CPoint point) override;
};
