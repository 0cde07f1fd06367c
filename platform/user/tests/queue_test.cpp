// Message queues: retrieval order, sending within and across threads, timers, dialogs,
// message boxes.
#include <gtest/gtest.h>
#include <velno/winstation.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "testsupport.h"

namespace {

std::vector<UINT>* g_log = nullptr;

LRESULT CALLBACK LogProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (g_log && (m == WM_PAINT || m == WM_TIMER || m == WM_MOUSEMOVE || m >= WM_USER)) g_log->push_back(m);
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(h, &ps);
    EndPaint(h, &ps);
    return 0;
  }
  if (m == WM_USER + 20) return (LRESULT)w * 2;
  return DefWindowProcA(h, m, w, l);
}

const char* Class() {
  static bool done = false;
  if (!done) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = LogProc;
    wc.lpszClassName = "QueueTestWindow";
    EXPECT_NE(0, RegisterClassA(&wc));
    done = true;
  }
  return "QueueTestWindow";
}

TEST(Queue, RetrievalOrderIsSentPostedInputPaintTimer) {
  velno::testing::TempMachine machine;
  std::vector<UINT> log;
  g_log = &log;
  HWND w = CreateWindowExA(0, Class(), "order", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, w);
  velno::winstation::Pump(20);
  log.clear();
  SetTimer(w, 7, 10, nullptr);
  Sleep(30);
  InvalidateRect(w, nullptr, FALSE);
  velno::winstation::Mouse(w, WM_MOUSEMOVE, 5, 5);
  PostMessageA(w, WM_USER + 1, 0, 0);
  std::thread sender([w] { SendMessageA(w, WM_USER + 2, 0, 0); });
  Sleep(100);  // the sent message is waiting in the queue now
  MSG m;
  for (int i = 0; i < 4 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); ++i) DispatchMessageA(&m);
  sender.join();
  KillTimer(w, 7);
  std::vector<UINT> expect{WM_USER + 2, WM_USER + 1, WM_MOUSEMOVE, WM_PAINT, WM_TIMER};
  EXPECT_EQ(expect, log);
  g_log = nullptr;
  DestroyWindow(w);
}

TEST(Queue, QuitComesAfterPostedMessagesAndIgnoresTheFilter) {
  velno::testing::TempMachine machine;
  HWND w = CreateWindowExA(0, Class(), "quit", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  PostQuitMessage(3);
  PostMessageA(w, WM_USER + 3, 0, 0);
  MSG m;
  ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
  EXPECT_EQ((UINT)WM_USER + 3, m.message);
  EXPECT_FALSE(GetMessageA(&m, nullptr, WM_USER + 100, WM_USER + 200));
  EXPECT_EQ((UINT)WM_QUIT, m.message);
  EXPECT_EQ(3u, m.wParam);
  DestroyWindow(w);
}

// Window B on another thread sends back to window A while A's thread waits for B's answer.
HWND g_a = nullptr;
LRESULT CALLBACK BProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER + 10) return SendMessageA(g_a, WM_USER + 20, w, 0) + 1;
  return DefWindowProcA(h, m, w, l);
}

TEST(Queue, CrossThreadSendWhileTheSenderKeepsAnswering) {
  velno::testing::TempMachine machine;
  g_a = CreateWindowExA(0, Class(), "a", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = BProc;
  wc.lpszClassName = "QueueTestB";
  RegisterClassA(&wc);
  std::atomic<HWND> b{nullptr};
  std::atomic<bool> stop{false};
  std::thread t([&] {
    b = CreateWindowExA(0, "QueueTestB", "b", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    while (!stop) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      Sleep(1);
    }
    DestroyWindow(b);
  });
  while (!b) Sleep(1);
  EXPECT_EQ(43, SendMessageA(b, WM_USER + 10, 21, 0));  // 21 * 2 answered by A, + 1 by B
  DWORD pid = 0;
  EXPECT_NE(GetCurrentThreadId(), GetWindowThreadProcessId(b, &pid));
  stop = true;
  t.join();
  EXPECT_FALSE(IsWindow(b));  // destroyed with its thread
  DestroyWindow(g_a);
}

TEST(Queue, SendToAWindowWhoseThreadEndsReturnsZero) {
  velno::testing::TempMachine machine;
  std::atomic<HWND> b{nullptr};
  std::atomic<bool> go{false};
  std::thread t([&] {
    b = CreateWindowExA(0, Class(), "short", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    while (!go) Sleep(1);
    Sleep(50);  // ends without reading its queue
  });
  while (!b) Sleep(1);
  go = true;
  DWORD_PTR r = 77;
  EXPECT_EQ(0, SendMessageTimeoutA(b, WM_USER + 20, 1, 0, SMTO_NORMAL, 10, &r));  // times out
  t.join();
  EXPECT_EQ(0, SendMessageA(b, WM_USER + 20, 1, 0));
}

TEST(Queue, TimersRepeatAndStopWhenKilled) {
  velno::testing::TempMachine machine;
  std::vector<UINT> log;
  g_log = &log;
  HWND w = CreateWindowExA(0, Class(), "timer", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  SetTimer(w, 1, 15, nullptr);
  DWORD start = GetTickCount();
  int timers = 0;
  while (GetTickCount() - start < 200) {
    MSG m;
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_TIMER) ++timers;
      DispatchMessageA(&m);
    } else {
      Sleep(1);
    }
  }
  EXPECT_GE(timers, 4);
  EXPECT_TRUE(KillTimer(w, 1));
  EXPECT_FALSE(KillTimer(w, 1));
  log.clear();
  Sleep(40);
  velno::winstation::Pump(10);
  EXPECT_EQ(0, std::count(log.begin(), log.end(), (UINT)WM_TIMER));
  g_log = nullptr;
  DestroyWindow(w);
}

// ---- dialogs from templates
struct TemplateBuilder {
  std::vector<uint8_t> b;
  void W(uint16_t v) { b.insert(b.end(), {(uint8_t)v, (uint8_t)(v >> 8)}); }
  void D(uint32_t v) { W((uint16_t)v), W((uint16_t)(v >> 16)); }
  void S(const char* s) {
    for (; *s; ++s) W((unsigned char)*s);
    W(0);
  }
  void Align() {
    while (b.size() % 4) b.push_back(0);
  }
};

// DLGTEMPLATEEX: FONT 8 "MS Shell Dlg", an edit (1000) and OK / Cancel buttons.
std::vector<uint8_t> MakeDialog() {
  TemplateBuilder t;
  t.W(1), t.W(0xFFFF), t.D(0), t.D(0), t.D(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION);
  t.W(3), t.W(10), t.W(10), t.W(120), t.W(60);
  t.W(0), t.W(0), t.S("Test dialog");
  t.W(8), t.W(FW_NORMAL), t.b.push_back(0), t.b.push_back(1), t.S("MS Shell Dlg");
  auto item = [&](DWORD style, short x, short y, short cx, short cy, DWORD id, uint16_t cls, const char* text) {
    t.Align();
    t.D(0), t.D(0), t.D(style | WS_CHILD | WS_VISIBLE);
    t.W(x), t.W(y), t.W(cx), t.W(cy), t.D(id);
    t.W(0xFFFF), t.W(cls), t.S(text), t.W(0);
  };
  item(ES_LEFT | WS_BORDER | WS_TABSTOP, 4, 4, 80, 12, 1000, 0x81, "hello");
  item(BS_DEFPUSHBUTTON | WS_TABSTOP, 4, 40, 50, 14, IDOK, 0x80, "OK");
  item(BS_PUSHBUTTON | WS_TABSTOP, 60, 40, 50, 14, IDCANCEL, 0x80, "Cancel");
  return t.b;
}

INT_PTR g_initParam = 0;
INT_PTR CALLBACK DlgProc(HWND d, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_INITDIALOG) {
    g_initParam = l;
    return TRUE;
  }
  if (m == WM_COMMAND && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL)) {
    EndDialog(d, LOWORD(w));
    return TRUE;
  }
  return FALSE;
}

TEST(Dialog, TemplateCreatesControlsInDialogUnits) {
  velno::testing::TempMachine machine;
  std::vector<uint8_t> tmpl = MakeDialog();
  HWND d = CreateDialogIndirectParamA(nullptr, (LPCDLGTEMPLATEA)tmpl.data(), nullptr, DlgProc, 1234);
  ASSERT_NE(nullptr, d);
  EXPECT_EQ(1234, g_initParam);
  HWND edit = GetDlgItem(d, 1000), ok = GetDlgItem(d, IDOK);
  ASSERT_NE(nullptr, edit);
  ASSERT_NE(nullptr, ok);
  char cls[32], text[32];
  GetClassNameA(edit, cls, sizeof cls);
  EXPECT_STREQ("Edit", cls);
  GetWindowTextA(edit, text, sizeof text);
  EXPECT_STREQ("hello", text);
  // button rectangle = template units mapped with the dialog's base units
  RECT r{4, 40, 54, 54};
  ASSERT_TRUE(MapDialogRect(d, &r));
  RECT br;
  GetWindowRect(ok, &br);
  POINT o{0, 0};
  ClientToScreen(d, &o);
  EXPECT_EQ(r.left, br.left - o.x);
  EXPECT_EQ(r.top, br.top - o.y);
  EXPECT_EQ(r.right - r.left, br.right - br.left);
  EXPECT_EQ(GetDlgItem(d, 1000), GetFocus());  // TRUE from WM_INITDIALOG: focus on the first tab stop
  DestroyWindow(d);
}

TEST(Dialog, ModalLoopEndsThroughIdOkFromTheReturnKey) {
  velno::testing::TempMachine machine;
  std::vector<uint8_t> tmpl = MakeDialog();
  // the key arrives while the modal loop runs
  struct Poster {
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      HWND d = FindWindowA(nullptr, "Test dialog");
      PostMessageA(GetDlgItem(d, 1000), WM_KEYDOWN, VK_RETURN, 0);
    }
  };
  SetTimer(nullptr, 0, 30, Poster::Fire);
  EXPECT_EQ(IDOK, DialogBoxIndirectParamA(nullptr, (LPCDLGTEMPLATEA)tmpl.data(), nullptr, DlgProc, 0));
  EXPECT_EQ(nullptr, FindWindowA(nullptr, "Test dialog"));
}

TEST(MessageBox, AnswerComesFromTheMachineAndEveryBoxIsLogged) {
  velno::testing::TempMachine machine;
  EXPECT_EQ(IDOK, MessageBoxA(nullptr, "first", "Caption", MB_OK));
  velno::winstation::QueueAnswer("messagebox", IDNO);
  EXPECT_EQ(IDNO, MessageBoxA(nullptr, "second?", "Caption", MB_YESNO));
  EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "third", "Caption", MB_OKCANCEL | MB_DEFBUTTON2));
  std::vector<std::string> log = velno::winstation::UiLog("messagebox");
  ASSERT_EQ(3u, log.size());
  EXPECT_NE(std::string::npos, log[1].find("\"text\":\"second?\""));
  EXPECT_NE(std::string::npos, log[1].find("\"caption\":\"Caption\""));
  EXPECT_NE(std::string::npos, log[1].find("\"answer\":7"));
}

TEST(Menu, TrackPopupMenuTakesTheQueuedChoiceAsACommand) {
  velno::testing::TempMachine machine;
  std::vector<UINT> log;
  HWND w = CreateWindowExA(0, Class(), "menu", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HMENU m = CreatePopupMenu();
  InsertMenuA(m, (UINT)-1, MF_BYPOSITION, 0x8022, "Hide");
  InsertMenuA(m, (UINT)-1, MF_BYPOSITION, 0x8023, "Exit");
  EXPECT_EQ(2, GetMenuItemCount(m));
  std::string path;
  velno::winstation::QueueAnswer("menu", 0x8023);
  EXPECT_TRUE(TrackPopupMenu(m, TPM_BOTTOMALIGN, 10, 10, 0, w, nullptr));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, w, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(0x8023, LOWORD(msg.wParam));
  EXPECT_FALSE(TrackPopupMenu(m, 0, 10, 10, 0, w, nullptr));  // nothing queued: dismissed
  EXPECT_TRUE(DestroyMenu(m));
  DestroyWindow(w);
}

}  // namespace
