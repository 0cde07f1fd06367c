// The skinned dialog as the window system shows it, in its states, compared pixel for pixel
// with the reference images in reference/ (VELNO_UPDATE_REFERENCES=1 writes them instead).
#include "DialogFixture.h"

#include <png.h>
#include <stdlib.h>

#include <fstream>

namespace skintest {
namespace {

struct Png {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
};

bool ReadPng(const std::string& path, Png* out) {
  png_image image;
  memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  out->width = (int)image.width;
  out->height = (int)image.height;
  out->rgba.resize(PNG_IMAGE_SIZE(image));
  bool ok = png_image_finish_read(&image, NULL, out->rgba.data(), 0, NULL) != 0;
  png_image_free(&image);
  return ok;
}

class ScreenshotTest : public SkinDialogTest {
 protected:
  void Compare(const std::string& state) {
    Pump();
    const std::string reference = std::string(SKIN_TEST_REFERENCE_DIR) + "/" + state + ".png";
    if (getenv("VELNO_UPDATE_REFERENCES")) {
      ASSERT_TRUE(velno::winstation::Screenshot(dlg_->m_hWnd, reference));
      return;
    }
    Png expected;
    ASSERT_TRUE(ReadPng(reference, &expected)) << reference;
    int w = 0, h = 0;
    std::vector<uint8_t> actual;
    ASSERT_TRUE(velno::winstation::Capture(dlg_->m_hWnd, &w, &h, &actual));
    ASSERT_EQ(w, expected.width);
    ASSERT_EQ(h, expected.height);
    int different = 0;
    for (size_t i = 0; i < actual.size(); i += 4)
      if (memcmp(&actual[i], &expected.rgba[i], 4) != 0) ++different;
    if (different) {
      const std::string saved = ::testing::TempDir() + "skin_" + state + ".png";
      velno::winstation::Screenshot(dlg_->m_hWnd, saved);
      ADD_FAILURE() << different << " pixels differ from " << reference << "; the screenshot is in " << saved;
    }
  }
};

TEST_F(ScreenshotTest, Initial) { Compare("initial"); }

TEST_F(ScreenshotTest, ChosenFormatsAndRunningDriver) {
  for (const char* name : {"BTN_P_44K", "BTN_P_24B", "BTN_R_96K", "BTN_R_32B", "BTN_ASIO_24B", "BTN_ASIO_BFSZ_10MS",
                           "BTN_RMCT_START_SVR"})
    dlg_->SetButtonCheck(name, 1);
  dlg_->ShowButton("BTN_ASIO_BFSZ_3MS", 0);
  dlg_->SetLabelText("TXT_ASIODEVICE", "Velno-HD");
  dlg_->SetLabelText("TXT_ASIOSTATE", "Running");
  dlg_->SetLabelText("TXT_LOCAL_IP", "192.168.1.20");
  for (const char* name : {"TXT_ASIOPCM", "TXT_ASIODSD", "TXT_ASIODSD256", "TXT_ASIOSTATUS", "TXT_REMOTE_IP", "TXT_CPL_LOAD"})
    dlg_->ShowLabel(name, 0);
  dlg_->ShowSlider("SLDR_P_VOL_L", 1);
  dlg_->SetSliderPos("SLDR_P_VOL_L", 80);
  Compare("running");
}

TEST_F(ScreenshotTest, DisabledAndHovered) {
  for (int i = 1; i <= 28; ++i) dlg_->EnableButton(g_skinButtonDefs[i].name, 0);
  dlg_->SetButtonCheck("BTN_P_48K", 1);  // disabled outranks checked
  Move(Center(dlg_->FindButton("BTN_HIDE")));
  Compare("disabled_hover");
}

}  // namespace
}  // namespace skintest
