// Resources embedded into programs and modules of the native build (by rcembed, from the same
// resource script the Windows build compiles), and the functions that load them: bitmaps,
// icons, cursors, images, strings and the raw resource functions.
#include <dlfcn.h>
#include <limits.h>
#include <png.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <velno/machine.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "winsys.h"

extern "C" {
// One resource as the generated sources describe it: a numeric type or name (typeName null
// when numeric) and a numeric id or name.
struct velno_resource {
  unsigned typeId;
  const char* typeName;
  unsigned nameId;
  const char* name;
  const unsigned char* data;
  unsigned long size;
};
__attribute__((visibility("default"))) void velno_register_resources(const void* anchor, const velno_resource* table,
                                                                    unsigned long count);
}

namespace velno::win {
namespace {

struct Module {
  uintptr_t base = 0;
  std::string file;
  std::vector<Resource> resources;
};

std::vector<Module>& Modules() {
  static auto* m = new std::vector<Module>;
  return *m;
}

std::string Upper(const char* s) {
  std::string r = s ? s : "";
  for (char& c : r) c = (char)toupper((unsigned char)c);
  return r;
}

std::string SelfExe() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  buf[n] = 0;
  return buf;
}

const Resource* FindIn(const Module& m, const std::string& name, const std::string& type) {
  for (const Resource& r : m.resources)
    if (r.type == type && r.name == name) return &r;
  return nullptr;
}

std::unordered_map<uintptr_t, std::unique_ptr<IconObject>>& Icons() {
  static auto* t = new std::unordered_map<uintptr_t, std::unique_ptr<IconObject>>;
  return *t;
}
uintptr_t g_nextIcon = 0x0C000010;

// A stock icon: a simple picture of the kind each system icon shows.
HICON StockIcon(int id) {
  static std::unordered_map<int, HICON> made;
  auto it = made.find(id);
  if (it != made.end()) return it->second;
  auto ic = std::make_unique<IconObject>();
  ic->width = ic->height = 32;
  ic->shared = true;
  ic->bgra.assign(32 * 32, 0);
  uint32_t color = id == 32513 ? 0xFFD03030 : id == 32515 ? 0xFFE0B020 : id == 32514 ? 0xFF3070D0 : 0xFF3080C0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      int dx = x - 16, dy = y - 16;
      if (dx * dx + dy * dy <= 14 * 14) ic->bgra[y * 32 + x] = color;
      if (std::abs(dx) <= 1 && dy >= -9 && dy <= 3) ic->bgra[y * 32 + x] = 0xFFFFFFFF;
      if (std::abs(dx) <= 1 && dy >= 6 && dy <= 8) ic->bgra[y * 32 + x] = 0xFFFFFFFF;
    }
  HICON h = InsertIcon(std::move(ic));
  made[id] = h;
  return h;
}

bool DecodePng(const uint8_t* data, size_t size, int* w, int* h, std::vector<uint32_t>* bgra) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, data, size)) return false;
  img.format = PNG_FORMAT_BGRA;
  std::vector<uint32_t> px((size_t)img.width * img.height);
  if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) return false;
  *w = (int)img.width;
  *h = (int)img.height;
  *bgra = std::move(px);
  return true;
}

// An icon image from a DIB inside an .ico: BITMAPINFOHEADER with double height (XOR + AND).
bool DecodeIconDib(const uint8_t* data, size_t size, int* w, int* h, std::vector<uint32_t>* bgra) {
  if (size < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER bh;
  std::memcpy(&bh, data, sizeof bh);
  int width = bh.biWidth, height = std::abs(bh.biHeight) / 2;
  int bpp = bh.biBitCount;
  if (width <= 0 || height <= 0 || width > 512 || height > 512) return false;
  int colors = bpp <= 8 ? (bh.biClrUsed ? (int)bh.biClrUsed : 1 << bpp) : 0;
  const uint8_t* pal = data + bh.biSize;
  const uint8_t* xorBits = pal + colors * 4;
  int xorStride = Surface::StrideFor(width, bpp);
  const uint8_t* andBits = xorBits + (size_t)xorStride * height;
  int andStride = Surface::StrideFor(width, 1);
  if ((size_t)(andBits - data) + (size_t)andStride * height > size && bpp != 32) return false;
  bool hasAnd = (size_t)(andBits - data) + (size_t)andStride * height <= size;
  bgra->assign((size_t)width * height, 0);
  bool anyAlpha = false;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = xorBits + (size_t)(height - 1 - y) * xorStride;
    for (int x = 0; x < width; ++x) {
      uint32_t v = 0;
      if (bpp == 32) {
        std::memcpy(&v, row + x * 4, 4);
        if (v >> 24) anyAlpha = true;
      } else if (bpp == 24) {
        v = row[x * 3] | (row[x * 3 + 1] << 8) | (row[x * 3 + 2] << 16) | 0xFF000000u;
      } else {
        int idx = bpp == 8 ? row[x] : bpp == 4 ? (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15 : (row[x >> 3] >> (7 - (x & 7))) & 1;
        if (idx < colors) v = pal[idx * 4] | (pal[idx * 4 + 1] << 8) | (pal[idx * 4 + 2] << 16) | 0xFF000000u;
      }
      (*bgra)[(size_t)y * width + x] = v;
    }
  }
  if (hasAnd && !(bpp == 32 && anyAlpha)) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = andBits + (size_t)(height - 1 - y) * andStride;
      for (int x = 0; x < width; ++x) {
        bool transparent = (row[x >> 3] >> (7 - (x & 7))) & 1;
        uint32_t& p = (*bgra)[(size_t)y * width + x];
        p = transparent ? 0 : (p | 0xFF000000u);
      }
    }
  }
  *w = width;
  *h = height;
  return true;
}

}  // namespace

std::string ResKey(LPCSTR s) {
  if (!s) return "";
  if (IS_INTRESOURCE(s)) return "#" + std::to_string((unsigned)(uintptr_t)s);
  if (s[0] == '#') return "#" + std::to_string(atoi(s + 1));
  return Upper(s);
}

const Resource* FindRes(HINSTANCE module, LPCSTR name, LPCSTR type) {
  Guard g(Lock());
  std::string n = ResKey(name), t = ResKey(type);
  auto& mods = Modules();
  // the named module first; the program for a null handle; then every module with resources
  const Module* first = nullptr;
  for (const Module& m : mods)
    if (module && m.base == (uintptr_t)module) first = &m;
  if (!first && !module) {
    std::string exe = SelfExe();
    for (const Module& m : mods)
      if (m.file == exe) first = &m;
  }
  if (first)
    if (const Resource* r = FindIn(*first, n, t)) return r;
  for (const Module& m : mods)
    if (const Resource* r = FindIn(m, n, t)) return r;
  return nullptr;
}

IconObject* IconOf(HICON h) {
  auto it = Icons().find((uintptr_t)h);
  return it == Icons().end() ? nullptr : it->second.get();
}

HICON InsertIcon(std::unique_ptr<IconObject> icon) {
  Guard g(Lock());
  uintptr_t h = g_nextIcon;
  g_nextIcon += 4;
  Icons()[h] = std::move(icon);
  return (HICON)h;
}

HICON IconFromIco(const uint8_t* data, size_t size, int cx, int cy) {
  if (size < 6) return nullptr;
  uint16_t count = data[4] | (data[5] << 8);
  if (count == 0 || size < 6 + (size_t)count * 16) return nullptr;
  if (cx <= 0) cx = 32;
  if (cy <= 0) cy = 32;
  // pick the entry nearest the wanted size, preferring more colours
  int best = -1;
  long bestScore = LONG_MAX;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = data + 6 + i * 16;
    int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256, bpp = e[6] | (e[7] << 8);
    long score = std::abs(w - cx) * 1000L + std::abs(h - cy) * 1000L - bpp;
    if (score < bestScore) {
      bestScore = score;
      best = i;
    }
  }
  const uint8_t* e = data + 6 + best * 16;
  uint32_t bytes = e[8] | (e[9] << 8) | (e[10] << 16) | ((uint32_t)e[11] << 24);
  uint32_t offset = e[12] | (e[13] << 8) | (e[14] << 16) | ((uint32_t)e[15] << 24);
  if ((size_t)offset + bytes > size) return nullptr;
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  const uint8_t* img = data + offset;
  bool ok = bytes >= 8 && std::memcmp(img, "\x89PNG", 4) == 0 ? DecodePng(img, bytes, &w, &h, &px)
                                                               : DecodeIconDib(img, bytes, &w, &h, &px);
  if (!ok) return nullptr;
  auto ic = std::make_unique<IconObject>();
  ic->width = w;
  ic->height = h;
  ic->bgra = std::move(px);
  return InsertIcon(std::move(ic));
}

}  // namespace velno::win

using namespace velno::win;

extern "C" {

void velno_register_resources(const void* anchor, const velno_resource* table, unsigned long count) {
  Guard g(Lock());
  Module m;
  Dl_info info{};
  if (dladdr(anchor, &info)) {
    m.base = (uintptr_t)info.dli_fbase;
    char real[PATH_MAX];
    m.file = info.dli_fname && realpath(info.dli_fname, real) ? real : (info.dli_fname ? info.dli_fname : "");
    if (m.file.empty() || m.file.find('/') == std::string::npos) m.file = SelfExe();
  }
  for (unsigned long i = 0; i < count; ++i) {
    const velno_resource& r = table[i];
    Resource res;
    res.type = r.typeName ? Upper(r.typeName) : "#" + std::to_string(r.typeId);
    res.name = r.name ? Upper(r.name) : "#" + std::to_string(r.nameId);
    res.data = r.data;
    res.size = r.size;
    m.resources.push_back(res);
  }
  Modules().push_back(std::move(m));
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  const Resource* r = FindRes(module, name, type);
  if (!r) SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
  return (HRSRC)r;
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC res) {
  return res ? (HGLOBAL)reinterpret_cast<const Resource*>(res)->data : nullptr;
}

LPVOID WINAPI LockResource(HGLOBAL data) { return data; }

DWORD WINAPI SizeofResource(HMODULE module, HRSRC res) {
  return res ? (DWORD)reinterpret_cast<const Resource*>(res)->size : 0;
}

BOOL WINAPI FreeResource(HGLOBAL data) { return FALSE; }

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) {
  const Resource* r = FindRes(instance, name, RT_BITMAP);
  if (!r || r->size < sizeof(BITMAPINFOHEADER)) {
    SetLastError(1814);
    return nullptr;
  }
  // A bitmap resource is the .bmp file without its file header: header, colours, bits.
  const auto* info = reinterpret_cast<const BITMAPINFO*>(r->data);
  const BITMAPINFOHEADER& h = info->bmiHeader;
  size_t colors = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : (1u << h.biBitCount)) : 0;
  size_t masks = h.biCompression == BI_BITFIELDS ? 12 : 0;
  const uint8_t* bits = r->data + h.biSize + masks + colors * 4;
  size_t need = (size_t)Surface::StrideFor(h.biWidth, h.biBitCount) * std::abs(h.biHeight);
  if ((size_t)(bits - r->data) + need > r->size) return nullptr;
  Guard g(Lock());
  // a device-dependent bitmap: screen format (32 bpp), monochrome stays monochrome
  return CreateBitmapFromDib(info, bits, false);
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (!instance && IS_INTRESOURCE(name)) return StockIcon((int)(uintptr_t)name);
  const Resource* r = FindRes(instance, name, RT_GROUP_ICON);
  if (!r) {
    if (IS_INTRESOURCE(name) && (uintptr_t)name >= 32512 && (uintptr_t)name <= 32518) return StockIcon((int)(uintptr_t)name);
    SetLastError(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
    return nullptr;
  }
  HICON h = IconFromIco(r->data, r->size, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  return h;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (!instance) {
    static std::unordered_map<uintptr_t, HCURSOR> cursors;
    Guard g(Lock());
    auto& c = cursors[(uintptr_t)name];
    if (!c) {
      auto ic = std::make_unique<IconObject>();
      ic->width = ic->height = 32;
      ic->bgra.assign(32 * 32, 0);
      for (int y = 0; y < 18; ++y)
        for (int x = 0; x <= y / 2 + 1 && x < 12; ++x) ic->bgra[y * 32 + x] = x == 0 || x == y / 2 + 1 || y == 17 ? 0xFF000000 : 0xFFFFFFFF;
      ic->icon = false;
      ic->shared = true;
      c = InsertIcon(std::move(ic));
    }
    return c;
  }
  const Resource* r = FindRes(instance, name, RT_GROUP_CURSOR);
  return r ? IconFromIco(r->data, r->size, 32, 32) : nullptr;
}

HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
  if (flags & LR_LOADFROMFILE) {
    std::string path = velno::sim::HostPathFromWindows(name ? name : "");
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (type == IMAGE_BITMAP) {
      if (bytes.size() < 14 + sizeof(BITMAPINFOHEADER) || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
      BITMAPFILEHEADER fh;
      std::memcpy(&fh, bytes.data(), sizeof fh);
      if (fh.bfOffBits >= bytes.size()) return nullptr;
      Guard g(Lock());
      const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.data() + 14);
      return CreateBitmapFromDib(info, bytes.data() + fh.bfOffBits, (flags & LR_CREATEDIBSECTION) != 0);
    }
    return IconFromIco(bytes.data(), bytes.size(), cx, cy);
  }
  if (type == IMAGE_BITMAP) {
    HBITMAP b = LoadBitmapA(instance, name);
    if (b && (flags & LR_CREATEDIBSECTION)) {
      Guard g(Lock());
      if (BitmapObject* bo = Gdi<BitmapObject>(b)) {
        bo->dib = true;
        bo->header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), bo->surface.width, -bo->surface.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      }
    }
    return b;
  }
  if (type == IMAGE_ICON || type == IMAGE_CURSOR) {
    if (!instance && IS_INTRESOURCE(name)) return type == IMAGE_ICON ? LoadIconA(nullptr, name) : LoadCursorA(nullptr, name);
    const Resource* r = FindRes(instance, name, type == IMAGE_ICON ? RT_GROUP_ICON : RT_GROUP_CURSOR);
    if (!r) return nullptr;
    if (flags & LR_DEFAULTSIZE) {
      if (!cx) cx = GetSystemMetrics(SM_CXICON);
      if (!cy) cy = GetSystemMetrics(SM_CYICON);
    }
    return IconFromIco(r->data, r->size, cx ? cx : 32, cy ? cy : 32);
  }
  return nullptr;
}

HANDLE WINAPI CopyImage(HANDLE image, UINT type, int cx, int cy, UINT flags) {
  Guard g(Lock());
  if (type == IMAGE_BITMAP) {
    BitmapObject* b = Gdi<BitmapObject>(image);
    if (!b) return nullptr;
    auto copy = std::make_unique<BitmapObject>();
    copy->surface.Allocate(b->surface.width, b->surface.height, b->surface.bpp);
    for (int y = 0; y < b->surface.height; ++y)
      std::memcpy(copy->surface.Row(y), b->surface.Row(y), (size_t)Surface::StrideFor(b->surface.width, b->surface.bpp));
    copy->surface.palette[0] = b->surface.palette[0];
    copy->surface.palette[1] = b->surface.palette[1];
    HANDLE h = InsertGdi(std::move(copy));
    if (flags & LR_COPYDELETEORG) DeleteObject(image);
    return h;
  }
  return CopyIcon((HICON)image);
}

HICON WINAPI CopyIcon(HICON icon) {
  Guard g(Lock());
  IconObject* ic = IconOf(icon);
  if (!ic) return nullptr;
  auto copy = std::make_unique<IconObject>(*ic);
  copy->shared = false;
  return InsertIcon(std::move(copy));
}

HICON WINAPI CreateIconIndirect(PICONINFO info) {
  if (!info || !info->hbmColor) return nullptr;
  Guard g(Lock());
  BitmapObject* color = Gdi<BitmapObject>(info->hbmColor);
  BitmapObject* mask = Gdi<BitmapObject>(info->hbmMask);
  if (!color) return nullptr;
  auto ic = std::make_unique<IconObject>();
  ic->width = color->surface.width;
  ic->height = color->surface.height;
  ic->icon = info->fIcon != 0;
  ic->hotspot = POINT{(LONG)info->xHotspot, (LONG)info->yHotspot};
  ic->bgra.resize((size_t)ic->width * ic->height);
  for (int y = 0; y < ic->height; ++y)
    for (int x = 0; x < ic->width; ++x) {
      uint32_t v = color->surface.GetRaw32(x, y);
      bool transparent = mask && y < mask->surface.height && x < mask->surface.width && (mask->surface.GetRaw32(x, y) & 0xFFFFFF);
      if (color->surface.bpp == 32 && (v >> 24)) {
        ic->bgra[(size_t)y * ic->width + x] = v;
      } else {
        ic->bgra[(size_t)y * ic->width + x] = transparent ? 0 : (v | 0xFF000000u);
      }
    }
  return InsertIcon(std::move(ic));
}

BOOL WINAPI GetIconInfo(HICON icon, PICONINFO info) {
  Guard g(Lock());
  IconObject* ic = IconOf(icon);
  if (!ic || !info) return FALSE;
  info->fIcon = ic->icon;
  info->xHotspot = ic->icon ? ic->width / 2 : ic->hotspot.x;
  info->yHotspot = ic->icon ? ic->height / 2 : ic->hotspot.y;
  info->hbmColor = CreateBitmap(ic->width, ic->height, 1, 32, ic->bgra.data());
  std::vector<uint8_t> maskBits((size_t)((ic->width + 15) / 16 * 2) * ic->height, 0);
  for (int y = 0; y < ic->height; ++y)
    for (int x = 0; x < ic->width; ++x)
      if (!(ic->bgra[(size_t)y * ic->width + x] >> 24)) maskBits[(size_t)y * ((ic->width + 15) / 16 * 2) + x / 8] |= 0x80 >> (x & 7);
  info->hbmMask = CreateBitmap(ic->width, ic->height, 1, 1, maskBits.data());
  return TRUE;
}

BOOL WINAPI DestroyIcon(HICON icon) {
  Guard g(Lock());
  IconObject* ic = IconOf(icon);
  if (!ic) {
    SetLastError(1402);  // ERROR_INVALID_CURSOR_HANDLE
    return FALSE;
  }
  // shared (system) icons stay; destroying them reports success
  if (!ic->shared) Icons().erase((uintptr_t)icon);
  return TRUE;
}

BOOL WINAPI DestroyCursor(HCURSOR cursor) { return DestroyIcon(cursor); }

BOOL WINAPI DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH flicker, UINT flags) {
  Guard g(Lock());
  IconObject* ic = IconOf(icon);
  DcObject* dc = Gdi<DcObject>(hdc);
  if (!ic || !dc) return FALSE;
  if (cx == 0) cx = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CXICON) : ic->width;
  if (cy == 0) cy = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CYICON) : ic->height;
  if (flags == 0) flags = DI_NORMAL;
  // Through a temporary 32-bit DIB and AlphaBlend so the DC's clipping applies.
  BITMAPINFO bi{};
  bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), ic->width, -ic->height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return FALSE;
  uint32_t* px = static_cast<uint32_t*>(bits);
  for (size_t i = 0; i < ic->bgra.size(); ++i) {
    uint32_t v = ic->bgra[i];
    uint32_t a = v >> 24;
    if (!(flags & DI_IMAGE)) v = a ? 0xFF000000u : 0xFFFFFFFFu;  // the mask alone
    uint32_t r = ((v >> 16) & 0xFF) * a / 255, g2 = ((v >> 8) & 0xFF) * a / 255, b = (v & 0xFF) * a / 255;
    px[i] = (a << 24) | (r << 16) | (g2 << 8) | b;
  }
  HDC mem = CreateCompatibleDC(hdc);
  SelectObject(mem, dib);
  if (flicker) {
    RECT r{x, y, x + cx, y + cy};
    FillRect(hdc, &r, flicker);
  }
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  BOOL ok = AlphaBlend(hdc, x, y, cx, cy, mem, 0, 0, ic->width, ic->height, bf);
  DeleteDC(mem);
  DeleteObject(dib);
  return ok;
}

BOOL WINAPI DrawIcon(HDC hdc, int x, int y, HICON icon) {
  return DrawIconEx(hdc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
}

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int max) {
  // string tables come in blocks of 16, stored as counted UTF-16 strings
  const Resource* r = FindRes(instance, MAKEINTRESOURCEA((id >> 4) + 1), RT_STRING);
  if (!buffer || max <= 0) return 0;
  buffer[0] = 0;
  if (!r) return 0;
  const uint8_t* p = r->data;
  const uint8_t* end = r->data + r->size;
  for (UINT i = 0; i < (id & 15) && p + 2 <= end; ++i) p += 2 + 2 * (p[0] | (p[1] << 8));
  if (p + 2 > end) return 0;
  int len = p[0] | (p[1] << 8);
  int n = std::min(len, max - 1);
  for (int i = 0; i < n; ++i) buffer[i] = (char)p[2 + 2 * i];
  buffer[n] = 0;
  return n;
}

}  // extern "C"
