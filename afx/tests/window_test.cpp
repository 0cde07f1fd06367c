// Windows, subclassing, message dispatch and the modal loop of the framework.
#include <gtest/gtest.h>

#include <afxcmn.h>
#include <testsupport.h>
#include <velno/winstation.h>

#include <string>
#include <vector>

namespace {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
  }
  velno::testing::TempMachine machine_;
};

// A window of the framework's own class that records what reaches its handlers.
class CRecordingWnd : public CWnd {
 public:
  std::vector<std::string> seen;
  BOOL bCreated = FALSE;

 protected:
  int OnCreate(LPCREATESTRUCTA cs) override {
    bCreated = TRUE;
    return CWnd::OnCreate(cs);
  }
  void OnTimer(UINT_PTR id) override { seen.push_back("timer " + std::to_string(id)); }
  void OnLButtonDown(UINT, CPoint p) override { seen.push_back("down " + std::to_string(p.x) + "," + std::to_string(p.y)); }
  BOOL OnCommand(WPARAM w, LPARAM) override {
    seen.push_back("command " + std::to_string(LOWORD(w)));
    return TRUE;
  }
};

TEST_F(WindowTest, OwnClassWindowGetsItsCreationAndInput) {
  CRecordingWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, NULL, "recording", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, NULL, NULL));
  EXPECT_TRUE(wnd.bCreated);
  EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
  wnd.SendMessage(WM_COMMAND, 0x8051, 0);
  velno::winstation::Mouse(wnd.m_hWnd, WM_LBUTTONDOWN, 5, 7);
  velno::winstation::Pump();
  ASSERT_EQ(wnd.seen.size(), 2u);
  EXPECT_EQ(wnd.seen[0], "command 32849");
  EXPECT_EQ(wnd.seen[1], "down 5,7");
  HWND h = wnd.m_hWnd;
  EXPECT_TRUE(wnd.DestroyWindow());
  EXPECT_EQ(wnd.m_hWnd, nullptr);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
}

// A button subclassed by the framework still behaves as a button through Default().
class CCountingButton : public CButton {
 public:
  int presses = 0;
  BOOL bPreSubclassed = FALSE;

 protected:
  void PreSubclassWindow() override { bPreSubclassed = TRUE; }
  void OnLButtonDown(UINT nFlags, CPoint point) override {
    ++presses;
    CButton::OnLButtonDown(nFlags, point);
  }
};

TEST_F(WindowTest, SubclassedControlKeepsItsOwnBehaviour) {
  CRecordingWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, NULL, "parent", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, NULL, NULL));
  CCountingButton button;
  ASSERT_TRUE(button.Create("Press", WS_VISIBLE | BS_PUSHBUTTON, CRect(10, 10, 90, 40), &parent, 77));
  EXPECT_TRUE(button.bPreSubclassed);
  EXPECT_EQ(button.GetDlgCtrlID(), 77);
  EXPECT_EQ(button.GetParent(), &parent);
  velno::winstation::Click(parent.m_hWnd, 20, 20);
  velno::winstation::Pump();
  EXPECT_EQ(button.presses, 1);
  // The button's own procedure turned the click into BN_CLICKED for the parent.
  ASSERT_FALSE(parent.seen.empty());
  EXPECT_EQ(parent.seen.back(), "command 77");
}

// A modal dialog runs its own loop, offers messages to PreTranslateMessage, and returns what
// EndDialog was given.
class CTimedDialog : public CDialog {
 public:
  CTimedDialog() : CDialog(102) {}
  int timers = 0;
  int pretranslated = 0;
  BOOL bVisibleAtTimer = FALSE;

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    SetTimer(9, 20);
    return TRUE;
  }
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message == WM_TIMER) ++pretranslated;
    return CDialog::PreTranslateMessage(pMsg);
  }

 protected:
  void OnTimer(UINT_PTR id) override {
    if (id != 9) return CDialog::OnTimer(id);
    bVisibleAtTimer = IsWindowVisible();
    if (++timers == 3) {
      KillTimer(9);
      EndDialog(42);
    }
  }
};

TEST_F(WindowTest, ModalDialogRunsUntilEndDialog) {
  CTimedDialog dlg;
  EXPECT_EQ(dlg.DoModal(), 42);
  EXPECT_EQ(dlg.timers, 3);
  EXPECT_EQ(dlg.pretranslated, 3);
  EXPECT_TRUE(dlg.bVisibleAtTimer);
  EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(WindowTest, ModalDialogEndsWithTheOkButton) {
  class COkDialog : public CDialog {
   public:
    COkDialog() : CDialog(102) {}
    int oks = 0;
    BOOL OnInitDialog() override {
      CDialog::OnInitDialog();
      // Press the template's "Exit" button (IDOK) once the loop runs.
      PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(m_hWnd, IDOK));
      return TRUE;
    }
    void OnOK() override {
      ++oks;
      CDialog::OnOK();
    }
  } dlg;
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.oks, 1);
}

TEST_F(WindowTest, MissingTemplateFailsTheModalRun) {
  CDialog dlg(4711);
  EXPECT_EQ(dlg.DoModal(), -1);
}

TEST_F(WindowTest, TemporaryWrappersDoNotOwnTheirHandles) {
  HWND h = CreateWindowExA(0, "STATIC", "plain", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
  ASSERT_NE(h, nullptr);
  CWnd* temp = CWnd::FromHandle(h);
  ASSERT_NE(temp, nullptr);
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
  EXPECT_EQ(CWnd::FromHandle(h), temp);
  AfxDeleteTempMap();
  EXPECT_TRUE(IsWindow(h));  // deleting the wrapper left the window alone
  DestroyWindow(h);

  CBitmap owned;
  ASSERT_TRUE(owned.CreateBitmap(4, 4, 1, 32, NULL));
  CBitmap* wrapper = CBitmap::FromHandle((HBITMAP)owned.GetSafeHandle());
  EXPECT_NE(wrapper, &owned);
  AfxDeleteTempMap();
  BITMAP bm;
  EXPECT_TRUE(owned.GetBitmap(&bm));
  EXPECT_EQ(bm.bmWidth, 4);
}

}  // namespace
