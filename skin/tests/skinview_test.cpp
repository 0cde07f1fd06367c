// skinview, driven from this process as the person at the screen would: its owner prints
// every notification by the element's name.
#include <gtest/gtest.h>

#include <testsupport.h>
#include <velno/winstation.h>

#include <chrono>
#include <thread>

namespace {

TEST(SkinviewTest, PrintsEveryNotificationByName) {
  velno::testing::TempMachine machine;
  velno::testing::ProcessResult viewer;
  std::thread run([&] {
    viewer = velno::testing::RunProcess(velno::testing::BinDir() + "/skinview", {"--sliders", "--exit-after", "5000"}, 60);
  });
  HWND hwnd = nullptr;
  for (int i = 0; i < 200 && !hwnd; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    hwnd = velno::winstation::Resolve("Velno-HD Skin Viewer");
  }
  ASSERT_NE(hwnd, nullptr);
  auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(60)); };
  using velno::winstation::Mouse;
  // Over and onto BTN_P_44K (16, 82, 63 x 14); a press on the TXT_ASIOSTATE label; a drag of
  // SLDR_P_VOL_L's thumb from the middle (position 50) to the right.
  Mouse(hwnd, WM_MOUSEMOVE, 47, 89), pause();
  Mouse(hwnd, WM_LBUTTONDOWN, 47, 89), pause();
  Mouse(hwnd, WM_LBUTTONUP, 47, 89), pause();
  Mouse(hwnd, WM_LBUTTONDOWN, 230, 416), pause();
  Mouse(hwnd, WM_LBUTTONUP, 230, 416), pause();
  Mouse(hwnd, WM_MOUSEMOVE, 150, 350), pause();
  Mouse(hwnd, WM_LBUTTONDOWN, 78, 293), pause();
  Mouse(hwnd, WM_MOUSEMOVE, 100, 293), pause();
  Mouse(hwnd, WM_LBUTTONUP, 100, 293), pause();
  run.join();

  ASSERT_EQ(viewer.exitCode, 0) << viewer.err;
  const std::string& out = viewer.out;
  EXPECT_NE(out.find("ready 43 buttons 4 sliders 10 labels\n"), std::string::npos) << out;
  EXPECT_NE(out.find("move BTN_P_44K 31 7\n"), std::string::npos) << out;
  EXPECT_NE(out.find("click BTN_P_44K\n"), std::string::npos) << out;
  EXPECT_NE(out.find("label TXT_ASIOSTATE\n"), std::string::npos) << out;
  EXPECT_NE(out.find("move \"\" 150 350\n"), std::string::npos) << out;
  EXPECT_NE(out.find("slider SLDR_P_VOL_L 4 "), std::string::npos) << out;
  size_t end = out.find("slider SLDR_P_VOL_L 8 ");
  ASSERT_NE(end, std::string::npos) << out;
  EXPECT_LT(atoi(out.c_str() + end + strlen("slider SLDR_P_VOL_L 8 ")), 50) << out;
  EXPECT_NE(out.find("exit\n"), std::string::npos) << out;
}

}  // namespace
