// GDI objects and device contexts: the handle table, stock objects, bitmaps and DIB sections,
// memory DCs, block transfers, brushes, pens and simple shapes.
#include <sys/syscall.h>
#include <unistd.h>
#include <velno/machine.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "../user/winsys.h"

namespace velno::win {

std::recursive_mutex& Lock() {
  static std::recursive_mutex* m = new std::recursive_mutex;
  return *m;
}

DWORD ThisThreadId() {
  thread_local DWORD id = (DWORD)syscall(SYS_gettid);
  return id;
}

DWORD Now() {
  using namespace std::chrono;
  return (DWORD)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// ---------------------------------------------------------------- surfaces
void Surface::Allocate(int w, int h, int bitsPerPixel, bool bottomUp) {
  width = w;
  height = h;
  bpp = bitsPerPixel;
  int s = StrideFor(w, bpp);
  storage.assign((size_t)s * h + 4, 0);
  if (bottomUp) {
    top = storage.data() + (size_t)s * (h - 1);
    stride = -s;
  } else {
    top = storage.data();
    stride = s;
  }
}

uint32_t Surface::GetRaw32(int x, int y) const {
  const uint8_t* p = Row(y);
  switch (bpp) {
    case 32: {
      uint32_t v;
      std::memcpy(&v, p + x * 4, 4);
      return v;
    }
    case 24: return p[x * 3] | (p[x * 3 + 1] << 8) | (p[x * 3 + 2] << 16);
    case 1: {
      const RGBQUAD& q = palette[(p[x >> 3] >> (7 - (x & 7))) & 1];
      return q.rgbBlue | (q.rgbGreen << 8) | (q.rgbRed << 16);
    }
  }
  return 0;
}

void Surface::PutRaw32(int x, int y, uint32_t v) {
  uint8_t* p = Row(y);
  switch (bpp) {
    case 32: std::memcpy(p + x * 4, &v, 4); break;
    case 24:
      p[x * 3] = v & 0xFF;
      p[x * 3 + 1] = (v >> 8) & 0xFF;
      p[x * 3 + 2] = (v >> 16) & 0xFF;
      break;
    case 1: {
      // nearest of the two palette entries
      auto dist = [&](const RGBQUAD& q) {
        int db = q.rgbBlue - (int)(v & 0xFF), dg = q.rgbGreen - (int)((v >> 8) & 0xFF),
            dr = q.rgbRed - (int)((v >> 16) & 0xFF);
        return db * db + dg * dg + dr * dr;
      };
      int bit = dist(palette[1]) < dist(palette[0]) ? 1 : 0;
      if (bit)
        p[x >> 3] |= (uint8_t)(0x80 >> (x & 7));
      else
        p[x >> 3] &= (uint8_t)~(0x80 >> (x & 7));
      break;
    }
  }
}

COLORREF Surface::Get(int x, int y) const { return FromBgrx(GetRaw32(x, y)); }
void Surface::Put(int x, int y, COLORREF c) { PutRaw32(x, y, ToBgrx(c)); }

// ---------------------------------------------------------------- handle table
namespace {
std::unordered_map<uintptr_t, std::unique_ptr<GdiObject>>& Table() {
  static auto* t = new std::unordered_map<uintptr_t, std::unique_ptr<GdiObject>>;
  return *t;
}
uintptr_t g_next = 0x0A000010;
HGDIOBJ g_stock[20];

HGDIOBJ MakeStock(std::unique_ptr<GdiObject> o) {
  o->stock = true;
  return InsertGdi(std::move(o));
}

HGDIOBJ StockBrush(COLORREF c, UINT style = BS_SOLID) {
  auto b = std::make_unique<BrushObject>();
  b->color = c;
  b->style = style;
  return MakeStock(std::move(b));
}
HGDIOBJ StockPen(COLORREF c, int style = PS_SOLID) {
  auto p = std::make_unique<PenObject>();
  p->color = c;
  p->style = style;
  return MakeStock(std::move(p));
}
HGDIOBJ StockFontObject(const char* face, int height, int weight) {
  auto f = std::make_unique<FontObject>();
  f->lf.lfHeight = height;
  f->lf.lfWeight = weight;
  f->lf.lfCharSet = DEFAULT_CHARSET;
  strncpy(f->lf.lfFaceName, face, LF_FACESIZE - 1);
  return MakeStock(std::move(f));
}
HGDIOBJ g_monoStockBitmap;

void InitStock() {
  static bool done = false;
  if (done) return;
  done = true;
  g_stock[WHITE_BRUSH] = StockBrush(RGB(255, 255, 255));
  g_stock[LTGRAY_BRUSH] = StockBrush(RGB(192, 192, 192));
  g_stock[GRAY_BRUSH] = StockBrush(RGB(128, 128, 128));
  g_stock[DKGRAY_BRUSH] = StockBrush(RGB(64, 64, 64));
  g_stock[BLACK_BRUSH] = StockBrush(RGB(0, 0, 0));
  g_stock[NULL_BRUSH] = StockBrush(0, BS_NULL);
  g_stock[WHITE_PEN] = StockPen(RGB(255, 255, 255));
  g_stock[BLACK_PEN] = StockPen(RGB(0, 0, 0));
  g_stock[NULL_PEN] = StockPen(0, PS_NULL);
  g_stock[OEM_FIXED_FONT] = StockFontObject("Terminal", 12, FW_NORMAL);
  g_stock[ANSI_FIXED_FONT] = StockFontObject("Courier", 12, FW_NORMAL);
  g_stock[ANSI_VAR_FONT] = StockFontObject("MS Sans Serif", 12, FW_NORMAL);
  g_stock[SYSTEM_FONT] = StockFontObject("System", 16, FW_BOLD);
  g_stock[DEVICE_DEFAULT_FONT] = StockFontObject("System", 16, FW_BOLD);
  g_stock[DEFAULT_PALETTE] = nullptr;
  g_stock[SYSTEM_FIXED_FONT] = StockFontObject("Fixedsys", 15, FW_NORMAL);
  g_stock[DEFAULT_GUI_FONT] = StockFontObject("MS Shell Dlg", -11, FW_NORMAL);
  g_stock[DC_BRUSH] = StockBrush(RGB(255, 255, 255));
  g_stock[DC_PEN] = StockPen(RGB(0, 0, 0));
  auto mono = std::make_unique<BitmapObject>();
  mono->surface.Allocate(1, 1, 1);
  g_monoStockBitmap = MakeStock(std::move(mono));
}

}  // namespace

HGDIOBJ InsertGdi(std::unique_ptr<GdiObject> obj) {
  Guard g(Lock());
  uintptr_t h = g_next;
  g_next += 4;
  obj->handle = (HANDLE)h;
  Table()[h] = std::move(obj);
  return (HGDIOBJ)h;
}

GdiObject* LookupGdi(HGDIOBJ h) {
  Guard g(Lock());
  InitStock();
  auto it = Table().find((uintptr_t)h);
  return it == Table().end() ? nullptr : it->second.get();
}

template <class T>
T* Gdi(HGDIOBJ h) {
  return dynamic_cast<T*>(LookupGdi(h));
}
template BitmapObject* Gdi<BitmapObject>(HGDIOBJ);
template BrushObject* Gdi<BrushObject>(HGDIOBJ);
template PenObject* Gdi<PenObject>(HGDIOBJ);
template FontObject* Gdi<FontObject>(HGDIOBJ);
template RegionObject* Gdi<RegionObject>(HGDIOBJ);
template DcObject* Gdi<DcObject>(HGDIOBJ);

HFONT StockFont(int index) {
  Guard g(Lock());
  InitStock();
  return (HFONT)g_stock[index];
}

COLORREF SysColor(int index) {
  switch (index) {
    case COLOR_SCROLLBAR: return RGB(200, 200, 200);
    case COLOR_BACKGROUND: return RGB(0, 0, 0);
    case COLOR_ACTIVECAPTION: return RGB(153, 180, 209);
    case COLOR_INACTIVECAPTION: return RGB(191, 205, 219);
    case COLOR_MENU: return RGB(240, 240, 240);
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWFRAME: return RGB(100, 100, 100);
    case COLOR_MENUTEXT: return RGB(0, 0, 0);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_CAPTIONTEXT: return RGB(0, 0, 0);
    case COLOR_ACTIVEBORDER: return RGB(180, 180, 180);
    case COLOR_INACTIVEBORDER: return RGB(244, 247, 252);
    case COLOR_APPWORKSPACE: return RGB(171, 171, 171);
    case COLOR_HIGHLIGHT: return RGB(0, 120, 215);
    case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    case COLOR_BTNSHADOW: return RGB(160, 160, 160);
    case COLOR_GRAYTEXT: return RGB(109, 109, 109);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_INACTIVECAPTIONTEXT: return RGB(0, 0, 0);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(105, 105, 105);
    case COLOR_3DLIGHT: return RGB(227, 227, 227);
    case COLOR_INFOTEXT: return RGB(0, 0, 0);
    case COLOR_INFOBK: return RGB(255, 255, 225);
    case COLOR_HOTLIGHT: return RGB(0, 102, 204);
  }
  return RGB(0, 0, 0);
}

FontObject* DcFont(DcObject* dc) {
  FontObject* f = dc ? Gdi<FontObject>(dc->state.font) : nullptr;
  return f ? f : Gdi<FontObject>(StockFont(SYSTEM_FONT));
}

// A memory DC draws on the bitmap selected into it.
static bool ResolveMemory(DcObject* dc, DrawTarget* t) {
  BitmapObject* bm = Gdi<BitmapObject>(dc->state.bitmap);
  if (!bm) return false;
  t->surface = &bm->surface;
  t->origin = {0, 0};
  t->visible = Region(RECT{0, 0, bm->surface.width, bm->surface.height});
  t->top = nullptr;
  return true;
}

bool ResolveDc(DcObject* dc, DrawTarget* t) {
  if (!dc) return false;
  if (dc->memory) return ResolveMemory(dc, t);
  return ResolveTarget(dc, t);
}

HBITMAP CreateBitmapFromDib(const BITMAPINFO* info, const void* bits, bool keepDib) {
  if (!info) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  int w = h.biWidth, hh = std::abs(h.biHeight);
  if (w <= 0 || hh <= 0 || w > 32768 || hh > 32768) return nullptr;
  bool bottomUp = h.biHeight > 0;
  int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;
  if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return nullptr;
  int ncolors = bpp <= 8 ? (h.biClrUsed ? (int)h.biClrUsed : 1 << bpp) : 0;
  const RGBQUAD* pal = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(info) + h.biSize);
  auto obj = std::make_unique<BitmapObject>();
  int outBpp = keepDib && (bpp == 24 || bpp == 32 || bpp == 1) ? bpp : 32;
  if (!keepDib && bpp == 1) outBpp = 1;
  obj->surface.Allocate(w, hh, outBpp, keepDib && bottomUp);
  if (outBpp == 1 && ncolors >= 2) {
    obj->surface.palette[0] = pal[0];
    obj->surface.palette[1] = pal[1];
  }
  if (keepDib) {
    obj->dib = true;
    obj->header = h;
    obj->header.biHeight = h.biHeight;
    obj->header.biBitCount = (WORD)outBpp;
    obj->header.biSizeImage = (DWORD)(Surface::StrideFor(w, outBpp) * hh);
  }
  if (bits) {
    int srcStride = Surface::StrideFor(w, bpp);
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < hh; ++y) {
      const uint8_t* row = src + (size_t)(bottomUp ? hh - 1 - y : y) * srcStride;
      if (outBpp == bpp && bpp != 16) {
        std::memcpy(obj->surface.Row(y), row, (size_t)Surface::StrideFor(w, bpp));
        continue;
      }
      for (int x = 0; x < w; ++x) {
        uint32_t v = 0;
        if (bpp <= 8) {
          int idx = bpp == 8 ? row[x] : bpp == 4 ? (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF
                                                 : (row[x >> 3] >> (7 - (x & 7))) & 1;
          if (idx < ncolors) v = pal[idx].rgbBlue | (pal[idx].rgbGreen << 8) | (pal[idx].rgbRed << 16);
        } else if (bpp == 16) {
          uint16_t p = row[x * 2] | (row[x * 2 + 1] << 8);
          int r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
          v = ((b << 3) | (b >> 2)) | (((g << 3) | (g >> 2)) << 8) | (((r << 3) | (r >> 2)) << 16);
        } else if (bpp == 24) {
          v = row[x * 3] | (row[x * 3 + 1] << 8) | (row[x * 3 + 2] << 16);
        } else {
          std::memcpy(&v, row + x * 4, 4);
        }
        obj->surface.PutRaw32(x, y, v);
      }
    }
  }
  return (HBITMAP)InsertGdi(std::move(obj));
}

}  // namespace velno::win

using namespace velno::win;

namespace {

DcObject* Dc(HDC h) { return Gdi<DcObject>(h); }

POINT ToDevice(const DcObject* dc, int x, int y) {
  return POINT{x - dc->state.windowOrg.x + dc->state.viewportOrg.x, y - dc->state.windowOrg.y + dc->state.viewportOrg.y};
}

// The region every drawing operation of the DC is clipped to, in surface coordinates.
Region ClipOf(DcObject* dc, const DrawTarget& t) {
  Region clip = t.visible;
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
  return clip;
}

bool Resolve(DcObject* dc, DrawTarget* t) { return ResolveDc(dc, t); }

template <class F>
void ForEachClipped(const Region& clip, RECT area, F&& fn) {
  for (const RECT& r : clip.Rects()) {
    RECT i{std::max(r.left, area.left), std::max(r.top, area.top), std::min(r.right, area.right),
           std::min(r.bottom, area.bottom)};
    if (i.left < i.right && i.top < i.bottom) fn(i);
  }
}

COLORREF BrushColor(DcObject* dc, HBRUSH hb, bool* hollow) {
  *hollow = false;
  if ((uintptr_t)hb > 0 && (uintptr_t)hb <= COLOR_HOTLIGHT + 1) return SysColor((int)(uintptr_t)hb - 1);
  BrushObject* b = Gdi<BrushObject>(hb);
  if (!b) {
    *hollow = true;
    return 0;
  }
  if (b->style == BS_NULL) *hollow = true;
  if (b->handle == GetStockObject(DC_BRUSH) && dc) return dc->state.dcBrushColor;
  return b->sysColor >= 0 ? SysColor(b->sysColor) : b->color;
}

void FillSurface(DcObject* dc, const DrawTarget& t, RECT devRect, uint32_t bgrx, int rop) {
  RECT s{devRect.left + t.origin.x, devRect.top + t.origin.y, devRect.right + t.origin.x, devRect.bottom + t.origin.y};
  Region clip = ClipOf(dc, t);
  Surface* sf = t.surface;
  ForEachClipped(clip, s, [&](const RECT& r) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        if (rop == 1)
          sf->PutRaw32(x, y, ~sf->GetRaw32(x, y) & 0xFFFFFF);
        else
          sf->PutRaw32(x, y, bgrx);
      }
  });
  TargetChanged(t);
}

uint32_t ApplyRop(DWORD rop, uint32_t s, uint32_t d, uint32_t p) {
  switch (rop & 0x00FF0000) {
    case 0x00CC0000: return s;
    case 0x00330000: return ~s & 0xFFFFFF;
    case 0x00880000: return s & d;
    case 0x00EE0000: return s | d;
    case 0x00660000: return (s ^ d) & 0xFFFFFF;
    case 0x00440000: return s & ~d & 0xFFFFFF;
    case 0x00110000: return ~(s | d) & 0xFFFFFF;
    case 0x00BB0000: return (~s | d) & 0xFFFFFF;
    case 0x00F00000: return p;
    case 0x005A0000: return (p ^ d) & 0xFFFFFF;
    case 0x00550000: return ~d & 0xFFFFFF;
    case 0x00000000: return 0;
    case 0x00FF0000: return 0xFFFFFF;
    case 0x00C00000: return s & p;
    case 0x00AA0000: return d;
  }
  return s;
}

bool RopUsesSource(DWORD rop) {
  DWORD r = (rop >> 16) & 0xFF;
  return ((r >> 2) ^ r) & 0x33;
}

// Reads a source pixel of a blit converted for the destination, as Windows converts between
// monochrome and colour: mono 0 -> destination text colour, 1 -> background colour; colour ->
// mono: the source background colour becomes 1, anything else 0.
uint32_t SourcePixel(const Surface* src, int sx, int sy, DcObject* srcDc, DcObject* dstDc, const Surface* dst) {
  if (src->bpp == 1 && dst->bpp != 1) {
    const uint8_t* p = src->Row(sy);
    int bit = (p[sx >> 3] >> (7 - (sx & 7))) & 1;
    return ToBgrx(bit ? dstDc->state.bkColor : dstDc->state.textColor);
  }
  uint32_t v = src->GetRaw32(sx, sy);
  if (dst->bpp == 1 && src->bpp != 1) return (v & 0xFFFFFF) == ToBgrx(srcDc->state.bkColor) ? 0xFFFFFF : 0;
  return v;
}

}  // namespace

extern "C" {

HGDIOBJ WINAPI GetStockObject(int index) {
  Guard g(Lock());
  InitStock();
  if (index < 0 || index > DC_PEN) return nullptr;
  return g_stock[index];
}

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  Guard g(Lock());
  InitStock();
  if (hdc && !Dc(hdc)) return nullptr;
  auto dc = std::make_unique<DcObject>();
  dc->type = OBJ_MEMDC;
  dc->memory = true;
  dc->state.bitmap = g_monoStockBitmap;
  dc->state.brush = g_stock[WHITE_BRUSH];
  dc->state.pen = g_stock[BLACK_PEN];
  dc->state.font = g_stock[SYSTEM_FONT];
  return (HDC)InsertGdi(std::move(dc));
}

HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR port, const void* devMode) {
  if (!driver || strcasecmp(driver, "DISPLAY") != 0) return nullptr;
  return GetDC(nullptr);
}

BOOL WINAPI DeleteDC(HDC hdc) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return FALSE;
  if (BitmapObject* bm = Gdi<BitmapObject>(dc->state.bitmap)) bm->selectedInto = nullptr;
  Table().erase((uintptr_t)hdc);
  return TRUE;
}

int WINAPI SaveDC(HDC hdc) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return 0;
  dc->saved.push_back(dc->state);
  return (int)dc->saved.size();
}

BOOL WINAPI RestoreDC(HDC hdc, int saved) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return FALSE;
  int n = (int)dc->saved.size();
  int index = saved < 0 ? n + saved : saved - 1;
  if (index < 0 || index >= n) return FALSE;
  HGDIOBJ oldBitmap = dc->state.bitmap;
  dc->state = dc->saved[index];
  dc->saved.resize(index);
  if (dc->memory && oldBitmap != dc->state.bitmap) {
    if (BitmapObject* b = Gdi<BitmapObject>(oldBitmap)) b->selectedInto = nullptr;
    if (BitmapObject* b = Gdi<BitmapObject>(dc->state.bitmap)) b->selectedInto = hdc;
  }
  return TRUE;
}

BOOL WINAPI GdiFlush(void) { return TRUE; }

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  GdiObject* o = LookupGdi(h);
  if (!dc || !o) return nullptr;
  HGDIOBJ old = nullptr;
  switch (o->type) {
    case OBJ_BITMAP: {
      if (!dc->memory) return nullptr;
      BitmapObject* bm = static_cast<BitmapObject*>(o);
      // A bitmap can be selected into one memory DC at a time.
      if (bm->selectedInto && bm->selectedInto != hdc && !bm->stock) return nullptr;
      old = dc->state.bitmap;
      if (BitmapObject* ob = Gdi<BitmapObject>(old)) ob->selectedInto = nullptr;
      bm->selectedInto = bm->stock ? nullptr : hdc;
      dc->state.bitmap = h;
      return old;
    }
    case OBJ_BRUSH: old = dc->state.brush; dc->state.brush = h; return old;
    case OBJ_PEN: old = dc->state.pen; dc->state.pen = h; return old;
    case OBJ_FONT: old = dc->state.font; dc->state.font = h; return old;
    case OBJ_REGION: {
      RegionObject* r = static_cast<RegionObject*>(o);
      dc->state.clip = r->region;
      return (HGDIOBJ)(uintptr_t)r->region.Kind();
    }
  }
  return nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ h) {
  Guard g(Lock());
  GdiObject* o = LookupGdi(h);
  if (!o) return FALSE;
  if (o->stock) return TRUE;
  if (o->type == OBJ_DC || o->type == OBJ_MEMDC) return FALSE;
  if (o->type == OBJ_BITMAP && static_cast<BitmapObject*>(o)->selectedInto) return FALSE;
  Table().erase((uintptr_t)h);
  return TRUE;
}

DWORD WINAPI GetObjectType(HGDIOBJ h) {
  Guard g(Lock());
  GdiObject* o = LookupGdi(h);
  return o ? o->type : 0;
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_BITMAP: return dc->state.bitmap;
    case OBJ_BRUSH: return dc->state.brush;
    case OBJ_PEN: return dc->state.pen;
    case OBJ_FONT: return dc->state.font;
  }
  return nullptr;
}

int WINAPI GetObjectA(HGDIOBJ h, int size, LPVOID buffer) {
  Guard g(Lock());
  GdiObject* o = LookupGdi(h);
  if (!o) return 0;
  switch (o->type) {
    case OBJ_BITMAP: {
      BitmapObject* b = static_cast<BitmapObject*>(o);
      BITMAP bm{};
      bm.bmType = 0;
      bm.bmWidth = b->surface.width;
      bm.bmHeight = b->surface.height;
      // DDBs report word-aligned rows; DIB sections their DWORD-aligned stride.
      bm.bmWidthBytes = b->dib ? Surface::StrideFor(b->surface.width, b->surface.bpp)
                               : ((b->surface.width * b->surface.bpp + 15) / 16) * 2;
      bm.bmPlanes = 1;
      bm.bmBitsPixel = (WORD)b->surface.bpp;
      bm.bmBits = b->dib ? (b->surface.stride < 0 ? b->surface.storage.data() : b->surface.top) : nullptr;
      if (!buffer) return b->dib ? (int)sizeof(DIBSECTION) : (int)sizeof(BITMAP);
      if (b->dib && size >= (int)sizeof(DIBSECTION)) {
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih = b->header;
        std::memcpy(buffer, &ds, sizeof ds);
        return sizeof(DIBSECTION);
      }
      if (size < (int)sizeof(BITMAP)) return 0;
      std::memcpy(buffer, &bm, sizeof bm);
      return sizeof(BITMAP);
    }
    case OBJ_FONT: {
      FontObject* f = static_cast<FontObject*>(o);
      if (!buffer) return sizeof(LOGFONTA);
      int n = std::min(size, (int)sizeof(LOGFONTA));
      std::memcpy(buffer, &f->lf, n);
      return n;
    }
    case OBJ_BRUSH: {
      BrushObject* b = static_cast<BrushObject*>(o);
      if (!buffer) return sizeof(LOGBRUSH);
      if (size < (int)sizeof(LOGBRUSH)) return 0;
      LOGBRUSH lb{b->style, b->sysColor >= 0 ? SysColor(b->sysColor) : b->color, 0};
      std::memcpy(buffer, &lb, sizeof lb);
      return sizeof(LOGBRUSH);
    }
    case OBJ_PEN: {
      PenObject* p = static_cast<PenObject*>(o);
      if (!buffer) return sizeof(LOGPEN);
      if (size < (int)sizeof(LOGPEN)) return 0;
      LOGPEN lp{(UINT)p->style, {p->width, 0}, p->color};
      std::memcpy(buffer, &lp, sizeof lp);
      return sizeof(LOGPEN);
    }
  }
  return 0;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  auto b = std::make_unique<BrushObject>();
  b->color = color & 0xFFFFFF;
  return (HBRUSH)InsertGdi(std::move(b));
}

HBRUSH WINAPI CreateBrushIndirect(const LOGBRUSH* lb) {
  if (!lb) return nullptr;
  auto b = std::make_unique<BrushObject>();
  b->style = lb->lbStyle == BS_NULL ? BS_NULL : BS_SOLID;
  b->color = lb->lbColor & 0xFFFFFF;
  return (HBRUSH)InsertGdi(std::move(b));
}

HBRUSH WINAPI CreatePatternBrush(HBITMAP bitmap) {
  Guard g(Lock());
  BitmapObject* bm = Gdi<BitmapObject>(bitmap);
  if (!bm) return nullptr;
  auto b = std::make_unique<BrushObject>();
  b->color = bm->surface.width && bm->surface.height ? bm->surface.Get(0, 0) : 0;
  return (HBRUSH)InsertGdi(std::move(b));
}

HPEN WINAPI CreatePen(int style, int width, COLORREF color) {
  auto p = std::make_unique<PenObject>();
  p->style = style;
  p->width = std::max(1, width);
  p->color = color & 0xFFFFFF;
  return (HPEN)InsertGdi(std::move(p));
}

COLORREF WINAPI SetDCBrushColor(HDC hdc, COLORREF c) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->state.dcBrushColor;
  dc->state.dcBrushColor = c;
  return old;
}

COLORREF WINAPI SetDCPenColor(HDC hdc, COLORREF c) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->state.dcPenColor;
  dc->state.dcPenColor = c;
  return old;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
  const auto& profile = velno::sim::Profile();
  int w = profile.contains("display") ? profile["display"].value("width", 1920) : 1920;
  int h = profile.contains("display") ? profile["display"].value("height", 1080) : 1080;
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case HORZRES:
    case DESKTOPHORZRES: return w;
    case VERTRES:
    case DESKTOPVERTRES: return h;
    case HORZSIZE: return w * 254 / 960;
    case VERTSIZE: return h * 254 / 960;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT | RC_DI_BITMAP;
    case COLORRES: return 24;
    case SIZEPALETTE:
    case NUMRESERVED: return 0;
  }
  return 0;
}

int WINAPI SetMapMode(HDC hdc, int mode) { return MM_TEXT; }
int WINAPI GetMapMode(HDC hdc) { return MM_TEXT; }

BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.viewportOrg;
  dc->state.viewportOrg = {x, y};
  return TRUE;
}
BOOL WINAPI GetViewportOrgEx(HDC hdc, LPPOINT origin) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc || !origin) return FALSE;
  *origin = dc->state.viewportOrg;
  return TRUE;
}
BOOL WINAPI OffsetViewportOrgEx(HDC hdc, int dx, int dy, LPPOINT previous) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.viewportOrg;
  dc->state.viewportOrg.x += dx;
  dc->state.viewportOrg.y += dy;
  return TRUE;
}
BOOL WINAPI SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.windowOrg;
  dc->state.windowOrg = {x, y};
  return TRUE;
}
BOOL WINAPI GetWindowOrgEx(HDC hdc, LPPOINT origin) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc || !origin) return FALSE;
  *origin = dc->state.windowOrg;
  return TRUE;
}
BOOL WINAPI DPtoLP(HDC hdc, LPPOINT pts, int count) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return FALSE;
  for (int i = 0; i < count; ++i) {
    pts[i].x += dc->state.windowOrg.x - dc->state.viewportOrg.x;
    pts[i].y += dc->state.windowOrg.y - dc->state.viewportOrg.y;
  }
  return TRUE;
}
BOOL WINAPI LPtoDP(HDC hdc, LPPOINT pts, int count) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return FALSE;
  for (int i = 0; i < count; ++i) pts[i] = ToDevice(dc, pts[i].x, pts[i].y);
  return TRUE;
}

// ---- bitmaps
HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
  if (width < 0 || height < 0 || planes != 1) return nullptr;
  Guard g(Lock());
  InitStock();
  if (width == 0 || height == 0) return (HBITMAP)g_monoStockBitmap;
  int outBpp = bpp == 1 ? 1 : bpp == 24 ? 24 : 32;
  if (bpp != 1 && bpp != 24 && bpp != 32 && bpp != 16 && bpp != 8 && bpp != 4) return nullptr;
  auto obj = std::make_unique<BitmapObject>();
  obj->surface.Allocate(width, height, outBpp);
  if (bits) {
    // CreateBitmap rows are word aligned.
    int srcStride = ((width * (int)bpp + 15) / 16) * 2;
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y)
      std::memcpy(obj->surface.Row(y), src + (size_t)y * srcStride,
                  std::min(srcStride, Surface::StrideFor(width, outBpp)));
  }
  return (HBITMAP)InsertGdi(std::move(obj));
}

HBITMAP WINAPI CreateBitmapIndirect(const BITMAP* bm) {
  if (!bm) return nullptr;
  return CreateBitmap(bm->bmWidth, bm->bmHeight, bm->bmPlanes, bm->bmBitsPixel, bm->bmBits);
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int width, int height) {
  Guard g(Lock());
  InitStock();
  DcObject* dc = Dc(hdc);
  if (!dc || width < 0 || height < 0) return nullptr;
  if (width == 0 || height == 0) return (HBITMAP)g_monoStockBitmap;
  // A memory DC that still holds its default monochrome bitmap makes monochrome bitmaps.
  int bpp = 32;
  if (dc->memory) {
    BitmapObject* cur = Gdi<BitmapObject>(dc->state.bitmap);
    if (cur && cur->surface.bpp == 1) bpp = 1;
  }
  auto obj = std::make_unique<BitmapObject>();
  obj->surface.Allocate(width, height, bpp);
  return (HBITMAP)InsertGdi(std::move(obj));
}

HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                DWORD offset) {
  if (bits) *bits = nullptr;
  if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return nullptr;
  int bpp = info->bmiHeader.biBitCount;
  if (bpp != 1 && bpp != 24 && bpp != 32) return nullptr;
  Guard g(Lock());
  HBITMAP h = CreateBitmapFromDib(info, nullptr, true);
  if (!h) return nullptr;
  BitmapObject* b = Gdi<BitmapObject>(h);
  if (bits) *bits = b->surface.stride < 0 ? b->surface.storage.data() : b->surface.top;
  return h;
}

HBITMAP WINAPI CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                              const BITMAPINFO* info, UINT usage) {
  if (!header) return nullptr;
  Guard g(Lock());
  if ((init & CBM_INIT) && bits && info) return CreateBitmapFromDib(info, bits, false);
  return CreateCompatibleBitmap(hdc ? hdc : CreateCompatibleDC(nullptr), header->biWidth, std::abs(header->biHeight));
}

int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT usage) {
  Guard g(Lock());
  BitmapObject* b = Gdi<BitmapObject>(hbm);
  if (!b || !info) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (!bits && h.biBitCount == 0) {
    h.biWidth = b->surface.width;
    h.biHeight = b->surface.height;
    h.biPlanes = 1;
    h.biBitCount = (WORD)b->surface.bpp;
    h.biCompression = BI_RGB;
    h.biSizeImage = (DWORD)(Surface::StrideFor(b->surface.width, b->surface.bpp) * b->surface.height);
    return 1;
  }
  int bpp = h.biBitCount;
  if (bpp != 24 && bpp != 32) return 0;
  int w = b->surface.width, hh = b->surface.height;
  if (!bits) {
    h.biSizeImage = (DWORD)(Surface::StrideFor(w, bpp) * hh);
    return hh;
  }
  bool bottomUp = h.biHeight > 0;
  int stride = Surface::StrideFor(w, bpp);
  uint8_t* out = static_cast<uint8_t*>(bits);
  int copied = 0;
  for (UINT i = 0; i < lines; ++i) {
    int scan = (int)(start + i);  // scan lines count from the bottom in a bottom-up DIB
    if (scan >= hh) break;
    int y = bottomUp ? hh - 1 - scan : scan;
    uint8_t* row = out + (size_t)i * stride;
    for (int x = 0; x < w; ++x) {
      uint32_t v = b->surface.GetRaw32(x, y);
      if (bpp == 32) {
        if (b->surface.bpp != 32) v &= 0xFFFFFF;
        std::memcpy(row + x * 4, &v, 4);
      } else {
        row[x * 3] = v & 0xFF;
        row[x * 3 + 1] = (v >> 8) & 0xFF;
        row[x * 3 + 2] = (v >> 16) & 0xFF;
      }
    }
    ++copied;
  }
  return copied;
}

int WINAPI SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
                     UINT usage) {
  Guard g(Lock());
  BitmapObject* b = Gdi<BitmapObject>(hbm);
  if (!b || !info || !bits) return 0;
  HBITMAP tmp = CreateBitmapFromDib(info, bits, false);
  BitmapObject* t = Gdi<BitmapObject>(tmp);
  if (!t) return 0;
  int hh = std::min(t->surface.height, b->surface.height), w = std::min(t->surface.width, b->surface.width);
  bool bottomUp = info->bmiHeader.biHeight > 0;
  int done = 0;
  for (UINT i = 0; i < lines && (int)(start + i) < hh; ++i, ++done) {
    int yDst = bottomUp ? b->surface.height - 1 - (int)(start + i) : (int)(start + i);
    int ySrc = bottomUp ? t->surface.height - 1 - (int)(start + i) : (int)(start + i);
    for (int x = 0; x < w; ++x) b->surface.PutRaw32(x, yDst, t->surface.GetRaw32(x, ySrc));
  }
  DeleteObject(tmp);
  return done;
}

LONG WINAPI GetBitmapBits(HBITMAP hbm, LONG size, LPVOID bits) {
  Guard g(Lock());
  BitmapObject* b = Gdi<BitmapObject>(hbm);
  if (!b || !bits) return 0;
  int rowBytes = ((b->surface.width * b->surface.bpp + 15) / 16) * 2;
  LONG total = 0;
  for (int y = 0; y < b->surface.height && total + rowBytes <= size; ++y) {
    std::memcpy(static_cast<uint8_t*>(bits) + total, b->surface.Row(y), rowBytes);
    total += rowBytes;
  }
  return total;
}

BOOL WINAPI StretchBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc, int wSrc,
                       int hSrc, DWORD rop) {
  Guard g(Lock());
  DcObject* d = Dc(dest);
  DrawTarget dt;
  if (!Resolve(d, &dt)) return FALSE;
  bool useSrc = RopUsesSource(rop);
  DcObject* s = useSrc ? Dc(src) : nullptr;
  DrawTarget st;
  if (useSrc && !Resolve(s, &st)) return FALSE;
  if (wDest == 0 || hDest == 0) return TRUE;
  POINT dp = ToDevice(d, xDest, yDest);
  POINT sp = useSrc ? ToDevice(s, xSrc, ySrc) : POINT{0, 0};
  bool mirrorX = wDest < 0, mirrorY = hDest < 0;
  int aw = std::abs(wDest), ah = std::abs(hDest);
  if (mirrorX) dp.x -= aw;
  if (mirrorY) dp.y -= ah;
  RECT area{dp.x + dt.origin.x, dp.y + dt.origin.y, dp.x + dt.origin.x + aw, dp.y + dt.origin.y + ah};
  Region clip = ClipOf(d, dt);
  bool hollow;
  uint32_t pat = ToBgrx(BrushColor(d, (HBRUSH)d->state.brush, &hollow));
  Surface* dsf = dt.surface;
  Surface* ssf = useSrc ? st.surface : nullptr;
  // overlapping source and destination: read from a copy, as if the whole block moved at once
  Surface snapshot;
  if (ssf && ssf == dsf) {
    snapshot.Allocate(ssf->width, ssf->height, ssf->bpp);
    for (int y = 0; y < ssf->height; ++y)
      std::memcpy(snapshot.Row(y), ssf->Row(y), (size_t)Surface::StrideFor(ssf->width, ssf->bpp));
    snapshot.palette[0] = ssf->palette[0];
    snapshot.palette[1] = ssf->palette[1];
    ssf = &snapshot;
  }
  bool straight = useSrc && aw == wSrc && ah == hSrc && !mirrorX && !mirrorY;
  bool fastCopy = straight && (rop & 0x00FF0000) == 0x00CC0000 && dsf->bpp == 32 && ssf->bpp == 32;
  ForEachClipped(clip, area, [&](const RECT& r) {
    for (int y = r.top; y < r.bottom; ++y) {
      int ry = y - area.top;
      int syy;
      if (useSrc) {
        syy = straight ? ry : (int)((int64_t)(mirrorY ? ah - 1 - ry : ry) * std::abs(hSrc) / ah);
        syy += sp.y + st.origin.y;
        if (syy < 0 || syy >= ssf->height) continue;
      }
      if (fastCopy) {
        int x0 = r.left, x1 = r.right;
        int sx0 = x0 - area.left + sp.x + st.origin.x;
        if (sx0 < 0) {
          x0 -= sx0;
          sx0 = 0;
        }
        if (sx0 + (x1 - x0) > ssf->width) x1 = x0 + (ssf->width - sx0);
        if (x1 > x0) std::memcpy(dsf->Row(y) + x0 * 4, ssf->Row(syy) + sx0 * 4, (size_t)(x1 - x0) * 4);
        continue;
      }
      for (int x = r.left; x < r.right; ++x) {
        uint32_t sv = 0;
        if (useSrc) {
          int rx = x - area.left;
          int sxx = straight ? rx : (int)((int64_t)(mirrorX ? aw - 1 - rx : rx) * std::abs(wSrc) / aw);
          sxx += sp.x + st.origin.x;
          if (sxx < 0 || sxx >= ssf->width) continue;
          sv = SourcePixel(ssf, sxx, syy, s, d, dsf);
        }
        uint32_t dv = dsf->GetRaw32(x, y);
        uint32_t out = ApplyRop(rop, sv & 0xFFFFFF, dv & 0xFFFFFF, pat);
        if ((rop & 0x00FF0000) == 0x00CC0000 && dsf->bpp == 32 && useSrc && ssf->bpp == 32) out = sv;
        dsf->PutRaw32(x, y, out);
      }
    }
  });
  TargetChanged(dt);
  return TRUE;
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop) {
  return StretchBlt(dest, x, y, w, h, src, xSrc, ySrc, w, h, rop);
}

BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
  return StretchBlt(hdc, x, y, w, h, nullptr, 0, 0, w, h, rop);
}

int WINAPI SetStretchBltMode(HDC hdc, int mode) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  if (!dc) return 0;
  int old = dc->state.stretchMode;
  dc->state.stretchMode = mode;
  return old;
}
int WINAPI GetStretchBltMode(HDC hdc) {
  Guard g(Lock());
  DcObject* dc = Dc(hdc);
  return dc ? dc->state.stretchMode : 0;
}

int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc,
                         const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  Guard g(Lock());
  HBITMAP tmp = CreateBitmapFromDib(info, bits, false);
  if (!tmp) return 0;
  HDC mem = CreateCompatibleDC(nullptr);
  SelectObject(mem, tmp);
  // DIB source coordinates count from the bottom in a bottom-up DIB.
  int hh = std::abs(info->bmiHeader.biHeight);
  int sy = info->bmiHeader.biHeight > 0 ? hh - ySrc - hSrc : ySrc;
  BOOL ok = StretchBlt(hdc, xDest, yDest, wDest, hDest, mem, xSrc, sy, wSrc, hSrc, rop);
  DeleteDC(mem);
  DeleteObject(tmp);
  return ok ? hSrc : 0;
}

int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc, UINT startScan,
                             UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  return StretchDIBits(hdc, xDest, yDest, (int)w, (int)h, xSrc, ySrc, (int)w, (int)h, bits, info, usage, SRCCOPY)
             ? (int)lines
             : 0;
}

BOOL WINAPI AlphaBlend(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc, int wSrc,
                       int hSrc, BLENDFUNCTION blend) {
  Guard g(Lock());
  DcObject *d = Dc(dest), *s = Dc(src);
  DrawTarget dt, st;
  if (!Resolve(d, &dt) || !Resolve(s, &st) || wDest <= 0 || hDest <= 0 || wSrc <= 0 || hSrc <= 0) return FALSE;
  POINT dp = ToDevice(d, xDest, yDest), sp = ToDevice(s, xSrc, ySrc);
  RECT area{dp.x + dt.origin.x, dp.y + dt.origin.y, dp.x + dt.origin.x + wDest, dp.y + dt.origin.y + hDest};
  Region clip = ClipOf(d, dt);
  bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) && st.surface->bpp == 32;
  ForEachClipped(clip, area, [&](const RECT& r) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        int sx = sp.x + st.origin.x + (x - area.left) * wSrc / wDest;
        int sy = sp.y + st.origin.y + (y - area.top) * hSrc / hDest;
        if (sx < 0 || sy < 0 || sx >= st.surface->width || sy >= st.surface->height) continue;
        uint32_t sv = st.surface->GetRaw32(sx, sy), dv = dt.surface->GetRaw32(x, y);
        int ca = blend.SourceConstantAlpha;
        int a = perPixel ? ((sv >> 24) * ca) / 255 : ca;
        uint32_t out = 0;
        for (int c = 0; c < 3; ++c) {
          int sc = (sv >> (c * 8)) & 0xFF, dc = (dv >> (c * 8)) & 0xFF;
          // premultiplied source (as AlphaBlend expects with AC_SRC_ALPHA)
          int v = perPixel ? (sc * ca) / 255 + dc * (255 - a) / 255 : (sc * a + dc * (255 - a)) / 255;
          out |= (uint32_t)std::min(255, v) << (c * 8);
        }
        dt.surface->PutRaw32(x, y, out);
      }
  });
  TargetChanged(dt);
  return TRUE;
}

BOOL WINAPI TransparentBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc,
                           int wSrc, int hSrc, UINT transparent) {
  Guard g(Lock());
  DcObject *d = Dc(dest), *s = Dc(src);
  DrawTarget dt, st;
  if (!Resolve(d, &dt) || !Resolve(s, &st) || wDest <= 0 || hDest <= 0 || wSrc <= 0 || hSrc <= 0) return FALSE;
  POINT dp = ToDevice(d, xDest, yDest), sp = ToDevice(s, xSrc, ySrc);
  RECT area{dp.x + dt.origin.x, dp.y + dt.origin.y, dp.x + dt.origin.x + wDest, dp.y + dt.origin.y + hDest};
  Region clip = ClipOf(d, dt);
  uint32_t key = ToBgrx(transparent);
  ForEachClipped(clip, area, [&](const RECT& r) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        int sx = sp.x + st.origin.x + (x - area.left) * wSrc / wDest;
        int sy = sp.y + st.origin.y + (y - area.top) * hSrc / hDest;
        if (sx < 0 || sy < 0 || sx >= st.surface->width || sy >= st.surface->height) continue;
        uint32_t sv = st.surface->GetRaw32(sx, sy) & 0xFFFFFF;
        if (sv != key) dt.surface->PutRaw32(x, y, sv);
      }
  });
  TargetChanged(dt);
  return TRUE;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  DrawTarget t;
  if (!Resolve(d, &t)) return CLR_INVALID;
  POINT p = ToDevice(d, x, y);
  p.x += t.origin.x;
  p.y += t.origin.y;
  if (!ClipOf(d, t).Contains(p.x, p.y)) return CLR_INVALID;
  return t.surface->Get(p.x, p.y);
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF c) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  DrawTarget t;
  if (!Resolve(d, &t)) return CLR_INVALID;
  POINT p = ToDevice(d, x, y);
  p.x += t.origin.x;
  p.y += t.origin.y;
  if (!ClipOf(d, t).Contains(p.x, p.y)) return CLR_INVALID;
  t.surface->Put(p.x, p.y, c);
  TargetChanged(t);
  return t.surface->Get(p.x, p.y);
}

// ---- brushes on rectangles (user32 helpers that draw through GDI)
int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  DrawTarget t;
  if (!rect || !Resolve(d, &t)) return 0;
  bool hollow;
  COLORREF c = BrushColor(d, brush, &hollow);
  if (hollow) return 1;
  POINT a = ToDevice(d, rect->left, rect->top), b = ToDevice(d, rect->right, rect->bottom);
  FillSurface(d, t, RECT{a.x, a.y, b.x, b.y}, ToBgrx(c), 0);
  return 1;
}

int WINAPI FrameRect(HDC hdc, const RECT* r, HBRUSH brush) {
  if (!r || r->right <= r->left || r->bottom <= r->top) return 0;
  RECT sides[4] = {{r->left, r->top, r->right, r->top + 1},
                   {r->left, r->bottom - 1, r->right, r->bottom},
                   {r->left, r->top, r->left + 1, r->bottom},
                   {r->right - 1, r->top, r->right, r->bottom}};
  for (const RECT& s : sides) FillRect(hdc, &s, brush);
  return 1;
}

BOOL WINAPI InvertRect(HDC hdc, const RECT* rect) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  DrawTarget t;
  if (!rect || !Resolve(d, &t)) return FALSE;
  POINT a = ToDevice(d, rect->left, rect->top), b = ToDevice(d, rect->right, rect->bottom);
  FillSurface(d, t, RECT{a.x, a.y, b.x, b.y}, 0, 1);
  return TRUE;
}

BOOL WINAPI DrawFocusRect(HDC hdc, const RECT* r) {
  if (!r) return FALSE;
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  DrawTarget t;
  if (!Resolve(d, &t)) return FALSE;
  // dotted XOR frame
  Region clip = ClipOf(d, t);
  POINT a = ToDevice(d, r->left, r->top), b = ToDevice(d, r->right, r->bottom);
  auto flip = [&](int x, int y) {
    x += t.origin.x;
    y += t.origin.y;
    if (clip.Contains(x, y)) t.surface->PutRaw32(x, y, ~t.surface->GetRaw32(x, y) & 0xFFFFFF);
  };
  for (int x = a.x; x < b.x; x += 2) {
    flip(x, a.y);
    flip(x, b.y - 1);
  }
  for (int y = a.y + 2; y < b.y - 1; y += 2) {
    flip(a.x, y);
    flip(b.x - 1, y);
  }
  TargetChanged(t);
  return TRUE;
}

BOOL WINAPI FillRgn(HDC hdc, HRGN rgn, HBRUSH brush) {
  Guard g(Lock());
  RegionObject* r = Gdi<RegionObject>(rgn);
  if (!r) return FALSE;
  for (const RECT& rc : r->region.Rects()) FillRect(hdc, &rc, brush);
  return TRUE;
}

BOOL WINAPI PaintRgn(HDC hdc, HRGN rgn) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  return d && FillRgn(hdc, rgn, (HBRUSH)d->state.brush);
}

BOOL WINAPI FrameRgn(HDC hdc, HRGN rgn, HBRUSH brush, int w, int h) {
  Guard g(Lock());
  RegionObject* r = Gdi<RegionObject>(rgn);
  if (!r) return FALSE;
  Region inner = r->region, shrunk = r->region;
  Region a = inner, b = inner, c = inner, e = inner;
  a.Offset(w, 0);
  b.Offset(-w, 0);
  c.Offset(0, h);
  e.Offset(0, -h);
  shrunk = Region::Combine(Region::Combine(a, b, RGN_AND), Region::Combine(c, e, RGN_AND), RGN_AND);
  shrunk = Region::Combine(shrunk, inner, RGN_AND);
  Region frame = Region::Combine(inner, shrunk, RGN_DIFF);
  for (const RECT& rc : frame.Rects()) FillRect(hdc, &rc, brush);
  return TRUE;
}

// ---- clipping
int WINAPI SelectClipRgn(HDC hdc, HRGN rgn) { return ExtSelectClipRgn(hdc, rgn, RGN_COPY); }

int WINAPI ExtSelectClipRgn(HDC hdc, HRGN rgn, int mode) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  if (!d) return ERROR;
  RegionObject* r = Gdi<RegionObject>(rgn);
  if (!r) {
    if (mode != RGN_COPY) return ERROR;
    d->state.clip.reset();
    return SIMPLEREGION;
  }
  if (mode == RGN_COPY || !d->state.clip) {
    if (mode == RGN_COPY || mode == RGN_AND || mode == RGN_OR)
      d->state.clip = r->region;
    else
      return ERROR;
  } else {
    d->state.clip = Region::Combine(*d->state.clip, r->region, mode);
  }
  return d->state.clip->Kind();
}

int WINAPI IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  DrawTarget t;
  if (!d || !Resolve(d, &t)) return ERROR;
  POINT a = ToDevice(d, left, top), b = ToDevice(d, right, bottom);
  Region r(RECT{a.x, a.y, b.x, b.y});
  if (!d->state.clip) {
    Region all = t.visible;
    all.Offset(-t.origin.x, -t.origin.y);
    d->state.clip = all;
  }
  d->state.clip = Region::Combine(*d->state.clip, r, RGN_AND);
  return d->state.clip->Kind();
}

int WINAPI ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  DrawTarget t;
  if (!d || !Resolve(d, &t)) return ERROR;
  POINT a = ToDevice(d, left, top), b = ToDevice(d, right, bottom);
  if (!d->state.clip) {
    Region all = t.visible;
    all.Offset(-t.origin.x, -t.origin.y);
    d->state.clip = all;
  }
  d->state.clip = Region::Combine(*d->state.clip, Region(RECT{a.x, a.y, b.x, b.y}), RGN_DIFF);
  return d->state.clip->Kind();
}

int WINAPI GetClipBox(HDC hdc, LPRECT rect) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  DrawTarget t;
  if (!d || !rect || !Resolve(d, &t)) return ERROR;
  Region c = ClipOf(d, t);
  c.Offset(-t.origin.x, -t.origin.y);
  RECT b = c.Box();
  // back to logical coordinates
  OffsetRect(&b, d->state.windowOrg.x - d->state.viewportOrg.x, d->state.windowOrg.y - d->state.viewportOrg.y);
  *rect = b;
  return c.Kind();
}

int WINAPI GetClipRgn(HDC hdc, HRGN rgn) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  RegionObject* r = Gdi<RegionObject>(rgn);
  if (!d || !r) return -1;
  if (!d->state.clip) return 0;
  r->region = *d->state.clip;
  return 1;
}

// ---- lines and shapes
BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT previous) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  if (!d) return FALSE;
  if (previous) *previous = d->state.current;
  d->state.current = {x, y};
  return TRUE;
}

static void PenLine(DcObject* d, const DrawTarget& t, const Region& clip, POINT a, POINT b, uint32_t color,
                    bool last) {
  int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
  int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1, err = dx + dy;
  for (;;) {
    bool end = a.x == b.x && a.y == b.y;
    if (end && !last) break;
    int px = a.x + t.origin.x, py = a.y + t.origin.y;
    if (clip.Contains(px, py)) t.surface->PutRaw32(px, py, color);
    if (end) break;
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      a.x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      a.y += sy;
    }
  }
}

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  DrawTarget t;
  if (!Resolve(d, &t)) return FALSE;
  PenObject* pen = Gdi<PenObject>(d->state.pen);
  if (pen && pen->style != PS_NULL) {
    COLORREF c = d->state.pen == GetStockObject(DC_PEN) ? d->state.dcPenColor : pen->color;
    PenLine(d, t, ClipOf(d, t), ToDevice(d, d->state.current.x, d->state.current.y), ToDevice(d, x, y), ToBgrx(c),
            false);
    TargetChanged(t);
  }
  d->state.current = {x, y};
  return TRUE;
}

BOOL WINAPI Polyline(HDC hdc, const POINT* pts, int count) {
  if (!pts || count < 2) return FALSE;
  POINT old;
  MoveToEx(hdc, pts[0].x, pts[0].y, &old);
  for (int i = 1; i < count; ++i) LineTo(hdc, pts[i].x, pts[i].y);
  MoveToEx(hdc, old.x, old.y, nullptr);
  return TRUE;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  if (!d) return FALSE;
  RECT r{left, top, right, bottom};
  RECT inner{left + 1, top + 1, right - 1, bottom - 1};
  FillRect(hdc, &inner, (HBRUSH)d->state.brush);
  PenObject* pen = Gdi<PenObject>(d->state.pen);
  if (pen && pen->style != PS_NULL) {
    HBRUSH b = CreateSolidBrush(d->state.pen == GetStockObject(DC_PEN) ? d->state.dcPenColor : pen->color);
    FrameRect(hdc, &r, b);
    DeleteObject(b);
  }
  return TRUE;
}

BOOL WINAPI RoundRect(HDC hdc, int left, int top, int right, int bottom, int w, int h) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  if (!d) return FALSE;
  HRGN outer = CreateRoundRectRgn(left, top, right, bottom, w, h);
  PenObject* pen = Gdi<PenObject>(d->state.pen);
  if (pen && pen->style != PS_NULL) {
    HBRUSH b = CreateSolidBrush(pen->color);
    FillRgn(hdc, outer, b);
    DeleteObject(b);
    HRGN inner = CreateRoundRectRgn(left + 1, top + 1, right - 1, bottom - 1, std::max(0, w - 2), std::max(0, h - 2));
    FillRgn(hdc, inner, (HBRUSH)d->state.brush);
    DeleteObject(inner);
  } else {
    FillRgn(hdc, outer, (HBRUSH)d->state.brush);
  }
  DeleteObject(outer);
  return TRUE;
}

BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  return RoundRect(hdc, left, top, right, bottom, right - left, bottom - top);
}

BOOL WINAPI Polygon(HDC hdc, const POINT* pts, int count) {
  if (!pts || count < 3) return FALSE;
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  if (!d) return FALSE;
  // even-odd scanline fill, then the outline
  int minY = pts[0].y, maxY = pts[0].y;
  for (int i = 1; i < count; ++i) {
    minY = std::min(minY, (int)pts[i].y);
    maxY = std::max(maxY, (int)pts[i].y);
  }
  std::vector<RECT> rows;
  for (int y = minY; y < maxY; ++y) {
    std::vector<double> xs;
    double yc = y + 0.5;
    for (int i = 0; i < count; ++i) {
      POINT a = pts[i], b = pts[(i + 1) % count];
      if ((a.y <= yc && b.y > yc) || (b.y <= yc && a.y > yc)) xs.push_back(a.x + (yc - a.y) * (b.x - a.x) / (double)(b.y - a.y));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t k = 0; k + 1 < xs.size(); k += 2)
      rows.push_back({(LONG)std::lround(xs[k]), y, (LONG)std::lround(xs[k + 1]), y + 1});
  }
  for (const RECT& r : rows) FillRect(hdc, &r, (HBRUSH)d->state.brush);
  std::vector<POINT> closed(pts, pts + count);
  closed.push_back(pts[0]);
  Polyline(hdc, closed.data(), (int)closed.size());
  return TRUE;
}

int WINAPI SetROP2(HDC hdc, int rop2) {
  Guard g(Lock());
  DcObject* d = Dc(hdc);
  if (!d) return 0;
  int old = d->state.rop2;
  d->state.rop2 = rop2;
  return old;
}

int WINAPI MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  int64_t v = (int64_t)number * numerator;
  // rounds half away from zero, as Windows does
  int64_t half = std::abs((int64_t)denominator) / 2;
  int64_t q = ((v < 0) != (denominator < 0)) ? (v - ((v < 0) ? half : -half)) / denominator
                                               : (v + ((v < 0) ? -half : half)) / denominator;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return (int)q;
}

// ---- rectangles
BOOL WINAPI SetRect(LPRECT r, int l, int t, int rr, int b) {
  if (!r) return FALSE;
  *r = RECT{l, t, rr, b};
  return TRUE;
}
BOOL WINAPI SetRectEmpty(LPRECT r) {
  if (!r) return FALSE;
  *r = RECT{0, 0, 0, 0};
  return TRUE;
}
BOOL WINAPI CopyRect(LPRECT d, const RECT* s) {
  if (!d || !s) return FALSE;
  *d = *s;
  return TRUE;
}
BOOL WINAPI InflateRect(LPRECT r, int dx, int dy) {
  if (!r) return FALSE;
  r->left -= dx;
  r->right += dx;
  r->top -= dy;
  r->bottom += dy;
  return TRUE;
}
BOOL WINAPI OffsetRect(LPRECT r, int dx, int dy) {
  if (!r) return FALSE;
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
  return TRUE;
}
BOOL WINAPI IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }
BOOL WINAPI IntersectRect(LPRECT d, const RECT* a, const RECT* b) {
  if (!d || !a || !b) return FALSE;
  RECT i{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right), std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&i)) {
    SetRectEmpty(d);
    return FALSE;
  }
  *d = i;
  return TRUE;
}
BOOL WINAPI UnionRect(LPRECT d, const RECT* a, const RECT* b) {
  if (!d || !a || !b) return FALSE;
  if (IsRectEmpty(a)) {
    if (IsRectEmpty(b)) {
      SetRectEmpty(d);
      return FALSE;
    }
    *d = *b;
    return TRUE;
  }
  if (IsRectEmpty(b)) {
    *d = *a;
    return TRUE;
  }
  *d = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
  return TRUE;
}
BOOL WINAPI SubtractRect(LPRECT d, const RECT* a, const RECT* b) {
  if (!d || !a || !b) return FALSE;
  *d = *a;
  RECT i;
  if (!IntersectRect(&i, a, b)) return !IsRectEmpty(d);
  if (i.top == a->top && i.bottom == a->bottom) {
    if (i.left == a->left) d->left = i.right;
    else if (i.right == a->right) d->right = i.left;
  } else if (i.left == a->left && i.right == a->right) {
    if (i.top == a->top) d->top = i.bottom;
    else if (i.bottom == a->bottom) d->bottom = i.top;
  }
  return !IsRectEmpty(d);
}
BOOL WINAPI PtInRect(const RECT* r, POINT p) {
  return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
BOOL WINAPI EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

}  // extern "C"
