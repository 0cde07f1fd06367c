// The skinned dialog in a real X11 window: skinview runs on an Xvfb display (black root) and
// the screen shows exactly what the headless window system composes, inside the outline, and
// the root outside it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <testsupport.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

std::string FindProgram(const char* name) {
  for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
    std::string path = std::string(dir) + "/" + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return "";
}

bool ReadReference(const std::string& path, int* w, int* h, std::vector<uint8_t>* rgba) {
  png_image image;
  memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  *w = (int)image.width;
  *h = (int)image.height;
  rgba->resize(PNG_IMAGE_SIZE(image));
  bool ok = png_image_finish_read(&image, NULL, rgba->data(), 0, NULL) != 0;
  png_image_free(&image);
  return ok;
}

TEST(X11PresenterTest, SkinviewWindowShowsTheSkinWithItsShape) {
  const std::string xvfb = FindProgram("Xvfb");
  if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed";
  velno::testing::TempMachine machine;

  const std::string display = ":" + std::to_string(90 + getpid() % 100);
  pid_t server = 0;
  std::vector<std::string> args = {xvfb, display, "-screen", "0", "800x700x24", "-br", "-nolisten", "tcp"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ASSERT_EQ(posix_spawn(&server, xvfb.c_str(), nullptr, nullptr, argv.data(), environ), 0);

  Display* x = nullptr;
  for (int i = 0; i < 100 && !x; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    x = XOpenDisplay(display.c_str());
  }
  if (!x) {
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    FAIL() << "Xvfb did not start on " << display;
  }

  setenv("DISPLAY", display.c_str(), 1);
  velno::testing::ProcessResult viewer;
  std::thread run([&] {
    viewer = velno::testing::RunProcess(velno::testing::BinDir() + "/skinview", {"--no-moves", "--exit-after", "6000"}, 60);
  });

  int w = 0, h = 0;
  std::vector<uint8_t> expected;
  ASSERT_TRUE(ReadReference(std::string(SKIN_TEST_REFERENCE_DIR) + "/initial.png", &w, &h, &expected));

  // Wait for the window to appear with the skin, then compare every pixel inside the shape.
  Window root = DefaultRootWindow(x);
  int different = -1, insideCount = 0;
  XWindowAttributes rootAttributes;
  XGetWindowAttributes(x, root, &rootAttributes);
  for (int attempt = 0; attempt < 100 && different != 0; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Where the viewer's window is: the top-level child of the root of the skin's size.
    Window rootRet, parentRet, *children = nullptr;
    unsigned count = 0;
    int originX = -1, originY = -1;
    if (XQueryTree(x, root, &rootRet, &parentRet, &children, &count)) {
      for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable && a.width == w && a.height == h)
          originX = a.x, originY = a.y;
      }
      if (children) XFree(children);
    }
    if (originX < 0) continue;
    XImage* image = XGetImage(x, root, originX, originY, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
    if (!image) continue;
    different = 0;
    insideCount = 0;
    int outsideNotRoot = 0;
    for (int py = 0; py < h; ++py)
      for (int px = 0; px < w; ++px) {
        unsigned long pixel = XGetPixel(image, px, py);
        uint8_t r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
        const uint8_t* e = &expected[((size_t)py * w + px) * 4];
        if (e[3] == 255) {
          ++insideCount;
          if (r != e[0] || g != e[1] || b != e[2]) ++different;
        } else if (r != 0 || g != 0 || b != 0) {
          ++outsideNotRoot;  // outside the outline the black root must show through
        }
      }
    XDestroyImage(image);
    if (outsideNotRoot) different = -2;  // the window's shape is not applied yet
  }
  EXPECT_EQ(different, 0) << "of " << insideCount << " pixels inside the outline";
  EXPECT_GT(insideCount, 299 * 600);

  run.join();
  unsetenv("DISPLAY");
  EXPECT_EQ(viewer.exitCode, 0) << viewer.err;
  EXPECT_NE(viewer.out.find("ready 43 buttons 4 sliders 10 labels"), std::string::npos) << viewer.out;
  XCloseDisplay(x);
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
}

}  // namespace
