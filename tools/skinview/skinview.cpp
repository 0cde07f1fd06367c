// skinview: shows the control panel's skinned dialog with an owner that prints every
// notification it receives, one line each, to standard output:
//
//   click <button name>
//   slider <slider name> <code> <value>
//   label <label name>
//   move <element name or ""> <x> <y>
//
// Options: --sliders (also show the volume sliders, which the first page hides),
//          --no-moves (leave out the move lines), --exit-after <ms> (end by itself).
// Checkable buttons toggle their check when clicked; BTN_HIDE ends the program.
#include <afxwin.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "SkinDialog.h"

namespace {

const UINT_PTR kExitTimer = 1;

class CSkinViewDlg : public CSkinDialog {
 public:
  BOOL m_bShowSliders = FALSE;
  BOOL m_bLogMoves = TRUE;
  UINT m_nExitAfter = 0;

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    LoadSkin();
    ShowFirstPage();
    if (m_bShowSliders)
      for (INT_PTR i = 0; i < m_sliders.GetSize(); ++i) m_sliders[i]->ShowWindow(SW_SHOW);
    SetWindowText("Velno-HD Skin Viewer");
    if (m_nExitAfter) SetTimer(kExitTimer, m_nExitAfter);
    printf("ready %d buttons %d sliders %d labels\n", (int)m_buttons.GetSize(), (int)m_sliders.GetSize(),
           (int)m_labels.GetSize());
    return TRUE;
  }

  void OnSkinButtonClick(LPCSTR lpszName) override {
    printf("click %s\n", lpszName);
    if (strcmp(lpszName, "BTN_HIDE") == 0) {
      OnOK();
      return;
    }
    CSkinButton* pButton = FindButton(lpszName);
    if (pButton && pButton->m_bCheckable) SetButtonCheck(lpszName, !GetButtonCheck(lpszName));
  }

  void OnSkinSliderChange(LPCSTR lpszName, int nCode, int nValue) override {
    printf("slider %s %d %d\n", lpszName, nCode, nValue);
  }

  void OnSkinLabelClick(LPCSTR lpszName) override { printf("label %s\n", lpszName); }

  void OnSkinMouseMove(LPCSTR lpszName, int x, int y) override {
    if (m_bLogMoves) printf("move %s %d %d\n", *lpszName ? lpszName : "\"\"", x, y);
  }

 protected:
  void OnTimer(UINT_PTR nIDEvent) override {
    if (nIDEvent == kExitTimer) {
      KillTimer(kExitTimer);
      printf("exit\n");
      EndDialog(IDCANCEL);
      return;
    }
    CSkinDialog::OnTimer(nIDEvent);
  }
};

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IOLBF, 0);
  CSkinViewDlg dlg;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--sliders") == 0) {
      dlg.m_bShowSliders = TRUE;
    } else if (strcmp(argv[i], "--no-moves") == 0) {
      dlg.m_bLogMoves = FALSE;
    } else if (strcmp(argv[i], "--exit-after") == 0 && i + 1 < argc) {
      dlg.m_nExitAfter = (UINT)strtoul(argv[++i], NULL, 10);
    } else {
      fprintf(stderr, "usage: skinview [--sliders] [--no-moves] [--exit-after MS]\n");
      return 2;
    }
  }
  INITCOMMONCONTROLSEX icc;
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&icc);
  INT_PTR nResult = dlg.DoModal();
  if (nResult == -1) {
    fprintf(stderr, "skinview: the dialog could not be created\n");
    return 1;
  }
  return 0;
}
