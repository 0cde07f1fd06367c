// The window station across processes: a child process (this test program started again
// with VELNO_WINSYS_CHILD set) owns a window that this process finds, sends to and moves;
// its window leaves the station with the process. Screenshots, and one real X11 window.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <velno/winstation.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "testsupport.h"

extern char** environ;

namespace {

LRESULT CALLBACK ChildProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_USER + 5: return (LRESULT)w * 2;
    case WM_USER + 6: return SendMessageA((HWND)l, WM_USER + 7, w, 0) + 1;  // back to the sender while it waits
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      HBRUSH b = CreateSolidBrush(RGB(200, 30, 40));
      FillRect(dc, &ps.rcPaint, b);
      DeleteObject(b);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(h, m, w, l);
}

// The child: one window titled $VELNO_WINSYS_CHILD, a message loop, exit when it closes.
int RunChildIfAsked() {
  const char* title = getenv("VELNO_WINSYS_CHILD");
  if (!title || !*title) return 0;
  WNDCLASSA wc{};
  wc.lpfnWndProc = ChildProc;
  wc.lpszClassName = "StationChild";
  RegisterClassA(&wc);
  bool shaped = getenv("VELNO_WINSYS_SHAPED") != nullptr;
  HWND w = CreateWindowExA(0, "StationChild", title, WS_POPUP, 40, 50, 120, 80, nullptr, nullptr, nullptr, nullptr);
  if (shaped) SetWindowRgn(w, CreateRoundRectRgn(0, 0, 120, 80, 40, 40), TRUE);
  ShowWindow(w, SW_SHOW);
  MSG m;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < 60000) {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) _exit(0);
      DispatchMessageA(&m);
    }
    Sleep(2);
  }
  _exit(3);
}
const int g_child = RunChildIfAsked();

pid_t StartChild(const std::string& title, bool shaped = false, const char* display = nullptr) {
  std::string self = velno::testing::BinDir() + "/platform_user_tests";
  if (!std::filesystem::exists(self)) self = "/proc/self/exe";
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (strncmp(*e, "DISPLAY=", 8) != 0) env.push_back(*e);
  env.push_back("VELNO_WINSYS_CHILD=" + title);
  if (shaped) env.push_back("VELNO_WINSYS_SHAPED=1");
  if (display) env.push_back(std::string("DISPLAY=") + display);
  std::vector<char*> envp;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  char* argv[] = {self.data(), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(0, posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()));
  return pid;
}

HWND WaitForWindow(const char* title) {
  for (int i = 0; i < 1000; ++i) {
    if (HWND h = FindWindowA(nullptr, title)) return h;
    Sleep(10);
  }
  return nullptr;
}

LRESULT CALLBACK ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER + 7) return 99;
  return DefWindowProcA(h, m, w, l);
}

TEST(Station, FindAndSendReachAnotherProcessAndItsWindowLeavesWithIt) {
  velno::testing::TempMachine machine;
  pid_t child = StartChild("Station Child Window");
  HWND w = WaitForWindow("Station Child Window");
  ASSERT_NE(nullptr, w);
  EXPECT_EQ(w, FindWindowA("StationChild", nullptr));
  EXPECT_EQ(w, FindWindowA(nullptr, "station child window"));  // titles compare without case
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  EXPECT_EQ((DWORD)child, pid);

  EXPECT_EQ(42, SendMessageA(w, WM_USER + 5, 21, 0));
  // the child sends back to us while we wait for its answer
  WNDCLASSA wc{};
  wc.lpfnWndProc = ParentProc;
  wc.lpszClassName = "StationParent";
  RegisterClassA(&wc);
  HWND mine = CreateWindowExA(0, "StationParent", "parent", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(100, SendMessageA(w, WM_USER + 6, 0, (LPARAM)mine));

  EXPECT_TRUE(SetWindowTextA(w, "Renamed"));
  char text[64] = "";
  EXPECT_EQ(7, GetWindowTextA(w, text, sizeof text));
  EXPECT_STREQ("Renamed", text);
  EXPECT_TRUE(SetWindowPos(w, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  RECT r;
  ASSERT_TRUE(GetWindowRect(w, &r));
  EXPECT_EQ(300, r.left);
  EXPECT_EQ(200, r.top);
  ShowWindow(w, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(w));
  ShowWindow(w, SW_SHOWNORMAL);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_TRUE(SetForegroundWindow(w));
  EXPECT_EQ(w, GetForegroundWindow());

  std::string shot = machine.root() + "/child.png";
  ASSERT_TRUE(velno::winstation::Screenshot(w, shot));
  std::ifstream png(shot, std::ios::binary);
  char sig[24];
  png.read(sig, sizeof sig);
  EXPECT_EQ(0, memcmp(sig, "\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(120, (unsigned char)sig[19]);  // IHDR width
  EXPECT_EQ(80, (unsigned char)sig[23]);   // IHDR height

  // a process that dies leaves no window behind
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(nullptr, FindWindowA(nullptr, "Renamed"));
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(0, SendMessageA(w, WM_USER + 5, 1, 0));
  for (const auto& info : velno::winstation::ListWindows()) EXPECT_NE((DWORD)child, info.pid);
  DestroyWindow(mine);
}

TEST(Station, ClosedWindowEndsTheChildCleanly) {
  velno::testing::TempMachine machine;
  pid_t child = StartChild("Closing Child");
  HWND w = WaitForWindow("Closing Child");
  ASSERT_NE(nullptr, w);
  EXPECT_TRUE(PostMessageA(w, WM_CLOSE, 0, 0));
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(nullptr, FindWindowA(nullptr, "Closing Child"));
}

TEST(Screenshot, PixelsOutsideTheRegionAreTransparent) {
  velno::testing::TempMachine machine;
  WNDCLASSA wc{};
  wc.lpfnWndProc = ChildProc;
  wc.lpszClassName = "ShotWindow";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "ShotWindow", "shot", WS_POPUP, 0, 0, 60, 40, nullptr, nullptr, nullptr, nullptr);
  HRGN rgn = CreateRectRgn(10, 10, 50, 30);
  ASSERT_TRUE(SetWindowRgn(w, rgn, TRUE));
  ShowWindow(w, SW_SHOW);
  int width = 0, height = 0;
  std::vector<uint8_t> px;
  ASSERT_TRUE(velno::winstation::Capture(w, &width, &height, &px));
  ASSERT_EQ(60, width);
  ASSERT_EQ(40, height);
  auto at = [&](int x, int y) { return px.data() + ((size_t)y * width + x) * 4; };
  EXPECT_EQ(0, at(5, 5)[3]);  // outside the region
  EXPECT_EQ(255, at(20, 20)[3]);
  EXPECT_EQ(200, at(20, 20)[0]);
  EXPECT_EQ(30, at(20, 20)[1]);
  EXPECT_EQ(40, at(20, 20)[2]);
  std::string shot = machine.root() + "/shot.png";
  EXPECT_TRUE(velno::winstation::Screenshot(w, shot));
  EXPECT_GT(std::filesystem::file_size(shot), 60u);
  DestroyWindow(w);
}

// One real X11 window under Xvfb: shown, named, shaped by the window region.
TEST(X11, ShapedWindowIsShownOnTheXServer) {
  std::string display;
  pid_t xvfb = 0;
  if (getenv("DISPLAY") && *getenv("DISPLAY")) {
    display = getenv("DISPLAY");
  } else {
    if (!std::filesystem::exists("/usr/bin/Xvfb")) GTEST_SKIP() << "Xvfb is not installed: no X11 window can be shown";
    int n = 90 + (int)(getpid() % 9);
    display = ":" + std::to_string(n);
    std::string num = display;
    char* argv[] = {(char*)"Xvfb", num.data(), (char*)"-screen", (char*)"0", (char*)"1024x768x24", (char*)"-nolisten",
                    (char*)"tcp", nullptr};
    ASSERT_EQ(0, posix_spawn(&xvfb, "/usr/bin/Xvfb", nullptr, nullptr, argv, environ));
    Sleep(700);
  }
  velno::testing::TempMachine machine;
  pid_t child = StartChild("Velno X11 Window", true, display.c_str());
  HWND w = WaitForWindow("Velno X11 Window");
  ASSERT_NE(nullptr, w);
  Sleep(300);
  std::string cmd = "xwininfo -display " + display + " -root -tree 2>/dev/null | grep -c 'Velno X11 Window'";
  FILE* p = popen(cmd.c_str(), "r");
  int count = 0;
  if (p) {
    if (fscanf(p, "%d", &count) != 1) count = 0;
    pclose(p);
  }
  EXPECT_EQ(1, count) << "the window is listed by the X server";
  PostMessageA(w, WM_CLOSE, 0, 0);
  waitpid(child, nullptr, 0);
  if (xvfb) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
  }
}

}  // namespace
