#include "SkinLabel.h"

#include "SkinDialog.h"

IMPLEMENT_DYNAMIC(CSkinLabel, CAnimatedLabel)

CSkinLabel::CSkinLabel() : m_nIndex(0), m_dwPageMask(0) {}

void CSkinLabel::OnLButtonUp(UINT nFlags, CPoint point) {
  Default();
  if (CSkinDialog* pDlg = dynamic_cast<CSkinDialog*>(GetParent())) pDlg->OnSkinLabelClickIndex(m_nIndex);
}

// Labels do not light up: a move is only reported.
void CSkinLabel::OnMouseMove(UINT nFlags, CPoint point) {
  if (CSkinDialog* pDlg = dynamic_cast<CSkinDialog*>(GetParent())) pDlg->OnSkinMouseMove(m_strName, point.x, point.y);
}
