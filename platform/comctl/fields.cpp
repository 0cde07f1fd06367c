// Text fields: the edit control (single line: text, selection, read-only, limit, typing),
// the combo box (its list, selection and edit text) and the IP address control. Enough for
// the dialogs that hold them; the drop-down list's own window is not drawn yet.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "../user/winsys.h"

namespace velno::win {
namespace {

void NotifyParent(HWND h, WORD code) {
  if (HWND p = GetParent(h)) SendMessageA(p, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), code), (LPARAM)h);
}

void PaintField(HWND h, HDC dc, const std::string& text, HFONT font, bool arrow, UINT fmt) {
  RECT rc;
  GetClientRect(h, &rc);
  HWND parent = GetParent(h);
  bool enabled = IsWindowEnabled(h);
  bool ro = (GetWindowLongA(h, GWL_STYLE) & ES_READONLY) != 0;
  UINT cc = ro || !enabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
  HBRUSH bg = parent ? (HBRUSH)SendMessageA(parent, cc, (WPARAM)dc, (LPARAM)h) : nullptr;
  if (!bg) bg = GetSysColorBrush(ro ? COLOR_BTNFACE : COLOR_WINDOW);
  FillRect(dc, &rc, bg);
  if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  RECT tr = rc;
  InflateRect(&tr, -2, 0);
  if (arrow) {
    tr.right -= 17;
    RECT ar{rc.right - 17, rc.top, rc.right, rc.bottom};
    FillRect(dc, &ar, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &ar, EDGE_RAISED, BF_RECT);
    POINT tri[3] = {{ar.left + 5, (ar.top + ar.bottom) / 2 - 2}, {ar.right - 5, (ar.top + ar.bottom) / 2 - 2},
                    {(ar.left + ar.right) / 2, (ar.top + ar.bottom) / 2 + 2}};
    HBRUSH black = (HBRUSH)GetStockObject(BLACK_BRUSH);
    HGDIOBJ ob = SelectObject(dc, black);
    Polygon(dc, tri, 3);
    SelectObject(dc, ob);
  }
  DrawTextA(dc, text.c_str(), -1, &tr, fmt | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) return;
  DrawEdge(dc, &rc, EDGE_SUNKEN, BF_RECT);
}

// ---------------------------------------------------------------- edit
struct EditState {
  HFONT font = nullptr;
  int selStart = 0, selEnd = 0;
  int limit = 30000;
  bool modified = false;
};
std::unordered_map<HWND, EditState>& Edits() {
  static auto* m = new std::unordered_map<HWND, EditState>;
  return *m;
}

std::string TextOf(HWND h) {
  char buf[4096];
  GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

}  // namespace

LRESULT CALLBACK EditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCDESTROY: {
      Guard g(Lock());
      Edits().erase(h);
      return 0;
    }
    case WM_SETFONT: {
      Guard g(Lock());
      Edits()[h].font = (HFONT)wp;
      return 0;
    }
    case WM_GETFONT: {
      Guard g(Lock());
      return (LRESULT)Edits()[h].font;
    }
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcA(h, msg, wp, lp);
      {
        Guard g(Lock());
        Edits()[h].modified = false;
        Edits()[h].selStart = Edits()[h].selEnd = 0;
      }
      InvalidateRect(h, nullptr, TRUE);
      NotifyParent(h, EN_CHANGE);
      return r;
    }
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: SetFocus(h); return 0;
    case WM_SETFOCUS: NotifyParent(h, EN_SETFOCUS); return 0;
    case WM_KILLFOCUS: NotifyParent(h, EN_KILLFOCUS); return 0;
    case WM_CHAR: {
      LONG style = GetWindowLongA(h, GWL_STYLE);
      if (style & ES_READONLY) return 0;
      std::string t = TextOf(h);
      int limit;
      {
        Guard g(Lock());
        limit = Edits()[h].limit;
      }
      char c = (char)wp;
      if (c == '\b') {
        if (!t.empty()) t.pop_back();
      } else if ((unsigned char)c >= 32) {
        if ((style & ES_NUMBER) && (c < '0' || c > '9')) return 0;
        if ((int)t.size() >= limit) {
          NotifyParent(h, EN_MAXTEXT);
          return 0;
        }
        if (style & ES_UPPERCASE) c = (char)toupper((unsigned char)c);
        if (style & ES_LOWERCASE) c = (char)tolower((unsigned char)c);
        t += c;
      } else {
        return 0;
      }
      DefWindowProcA(h, WM_SETTEXT, 0, (LPARAM)t.c_str());
      {
        Guard g(Lock());
        Edits()[h].modified = true;
        Edits()[h].selStart = Edits()[h].selEnd = (int)t.size();
      }
      InvalidateRect(h, nullptr, TRUE);
      NotifyParent(h, EN_UPDATE);
      NotifyParent(h, EN_CHANGE);
      return 0;
    }
    case EM_SETREADONLY: {
      LONG s = GetWindowLongA(h, GWL_STYLE);
      SetWindowLongA(h, GWL_STYLE, wp ? (s | ES_READONLY) : (s & ~ES_READONLY));
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case EM_LIMITTEXT: {
      Guard g(Lock());
      Edits()[h].limit = wp ? (int)wp : 0x7FFFFFFE;
      return 0;
    }
    case EM_GETMODIFY: {
      Guard g(Lock());
      return Edits()[h].modified;
    }
    case EM_SETMODIFY: {
      Guard g(Lock());
      Edits()[h].modified = wp != 0;
      return 0;
    }
    case EM_SETSEL: {
      int len = GetWindowTextLengthA(h);
      int a = (int)(INT_PTR)wp, b = (int)lp;
      if (a < 0) a = b = 0;
      if (b < 0 || b > len) b = len;
      a = std::min(a, len);
      Guard g(Lock());
      Edits()[h].selStart = std::min(a, b);
      Edits()[h].selEnd = std::max(a, b);
      return 0;
    }
    case EM_GETSEL: {
      Guard g(Lock());
      EditState& e = Edits()[h];
      if (wp) *reinterpret_cast<DWORD*>(wp) = (DWORD)e.selStart;
      if (lp) *reinterpret_cast<DWORD*>(lp) = (DWORD)e.selEnd;
      return MAKELRESULT(e.selStart, e.selEnd);
    }
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      LONG style = GetWindowLongA(h, GWL_STYLE);
      std::string t = TextOf(h);
      if (style & ES_PASSWORD) t.assign(t.size(), '*');
      HFONT f;
      {
        Guard g(Lock());
        f = Edits()[h].font;
      }
      PaintField(h, dc, t, f, false, (style & ES_CENTER) ? DT_CENTER : (style & ES_RIGHT) ? DT_RIGHT : DT_LEFT);
      EndPaint(h, &ps);
      return 0;
    }
  }
  return DefWindowProcA(h, msg, wp, lp);
}

namespace {
struct ComboItem {
  std::string text;
  LPARAM data = 0;
};
struct ComboState {
  std::vector<ComboItem> items;
  int sel = -1;
  bool dropped = false;
  HFONT font = nullptr;
};
std::unordered_map<HWND, ComboState>& Combos() {
  static auto* m = new std::unordered_map<HWND, ComboState>;
  return *m;
}
int FindPrefix(const ComboState& c, int start, const char* s, bool exact) {
  if (!s) return CB_ERR;
  size_t n = c.items.size();
  for (size_t k = 0; k < n; ++k) {
    size_t i = (size_t)(start + 1 + (int)k) % n;
    const std::string& t = c.items[i].text;
    if (exact ? strcasecmp(t.c_str(), s) == 0 : strncasecmp(t.c_str(), s, strlen(s)) == 0) return (int)i;
  }
  return CB_ERR;
}
}  // namespace

LRESULT CALLBACK ComboProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCDESTROY: {
      Guard g(Lock());
      Combos().erase(h);
      return 0;
    }
    case WM_SETFONT: {
      Guard g(Lock());
      Combos()[h].font = (HFONT)wp;
      return 0;
    }
    case WM_GETFONT: {
      Guard g(Lock());
      return (LRESULT)Combos()[h].font;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN: SetFocus(h); return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcA(h, msg, wp, lp);
      InvalidateRect(h, nullptr, TRUE);
      return r;
    }
    case WM_KEYDOWN: {
      int sel, count;
      {
        Guard g(Lock());
        sel = Combos()[h].sel;
        count = (int)Combos()[h].items.size();
      }
      int ns = wp == VK_DOWN ? std::min(count - 1, sel + 1) : wp == VK_UP ? std::max(0, sel - 1) : sel;
      if (ns != sel && count) {
        SendMessageA(h, CB_SETCURSEL, ns, 0);
        NotifyParent(h, CBN_SELCHANGE);
      }
      return 0;
    }
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
      const char* s = reinterpret_cast<const char*>(lp);
      Guard g(Lock());
      ComboState& c = Combos()[h];
      int at = (int)c.items.size();
      if (msg == CB_INSERTSTRING && (int)wp >= 0 && (int)wp <= at) at = (int)wp;
      if (msg == CB_ADDSTRING && (GetWindowLongA(h, GWL_STYLE) & CBS_SORT)) {
        at = 0;
        while (at < (int)c.items.size() && strcasecmp(c.items[at].text.c_str(), s ? s : "") <= 0) ++at;
      }
      c.items.insert(c.items.begin() + at, ComboItem{s ? s : "", 0});
      if (c.sel >= at) ++c.sel;
      return at;
    }
    case CB_DELETESTRING: {
      Guard g(Lock());
      ComboState& c = Combos()[h];
      if ((int)wp < 0 || wp >= c.items.size()) return CB_ERR;
      c.items.erase(c.items.begin() + (ptrdiff_t)wp);
      if (c.sel == (int)wp) c.sel = -1;
      else if (c.sel > (int)wp) --c.sel;
      return (LRESULT)c.items.size();
    }
    case CB_RESETCONTENT: {
      {
        Guard g(Lock());
        Combos()[h].items.clear();
        Combos()[h].sel = -1;
      }
      DefWindowProcA(h, WM_SETTEXT, 0, (LPARAM)"");
      InvalidateRect(h, nullptr, TRUE);
      return CB_OKAY;
    }
    case CB_GETCOUNT: {
      Guard g(Lock());
      return (LRESULT)Combos()[h].items.size();
    }
    case CB_GETCURSEL: {
      Guard g(Lock());
      return Combos()[h].sel;
    }
    case CB_SETCURSEL: {
      std::string text;
      int r;
      {
        Guard g(Lock());
        ComboState& c = Combos()[h];
        if ((int)wp < 0 || wp >= c.items.size()) {
          c.sel = -1;
          r = CB_ERR;
        } else {
          c.sel = (int)wp;
          text = c.items[wp].text;
          r = (int)wp;
        }
      }
      DefWindowProcA(h, WM_SETTEXT, 0, (LPARAM)text.c_str());
      InvalidateRect(h, nullptr, TRUE);
      return r;
    }
    case CB_GETLBTEXT: {
      Guard g(Lock());
      ComboState& c = Combos()[h];
      if ((int)wp < 0 || wp >= c.items.size() || !lp) return CB_ERR;
      strcpy(reinterpret_cast<char*>(lp), c.items[wp].text.c_str());
      return (LRESULT)c.items[wp].text.size();
    }
    case CB_GETLBTEXTLEN: {
      Guard g(Lock());
      ComboState& c = Combos()[h];
      if ((int)wp < 0 || wp >= c.items.size()) return CB_ERR;
      return (LRESULT)c.items[wp].text.size();
    }
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT: {
      Guard g(Lock());
      ComboState& c = Combos()[h];
      if (c.items.empty()) return CB_ERR;
      return FindPrefix(c, (int)(INT_PTR)wp, reinterpret_cast<const char*>(lp), msg == CB_FINDSTRINGEXACT);
    }
    case CB_SELECTSTRING: {
      int i;
      {
        Guard g(Lock());
        ComboState& c = Combos()[h];
        i = c.items.empty() ? CB_ERR : FindPrefix(c, (int)(INT_PTR)wp, reinterpret_cast<const char*>(lp), false);
      }
      if (i != CB_ERR) SendMessageA(h, CB_SETCURSEL, i, 0);
      return i;
    }
    case CB_GETITEMDATA: {
      Guard g(Lock());
      ComboState& c = Combos()[h];
      if ((int)wp < 0 || wp >= c.items.size()) return CB_ERR;
      return c.items[wp].data;
    }
    case CB_SETITEMDATA: {
      Guard g(Lock());
      ComboState& c = Combos()[h];
      if ((int)wp < 0 || wp >= c.items.size()) return CB_ERR;
      c.items[wp].data = lp;
      return CB_OKAY;
    }
    case CB_SHOWDROPDOWN: {
      bool was;
      {
        Guard g(Lock());
        was = Combos()[h].dropped;
        Combos()[h].dropped = wp != 0;
      }
      if (was != (wp != 0)) NotifyParent(h, wp ? CBN_DROPDOWN : CBN_CLOSEUP);
      return TRUE;
    }
    case CB_GETDROPPEDSTATE: {
      Guard g(Lock());
      return Combos()[h].dropped;
    }
    case CB_LIMITTEXT:
    case CB_SETEDITSEL:
    case CB_SETITEMHEIGHT: return TRUE;
    case CB_GETEDITSEL: return 0;
    case CB_GETITEMHEIGHT: return 15;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      HFONT f;
      {
        Guard g(Lock());
        f = Combos()[h].font;
      }
      PaintField(h, dc, TextOf(h), f, true, DT_LEFT);
      EndPaint(h, &ps);
      return 0;
    }
  }
  return DefWindowProcA(h, msg, wp, lp);
}

namespace {
struct IpState {
  DWORD address = 0;
  bool blank = true;
  HFONT font = nullptr;
};
std::unordered_map<HWND, IpState>& Ips() {
  static auto* m = new std::unordered_map<HWND, IpState>;
  return *m;
}
}  // namespace

LRESULT CALLBACK IpAddressProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCDESTROY: {
      Guard g(Lock());
      Ips().erase(h);
      return 0;
    }
    case WM_SETFONT: {
      Guard g(Lock());
      Ips()[h].font = (HFONT)wp;
      return 0;
    }
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: SetFocus(h); return 0;
    case IPM_SETADDRESS: {
      {
        Guard g(Lock());
        Ips()[h].address = (DWORD)lp;
        Ips()[h].blank = false;
      }
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case IPM_GETADDRESS: {
      Guard g(Lock());
      IpState& s = Ips()[h];
      if (lp) *reinterpret_cast<DWORD*>(lp) = s.blank ? 0 : s.address;
      return s.blank ? 0 : 4;
    }
    case IPM_CLEARADDRESS: {
      {
        Guard g(Lock());
        Ips()[h].address = 0;
        Ips()[h].blank = true;
      }
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case IPM_ISBLANK: {
      Guard g(Lock());
      return Ips()[h].blank;
    }
    case IPM_SETRANGE: return TRUE;
    case IPM_SETFOCUS: SetFocus(h); return 0;
    case WM_SETTEXT: {
      unsigned a, b, c, d;
      const char* s = reinterpret_cast<const char*>(lp);
      if (s && sscanf(s, "%u.%u.%u.%u", &a, &b, &c, &d) == 4 && a < 256 && b < 256 && c < 256 && d < 256) {
        SendMessageA(h, IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
        return TRUE;
      }
      SendMessageA(h, IPM_CLEARADDRESS, 0, 0);
      return TRUE;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      IpState s;
      {
        Guard g(Lock());
        s = Ips()[h];
      }
      char buf[32] = "";
      if (!s.blank)
        snprintf(buf, sizeof buf, "%u.%u.%u.%u", (unsigned)FIRST_IPADDRESS(s.address), (unsigned)SECOND_IPADDRESS(s.address),
                 (unsigned)THIRD_IPADDRESS(s.address), (unsigned)FOURTH_IPADDRESS(s.address));
      if (msg == WM_GETTEXTLENGTH) return (LRESULT)strlen(buf);
      if (!lp || !wp) return 0;
      velno::win::CopyN(reinterpret_cast<char*>(lp), buf, (int)wp);
      return (LRESULT)strlen(reinterpret_cast<char*>(lp));
    }
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      char buf[32];
      SendMessageA(h, WM_GETTEXT, sizeof buf, (LPARAM)buf);
      IpState s;
      {
        Guard g(Lock());
        s = Ips()[h];
      }
      PaintField(h, dc, s.blank ? "   .   .   .   " : buf, s.font, false, DT_CENTER);
      EndPaint(h, &ps);
      return 0;
    }
  }
  return DefWindowProcA(h, msg, wp, lp);
}

}  // namespace velno::win
