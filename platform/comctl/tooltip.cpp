// The tooltip control (tooltips_class32): tools with their rectangles and texts, activation,
// relayed mouse messages that show the tip after the initial delay and hide it on a press or
// when the pointer leaves the tool.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "../user/winsys.h"

namespace velno::win {
namespace {

constexpr UINT_PTR kShowTimer = 1, kHideTimer = 2;

struct Tool {
  UINT flags = 0;
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  RECT rect{};
  std::string text;
  bool callback = false;
  HINSTANCE hinst = nullptr;
  LPARAM lParam = 0;
};

struct Tip {
  std::vector<Tool> tools;
  bool active = true;
  int current = -1;  // tool under the pointer
  bool shown = false;
  UINT initial = 500, autopop = 5000;
  int maxWidth = -1;
  HFONT font = nullptr;
};

std::unordered_map<HWND, Tip>& Tips() {
  static auto* m = new std::unordered_map<HWND, Tip>;
  return *m;
}

int Find(const Tip& t, HWND hwnd, UINT_PTR id) {
  for (size_t i = 0; i < t.tools.size(); ++i)
    if (t.tools[i].hwnd == hwnd && t.tools[i].id == id) return (int)i;
  return -1;
}

std::string TextOf(const TTTOOLINFOA* ti) {
  if (!ti->lpszText || ti->lpszText == LPSTR_TEXTCALLBACKA) return "";
  if (IS_INTRESOURCE(ti->lpszText)) {
    char buf[512];
    LoadStringA(ti->hinst, (UINT)(uintptr_t)ti->lpszText, buf, sizeof buf);
    return buf;
  }
  return ti->lpszText;
}

void Fill(const Tool& t, TTTOOLINFOA* ti) {
  ti->uFlags = t.flags;
  ti->hwnd = t.hwnd;
  ti->uId = t.id;
  ti->rect = t.rect;
  ti->hinst = t.hinst;
  if (ti->cbSize >= TTTOOLINFOA_V2_SIZE) ti->lParam = t.lParam;
  if (ti->lpszText && ti->lpszText != LPSTR_TEXTCALLBACKA && !IS_INTRESOURCE(ti->lpszText)) {
    // the caller's buffer: 80 characters is the documented size for TTM_GETTOOLINFO
    velno::win::CopyN(ti->lpszText, t.text.c_str(), 80);
  }
}

void Hide(HWND h) {
  KillTimer(h, kShowTimer);
  KillTimer(h, kHideTimer);
  bool shown;
  {
    Guard g(Lock());
    Tip& t = Tips()[h];
    shown = t.shown;
    t.shown = false;
  }
  if (shown) ShowWindow(h, SW_HIDE);
}

void Show(HWND h) {
  Tool tool;
  HFONT font;
  {
    Guard g(Lock());
    Tip& t = Tips()[h];
    if (!t.active || t.current < 0 || t.current >= (int)t.tools.size()) return;
    tool = t.tools[t.current];
    font = t.font;
  }
  // without TTS_ALWAYSTIP a tip shows only while its owner's program is active
  if (!(GetWindowLongA(h, GWL_STYLE) & TTS_ALWAYSTIP) && !GetActiveWindow()) return;
  if (tool.text.empty() && !tool.callback) return;
  HDC dc = GetDC(h);
  SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE s;
  GetTextExtentPoint32A(dc, tool.text.c_str(), (int)tool.text.size(), &s);
  ReleaseDC(h, dc);
  POINT p;
  GetCursorPos(&p);
  SetWindowPos(h, HWND_TOPMOST, p.x, p.y + 20, s.cx + 8, s.cy + 4, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  {
    Guard g(Lock());
    Tips()[h].shown = true;
  }
  InvalidateRect(h, nullptr, TRUE);
  HWND parent = GetWindow(h, GW_OWNER);
  if (parent) {
    NMHDR nm{h, tool.id, (UINT)TTN_SHOW};
    SendMessageA(tool.hwnd ? tool.hwnd : parent, WM_NOTIFY, tool.id, (LPARAM)&nm);
  }
  UINT pop;
  {
    Guard g(Lock());
    pop = Tips()[h].autopop;
  }
  SetTimer(h, kHideTimer, pop, nullptr);
}

int ToolAt(const Tip& t, HWND hwnd, POINT client) {
  for (size_t i = 0; i < t.tools.size(); ++i) {
    const Tool& tool = t.tools[i];
    if (tool.flags & TTF_IDISHWND) {
      if ((HWND)tool.id != hwnd) continue;
      return (int)i;
    }
    if (tool.hwnd == hwnd && PtInRect(&tool.rect, client)) return (int)i;
  }
  return -1;
}

}  // namespace

LRESULT CALLBACK TooltipProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCREATE: {
      // a tooltip is always an undecorated, topmost popup
      Guard g(Lock());
      if (Window* w = Win(h)) {
        w->style = (w->style & ~(WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_CHILD)) | WS_POPUP;
        w->exStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
        w->topmost = true;
      }
      Tips()[h] = Tip{};
      return TRUE;
    }
    case WM_NCDESTROY: {
      Guard g(Lock());
      Tips().erase(h);
      return 0;
    }
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_SETFONT: {
      Guard g(Lock());
      Tips()[h].font = (HFONT)wp;
      return 0;
    }
    case WM_GETFONT: {
      Guard g(Lock());
      return (LRESULT)Tips()[h].font;
    }
    case WM_TIMER:
      if (wp == kShowTimer) {
        KillTimer(h, kShowTimer);
        Show(h);
      } else if (wp == kHideTimer) {
        Hide(h);
      }
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT rc;
      GetClientRect(h, &rc);
      FillRect(dc, &rc, GetSysColorBrush(COLOR_INFOBK));
      FrameRect(dc, &rc, GetSysColorBrush(COLOR_INFOTEXT));
      std::string text;
      HFONT font;
      {
        Guard g(Lock());
        Tip& t = Tips()[h];
        if (t.current >= 0 && t.current < (int)t.tools.size()) text = t.tools[t.current].text;
        font = t.font;
      }
      SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
      DrawTextA(dc, text.c_str(), -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      EndPaint(h, &ps);
      return 0;
    }
    case TTM_ACTIVATE: {
      {
        Guard g(Lock());
        Tips()[h].active = wp != 0;
      }
      if (!wp) Hide(h);
      return 0;
    }
    case TTM_ADDTOOLA: {
      auto* ti = reinterpret_cast<TTTOOLINFOA*>(lp);
      if (!ti || ti->cbSize < TTTOOLINFOA_V1_SIZE) return FALSE;
      Tool t;
      t.flags = ti->uFlags;
      t.hwnd = ti->hwnd;
      t.id = ti->uId;
      t.rect = ti->rect;
      t.hinst = ti->hinst;
      t.callback = ti->lpszText == LPSTR_TEXTCALLBACKA;
      t.text = TextOf(ti);
      if (ti->cbSize >= TTTOOLINFOA_V2_SIZE) t.lParam = ti->lParam;
      Guard g(Lock());
      Tip& tip = Tips()[h];
      tip.tools.push_back(t);
      return TRUE;
    }
    case TTM_DELTOOLA: {
      auto* ti = reinterpret_cast<TTTOOLINFOA*>(lp);
      if (!ti) return 0;
      bool wasCurrent = false;
      {
        Guard g(Lock());
        Tip& tip = Tips()[h];
        int i = Find(tip, ti->hwnd, ti->uId);
        if (i < 0) return 0;
        wasCurrent = i == tip.current;
        tip.tools.erase(tip.tools.begin() + i);
        if (wasCurrent) tip.current = -1;
        else if (tip.current > i) --tip.current;
      }
      if (wasCurrent) Hide(h);
      return 0;
    }
    case TTM_UPDATETIPTEXTA: {
      auto* ti = reinterpret_cast<TTTOOLINFOA*>(lp);
      if (!ti) return 0;
      {
        Guard g(Lock());
        Tip& tip = Tips()[h];
        int i = Find(tip, ti->hwnd, ti->uId);
        if (i < 0) return 0;
        tip.tools[i].callback = ti->lpszText == LPSTR_TEXTCALLBACKA;
        tip.tools[i].text = TextOf(ti);
      }
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case TTM_NEWTOOLRECTA: {
      auto* ti = reinterpret_cast<TTTOOLINFOA*>(lp);
      if (!ti) return 0;
      Guard g(Lock());
      Tip& tip = Tips()[h];
      int i = Find(tip, ti->hwnd, ti->uId);
      if (i >= 0) tip.tools[i].rect = ti->rect;
      return 0;
    }
    case TTM_GETTOOLCOUNT: {
      Guard g(Lock());
      return (LRESULT)Tips()[h].tools.size();
    }
    case TTM_GETTOOLINFOA: {
      auto* ti = reinterpret_cast<TTTOOLINFOA*>(lp);
      if (!ti) return FALSE;
      Guard g(Lock());
      Tip& tip = Tips()[h];
      int i = Find(tip, ti->hwnd, ti->uId);
      if (i < 0) return FALSE;
      Fill(tip.tools[i], ti);
      return TRUE;
    }
    case TTM_SETTOOLINFOA: {
      auto* ti = reinterpret_cast<TTTOOLINFOA*>(lp);
      if (!ti) return 0;
      Guard g(Lock());
      Tip& tip = Tips()[h];
      int i = Find(tip, ti->hwnd, ti->uId);
      if (i < 0) return 0;
      tip.tools[i].flags = ti->uFlags;
      tip.tools[i].rect = ti->rect;
      tip.tools[i].callback = ti->lpszText == LPSTR_TEXTCALLBACKA;
      tip.tools[i].text = TextOf(ti);
      return 0;
    }
    case TTM_ENUMTOOLSA: {
      auto* ti = reinterpret_cast<TTTOOLINFOA*>(lp);
      Guard g(Lock());
      Tip& tip = Tips()[h];
      if (!ti || wp >= tip.tools.size()) return FALSE;
      Fill(tip.tools[wp], ti);
      return TRUE;
    }
    case TTM_GETCURRENTTOOLA: {
      auto* ti = reinterpret_cast<TTTOOLINFOA*>(lp);
      Guard g(Lock());
      Tip& tip = Tips()[h];
      if (tip.current < 0 || !tip.shown) return FALSE;
      if (ti) Fill(tip.tools[tip.current], ti);
      return TRUE;
    }
    case TTM_GETTEXTA: {
      auto* ti = reinterpret_cast<TTTOOLINFOA*>(lp);
      if (!ti || !ti->lpszText) return 0;
      Guard g(Lock());
      Tip& tip = Tips()[h];
      int i = Find(tip, ti->hwnd, ti->uId);
      if (i < 0) {
        ti->lpszText[0] = 0;
        return 0;
      }
      velno::win::CopyN(ti->lpszText, tip.tools[i].text.c_str(), wp ? (int)wp : 80);
      return (LRESULT)strlen(ti->lpszText);
    }
    case TTM_SETDELAYTIME: {
      Guard g(Lock());
      Tip& tip = Tips()[h];
      int v = (short)LOWORD(lp);
      if (wp == TTDT_INITIAL) tip.initial = v < 0 ? 500 : v;
      else if (wp == TTDT_AUTOPOP) tip.autopop = v < 0 ? 5000 : v;
      else if (wp == TTDT_AUTOMATIC) {
        tip.initial = v < 0 ? 500 : v;
        tip.autopop = v < 0 ? 5000 : v * 10;
      }
      return 0;
    }
    case TTM_GETDELAYTIME: {
      Guard g(Lock());
      Tip& tip = Tips()[h];
      return wp == TTDT_AUTOPOP ? tip.autopop : tip.initial;
    }
    case TTM_SETMAXTIPWIDTH: {
      Guard g(Lock());
      int old = Tips()[h].maxWidth;
      Tips()[h].maxWidth = (int)lp;
      return old;
    }
    case TTM_GETMAXTIPWIDTH: {
      Guard g(Lock());
      return Tips()[h].maxWidth;
    }
    case TTM_POP: Hide(h); return 0;
    case TTM_POPUP: Show(h); return 0;
    case TTM_UPDATE: InvalidateRect(h, nullptr, TRUE); return 0;
    case TTM_WINDOWFROMPOINT: {
      auto* p = reinterpret_cast<POINT*>(lp);
      return p ? (LRESULT)WindowFromPoint(*p) : 0;
    }
    case TTM_RELAYEVENT: {
      auto* m = reinterpret_cast<MSG*>(lp);
      if (!m) return 0;
      switch (m->message) {
        case WM_MOUSEMOVE: {
          POINT p{(short)LOWORD(m->lParam), (short)HIWORD(m->lParam)};
          int tool, prev;
          UINT delay;
          bool active, shown;
          {
            Guard g(Lock());
            Tip& tip = Tips()[h];
            tool = ToolAt(tip, m->hwnd, p);
            prev = tip.current;
            tip.current = tool;
            delay = tip.initial;
            active = tip.active;
            shown = tip.shown;
          }
          if (tool < 0 || !active) {
            Hide(h);
          } else if (tool != prev || !shown) {
            if (tool != prev) Hide(h);
            SetTimer(h, kShowTimer, delay, nullptr);
          }
          return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MOUSELEAVE: Hide(h); return 0;
      }
      return 0;
    }
  }
  return DefWindowProcA(h, msg, wp, lp);
}

}  // namespace velno::win
