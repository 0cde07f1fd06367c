// The skinned dialog's notification hooks: index forms resolve the element's name.
#include "SkinDialog.h"

void CSkinDialog::OnSkinButtonClick(LPCSTR) {}

void CSkinDialog::OnSkinButtonClickIndex(int nIndex) { OnSkinButtonClick(m_buttons.GetAt(nIndex)->m_strName); }

void CSkinDialog::OnSkinSliderChange(LPCSTR, int, int) {}

void CSkinDialog::OnSkinSliderChangeIndex(int nIndex, int nCode, int nPosition) {
  OnSkinSliderChange(m_sliders.GetAt(nIndex)->m_strName, nCode, 100 - nPosition);
}

void CSkinDialog::OnSkinLabelClick(LPCSTR) {}

void CSkinDialog::OnSkinLabelClickIndex(int nIndex) { OnSkinLabelClick(m_labels.GetAt(nIndex)->m_strName); }

void CSkinDialog::OnSkinMouseMove(LPCSTR, int, int) {}
