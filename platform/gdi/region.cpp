// Regions: banded rectangle sets with the Win32 region functions over them.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "../user/winsys.h"

namespace velno::win {
namespace {

struct Span {
  LONG l, r;
};

// The spans of a region in the row band [y, y+1) for a y inside some band.
void SpansAt(const std::vector<RECT>& rects, LONG y, std::vector<Span>* out) {
  out->clear();
  for (const RECT& r : rects) {
    if (r.top > y) break;
    if (r.bottom > y) out->push_back({r.left, r.right});
  }
}

void Combine1D(const std::vector<Span>& a, const std::vector<Span>& b, int mode, std::vector<Span>* out) {
  out->clear();
  std::vector<LONG> xs;
  for (const Span& s : a) xs.insert(xs.end(), {s.l, s.r});
  for (const Span& s : b) xs.insert(xs.end(), {s.l, s.r});
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  auto in = [](const std::vector<Span>& v, LONG x) {
    for (const Span& s : v)
      if (x >= s.l && x < s.r) return true;
    return false;
  };
  for (size_t i = 0; i + 1 < xs.size(); ++i) {
    LONG x = xs[i];
    bool ia = in(a, x), ib = in(b, x), keep = false;
    switch (mode) {
      case RGN_AND: keep = ia && ib; break;
      case RGN_OR: keep = ia || ib; break;
      case RGN_XOR: keep = ia != ib; break;
      case RGN_DIFF: keep = ia && !ib; break;
      default: keep = ia; break;
    }
    if (!keep) continue;
    if (!out->empty() && out->back().r == x)
      out->back().r = xs[i + 1];
    else
      out->push_back({x, xs[i + 1]});
  }
}

std::vector<LONG> Edges(const std::vector<RECT>& a, const std::vector<RECT>& b) {
  std::vector<LONG> ys;
  for (const RECT& r : a) ys.insert(ys.end(), {r.top, r.bottom});
  for (const RECT& r : b) ys.insert(ys.end(), {r.top, r.bottom});
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  return ys;
}

// Builds canonical rectangles from bands of spans, merging equal neighbouring bands.
std::vector<RECT> FromBands(const std::vector<std::pair<std::pair<LONG, LONG>, std::vector<Span>>>& bands) {
  std::vector<RECT> out;
  size_t prevStart = 0, prevCount = 0;
  LONG prevBottom = std::numeric_limits<LONG>::min();  // no band before the first
  for (const auto& band : bands) {
    LONG top = band.first.first, bottom = band.first.second;
    const std::vector<Span>& spans = band.second;
    if (spans.empty()) continue;
    bool same = prevBottom == top && prevCount == spans.size();
    if (same) {
      for (size_t i = 0; i < spans.size(); ++i) {
        const RECT& p = out[prevStart + i];
        if (p.left != spans[i].l || p.right != spans[i].r) {
          same = false;
          break;
        }
      }
    }
    if (same) {
      for (size_t i = 0; i < spans.size(); ++i) out[prevStart + i].bottom = bottom;
    } else {
      prevStart = out.size();
      prevCount = spans.size();
      for (const Span& s : spans) out.push_back({s.l, top, s.r, bottom});
    }
    prevBottom = bottom;
  }
  return out;
}

}  // namespace

Region::Region(const RECT& r) {
  if (r.right > r.left && r.bottom > r.top) rects_.push_back(r);
}

Region Region::FromRects(const std::vector<RECT>& input) {
  // Sort into rows and combine as a union; handles overlapping and unordered input.
  std::vector<RECT> rs;
  for (const RECT& r : input)
    if (r.right > r.left && r.bottom > r.top) rs.push_back(r);
  Region out;
  if (rs.empty()) return out;
  std::vector<LONG> ys;
  for (const RECT& r : rs) ys.insert(ys.end(), {r.top, r.bottom});
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  std::sort(rs.begin(), rs.end(), [](const RECT& a, const RECT& b) { return a.top < b.top; });
  std::vector<std::pair<std::pair<LONG, LONG>, std::vector<Span>>> bands;
  std::vector<Span> spans;
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    LONG y = ys[i];
    spans.clear();
    for (size_t k = 0; k < rs.size() && rs[k].top <= y; ++k)
      if (rs[k].bottom > y) spans.push_back({rs[k].left, rs[k].right});
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.l < b.l; });
    std::vector<Span> merged;
    for (const Span& s : spans) {
      if (!merged.empty() && s.l <= merged.back().r)
        merged.back().r = std::max(merged.back().r, s.r);
      else
        merged.push_back(s);
    }
    bands.push_back({{y, ys[i + 1]}, merged});
  }
  out.rects_ = FromBands(bands);
  return out;
}

Region Region::Combine(const Region& a, const Region& b, int mode) {
  Region out;
  if (mode == RGN_COPY) return a;
  if (mode == RGN_OR && b.Empty()) return a;
  if (mode == RGN_OR && a.Empty()) return b;
  if ((mode == RGN_AND) && (a.Empty() || b.Empty())) return out;
  if (mode == RGN_DIFF && (a.Empty() || b.Empty())) return a;
  std::vector<LONG> ys = Edges(a.rects_, b.rects_);
  std::vector<std::pair<std::pair<LONG, LONG>, std::vector<Span>>> bands;
  std::vector<Span> sa, sb, so;
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    SpansAt(a.rects_, ys[i], &sa);
    SpansAt(b.rects_, ys[i], &sb);
    Combine1D(sa, sb, mode, &so);
    bands.push_back({{ys[i], ys[i + 1]}, so});
  }
  out.rects_ = FromBands(bands);
  return out;
}

bool Region::Contains(int x, int y) const {
  for (const RECT& r : rects_) {
    if (r.top > y) break;
    if (y < r.bottom && x >= r.left && x < r.right) return true;
  }
  return false;
}

bool Region::Intersects(const RECT& q) const {
  for (const RECT& r : rects_)
    if (r.left < q.right && q.left < r.right && r.top < q.bottom && q.top < r.bottom) return true;
  return false;
}

RECT Region::Box() const {
  if (rects_.empty()) return RECT{0, 0, 0, 0};
  RECT b = rects_[0];
  for (const RECT& r : rects_) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

void Region::Offset(int dx, int dy) {
  for (RECT& r : rects_) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
  }
}

bool Region::operator==(const Region& o) const {
  if (rects_.size() != o.rects_.size()) return false;
  return std::memcmp(rects_.data(), o.rects_.data(), rects_.size() * sizeof(RECT)) == 0;
}

}  // namespace velno::win

using namespace velno::win;

namespace {
RegionObject* Rgn(HRGN h) { return Gdi<RegionObject>(h); }
HRGN NewRegion(Region r) {
  auto obj = std::make_unique<RegionObject>();
  obj->region = std::move(r);
  return (HRGN)InsertGdi(std::move(obj));
}
}  // namespace

extern "C" {

HRGN WINAPI CreateRectRgn(int left, int top, int right, int bottom) {
  Guard g(Lock());
  // Windows orders the corners of a rectangle region.
  RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  return NewRegion(Region(r));
}

HRGN WINAPI CreateRectRgnIndirect(const RECT* r) {
  if (!r) return nullptr;
  return CreateRectRgn(r->left, r->top, r->right, r->bottom);
}

HRGN WINAPI CreateRoundRectRgn(int left, int top, int right, int bottom, int w, int h) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  std::vector<RECT> rows;
  int rx = std::max(1, w / 2), ry = std::max(1, h / 2);
  for (int y = top; y < bottom; ++y) {
    int inset = 0;
    int dy = y < top + ry ? top + ry - y : (y >= bottom - ry ? y - (bottom - ry - 1) : 0);
    if (dy > 0) {
      double t = 1.0 - (double)(dy * dy) / (double)(ry * ry);
      inset = (int)(rx - rx * std::sqrt(std::max(0.0, t)) + 0.5);
    }
    if (left + inset < right - inset) rows.push_back({left + inset, y, right - inset, y + 1});
  }
  Guard g(Lock());
  return NewRegion(Region::FromRects(rows));
}

HRGN WINAPI CreateEllipticRgn(int left, int top, int right, int bottom) {
  return CreateRoundRectRgn(left, top, right, bottom, right - left, bottom - top);
}

HRGN WINAPI ExtCreateRegion(const XFORM* xform, DWORD count, const RGNDATA* data) {
  if (!data || count < sizeof(RGNDATAHEADER) || data->rdh.dwSize < sizeof(RGNDATAHEADER) ||
      data->rdh.iType != RDH_RECTANGLES) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // The rectangles must lie inside the given byte count.
  size_t need = data->rdh.dwSize + (size_t)data->rdh.nCount * sizeof(RECT);
  if (need > count) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const RECT* rects = reinterpret_cast<const RECT*>(reinterpret_cast<const char*>(data) + data->rdh.dwSize);
  std::vector<RECT> rs(rects, rects + data->rdh.nCount);
  if (xform) {
    for (RECT& r : rs) {
      double x0 = r.left * xform->eM11 + r.top * xform->eM21 + xform->eDx;
      double y0 = r.left * xform->eM12 + r.top * xform->eM22 + xform->eDy;
      double x1 = r.right * xform->eM11 + r.bottom * xform->eM21 + xform->eDx;
      double y1 = r.right * xform->eM12 + r.bottom * xform->eM22 + xform->eDy;
      r = RECT{(LONG)std::min(x0, x1), (LONG)std::min(y0, y1), (LONG)std::max(x0, x1), (LONG)std::max(y0, y1)};
    }
  }
  Guard g(Lock());
  return NewRegion(Region::FromRects(rs));
}

DWORD WINAPI GetRegionData(HRGN h, DWORD count, LPRGNDATA data) {
  Guard g(Lock());
  RegionObject* r = Rgn(h);
  if (!r) return 0;
  const auto& rects = r->region.Rects();
  DWORD need = sizeof(RGNDATAHEADER) + (DWORD)(rects.size() * sizeof(RECT));
  if (!data) return need;
  if (count < need) return 0;
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = (DWORD)rects.size();
  data->rdh.nRgnSize = (DWORD)(rects.size() * sizeof(RECT));
  data->rdh.rcBound = r->region.Box();
  if (!rects.empty()) std::memcpy(data->Buffer, rects.data(), rects.size() * sizeof(RECT));
  return need;
}

int WINAPI CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  Guard g(Lock());
  RegionObject *d = Rgn(dest), *a = Rgn(src1), *b = Rgn(src2);
  if (!d || !a || mode < RGN_AND || mode > RGN_COPY || (mode != RGN_COPY && !b)) return ERROR;
  d->region = mode == RGN_COPY ? a->region : Region::Combine(a->region, b->region, mode);
  return d->region.Kind();
}

BOOL WINAPI EqualRgn(HRGN a, HRGN b) {
  Guard g(Lock());
  RegionObject *ra = Rgn(a), *rb = Rgn(b);
  if (!ra || !rb) return ERROR;
  return ra->region == rb->region;
}

int WINAPI OffsetRgn(HRGN h, int dx, int dy) {
  Guard g(Lock());
  RegionObject* r = Rgn(h);
  if (!r) return ERROR;
  r->region.Offset(dx, dy);
  return r->region.Kind();
}

int WINAPI GetRgnBox(HRGN h, LPRECT rect) {
  Guard g(Lock());
  RegionObject* r = Rgn(h);
  if (!r || !rect) return ERROR;
  *rect = r->region.Box();
  return r->region.Kind();
}

BOOL WINAPI PtInRegion(HRGN h, int x, int y) {
  Guard g(Lock());
  RegionObject* r = Rgn(h);
  return r && r->region.Contains(x, y);
}

BOOL WINAPI RectInRegion(HRGN h, const RECT* rect) {
  Guard g(Lock());
  RegionObject* r = Rgn(h);
  return r && rect && r->region.Intersects(*rect);
}

BOOL WINAPI SetRectRgn(HRGN h, int left, int top, int right, int bottom) {
  Guard g(Lock());
  RegionObject* r = Rgn(h);
  if (!r) return FALSE;
  r->region = Region(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)});
  return TRUE;
}

}  // extern "C"
