// Fonts and text: logical fonts realised with FreeType from the machine's fonts (found through
// fontconfig; the machine's drive_c/windows/fonts folder is searched too), text measurement,
// TextOut and DrawText.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <strings.h>
#include <velno/machine.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "../user/winsys.h"

namespace velno::win {

struct RealFont {
  FT_Face face = nullptr;
  int em = 12;
  int ascent = 0, descent = 0;
  int advances[256];
  bool bold = false, italic = false;
  std::string family;
  ~RealFont() {
    if (face) FT_Done_Face(face);
  }
};

namespace {

FT_Library g_ft = nullptr;
std::string g_fontRoot;
std::map<std::string, std::weak_ptr<RealFont>> g_cache;

// Windows ANSI (code page 1252) to Unicode for the bytes that differ from Latin-1.
const uint16_t kCp1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                              0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                              0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
uint32_t ToUnicode(unsigned char c) { return c >= 0x80 && c < 0xA0 ? kCp1252[c - 0x80] : c; }

std::string MapFace(const char* face, bool* fixed) {
  std::string f = face ? face : "";
  *fixed = false;
  static const char* sans[] = {"", "Arial", "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif", "Microsoft Sans Serif",
                               "Tahoma", "Segoe UI", "System", "Helvetica", "Verdana"};
  static const char* mono[] = {"Courier New", "Courier", "Fixedsys", "Terminal", "Consolas", "Lucida Console"};
  static const char* serif[] = {"Times New Roman", "Times", "MS Serif"};
  for (const char* s : sans)
    if (strcasecmp(f.c_str(), s) == 0) return "Liberation Sans";
  for (const char* s : mono)
    if (strcasecmp(f.c_str(), s) == 0) {
      *fixed = true;
      return "Liberation Mono";
    }
  for (const char* s : serif)
    if (strcasecmp(f.c_str(), s) == 0) return "Liberation Serif";
  return f;
}

bool InitFonts() {
  if (!g_ft && FT_Init_FreeType(&g_ft) != 0) return false;
  const std::string& root = velno::sim::MachineRoot();
  if (g_fontRoot != root) {
    g_fontRoot = root;
    FcInit();
    std::string dir = root + "/drive_c/windows/fonts";
    if (std::filesystem::exists(dir))
      FcConfigAppFontAddDir(nullptr, reinterpret_cast<const FcChar8*>(dir.c_str()));
  }
  return true;
}

std::shared_ptr<RealFont> Realize(const LOGFONTA& lf) {
  if (!InitFonts()) return nullptr;
  bool fixed;
  std::string family = MapFace(lf.lfFaceName, &fixed);
  if ((lf.lfPitchAndFamily & 3) == FIXED_PITCH && family.empty()) family = "Liberation Mono";
  int weight = lf.lfWeight == 0 ? FW_NORMAL : lf.lfWeight;
  bool italic = lf.lfItalic != 0;
  FcPattern* pat = FcPatternCreate();
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pat, FC_WEIGHT, weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res;
  FcPattern* match = FcFontMatch(nullptr, pat, &res);
  FcPatternDestroy(pat);
  if (!match) return nullptr;
  FcChar8* file = nullptr;
  int index = 0;
  FcPatternGetString(match, FC_FILE, 0, &file);
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  std::string path = file ? reinterpret_cast<char*>(file) : "";
  FcPatternDestroy(match);
  if (path.empty()) return nullptr;

  // Height: negative is the character (em) height, positive the cell height, 0 a default.
  FT_Face probe;
  if (FT_New_Face(g_ft, path.c_str(), index, &probe) != 0) return nullptr;
  int upem = probe->units_per_EM ? probe->units_per_EM : 2048;
  int winAsc = probe->ascender, winDesc = -probe->descender;
  if (TT_OS2* os2 = (TT_OS2*)FT_Get_Sfnt_Table(probe, FT_SFNT_OS2)) {
    if (os2->usWinAscent + os2->usWinDescent > 0) {
      winAsc = os2->usWinAscent;
      winDesc = os2->usWinDescent;
    }
  }
  int em;
  if (lf.lfHeight < 0)
    em = -lf.lfHeight;
  else if (lf.lfHeight > 0)
    em = std::max(1, (int)std::lround((double)lf.lfHeight * upem / (winAsc + winDesc)));
  else
    em = 12;
  std::string key = path + "#" + std::to_string(index) + "@" + std::to_string(em);
  auto it = g_cache.find(key);
  if (it != g_cache.end()) {
    if (auto f = it->second.lock()) {
      FT_Done_Face(probe);
      return f;
    }
  }
  auto rf = std::make_shared<RealFont>();
  rf->face = probe;
  rf->em = em;
  rf->family = family;
  rf->bold = weight >= 600;
  rf->italic = italic;
  FT_Set_Pixel_Sizes(probe, 0, em);
  rf->ascent = (int)std::ceil((double)winAsc * em / upem);
  rf->descent = (int)std::ceil((double)winDesc * em / upem);
  for (int c = 0; c < 256; ++c) {
    rf->advances[c] = 0;
    if (FT_Load_Char(probe, ToUnicode((unsigned char)c), FT_LOAD_DEFAULT) == 0)
      rf->advances[c] = (int)((probe->glyph->advance.x + 32) >> 6);
  }
  g_cache[key] = rf;
  return rf;
}

RealFont* Real(FontObject* f) {
  if (!f) return nullptr;
  if (!f->real) f->real = Realize(f->lf);
  return f->real.get();
}

}  // namespace

SIZE MeasureText(FontObject* font, const char* text, int count) {
  Guard g(Lock());
  RealFont* rf = Real(font);
  SIZE s{0, 0};
  if (!rf) return s;
  for (int i = 0; i < count; ++i) s.cx += rf->advances[(unsigned char)text[i]];
  s.cy = rf->ascent + rf->descent;
  return s;
}

FontMetrics MetricsOf(FontObject* font) {
  Guard g(Lock());
  RealFont* rf = Real(font);
  FontMetrics m{};
  if (!rf) return m;
  m.ascent = rf->ascent;
  m.descent = rf->descent;
  m.height = rf->ascent + rf->descent;
  m.internalLeading = std::max(0, m.height - rf->em);
  m.aveWidth = rf->advances[(unsigned char)'x'];
  int mx = 0;
  for (int c = 32; c < 256; ++c) mx = std::max(mx, rf->advances[c]);
  m.maxWidth = mx;
  return m;
}

// Draws a run with its top-left cell corner at logical (x, y); the DC's clip applies.
void DrawTextRun(DcObject* dc, int x, int y, const char* text, int count) {
  FontObject* font = DcFont(dc);
  RealFont* rf = Real(font);
  DrawTarget t;
  if (!rf || !ResolveDc(dc, &t)) return;
  POINT dev{x - dc->state.windowOrg.x + dc->state.viewportOrg.x, y - dc->state.windowOrg.y + dc->state.viewportOrg.y};
  int sx = dev.x + t.origin.x, sy = dev.y + t.origin.y;
  SIZE ext = MeasureText(font, text, count);
  // clip region limited to the run's box (with room for overhangs)
  RECT box{sx - rf->em, sy, sx + ext.cx + rf->em, sy + ext.cy};
  Region clip = t.visible.Intersect(box);
  if (dc->paintClip) {
    Region p = *dc->paintClip;
    p.Offset(t.origin.x, t.origin.y);
    clip = Region::Combine(clip, p, RGN_AND);
  }
  if (dc->state.clip) {
    Region c = *dc->state.clip;
    c.Offset(t.origin.x, t.origin.y);
    clip = Region::Combine(clip, c, RGN_AND);
  }
  if (dc->state.bkMode == OPAQUE) {
    uint32_t bk = ToBgrx(dc->state.bkColor);
    RECT cell{sx, sy, sx + ext.cx, sy + ext.cy};
    for (const RECT& r : clip.Rects())
      for (int yy = std::max(r.top, cell.top); yy < std::min(r.bottom, cell.bottom); ++yy)
        for (int xx = std::max(r.left, cell.left); xx < std::min(r.right, cell.right); ++xx)
          t.surface->PutRaw32(xx, yy, bk);
  }
  COLORREF tc = dc->state.textColor;
  int pen = sx;
  int baseline = sy + rf->ascent;
  for (int i = 0; i < count; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (FT_Load_Char(rf->face, ToUnicode(c), FT_LOAD_RENDER) == 0) {
      FT_GlyphSlot gs = rf->face->glyph;
      const FT_Bitmap& bm = gs->bitmap;
      int gx = pen + gs->bitmap_left, gy = baseline - gs->bitmap_top;
      for (unsigned row = 0; row < bm.rows; ++row)
        for (unsigned col = 0; col < bm.width; ++col) {
          int a;
          if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
            a = (bm.buffer[row * bm.pitch + (col >> 3)] & (0x80 >> (col & 7))) ? 255 : 0;
          else
            a = bm.buffer[row * bm.pitch + col];
          if (!a) continue;
          int px = gx + (int)col, py = gy + (int)row;
          if (!clip.Contains(px, py)) continue;
          if (t.surface->bpp == 1) {
            if (a >= 128) t.surface->Put(px, py, tc);
            continue;
          }
          uint32_t d = t.surface->GetRaw32(px, py);
          int db = d & 0xFF, dg = (d >> 8) & 0xFF, dr = (d >> 16) & 0xFF;
          int r = (GetRValue(tc) * a + dr * (255 - a)) / 255, g2 = (GetGValue(tc) * a + dg * (255 - a)) / 255,
              b = (GetBValue(tc) * a + db * (255 - a)) / 255;
          t.surface->PutRaw32(px, py, (d & 0xFF000000u) | (r << 16) | (g2 << 8) | b);
        }
    }
    pen += rf->advances[c];
  }
  if (font->lf.lfUnderline) {
    int uy = baseline + 1;
    for (int xx = sx; xx < sx + ext.cx; ++xx)
      if (clip.Contains(xx, uy)) t.surface->Put(xx, uy, tc);
  }
  TargetChanged(t);
}

}  // namespace velno::win

using namespace velno::win;

namespace {
DcObject* Dc(HDC h) { return Gdi<DcObject>(h); }

int Len(LPCSTR text, int count) { return count < 0 ? (text ? (int)strlen(text) : 0) : count; }

// Removes mnemonic prefixes: "&x" shows x, "&&" shows one ampersand.
std::string StripPrefix(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size()) out += s[++i];
      continue;
    }
    out += s[i];
  }
  return out;
}
}  // namespace

extern "C" {

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lf) {
  if (!lf) return nullptr;
  auto f = std::make_unique<FontObject>();
  f->lf = *lf;
  f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
  return (HFONT)InsertGdi(std::move(f));
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = (BYTE)italic;
  lf.lfUnderline = (BYTE)underline;
  lf.lfStrikeOut = (BYTE)strikeOut;
  lf.lfCharSet = (BYTE)charSet;
  lf.lfOutPrecision = (BYTE)outPrecision;
  lf.lfClipPrecision = (BYTE)clipPrecision;
  lf.lfQuality = (BYTE)quality;
  lf.lfPitchAndFamily = (BYTE)pitchAndFamily;
  if (faceName) strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirectA(&lf);
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, LPSIZE size) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc || !size || count < 0 || (!text && count)) return FALSE;
  *size = MeasureText(DcFont(dc), text, count);
  return TRUE;
}

BOOL WINAPI GetTextExtentPointA(HDC hdc, LPCSTR text, int count, LPSIZE size) {
  return GetTextExtentPoint32A(hdc, text, count, size);
}

BOOL WINAPI GetTextExtentExPointA(HDC hdc, LPCSTR text, int count, int maxExtent, LPINT fit, LPINT dx, LPSIZE size) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc || !size || count < 0) return FALSE;
  FontObject* f = DcFont(dc);
  int total = 0, n = 0;
  for (int i = 0; i < count; ++i) {
    total += MeasureText(f, text + i, 1).cx;
    if (dx) dx[i] = total;
    if (total <= maxExtent) n = i + 1;
  }
  if (fit) *fit = n;
  *size = MeasureText(f, text, count);
  return TRUE;
}

BOOL WINAPI GetCharWidth32A(HDC hdc, UINT first, UINT last, LPINT widths) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc || !widths || last < first || last > 255) return FALSE;
  for (UINT c = first; c <= last; ++c) {
    char ch = (char)c;
    widths[c - first] = MeasureText(DcFont(dc), &ch, 1).cx;
  }
  return TRUE;
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA tm) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc || !tm) return FALSE;
  FontObject* f = DcFont(dc);
  FontMetrics m = MetricsOf(f);
  std::memset(tm, 0, sizeof *tm);
  tm->tmHeight = m.height;
  tm->tmAscent = m.ascent;
  tm->tmDescent = m.descent;
  tm->tmInternalLeading = m.internalLeading;
  tm->tmAveCharWidth = m.aveWidth;
  tm->tmMaxCharWidth = m.maxWidth;
  tm->tmWeight = f->lf.lfWeight ? f->lf.lfWeight : FW_NORMAL;
  tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = f->lf.lfItalic;
  tm->tmUnderlined = f->lf.lfUnderline;
  tm->tmStruckOut = f->lf.lfStrikeOut;
  bool fixed;
  MapFace(f->lf.lfFaceName, &fixed);
  // TMPF_FIXED_PITCH set means variable pitch (the bit's historical meaning).
  tm->tmPitchAndFamily = (BYTE)((fixed ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE | (fixed ? FF_MODERN : FF_SWISS));
  tm->tmCharSet = ANSI_CHARSET;
  return TRUE;
}

int WINAPI GetTextFaceA(HDC hdc, int count, LPSTR face) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return 0;
  const char* name = DcFont(dc)->lf.lfFaceName;
  int n = (int)strlen(name);
  if (!face) return n + 1;
  if (count <= 0) return 0;
  velno::win::CopyN(face, name, count);
  return std::min(n, count - 1) + 1;
}

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR text, int count) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc || count < 0 || (!text && count)) return FALSE;
  FontObject* f = DcFont(dc);
  SIZE ext = MeasureText(f, text, count);
  UINT align = dc->state.textAlign;
  if (align & TA_UPDATECP) {
    x = dc->state.current.x;
    y = dc->state.current.y;
  }
  int hx = align & TA_CENTER;
  if (hx == TA_CENTER)
    x -= ext.cx / 2;
  else if (hx == TA_RIGHT)
    x -= ext.cx;
  if ((align & TA_BASELINE) == TA_BASELINE)
    y -= MetricsOf(f).ascent;
  else if (align & TA_BOTTOM)
    y -= ext.cy;
  DrawTextRun(dc, x, y, text, count);
  if (align & TA_UPDATECP) dc->state.current.x += ext.cx;
  return TRUE;
}

BOOL WINAPI ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT* dx) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return FALSE;
  if ((options & ETO_OPAQUE) && rect) {
    HBRUSH b = CreateSolidBrush(dc->state.bkColor);
    FillRect(hdc, rect, b);
    DeleteObject(b);
  }
  if (!count) return TRUE;
  std::optional<Region> saved = dc->state.clip;
  if ((options & ETO_CLIPPED) && rect) IntersectClipRect(hdc, rect->left, rect->top, rect->right, rect->bottom);
  int mode = dc->state.bkMode;
  if (options & ETO_OPAQUE) dc->state.bkMode = TRANSPARENT;
  BOOL ok = TextOutA(hdc, x, y, text, (int)count);
  dc->state.bkMode = mode;
  dc->state.clip = saved;
  return ok;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->state.bkMode;
  dc->state.bkMode = mode;
  return old;
}
int WINAPI GetBkMode(HDC hdc) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  return dc ? dc->state.bkMode : 0;
}
COLORREF WINAPI SetBkColor(HDC hdc, COLORREF c) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->state.bkColor;
  dc->state.bkColor = c & 0xFFFFFF;
  return old;
}
COLORREF WINAPI GetBkColor(HDC hdc) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  return dc ? dc->state.bkColor : CLR_INVALID;
}
COLORREF WINAPI SetTextColor(HDC hdc, COLORREF c) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->state.textColor;
  dc->state.textColor = c & 0xFFFFFF;
  return old;
}
COLORREF WINAPI GetTextColor(HDC hdc) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  return dc ? dc->state.textColor : CLR_INVALID;
}
UINT WINAPI SetTextAlign(HDC hdc, UINT align) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return GDI_ERROR;
  UINT old = dc->state.textAlign;
  dc->state.textAlign = align;
  return old;
}
UINT WINAPI GetTextAlign(HDC hdc) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  return dc ? dc->state.textAlign : GDI_ERROR;
}
int WINAPI SetTextCharacterExtra(HDC hdc, int extra) { return 0; }

int WINAPI DrawTextA(HDC hdc, LPCSTR text, int count, LPRECT rect, UINT format) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc || !rect || !text) return 0;
  std::string s(text, Len(text, count));
  if (!(format & DT_NOPREFIX)) s = StripPrefix(s);
  FontObject* font = DcFont(dc);
  FontMetrics m = MetricsOf(font);
  int lineH = m.height;
  int width = rect->right - rect->left;
  // Lines: one for DT_SINGLELINE, else split at line breaks and, with DT_WORDBREAK, at words.
  std::vector<std::string> lines;
  if (format & DT_SINGLELINE) {
    std::string one;
    for (char c : s)
      if (c != '\r' && c != '\n') one += c;
    lines.push_back(one);
  } else {
    std::string cur;
    auto flush = [&](std::string line) {
      if (!(format & DT_WORDBREAK)) {
        lines.push_back(line);
        return;
      }
      std::string out;
      size_t i = 0;
      while (i <= line.size()) {
        size_t sp = line.find(' ', i);
        std::string word = line.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
        std::string cand = out.empty() ? word : out + " " + word;
        if (!out.empty() && MeasureText(font, cand.data(), (int)cand.size()).cx > width) {
          lines.push_back(out);
          out = word;
        } else {
          out = cand;
        }
        if (sp == std::string::npos) break;
        i = sp + 1;
      }
      lines.push_back(out);
    };
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\r') continue;
      if (s[i] == '\n') {
        flush(cur);
        cur.clear();
      } else {
        cur += s[i];
      }
    }
    flush(cur);
  }
  int total = (int)lines.size() * lineH;
  if (format & DT_CALCRECT) {
    int maxW = 0;
    for (const std::string& l : lines) maxW = std::max(maxW, (int)MeasureText(font, l.data(), (int)l.size()).cx);
    if (!(format & DT_WORDBREAK) || maxW > width) rect->right = rect->left + maxW;
    rect->bottom = rect->top + total;
    return total;
  }
  int y = rect->top;
  if (format & DT_SINGLELINE) {
    // Vertical placement applies to single lines only, as documented.
    if (format & DT_VCENTER)
      y = rect->top + ((rect->bottom - rect->top) - lineH) / 2;
    else if (format & DT_BOTTOM)
      y = rect->bottom - lineH;
  }
  std::optional<Region> saved = dc->state.clip;
  if (!(format & DT_NOCLIP)) IntersectClipRect(hdc, rect->left, rect->top, rect->right, rect->bottom);
  for (const std::string& l : lines) {
    int w = MeasureText(font, l.data(), (int)l.size()).cx;
    int x = rect->left;
    if (format & DT_CENTER)
      x = rect->left + (width - w) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - w;
    DrawTextRun(dc, x, y, l.data(), (int)l.size());
    y += lineH;
  }
  dc->state.clip = saved;
  return (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)) ? y - rect->top : total;
}

}  // extern "C"

// fontconfig keeps a few allocations of its configuration parser unreachable for the life of
// the process; leak checking (sanitizer builds) is told not to report them.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libexpat.so\n";
}
