// Input: mouse events from the presenter or from velnosim, hit-testing and routing to the
// window under the pointer or holding the capture, capture, focus, activation, key state and
// point mapping.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "winsys.h"

namespace velno::win {

std::atomic<WORD> g_asyncButtons{0};
POINT g_cursor{0, 0};

namespace {

struct ClickMemory {
  HWND hwnd = nullptr;
  UINT kind = 0;
  DWORD time = 0;
  POINT pt{0, 0};
};
ClickMemory g_lastClick;

bool InsideWindow(Window* w, POINT screen) {
  POINT o = WindowOriginScreen(w);
  int x = screen.x - o.x, y = screen.y - o.y;
  if (x < 0 || y < 0 || x >= w->rect.right - w->rect.left || y >= w->rect.bottom - w->rect.top) return false;
  if (w->shape && !w->shape->Contains(x, y)) return false;
  return true;
}

// The deepest visible, enabled child under the point (the window itself when none).
Window* ChildAt(Window* w, POINT screen) {
  for (HWND c : w->children) {
    Window* cw = Win(c);
    if (!cw || !(cw->style & WS_VISIBLE) || (cw->style & WS_DISABLED)) continue;
    if (InsideWindow(cw, screen)) return ChildAt(cw, screen);
  }
  return w;
}

Window* LocalWindowAt(POINT screen, HWND onlyTop) {
  std::vector<HWND> tops = TopLevelZOrder();
  // topmost windows come first
  std::stable_sort(tops.begin(), tops.end(), [](HWND a, HWND b) {
    Window *wa = Win(a), *wb = Win(b);
    return (wa && wa->topmost) > (wb && wb->topmost);
  });
  for (HWND h : tops) {
    if (onlyTop && h != onlyTop) continue;
    Window* w = Win(h);
    if (!w || !(w->style & WS_VISIBLE) || !InsideWindow(w, screen)) continue;
    return ChildAt(w, screen);
  }
  return nullptr;
}

UINT NcKind(UINT kind) {
  switch (kind) {
    case WM_MOUSEMOVE: return WM_NCMOUSEMOVE;
    case WM_LBUTTONDOWN: return WM_NCLBUTTONDOWN;
    case WM_LBUTTONUP: return WM_NCLBUTTONUP;
    case WM_LBUTTONDBLCLK: return WM_NCLBUTTONDBLCLK;
    case WM_RBUTTONDOWN: return WM_NCRBUTTONDOWN;
    case WM_RBUTTONUP: return WM_NCRBUTTONUP;
    case WM_RBUTTONDBLCLK: return WM_NCRBUTTONDBLCLK;
  }
  return kind;
}

void SendActivateMessages(HWND top, HWND old, bool byClick) {
  if (old && IsWindow(old)) {
    CallProc(old, WM_NCACTIVATE, FALSE, 0);
    CallProc(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old)), (LPARAM)top);
  }
  CallProc(top, WM_NCACTIVATE, TRUE, 0);
  CallProc(top, WM_ACTIVATE, MAKEWPARAM(byClick ? WA_CLICKACTIVE : WA_ACTIVE, IsIconic(top)), (LPARAM)old);
}

}  // namespace

void OnWindowGone(Window* w) {
  if (!w->queue) return;
  Queue* q = w->queue;
  if (q->capture == w->hwnd) q->capture = nullptr;
  if (q->focus == w->hwnd) q->focus = nullptr;
  if (q->active == w->hwnd) q->active = nullptr;
  if (q->hoverWindow == w->hwnd) q->hoverWindow = nullptr;
  if (g_lastClick.hwnd == w->hwnd) g_lastClick.hwnd = nullptr;
}

void ActivateWindow(HWND hwnd, bool byClick) {
  HWND top, old;
  Queue* q;
  bool appWasActive;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return;
    Window* t = TopOf(w);
    top = t->hwnd;
    q = t->queue;
    old = q->active;
    appWasActive = false;
    for (HWND h : TopLevelZOrder())
      if (Window* o = Win(h); o && o->queue && o->queue->active) appWasActive = true;
    if (old == top) {
      SetForegroundRecord(top);
      return;
    }
    q->active = top;
    // bring to the top of the Z order (within its topmost band)
  }
  SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (!appWasActive) {
    std::vector<HWND> tops;
    {
      Guard g(Lock());
      for (HWND h : TopLevelZOrder())
        if (Window* o = Win(h); o && o->queue == q) tops.push_back(h);
    }
    for (HWND h : tops) CallProc(h, WM_ACTIVATEAPP, TRUE, 0);
  }
  SetForegroundRecord(top);
  SendActivateMessages(top, old, byClick);
}

void DeactivateApp() {
  std::vector<std::pair<HWND, Queue*>> actives;
  std::vector<HWND> tops;
  {
    Guard g(Lock());
    for (HWND h : TopLevelZOrder()) {
      Window* w = Win(h);
      if (!w) continue;
      tops.push_back(h);
      if (w->queue && w->queue->active == h) actives.push_back({h, w->queue});
    }
  }
  for (auto& [h, q] : actives) {
    HWND focus;
    {
      Guard g(Lock());
      q->active = nullptr;
      focus = q->focus;
      q->focus = nullptr;
    }
    CallProc(h, WM_NCACTIVATE, FALSE, 0);
    CallProc(h, WM_ACTIVATE, WA_INACTIVE, 0);
    if (focus) CallProc(focus, WM_KILLFOCUS, 0, 0);
  }
  if (!actives.empty())
    for (HWND h : tops) CallProc(h, WM_ACTIVATEAPP, FALSE, 0);
}

void InjectMouse(HWND onlyTop, UINT kind, POINT screen, int wheel) {
  WORD b = g_asyncButtons.load();
  switch (kind) {
    case WM_LBUTTONDOWN: b |= MK_LBUTTON; break;
    case WM_LBUTTONUP: b &= ~MK_LBUTTON; break;
    case WM_RBUTTONDOWN: b |= MK_RBUTTON; break;
    case WM_RBUTTONUP: b &= ~MK_RBUTTON; break;
    case WM_MBUTTONDOWN: b |= MK_MBUTTON; break;
    case WM_MBUTTONUP: b &= ~MK_MBUTTON; break;
  }
  g_asyncButtons = b;
  Queue* q = nullptr;
  {
    Guard g(Lock());
    g_cursor = screen;
    // the thread holding the capture gets every mouse event
    for (HWND h : TopLevelZOrder()) {
      Window* w = Win(h);
      if (w && w->queue && w->queue->capture && Win(w->queue->capture)) {
        q = w->queue;
        break;
      }
    }
    if (!q) {
      Window* w = LocalWindowAt(screen, onlyTop);
      if (!w && onlyTop) w = Win(onlyTop);
      if (w) q = w->queue;
    }
  }
  if (!q) return;
  InputEvent e;
  e.kind = kind;
  e.screen = screen;
  e.wheel = wheel;
  e.time = Now();
  e.keys = b;
  PostInput(q, e);
}

bool TranslateInput(Queue* q, const InputEvent& e, MSG* out) {
  HWND target = nullptr;
  LRESULT hit = HTCLIENT;
  {
    Guard g(Lock());
    if (q->capture && Win(q->capture)) {
      target = q->capture;
    } else {
      Window* w = LocalWindowAt(e.screen, nullptr);
      if (!w || w->queue != q) return false;
      if (TopOf(w)->style & WS_DISABLED) return false;
      target = w->hwnd;
    }
  }
  bool captured;
  {
    Guard g(Lock());
    captured = q->capture == target;
  }
  if (!captured) {
    // transparent children hand the point to what lies below them: their parent
    for (int i = 0; i < 16; ++i) {
      hit = CallProc(target, WM_NCHITTEST, 0, MAKELPARAM((short)e.screen.x, (short)e.screen.y));
      if (hit != HTTRANSPARENT) break;
      HWND p = GetAncestor(target, GA_PARENT);
      if (!p || p == GetDesktopWindow()) return false;
      target = p;
    }
    if (hit == HTNOWHERE || hit == HTERROR) {
      if (e.kind != WM_MOUSEMOVE) return false;
    }
  }
  UINT kind = e.kind;
  bool down = kind == WM_LBUTTONDOWN || kind == WM_RBUTTONDOWN || kind == WM_MBUTTONDOWN;
  if (down && !captured) {
    HWND top = GetAncestor(target, GA_ROOT);
    if (GetActiveWindow() != top) {
      LRESULT ma = CallProc(target, WM_MOUSEACTIVATE, (WPARAM)top, MAKELPARAM((WORD)hit, kind));
      if (ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT) ActivateWindow(top, true);
      if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT) return false;
    }
    if (!IsWindow(target)) return false;
    // double clicks for classes that ask for them
    Guard g(Lock());
    Window* w = Win(target);
    bool dbl = false;
    if (w && (w->cls->style & CS_DBLCLKS) && g_lastClick.hwnd == target && g_lastClick.kind == kind &&
        e.time - g_lastClick.time <= 500 && std::abs(e.screen.x - g_lastClick.pt.x) <= 2 &&
        std::abs(e.screen.y - g_lastClick.pt.y) <= 2)
      dbl = true;
    if (dbl) {
      kind = kind == WM_LBUTTONDOWN ? WM_LBUTTONDBLCLK : kind == WM_RBUTTONDOWN ? WM_RBUTTONDBLCLK : WM_MBUTTONDBLCLK;
      g_lastClick.hwnd = nullptr;
    } else {
      g_lastClick = ClickMemory{target, e.kind, e.time, e.screen};
    }
  }
  Guard g(Lock());
  Window* w = Win(target);
  if (!w) return false;
  // mouse-leave tracking
  if (q->trackingLeave && q->hoverWindow && q->hoverWindow != target && e.kind == WM_MOUSEMOVE) {
    q->posted.push_back(MSG{q->hoverWindow, WM_MOUSELEAVE, 0, 0, e.time, e.screen});
    q->trackingLeave = 0;
    q->hoverWindow = nullptr;
  }
  if (e.kind == WM_MOUSEWHEEL) {
    *out = MSG{target, WM_MOUSEWHEEL, MAKEWPARAM(e.keys, (short)e.wheel), MAKELPARAM((short)e.screen.x, (short)e.screen.y),
               e.time, e.screen};
    return true;
  }
  if (hit == HTCLIENT) {
    POINT o = ClientOriginScreen(w);
    *out = MSG{target, kind, (WPARAM)e.keys, MAKELPARAM((short)(e.screen.x - o.x), (short)(e.screen.y - o.y)), e.time,
               e.screen};
  } else {
    *out = MSG{target, NcKind(kind), (WPARAM)hit, MAKELPARAM((short)e.screen.x, (short)e.screen.y), e.time, e.screen};
  }
  return true;
}

}  // namespace velno::win

using namespace velno::win;

extern "C" {

HWND WINAPI SetCapture(HWND hwnd) {
  HWND prev;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return nullptr;
    Queue* q = w->queue;
    prev = q->capture;
    q->capture = hwnd;
  }
  if (prev && prev != hwnd) CallProc(prev, WM_CAPTURECHANGED, 0, (LPARAM)hwnd);
  return prev;
}

BOOL WINAPI ReleaseCapture(void) {
  HWND prev;
  {
    Guard g(Lock());
    Queue* q = ThisQueue();
    prev = q->capture;
    q->capture = nullptr;
  }
  if (prev) CallProc(prev, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND WINAPI GetCapture(void) {
  Guard g(Lock());
  Queue* q = ThisQueue();
  return q->capture && Win(q->capture) ? q->capture : nullptr;
}

HWND WINAPI SetFocus(HWND hwnd) {
  HWND prev;
  Queue* q = ThisQueue();
  if (hwnd) {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    if (!top) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    {
      Guard g(Lock());
      Window* w = Win(hwnd);
      if (!w || w->queue != q) return nullptr;
    }
    if (GetActiveWindow() != top) ActivateWindow(top, false);
  }
  {
    Guard g(Lock());
    prev = q->focus;
    if (prev == hwnd) return prev;
    q->focus = hwnd;
  }
  if (prev && IsWindow(prev)) CallProc(prev, WM_KILLFOCUS, (WPARAM)hwnd, 0);
  if (hwnd && IsWindow(hwnd)) {
    Guard g(Lock());
    if (q->focus != hwnd) return prev;
  }
  if (hwnd) CallProc(hwnd, WM_SETFOCUS, (WPARAM)prev, 0);
  return prev;
}

HWND WINAPI GetFocus(void) {
  Guard g(Lock());
  Queue* q = ThisQueue();
  return q->focus && Win(q->focus) ? q->focus : nullptr;
}

HWND WINAPI SetActiveWindow(HWND hwnd) {
  HWND prev = GetActiveWindow();
  if (!hwnd) {
    Queue* q = ThisQueue();
    HWND old;
    {
      Guard g(Lock());
      old = q->active;
      q->active = nullptr;
    }
    if (old) {
      CallProc(old, WM_NCACTIVATE, FALSE, 0);
      CallProc(old, WM_ACTIVATE, WA_INACTIVE, 0);
    }
    return prev;
  }
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w || w->queue != ThisQueue()) return nullptr;
  }
  ActivateWindow(hwnd, false);
  return prev;
}

HWND WINAPI GetActiveWindow(void) {
  Guard g(Lock());
  Queue* q = ThisQueue();
  return q->active && Win(q->active) ? q->active : nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
  {
    Guard g(Lock());
    if (!Win(hwnd)) {
      Lock().unlock();
      long long r = 0;
      bool ok = !IsLocalHwnd(hwnd) && RemoteCall(hwnd, "setforeground", {}, &r) && r;
      Lock().lock();
      return ok;
    }
  }
  RunOnWindowThread(hwnd, [hwnd]() -> LRESULT {
    ActivateWindow(hwnd, false);
    return 0;
  });
  return TRUE;
}

HWND WINAPI GetForegroundWindow(void) { return ForegroundRecord(); }

BOOL WINAPI BringWindowToTop(HWND hwnd) {
  return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

SHORT WINAPI GetAsyncKeyState(int vk) {
  WORD b = g_asyncButtons.load();
  bool down = (vk == VK_LBUTTON && (b & MK_LBUTTON)) || (vk == VK_RBUTTON && (b & MK_RBUTTON)) ||
              (vk == VK_MBUTTON && (b & MK_MBUTTON));
  return down ? (SHORT)0x8000 : 0;
}

SHORT WINAPI GetKeyState(int vk) {
  Queue* q = ThisQueue();
  Guard g(Lock());
  WORD b = q->keyState;
  bool down = (vk == VK_LBUTTON && (b & MK_LBUTTON)) || (vk == VK_RBUTTON && (b & MK_RBUTTON)) ||
              (vk == VK_MBUTTON && (b & MK_MBUTTON));
  return down ? (SHORT)0xFF80 : 0;
}

BOOL WINAPI GetCursorPos(LPPOINT p) {
  if (!p) return FALSE;
  Guard g(Lock());
  *p = g_cursor;
  return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
  Guard g(Lock());
  g_cursor = POINT{x, y};
  return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR c) {
  static HCURSOR current = nullptr;
  HCURSOR old = current;
  current = c;
  return old;
}
HCURSOR WINAPI GetCursor(void) {
  HCURSOR c = SetCursor(nullptr);
  SetCursor(c);
  return c;
}
int WINAPI ShowCursor(BOOL show) {
  static int count = 0;
  return show ? ++count : --count;
}
UINT WINAPI GetDoubleClickTime(void) { return 500; }

BOOL WINAPI TrackMouseEvent(LPTRACKMOUSEEVENT t) {
  if (!t || t->cbSize != sizeof(TRACKMOUSEEVENT)) return FALSE;
  Queue* q = ThisQueue();
  Guard g(Lock());
  if (t->dwFlags & TME_QUERY) {
    t->dwFlags = q->trackingLeave ? TME_LEAVE : 0;
    t->hwndTrack = q->hoverWindow;
    return TRUE;
  }
  if (t->dwFlags & TME_CANCEL) {
    q->trackingLeave = 0;
    q->hoverWindow = nullptr;
    return TRUE;
  }
  if (t->dwFlags & TME_LEAVE) {
    q->trackingLeave = 1;
    q->hoverWindow = t->hwndTrack;
  }
  return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT p) {
  if (!p) return FALSE;
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  POINT o = ClientOriginScreen(w);
  p->x += o.x;
  p->y += o.y;
  return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT p) {
  if (!p) return FALSE;
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  POINT o = ClientOriginScreen(w);
  p->x -= o.x;
  p->y -= o.y;
  return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT pts, UINT count) {
  Guard g(Lock());
  POINT a{0, 0}, b{0, 0};
  if (from && from != GetDesktopWindow()) {
    Window* w = Win(from);
    if (!w) return 0;
    a = ClientOriginScreen(w);
  }
  if (to && to != GetDesktopWindow()) {
    Window* w = Win(to);
    if (!w) return 0;
    b = ClientOriginScreen(w);
  }
  int dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; i < count; ++i) {
    pts[i].x += dx;
    pts[i].y += dy;
  }
  return MAKELONG((short)dx, (short)dy);
}

HWND WINAPI WindowFromPoint(POINT p) {
  {
    Guard g(Lock());
    if (Window* w = LocalWindowAt(p, nullptr)) return w->hwnd;
  }
  return StationWindowAt(p);
}

HWND WINAPI ChildWindowFromPointEx(HWND parent, POINT p, UINT flags) {
  Guard g(Lock());
  Window* w = Win(parent);
  if (!w) return nullptr;
  RECT ca = ClientArea(w);
  if (p.x < 0 || p.y < 0 || p.x >= ca.right - ca.left || p.y >= ca.bottom - ca.top) return nullptr;
  for (HWND c : w->children) {
    Window* cw = Win(c);
    if (!cw) continue;
    if ((flags & CWP_SKIPINVISIBLE) && !(cw->style & WS_VISIBLE)) continue;
    if ((flags & CWP_SKIPDISABLED) && (cw->style & WS_DISABLED)) continue;
    if ((flags & CWP_SKIPTRANSPARENT) && (cw->exStyle & WS_EX_TRANSPARENT)) continue;
    if (p.x >= cw->rect.left && p.x < cw->rect.right && p.y >= cw->rect.top && p.y < cw->rect.bottom) return c;
  }
  return parent;
}

HWND WINAPI ChildWindowFromPoint(HWND parent, POINT p) { return ChildWindowFromPointEx(parent, p, CWP_ALL); }

}  // extern "C"
