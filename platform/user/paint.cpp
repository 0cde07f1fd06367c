// Window geometry and painting: showing, moving and sizing windows, Z order, window regions,
// update regions with WM_ERASEBKGND / WM_PAINT, window device contexts and what they draw on.
#include <algorithm>
#include <cstring>

#include "winsys.h"

namespace velno::win {

uint64_t g_geometryGen = 1;

namespace {

Surface g_screenSurface;

void Bump() { ++g_geometryGen; }

// The part of a window's client area (or whole window) that drawing may touch, in the
// coordinates of its top-level window's backbuffer.
Region VisibleOf(Window* w, bool whole, POINT* originOut) {
  Window* top = TopOf(w);
  POINT topOrigin = WindowOriginScreen(top);
  POINT wo = WindowOriginScreen(w);
  RECT ca = ClientArea(w);
  RECT area = whole ? RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top} : ca;
  POINT origin{wo.x - topOrigin.x + area.left, wo.y - topOrigin.y + area.top};
  *originOut = origin;
  if (!IsVisibleChain(w) || (top->style & WS_MINIMIZE)) return Region();
  Region vis(RECT{origin.x, origin.y, origin.x + (area.right - area.left), origin.y + (area.bottom - area.top)});
  if (w->shape) {
    Region s = *w->shape;
    s.Offset(wo.x - topOrigin.x, wo.y - topOrigin.y);
    vis = Region::Combine(vis, s, RGN_AND);
  }
  // clipped by every ancestor's client area and region
  Window* cur = w;
  while (cur->parent) {
    Window* p = Win(cur->parent);
    if (!p) break;
    POINT po = WindowOriginScreen(p);
    RECT pca = ClientArea(p);
    vis = vis.Intersect(RECT{po.x - topOrigin.x + pca.left, po.y - topOrigin.y + pca.top,
                             po.x - topOrigin.x + pca.right, po.y - topOrigin.y + pca.bottom});
    if (p->shape) {
      Region s = *p->shape;
      s.Offset(po.x - topOrigin.x, po.y - topOrigin.y);
      vis = Region::Combine(vis, s, RGN_AND);
    }
    // siblings above a window that clips its siblings
    if (cur->style & WS_CLIPSIBLINGS) {
      for (HWND sib : p->children) {
        if (sib == cur->hwnd) break;
        Window* sw = Win(sib);
        if (!sw || !(sw->style & WS_VISIBLE)) continue;
        POINT so = WindowOriginScreen(sw);
        vis = vis.Subtract(Region(RECT{so.x - topOrigin.x, so.y - topOrigin.y, so.x - topOrigin.x + (sw->rect.right - sw->rect.left),
                                       so.y - topOrigin.y + (sw->rect.bottom - sw->rect.top)}));
      }
    }
    cur = p;
  }
  if (w->style & WS_CLIPCHILDREN) {
    for (HWND c : w->children) {
      Window* cw = Win(c);
      if (!cw || !(cw->style & WS_VISIBLE)) continue;
      POINT co = WindowOriginScreen(cw);
      vis = vis.Subtract(Region(RECT{co.x - topOrigin.x, co.y - topOrigin.y, co.x - topOrigin.x + (cw->rect.right - cw->rect.left),
                                     co.y - topOrigin.y + (cw->rect.bottom - cw->rect.top)}));
    }
  }
  return vis;
}

bool HasPaint(Window* w) { return !w->update.Empty() || w->internalPaint; }

bool FindIn(Window* w, Queue* q, HWND filter, HWND* out, bool underFilter) {
  if (!(w->style & WS_VISIBLE)) return false;
  bool inside = underFilter || !filter || w->hwnd == filter;
  if (inside && w->queue == q && HasPaint(w)) {
    *out = w->hwnd;
    return true;
  }
  for (HWND c : w->children)
    if (Window* cw = Win(c); cw && FindIn(cw, q, filter, out, inside)) return true;
  return false;
}

HDC NewWindowDc(HWND hwnd, bool whole) {
  auto dc = std::make_unique<DcObject>();
  dc->hwnd = hwnd;
  dc->whole = whole;
  dc->state.brush = GetStockObject(WHITE_BRUSH);
  dc->state.pen = GetStockObject(BLACK_PEN);
  dc->state.font = GetStockObject(SYSTEM_FONT);
  return (HDC)InsertGdi(std::move(dc));
}

void InvalidateTree(Window* w, const Region* rgn, bool erase, int childMode) {
  RECT ca = ClientArea(w);
  Region client(RECT{0, 0, ca.right - ca.left, ca.bottom - ca.top});
  Region add = rgn ? Region::Combine(*rgn, client, RGN_AND) : client;
  if (!add.Empty()) {
    w->update = w->update.Union(add);
    if (erase) w->erase = true;
    if (w->queue) w->queue->Wake();
  }
  // children: always (1), never (-1), or when the window does not clip them (0)
  bool kids = childMode > 0 || (childMode == 0 && !(w->style & WS_CLIPCHILDREN));
  if (!kids) return;
  for (HWND c : w->children) {
    Window* cw = Win(c);
    if (!cw || !(cw->style & WS_VISIBLE)) continue;
    Region part = add;
    RECT cca = ClientArea(cw);
    part.Offset(-(cw->rect.left + cca.left), -(cw->rect.top + cca.top));
    if (!rgn) {
      InvalidateTree(cw, nullptr, erase, childMode);
    } else {
      // the child's own non-client part is ignored; its client part gets the overlap
      Region clipped = Region::Combine(part, Region(RECT{0, 0, cca.right - cca.left, cca.bottom - cca.top}), RGN_AND);
      if (!clipped.Empty()) InvalidateTree(cw, &clipped, erase, childMode);
    }
  }
}

Region UpdateFromRect(Window* w, const RECT* r) {
  RECT ca = ClientArea(w);
  return r ? Region(*r) : Region(RECT{0, 0, ca.right - ca.left, ca.bottom - ca.top});
}

void ResizeBackbuffer(Window* w) {
  if (!IsTop(w)) return;
  int cw = std::max(1, (int)(w->rect.right - w->rect.left)), ch = std::max(1, (int)(w->rect.bottom - w->rect.top));
  if (!w->backbuffer) w->backbuffer = std::make_unique<Surface>();
  if (w->backbuffer->width == cw && w->backbuffer->height == ch) return;
  Surface fresh;
  fresh.Allocate(cw, ch, 32);
  Surface& old = *w->backbuffer;
  for (int y = 0; y < std::min(ch, old.height); ++y)
    std::memcpy(fresh.Row(y), old.Row(y), (size_t)std::min(cw, old.width) * 4);
  *w->backbuffer = std::move(fresh);
}

void PaintNow(HWND hwnd, bool children) {
  bool needs;
  std::vector<HWND> kids;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w || !IsVisibleChain(w)) return;
    needs = HasPaint(w);
    if (children) kids = w->children;
  }
  if (needs) CallProc(hwnd, WM_PAINT, 0, 0);
  for (HWND c : kids) PaintNow(c, true);
}

}  // namespace

void InvalidateWindow(Window* w, const Region* rgn, bool erase, bool children) {
  if (!IsVisibleChain(w)) return;
  InvalidateTree(w, rgn, erase, children ? 1 : 0);
}

bool FindPaintWindow(Queue* q, HWND filter, HWND* out) {
  for (HWND h : TopLevelZOrder())
    if (Window* w = Win(h); w && FindIn(w, q, filter, out, false)) return true;
  return false;
}

bool ResolveTarget(DcObject* dc, DrawTarget* t) {
  if (!dc->hwnd) {
    if (!g_screenSurface.width) g_screenSurface.Allocate(1, 1, 32);
    t->surface = &g_screenSurface;
    t->origin = {0, 0};
    t->visible = Region();
    t->top = nullptr;
    return true;
  }
  Window* w = Win(dc->hwnd);
  if (!w) return false;
  Window* top = TopOf(w);
  if (!top->backbuffer) return false;
  if (dc->targetGen != g_geometryGen) {
    dc->cached.visible = VisibleOf(w, dc->whole, &dc->cached.origin);
    dc->cached.top = top->hwnd;
    dc->targetGen = g_geometryGen;
  }
  *t = dc->cached;
  t->surface = top->backbuffer.get();
  return true;
}

namespace {
std::vector<HWND> g_dirty;
}

void TargetChanged(const DrawTarget& t) {
  if (!t.top) return;
  if (std::find(g_dirty.begin(), g_dirty.end(), t.top) == g_dirty.end()) g_dirty.push_back(t.top);
}

void FlushPresent(HWND top) {
  std::vector<HWND> dirty;
  {
    Guard g(Lock());
    dirty.swap(g_dirty);
    if (!ThePresenter()) return;
    for (HWND h : dirty)
      if (Window* w = Win(h)) ThePresenter()->WindowDrawn(w);
  }
}

void PaintTopLevelNow(HWND top) { PaintNow(top, true); }

void TopLevelChanged(Window* w) {
  Bump();
  if (!IsTop(w)) return;
  ResizeBackbuffer(w);
  if (ThePresenter()) ThePresenter()->WindowMoved(w);
  StationPublish();
}

bool CaptureWindow(HWND hwnd, int* width, int* height, std::vector<uint8_t>* rgba) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return false;
  Window* top = TopOf(w);
  if (!top->backbuffer) return false;
  POINT to = WindowOriginScreen(top), wo = WindowOriginScreen(w);
  int ox = wo.x - to.x, oy = wo.y - to.y;
  int cw = w->rect.right - w->rect.left, ch = w->rect.bottom - w->rect.top;
  *width = cw;
  *height = ch;
  rgba->assign((size_t)cw * ch * 4, 0);
  const Surface& s = *top->backbuffer;
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < cw; ++x) {
      int sx = ox + x, sy = oy + y;
      if (sx < 0 || sy < 0 || sx >= s.width || sy >= s.height) continue;
      bool inside = (!top->shape || top->shape->Contains(sx, sy)) && (!w->shape || w->shape->Contains(x, y));
      uint32_t v = s.GetRaw32(sx, sy);
      uint8_t* p = rgba->data() + ((size_t)y * cw + x) * 4;
      p[0] = (v >> 16) & 0xFF;
      p[1] = (v >> 8) & 0xFF;
      p[2] = v & 0xFF;
      p[3] = inside ? 255 : 0;
    }
  return true;
}

}  // namespace velno::win

using namespace velno::win;

extern "C" {

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT r) {
  if (!r) return FALSE;
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  RECT ca = ClientArea(w);
  *r = RECT{0, 0, ca.right - ca.left, ca.bottom - ca.top};
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT r) {
  if (!r) return FALSE;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (w) {
      POINT o = WindowOriginScreen(w);
      *r = RECT{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
      return TRUE;
    }
  }
  if (!IsLocalHwnd(hwnd)) {
    if (StationRectOf(hwnd, r)) return TRUE;
  }
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return FALSE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT r, DWORD style, BOOL menu, DWORD ex) {
  if (!r) return FALSE;
  Window probe;
  probe.style = style;
  probe.exStyle = ex;
  probe.rect = RECT{0, 0, 1000, 1000};
  RECT ca = ClientArea(&probe);
  r->left -= ca.left;
  r->top -= ca.top + (menu ? 20 : 0);
  r->right += 1000 - ca.right;
  r->bottom += 1000 - ca.bottom;
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) {
  bool was, top, isChild;
  Queue* q;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) {
      Lock().unlock();
      long long r = 0;
      bool ok = !IsLocalHwnd(hwnd) && RemoteCall(hwnd, "showwindow", {cmd}, &r);
      Lock().lock();
      return ok && r;
    }
    was = (w->style & WS_VISIBLE) != 0;
    top = IsTop(w);
    isChild = !top;
    q = w->queue;
  }
  bool show = cmd != SW_HIDE;
  bool minimize = cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE || cmd == SW_FORCEMINIMIZE;
  bool restore = cmd == SW_RESTORE || cmd == SW_SHOWNORMAL || cmd == SW_SHOWDEFAULT;
  bool activate = top && (cmd == SW_SHOW || cmd == SW_SHOWNORMAL || cmd == SW_RESTORE || cmd == SW_SHOWDEFAULT ||
                          cmd == SW_SHOWMAXIMIZED || cmd == SW_SHOWMINIMIZED);
  if (show != was) CallProc(hwnd, WM_SHOWWINDOW, show, 0);
  bool sizeChanged = false;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return was;
    if (show) {
      w->style |= WS_VISIBLE;
      if (minimize && !(w->style & WS_MINIMIZE)) {
        w->style |= WS_MINIMIZE;
        sizeChanged = true;
      }
      if (restore && (w->style & (WS_MINIMIZE | WS_MAXIMIZE))) {
        w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        sizeChanged = true;
      }
      if (cmd == SW_SHOWMAXIMIZED && !(w->style & WS_MAXIMIZE)) w->style |= WS_MAXIMIZE;
    } else {
      w->style &= ~WS_VISIBLE;
    }
    Bump();
    if (show && !was) w->ncPaint = true;
    if (show && !minimize) InvalidateWindow(w, nullptr, true, true);
    if (!show && was && w->parent) {
      if (Window* p = Win(w->parent)) {
        RECT pca = ClientArea(p);
        Region r(w->rect);
        r.Offset(-pca.left, -pca.top);
        InvalidateWindow(p, &r, true, true);
      }
    }
    if (top && ThePresenter()) ThePresenter()->WindowShown(w, show && !(w->style & WS_MINIMIZE));
    if (top) StationPublish();
  }
  if (sizeChanged) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    CallProc(hwnd, WM_SIZE, minimize ? SIZE_MINIMIZED : SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
  }
  if (activate && !minimize) {
    ActivateWindow(hwnd, false);
  } else if (top && (!show || minimize)) {
    bool wasActive;
    {
      Guard g(Lock());
      wasActive = q->active == hwnd;
    }
    if (wasActive) {
      HWND next = nullptr;
      {
        Guard g(Lock());
        for (HWND h : TopLevelZOrder()) {
          Window* o = Win(h);
          if (h != hwnd && o && o->queue == q && (o->style & WS_VISIBLE) && !(o->style & WS_MINIMIZE)) {
            next = h;
            break;
          }
        }
      }
      if (next)
        ActivateWindow(next, false);
      else
        SetActiveWindow(nullptr);
    }
  }
  (void)isChild;
  return was;
}

BOOL WINAPI ShowWindowAsync(HWND hwnd, int cmd) { return ShowWindow(hwnd, cmd); }

BOOL WINAPI SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
  WINDOWPOS wp{hwnd, after, x, y, cx, cy, flags};
  bool top;
  RECT oldRect;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) {
      Lock().unlock();
      long long r = 0;
      bool ok = !IsLocalHwnd(hwnd) &&
                RemoteCall(hwnd, "setwindowpos", {(long long)(intptr_t)after, x, y, cx, cy, (long long)flags}, &r) && r;
      Lock().lock();
      return ok;
    }
    top = IsTop(w);
    oldRect = w->rect;
    if (flags & SWP_NOMOVE) {
      wp.x = w->rect.left;
      wp.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
      wp.cx = w->rect.right - w->rect.left;
      wp.cy = w->rect.bottom - w->rect.top;
    }
  }
  if (!(flags & SWP_NOSENDCHANGING)) CallProc(hwnd, WM_WINDOWPOSCHANGING, 0, (LPARAM)&wp);
  flags = wp.flags;
  bool moved, sized;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return FALSE;
    RECT nr{wp.x, wp.y, wp.x + std::max(0, wp.cx), wp.y + std::max(0, wp.cy)};
    moved = nr.left != w->rect.left || nr.top != w->rect.top;
    sized = (nr.right - nr.left) != (w->rect.right - w->rect.left) || (nr.bottom - nr.top) != (w->rect.bottom - w->rect.top);
    w->rect = nr;
    if (!(flags & SWP_NOZORDER)) {
      std::vector<HWND>* sibs = nullptr;
      std::vector<HWND> tops;
      if (w->parent) {
        if (Window* p = Win(w->parent)) sibs = &p->children;
      }
      if (sibs) {
        sibs->erase(std::remove(sibs->begin(), sibs->end(), hwnd), sibs->end());
        if (wp.hwndInsertAfter == HWND_BOTTOM)
          sibs->push_back(hwnd);
        else if (wp.hwndInsertAfter == HWND_TOP || wp.hwndInsertAfter == HWND_TOPMOST || wp.hwndInsertAfter == HWND_NOTOPMOST)
          sibs->insert(sibs->begin(), hwnd);
        else {
          auto it = std::find(sibs->begin(), sibs->end(), wp.hwndInsertAfter);
          sibs->insert(it == sibs->end() ? sibs->end() : it + 1, hwnd);
        }
      } else {
        if (wp.hwndInsertAfter == HWND_TOPMOST) {
          w->topmost = true;
          w->exStyle |= WS_EX_TOPMOST;
        } else if (wp.hwndInsertAfter == HWND_NOTOPMOST) {
          w->topmost = false;
          w->exStyle &= ~WS_EX_TOPMOST;
        }
        ReorderTop(hwnd, wp.hwndInsertAfter);
      }
    }
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
    Bump();
    if (top) {
      TopLevelChanged(w);
      if (ThePresenter() && (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)))
        ThePresenter()->WindowShown(w, (w->style & WS_VISIBLE) && !(w->style & WS_MINIMIZE));
    }
    if (!(flags & SWP_NOREDRAW) && (moved || sized || (flags & (SWP_SHOWWINDOW | SWP_FRAMECHANGED)))) {
      if (w->parent) {
        if (Window* p = Win(w->parent)) {
          RECT pca = ClientArea(p);
          Region r = Region(oldRect).Union(Region(w->rect));
          r.Offset(-pca.left, -pca.top);
          InvalidateWindow(p, &r, true, false);
        }
      }
      if (sized || (flags & (SWP_SHOWWINDOW | SWP_FRAMECHANGED)) || top) {
        w->ncPaint = true;
        InvalidateWindow(w, nullptr, true, true);
      }
    }
  }
  if (top && !(flags & SWP_NOACTIVATE) && !(flags & SWP_HIDEWINDOW)) {
    Guard g(Lock());
    Window* w = Win(hwnd);
    bool need = w && (w->style & WS_VISIBLE) && w->queue->active != hwnd;
    if (need) {
      Lock().unlock();
      ActivateWindow(hwnd, false);
      Lock().lock();
    }
  }
  CallProc(hwnd, WM_WINDOWPOSCHANGED, 0, (LPARAM)&wp);
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int w, int h, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

int WINAPI SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (rgn) {
    RegionObject* r = Gdi<RegionObject>(rgn);
    if (!r) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    w->shape = r->region;
    // The window owns the region from here on: the handle is released now, so a later
    // DeleteObject by the caller fails harmlessly instead of touching the window's region.
    DeleteObject(rgn);
  } else {
    w->shape.reset();
  }
  Bump();
  if (IsTop(w) && ThePresenter()) ThePresenter()->WindowShaped(w);
  if (redraw) {
    w->ncPaint = true;
    InvalidateWindow(w, nullptr, true, true);
  }
  return 1;
}

int WINAPI GetWindowRgn(HWND hwnd, HRGN rgn) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  RegionObject* r = Gdi<RegionObject>(rgn);
  if (!w || !r || !w->shape) return ERROR;
  r->region = *w->shape;
  return r->region.Kind();
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  Guard g(Lock());
  if (!hwnd) {
    for (HWND h : TopLevelZOrder())
      if (Window* w = Win(h)) InvalidateWindow(w, nullptr, erase, true);
    return TRUE;
  }
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  Region r = UpdateFromRect(w, rect);
  InvalidateWindow(w, &r, erase, false);
  return TRUE;
}

BOOL WINAPI InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  RegionObject* r = Gdi<RegionObject>(rgn);
  if (rgn && !r) return FALSE;
  InvalidateWindow(w, r ? &r->region : nullptr, erase, false);
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT* rect) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  if (!rect) {
    w->update = Region();
    w->erase = false;
    w->internalPaint = false;
  } else {
    w->update = w->update.Subtract(Region(*rect));
    if (w->update.Empty()) w->erase = false;
  }
  return TRUE;
}

BOOL WINAPI ValidateRgn(HWND hwnd, HRGN rgn) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  RegionObject* r = Gdi<RegionObject>(rgn);
  if (!r) return ValidateRect(hwnd, nullptr);
  w->update = w->update.Subtract(r->region);
  return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase) {
  bool sendErase = false;
  BOOL result;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = w->update.Box();
    result = !w->update.Empty();
    sendErase = erase && w->erase && result;
  }
  if (sendErase) {
    HDC dc = GetDC(hwnd);
    CallProc(hwnd, WM_ERASEBKGND, (WPARAM)dc, 0);
    ReleaseDC(hwnd, dc);
    Guard g(Lock());
    if (Window* w = Win(hwnd)) w->erase = false;
  }
  return result;
}

int WINAPI GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  RegionObject* r = Gdi<RegionObject>(rgn);
  if (!w || !r) return ERROR;
  r->region = w->update;
  return r->region.Kind();
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  bool needs;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return FALSE;
    needs = HasPaint(w) && IsVisibleChain(w);
  }
  if (needs) CallProc(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI RedrawWindow(HWND hwnd, const RECT* update, HRGN updateRgn, UINT flags) {
  {
    Guard g(Lock());
    if (!hwnd) hwnd = TopLevelZOrder().empty() ? nullptr : TopLevelZOrder().front();
    Window* w = Win(hwnd);
    if (!w) return FALSE;
    int childMode = (flags & RDW_ALLCHILDREN) ? 1 : (flags & RDW_NOCHILDREN) ? -1 : 0;
    Region r;
    RegionObject* ro = Gdi<RegionObject>(updateRgn);
    if (ro)
      r = ro->region;
    else
      r = UpdateFromRect(w, update);
    if (flags & RDW_INVALIDATE) {
      if (IsVisibleChain(w)) InvalidateTree(w, &r, (flags & RDW_ERASE) != 0, childMode);
      if (flags & RDW_FRAME) w->ncPaint = true;
    }
    if (flags & RDW_INTERNALPAINT) w->internalPaint = true;
    if (flags & RDW_NOINTERNALPAINT) w->internalPaint = false;
    if (flags & RDW_VALIDATE) {
      w->update = w->update.Subtract(r);
      if (flags & RDW_NOERASE) w->erase = false;
    }
    if (flags & RDW_NOERASE) w->erase = false;
  }
  if (flags & RDW_UPDATENOW)
    PaintNow(hwnd, !(flags & RDW_NOCHILDREN));
  else if (flags & RDW_ERASENOW) {
    bool erase;
    {
      Guard g(Lock());
      Window* w = Win(hwnd);
      erase = w && w->erase;
    }
    if (erase) {
      HDC dc = GetDC(hwnd);
      CallProc(hwnd, WM_ERASEBKGND, (WPARAM)dc, 0);
      ReleaseDC(hwnd, dc);
      Guard g(Lock());
      if (Window* w = Win(hwnd)) w->erase = false;
    }
  }
  return TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  if (!ps) return nullptr;
  Region rgn;
  bool erase, nc;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return nullptr;
    rgn = w->update;
    erase = w->erase;
    nc = w->ncPaint;
    w->update = Region();
    w->erase = false;
    w->internalPaint = false;
    w->ncPaint = false;
  }
  if (nc) CallProc(hwnd, WM_NCPAINT, 1, 0);
  HDC dc;
  {
    Guard g(Lock());
    dc = NewWindowDc(hwnd, false);
    DcObject* d = Gdi<DcObject>(dc);
    d->paint = true;
    d->paintClip = rgn;
  }
  std::memset(ps, 0, sizeof *ps);
  ps->hdc = dc;
  ps->rcPaint = rgn.Box();
  ps->fErase = FALSE;
  if (erase) ps->fErase = CallProc(hwnd, WM_ERASEBKGND, (WPARAM)dc, 0) ? FALSE : TRUE;
  return dc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (!ps) return FALSE;
  HWND top = GetAncestor(hwnd, GA_ROOT);
  {
    Guard g(Lock());
    DeleteDC(ps->hdc);
  }
  FlushPresent(top);
  return TRUE;
}

HDC WINAPI GetDC(HWND hwnd) {
  Guard g(Lock());
  if (hwnd && !Win(hwnd)) return nullptr;
  return NewWindowDc(hwnd, false);
}

HDC WINAPI GetWindowDC(HWND hwnd) {
  Guard g(Lock());
  if (hwnd && !Win(hwnd)) return nullptr;
  return NewWindowDc(hwnd, true);
}

HDC WINAPI GetDCEx(HWND hwnd, HRGN clip, DWORD flags) {
  HDC dc = (flags & DCX_WINDOW) ? GetWindowDC(hwnd) : GetDC(hwnd);
  if (dc && clip) SelectClipRgn(dc, clip);
  return dc;
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
  HWND top = nullptr;
  {
    Guard g(Lock());
    DcObject* d = Gdi<DcObject>(hdc);
    if (!d || d->memory) return 0;
    top = d->hwnd ? GetAncestor(d->hwnd, GA_ROOT) : nullptr;
    DeleteDC(hdc);
  }
  if (top) FlushPresent(top);
  return 1;
}

HWND WINAPI WindowFromDC(HDC hdc) {
  Guard g(Lock());
  DcObject* d = Gdi<DcObject>(hdc);
  return d ? d->hwnd : nullptr;
}

BOOL WINAPI LockWindowUpdate(HWND hwnd) { return TRUE; }

}  // extern "C"
