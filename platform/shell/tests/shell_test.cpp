// The notification area, the shell's version, and ShellExecute.
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <velno/machine.h>
#include <velno/winstation.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "testsupport.h"

extern "C" HRESULT CALLBACK DllGetVersion(DLLVERSIONINFO*);

namespace {

UINT g_lastCallback[2];
LRESULT CALLBACK TrayProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_APP + 0x20) {
    g_lastCallback[0] = (UINT)w;
    g_lastCallback[1] = (UINT)l;
    return 0;
  }
  return DefWindowProcA(h, m, w, l);
}

TEST(Tray, IconsAreListedWithTheirTipsAndClicksReachTheirWindow) {
  velno::testing::TempMachine machine;
  WNDCLASSA wc{};
  wc.lpfnWndProc = TrayProc;
  wc.lpszClassName = "TrayOwner";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "TrayOwner", "tray owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  NOTIFYICONDATAA nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = w;
  nid.uID = 50;
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = WM_APP + 0x20;
  nid.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  strcpy(nid.szTip, "Velno-HD");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &nid));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &nid));  // already there
  auto icons = velno::winstation::ListTray();
  ASSERT_EQ(1u, icons.size());
  EXPECT_EQ("Velno-HD", icons[0].tip);
  EXPECT_TRUE(icons[0].hasIcon);
  strcpy(nid.szTip, "N/A");
  nid.hIcon = nullptr;
  nid.uFlags = NIF_TIP;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &nid));
  EXPECT_EQ("N/A", velno::winstation::ListTray()[0].tip);
  ASSERT_TRUE(velno::winstation::ClickTray(w, 50, WM_RBUTTONUP));
  velno::winstation::Pump(10);
  EXPECT_EQ(50u, g_lastCallback[0]);
  EXPECT_EQ((UINT)WM_RBUTTONUP, g_lastCallback[1]);
  nid.uFlags = 0;
  EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &nid));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &nid));  // a repeated delete has no effect
  EXPECT_TRUE(velno::winstation::ListTray().empty());
  DestroyWindow(w);
}

TEST(Shell, DllGetVersionOfShell32) {
  velno::testing::TempMachine machine;
  DLLVERSIONINFO v{};
  v.cbSize = sizeof v;
  ASSERT_EQ(0, DllGetVersion(&v));
  EXPECT_GE(v.dwMajorVersion, 5u);
  v.cbSize = 4;
  EXPECT_NE(0, DllGetVersion(&v));
}

TEST(Shell, ShellExecuteOpensProgramsAndReportsMissingFiles) {
  velno::testing::TempMachine machine;
  EXPECT_EQ(SE_ERR_FNF, (INT_PTR)ShellExecuteA(nullptr, "open", "C:\\Program Files\\missing.exe", nullptr, nullptr, SW_SHOW));
  EXPECT_EQ(SE_ERR_PNF, (INT_PTR)ShellExecuteA(nullptr, "open", "C:\\No Such Folder\\x.exe", nullptr, nullptr, SW_SHOW));
  std::string dir = velno::sim::HostPathFromWindows("C:\\Program Files") + "/Tools";
  std::filesystem::create_directories(dir);
  std::string marker = machine.root() + "/ran";
  // a program of the machine: a script that leaves a marker file behind
  {
    std::ofstream s(dir + "/mark.exe");
    s << "#!/bin/sh\ntouch \"$1\"\n";
  }
  std::filesystem::permissions(dir + "/mark.exe", std::filesystem::perms::owner_all);
  HINSTANCE r = ShellExecuteA(nullptr, "open", "C:\\Program Files\\Tools\\mark.exe", marker.c_str(), nullptr, SW_SHOW);
  EXPECT_GT((INT_PTR)r, 32);
  for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) Sleep(10);
  EXPECT_TRUE(std::filesystem::exists(marker));
  SHELLEXECUTEINFOA info{sizeof info};
  info.lpVerb = "print";
  info.lpFile = "C:\\Program Files\\Tools\\mark.exe";
  EXPECT_FALSE(ShellExecuteExA(&info));
  EXPECT_EQ(SE_ERR_NOASSOC, (INT_PTR)info.hInstApp);
}

}  // namespace
