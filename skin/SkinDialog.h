// A borderless dialog whose outline, face and controls are cut from the skin bitmaps. The
// elements are made from the element tables and addressed by name; clicks and slider moves
// come back to the owner through the OnSkin... hooks with the element's name.
#pragma once
#include <afxtempl.h>

#include "SkinButton.h"
#include "SkinLabel.h"
#include "SkinSlider.h"
#include "SkinTables.h"

class CSkinDialog : public CDialog {
  DECLARE_DYNAMIC(CSkinDialog)
 public:
  CSkinDialog();
  ~CSkinDialog() override;

  BOOL OnInitDialog() override;

  // Notification hooks. The index forms are called by the elements and pass the element's
  // name on; the owner overrides the name forms.
  virtual void OnSkinButtonClick(LPCSTR lpszName);
  virtual void OnSkinButtonClickIndex(int nIndex);
  virtual void OnSkinSliderChange(LPCSTR lpszName, int nCode, int nValue);
  virtual void OnSkinSliderChangeIndex(int nIndex, int nCode, int nPosition);
  virtual void OnSkinLabelClick(LPCSTR lpszName);
  virtual void OnSkinLabelClickIndex(int nIndex);
  virtual void OnSkinMouseMove(LPCSTR lpszName, int x, int y);
  // Cuts the window's outline from the mask: every pure-white pixel is outside.
  virtual void SetSkinRegion(CBitmap* pMask);
  // Builds the whole skin: images, window size and outline, and every element.
  virtual void LoadSkin();

  // Shows the elements of page 0 and hides all others.
  void ShowFirstPage();

  // By-name operations: the first element of that exact name is acted on; an unknown name
  // does nothing and reads as 0. Slider values run 0..100 with value = 100 - position.
  void ShowButton(LPCSTR lpszName, int bShow);
  void EnableButton(LPCSTR lpszName, int bEnable);
  void SetButtonCheck(LPCSTR lpszName, int bChecked);
  int GetButtonCheck(LPCSTR lpszName);
  void ShowSlider(LPCSTR lpszName, int bShow);
  void SetSliderPos(LPCSTR lpszName, int nValue);
  int GetSliderPos(LPCSTR lpszName);
  void ShowLabel(LPCSTR lpszName, int bShow);
  void SetLabelText(LPCSTR lpszName, LPCSTR lpszText);

  CSkinButton* FindButton(LPCSTR lpszName);
  CSkinSlider* FindSlider(LPCSTR lpszName);
  CSkinLabel* FindLabel(LPCSTR lpszName);

  // The region of all pixels of the bitmap that are not pure white (255,255,255), or NULL.
  static HRGN CreateRegionFromBitmap(CBitmap* pBitmap);

  CTypedPtrArray<CPtrArray, CSkinButton*> m_buttons;
  CTypedPtrArray<CPtrArray, CSkinSlider*> m_sliders;
  CTypedPtrArray<CPtrArray, CSkinLabel*> m_labels;
  CBitmap m_bmpBackground;
  CBitmap m_bmpHover;
  CBitmap m_bmpPressed;
  CBitmap m_bmpDisabled;
  CBitmap m_bmpNormal;
  int m_nSkinHeight;
  int m_nSkinWidth;

 protected:
  void OnPaint() override;
  void OnLButtonDown(UINT nFlags, CPoint point) override;
  void OnMouseMove(UINT nFlags, CPoint point) override;

  void DiscardSkin();
  void CreateButton(int nRow);
  void CreateLabel(int nRow);
  void CreateSlider(int nRow);
  // The slice rectangle of an element: its rectangle moved down to the band of its page.
  CRect SliceRect(const CRect& rect, DWORD dwPageMask) const;
};
