// The default window procedure, the non-client area (frame, caption, hit-testing), the
// window move loop, system metrics and colours, and user32's text helpers.
#include <velno/machine.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "winsys.h"

namespace velno::win {
namespace {

int ScreenW() {
  const auto& p = velno::sim::Profile();
  return p.contains("display") ? p["display"].value("width", 1920) : 1920;
}
int ScreenH() {
  const auto& p = velno::sim::Profile();
  return p.contains("display") ? p["display"].value("height", 1080) : 1080;
}

HBRUSH g_sysBrushes[32];

// Moves the window with the pointer until the left button is released (full-window drag).
void MoveLoop(HWND hwnd) {
  HWND top = GetAncestor(hwnd, GA_ROOT);
  if (!(GetAsyncKeyState(VK_LBUTTON) & 0x8000)) {
    // the button went up before the loop began: nothing queued means nothing to drag
    MSG m;
    if (!PeekMessageA(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) return;
  }
  POINT start;
  GetCursorPos(&start);
  RECT wr;
  GetWindowRect(top, &wr);
  SetCapture(top);
  CallProc(top, WM_ENTERSIZEMOVE, 0, 0);
  for (;;) {
    MSG m;
    if (!GetMessageA(&m, nullptr, 0, 0)) {
      PostQuitMessage((int)m.wParam);
      break;
    }
    if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) {
      int dx = m.pt.x - start.x, dy = m.pt.y - start.y;
      RECT moving{wr.left + dx, wr.top + dy, wr.right + dx, wr.bottom + dy};
      CallProc(top, WM_MOVING, 0, (LPARAM)&moving);
      SetWindowPos(top, nullptr, moving.left, moving.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      continue;
    }
    if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) {
      int dx = m.pt.x - start.x, dy = m.pt.y - start.y;
      SetWindowPos(top, nullptr, wr.left + dx, wr.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) continue;
    if (m.message == WM_CAPTURECHANGED) break;
    TranslateMessage(&m);
    DispatchMessageA(&m);
    if (GetCapture() != top) break;
  }
  if (GetCapture() == top) ReleaseCapture();
  CallProc(top, WM_EXITSIZEMOVE, 0, 0);
}

void PaintNonClient(HWND hwnd) {
  DWORD style;
  RECT wr, ca;
  std::string title;
  bool active;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return;
    style = w->style;
    ca = ClientArea(w);
    wr = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    title = w->text;
    active = w->queue && w->queue->active == TopOf(w)->hwnd;
    if (ca.left == 0 && ca.top == 0 && ca.right == wr.right && ca.bottom == wr.bottom) return;
  }
  HDC dc = GetWindowDC(hwnd);
  HBRUSH frame = GetSysColorBrush(active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER);
  RECT parts[4] = {{0, 0, wr.right, ca.top}, {0, ca.bottom, wr.right, wr.bottom}, {0, ca.top, ca.left, ca.bottom},
                   {ca.right, ca.top, wr.right, ca.bottom}};
  for (const RECT& r : parts) FillRect(dc, &r, frame);
  HBRUSH edge = GetSysColorBrush(COLOR_WINDOWFRAME);
  FrameRect(dc, &wr, edge);
  if ((style & WS_CAPTION) == WS_CAPTION) {
    RECT cap{ca.left, ca.left, wr.right - ca.left, ca.top - 1};
    FillRect(dc, &cap, GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
    RECT tr = cap;
    tr.left += 6;
    DrawTextA(dc, title.c_str(), -1, &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  ReleaseDC(hwnd, dc);
}

LRESULT HitTest(HWND hwnd, POINT screen) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w) return HTNOWHERE;
  POINT o = WindowOriginScreen(w);
  int x = screen.x - o.x, y = screen.y - o.y;
  if (x < 0 || y < 0 || x >= w->rect.right - w->rect.left || y >= w->rect.bottom - w->rect.top) return HTNOWHERE;
  if (w->shape && !w->shape->Contains(x, y)) return HTNOWHERE;
  RECT ca = ClientArea(w);
  if (x >= ca.left && x < ca.right && y >= ca.top && y < ca.bottom) return HTCLIENT;
  if ((w->style & WS_CAPTION) == WS_CAPTION && y >= ca.left && y < ca.top && x >= ca.left && x < ca.right - ca.left)
    return HTCAPTION;
  return HTBORDER;
}

}  // namespace
}  // namespace velno::win

using namespace velno::win;

extern "C" {

HBRUSH WINAPI GetSysColorBrush(int index) {
  if (index < 0 || index >= 32) return nullptr;
  Guard g(Lock());
  if (!g_sysBrushes[index]) {
    auto b = std::make_unique<BrushObject>();
    b->sysColor = index;
    b->color = SysColor(index);
    b->stock = true;
    g_sysBrushes[index] = (HBRUSH)InsertGdi(std::move(b));
  }
  return g_sysBrushes[index];
}

DWORD WINAPI GetSysColor(int index) { return SysColor(index); }

int WINAPI GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CXFULLSCREEN: return ScreenW();
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN: return ScreenH();
    case SM_CYFULLSCREEN: return ScreenH() - 40 - 23;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 17;
    case SM_CYCAPTION: return 23;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYMENU: return 20;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXMIN: return 136;
    case SM_CYMIN: return 39;
    case SM_CXSIZE:
    case SM_CYSIZE: return 22;
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 17;
    case SM_MOUSEPRESENT:
    case SM_CMONITORS: return 1;
  }
  return 0;
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT param, PVOID pv, UINT winIni) {
  if (action == SPI_GETWORKAREA && pv) {
    *static_cast<RECT*>(pv) = RECT{0, 0, ScreenW(), ScreenH() - 40};
    return TRUE;
  }
  return FALSE;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName) && (unsigned char)cs->lpszName[0] != 0xFF) {
        Guard g(Lock());
        if (Window* w = Win(hwnd)) w->text = cs->lpszName;
      }
      return TRUE;
    }
    case WM_SETTEXT: {
      Guard g(Lock());
      Window* w = Win(hwnd);
      if (!w) return FALSE;
      w->text = lp ? reinterpret_cast<const char*>(lp) : "";
      if (IsTop(w)) {
        w->ncPaint = true;
        InvalidateWindow(w, nullptr, false, false);
        if (ThePresenter()) ThePresenter()->WindowTitled(w);
        StationPublish();
      }
      return TRUE;
    }
    case WM_GETTEXT: {
      Guard g(Lock());
      Window* w = Win(hwnd);
      char* buf = reinterpret_cast<char*>(lp);
      if (!w || !buf || wp == 0) return 0;
      size_t n = std::min(w->text.size(), (size_t)wp - 1);
      std::memcpy(buf, w->text.data(), n);
      buf[n] = 0;
      return (LRESULT)n;
    }
    case WM_GETTEXTLENGTH: {
      Guard g(Lock());
      Window* w = Win(hwnd);
      return w ? (LRESULT)w->text.size() : 0;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCPAINT: PaintNonClient(hwnd); return 0;
    case WM_NCACTIVATE: {
      Guard g(Lock());
      if (Window* w = Win(hwnd)) {
        w->ncPaint = true;
        if (w->queue) w->queue->Wake();
        w->internalPaint = true;
      }
      return TRUE;
    }
    case WM_ERASEBKGND: {
      HBRUSH b;
      {
        Guard g(Lock());
        Window* w = Win(hwnd);
        if (!w) return 0;
        b = w->cls->background;
      }
      if (!b) return 0;
      if ((uintptr_t)b <= 32) b = GetSysColorBrush((int)(uintptr_t)b - 1);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect((HDC)wp, &rc, b);
      return 1;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
      SetTextColor((HDC)wp, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor((HDC)wp, GetSysColor(COLOR_BTNFACE));
      return (LRESULT)GetSysColorBrush(COLOR_BTNFACE);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      SetTextColor((HDC)wp, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor((HDC)wp, GetSysColor(COLOR_WINDOW));
      return (LRESULT)GetSysColorBrush(COLOR_WINDOW);
    case WM_NCHITTEST: return HitTest(hwnd, POINT{(short)LOWORD(lp), (short)HIWORD(lp)});
    case WM_NCLBUTTONDOWN:
      if (wp == HTCAPTION) SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOVE + HTCAPTION, lp);
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wp == HTCAPTION) SendMessageA(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lp);
      return 0;
    case WM_SYSCOMMAND:
      switch (wp & 0xFFF0) {
        case SC_MOVE: MoveLoop(hwnd); return 0;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); return 0;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_SHOWMAXIMIZED); return 0;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); return 0;
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); return 0;
      }
      return 0;
    case WM_SYSKEYDOWN:
      if (wp == VK_F4) SendMessageA(GetAncestor(hwnd, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_MOUSEACTIVATE: {
      HWND parent = (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
      if (parent) {
        LRESULT r = SendMessageA(parent, WM_MOUSEACTIVATE, wp, lp);
        if (r) return r;
      }
      return MA_ACTIVATE;
    }
    case WM_SETCURSOR:
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU: {
      HWND parent = (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
      if (parent) return SendMessageA(parent, msg, msg == WM_SETCURSOR ? (WPARAM)hwnd : wp, lp);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && !IsIconic(hwnd)) SetFocus(hwnd);
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
      RECT rc;
      GetClientRect(hwnd, &rc);
      POINT o{0, 0};
      ClientToScreen(hwnd, &o);
      HWND parent = (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
      if (parent) ScreenToClient(parent, &o);
      if (!pos || !(pos->flags & SWP_NOMOVE)) SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM((short)o.x, (short)o.y));
      if (!pos || !(pos->flags & SWP_NOSIZE))
        SendMessageA(hwnd, WM_SIZE, IsIconic(hwnd) ? SIZE_MINIMIZED : IsZoomed(hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED,
                     MAKELPARAM(rc.right, rc.bottom));
      return 0;
    }
    case WM_CANCELMODE:
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_SETICON: {
      Guard g(Lock());
      Window* w = Win(hwnd);
      if (!w) return 0;
      HICON& slot = wp == ICON_BIG ? w->iconBig : w->iconSmall;
      HICON old = slot;
      slot = (HICON)lp;
      return (LRESULT)old;
    }
    case WM_GETICON: {
      Guard g(Lock());
      Window* w = Win(hwnd);
      if (!w) return 0;
      return (LRESULT)(wp == ICON_BIG ? w->iconBig : w->iconSmall);
    }
    case WM_QUERYDRAGICON: {
      Guard g(Lock());
      Window* w = Win(hwnd);
      return w ? (LRESULT)w->cls->icon : 0;
    }
    case WM_SETREDRAW: {
      Guard g(Lock());
      if (Window* w = Win(hwnd)) w->redraw = wp != 0;
      return 0;
    }
    case WM_QUERYENDSESSION:
    case WM_QUERYOPEN:
    case WM_DEVICECHANGE: return TRUE;
    case WM_SHOWWINDOW:
    case WM_ICONERASEBKGND:
    case WM_GETDLGCODE:
    case WM_GETFONT: return 0;
  }
  return 0;
}

int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) {
  if (!buffer || !format) return 0;
  // wsprintf writes at most 1024 characters
  int n = vsnprintf(buffer, 1025, format, args);
  return std::min(n, 1024);
}

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list ap;
  va_start(ap, format);
  int n = wvsprintfA(buffer, format, ap);
  va_end(ap);
  return n;
}

LPSTR WINAPI CharUpperA(LPSTR text) {
  if (IS_INTRESOURCE(text)) return (LPSTR)(uintptr_t)toupper((int)(uintptr_t)text);
  for (char* p = text; *p; ++p) *p = (char)toupper((unsigned char)*p);
  return text;
}

LPSTR WINAPI CharLowerA(LPSTR text) {
  if (IS_INTRESOURCE(text)) return (LPSTR)(uintptr_t)tolower((int)(uintptr_t)text);
  for (char* p = text; *p; ++p) *p = (char)tolower((unsigned char)*p);
  return text;
}

LPSTR WINAPI CharNextA(LPCSTR text) { return (LPSTR)(text && *text ? text + 1 : text); }

BOOL WINAPI MessageBeep(UINT type) { return TRUE; }

BOOL WINAPI DrawEdge(HDC hdc, LPRECT r, UINT edge, UINT flags) {
  if (!r) return FALSE;
  COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), sh = GetSysColor(COLOR_BTNSHADOW),
           dk = GetSysColor(COLOR_3DDKSHADOW), lt = GetSysColor(COLOR_3DLIGHT);
  auto line = [&](int l, int t, int rr, int b, COLORREF c) {
    HBRUSH br = CreateSolidBrush(c);
    RECT x{l, t, rr, b};
    FillRect(hdc, &x, br);
    DeleteObject(br);
  };
  RECT q = *r;
  auto ring = [&](COLORREF tl, COLORREF brc) {
    if (flags & BF_TOP) line(q.left, q.top, q.right, q.top + 1, tl);
    if (flags & BF_LEFT) line(q.left, q.top, q.left + 1, q.bottom, tl);
    if (flags & BF_BOTTOM) line(q.left, q.bottom - 1, q.right, q.bottom, brc);
    if (flags & BF_RIGHT) line(q.right - 1, q.top, q.right, q.bottom, brc);
    InflateRect(&q, -1, -1);
  };
  if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) ring(edge & BDR_RAISEDOUTER ? lt : sh, edge & BDR_RAISEDOUTER ? dk : hi);
  if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) ring(edge & BDR_RAISEDINNER ? hi : dk, edge & BDR_RAISEDINNER ? sh : lt);
  if (flags & BF_ADJUST) *r = q;
  return TRUE;
}

}  // extern "C"
