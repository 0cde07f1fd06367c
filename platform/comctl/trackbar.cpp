// The trackbar (msctls_trackbar32): range, position, page and line sizes, thumb geometry,
// dragging the thumb and paging with auto-repeat on a press beside it, keyboard and wheel, with
// the WM_HSCROLL / WM_VSCROLL notifications Windows sends: TB_THUMBTRACK while dragging, then
// TB_THUMBPOSITION and TB_ENDTRACK at release; TB_PAGEUP / TB_PAGEDOWN for each page step,
// then TB_ENDTRACK at release; NM_RELEASEDCAPTURE when the capture is let go.
#include <algorithm>
#include <unordered_map>

#include "../user/winsys.h"

namespace velno::win {
namespace {

constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kFirstRepeat = 400, kNextRepeat = 100;

struct Track {
  LONG min = 0, max = 100, pos = 0;
  LONG page = 20, line = 1;
  bool pageSet = false;
  int thumbLen = 20;
  bool dragging = false;
  int grab = 0;      // pointer offset from the thumb centre when the drag began
  int paging = 0;    // -1 page up, +1 page down, while the button is held beside the thumb
  POINT last{0, 0};  // last pointer position (client)
  HFONT font = nullptr;
};

std::unordered_map<HWND, Track>& Tracks() {
  static auto* m = new std::unordered_map<HWND, Track>;
  return *m;
}

Track Get(HWND h) {
  Guard g(Lock());
  return Tracks()[h];
}
template <class F>
void Update(HWND h, F f) {
  Guard g(Lock());
  f(Tracks()[h]);
}

bool Vertical(HWND h) { return (GetWindowLongA(h, GWL_STYLE) & TBS_VERT) != 0; }

const int kThumbWidth = 11;  // along the channel

RECT Channel(HWND h) {
  RECT rc;
  GetClientRect(h, &rc);
  int inset = kThumbWidth / 2 + 3;
  bool v = Vertical(h);
  int len = v ? rc.bottom : rc.right;
  int across = v ? rc.right : rc.bottom;
  int a = inset, b = std::max(inset + 1, len - inset);
  int mid = across / 2;
  return v ? RECT{mid - 2, a, mid + 2, b} : RECT{a, mid - 2, b, mid + 2};
}

RECT ThumbRect(HWND h, const Track& t) {
  RECT rc;
  GetClientRect(h, &rc);
  RECT ch = Channel(h);
  bool v = Vertical(h);
  LONG range = std::max<LONG>(1, t.max - t.min);
  int across = v ? rc.right : rc.bottom;
  int tl = std::min(across, t.thumbLen);
  int t0 = std::max(0, (across - tl) / 2);
  if (v) {
    int y = ch.top + (int)((int64_t)(ch.bottom - ch.top) * (t.pos - t.min) / range) - kThumbWidth / 2;
    return RECT{t0, y, t0 + tl, y + kThumbWidth};
  }
  int x = ch.left + (int)((int64_t)(ch.right - ch.left) * (t.pos - t.min) / range) - kThumbWidth / 2;
  return RECT{x, t0, x + kThumbWidth, t0 + tl};
}

LONG PosFromPoint(HWND h, const Track& t, POINT p) {
  RECT ch = Channel(h);
  bool v = Vertical(h);
  int a = v ? ch.top : ch.left, len = v ? ch.bottom - ch.top : ch.right - ch.left;
  int coord = (v ? p.y : p.x) - t.grab - a;
  LONG range = t.max - t.min;
  LONG pos = t.min + (LONG)(((int64_t)coord * range + (coord >= 0 ? len / 2 : -len / 2)) / std::max(1, len));
  return std::clamp(pos, std::min(t.min, t.max), std::max(t.min, t.max));
}

void NotifyScroll(HWND h, WORD code, LONG pos) {
  HWND parent = GetParent(h);
  if (!parent) return;
  WORD hi = (code == TB_THUMBTRACK || code == TB_THUMBPOSITION) ? (WORD)pos : 0;
  SendMessageA(parent, Vertical(h) ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, hi), (LPARAM)h);
}

void NotifyReleased(HWND h) {
  HWND parent = GetParent(h);
  if (!parent) return;
  NMHDR nm{h, (UINT_PTR)GetDlgCtrlID(h), (UINT)NM_RELEASEDCAPTURE};
  SendMessageA(parent, WM_NOTIFY, nm.idFrom, (LPARAM)&nm);
}

void SetPos(HWND h, LONG pos, bool redraw) {
  Update(h, [&](Track& t) { t.pos = std::clamp(pos, std::min(t.min, t.max), std::max(t.min, t.max)); });
  if (redraw) InvalidateRect(h, nullptr, TRUE);
}

// One page step toward the pointer; stops once the thumb has reached it.
void PageStep(HWND h) {
  Track t = Get(h);
  if (!t.paging) return;
  RECT th = ThumbRect(h, t);
  bool v = Vertical(h);
  int p = v ? t.last.y : t.last.x;
  int lo = v ? th.top : th.left, hi = v ? th.bottom : th.right;
  if (t.paging < 0 && p >= lo) return;
  if (t.paging > 0 && p < hi) return;
  LONG np = t.pos + (t.paging < 0 ? -t.page : t.page);
  SetPos(h, np, true);
  NotifyScroll(h, t.paging < 0 ? TB_PAGEUP : TB_PAGEDOWN, Get(h).pos);
}

void Paint(HWND h, HDC dc) {
  Track t = Get(h);
  RECT rc;
  GetClientRect(h, &rc);
  HWND parent = GetParent(h);
  HBRUSH bg = parent ? (HBRUSH)SendMessageA(parent, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)h) : nullptr;
  if (!bg) bg = GetSysColorBrush(COLOR_BTNFACE);
  FillRect(dc, &rc, bg);
  RECT ch = Channel(h);
  DrawEdge(dc, &ch, EDGE_SUNKEN, BF_RECT);
  RECT th = ThumbRect(h, t);
  FillRect(dc, &th, GetSysColorBrush(t.dragging ? COLOR_3DLIGHT : COLOR_BTNFACE));
  DrawEdge(dc, &th, EDGE_RAISED, BF_RECT);
}

}  // namespace

LRESULT CALLBACK TrackbarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: Update(h, [](Track& t) { t = Track{}; }); return 0;
    case WM_NCDESTROY: {
      Guard g(Lock());
      Tracks().erase(h);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      Paint(h, dc);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: Paint(h, (HDC)wp); return 0;
    case WM_STYLECHANGED:
    case WM_SIZE: InvalidateRect(h, nullptr, TRUE); return 0;
    case WM_SETFONT: Update(h, [&](Track& t) { t.font = (HFONT)wp; }); return 0;
    case WM_GETFONT: return (LRESULT)Get(h).font;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(h, nullptr, TRUE); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT p{(short)LOWORD(lp), (short)HIWORD(lp)};
      if (GetFocus() != h) SetFocus(h);
      SetCapture(h);
      Track t = Get(h);
      RECT th = ThumbRect(h, t);
      if (PtInRect(&th, p)) {
        bool v = Vertical(h);
        int centre = v ? (th.top + th.bottom) / 2 : (th.left + th.right) / 2;
        Update(h, [&](Track& s) {
          s.dragging = true;
          s.grab = (v ? p.y : p.x) - centre;
          s.last = p;
        });
        InvalidateRect(h, nullptr, TRUE);
      } else {
        bool v = Vertical(h);
        int c = v ? p.y : p.x;
        int lo = v ? th.top : th.left;
        Update(h, [&](Track& s) {
          s.paging = c < lo ? -1 : 1;
          s.last = p;
        });
        PageStep(h);
        SetTimer(h, kRepeatTimer, kFirstRepeat, nullptr);
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      POINT p{(short)LOWORD(lp), (short)HIWORD(lp)};
      Track t = Get(h);
      Update(h, [&](Track& s) { s.last = p; });
      if (t.dragging && GetCapture() == h) {
        LONG np = PosFromPoint(h, t, p);
        if (np != t.pos) {
          SetPos(h, np, true);
          NotifyScroll(h, TB_THUMBTRACK, np);
        }
      }
      return 0;
    }
    case WM_TIMER:
      if (wp == kRepeatTimer) {
        if (!Get(h).paging) {
          KillTimer(h, kRepeatTimer);
          return 0;
        }
        PageStep(h);
        SetTimer(h, kRepeatTimer, kNextRepeat, nullptr);
      }
      return 0;
    case WM_LBUTTONUP: {
      Track t = Get(h);
      if (t.dragging) {
        Update(h, [](Track& s) { s.dragging = false; });
        NotifyScroll(h, TB_THUMBPOSITION, t.pos);
        NotifyScroll(h, TB_ENDTRACK, 0);
        InvalidateRect(h, nullptr, TRUE);
      } else if (t.paging) {
        Update(h, [](Track& s) { s.paging = 0; });
        KillTimer(h, kRepeatTimer);
        NotifyScroll(h, TB_ENDTRACK, 0);
      }
      if (GetCapture() == h) {
        ReleaseCapture();
        NotifyReleased(h);
      }
      return 0;
    }
    case WM_CAPTURECHANGED: {
      Track t = Get(h);
      if ((t.dragging || t.paging) && (HWND)lp != h) {
        // the capture went elsewhere: the drag or paging ends where it is
        Update(h, [](Track& s) {
          s.dragging = false;
          s.paging = 0;
        });
        KillTimer(h, kRepeatTimer);
        InvalidateRect(h, nullptr, TRUE);
      }
      return 0;
    }
    case WM_MOUSEWHEEL: {
      int delta = (short)HIWORD(wp);
      int steps = delta / WHEEL_DELTA;
      if (!steps) return 0;
      Track t = Get(h);
      SetPos(h, t.pos - steps * t.line, true);
      NotifyScroll(h, steps > 0 ? TB_LINEUP : TB_LINEDOWN, 0);
      NotifyScroll(h, TB_ENDTRACK, 0);
      return 0;
    }
    case WM_KEYDOWN: {
      Track t = Get(h);
      WORD code;
      LONG np;
      switch (wp) {
        case VK_LEFT:
        case VK_UP: code = TB_LINEUP; np = t.pos - t.line; break;
        case VK_RIGHT:
        case VK_DOWN: code = TB_LINEDOWN; np = t.pos + t.line; break;
        case VK_PRIOR: code = TB_PAGEUP; np = t.pos - t.page; break;
        case VK_NEXT: code = TB_PAGEDOWN; np = t.pos + t.page; break;
        case VK_HOME: code = TB_TOP; np = t.min; break;
        case VK_END: code = TB_BOTTOM; np = t.max; break;
        default: return 0;
      }
      SetPos(h, np, true);
      NotifyScroll(h, code, 0);
      return 0;
    }
    case WM_KEYUP:
      switch (wp) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END: NotifyScroll(h, TB_ENDTRACK, 0); break;
      }
      return 0;
    case TBM_GETPOS: return Get(h).pos;
    case TBM_SETPOS: SetPos(h, (LONG)lp, wp != 0); return 0;
    case TBM_SETPOSNOTIFY:
      SetPos(h, (LONG)lp, true);
      NotifyScroll(h, TB_THUMBPOSITION, Get(h).pos);
      return 0;
    case TBM_GETRANGEMIN: return Get(h).min;
    case TBM_GETRANGEMAX: return Get(h).max;
    case TBM_SETRANGE:
    case TBM_SETRANGEMIN:
    case TBM_SETRANGEMAX: {
      Update(h, [&](Track& t) {
        if (msg == TBM_SETRANGE) {
          t.min = (short)LOWORD(lp);
          t.max = (short)HIWORD(lp);
        } else if (msg == TBM_SETRANGEMIN) {
          t.min = (LONG)lp;
        } else {
          t.max = (LONG)lp;
        }
        if (!t.pageSet) t.page = std::max<LONG>(1, (t.max - t.min) / 5);
        t.pos = std::clamp(t.pos, std::min(t.min, t.max), std::max(t.min, t.max));
      });
      if (wp) InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case TBM_SETPAGESIZE: {
      LONG old = Get(h).page;
      Update(h, [&](Track& t) {
        t.page = (LONG)lp;
        t.pageSet = true;
      });
      return old;
    }
    case TBM_GETPAGESIZE: return Get(h).page;
    case TBM_SETLINESIZE: {
      LONG old = Get(h).line;
      Update(h, [&](Track& t) { t.line = (LONG)lp; });
      return old;
    }
    case TBM_GETLINESIZE: return Get(h).line;
    case TBM_GETTHUMBRECT:
      if (lp) *reinterpret_cast<RECT*>(lp) = ThumbRect(h, Get(h));
      return 0;
    case TBM_GETCHANNELRECT:
      if (lp) *reinterpret_cast<RECT*>(lp) = Channel(h);
      return 0;
    case TBM_SETTHUMBLENGTH:
      Update(h, [&](Track& t) { t.thumbLen = std::max(1, (int)wp); });
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case TBM_GETTHUMBLENGTH: return Get(h).thumbLen;
    case TBM_SETTICFREQ:
    case TBM_SETTIC:
    case TBM_CLEARTICS:
    case TBM_SETSEL:
    case TBM_SETSELSTART:
    case TBM_SETSELEND:
    case TBM_CLEARSEL: return 0;
    case TBM_GETNUMTICS: return 2;
    case TBM_SETBUDDY:
    case TBM_GETBUDDY:
    case TBM_SETTOOLTIPS:
    case TBM_GETTOOLTIPS: return 0;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

}  // namespace velno::win
