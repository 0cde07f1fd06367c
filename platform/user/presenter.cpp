// Presenters: what shows the windows. Headless by default (windows live in their backbuffers,
// seen through screenshots); an X11 presenter when DISPLAY is set (VELNO_PRESENTER=headless
// forces headless). PNG writing for screenshots.
#include <png.h>
#include <stdlib.h>
#include <string.h>

#include "winsys.h"

namespace velno::win {

Presenter* ThePresenter() {
  static Presenter* p = [] () -> Presenter* {
    const char* force = getenv("VELNO_PRESENTER");
    if (force && strcmp(force, "headless") == 0) return nullptr;
    const char* display = getenv("DISPLAY");
    if (!display || !*display) return nullptr;
    return MakeX11Presenter().release();
  }();
  return p;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
  if (path.empty() || width <= 0 || height <= 0 || rgba.size() < (size_t)width * height * 4) return false;
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = (png_uint_32)width;
  img.height = (png_uint_32)height;
  img.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&img, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

}  // namespace velno::win
