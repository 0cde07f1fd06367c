// A skinned dialog on a fresh machine, driven by mouse input through the window system.
#pragma once
#include <gtest/gtest.h>

#include <commctrl.h>
#include <testsupport.h>
#include <velno/winstation.h>

#include <memory>

#include "SkinTestSupport.h"

namespace skintest {

class SkinDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    dlg_ = std::make_unique<RecordingDialog>();
    ASSERT_TRUE(dlg_->Create(IDD_SKIN_DIALOG));
    dlg_->SetForegroundWindow();
    Pump();
  }
  void TearDown() override {
    if (dlg_ && dlg_->GetSafeHwnd()) dlg_->DestroyWindow();
    dlg_.reset();
    Pump();
  }

  static void Pump() { velno::winstation::Pump(30); }
  void Mouse(UINT kind, POINT p) {
    ASSERT_TRUE(velno::winstation::Mouse(dlg_->m_hWnd, kind, p.x, p.y));
    Pump();
  }
  void Move(POINT p) { Mouse(WM_MOUSEMOVE, p); }
  void Down(POINT p) { Mouse(WM_LBUTTONDOWN, p); }
  void Up(POINT p) { Mouse(WM_LBUTTONUP, p); }

  POINT Center(CWnd* pElement) const {
    RECT r = dlg_->RectOf(pElement);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }

  // Which of its four looks the button shows now ("normal", "hover", "pressed", "disabled").
  std::string LookOf(CBitmapBtn* pButton) {
    int w = 0, h = 0;
    std::vector<Rgb> screen = WindowPixels(dlg_->m_hWnd, &w, &h);
    if (screen.empty()) return "no capture";
    std::vector<Rgb> shown = Crop(screen, w, dlg_->RectOf(pButton));
    struct Candidate {
      const char* name;
      CBitmap* bitmap;
    };
    for (Candidate c : {Candidate{"normal", &pButton->m_bmpNormal}, Candidate{"hover", &pButton->m_bmpHover},
                        Candidate{"pressed", &pButton->m_bmpPressed}, Candidate{"disabled", &pButton->m_bmpDisabled}})
      if (BitmapPixels(*c.bitmap) == shown) return c.name;
    return "other";
  }

  velno::testing::TempMachine machine_;
  std::unique_ptr<RecordingDialog> dlg_;
};

}  // namespace skintest
