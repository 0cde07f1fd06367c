// The skinned dialog's construction, painting and the face's mouse handling.
#include "SkinDialog.h"

IMPLEMENT_DYNAMIC(CSkinDialog, CDialog)

CSkinDialog::CSkinDialog() : CDialog(IDD_SKIN_DIALOG, NULL), m_nSkinHeight(0), m_nSkinWidth(0) {}

CSkinDialog::~CSkinDialog() { DiscardSkin(); }

BOOL CSkinDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  LoadSkin();
  return TRUE;
}

void CSkinDialog::ShowFirstPage() {
  for (INT_PTR i = 0; i < m_buttons.GetSize(); ++i)
    m_buttons[i]->ShowWindow((m_buttons[i]->m_dwPageMask & 1) ? SW_SHOW : SW_HIDE);
  for (INT_PTR i = 0; i < m_labels.GetSize(); ++i)
    m_labels[i]->ShowWindow((m_labels[i]->m_dwPageMask & 1) ? SW_SHOW : SW_HIDE);
  for (INT_PTR i = 0; i < m_sliders.GetSize(); ++i)
    m_sliders[i]->ShowWindow((m_sliders[i]->m_dwPageMask & 1) ? SW_SHOW : SW_HIDE);
}

void CSkinDialog::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  CDC memDC;
  if (memDC.CreateCompatibleDC(&dc)) {
    CBitmap* pOld = memDC.SelectObject(&m_bmpBackground);
    dc.BitBlt(0, 0, rc.Width(), rc.Height(), &memDC, 0, 0, SRCCOPY);
    memDC.SelectObject(pOld);
  }
  // The elements repaint themselves over the face.
  for (INT_PTR i = 0; i < m_buttons.GetSize(); ++i) m_buttons[i]->Invalidate(TRUE);
  for (INT_PTR i = 0; i < m_sliders.GetSize(); ++i) m_sliders[i]->Invalidate(TRUE);
  for (INT_PTR i = 0; i < m_labels.GetSize(); ++i) m_labels[i]->Invalidate(TRUE);
}

// A press on the face drags the window, as a press on a caption would.
void CSkinDialog::OnLButtonDown(UINT nFlags, CPoint point) {
  PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
  CDialog::OnLButtonDown(nFlags, point);
}

void CSkinDialog::OnMouseMove(UINT nFlags, CPoint point) {
  CDialog::OnMouseMove(nFlags, point);
  OnSkinMouseMove("", point.x, point.y);
}
