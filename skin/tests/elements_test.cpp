// The skin elements driven by mouse input: button looks, clicks and hover, slider reports,
// label fit and drawing.
#include "DialogFixture.h"

#include <algorithm>

namespace skintest {
namespace {

const POINT kFace{150, 350};  // a point of the face, on no element

TEST_F(SkinDialogTest, PlainButtonLooks) {
  CSkinButton* pHide = dlg_->FindButton("BTN_HIDE");
  ASSERT_NE(pHide, nullptr);
  ASSERT_EQ(pHide->m_bCheckable, 0);
  const POINT c = Center(pHide);
  EXPECT_EQ(LookOf(pHide), "normal");

  Move(c);
  EXPECT_EQ(pHide->m_bHover, 1);
  EXPECT_EQ(GetCapture(), pHide->m_hWnd);
  EXPECT_EQ(LookOf(pHide), "hover");

  Down(c);
  EXPECT_EQ(LookOf(pHide), "pressed");
  EXPECT_TRUE(dlg_->Take().empty());

  Up(c);
  EXPECT_EQ(dlg_->Take(), std::vector<std::string>{"click BTN_HIDE"});
  EXPECT_EQ(LookOf(pHide), "normal");  // until the pointer moves again
  Move(POINT{c.x + 1, c.y});
  EXPECT_EQ(LookOf(pHide), "hover");

  // Checked: hover while the pointer is over it, pressed otherwise.
  dlg_->SetButtonCheck("BTN_HIDE", 1);
  EXPECT_EQ(LookOf(pHide), "hover");
  Move(kFace);
  EXPECT_EQ(pHide->m_bHover, 0);
  EXPECT_EQ(LookOf(pHide), "pressed");

  dlg_->SetButtonCheck("BTN_HIDE", 0);
  dlg_->EnableButton("BTN_HIDE", 0);
  EXPECT_EQ(LookOf(pHide), "disabled");
}

TEST_F(SkinDialogTest, CheckableButtonLooks) {
  CSkinButton* pRate = dlg_->FindButton("BTN_P_44K");
  ASSERT_NE(pRate, nullptr);
  ASSERT_EQ(pRate->m_bCheckable, 1);
  const POINT c = Center(pRate);

  dlg_->SetButtonCheck("BTN_P_44K", 1);
  EXPECT_EQ(LookOf(pRate), "pressed");
  Move(c);
  EXPECT_EQ(pRate->m_bHover, 1);
  EXPECT_EQ(LookOf(pRate), "pressed");  // the checked look outranks hover

  dlg_->SetButtonCheck("BTN_P_44K", 0);
  EXPECT_EQ(LookOf(pRate), "hover");
  Down(c);
  EXPECT_EQ(LookOf(pRate), "hover");  // no pressed look of its own while held
  Up(c);
  EXPECT_EQ(dlg_->Take(), std::vector<std::string>{"click BTN_P_44K"});
  EXPECT_EQ(LookOf(pRate), "normal");

  dlg_->SetButtonCheck("BTN_P_44K", 1);
  dlg_->EnableButton("BTN_P_44K", 0);
  EXPECT_EQ(LookOf(pRate), "disabled");
}

TEST_F(SkinDialogTest, ReleaseOutsideTheButtonReportsNothing) {
  CSkinButton* pButton = dlg_->FindButton("BTN_ASIO_24B");
  ASSERT_NE(pButton, nullptr);
  const POINT c = Center(pButton);
  Move(c);
  Down(c);
  Move(kFace);
  EXPECT_EQ(pButton->m_bHover, 0);
  EXPECT_EQ(GetCapture(), pButton->m_hWnd);  // the press still holds the mouse
  Up(kFace);
  EXPECT_TRUE(dlg_->Take().empty());
  EXPECT_EQ(LookOf(pButton), "normal");
  // The press did not drag the window either.
  CRect rc;
  dlg_->GetWindowRect(&rc);
  Move(kFace);
  CRect after;
  dlg_->GetWindowRect(&after);
  EXPECT_EQ(rc, after);
}

TEST_F(SkinDialogTest, NoHoverWhileTheProgramIsNotActive) {
  CSkinButton* pButton = dlg_->FindButton("BTN_R_48K");
  ASSERT_NE(pButton, nullptr);
  velno::winstation::DeactivateThisApp();
  Pump();
  ASSERT_EQ(GetActiveWindow(), nullptr);
  Move(Center(pButton));
  EXPECT_EQ(pButton->m_bHover, 0);
  EXPECT_NE(GetCapture(), pButton->m_hWnd);
  EXPECT_EQ(LookOf(pButton), "normal");

  dlg_->SetForegroundWindow();
  Pump();
  Move(POINT{Center(pButton).x + 1, Center(pButton).y});
  EXPECT_EQ(LookOf(pButton), "hover");
}

TEST_F(SkinDialogTest, ButtonMovesAreReportedWithElementCoordinates) {
  dlg_->bRecordMoves = TRUE;
  CSkinButton* pButton = dlg_->FindButton("BTN_RMCT_START_SVR");
  RECT r = dlg_->RectOf(pButton);
  Move(POINT{r.left + 7, r.top + 3});
  std::vector<std::string> events = dlg_->Take();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0], "move BTN_RMCT_START_SVR 7 3");
}

class SliderTest : public SkinDialogTest {
 protected:
  void SetUp() override {
    SkinDialogTest::SetUp();
    slider_ = dlg_->FindSlider("SLDR_P_VOL_L");
    ASSERT_NE(slider_, nullptr);
    dlg_->ShowSlider("SLDR_P_VOL_L", 1);
    Pump();
    ASSERT_TRUE(slider_->IsWindowVisible());
  }
  // The trackbar's thumb rectangle, in dialog client coordinates.
  RECT ThumbRect() {
    RECT t;
    slider_->SendMessage(TBM_GETTHUMBRECT, 0, (LPARAM)&t);
    RECT s = dlg_->RectOf(slider_);
    OffsetRect(&t, s.left, s.top);
    return t;
  }
  // The reports of this slider, as (code, value).
  std::vector<std::pair<int, int>> Reports() {
    std::vector<std::pair<int, int>> out;
    for (const std::string& e : dlg_->Take()) {
      char name[64];
      int code, value;
      EXPECT_EQ(sscanf(e.c_str(), "slider %63s %d %d", name, &code, &value), 3) << e;
      EXPECT_STREQ(name, "SLDR_P_VOL_L");
      out.push_back({code, value});
    }
    return out;
  }
  CSkinSlider* slider_ = nullptr;
};

TEST_F(SliderTest, DraggingTheThumbReportsEveryMoveAndOneRelease) {
  RECT t = ThumbRect();
  POINT grip{(t.left + t.right) / 2, (t.top + t.bottom) / 2};
  Down(grip);
  EXPECT_EQ(slider_->m_bThumbGrabbed, 1);
  EXPECT_EQ(slider_->m_bDragging, 1);
  std::vector<int> positions;
  for (int dx : {10, 25, 40}) {
    Move(POINT{grip.x + dx, grip.y});
    positions.push_back(slider_->GetPos());
  }
  Up(POINT{grip.x + 40, grip.y});
  EXPECT_EQ(slider_->m_bThumbGrabbed, 0);
  EXPECT_EQ(slider_->m_bDragging, 0);

  std::vector<std::pair<int, int>> reports = Reports();
  ASSERT_EQ(reports.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(reports[i].first, TB_THUMBPOSITION);
    EXPECT_EQ(reports[i].second, 100 - positions[i]);
  }
  EXPECT_GT(positions[0], 50);  // dragged right: the position grows, the value falls
  EXPECT_LT(positions[0], positions[2]);
  EXPECT_EQ(reports[3].first, TB_ENDTRACK);
  EXPECT_EQ(reports[3].second, 100 - slider_->GetPos());
  EXPECT_EQ(dlg_->GetSliderPos("SLDR_P_VOL_L"), reports[3].second);
}

TEST_F(SliderTest, PressOnTheTrackMovesByAPageAndReportsTheNewPosition) {
  RECT s = dlg_->RectOf(slider_);
  RECT t = ThumbRect();
  POINT track{s.right - 4, (t.top + t.bottom) / 2};  // right of the thumb
  ASSERT_GT(track.x, t.right);
  Down(track);
  EXPECT_EQ(slider_->m_bThumbGrabbed, 0);
  const int afterPress = slider_->GetPos();
  EXPECT_GT(afterPress, 50);
  Move(POINT{track.x - 1, track.y});
  Up(POINT{track.x - 1, track.y});
  std::vector<std::pair<int, int>> reports = Reports();
  ASSERT_GE(reports.size(), 2u);
  for (size_t i = 0; i + 1 < reports.size(); ++i) EXPECT_EQ(reports[i].first, TB_THUMBPOSITION);
  EXPECT_EQ(reports.back().first, TB_ENDTRACK);
  EXPECT_EQ(reports.back().second, 100 - slider_->GetPos());
  EXPECT_LE(reports.back().second, 100 - afterPress);
}

TEST_F(SliderTest, PlainMoveIsAMoveNotAChange) {
  dlg_->bRecordMoves = TRUE;
  RECT s = dlg_->RectOf(slider_);
  Move(POINT{s.left + 3, s.top + 4});
  Move(POINT{s.left + 60, s.top + 5});
  std::vector<std::string> events = dlg_->Take();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], "move SLDR_P_VOL_L 3 4");
  EXPECT_EQ(events[1], "move SLDR_P_VOL_L 60 5");
  EXPECT_EQ(slider_->GetPos(), 50);
}

TEST_F(SliderTest, ThumbIsDrawnCentredOnTheTrackbarThumb) {
  BITMAP bm;
  ASSERT_TRUE(slider_->m_bmpThumb.GetBitmap(&bm));
  EXPECT_EQ(bm.bmWidth, 8);
  EXPECT_EQ(bm.bmHeight, 16);
  RECT t;
  slider_->SendMessage(TBM_GETTHUMBRECT, 0, (LPARAM)&t);
  CRect drawn;
  slider_->GetThumbDrawRect(&drawn);
  EXPECT_EQ(drawn.top, 0);
  EXPECT_EQ(drawn.Height(), 16);
  EXPECT_EQ(drawn.left, t.left + (t.right - t.left) / 2 - 4);

  // On screen: the thumb image at that place, the track slice elsewhere.
  int w = 0, h = 0;
  std::vector<Rgb> screen = WindowPixels(dlg_->m_hWnd, &w, &h);
  RECT s = dlg_->RectOf(slider_);
  RECT onScreen = {s.left + drawn.left, s.top, s.left + drawn.right, s.top + 16};
  EXPECT_EQ(Crop(screen, w, onScreen), BitmapPixels(slider_->m_bmpThumb));
}

class LabelTest : public SkinDialogTest {
 protected:
  // The label narrowed to 100 pixels; its background slice (124 wide) still covers it.
  void SetUp() override {
    SkinDialogTest::SetUp();
    label_ = dlg_->FindLabel("TXT_ASIODEVICE");
    ASSERT_NE(label_, nullptr);
    RECT r = dlg_->RectOf(label_);
    label_->MoveWindow(r.left, r.top, 100, r.bottom - r.top);
    HDC hdc = ::GetDC(label_->m_hWnd);
    SIZE size{0, 0};
    GetTextExtentPoint32A(hdc, "W", 1, &size);
    ::ReleaseDC(label_->m_hWnd, hdc);
    widthW_ = size.cx;
    ASSERT_GT(widthW_, 0);
  }

  // What the label should show: its background and the text drawn with the format.
  std::vector<Rgb> Expected(const std::string& text, UINT format) {
    CRect rc;
    label_->GetClientRect(&rc);
    HDC hScreen = ::GetDC(NULL);
    HDC hdc = CreateCompatibleDC(hScreen);
    HBITMAP hbm = CreateCompatibleBitmap(hScreen, rc.Width(), rc.Height());
    HGDIOBJ old = SelectObject(hdc, hbm);
    HDC hBack = CreateCompatibleDC(hScreen);
    HGDIOBJ oldBack = SelectObject(hBack, label_->m_bmpBackground.GetSafeHandle());
    BitBlt(hdc, 0, 0, rc.Width(), rc.Height(), hBack, 0, 0, SRCCOPY);
    SelectObject(hBack, oldBack);
    DeleteDC(hBack);
    SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(hdc, label_->m_font.GetSafeHandle());
    SetTextColor(hdc, label_->m_crText);
    DrawTextA(hdc, text.c_str(), (int)text.size(), &rc, format);
    SelectObject(hdc, oldFont);
    SelectObject(hdc, old);
    DeleteDC(hdc);
    ::ReleaseDC(NULL, hScreen);
    std::vector<Rgb> px = BitmapPixels(hbm);
    DeleteObject(hbm);
    return px;
  }
  std::vector<Rgb> Shown() {
    Pump();
    int w = 0, h = 0;
    std::vector<Rgb> screen = WindowPixels(dlg_->m_hWnd, &w, &h);
    return Crop(screen, w, dlg_->RectOf(label_));
  }

  CSkinLabel* label_ = nullptr;
  int widthW_ = 0;
};

TEST_F(LabelTest, FitIsTwiceTheWidthOverTheWidthOfW) {
  label_->SetText("Velno");
  EXPECT_EQ(label_->m_nFitChars, 200 / widthW_);
  if (widthW_ == 10) EXPECT_EQ(label_->m_nFitChars, 20);
  const int fit = label_->m_nFitChars;

  const std::string fits(fit, 'x');
  dlg_->SetLabelText("TXT_ASIODEVICE", fits.c_str());
  EXPECT_EQ(label_->m_bMarquee, 0);
  EXPECT_EQ(Shown(), Expected(fits, DT_CENTER | DT_VCENTER));

  const std::string tooLong = "Velno-HD USB Audio 2.0 DAC Device Interface";
  const std::string text = tooLong.substr(0, fit + 1);
  dlg_->SetLabelText("TXT_ASIODEVICE", text.c_str());
  EXPECT_EQ(label_->m_bMarquee, 1);
  std::vector<Rgb> shown = Shown();
  EXPECT_EQ(shown, Expected(text, DT_VCENTER));
  // Left aligned, not centred.
  EXPECT_NE(shown, Expected(text, DT_CENTER | DT_VCENTER));
}

TEST_F(LabelTest, MarqueeStepsWrapAndSettingTextStartsOver) {
  const std::string text(label_->m_nFitChars + 5, 'i');
  label_->SetText(text.c_str());
  ASSERT_EQ(label_->m_bMarquee, 1);
  // Each timer message moves the text one character; past its end it starts again.
  for (int i = 1; i <= (int)text.size(); ++i) {
    label_->SendMessage(WM_TIMER, 7, 0);
    EXPECT_EQ(label_->m_nOffset, i);
  }
  label_->SendMessage(WM_TIMER, 7, 0);
  EXPECT_EQ(label_->m_nOffset, 0);

  label_->m_nOffset = 3;
  std::string drawn = text.substr(3);
  while ((int)drawn.size() < label_->m_nFitChars) drawn += " ** " + text;
  label_->Invalidate(TRUE);
  EXPECT_EQ(Shown(), Expected(drawn, DT_VCENTER));

  dlg_->SetLabelText("TXT_ASIODEVICE", "Stop");
  EXPECT_EQ(label_->m_nOffset, 0);
  EXPECT_EQ(label_->m_bMarquee, 0);
}

TEST_F(LabelTest, ClickAndMoveAreReportedByName) {
  dlg_->bRecordMoves = TRUE;
  POINT c = Center(label_);
  Move(c);
  Down(c);
  Up(c);
  std::vector<std::string> events = dlg_->Take();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].rfind("move TXT_ASIODEVICE ", 0), 0u) << events[0];
  EXPECT_EQ(events.back(), "label TXT_ASIODEVICE");
  EXPECT_EQ(label_->m_bHover, 0);  // labels never light up
}

}  // namespace
}  // namespace skintest
