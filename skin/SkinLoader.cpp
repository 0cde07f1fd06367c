// Loading the skin: images, window size and outline, and the elements from the tables.
#include "SkinDialog.h"

static const char kSkinCaption[] = "Tolva-X ASIO CPL";

void CSkinDialog::DiscardSkin() {
  m_bmpBackground.DeleteObject();
  m_bmpHover.DeleteObject();
  m_bmpPressed.DeleteObject();
  m_bmpDisabled.DeleteObject();
  m_bmpNormal.DeleteObject();
  for (INT_PTR i = 0; i < m_buttons.GetSize(); ++i) delete m_buttons[i];
  m_buttons.RemoveAll();
  for (INT_PTR i = 0; i < m_sliders.GetSize(); ++i) delete m_sliders[i];
  m_sliders.RemoveAll();
  for (INT_PTR i = 0; i < m_labels.GetSize(); ++i) delete m_labels[i];
  m_labels.RemoveAll();
}

CRect CSkinDialog::SliceRect(const CRect& rect, DWORD dwPageMask) const {
  CRect slice = rect;
  if (dwPageMask != 0) {
    int k = 0;
    while (!(dwPageMask & (1u << k))) ++k;
    slice.OffsetRect(0, k * m_nSkinHeight);
  }
  return slice;
}

void CSkinDialog::LoadSkin() {
  DiscardSkin();
  m_bmpBackground.LoadBitmap(IDB_SKIN_BACKGROUND);

  // The mask gives the window its size.
  CBitmap mask;
  mask.LoadBitmap(IDB_SKIN_MASK);
  CRect rcWindow;
  GetWindowRect(&rcWindow);
  BITMAP bm;
  if (mask.GetSafeHandle() != NULL && mask.GetBitmap(&bm)) {
    SetWindowPos(&wndTop, rcWindow.left, rcWindow.top, bm.bmWidth, bm.bmHeight, SWP_NOOWNERZORDER);
    m_nSkinWidth = bm.bmWidth;
    m_nSkinHeight = bm.bmHeight;
  } else {
    // Without a mask the window keeps the size its template gave it.
    CRect rcClient;
    GetClientRect(&rcClient);
    m_nSkinWidth = rcClient.Width();
    m_nSkinHeight = rcClient.Height();
  }

  m_bmpHover.LoadBitmap(IDB_SKIN_HOVER);
  m_bmpPressed.LoadBitmap(IDB_SKIN_PRESSED);
  m_bmpDisabled.LoadBitmap(IDB_SKIN_DISABLED);
  m_bmpNormal.LoadBitmap(IDB_SKIN_NORMAL);

  SetSkinRegion(&mask);

  for (int i = 0; i < g_nSkinButtonDefs; ++i) CreateButton(i);
  for (int i = 0; i < g_nSkinLabelDefs; ++i) CreateLabel(i);
  for (int i = 0; i < g_nSkinSliderDefs; ++i) CreateSlider(i);

  Invalidate(TRUE);
}

void CSkinDialog::CreateButton(int nRow) {
  const SKIN_BUTTON_DEF& row = g_skinButtonDefs[nRow];
  const CRect rect(row.x, row.y, row.x + row.cx, row.y + row.cy);
  CSkinButton* pButton = new CSkinButton;
  if (!pButton->Create("", WS_VISIBLE, rect, this, 0)) {
    delete pButton;
    return;
  }
  pButton->m_dwPageMask = row.pageMask;
  const CRect slice = SliceRect(rect, row.pageMask);
  pButton->SetSkinImages(&m_bmpHover, &m_bmpPressed, &m_bmpDisabled, &m_bmpNormal, slice);
  pButton->m_nIndex = nRow;
  pButton->m_strName = row.name;
  pButton->SetTooltipText(row.tip);
  pButton->m_bCheckable = row.checkable;
  m_buttons.Add(pButton);
}

void CSkinDialog::CreateLabel(int nRow) {
  const SKIN_LABEL_DEF& row = g_skinLabelDefs[nRow];
  const CRect rect(row.x, row.y, row.x + row.cx, row.y + row.cy);
  CSkinLabel* pLabel = new CSkinLabel;
  if (!pLabel->Create(row.name, WS_VISIBLE, rect, this, 0)) {
    delete pLabel;
    return;
  }
  pLabel->m_dwPageMask = row.pageMask;
  pLabel->SetBackground(&m_bmpBackground, rect);
  pLabel->m_nIndex = nRow;
  pLabel->m_strName = row.name;
  pLabel->SetText(row.text);
  pLabel->m_crText = row.colour;

  // A point font supplies a complete description; its height, weight and slant are then
  // replaced by the row's.
  CFont pointFont;
  LOGFONTA lf;
  memset(&lf, 0, sizeof(lf));
  if (pointFont.CreatePointFont(row.height, row.face)) pointFont.GetLogFont(&lf);
  lf.lfHeight = row.height;
  lf.lfWeight = row.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = row.upright == 0 ? 1 : 0;
  CFont font;
  if (font.CreateFontIndirect(&lf)) pLabel->SetLabelFont(&font);
  m_labels.Add(pLabel);
}

void CSkinDialog::CreateSlider(int nRow) {
  const SKIN_SLIDER_DEF& row = g_skinSliderDefs[nRow];
  const CRect rect(row.x, row.y, row.x + row.cx, row.y + row.cy);
  CSkinSlider* pSlider = new CSkinSlider;
  if (!pSlider->Create(WS_VISIBLE, rect, this, 0)) {
    delete pSlider;
    return;
  }
  pSlider->m_dwPageMask = row.pageMask;
  const CRect slice = SliceRect(rect, row.pageMask);
  pSlider->SetSliderSkin(&m_bmpNormal, row.thumbImage1, row.thumbImage2, slice);
  pSlider->m_nIndex = nRow;
  pSlider->m_strName = row.name;
  pSlider->SetPos(row.initialPos);
  if (row.horizontal == 0) pSlider->ModifyStyle(0, TBS_VERT);
  m_sliders.Add(pSlider);
}

void CSkinDialog::SetSkinRegion(CBitmap* pMask) {
  if (m_hWnd == NULL) return;
  HRGN hRgn = (pMask != NULL && pMask->GetSafeHandle() != NULL) ? CreateRegionFromBitmap(pMask) : NULL;
  if (hRgn != NULL) {
    if (!SetWindowRgn(hRgn, TRUE)) {
      MessageBox("Wrong Window Region?", kSkinCaption, MB_OK);
      ::DeleteObject(hRgn);
    }
  } else {
    MessageBox("Wrong Region?", kSkinCaption, MB_OK);
  }
  Invalidate(TRUE);
}
