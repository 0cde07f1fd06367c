// The skinned dialog's operations on elements by name.
#include "SkinDialog.h"

#include <string.h>

template <class T>
static T* FindByName(CTypedPtrArray<CPtrArray, T*>& list, LPCSTR lpszName) {
  if (lpszName == NULL) return NULL;
  for (INT_PTR i = 0; i < list.GetSize(); ++i) {
    T* p = list[i];
    if (strcmp(p->m_strName, lpszName) == 0) return p;
  }
  return NULL;
}

CSkinButton* CSkinDialog::FindButton(LPCSTR lpszName) { return FindByName(m_buttons, lpszName); }

CSkinSlider* CSkinDialog::FindSlider(LPCSTR lpszName) { return FindByName(m_sliders, lpszName); }

CSkinLabel* CSkinDialog::FindLabel(LPCSTR lpszName) { return FindByName(m_labels, lpszName); }

void CSkinDialog::ShowButton(LPCSTR lpszName, int bShow) {
  if (CSkinButton* p = FindButton(lpszName)) p->ShowWindow(bShow ? SW_SHOW : SW_HIDE);
}

void CSkinDialog::EnableButton(LPCSTR lpszName, int bEnable) {
  if (CSkinButton* p = FindButton(lpszName)) p->EnableWindow(bEnable);
}

void CSkinDialog::SetButtonCheck(LPCSTR lpszName, int bChecked) {
  CSkinButton* p = FindButton(lpszName);
  if (p == NULL) return;
  if (p->m_bChecked != bChecked) {
    p->m_bChecked = bChecked;
    p->Invalidate(TRUE);
  }
  p->RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

int CSkinDialog::GetButtonCheck(LPCSTR lpszName) {
  CSkinButton* p = FindButton(lpszName);
  return p ? p->m_bChecked : 0;
}

void CSkinDialog::ShowSlider(LPCSTR lpszName, int bShow) {
  if (CSkinSlider* p = FindSlider(lpszName)) p->ShowWindow(bShow ? SW_SHOW : SW_HIDE);
}

void CSkinDialog::SetSliderPos(LPCSTR lpszName, int nValue) {
  CSkinSlider* p = FindSlider(lpszName);
  if (p == NULL) return;
  p->SetPos(100 - nValue);
  p->Invalidate(TRUE);
}

int CSkinDialog::GetSliderPos(LPCSTR lpszName) {
  CSkinSlider* p = FindSlider(lpszName);
  return p ? 100 - p->GetPos() : 0;
}

void CSkinDialog::ShowLabel(LPCSTR lpszName, int bShow) {
  if (CSkinLabel* p = FindLabel(lpszName)) p->ShowWindow(bShow ? SW_SHOW : SW_HIDE);
}

void CSkinDialog::SetLabelText(LPCSTR lpszName, LPCSTR lpszText) {
  if (CSkinLabel* p = FindLabel(lpszName)) p->SetText(lpszText);
}
