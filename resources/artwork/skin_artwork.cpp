// Draws the control panel's skin from the element tables: the face (135), the four element
// state images (129 normal, 130 hover, 133 pressed/checked, 134 disabled), the window mask
// (132), the slider thumbs (136-138) and the program icon (128).
//
//   skin_artwork OUTPUT_DIR [REGULAR_FONT BOLD_FONT]
//
// A host program: plain C++ and FreeType, writing .bmp and .ico files.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "SkinTables.h"

namespace {

struct Color {
  float r, g, b;
};

Color Hex(uint32_t rgb) { return {((rgb >> 16) & 255) / 255.f, ((rgb >> 8) & 255) / 255.f, (rgb & 255) / 255.f}; }
Color Mix(Color a, Color b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

class Image {
 public:
  Image(int w, int h, Color fill) : w_(w), h_(h), px_((size_t)w * h, fill) {}
  int w() const { return w_; }
  int h() const { return h_; }
  Color& at(int x, int y) { return px_[(size_t)y * w_ + x]; }
  Color at(int x, int y) const { return px_[(size_t)y * w_ + x]; }
  void Blend(int x, int y, Color c, float a) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
    a = std::min(a, 1.f);
    at(x, y) = Mix(at(x, y), c, a);
  }

 private:
  int w_, h_;
  std::vector<Color> px_;
};

// Signed distance to a rounded rectangle (negative inside).
float RoundRectDistance(float px, float py, float x0, float y0, float x1, float y1, float r) {
  float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  float hx = (x1 - x0) / 2 - r, hy = (y1 - y0) / 2 - r;
  float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
  float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.f) - r;
}

using Shape = std::function<float(float, float)>;          // distance function
using Paint = std::function<Color(float, float)>;          // colour at a point

// Fills a shape with 4x4 supersampled coverage.
void Fill(Image& img, int bx0, int by0, int bx1, int by1, const Shape& shape, const Paint& paint, float alpha = 1) {
  bx0 = std::max(bx0, 0), by0 = std::max(by0, 0), bx1 = std::min(bx1, img.w()), by1 = std::min(by1, img.h());
  for (int y = by0; y < by1; ++y)
    for (int x = bx0; x < bx1; ++x) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
          if (shape(x + (sx + .5f) / 4, y + (sy + .5f) / 4) <= 0) ++inside;
      if (inside) img.Blend(x, y, paint(x + .5f, y + .5f), alpha * inside / 16.f);
    }
}

void FillRoundRect(Image& img, float x0, float y0, float x1, float y1, float r, const Paint& paint, float alpha = 1) {
  Fill(img, (int)std::floor(x0) - 1, (int)std::floor(y0) - 1, (int)std::ceil(x1) + 1, (int)std::ceil(y1) + 1,
       [=](float x, float y) { return RoundRectDistance(x, y, x0, y0, x1, y1, r); }, paint, alpha);
}

void StrokeRoundRect(Image& img, float x0, float y0, float x1, float y1, float r, float width, Color c, float alpha = 1) {
  Fill(img, (int)std::floor(x0) - 1, (int)std::floor(y0) - 1, (int)std::ceil(x1) + 1, (int)std::ceil(y1) + 1,
       [=](float x, float y) {
         float d = RoundRectDistance(x, y, x0, y0, x1, y1, r);
         return std::max(d, -d - width);
       },
       [=](float, float) { return c; }, alpha);
}

void FillCircle(Image& img, float cx, float cy, float r, const Paint& paint, float alpha = 1) {
  Fill(img, (int)(cx - r) - 1, (int)(cy - r) - 1, (int)(cx + r) + 2, (int)(cy + r) + 2,
       [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; }, paint, alpha);
}

void StrokeCircle(Image& img, float cx, float cy, float r, float width, Color c, float alpha = 1) {
  Fill(img, (int)(cx - r) - 1, (int)(cy - r) - 1, (int)(cx + r) + 2, (int)(cy + r) + 2,
       [=](float x, float y) {
         float d = std::hypot(x - cx, y - cy) - r;
         return std::max(d, -d - width);
       },
       [=](float, float) { return c; }, alpha);
}

Paint Solid(Color c) {
  return [=](float, float) { return c; };
}
Paint VGradient(float y0, float y1, Color top, Color bottom) {
  return [=](float, float y) { return Mix(top, bottom, std::clamp((y - y0) / std::max(y1 - y0, 1.f), 0.f, 1.f)); };
}

// ---- text

class Fonts {
 public:
  bool Open(const char* regular, const char* bold) {
    if (FT_Init_FreeType(&lib_)) return false;
    return !FT_New_Face(lib_, regular, 0, &regular_) && !FT_New_Face(lib_, bold, 0, &bold_);
  }
  FT_Face face(bool bold) const { return bold ? bold_ : regular_; }

 private:
  FT_Library lib_ = nullptr;
  FT_Face regular_ = nullptr, bold_ = nullptr;
};

Fonts g_fonts;

enum Align { kLeft, kCenter, kRight };

// Draws one line of text centred vertically in [top, bottom), aligned in [left, right).
void Text(Image& img, const std::string& s, float left, float right, float top, float bottom, int px, bool bold,
          Color c, Align align = kCenter, float spacing = 0) {
  FT_Face face = g_fonts.face(bold);
  FT_Set_Pixel_Sizes(face, 0, px);
  float width = 0;
  for (unsigned char ch : s) {
    if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT)) continue;
    width += face->glyph->advance.x / 64.f + spacing;
  }
  width -= spacing;
  float x = align == kLeft ? left : align == kRight ? right - width : (left + right - width) / 2;
  float ascender = face->size->metrics.ascender / 64.f, descender = -face->size->metrics.descender / 64.f;
  float baseline = std::round((top + bottom) / 2 + (ascender - descender) / 2 - 0.5f);
  for (unsigned char ch : s) {
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER)) continue;
    FT_GlyphSlot g = face->glyph;
    int gx = (int)std::round(x) + g->bitmap_left, gy = (int)baseline - g->bitmap_top;
    for (unsigned row = 0; row < g->bitmap.rows; ++row)
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        float a = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.f;
        img.Blend(gx + (int)col, gy + (int)row, c, a);
      }
    x += g->advance.x / 64.f + spacing;
  }
}

// ---- the window's geometry

const int kWindowW = 299, kWindowH = 640;   // the mask's size
const int kImageW = 301, kImageH = 641;     // the full-window images are a little larger
const float kCorner = 16;

bool InsideOutline(float x, float y) { return RoundRectDistance(x, y, 0, 0, kWindowW, kWindowH, kCorner) <= 0; }

// Palette.
const Color kFaceTop = Hex(0xE6EAF0), kFaceBottom = Hex(0xCCD3DC), kEdge = Hex(0x59636F);
const Color kHeaderTop = Hex(0x3B5068), kHeaderBottom = Hex(0x1F2D3B);
const Color kCard = Hex(0xF5F7FA), kCardEdge = Hex(0xA9B3BF);
const Color kAccentTop = Hex(0x5287BE), kAccentBottom = Hex(0x366796);
const Color kCaption = Hex(0x4A5563), kField = Hex(0xFFFFFF), kFieldEdge = Hex(0xB3BDC8);
const Color kInk = Hex(0x2C3E50);

struct Card {
  float x0, y0, x1, y1, header;
  const char* title;
};

const Card kCards[] = {
    {3, 32, 150, 333, 19, "Playback"},
    {152, 32, 296, 333, 19, "Record"},
    {3, 368, 296, 545, 19, "ASIO"},
    {3, 548, 296, 612, 11, "Remote Control"},
};

void DrawField(Image& img, int x, int y, int cx, int cy) {
  FillRoundRect(img, x + .5f, y + .5f, x + cx - .5f, y + cy - .5f, 3, Solid(kField));
  StrokeRoundRect(img, x + .5f, y + .5f, x + cx - .5f, y + cy - .5f, 3, 1, kFieldEdge);
  // A soft inner shadow along the top edge makes the field read as recessed.
  FillRoundRect(img, x + 1.5f, y + 1.5f, x + cx - 1.5f, y + 3, 1, Solid(Hex(0xDCE2E9)), .6f);
}

void DrawFace(Image& img) {
  // Panel and outline.
  FillRoundRect(img, 0, 0, kWindowW, kWindowH, kCorner, VGradient(0, kWindowH, kFaceTop, kFaceBottom));
  // Header band.
  Fill(img, 0, 0, kWindowW, 31, [](float x, float y) { return std::max(RoundRectDistance(x, y, 0, 0, kWindowW, kWindowH, kCorner), y - 30); },
       VGradient(0, 30, kHeaderTop, kHeaderBottom));
  FillRoundRect(img, 0, 30, kWindowW, 31, 0, Solid(Hex(0x6C8AA8)));
  Text(img, "Velno-HD", 14, 200, 2, 29, 14, true, Hex(0xFFFFFF), kLeft);
  Text(img, "Audio Control Panel", 90, 265, 3, 29, 11, false, Hex(0xBFD0E0), kLeft);

  for (const Card& c : kCards) {
    FillRoundRect(img, c.x0 + 1, c.y0 + 2, c.x1 + 1, c.y1 + 2, 6, Solid(Hex(0x98A3B0)), .35f);  // shadow
    FillRoundRect(img, c.x0, c.y0, c.x1, c.y1, 6, Solid(kCard));
    Fill(img, (int)c.x0, (int)c.y0, (int)c.x1 + 1, (int)(c.y0 + c.header) + 1,
         [&](float x, float y) { return std::max(RoundRectDistance(x, y, c.x0, c.y0, c.x1, c.y1, 6), y - (c.y0 + c.header)); },
         VGradient(c.y0, c.y0 + c.header, kAccentTop, kAccentBottom));
    StrokeRoundRect(img, c.x0, c.y0, c.x1, c.y1, 6, 1, kCardEdge);
    Text(img, c.title, c.x0, c.x1, c.y0, c.y0 + c.header, c.header > 14 ? 12 : 9, true, Hex(0xFFFFFF));
  }

  // The product's name between the device sections and the ASIO section.
  Text(img, "V E L N O - H D", 0, kWindowW, 336, 366, 17, true, Hex(0x8793A1));
  FillRoundRect(img, 16, 350.5f, 62, 351.5f, 0, Solid(Hex(0xA3AEBB)));
  FillRoundRect(img, 237, 350.5f, 283, 351.5f, 0, Solid(Hex(0xA3AEBB)));

  // Captions beside the ASIO and remote-control elements.
  Text(img, "Device", 26, 150, 391, 405, 10, true, kCaption, kLeft);
  Text(img, "State", 188, 272, 391, 405, 10, true, kCaption, kLeft);
  Text(img, "Bits", 14, 110, 435, 451, 10, true, kCaption, kLeft);
  Text(img, "Buffer", 14, 110, 459, 473, 10, true, kCaption, kLeft);
  Text(img, "Local IP", 12, 92, 559, 575, 10, true, kCaption, kLeft);
  Text(img, "Remote IP", 12, 92, 591, 607, 10, true, kCaption, kLeft);
  Text(img, "Volume", 12, 144, 272, 284, 9, true, kCaption, kCenter);
  Text(img, "Volume", 156, 288, 272, 284, 9, true, kCaption, kCenter);
  Text(img, "Velno-HD USB DAC", 150, 287, 616, 636, 9, false, Hex(0x6B7684), kRight);

  // Every label sits on a display field, so the program's coloured text reads clearly.
  for (int i = 0; i < g_nSkinLabelDefs; ++i) {
    const SKIN_LABEL_DEF& l = g_skinLabelDefs[i];
    if (strcmp(l.name, "TXT_CPL_LOAD") == 0) continue;  // shown only while starting, over the face
    if (i > 0 && l.x == g_skinLabelDefs[i - 1].x && l.y == g_skinLabelDefs[i - 1].y) continue;
    DrawField(img, l.x, l.y, l.cx, l.cy);
  }

  // Outline edge.
  StrokeRoundRect(img, .5f, .5f, kWindowW - .5f, kWindowH - .5f, kCorner - .5f, 1.5f, kEdge);
}

// ---- elements

enum State { kNormal, kHover, kPressed, kDisabled };

struct Look {
  Paint fill;
  Color edge, text, led;
};

Look PillLook(State s, float y0, float y1) {
  switch (s) {
    case kHover: return {VGradient(y0, y1, Hex(0xFFFFFF), Hex(0xE4EEF8)), Hex(0x3F78B3), Hex(0x1C4E80), Hex(0x8DB3DA)};
    case kPressed: return {VGradient(y0, y1, Hex(0x4F86BF), Hex(0x2C5B8A)), Hex(0x21476E), Hex(0xFFFFFF), Hex(0x7CFFA0)};
    case kDisabled: return {Solid(Hex(0xE6E9ED)), Hex(0xC8CED5), Hex(0xA9B2BC), Hex(0xCDD2D8)};
    default: return {VGradient(y0, y1, Hex(0xF7F9FB), Hex(0xDCE2E9)), Hex(0x95A1AE), kInk, Hex(0x9AA5B1)};
  }
}

std::string ButtonText(const SKIN_BUTTON_DEF& b) {
  std::string tip = b.tip;
  size_t k = tip.find("KHz");
  if (k != std::string::npos) return tip.substr(0, k) + " kHz";
  if (strcmp(b.name, "BTN_ASIO_16B") == 0 || strcmp(b.name, "BTN_ASIO_24B") == 0 || strcmp(b.name, "BTN_ASIO_32B") == 0)
    return tip.substr(0, 2) + " bit";
  return tip;
}

bool StartsWith(const char* s, const char* prefix) { return strncmp(s, prefix, strlen(prefix)) == 0; }

void DrawRoundButton(Image& img, const SKIN_BUTTON_DEF& b, State s, const char* caption, Color lit) {
  float cx = b.x + b.cx / 2.f, cy = b.y + b.cy / 2.f, r = std::min(b.cx, b.cy) / 2.f - 2;
  FillCircle(img, cx + .5f, cy + 1, r, Solid(Hex(0x7E8995)), .35f);
  Color top = s == kHover ? Hex(0xFFFFFF) : s == kDisabled ? Hex(0xE9ECEF) : Hex(0xF4F6F8);
  Color bottom = s == kHover ? Hex(0xD9E6F3) : s == kDisabled ? Hex(0xDDE1E5) : Hex(0xC9D1DA);
  if (s == kPressed) top = Mix(lit, Hex(0xFFFFFF), .35f), bottom = Mix(lit, Hex(0x000000), .25f);
  FillCircle(img, cx, cy, r, VGradient(cy - r, cy + r, top, bottom));
  StrokeCircle(img, cx, cy, r, 1.2f, s == kDisabled ? Hex(0xC3C9D0) : s == kHover ? Hex(0x3F78B3) : Hex(0x7D8896));
  if (s == kPressed) StrokeCircle(img, cx, cy, r - 3, 1.5f, Hex(0xFFFFFF), .6f);
  Color ink = s == kPressed ? Hex(0xFFFFFF) : s == kDisabled ? Hex(0xA9B2BC) : kInk;
  Text(img, caption, b.x, b.x + b.cx, b.y, b.y + b.cy, 10, true, ink);
}

void DrawHideButton(Image& img, const SKIN_BUTTON_DEF& b, State s) {
  float cx = b.x + b.cx / 2.f, cy = b.y + b.cy / 2.f, r = b.cx / 2.f - 1.5f;
  Color fill = s == kHover ? Hex(0x6D88A4) : s == kPressed ? Hex(0x16212C) : s == kDisabled ? Hex(0x3A4652) : Hex(0x4A6179);
  FillCircle(img, cx, cy, r, Solid(fill));
  StrokeCircle(img, cx, cy, r, 1, Hex(0x8FA6BD), s == kDisabled ? .3f : .8f);
  Color ink = s == kDisabled ? Hex(0x75828F) : Hex(0xFFFFFF);
  FillRoundRect(img, cx - 5, cy - 1, cx + 5, cy + 1, 1, Solid(ink));
}

void DrawButton(Image& img, const SKIN_BUTTON_DEF& b, State s) {
  if (strcmp(b.name, "BTN_HIDE") == 0) return DrawHideButton(img, b, s);
  if (strstr(b.name, "_MUTE")) return DrawRoundButton(img, b, s, "MUTE", Hex(0xD9463B));
  if (strstr(b.name, "_VOL_GANG")) return DrawRoundButton(img, b, s, "GANG", Hex(0x3F78B3));
  const float x0 = b.x + .5f, y0 = b.y + .5f, x1 = b.x + b.cx - .5f, y1 = b.y + b.cy - .5f;
  const bool rate = strstr(b.name, "K") && (StartsWith(b.name, "BTN_P_") || StartsWith(b.name, "BTN_R_")) &&
                    b.cy == 14;
  const float radius = b.cy >= 20 ? 5 : (y1 - y0) / 2;
  Look look = PillLook(s, y0, y1);
  FillRoundRect(img, x0, y0, x1, y1, radius, look.fill);
  StrokeRoundRect(img, x0, y0, x1, y1, radius, 1, look.edge);
  float textLeft = b.x, textRight = b.x + b.cx;
  if (rate) {
    // A status lamp at the left end of every rate button.
    float lx = b.x + 7.5f, ly = b.y + b.cy / 2.f;
    if (s == kPressed) FillCircle(img, lx, ly, 4.5f, Solid(look.led), .35f);
    FillCircle(img, lx, ly, 2.6f, Solid(look.led));
    textLeft += 11;
  }
  const int px = b.cy >= 20 ? 12 : 10;
  Text(img, ButtonText(b), textLeft, textRight, b.y, b.y + b.cy, px, true, look.text);
}

void DrawSliderTrack(Image& img, const SKIN_SLIDER_DEF& sl) {
  const float cy = sl.y + sl.cy / 2.f;
  FillRoundRect(img, sl.x + 3, cy - 2.5f, sl.x + sl.cx - 3, cy + 2.5f, 2.5f, Solid(Hex(0x5A6673)));
  FillRoundRect(img, sl.x + 4, cy - 1.5f, sl.x + sl.cx - 4, cy - .5f, .5f, Solid(Hex(0x2F3943)));
  for (int i = 0; i <= 10; ++i) {
    float x = sl.x + 6 + (sl.cx - 12) * i / 10.f;
    FillRoundRect(img, x - .5f, sl.y + sl.cy - 4, x + .5f, sl.y + sl.cy - 1, 0, Solid(Hex(0x8D98A5)));
  }
}

Image DrawStateImage(const Image& face, State s) {
  Image img = face;
  for (int i = 0; i < g_nSkinButtonDefs; ++i) DrawButton(img, g_skinButtonDefs[i], s);
  for (int i = 0; i < g_nSkinSliderDefs; ++i) DrawSliderTrack(img, g_skinSliderDefs[i]);
  return img;
}

Image DrawThumb(bool grabbed) {
  Image img(8, 16, kCard);
  Color top = grabbed ? Hex(0x7FB0E0) : Hex(0xFDFEFF), bottom = grabbed ? Hex(0x2C5B8A) : Hex(0xB7C1CC);
  FillRoundRect(img, .5f, .5f, 7.5f, 15.5f, 2.5f, VGradient(0, 16, top, bottom));
  StrokeRoundRect(img, .5f, .5f, 7.5f, 15.5f, 2.5f, 1, grabbed ? Hex(0x1D3F61) : Hex(0x5A6673));
  FillRoundRect(img, 3.5f, 4, 4.5f, 12, 0, Solid(grabbed ? Hex(0xFFFFFF) : Hex(0x6F7B88)), .8f);
  return img;
}

// ---- files

void Put16(std::vector<uint8_t>& v, uint32_t x) { v.push_back(x & 255), v.push_back((x >> 8) & 255); }
void Put32(std::vector<uint8_t>& v, uint32_t x) { Put16(v, x & 0xFFFF), Put16(v, x >> 16); }
uint8_t Byte(float f) { return (uint8_t)std::lround(std::clamp(f, 0.f, 1.f) * 255); }

std::vector<uint8_t> DibInfoAndPixels(const Image& img, int bpp, int heightFactor) {
  std::vector<uint8_t> v;
  const int stride = ((img.w() * bpp / 8) + 3) & ~3;
  Put32(v, 40), Put32(v, img.w()), Put32(v, img.h() * heightFactor), Put16(v, 1), Put16(v, bpp);
  Put32(v, 0), Put32(v, stride * img.h()), Put32(v, 2835), Put32(v, 2835), Put32(v, 0), Put32(v, 0);
  for (int y = img.h() - 1; y >= 0; --y) {
    size_t start = v.size();
    for (int x = 0; x < img.w(); ++x) {
      Color c = img.at(x, y);
      v.push_back(Byte(c.b)), v.push_back(Byte(c.g)), v.push_back(Byte(c.r));
      if (bpp == 32) v.push_back(255);
    }
    while ((v.size() - start) % 4) v.push_back(0);
  }
  return v;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

bool WriteBmp(const std::string& path, const Image& img, int bpp) {
  std::vector<uint8_t> dib = DibInfoAndPixels(img, bpp, 1), file;
  file.push_back('B'), file.push_back('M');
  Put32(file, 14 + (uint32_t)dib.size()), Put32(file, 0), Put32(file, 14 + 40);
  file.insert(file.end(), dib.begin(), dib.end());
  return WriteFile(path, file);
}

// The program icon: a rounded blue tile with a white waveform.
Image DrawIcon(int size, std::vector<float>& alpha) {
  const float s = size / 32.f;
  Image img(size, size, Hex(0x000000));
  Image cover(size, size, Hex(0x000000));
  FillRoundRect(img, 1 * s, 1 * s, 31 * s, 31 * s, 7 * s, VGradient(0, size, Hex(0x5A93CC), Hex(0x1F4A78)));
  FillRoundRect(cover, 1 * s, 1 * s, 31 * s, 31 * s, 7 * s, Solid(Hex(0xFFFFFF)));
  // A V-shaped wave: two strokes meeting at the bottom.
  auto segment = [](float px, float py, float ax, float ay, float bx, float by) {
    float dx = bx - ax, dy = by - ay, t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.f, 1.f);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
  };
  const float w = 2.2f * s;
  Fill(img, 0, 0, size, size,
       [&](float x, float y) {
         return std::min(segment(x, y, 8 * s, 8 * s, 16 * s, 24 * s), segment(x, y, 16 * s, 24 * s, 24 * s, 8 * s)) - w;
       },
       Solid(Hex(0xFFFFFF)));
  alpha.assign((size_t)size * size, 0);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) alpha[(size_t)y * size + x] = cover.at(x, y).r;
  return img;
}

bool WriteIcon(const std::string& path) {
  const int sizes[] = {32, 16};
  std::vector<std::vector<uint8_t>> images;
  for (int size : sizes) {
    std::vector<float> alpha;
    Image img = DrawIcon(size, alpha);
    std::vector<uint8_t> v;
    Put32(v, 40), Put32(v, size), Put32(v, size * 2), Put16(v, 1), Put16(v, 32);
    Put32(v, 0), Put32(v, 0), Put32(v, 0), Put32(v, 0), Put32(v, 0), Put32(v, 0);
    for (int y = size - 1; y >= 0; --y)
      for (int x = 0; x < size; ++x) {
        Color c = img.at(x, y);
        float a = alpha[(size_t)y * size + x];
        v.push_back(Byte(c.b * a)), v.push_back(Byte(c.g * a)), v.push_back(Byte(c.r * a)), v.push_back(Byte(a));
      }
    // The AND mask: 1 bits are transparent; rows padded to 32 bits.
    const int maskStride = ((size + 31) / 32) * 4;
    for (int y = size - 1; y >= 0; --y) {
      std::vector<uint8_t> row((size_t)maskStride, 0);
      for (int x = 0; x < size; ++x)
        if (alpha[(size_t)y * size + x] < .5f) row[(size_t)x / 8] |= (uint8_t)(0x80 >> (x % 8));
      v.insert(v.end(), row.begin(), row.end());
    }
    images.push_back(v);
  }
  std::vector<uint8_t> file;
  Put16(file, 0), Put16(file, 1), Put16(file, (uint32_t)images.size());
  uint32_t offset = 6 + 16 * (uint32_t)images.size();
  for (size_t i = 0; i < images.size(); ++i) {
    file.push_back((uint8_t)sizes[i]), file.push_back((uint8_t)sizes[i]), file.push_back(0), file.push_back(0);
    Put16(file, 1), Put16(file, 32), Put32(file, (uint32_t)images[i].size()), Put32(file, offset);
    offset += (uint32_t)images[i].size();
  }
  for (auto& v : images) file.insert(file.end(), v.begin(), v.end());
  return WriteFile(path, file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: skin_artwork OUTPUT_DIR [REGULAR_FONT BOLD_FONT]\n");
    return 2;
  }
  const std::string out = argv[1];
  const char* regular = argc > 3 ? argv[2] : "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
  const char* bold = argc > 3 ? argv[3] : "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf";
  if (!g_fonts.Open(regular, bold)) {
    fprintf(stderr, "skin_artwork: cannot open the fonts %s, %s\n", regular, bold);
    return 1;
  }

  Image face(kImageW, kImageH, kEdge);
  DrawFace(face);

  Image mask(kWindowW, kWindowH, Hex(0xFFFFFF));
  for (int y = 0; y < kWindowH; ++y)
    for (int x = 0; x < kWindowW; ++x)
      if (InsideOutline(x + .5f, y + .5f)) mask.at(x, y) = Hex(0x000000);

  bool ok = WriteBmp(out + "/skin_background.bmp", face, 24) &&
            WriteBmp(out + "/skin_normal.bmp", DrawStateImage(face, kNormal), 32) &&
            WriteBmp(out + "/skin_hover.bmp", DrawStateImage(face, kHover), 32) &&
            WriteBmp(out + "/skin_pressed.bmp", DrawStateImage(face, kPressed), 32) &&
            WriteBmp(out + "/skin_disabled.bmp", DrawStateImage(face, kDisabled), 32) &&
            WriteBmp(out + "/skin_mask.bmp", mask, 24) &&
            WriteBmp(out + "/thumb_normal.bmp", DrawThumb(false), 24) &&
            WriteBmp(out + "/thumb_grabbed.bmp", DrawThumb(true), 24) &&
            WriteBmp(out + "/thumb_spare.bmp", DrawThumb(false), 24) && WriteIcon(out + "/cpl.ico");
  if (!ok) {
    fprintf(stderr, "skin_artwork: cannot write into %s\n", out.c_str());
    return 1;
  }
  return 0;
}
