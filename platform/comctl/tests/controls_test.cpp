// Controls driven by real input: owner-drawn button states and clicks, the trackbar's drag and
// page notifications, tooltips.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <velno/winstation.h>
#include <windows.h>

#include <vector>

#include "testsupport.h"

namespace {

struct Event {
  UINT msg;
  UINT code;   // WM_COMMAND notification, WM_DRAWITEM item state, or trackbar code
  LONG value;  // trackbar position in the notification
};
std::vector<Event>* g_events;

LRESULT CALLBACK ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (!g_events) return DefWindowProcA(h, m, w, l);
  switch (m) {
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(l);
      g_events->push_back({m, d->itemState & (ODS_SELECTED | ODS_DISABLED), (LONG)d->CtlType});
      return TRUE;
    }
    case WM_COMMAND: g_events->push_back({m, HIWORD(w), LOWORD(w)}); return 0;
    case WM_HSCROLL:
    case WM_VSCROLL: g_events->push_back({m, LOWORD(w), (LONG)(short)HIWORD(w)}); return 0;
  }
  return DefWindowProcA(h, m, w, l);
}

HWND Parent() {
  static bool reg = false;
  if (!reg) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = "ControlsParent";
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    RegisterClassA(&wc);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&icc));
    reg = true;
  }
  HWND p = CreateWindowExA(0, "ControlsParent", "controls", WS_POPUP | WS_VISIBLE, 50, 50, 300, 200, nullptr, nullptr,
                           nullptr, nullptr);
  velno::winstation::Pump(10);
  return p;
}

std::vector<Event> Only(const std::vector<Event>& all, UINT msg) {
  std::vector<Event> out;
  for (const Event& e : all)
    if (e.msg == msg) out.push_back(e);
  return out;
}

TEST(OwnerDraw, PressedReleasedAndDisabledStates) {
  velno::testing::TempMachine machine;
  std::vector<Event> ev;
  g_events = &ev;
  HWND p = Parent();
  HWND b = CreateWindowExA(0, "Button", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 10, 10, 60, 20, p, (HMENU)7, nullptr, nullptr);
  velno::winstation::Pump(10);
  ASSERT_FALSE(Only(ev, WM_DRAWITEM).empty());
  EXPECT_EQ(0u, Only(ev, WM_DRAWITEM).back().code);
  EXPECT_EQ((LONG)ODT_BUTTON, Only(ev, WM_DRAWITEM).back().value);

  ev.clear();
  velno::winstation::Mouse(b, WM_LBUTTONDOWN, 5, 5);
  velno::winstation::Pump(10);
  ASSERT_FALSE(Only(ev, WM_DRAWITEM).empty());
  EXPECT_EQ((UINT)ODS_SELECTED, Only(ev, WM_DRAWITEM).back().code);
  EXPECT_TRUE(Only(ev, WM_COMMAND).empty());
  velno::winstation::Mouse(b, WM_LBUTTONUP, 5, 5);
  velno::winstation::Pump(10);
  EXPECT_EQ(0u, Only(ev, WM_DRAWITEM).back().code);
  ASSERT_EQ(1u, Only(ev, WM_COMMAND).size());
  EXPECT_EQ((UINT)BN_CLICKED, Only(ev, WM_COMMAND)[0].code);
  EXPECT_EQ(7, Only(ev, WM_COMMAND)[0].value);

  // moving out while held shows it released; releasing outside is no click
  ev.clear();
  velno::winstation::Mouse(b, WM_LBUTTONDOWN, 5, 5);
  velno::winstation::Mouse(b, WM_MOUSEMOVE, 100, 5);
  velno::winstation::Pump(10);
  EXPECT_EQ(0u, Only(ev, WM_DRAWITEM).back().code);
  velno::winstation::Mouse(b, WM_LBUTTONUP, 100, 5);
  velno::winstation::Pump(10);
  EXPECT_TRUE(Only(ev, WM_COMMAND).empty());
  EXPECT_EQ(nullptr, GetCapture());

  ev.clear();
  EnableWindow(b, FALSE);
  velno::winstation::Pump(10);
  ASSERT_FALSE(Only(ev, WM_DRAWITEM).empty());
  EXPECT_EQ((UINT)ODS_DISABLED, Only(ev, WM_DRAWITEM).back().code);
  velno::winstation::Click(b, 5, 5);  // a disabled button gets no input
  velno::winstation::Pump(10);
  EXPECT_TRUE(Only(ev, WM_COMMAND).empty());
  g_events = nullptr;
  DestroyWindow(p);
}

TEST(Button, CheckStatesAndStyleChange) {
  velno::testing::TempMachine machine;
  HWND p = Parent();
  HWND c = CreateWindowExA(0, "Button", "check", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 40, 80, 20, p, (HMENU)8, nullptr, nullptr);
  EXPECT_EQ(BST_UNCHECKED, SendMessageA(c, BM_GETCHECK, 0, 0));
  velno::winstation::Click(c, 3, 3);
  velno::winstation::Pump(10);
  EXPECT_EQ(BST_CHECKED, SendMessageA(c, BM_GETCHECK, 0, 0));
  SendMessageA(c, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
  EXPECT_EQ(BS_OWNERDRAW, GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK);
  EXPECT_TRUE(GetWindowLongA(c, GWL_STYLE) & WS_CHILD);
  DestroyWindow(p);
}

struct TrackbarFixture {
  HWND parent, tb;
  std::vector<Event> ev;
  TrackbarFixture(DWORD style = 0) {
    g_events = &ev;
    parent = Parent();
    tb = CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE | style, 12, 20, 132, 18, parent, nullptr, nullptr, nullptr);
    velno::winstation::Pump(10);
  }
  ~TrackbarFixture() {
    g_events = nullptr;
    DestroyWindow(parent);
  }
  RECT Thumb() {
    RECT r;
    SendMessageA(tb, TBM_GETTHUMBRECT, 0, (LPARAM)&r);
    return r;
  }
  LONG Pos() { return (LONG)SendMessageA(tb, TBM_GETPOS, 0, 0); }
};

TEST(Trackbar, DefaultsRangeAndThumbRectangle) {
  velno::testing::TempMachine machine;
  TrackbarFixture f;
  EXPECT_EQ(0, SendMessageA(f.tb, TBM_GETRANGEMIN, 0, 0));
  EXPECT_EQ(100, SendMessageA(f.tb, TBM_GETRANGEMAX, 0, 0));
  EXPECT_EQ(20, SendMessageA(f.tb, TBM_GETPAGESIZE, 0, 0));
  SendMessageA(f.tb, TBM_SETPOS, TRUE, 150);
  EXPECT_EQ(100, f.Pos());  // clamped
  SendMessageA(f.tb, TBM_SETPOS, TRUE, -20);
  EXPECT_EQ(0, f.Pos());
  RECT left = f.Thumb();
  SendMessageA(f.tb, TBM_SETPOS, TRUE, 100);
  RECT right = f.Thumb();
  EXPECT_EQ(left.right - left.left, right.right - right.left);
  EXPECT_GT(right.left, left.left + 100);
  EXPECT_GE(left.left, 0);
  EXPECT_LE(right.right, 132);
  EXPECT_TRUE(f.ev.empty()) << "TBM_SETPOS notifies nobody";
}

TEST(Trackbar, DraggingTheThumbTracksThenReportsPositionAndEnd) {
  velno::testing::TempMachine machine;
  TrackbarFixture f;
  SendMessageA(f.tb, TBM_SETPOS, TRUE, 50);
  RECT t = f.Thumb();
  int cx = (t.left + t.right) / 2, cy = (t.top + t.bottom) / 2;
  velno::winstation::Mouse(f.tb, WM_LBUTTONDOWN, cx, cy);
  velno::winstation::Mouse(f.tb, WM_MOUSEMOVE, cx + 23, cy);
  velno::winstation::Mouse(f.tb, WM_MOUSEMOVE, cx + 46, cy);
  velno::winstation::Mouse(f.tb, WM_MOUSEMOVE, cx + 46, cy + 1);  // same position: no report
  velno::winstation::Mouse(f.tb, WM_LBUTTONUP, cx + 46, cy + 1);
  velno::winstation::Pump(20);
  std::vector<Event> s = Only(f.ev, WM_HSCROLL);
  ASSERT_EQ(4u, s.size());
  EXPECT_EQ((UINT)TB_THUMBTRACK, s[0].code);
  EXPECT_EQ((UINT)TB_THUMBTRACK, s[1].code);
  EXPECT_GT(s[1].value, s[0].value);
  EXPECT_GT(s[0].value, 50);
  EXPECT_EQ((UINT)TB_THUMBPOSITION, s[2].code);
  EXPECT_EQ(s[1].value, s[2].value);
  EXPECT_EQ((UINT)TB_ENDTRACK, s[3].code);
  EXPECT_EQ(s[2].value, f.Pos());
  EXPECT_EQ(nullptr, GetCapture());
}

TEST(Trackbar, PressBesideTheThumbPagesWithRepeatUntilItReachesThePointer) {
  velno::testing::TempMachine machine;
  TrackbarFixture f;
  SendMessageA(f.tb, TBM_SETPOS, TRUE, 90);
  RECT t = f.Thumb();
  int y = (t.top + t.bottom) / 2;
  // left of the thumb: one page at once
  velno::winstation::Mouse(f.tb, WM_LBUTTONDOWN, 20, y);
  velno::winstation::Pump(20);
  std::vector<Event> s = Only(f.ev, WM_HSCROLL);
  ASSERT_EQ(1u, s.size());
  EXPECT_EQ((UINT)TB_PAGEUP, s[0].code);
  EXPECT_EQ(70, f.Pos());
  // held: repeats until the thumb is under the pointer, then stops
  velno::winstation::Pump(1200, 1200);
  s = Only(f.ev, WM_HSCROLL);
  EXPECT_GE(s.size(), 3u);
  for (const Event& e : s) EXPECT_EQ((UINT)TB_PAGEUP, e.code);
  LONG held = f.Pos();
  EXPECT_LT(held, 30);
  RECT now = f.Thumb();
  EXPECT_LE(now.left, 20);
  velno::winstation::Mouse(f.tb, WM_LBUTTONUP, 20, y);
  velno::winstation::Pump(20);
  s = Only(f.ev, WM_HSCROLL);
  EXPECT_EQ((UINT)TB_ENDTRACK, s.back().code);
  EXPECT_EQ(1, std::count_if(s.begin(), s.end(), [](const Event& e) { return e.code == TB_ENDTRACK; }));
  EXPECT_EQ(held, f.Pos());
  // right of the thumb pages down
  f.ev.clear();
  velno::winstation::Click(f.tb, 125, y);
  velno::winstation::Pump(20);
  s = Only(f.ev, WM_HSCROLL);
  ASSERT_EQ(2u, s.size());
  EXPECT_EQ((UINT)TB_PAGEDOWN, s[0].code);
  EXPECT_EQ((UINT)TB_ENDTRACK, s[1].code);
  EXPECT_EQ(held + 20, f.Pos());
}

TEST(Trackbar, VerticalStyleSendsVerticalScrolls) {
  velno::testing::TempMachine machine;
  TrackbarFixture f;
  SetWindowLongA(f.tb, GWL_STYLE, GetWindowLongA(f.tb, GWL_STYLE) | TBS_VERT);
  SetWindowPos(f.tb, nullptr, 0, 0, 18, 132, SWP_NOMOVE | SWP_NOZORDER);
  SendMessageA(f.tb, TBM_SETPOS, TRUE, 0);
  RECT t = f.Thumb();
  EXPECT_LT(t.top, 10);
  EXPECT_GT(t.bottom - t.top, 0);
  velno::winstation::Click(f.tb, 9, 120);
  velno::winstation::Pump(20);
  std::vector<Event> s = Only(f.ev, WM_VSCROLL);
  ASSERT_EQ(2u, s.size());
  EXPECT_EQ((UINT)TB_PAGEDOWN, s[0].code);
  EXPECT_EQ(20, f.Pos());
}

TEST(Tooltip, ToolsTextAndActivation) {
  velno::testing::TempMachine machine;
  HWND p = Parent();
  HWND b = CreateWindowExA(0, "Button", "b", WS_CHILD | WS_VISIBLE, 10, 10, 60, 20, p, nullptr, nullptr, nullptr);
  HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, 0, 0, 0, 0, b, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, tip);
  EXPECT_TRUE(GetWindowLongA(tip, GWL_STYLE) & WS_POPUP);
  EXPECT_EQ(0, SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
  TTTOOLINFOA ti{sizeof ti};
  ti.hwnd = b;
  ti.uId = 1;
  ti.lpszText = (LPSTR) "Hide";
  GetClientRect(b, &ti.rect);
  EXPECT_TRUE(SendMessageA(tip, TTM_ADDTOOLA, 0, (LPARAM)&ti));
  EXPECT_EQ(1, SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
  ti.lpszText = (LPSTR) "Mute";
  SendMessageA(tip, TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
  char buf[80];
  TTTOOLINFOA q{sizeof q};
  q.hwnd = b;
  q.uId = 1;
  q.lpszText = buf;
  ASSERT_TRUE(SendMessageA(tip, TTM_GETTOOLINFOA, 0, (LPARAM)&q));
  EXPECT_STREQ("Mute", buf);
  // relayed pointer moves show the tip after its delay while active
  SendMessageA(tip, TTM_ACTIVATE, TRUE, 0);
  MSG m{b, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)};
  SendMessageA(tip, TTM_RELAYEVENT, 0, (LPARAM)&m);
  velno::winstation::Pump(700, 700);
  EXPECT_TRUE(IsWindowVisible(tip));
  SendMessageA(tip, TTM_ACTIVATE, FALSE, 0);
  EXPECT_FALSE(IsWindowVisible(tip));
  DestroyWindow(p);
}

}  // namespace
