// The skinned dialog: loading, the by-name operations and the face's mouse handling.
#include "DialogFixture.h"

#include <chrono>
#include <set>
#include <thread>

namespace skintest {
namespace {

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) out.push_back(h);
  return out;
}

TEST_F(SkinDialogTest, LoadSkinBuildsEveryElementOnceEvenWhenRepeated) {
  auto check = [&] {
    ASSERT_EQ(dlg_->m_buttons.GetSize(), g_nSkinButtonDefs);
    ASSERT_EQ(dlg_->m_sliders.GetSize(), g_nSkinSliderDefs);
    ASSERT_EQ(dlg_->m_labels.GetSize(), g_nSkinLabelDefs);
    EXPECT_EQ(g_nSkinButtonDefs + g_nSkinSliderDefs + g_nSkinLabelDefs, 57);
    // The elements plus the template's "Exit" button.
    EXPECT_EQ(Children(dlg_->m_hWnd).size(), 58u);
    for (int i = 0; i < g_nSkinButtonDefs; ++i) {
      EXPECT_STREQ(dlg_->m_buttons[i]->m_strName, g_skinButtonDefs[i].name);
      EXPECT_EQ(dlg_->m_buttons[i]->m_nIndex, i);
      EXPECT_EQ(dlg_->RectOf(dlg_->m_buttons[i]).left, g_skinButtonDefs[i].x);
      EXPECT_EQ(dlg_->RectOf(dlg_->m_buttons[i]).bottom, g_skinButtonDefs[i].y + g_skinButtonDefs[i].cy);
      EXPECT_EQ(dlg_->m_buttons[i]->m_bCheckable, g_skinButtonDefs[i].checkable);
    }
    for (int i = 0; i < g_nSkinLabelDefs; ++i) EXPECT_STREQ(dlg_->m_labels[i]->m_strText, g_skinLabelDefs[i].text);
    for (int i = 0; i < g_nSkinSliderDefs; ++i) EXPECT_EQ(dlg_->m_sliders[i]->GetPos(), 50);
  };
  check();
  std::vector<HWND> before = Children(dlg_->m_hWnd);
  dlg_->LoadSkin();
  Pump();
  check();
  int survivors = 0;
  for (HWND h : before) survivors += IsWindow(h) ? 1 : 0;
  EXPECT_EQ(survivors, 1);  // only "Exit"
}

TEST_F(SkinDialogTest, WindowTakesTheMaskSizeAndOnlyTheFirstPageShows) {
  CRect rc;
  dlg_->GetWindowRect(&rc);
  EXPECT_EQ(rc.Width(), 299);
  EXPECT_EQ(rc.Height(), 640);
  EXPECT_EQ(dlg_->m_nSkinWidth, 299);
  EXPECT_EQ(dlg_->m_nSkinHeight, 640);
  for (INT_PTR i = 0; i < dlg_->m_buttons.GetSize(); ++i) EXPECT_TRUE(dlg_->m_buttons[i]->IsWindowVisible());
  for (INT_PTR i = 0; i < dlg_->m_labels.GetSize(); ++i) EXPECT_TRUE(dlg_->m_labels[i]->IsWindowVisible());
  for (INT_PTR i = 0; i < dlg_->m_sliders.GetSize(); ++i) EXPECT_FALSE(dlg_->m_sliders[i]->IsWindowVisible());
  // The outline is the mask's: a corner is outside the window.
  HRGN hRgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(dlg_->m_hWnd, hRgn) == ERROR, false);
  EXPECT_FALSE(PtInRegion(hRgn, 0, 0));
  EXPECT_TRUE(PtInRegion(hRgn, 150, 320));
  DeleteObject(hRgn);
}

TEST_F(SkinDialogTest, SliderValuesAreOneHundredMinusThePosition) {
  struct Case {
    int value, position, readBack;
  };
  CSkinSlider* pSlider = dlg_->FindSlider("SLDR_R_VOL_L");
  ASSERT_NE(pSlider, nullptr);
  EXPECT_EQ(dlg_->GetSliderPos("SLDR_R_VOL_L"), 50);
  for (Case c : {Case{30, 70, 30}, Case{120, 0, 100}, Case{-20, 100, 0}, Case{0, 100, 0}, Case{100, 0, 100}}) {
    dlg_->SetSliderPos("SLDR_R_VOL_L", c.value);
    EXPECT_EQ((int)pSlider->SendMessage(TBM_GETPOS), c.position) << c.value;
    EXPECT_EQ(dlg_->GetSliderPos("SLDR_R_VOL_L"), c.readBack) << c.value;
  }
  // The other sliders are untouched.
  EXPECT_EQ(dlg_->GetSliderPos("SLDR_R_VOL_R"), 50);
}

TEST_F(SkinDialogTest, NamesMatchExactlyAndTheFirstOfTwoWins) {
  EXPECT_EQ(dlg_->GetButtonCheck("NO_SUCH_BUTTON"), 0);
  EXPECT_EQ(dlg_->GetSliderPos("NO_SUCH_SLIDER"), 0);
  dlg_->SetButtonCheck("btn_p_32k", 1);  // names are case-sensitive
  dlg_->SetLabelText("NO_SUCH_LABEL", "x");
  for (INT_PTR i = 0; i < dlg_->m_buttons.GetSize(); ++i) EXPECT_EQ(dlg_->m_buttons[i]->m_bChecked, 0);

  CSkinButton* pFirst = dlg_->m_buttons[1];   // BTN_P_32K
  CSkinButton* pSecond = dlg_->m_buttons[2];  // renamed to the same name
  pSecond->m_strName = "BTN_P_32K";
  dlg_->SetButtonCheck("BTN_P_32K", 1);
  EXPECT_EQ(pFirst->m_bChecked, 1);
  EXPECT_EQ(pSecond->m_bChecked, 0);
  dlg_->ShowButton("BTN_P_32K", 0);
  EXPECT_FALSE(pFirst->IsWindowVisible());
  EXPECT_TRUE(pSecond->IsWindowVisible());
  dlg_->EnableButton("BTN_P_32K", 0);
  EXPECT_FALSE(pFirst->IsWindowEnabled());
  EXPECT_TRUE(pSecond->IsWindowEnabled());

  CSkinLabel* pLabel = dlg_->m_labels[4];  // TXT_ASIODSD, renamed to the first label's name
  pLabel->m_strName = "TXT_ASIOSTATE";
  dlg_->SetLabelText("TXT_ASIOSTATE", "Run");
  EXPECT_STREQ(dlg_->m_labels[0]->m_strText, "Run");
  EXPECT_STREQ(pLabel->m_strText, "DSD");
}

TEST_F(SkinDialogTest, SetButtonCheckRedrawsAtOnceEvenWithoutAChange) {
  CSkinButton* pButton = dlg_->FindButton("BTN_P_48K");
  ASSERT_NE(pButton, nullptr);
  const POINT probe{40, 7};  // inside the button's slice, away from its edge
  auto pixelNow = [&] {
    HDC hdc = ::GetDC(pButton->m_hWnd);
    COLORREF c = GetPixel(hdc, probe.x, probe.y);
    ::ReleaseDC(pButton->m_hWnd, hdc);
    return c;
  };
  auto slicePixel = [&](CBitmap& bmp) {
    int w = 0;
    std::vector<Rgb> px = BitmapPixels(bmp, &w);
    Rgb c = px[(size_t)probe.y * w + probe.x];
    return RGB(c.r, c.g, c.b);
  };
  auto scribble = [&] {
    HDC hdc = ::GetDC(pButton->m_hWnd);
    HBRUSH hBrush = CreateSolidBrush(RGB(255, 0, 255));
    RECT rc = {0, 0, 63, 14};
    FillRect(hdc, &rc, hBrush);
    DeleteObject(hBrush);
    ::ReleaseDC(pButton->m_hWnd, hdc);
  };
  ASSERT_NE(slicePixel(pButton->m_bmpPressed), slicePixel(pButton->m_bmpNormal));

  scribble();
  ASSERT_EQ(pixelNow(), RGB(255, 0, 255));
  dlg_->SetButtonCheck("BTN_P_48K", 1);  // a change
  EXPECT_EQ(pixelNow(), slicePixel(pButton->m_bmpPressed));

  scribble();
  dlg_->SetButtonCheck("BTN_P_48K", 1);  // the same value again
  EXPECT_EQ(pixelNow(), slicePixel(pButton->m_bmpPressed));

  scribble();
  dlg_->SetButtonCheck("BTN_P_48K", 0);
  EXPECT_EQ(pixelNow(), slicePixel(pButton->m_bmpNormal));
}

// The person's gesture, from another thread with pauses, while this thread runs the window:
// a drag runs its own loop on this thread until the button is released.
void Gesture(HWND hwnd, POINT from, POINT to) {
  RECT origin;
  GetWindowRect(hwnd, &origin);
  std::thread person([=] {
    // The points stay where they were on the screen while the window moves under them.
    auto at = [&](UINT kind, POINT p) {
      RECT now;
      GetWindowRect(hwnd, &now);
      velno::winstation::Mouse(hwnd, kind, origin.left + p.x - now.left, origin.top + p.y - now.top);
      std::this_thread::sleep_for(std::chrono::milliseconds(80));
    };
    at(WM_LBUTTONDOWN, from);
    at(WM_MOUSEMOVE, POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
    at(WM_MOUSEMOVE, to);
    at(WM_LBUTTONUP, to);
  });
  velno::winstation::Pump(400);
  person.join();
  velno::winstation::Pump(30);
}

TEST_F(SkinDialogTest, PressOnTheFaceDragsTheWindowButNotOnAnElement) {
  CRect start;
  dlg_->GetWindowRect(&start);
  // Inside the outline, on no element: the product name between the sections.
  const POINT face{150, 350};
  ASSERT_EQ(ChildWindowFromPoint(dlg_->m_hWnd, face), dlg_->m_hWnd);
  Gesture(dlg_->m_hWnd, face, POINT{face.x + 40, face.y + 30});
  CRect moved;
  dlg_->GetWindowRect(&moved);
  EXPECT_EQ(moved.left - start.left, 40);
  EXPECT_EQ(moved.top - start.top, 30);
  EXPECT_EQ(moved.Width(), 299);

  // The same gesture on a button and on a slider leaves the window where it is.
  dlg_->ShowSlider("SLDR_P_VOL_L", 1);
  Pump();
  for (CWnd* pElement : {(CWnd*)dlg_->FindButton("BTN_R_96K"), (CWnd*)dlg_->FindSlider("SLDR_P_VOL_L")}) {
    POINT p = Center(pElement);
    Gesture(dlg_->m_hWnd, p, POINT{p.x + 5, p.y + 30});
    CRect after;
    dlg_->GetWindowRect(&after);
    EXPECT_EQ(after, moved);
  }
}

TEST_F(SkinDialogTest, FaceMovesAreReportedWithoutAName) {
  dlg_->bRecordMoves = TRUE;
  Move(POINT{150, 345});
  std::vector<std::string> events = dlg_->Take();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), "move  150 345");
}

TEST_F(SkinDialogTest, IndexOutsideItsListThrows) {
  auto throwsInvalidArg = [](auto call) {
    try {
      call();
    } catch (CInvalidArgException* e) {
      e->Delete();
      return true;
    }
    return false;
  };
  EXPECT_TRUE(throwsInvalidArg([&] { dlg_->OnSkinButtonClickIndex(43); }));
  EXPECT_TRUE(throwsInvalidArg([&] { dlg_->OnSkinSliderChangeIndex(-1, TB_ENDTRACK, 0); }));
  EXPECT_TRUE(throwsInvalidArg([&] { dlg_->OnSkinLabelClickIndex(10); }));
  EXPECT_TRUE(dlg_->events.empty());
  dlg_->OnSkinSliderChangeIndex(3, TB_THUMBPOSITION, 70);
  ASSERT_EQ(dlg_->events.size(), 1u);
  EXPECT_EQ(dlg_->events[0], "slider SLDR_R_VOL_R 4 30");
}

}  // namespace
}  // namespace skintest

namespace skintest {
namespace {

// The boxes the skin showed, as "text|caption|type".
std::vector<std::string> Boxes() {
  std::vector<std::string> out;
  for (const std::string& line : velno::winstation::UiLog("messagebox")) {
    nlohmann::json j = nlohmann::json::parse(line);
    out.push_back(j.value("text", "") + "|" + j.value("caption", "") + "|" + std::to_string(j.value("type", -1)));
  }
  return out;
}

TEST_F(SkinDialogTest, OutlineFailuresAreShownAndTheWindowStaysRectangular) {
  EXPECT_TRUE(Boxes().empty());  // the shipped mask loads without a word

  CBitmap none;
  dlg_->SetSkinRegion(&none);
  ASSERT_EQ(Boxes(), std::vector<std::string>{"Wrong Region?|Tolva-X ASIO CPL|0"});

  // An all-white mask is a valid (empty) outline: the window accepts it.
  CBitmap white;
  white.Attach(MakeBitmap(299, 640, [](int, int) { return Rgb{255, 255, 255}; }));
  dlg_->SetSkinRegion(&white);
  EXPECT_EQ(Boxes().size(), 1u);
  HRGN hRgn = CreateRectRgn(0, 0, 0, 0);
  RECT box;
  EXPECT_EQ(GetWindowRgn(dlg_->m_hWnd, hRgn), NULLREGION);
  EXPECT_EQ(GetRgnBox(hRgn, &box), NULLREGION);
  DeleteObject(hRgn);
}

}  // namespace
}  // namespace skintest
