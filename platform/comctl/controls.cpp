// The standard controls: buttons (push, default, check, radio, group box, owner-drawn) and
// static controls; the registration of every system window class.
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "../user/winsys.h"

namespace velno::win {

LRESULT CALLBACK TrackbarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TooltipProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK IpAddressProc(HWND, UINT, WPARAM, LPARAM);

namespace {

struct ButtonState {
  UINT check = BST_UNCHECKED;
  bool pushed = false;   // drawn pressed
  bool tracking = false; // the left button went down on it and is held
  bool focus = false;
  HFONT font = nullptr;
  HANDLE image = nullptr;
};

std::unordered_map<HWND, ButtonState>& Buttons() {
  static auto* m = new std::unordered_map<HWND, ButtonState>;
  return *m;
}

ButtonState Get(HWND h) {
  Guard g(Lock());
  return Buttons()[h];
}
template <class F>
void Update(HWND h, F f) {
  Guard g(Lock());
  f(Buttons()[h]);
}

UINT TypeOf(HWND h) { return (UINT)GetWindowLongA(h, GWL_STYLE) & BS_TYPEMASK; }

void Redraw(HWND h) {
  InvalidateRect(h, nullptr, TRUE);
  UpdateWindow(h);
}

void Notify(HWND h, WORD code) {
  HWND parent = GetParent(h);
  if (parent) SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), code), (LPARAM)h);
}

void PaintButton(HWND h, HDC dc) {
  ButtonState st = Get(h);
  LONG style = GetWindowLongA(h, GWL_STYLE);
  UINT type = style & BS_TYPEMASK;
  RECT rc;
  GetClientRect(h, &rc);
  bool enabled = IsWindowEnabled(h);
  if (type == BS_OWNERDRAW) {
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = (UINT)GetDlgCtrlID(h);
    dis.itemID = 0;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = (st.pushed ? ODS_SELECTED : 0) | (enabled ? 0 : ODS_DISABLED) | (st.focus ? ODS_FOCUS : 0);
    dis.hwndItem = h;
    dis.hDC = dc;
    dis.rcItem = rc;
    HWND parent = GetParent(h);
    if (parent) SendMessageA(parent, WM_DRAWITEM, (WPARAM)dis.CtlID, (LPARAM)&dis);
    return;
  }
  HWND parent = GetParent(h);
  HBRUSH bg = parent ? (HBRUSH)SendMessageA(parent, WM_CTLCOLORBTN, (WPARAM)dc, (LPARAM)h) : nullptr;
  if (!bg) bg = GetSysColorBrush(COLOR_BTNFACE);
  if (st.font) SelectObject(dc, st.font);
  else SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  char text[512];
  GetWindowTextA(h, text, sizeof text);
  bool pushLike = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || (style & BS_PUSHLIKE);
  if (pushLike) {
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    RECT e = rc;
    if (type == BS_DEFPUSHBUTTON) {
      FrameRect(dc, &e, GetSysColorBrush(COLOR_HIGHLIGHT));
      InflateRect(&e, -1, -1);
    }
    bool down = st.pushed || (st.check && (style & BS_PUSHLIKE));
    DrawEdge(dc, &e, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    if (down) OffsetRect(&e, 1, 1);
    DrawTextA(dc, text, -1, &e, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (st.focus) {
      RECT f = rc;
      InflateRect(&f, -4, -4);
      DrawFocusRect(dc, &f);
    }
    return;
  }
  FillRect(dc, &rc, bg);
  if (type == BS_GROUPBOX) {
    SIZE s;
    GetTextExtentPoint32A(dc, text, (int)strlen(text), &s);
    RECT frame{rc.left, rc.top + s.cy / 2, rc.right, rc.bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    RECT tr{rc.left + 8, rc.top, rc.left + 12 + s.cx, rc.top + s.cy};
    FillRect(dc, &tr, bg);
    tr.left += 2;
    DrawTextA(dc, text, -1, &tr, DT_LEFT | DT_TOP | DT_SINGLELINE);
    return;
  }
  // check boxes and radio buttons: a 13-pixel box then the text
  int box = 13;
  RECT b{rc.left, rc.top + (rc.bottom - rc.top - box) / 2, rc.left + box, rc.top + (rc.bottom - rc.top - box) / 2 + box};
  FillRect(dc, &b, GetSysColorBrush(st.pushed ? COLOR_BTNFACE : COLOR_WINDOW));
  FrameRect(dc, &b, GetSysColorBrush(COLOR_BTNSHADOW));
  if (st.check == BST_CHECKED || st.check == BST_INDETERMINATE) {
    RECT m = b;
    InflateRect(&m, -3, -3);
    FillRect(dc, &m, GetSysColorBrush(st.check == BST_CHECKED ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  }
  RECT tr{b.right + 4, rc.top, rc.right, rc.bottom};
  DrawTextA(dc, text, -1, &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

void AutoCheck(HWND h) {
  UINT type = TypeOf(h);
  if (type == BS_AUTOCHECKBOX) {
    SendMessageA(h, BM_SETCHECK, Get(h).check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
  } else if (type == BS_AUTO3STATE) {
    UINT c = Get(h).check;
    SendMessageA(h, BM_SETCHECK, c == BST_UNCHECKED ? BST_CHECKED : c == BST_CHECKED ? BST_INDETERMINATE : BST_UNCHECKED, 0);
  } else if (type == BS_AUTORADIOBUTTON) {
    HWND parent = GetParent(h);
    if (parent) {
      for (HWND s = GetNextDlgGroupItem(parent, h, FALSE); s && s != h; s = GetNextDlgGroupItem(parent, s, FALSE))
        if (TypeOf(s) == BS_AUTORADIOBUTTON) SendMessageA(s, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    SendMessageA(h, BM_SETCHECK, BST_CHECKED, 0);
  }
}

LRESULT CALLBACK ButtonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: Update(h, [](ButtonState& s) { s = ButtonState{}; }); return 0;
    case WM_NCDESTROY: {
      Guard g(Lock());
      Buttons().erase(h);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      PaintButton(h, dc);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: PaintButton(h, (HDC)wp); return 0;
    case WM_SETFONT:
      Update(h, [&](ButtonState& s) { s.font = (HFONT)wp; });
      if (lp) Redraw(h);
      return 0;
    case WM_GETFONT: return (LRESULT)Get(h).font;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcA(h, msg, wp, lp);
      InvalidateRect(h, nullptr, TRUE);
      return r;
    }
    case WM_ENABLE: InvalidateRect(h, nullptr, TRUE); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (TypeOf(h) == BS_GROUPBOX) return 0;
      SetCapture(h);
      Update(h, [](ButtonState& s) {
        s.tracking = true;
        s.pushed = true;
      });
      if (GetFocus() != h) SetFocus(h);
      Redraw(h);
      return 0;
    case WM_MOUSEMOVE: {
      ButtonState st = Get(h);
      if (st.tracking && GetCapture() == h) {
        RECT rc;
        GetClientRect(h, &rc);
        bool inside = PtInRect(&rc, POINT{(short)LOWORD(lp), (short)HIWORD(lp)});
        if (inside != st.pushed) {
          Update(h, [&](ButtonState& s) { s.pushed = inside; });
          Redraw(h);
        }
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      ButtonState st = Get(h);
      if (!st.tracking) return 0;
      RECT rc;
      GetClientRect(h, &rc);
      bool inside = PtInRect(&rc, POINT{(short)LOWORD(lp), (short)HIWORD(lp)});
      Update(h, [](ButtonState& s) {
        s.tracking = false;
        s.pushed = false;
      });
      ReleaseCapture();
      Redraw(h);
      if (inside) {
        AutoCheck(h);
        Notify(h, BN_CLICKED);
      }
      return 0;
    }
    case WM_CAPTURECHANGED: {
      ButtonState st = Get(h);
      if (st.tracking) {
        Update(h, [](ButtonState& s) {
          s.tracking = false;
          s.pushed = false;
        });
        Redraw(h);
      }
      return 0;
    }
    case WM_SETFOCUS:
      Update(h, [](ButtonState& s) { s.focus = true; });
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_KILLFOCUS:
      Update(h, [](ButtonState& s) { s.focus = false; });
      if (Get(h).tracking) ReleaseCapture();
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_KEYDOWN:
      if (wp == VK_SPACE) {
        Update(h, [](ButtonState& s) { s.pushed = true; });
        Redraw(h);
      }
      return 0;
    case WM_KEYUP:
      if (wp == VK_SPACE && Get(h).pushed) {
        Update(h, [](ButtonState& s) { s.pushed = false; });
        Redraw(h);
        AutoCheck(h);
        Notify(h, BN_CLICKED);
      }
      return 0;
    case WM_GETDLGCODE: {
      UINT t = TypeOf(h);
      if (t == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (t == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      if (t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON) return DLGC_RADIOBUTTON;
      if (t == BS_GROUPBOX) return DLGC_STATIC;
      return DLGC_BUTTON;
    }
    case BM_GETCHECK: return Get(h).check;
    case BM_SETCHECK: {
      UINT t = TypeOf(h);
      if (t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON || t == BS_GROUPBOX || t == BS_OWNERDRAW) return 0;
      UINT v = (UINT)wp;
      if (v == BST_INDETERMINATE && t != BS_3STATE && t != BS_AUTO3STATE) v = BST_CHECKED;
      bool changed = Get(h).check != v;
      Update(h, [&](ButtonState& s) { s.check = v; });
      if (changed) InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case BM_GETSTATE: {
      ButtonState st = Get(h);
      return st.check | (st.pushed ? BST_PUSHED : 0) | (st.focus ? BST_FOCUS : 0);
    }
    case BM_SETSTATE: {
      bool v = wp != 0;
      if (Get(h).pushed != v) {
        Update(h, [&](ButtonState& s) { s.pushed = v; });
        Redraw(h);
      }
      return 0;
    }
    case BM_SETSTYLE: {
      LONG style = GetWindowLongA(h, GWL_STYLE);
      SetWindowLongA(h, GWL_STYLE, (style & 0xFFFF0000) | (LONG)(wp & 0xFFFF));
      if (lp) Redraw(h);
      return 0;
    }
    case BM_CLICK:
      SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      SendMessageA(h, WM_LBUTTONUP, 0, 0);
      return 0;
    case BM_SETIMAGE: {
      HANDLE old = Get(h).image;
      Update(h, [&](ButtonState& s) { s.image = (HANDLE)lp; });
      InvalidateRect(h, nullptr, TRUE);
      return (LRESULT)old;
    }
    case BM_GETIMAGE: return (LRESULT)Get(h).image;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

// ---------------------------------------------------------------- static
struct StaticState {
  HFONT font = nullptr;
  HANDLE image = nullptr;
};
std::unordered_map<HWND, StaticState>& Statics() {
  static auto* m = new std::unordered_map<HWND, StaticState>;
  return *m;
}

LRESULT CALLBACK StaticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  LONG style = GetWindowLongA(h, GWL_STYLE);
  UINT type = style & SS_TYPEMASK;
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
      if ((type == SS_ICON || type == SS_BITMAP) && cs && cs->lpszName) {
        // the title names a resource: "#id" from a template, or a name
        const char* n = cs->lpszName;
        LPCSTR res = n[0] == '#' ? MAKEINTRESOURCEA(atoi(n + 1)) : n;
        HANDLE img = type == SS_ICON ? (HANDLE)LoadIconA(cs->hInstance, res) : (HANDLE)LoadBitmapA(cs->hInstance, res);
        Guard g(Lock());
        Statics()[h].image = img;
        return TRUE;
      }
      return DefWindowProcA(h, msg, wp, lp);
    }
    case WM_NCDESTROY: {
      Guard g(Lock());
      Statics().erase(h);
      return 0;
    }
    case WM_NCHITTEST:
      // statics let the mouse through to their parent unless they notify
      if (!(style & SS_NOTIFY)) return HTTRANSPARENT;
      return HTCLIENT;
    case WM_LBUTTONDOWN:
      if (style & SS_NOTIFY) {
        if (HWND p = GetParent(h)) SendMessageA(p, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), STN_CLICKED), (LPARAM)h);
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      if (style & SS_NOTIFY) {
        if (HWND p = GetParent(h)) SendMessageA(p, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), STN_DBLCLK), (LPARAM)h);
      }
      return 0;
    case WM_SETFONT: {
      {
        Guard g(Lock());
        Statics()[h].font = (HFONT)wp;
      }
      if (lp) InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case WM_GETFONT: {
      Guard g(Lock());
      return (LRESULT)Statics()[h].font;
    }
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcA(h, msg, wp, lp);
      InvalidateRect(h, nullptr, TRUE);
      return r;
    }
    case STM_SETICON:
    case STM_SETIMAGE: {
      HANDLE old;
      {
        Guard g(Lock());
        old = Statics()[h].image;
        Statics()[h].image = msg == STM_SETICON ? (HANDLE)wp : (HANDLE)lp;
      }
      InvalidateRect(h, nullptr, TRUE);
      return (LRESULT)old;
    }
    case STM_GETICON:
    case STM_GETIMAGE: {
      Guard g(Lock());
      return (LRESULT)Statics()[h].image;
    }
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT rc;
      GetClientRect(h, &rc);
      StaticState st;
      {
        Guard g(Lock());
        st = Statics()[h];
      }
      HWND parent = GetParent(h);
      HBRUSH bg = parent ? (HBRUSH)SendMessageA(parent, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)h) : nullptr;
      if (!bg) bg = GetSysColorBrush(COLOR_BTNFACE);
      switch (type) {
        case SS_BLACKRECT: FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOWFRAME)); break;
        case SS_GRAYRECT: FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNSHADOW)); break;
        case SS_WHITERECT: FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW)); break;
        case SS_BLACKFRAME: FrameRect(dc, &rc, GetSysColorBrush(COLOR_WINDOWFRAME)); break;
        case SS_GRAYFRAME: FrameRect(dc, &rc, GetSysColorBrush(COLOR_BTNSHADOW)); break;
        case SS_WHITEFRAME: FrameRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW)); break;
        case SS_ETCHEDHORZ:
        case SS_ETCHEDVERT:
        case SS_ETCHEDFRAME: DrawEdge(dc, &rc, EDGE_ETCHED, BF_RECT); break;
        case SS_ICON:
          FillRect(dc, &rc, bg);
          if (st.image) DrawIconEx(dc, 0, 0, (HICON)st.image, 0, 0, 0, nullptr, DI_NORMAL);
          break;
        case SS_BITMAP: {
          FillRect(dc, &rc, bg);
          if (st.image) {
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, st.image);
            BITMAP bm{};
            GetObjectA(st.image, sizeof bm, &bm);
            BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
          }
          break;
        }
        case SS_OWNERDRAW: {
          DRAWITEMSTRUCT dis{ODT_STATIC, (UINT)GetDlgCtrlID(h), 0, ODA_DRAWENTIRE, IsWindowEnabled(h) ? 0u : (UINT)ODS_DISABLED, h, dc, rc, 0};
          if (parent) SendMessageA(parent, WM_DRAWITEM, dis.CtlID, (LPARAM)&dis);
          break;
        }
        default: {
          FillRect(dc, &rc, bg);
          SelectObject(dc, st.font ? (HGDIOBJ)st.font : GetStockObject(DEFAULT_GUI_FONT));
          if (!IsWindowEnabled(h)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
          SetBkMode(dc, TRANSPARENT);
          char text[1024];
          GetWindowTextA(h, text, sizeof text);
          UINT fmt = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
          if (type == SS_CENTER) fmt |= DT_CENTER | DT_WORDBREAK;
          else if (type == SS_RIGHT) fmt |= DT_RIGHT | DT_WORDBREAK;
          else if (type == SS_LEFT) fmt |= DT_LEFT | DT_WORDBREAK;
          else fmt |= DT_LEFT | DT_SINGLELINE;
          if (style & SS_CENTERIMAGE) fmt |= DT_VCENTER | DT_SINGLELINE;
          DrawTextA(dc, text, -1, &rc, fmt);
        }
      }
      if (style & SS_SUNKEN) DrawEdge(dc, &rc, BDR_SUNKENOUTER, BF_RECT);
      EndPaint(h, &ps);
      return 0;
    }
  }
  return DefWindowProcA(h, msg, wp, lp);
}

void AddSystemClass(const char* name, WNDPROC proc, UINT style, HBRUSH bg, int extra) {
  SystemClassScope scope;
  WNDCLASSEXA wc{sizeof wc};
  wc.style = style | CS_GLOBALCLASS;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = extra;
  wc.hbrBackground = bg;
  wc.lpszClassName = name;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  RegisterClassExA(&wc);
}

}  // namespace

void RegisterSystemClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  AddSystemClass("Button", ButtonProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, nullptr, 0);
  AddSystemClass("Static", StaticProc, CS_DBLCLKS | CS_PARENTDC, nullptr, 0);
  AddSystemClass("Edit", EditProc, CS_DBLCLKS | CS_PARENTDC, nullptr, 0);
  AddSystemClass("ComboBox", ComboProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, nullptr, 0);
  AddSystemClass("#32770", DialogWndProc, CS_DBLCLKS | CS_SAVEBITS, nullptr, DLGWINDOWEXTRA);
  RegisterCommonControls();
}

void RegisterCommonControls() {
  static bool done = false;
  if (done) return;
  done = true;
  AddSystemClass(TRACKBAR_CLASSA, TrackbarProc, 0, nullptr, 0);
  AddSystemClass(TOOLTIPS_CLASSA, TooltipProc, CS_DBLCLKS | CS_SAVEBITS, nullptr, 0);
  AddSystemClass(WC_IPADDRESSA, IpAddressProc, CS_DBLCLKS, nullptr, 0);
}

}  // namespace velno::win

using namespace velno::win;

extern "C" {

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  RegisterSystemClasses();
  return TRUE;
}

void WINAPI InitCommonControls(void) { RegisterSystemClasses(); }

}  // extern "C"
