// Window classes and windows: creation and destruction, the window tree and Z order, styles,
// text, long values, subclassing and the default window procedure.
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "winsys.h"

namespace velno::win {
namespace {

std::unordered_map<std::string, std::shared_ptr<WindowClass>>& Classes() {
  static auto* c = new std::unordered_map<std::string, std::shared_ptr<WindowClass>>;
  return *c;
}
std::unordered_map<uintptr_t, std::unique_ptr<Window>>& Windows() {
  static auto* w = new std::unordered_map<uintptr_t, std::unique_ptr<Window>>;
  return *w;
}
std::vector<HWND>& TopOrder() {  // this process's top-level windows, topmost first
  static auto* v = new std::vector<HWND>;
  return *v;
}
ATOM g_nextAtom = 0xC000;
int g_systemScope = 0;
uint32_t g_nextLocal = 1;

std::string Lower(const char* s) {
  std::string r = s ? s : "";
  for (char& c : r) c = (char)tolower((unsigned char)c);
  return r;
}

std::shared_ptr<WindowClass> FindClass(LPCSTR name) {
  RegisterSystemClasses();
  if (!name) return nullptr;
  if (IS_INTRESOURCE(name)) {
    ATOM a = (ATOM)(uintptr_t)name;
    for (auto& [k, c] : Classes())
      if (c->atom == a) return c;
    return nullptr;
  }
  auto it = Classes().find(Lower(name));
  return it == Classes().end() ? nullptr : it->second;
}

int CaptionHeight(DWORD style) { return (style & WS_CAPTION) == WS_CAPTION ? 23 : 0; }
int FrameWidth(DWORD style, DWORD ex) {
  int f = 0;
  if (style & WS_THICKFRAME)
    f = 4;
  else if ((style & WS_DLGFRAME) || (ex & WS_EX_DLGMODALFRAME))
    f = 3;
  else if (style & WS_BORDER)
    f = 1;
  if (ex & WS_EX_CLIENTEDGE) f += 2;
  if (ex & WS_EX_STATICEDGE) f += 1;
  return f;
}

void RemoveFromParent(Window* w) {
  if (w->parent) {
    if (Window* p = Win(w->parent)) p->children.erase(std::remove(p->children.begin(), p->children.end(), w->hwnd), p->children.end());
  } else {
    auto& t = TopOrder();
    t.erase(std::remove(t.begin(), t.end(), w->hwnd), t.end());
  }
}

void DestroyTree(HWND hwnd);

}  // namespace

SystemClassScope::SystemClassScope() { ++g_systemScope; }
SystemClassScope::~SystemClassScope() { --g_systemScope; }
bool RegisteringSystemClass() { return g_systemScope > 0; }

Window* Win(HWND h) {
  auto it = Windows().find((uintptr_t)h);
  return it == Windows().end() ? nullptr : it->second.get();
}

bool IsTop(const Window* w) { return w->parent == nullptr; }
Window* TopOf(Window* w) {
  while (w && w->parent) w = Win(w->parent);
  return w;
}

RECT ClientArea(const Window* w) {
  int f = FrameWidth(w->style, w->exStyle), c = CaptionHeight(w->style);
  int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  RECT r{f, f + c, std::max(f, width - f), std::max(f + c, height - f)};
  return r;
}

POINT WindowOriginScreen(const Window* w) {
  POINT p{w->rect.left, w->rect.top};
  const Window* cur = w;
  while (cur->parent) {
    Window* par = Win(cur->parent);
    if (!par) break;
    RECT ca = ClientArea(par);
    p.x += par->rect.left + ca.left;
    p.y += par->rect.top + ca.top;
    cur = par;
  }
  return p;
}

POINT ClientOriginScreen(const Window* w) {
  POINT p = WindowOriginScreen(w);
  RECT ca = ClientArea(w);
  return POINT{p.x + ca.left, p.y + ca.top};
}

std::vector<HWND> TopLevelZOrder() { return TopOrder(); }

bool IsVisibleChain(const Window* w) {
  while (w) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (!w->parent) return true;
    w = Win(w->parent);
  }
  return false;
}

HWND NewHwnd() {
  uint32_t n = g_nextLocal++;
  if (g_nextLocal > 0xFFFFF) g_nextLocal = 1;
  return (HWND)(((uintptr_t)getpid() << 20) | n);
}
DWORD HwndPid(HWND h) { return (DWORD)((uintptr_t)h >> 20); }
bool IsLocalHwnd(HWND h) { return HwndPid(h) == (DWORD)getpid(); }

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return 0;
    if (w->threadId == ThisThreadId()) goto direct;
  }
  return SendLocal(hwnd, msg, wp, lp);
direct:
  return DirectProc(hwnd, msg, wp, lp);
}

LRESULT DirectProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  WNDPROC proc;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return 0;
    proc = w->proc;
  }
  return proc ? proc(hwnd, msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
}

void DestroyThreadWindows(DWORD tid) {
  std::vector<HWND> mine;
  {
    Guard g(Lock());
    for (HWND h : TopOrder())
      if (Window* w = Win(h); w && w->threadId == tid) mine.push_back(h);
  }
  for (HWND h : mine) DestroyWindow(h);
}

namespace {

void DestroyTree(HWND hwnd) {
  std::vector<HWND> kids;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return;
    w->destroying = true;
  }
  CallProc(hwnd, WM_DESTROY, 0, 0);
  {
    Guard g(Lock());
    if (Window* w = Win(hwnd)) kids = w->children;
  }
  for (HWND c : kids) DestroyTree(c);
  CallProc(hwnd, WM_NCDESTROY, 0, 0);
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return;
  OnWindowGone(w);
  if (w->queue) {
    auto& tm = w->queue->timers;
    tm.erase(std::remove_if(tm.begin(), tm.end(), [&](const Timer& t) { return t.hwnd == hwnd; }), tm.end());
    auto& ps = w->queue->posted;
    ps.erase(std::remove_if(ps.begin(), ps.end(), [&](const MSG& m) { return m.hwnd == hwnd; }), ps.end());
  }
  if (ThePresenter() && IsTop(w)) ThePresenter()->WindowDestroyed(w);
  bool top = IsTop(w);
  RemoveFromParent(w);
  Windows().erase((uintptr_t)hwnd);
  if (top) StationPublish();
}

}  // namespace

}  // namespace velno::win

using namespace velno::win;

extern "C" {

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName || !wc->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Guard g(Lock());
  RegisterSystemClasses();
  std::string key = IS_INTRESOURCE(wc->lpszClassName) ? "#" + std::to_string((uintptr_t)wc->lpszClassName) : Lower(wc->lpszClassName);
  auto it = Classes().find(key);
  if (it != Classes().end() && !it->second->system) {
    SetLastError(1410);  // ERROR_CLASS_ALREADY_EXISTS
    return 0;
  }
  auto c = std::make_shared<WindowClass>();
  c->name = IS_INTRESOURCE(wc->lpszClassName) ? key : wc->lpszClassName;
  c->atom = g_nextAtom++;
  c->style = wc->style;
  c->proc = wc->lpfnWndProc;
  c->clsExtra = std::max(0, wc->cbClsExtra);
  c->wndExtra = std::max(0, wc->cbWndExtra);
  c->extra.assign(c->clsExtra, 0);
  c->instance = wc->hInstance;
  c->icon = wc->hIcon;
  c->iconSm = wc->hIconSm;
  c->cursor = wc->hCursor;
  c->background = wc->hbrBackground;
  if (wc->lpszMenuName && !IS_INTRESOURCE(wc->lpszMenuName)) c->menuName = wc->lpszMenuName;
  c->system = RegisteringSystemClass();
  // Registering a system class name from the application replaces it for this process.
  Classes()[key] = c;
  return c->atom;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
  if (!wc) return 0;
  WNDCLASSEXA ex{sizeof(WNDCLASSEXA), wc->style, wc->lpfnWndProc, wc->cbClsExtra, wc->cbWndExtra, wc->hInstance,
                 wc->hIcon, wc->hCursor, wc->hbrBackground, wc->lpszMenuName, wc->lpszClassName, nullptr};
  return RegisterClassExA(&ex);
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance) {
  Guard g(Lock());
  auto c = FindClass(name);
  if (!c || c->system) {
    SetLastError(1411);  // ERROR_CLASS_DOES_NOT_EXIST
    return FALSE;
  }
  for (auto& [h, w] : Windows())
    if (w->cls == c) {
      SetLastError(1412);  // ERROR_CLASS_HAS_WINDOWS
      return FALSE;
    }
  for (auto it = Classes().begin(); it != Classes().end(); ++it)
    if (it->second == c) {
      Classes().erase(it);
      break;
    }
  return TRUE;
}

BOOL WINAPI GetClassInfoExA(HINSTANCE instance, LPCSTR name, LPWNDCLASSEXA wc) {
  Guard g(Lock());
  auto c = FindClass(name);
  if (!c || !wc) {
    SetLastError(1411);
    return FALSE;
  }
  wc->style = c->style;
  wc->lpfnWndProc = c->proc;
  wc->cbClsExtra = c->clsExtra;
  wc->cbWndExtra = c->wndExtra;
  wc->hInstance = c->instance;
  wc->hIcon = c->icon;
  wc->hIconSm = c->iconSm;
  wc->hCursor = c->cursor;
  wc->hbrBackground = c->background;
  wc->lpszMenuName = nullptr;
  wc->lpszClassName = name;
  return c->atom;
}

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR name, LPWNDCLASSA wc) {
  WNDCLASSEXA ex{sizeof ex};
  if (!wc || !GetClassInfoExA(instance, name, &ex)) return FALSE;
  *wc = WNDCLASSA{ex.style, ex.lpfnWndProc, ex.cbClsExtra, ex.cbWndExtra, ex.hInstance, ex.hIcon,
                  ex.hCursor, ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
  return TRUE;
}

ULONG_PTR WINAPI GetClassLongPtrA(HWND hwnd, int index) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return 0;
  WindowClass* c = w->cls.get();
  switch (index) {
    case GCLP_HBRBACKGROUND: return (ULONG_PTR)c->background;
    case GCLP_HCURSOR: return (ULONG_PTR)c->cursor;
    case GCLP_HICON: return (ULONG_PTR)c->icon;
    case GCLP_HICONSM: return (ULONG_PTR)c->iconSm;
    case GCLP_HMODULE: return (ULONG_PTR)c->instance;
    case GCLP_WNDPROC: return (ULONG_PTR)c->proc;
    case GCL_STYLE: return c->style;
    case GCL_CBWNDEXTRA: return c->wndExtra;
    case GCL_CBCLSEXTRA: return c->clsExtra;
  }
  if (index >= 0 && index + (int)sizeof(ULONG_PTR) <= c->clsExtra) {
    ULONG_PTR v;
    std::memcpy(&v, c->extra.data() + index, sizeof v);
    return v;
  }
  SetLastError(1413);
  return 0;
}

ULONG_PTR WINAPI SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return 0;
  WindowClass* c = w->cls.get();
  ULONG_PTR old = GetClassLongPtrA(hwnd, index);
  switch (index) {
    case GCLP_HBRBACKGROUND: c->background = (HBRUSH)value; return old;
    case GCLP_HCURSOR: c->cursor = (HCURSOR)value; return old;
    case GCLP_HICON: c->icon = (HICON)value; return old;
    case GCLP_HICONSM: c->iconSm = (HICON)value; return old;
    case GCLP_WNDPROC: c->proc = (WNDPROC)value; return old;
    case GCL_STYLE: c->style = (UINT)value; return old;
  }
  if (index >= 0 && index + (int)sizeof(ULONG_PTR) <= c->clsExtra) {
    std::memcpy(c->extra.data() + index, &value, sizeof value);
    return old;
  }
  SetLastError(1413);
  return 0;
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR name, int max) {
  if (!name || max <= 0) return 0;
  std::string cls;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (w) cls = w->cls->name;
  }
  if (cls.empty() && !IsLocalHwnd(hwnd)) cls = StationClassOf(hwnd);  // the station knows every top-level class
  if (cls.empty()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  velno::win::CopyN(name, cls.c_str(), max);
  return (int)strlen(name);
}

HWND WINAPI CreateWindowExA(DWORD ex, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int cx, int cy,
                            HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  HWND hwnd;
  CREATESTRUCTA cs{};
  {
    Guard g(Lock());
    auto cls = FindClass(className);
    if (!cls) {
      SetLastError(1407);  // ERROR_CANNOT_FIND_WND_CLASS
      return nullptr;
    }
    if (parent == HWND_MESSAGE) parent = nullptr;
    Window* pw = parent ? Win(parent) : nullptr;
    if (parent && !pw) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if ((style & WS_CHILD) && !pw) {
      SetLastError(1406);  // ERROR_TLW_WITH_WSCHILD
      return nullptr;
    }
    auto w = std::make_unique<Window>();
    hwnd = NewHwnd();
    w->hwnd = hwnd;
    w->cls = cls;
    w->queue = ThisQueue();
    w->threadId = ThisThreadId();
    if (!(style & (WS_POPUP | WS_CHILD))) style |= WS_CAPTION | WS_CLIPSIBLINGS;
    if ((style & WS_DLGFRAME) || (ex & WS_EX_DLGMODALFRAME)) ex |= WS_EX_WINDOWEDGE;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = ex;
    w->proc = cls->proc;
    w->instance = instance;
    w->extra.assign(cls->wndExtra, 0);
    w->topmost = (ex & WS_EX_TOPMOST) != 0;
    if (style & WS_CHILD) {
      w->parent = parent;
      w->id = (LONG_PTR)menu;
      if (x == CW_USEDEFAULT) x = y = 0;
      if (cx == CW_USEDEFAULT) cx = cy = 0;
    } else {
      // the owner of a top-level window is the root of the given window
      Window* o = pw ? TopOf(pw) : nullptr;
      w->owner = o ? o->hwnd : nullptr;
      w->id = (LONG_PTR)menu;
      static int cascade = 0;
      if (x == CW_USEDEFAULT) {
        x = 60 + (cascade % 8) * 26;
        y = 40 + (cascade % 8) * 26;
        ++cascade;
      }
      if (cx == CW_USEDEFAULT) {
        cx = 640;
        cy = 480;
      }
    }
    w->rect = RECT{x, y, x + std::max(0, cx), y + std::max(0, cy)};
    Window* raw = w.get();
    Windows()[(uintptr_t)hwnd] = std::move(w);
    if (raw->parent)
      pw->children.push_back(hwnd);  // new children go to the bottom of the Z order
    else
      TopOrder().insert(TopOrder().begin(), hwnd);
    if (!raw->parent) {
      raw->backbuffer = std::make_unique<Surface>();
      raw->backbuffer->Allocate(std::max(1, cx), std::max(1, cy), 32);
      EnsureStationServer();
    }
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = raw->rect.right - raw->rect.left;
    cs.cy = raw->rect.bottom - raw->rect.top;
    cs.x = raw->rect.left;
    cs.y = raw->rect.top;
    cs.style = (LONG)style;
    cs.lpszName = title;
    cs.lpszClass = className;
    cs.dwExStyle = ex;
  }
  if (!CallProc(hwnd, WM_NCCREATE, 0, (LPARAM)&cs)) {
    DestroyTree(hwnd);
    return nullptr;
  }
  if (CallProc(hwnd, WM_CREATE, 0, (LPARAM)&cs) == -1) {
    DestroyTree(hwnd);
    return nullptr;
  }
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return nullptr;
    w->created = true;
    if (IsTop(w)) StationPublish();
  }
  RECT wr;
  GetClientRect(hwnd, &wr);
  CallProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(wr.right, wr.bottom));
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;
  if (style & WS_CHILD && !(ex & WS_EX_NOPARENTNOTIFY))
    CallProc(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, (WORD)(uintptr_t)menu), (LPARAM)hwnd);
  if (style & WS_VISIBLE) ShowWindow(hwnd, (style & WS_CHILD) ? SW_SHOWNA : SW_SHOW);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  std::vector<HWND> owned;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (w->threadId != ThisThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
    if (IsTop(w))
      for (HWND h : TopOrder())
        if (Window* o = Win(h); o && o->owner == hwnd) owned.push_back(h);
  }
  for (HWND h : owned) DestroyWindow(h);
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (w && (w->style & WS_VISIBLE)) {
      w->style &= ~WS_VISIBLE;
      if (w->parent) {
        if (Window* p = Win(w->parent)) {
          Region r(w->rect);
          InvalidateWindow(p, &r, true, true);
        }
      } else if (ThePresenter()) {
        ThePresenter()->WindowShown(w, false);
      }
    }
    if (w && w->parent && !(w->exStyle & WS_EX_NOPARENTNOTIFY)) {
      HWND p = w->parent;
      LONG_PTR id = w->id;
      Lock().unlock();
      CallProc(p, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, (WORD)id), (LPARAM)hwnd);
      Lock().lock();
    }
  }
  DestroyTree(hwnd);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
  if (!hwnd) return FALSE;
  {
    Guard g(Lock());
    if (Win(hwnd)) return TRUE;
  }
  if (IsLocalHwnd(hwnd)) return FALSE;
  long long r = 0;
  return RemoteCall(hwnd, "iswindow", {}, &r) && r;
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
  {
    Guard g(Lock());
    if (Window* w = Win(hwnd)) return IsVisibleChain(w);
  }
  long long r = 0;
  return !IsLocalHwnd(hwnd) && RemoteCall(hwnd, "isvisible", {}, &r) && r;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  return w && !(w->style & WS_DISABLED);
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
  bool wasDisabled;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable)
      w->style &= ~WS_DISABLED;
    else
      w->style |= WS_DISABLED;
  }
  if (!enable) {
    if (GetFocus() == hwnd) SetFocus(nullptr);
    if (GetCapture() == hwnd) ReleaseCapture();
  }
  CallProc(hwnd, WM_ENABLE, enable, 0);
  InvalidateRect(hwnd, nullptr, TRUE);
  return wasDisabled;
}

BOOL WINAPI IsIconic(HWND hwnd) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  return w && (w->style & WS_MINIMIZE);
}
BOOL WINAPI IsZoomed(HWND hwnd) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  return w && (w->style & WS_MAXIMIZE);
}
BOOL WINAPI IsWindowUnicode(HWND hwnd) { return FALSE; }

BOOL WINAPI IsChild(HWND parent, HWND hwnd) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  while (w && w->parent) {
    if (w->parent == parent) return TRUE;
    w = Win(w->parent);
  }
  return FALSE;
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
  return (BOOL)SendMessageA(hwnd, WM_SETTEXT, 0, (LPARAM)(text ? text : ""));
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR text, int max) {
  if (!text || max <= 0) return 0;
  text[0] = 0;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (w && w->threadId != ThisThreadId()) {
      // Another thread's window: its stored text is read without a message, as Windows does.
      velno::win::CopyN(text, w->text.c_str(), max);
      return (int)strlen(text);
    }
    if (!w) {
      if (IsLocalHwnd(hwnd)) return 0;
      std::string t = StationTitleOf(hwnd);
      velno::win::CopyN(text, t.c_str(), max);
      return (int)strlen(text);
    }
  }
  return (int)SendMessageA(hwnd, WM_GETTEXT, (WPARAM)max, (LPARAM)text);
}

int WINAPI GetWindowTextLengthA(HWND hwnd) {
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (w && w->threadId != ThisThreadId()) return (int)w->text.size();
    if (!w) {
      if (IsLocalHwnd(hwnd)) return 0;
      return (int)StationTitleOf(hwnd).size();
    }
  }
  return (int)SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_STYLE: return (LONG_PTR)(LONG)w->style;
    case GWL_EXSTYLE: return (LONG_PTR)(LONG)w->exStyle;
    case GWLP_WNDPROC: return (LONG_PTR)w->proc;
    case GWLP_HINSTANCE: return (LONG_PTR)w->instance;
    case GWLP_HWNDPARENT: return (LONG_PTR)(w->parent ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
  }
  if (index >= 0 && index + (int)sizeof(LONG_PTR) <= (int)w->extra.size()) {
    LONG_PTR v;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
  }
  if (index >= 0 && index + (int)sizeof(LONG) <= (int)w->extra.size()) {
    LONG v;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
  }
  SetLastError(1413);  // ERROR_INVALID_INDEX
  return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  LONG_PTR old;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    old = GetWindowLongPtrA(hwnd, index);
    switch (index) {
      case GWL_STYLE:
      case GWL_EXSTYLE: break;  // below, with the style messages
      case GWLP_WNDPROC: w->proc = (WNDPROC)value; SetLastError(0); return old;
      case GWLP_HINSTANCE: w->instance = (HINSTANCE)value; SetLastError(0); return old;
      case GWLP_HWNDPARENT:
        if (!w->parent) w->owner = (HWND)value;
        SetLastError(0);
        return old;
      case GWLP_ID: w->id = value; SetLastError(0); return old;
      case GWLP_USERDATA: w->userData = value; SetLastError(0); return old;
      default:
        if (index >= 0 && index + (int)sizeof(LONG_PTR) <= (int)w->extra.size()) {
          std::memcpy(w->extra.data() + index, &value, sizeof value);
          SetLastError(0);
          return old;
        }
        if (index >= 0 && index + (int)sizeof(LONG) <= (int)w->extra.size()) {
          LONG v = (LONG)value;
          std::memcpy(w->extra.data() + index, &v, sizeof v);
          SetLastError(0);
          return old;
        }
        SetLastError(1413);
        return 0;
    }
  }
  STYLESTRUCT ss{(DWORD)old, (DWORD)value};
  WPARAM which = (WPARAM)(LONG_PTR)index;
  CallProc(hwnd, WM_STYLECHANGING, which, (LPARAM)&ss);
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return 0;
    if (index == GWL_STYLE) {
      // visibility changes through ShowWindow only, not through the style value
      w->style = (ss.styleNew & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
    } else {
      w->exStyle = ss.styleNew;
      w->topmost = (w->exStyle & WS_EX_TOPMOST) != 0;
    }
  }
  CallProc(hwnd, WM_STYLECHANGED, which, (LPARAM)&ss);
  SetLastError(0);
  return old;
}

LONG WINAPI GetWindowLongA(HWND hwnd, int index) { return (LONG)GetWindowLongPtrA(hwnd, index); }
LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) { return (LONG)SetWindowLongPtrA(hwnd, index, value); }

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!proc) return 0;
  return proc(hwnd, msg, wp, lp);
}

BOOL WINAPI SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w || !name) return FALSE;
  w->props[IS_INTRESOURCE(name) ? "#" + std::to_string((uintptr_t)name) : name] = data;
  return TRUE;
}
HANDLE WINAPI GetPropA(HWND hwnd, LPCSTR name) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w || !name) return nullptr;
  auto it = w->props.find(IS_INTRESOURCE(name) ? "#" + std::to_string((uintptr_t)name) : name);
  return it == w->props.end() ? nullptr : it->second;
}
HANDLE WINAPI RemovePropA(HWND hwnd, LPCSTR name) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w || !name) return nullptr;
  auto it = w->props.find(IS_INTRESOURCE(name) ? "#" + std::to_string((uintptr_t)name) : name);
  if (it == w->props.end()) return nullptr;
  HANDLE h = it->second;
  w->props.erase(it);
  return h;
}

HWND WINAPI GetParent(HWND hwnd) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI SetParent(HWND child, HWND parent) {
  Guard g(Lock());
  Window* w = Win(child);
  Window* p = parent ? Win(parent) : nullptr;
  if (!w || (parent && !p)) return nullptr;
  HWND old = w->parent;
  RemoveFromParent(w);
  if (p) {
    w->parent = parent;
    p->children.insert(p->children.begin(), child);
    w->backbuffer.reset();
  } else {
    w->parent = nullptr;
    TopOrder().insert(TopOrder().begin(), child);
    w->backbuffer = std::make_unique<Surface>();
    w->backbuffer->Allocate(std::max(1, (int)(w->rect.right - w->rect.left)), std::max(1, (int)(w->rect.bottom - w->rect.top)), 32);
  }
  InvalidateWindow(w, nullptr, true, true);
  return old ? old : GetDesktopWindow();
}

HWND WINAPI GetDesktopWindow(void) { return (HWND)(uintptr_t)0x10010; }

HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return nullptr;
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (cmd == GW_OWNER) return w->owner;
  const std::vector<HWND>* sibs = &TopOrder();
  if (w->parent)
    if (Window* p = Win(w->parent)) sibs = &p->children;
  auto it = std::find(sibs->begin(), sibs->end(), hwnd);
  if (it == sibs->end()) return nullptr;
  switch (cmd) {
    case GW_HWNDFIRST: return sibs->front();
    case GW_HWNDLAST: return sibs->back();
    case GW_HWNDNEXT: return it + 1 == sibs->end() ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == sibs->begin() ? nullptr : *(it - 1);
    case GW_ENABLEDPOPUP: return nullptr;
  }
  return nullptr;
}

HWND WINAPI GetTopWindow(HWND hwnd) {
  if (hwnd) return GetWindow(hwnd, GW_CHILD);
  Guard g(Lock());
  return TopOrder().empty() ? nullptr : TopOrder().front();
}

HWND WINAPI GetAncestor(HWND hwnd, UINT flags) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return nullptr;
  switch (flags) {
    case GA_PARENT: return w->parent ? w->parent : GetDesktopWindow();
    case GA_ROOT: return TopOf(w)->hwnd;
    case GA_ROOTOWNER: {
      Window* t = TopOf(w);
      while (t->owner && Win(t->owner)) t = Win(t->owner);
      return t->hwnd;
    }
  }
  return nullptr;
}

HWND WINAPI GetLastActivePopup(HWND hwnd) { return hwnd; }

BOOL WINAPI EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lp) {
  if (!parent) return EnumWindows(proc, lp);
  std::vector<HWND> all;
  {
    Guard g(Lock());
    std::function<void(HWND)> walk = [&](HWND h) {
      Window* w = Win(h);
      if (!w) return;
      for (HWND c : w->children) {
        all.push_back(c);
        walk(c);
      }
    };
    walk(parent);
  }
  for (HWND h : all)
    if (IsWindow(h) && !proc(h, lp)) return FALSE;
  return TRUE;
}

BOOL WINAPI EnumThreadWindows(DWORD tid, WNDENUMPROC proc, LPARAM lp) {
  std::vector<HWND> all;
  {
    Guard g(Lock());
    for (HWND h : TopOrder())
      if (Window* w = Win(h); w && w->threadId == tid) all.push_back(h);
  }
  for (HWND h : all)
    if (!proc(h, lp)) return FALSE;
  return !all.empty();
}

DWORD WINAPI GetWindowThreadProcessId(HWND hwnd, LPDWORD pid) {
  {
    Guard g(Lock());
    if (Window* w = Win(hwnd)) {
      if (pid) *pid = (DWORD)getpid();
      return w->threadId;
    }
  }
  if (!IsLocalHwnd(hwnd) && IsWindow(hwnd)) {
    if (pid) *pid = HwndPid(hwnd);
    long long tid = 0;
    RemoteCall(hwnd, "threadid", {}, &tid);
    return (DWORD)tid;
  }
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return 0;
}

HWND WINAPI FindWindowExA(HWND parent, HWND after, LPCSTR className, LPCSTR title) {
  if (!parent || parent == GetDesktopWindow()) {
    if (!after) return FindWindowA(className, title);
  }
  Guard g(Lock());
  Window* p = Win(parent);
  if (!p) return nullptr;
  bool passed = after == nullptr;
  for (HWND c : p->children) {
    if (!passed) {
      passed = c == after;
      continue;
    }
    Window* w = Win(c);
    if (!w) continue;
    if (className && (IS_INTRESOURCE(className) ? w->cls->atom != (ATOM)(uintptr_t)className
                                                 : strcasecmp(w->cls->name.c_str(), className) != 0))
      continue;
    if (title && strcasecmp(w->text.c_str(), title) != 0) continue;
    return c;
  }
  return nullptr;
}

}  // extern "C"

namespace velno::win {
// Local part of FindWindowA / EnumWindows (station.cpp adds the other processes).
HWND FindLocalTop(LPCSTR className, LPCSTR title) {
  Guard g(Lock());
  for (HWND h : TopOrder()) {
    Window* w = Win(h);
    if (!w || !w->created) continue;
    if (className && (IS_INTRESOURCE(className) ? w->cls->atom != (ATOM)(uintptr_t)className
                                                 : strcasecmp(w->cls->name.c_str(), className) != 0))
      continue;
    if (title && strcasecmp(w->text.c_str(), title) != 0) continue;
    return h;
  }
  return nullptr;
}
}  // namespace velno::win

namespace velno::win {
void ReorderTop(HWND hwnd, HWND after) {
  auto& t = TopOrder();
  t.erase(std::remove(t.begin(), t.end(), hwnd), t.end());
  if (after == HWND_BOTTOM) {
    t.push_back(hwnd);
  } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
    t.insert(t.begin(), hwnd);
  } else {
    auto it = std::find(t.begin(), t.end(), after);
    t.insert(it == t.end() ? t.end() : it + 1, hwnd);
  }
}
}  // namespace velno::win
