// Dialog boxes from templates (DLGTEMPLATE and DLGTEMPLATEEX): creation of the dialog and its
// controls in dialog units of the template font, the dialog window class (#32770) and its
// default procedure, modal loops, keyboard navigation and the GetDlgItem family.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "winsys.h"

namespace velno::win {
namespace {

struct DialogInfo {
  HFONT font = nullptr;
  bool ownFont = false;
  int baseX = 4, baseY = 8;  // average character width and height of the font, in pixels
  bool ended = false;
  INT_PTR result = 0;
  bool modal = false;
  WORD defId = IDOK;
  HWND lastFocus = nullptr;
};

std::unordered_map<uintptr_t, DialogInfo>& Dialogs() {
  static auto* d = new std::unordered_map<uintptr_t, DialogInfo>;
  return *d;
}

struct Reader {
  const uint8_t* p;
  const uint8_t* base;
  WORD Word() {
    WORD v;
    std::memcpy(&v, p, 2);
    p += 2;
    return v;
  }
  DWORD Dword() {
    DWORD v;
    std::memcpy(&v, p, 4);
    p += 4;
    return v;
  }
  short Short() { return (short)Word(); }
  // a null-terminated UTF-16 string, narrowed to ANSI
  std::string Str() {
    std::string s;
    for (;;) {
      WORD c = Word();
      if (!c) break;
      s += c < 256 ? (char)c : '?';
    }
    return s;
  }
  // sz_Or_Ord: 0 = none, 0xFFFF + ordinal, or a string
  std::string StrOrOrd(WORD* ord) {
    WORD first;
    std::memcpy(&first, p, 2);
    *ord = 0;
    if (first == 0) {
      p += 2;
      return "";
    }
    if (first == 0xFFFF) {
      p += 2;
      *ord = Word();
      return "";
    }
    return Str();
  }
  void AlignDword() {
    uintptr_t off = (uintptr_t)(p - base);
    p += (4 - (off & 3)) & 3;
  }
};

struct ItemTemplate {
  DWORD style, exStyle, helpId;
  short x, y, cx, cy;
  DWORD id;
  std::string cls, title;
  WORD titleOrd = 0;
  std::vector<uint8_t> extra;
};

struct DialogTemplate {
  bool ex = false;
  DWORD style, exStyle;
  short x, y, cx, cy;
  std::string menu, cls, title;
  WORD fontSize = 0, weight = FW_NORMAL;
  BYTE italic = 0, charset = DEFAULT_CHARSET;
  std::string face;
  std::vector<ItemTemplate> items;
};

const char* OrdinalClass(WORD ord) {
  switch (ord) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
  }
  return "Static";
}

bool Parse(const void* data, DialogTemplate* t) {
  Reader r{static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data)};
  WORD ver, sig;
  std::memcpy(&ver, r.p, 2);
  std::memcpy(&sig, r.p + 2, 2);
  WORD count;
  t->ex = ver == 1 && sig == 0xFFFF;
  if (t->ex) {
    r.p += 4;
    r.Dword();  // help id
    t->exStyle = r.Dword();
    t->style = r.Dword();
  } else {
    t->style = r.Dword();
    t->exStyle = r.Dword();
  }
  count = r.Word();
  t->x = r.Short();
  t->y = r.Short();
  t->cx = r.Short();
  t->cy = r.Short();
  WORD ord;
  t->menu = r.StrOrOrd(&ord);
  t->cls = r.StrOrOrd(&ord);
  if (ord) t->cls = "#" + std::to_string(ord);
  t->title = r.Str();
  if (t->style & (DS_SETFONT | DS_FIXEDSYS)) {
    t->fontSize = r.Word();
    if (t->ex) {
      t->weight = r.Word();
      t->italic = *r.p++;
      t->charset = *r.p++;
    }
    t->face = r.Str();
  }
  for (WORD i = 0; i < count; ++i) {
    r.AlignDword();
    ItemTemplate it{};
    if (t->ex) {
      it.helpId = r.Dword();
      it.exStyle = r.Dword();
      it.style = r.Dword();
    } else {
      it.style = r.Dword();
      it.exStyle = r.Dword();
    }
    it.x = r.Short();
    it.y = r.Short();
    it.cx = r.Short();
    it.cy = r.Short();
    it.id = t->ex ? r.Dword() : r.Word();
    WORD cord;
    it.cls = r.StrOrOrd(&cord);
    if (cord) it.cls = OrdinalClass(cord);
    it.title = r.StrOrOrd(&it.titleOrd);
    WORD extra = r.Word();
    if (extra) {
      it.extra.assign(r.p, r.p + extra);
      r.p += extra;
    }
    t->items.push_back(it);
  }
  return true;
}

void BaseUnitsOf(HFONT font, int* bx, int* by) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(SYSTEM_FONT));
  SIZE s;
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  GetTextExtentPoint32A(dc, alphabet, 52, &s);
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  *bx = (s.cx / 26 + 1) / 2;
  *by = tm.tmHeight;
  if (*bx <= 0) *bx = 4;
  if (*by <= 0) *by = 8;
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
}

DialogInfo* Info(HWND dlg) {
  auto it = Dialogs().find((uintptr_t)dlg);
  return it == Dialogs().end() ? nullptr : &it->second;
}

bool IsTabStop(HWND h) {
  LONG s = GetWindowLongA(h, GWL_STYLE);
  return (s & WS_TABSTOP) && (s & WS_VISIBLE) && !(s & WS_DISABLED);
}

HWND FirstTabStop(HWND dlg) {
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (IsTabStop(c)) return c;
  return nullptr;
}

HWND DefaultButton(HWND dlg) {
  DialogInfo* di;
  {
    Guard g(Lock());
    di = Info(dlg);
  }
  WORD id = di ? di->defId : IDOK;
  return GetDlgItem(dlg, id);
}

}  // namespace

LRESULT CALLBACK DialogWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefDlgProcA(hwnd, msg, wp, lp); }

void ModalLoop(HWND dialog, const bool* done) {
  bool shown = false;
  while (IsWindow(dialog) && !*done) {
    MSG m;
    if (!shown && !PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) {
      // the dialog is shown once the queue first goes idle, as Windows does
      shown = true;
      if (!IsWindowVisible(dialog)) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        UpdateWindow(dialog);
      }
    }
    if (!GetMessageA(&m, nullptr, 0, 0)) {
      PostQuitMessage((int)m.wParam);
      break;
    }
    if (!IsDialogMessageA(dialog, &m)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
}

}  // namespace velno::win

using namespace velno::win;

namespace {

HWND CreateFromTemplate(HINSTANCE instance, const void* data, HWND owner, DLGPROC proc, LPARAM init, bool modal) {
  DialogTemplate t;
  if (!data || !Parse(data, &t)) return nullptr;
  RegisterSystemClasses();
  HFONT font = nullptr;
  bool own = false;
  if (t.style & (DS_SETFONT | DS_FIXEDSYS)) {
    int height = t.fontSize == 0x7FFF ? -11 : -MulDiv(t.fontSize, 96, 72);
    font = CreateFontA(height, 0, 0, 0, t.weight ? t.weight : FW_NORMAL, t.italic, 0, 0, t.charset, 0, 0, 0, 0,
                       (t.style & DS_FIXEDSYS) && t.face.empty() ? "MS Shell Dlg" : t.face.c_str());
    own = true;
  }
  int bx, by;
  BaseUnitsOf(font, &bx, &by);
  auto px = [&](int v) { return MulDiv(v, bx, 4); };
  auto py = [&](int v) { return MulDiv(v, by, 8); };
  DWORD style = t.style;
  RECT rc{0, 0, px(t.cx), py(t.cy)};
  AdjustWindowRectEx(&rc, style, !t.menu.empty(), t.exStyle);
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  int x = px(t.x), y = py(t.y);
  if (style & DS_CENTER) {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner) GetWindowRect(GetAncestor(owner, GA_ROOT), &area);
    x = area.left + ((area.right - area.left) - w) / 2;
    y = area.top + ((area.bottom - area.top) - h) / 2;
  } else if (owner && !(style & DS_ABSALIGN) && !(style & WS_CHILD)) {
    POINT o{0, 0};
    ClientToScreen(owner, &o);
    x += o.x;
    y += o.y;
  }
  const char* cls = t.cls.empty() ? "#32770" : t.cls.c_str();
  if (!t.cls.empty() && t.cls[0] == '#') cls = IS_INTRESOURCE((LPCSTR)(uintptr_t)atoi(t.cls.c_str() + 1)) ? "#32770" : cls;
  HWND dlg = CreateWindowExA(t.exStyle | WS_EX_CONTROLPARENT, cls, t.title.c_str(), style & ~WS_VISIBLE, x, y, w, h, owner,
                             nullptr, instance, nullptr);
  if (!dlg) {
    if (own) DeleteObject(font);
    return nullptr;
  }
  {
    Guard g(Lock());
    DialogInfo& di = Dialogs()[(uintptr_t)dlg];
    di.font = font;
    di.ownFont = own;
    di.baseX = bx;
    di.baseY = by;
    di.modal = modal;
    if (Window* win = Win(dlg)) win->isDialog = true;
  }
  SetWindowLongPtrA(dlg, DWLP_DLGPROC, (LONG_PTR)proc);
  if (font) SendMessageA(dlg, WM_SETFONT, (WPARAM)font, FALSE);
  for (const ItemTemplate& it : t.items) {
    std::string title = it.titleOrd ? "#" + std::to_string(it.titleOrd) : it.title;
    HWND c = CreateWindowExA(it.exStyle | WS_EX_NOPARENTNOTIFY, it.cls.c_str(), title.c_str(), it.style | WS_CHILD,
                             px(it.x), py(it.y), px(it.cx), py(it.cy), dlg, (HMENU)(uintptr_t)(WORD)it.id, instance,
                             it.extra.empty() ? nullptr : (void*)it.extra.data());
    if (!c) {
      if (!(style & DS_NOFAILCREATE)) {
        DestroyWindow(dlg);
        return nullptr;
      }
      continue;
    }
    if (font) SendMessageA(c, WM_SETFONT, (WPARAM)font, FALSE);
    if ((it.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && strcasecmp(it.cls.c_str(), "Button") == 0) {
      Guard g(Lock());
      if (DialogInfo* di = Info(dlg)) di->defId = (WORD)it.id;
    }
  }
  HWND first = FirstTabStop(dlg);
  if (!IsWindow(dlg)) return nullptr;
  if (SendMessageA(dlg, WM_INITDIALOG, (WPARAM)first, init) && IsWindow(dlg)) {
    if (first) SetFocus(first);
  }
  if (!IsWindow(dlg)) return nullptr;
  if (style & WS_VISIBLE) {
    ShowWindow(dlg, SW_SHOWNORMAL);
    UpdateWindow(dlg);
  }
  return IsWindow(dlg) ? dlg : nullptr;
}

INT_PTR RunModal(HINSTANCE instance, const void* data, HWND owner, DLGPROC proc, LPARAM init) {
  HWND ownerTop = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  bool reenable = ownerTop && IsWindowEnabled(ownerTop);
  HWND dlg = CreateFromTemplate(instance, data, ownerTop, proc, init, true);
  if (!dlg) return -1;
  if (reenable) EnableWindow(ownerTop, FALSE);
  bool* done;
  {
    Guard g(Lock());
    done = &Info(dlg)->ended;  // stays valid while the dialog window exists
  }
  ModalLoop(dlg, done);
  INT_PTR result = 0;
  {
    Guard g(Lock());
    if (DialogInfo* di = Info(dlg)) result = di->result;
  }
  if (reenable) EnableWindow(ownerTop, TRUE);
  if (ownerTop && GetActiveWindow() == dlg) SetActiveWindow(ownerTop);
  if (IsWindow(dlg)) DestroyWindow(dlg);
  return result;
}

}  // namespace

extern "C" {

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA tmpl, HWND parent, DLGPROC proc,
                                       LPARAM init) {
  return CreateFromTemplate(instance, tmpl, parent, proc, init, false);
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM init) {
  const Resource* r = FindRes(instance, name, RT_DIALOG);
  if (!r) {
    SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
    return nullptr;
  }
  return CreateFromTemplate(instance, r->data, parent, proc, init, false);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA tmpl, HWND parent, DLGPROC proc,
                                       LPARAM init) {
  return RunModal(instance, tmpl, parent, proc, init);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM init) {
  const Resource* r = FindRes(instance, name, RT_DIALOG);
  if (!r) {
    SetLastError(1814);
    return -1;
  }
  return RunModal(instance, r->data, parent, proc, init);
}

BOOL WINAPI EndDialog(HWND dlg, INT_PTR result) {
  {
    Guard g(Lock());
    DialogInfo* di = Info(dlg);
    if (!di) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    di->ended = true;
    di->result = result;
  }
  ShowWindow(dlg, SW_HIDE);
  PostMessageA(dlg, WM_NULL, 0, 0);  // wakes the modal loop
  return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  DLGPROC proc = (DLGPROC)GetWindowLongPtrA(hwnd, DWLP_DLGPROC);
  if (proc) {
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 0);
    INT_PTR r = proc(hwnd, msg, wp, lp);
    if (!IsWindow(hwnd)) return r;
    if (r) {
      switch (msg) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG: return r;
      }
      return GetWindowLongPtrA(hwnd, DWLP_MSGRESULT);
    }
  }
  switch (msg) {
    case WM_INITDIALOG: return 0;
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(hwnd, IDCANCEL);
      if (!cancel || IsWindowEnabled(cancel)) PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)cancel);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH b = (HBRUSH)SendMessageA(hwnd, WM_CTLCOLORDLG, wp, (LPARAM)hwnd);
      if (!b) b = GetSysColorBrush(COLOR_BTNFACE);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect((HDC)wp, &rc, b);
      return 1;
    }
    case WM_SETFONT: {
      Guard g(Lock());
      if (DialogInfo* di = Info(hwnd)) {
        if (di->font != (HFONT)wp && di->ownFont) {
          // a font given by the application replaces the template font; ours is released
          if (di->font) DeleteObject(di->font);
          di->ownFont = false;
        }
        di->font = (HFONT)wp;
      }
      return 0;
    }
    case WM_GETFONT: {
      Guard g(Lock());
      DialogInfo* di = Info(hwnd);
      return di ? (LRESULT)di->font : 0;
    }
    case DM_GETDEFID: {
      Guard g(Lock());
      DialogInfo* di = Info(hwnd);
      return di ? MAKELRESULT(di->defId, DC_HASDEFID) : 0;
    }
    case DM_SETDEFID: {
      Guard g(Lock());
      if (DialogInfo* di = Info(hwnd)) di->defId = (WORD)wp;
      return TRUE;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) {
        HWND target;
        {
          Guard g(Lock());
          DialogInfo* di = Info(hwnd);
          target = di && di->lastFocus && IsChild(hwnd, di->lastFocus) ? di->lastFocus : nullptr;
        }
        if (!target) target = FirstTabStop(hwnd);
        if (target) SetFocus(target);
      } else {
        Guard g(Lock());
        HWND f = GetFocus();
        if (DialogInfo* di = Info(hwnd); di && f && IsChild(hwnd, f)) di->lastFocus = f;
      }
      return 0;
    case WM_NCDESTROY: {
      DefWindowProcA(hwnd, msg, wp, lp);
      Guard g(Lock());
      if (DialogInfo* di = Info(hwnd)) {
        if (di->ownFont && di->font) DeleteObject(di->font);
        Dialogs().erase((uintptr_t)hwnd);
      }
      return 0;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL: return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

BOOL WINAPI IsDialogMessageA(HWND dlg, LPMSG msg) {
  if (!dlg || !msg || !msg->hwnd) return FALSE;
  if (msg->hwnd != dlg && !IsChild(dlg, msg->hwnd)) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    LRESULT code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, (LPARAM)msg);
    switch (msg->wParam) {
      case VK_TAB:
        if (!(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) {
          HWND next = GetNextDlgTabItem(dlg, GetFocus(), (GetKeyState(VK_SHIFT) & 0x8000) != 0);
          if (next) SetFocus(next);
          return TRUE;
        }
        break;
      case VK_RETURN:
        if (!(code & DLGC_WANTALLKEYS)) {
          HWND focus = GetFocus();
          LONG fs = focus ? GetWindowLongA(focus, GWL_STYLE) : 0;
          int id;
          if (focus && IsChild(dlg, focus) && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            id = GetDlgCtrlID(focus);
          else {
            HWND def = DefaultButton(dlg);
            id = def ? GetDlgCtrlID(def) : IDOK;
            if (def && !IsWindowEnabled(def)) return TRUE;
          }
          (void)fs;
          SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id));
          return TRUE;
        }
        break;
      case VK_ESCAPE:
        if (!(code & DLGC_WANTALLKEYS)) {
          HWND cancel = GetDlgItem(dlg, IDCANCEL);
          SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)cancel);
          return TRUE;
        }
        break;
    }
  }
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return TRUE;
}

HWND WINAPI GetDlgItem(HWND dlg, int id) {
  Guard g(Lock());
  Window* w = Win(dlg);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND c : w->children)
    if (Window* cw = Win(c); cw && (int)(WORD)cw->id == (int)(WORD)id) return c;
  SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
  return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) { return (int)GetWindowLongPtrA(hwnd, GWLP_ID); }

BOOL WINAPI SetDlgItemTextA(HWND dlg, int id, LPCSTR text) {
  HWND c = GetDlgItem(dlg, id);
  return c && SetWindowTextA(c, text);
}

UINT WINAPI GetDlgItemTextA(HWND dlg, int id, LPSTR text, int max) {
  HWND c = GetDlgItem(dlg, id);
  if (!c) {
    if (text && max > 0) text[0] = 0;
    return 0;
  }
  return (UINT)GetWindowTextA(c, text, max);
}

BOOL WINAPI SetDlgItemInt(HWND dlg, int id, UINT value, BOOL isSigned) {
  char buf[32];
  if (isSigned)
    snprintf(buf, sizeof buf, "%d", (int)value);
  else
    snprintf(buf, sizeof buf, "%u", value);
  return SetDlgItemTextA(dlg, id, buf);
}

UINT WINAPI GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL isSigned) {
  char buf[64];
  if (translated) *translated = FALSE;
  if (!GetDlgItemTextA(dlg, id, buf, sizeof buf)) return 0;
  char* end;
  long long v = isSigned ? strtoll(buf, &end, 10) : (long long)strtoull(buf, &end, 10);
  while (*end == ' ') ++end;
  if (*end || end == buf) return 0;
  if (translated) *translated = TRUE;
  return (UINT)v;
}

BOOL WINAPI CheckDlgButton(HWND dlg, int id, UINT check) {
  HWND c = GetDlgItem(dlg, id);
  if (!c) return FALSE;
  SendMessageA(c, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dlg, int id) {
  HWND c = GetDlgItem(dlg, id);
  return c ? (UINT)SendMessageA(c, BM_GETCHECK, 0, 0) : 0;
}

BOOL WINAPI CheckRadioButton(HWND dlg, int first, int last, int check) {
  for (int id = first; id <= last; ++id) CheckDlgButton(dlg, id, id == check ? BST_CHECKED : BST_UNCHECKED);
  return TRUE;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dlg, int id, UINT msg, WPARAM wp, LPARAM lp) {
  HWND c = GetDlgItem(dlg, id);
  return c ? SendMessageA(c, msg, wp, lp) : 0;
}

HWND WINAPI GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous) {
  std::vector<HWND> stops;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (IsTabStop(c)) stops.push_back(c);
  if (stops.empty()) return ctl;
  auto it = std::find(stops.begin(), stops.end(), ctl);
  if (it == stops.end()) return previous ? stops.back() : stops.front();
  if (previous) return it == stops.begin() ? stops.back() : *(it - 1);
  return it + 1 == stops.end() ? stops.front() : *(it + 1);
}

HWND WINAPI GetNextDlgGroupItem(HWND dlg, HWND ctl, BOOL previous) {
  std::vector<HWND> all;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) all.push_back(c);
  auto it = std::find(all.begin(), all.end(), ctl);
  if (it == all.end()) return ctl;
  // the group runs from the control with WS_GROUP before ctl to the one before the next WS_GROUP
  auto start = it;
  while (start != all.begin() && !(GetWindowLongA(*start, GWL_STYLE) & WS_GROUP)) --start;
  auto end = it + 1;
  while (end != all.end() && !(GetWindowLongA(*end, GWL_STYLE) & WS_GROUP)) ++end;
  std::vector<HWND> group(start, end);
  auto pos = std::find(group.begin(), group.end(), ctl);
  if (previous) return pos == group.begin() ? group.back() : *(pos - 1);
  return pos + 1 == group.end() ? group.front() : *(pos + 1);
}

BOOL WINAPI MapDialogRect(HWND dlg, LPRECT r) {
  if (!r) return FALSE;
  int bx = 4, by = 8;
  {
    Guard g(Lock());
    DialogInfo* di = Info(dlg);
    if (!di) return FALSE;
    bx = di->baseX;
    by = di->baseY;
  }
  r->left = MulDiv(r->left, bx, 4);
  r->right = MulDiv(r->right, bx, 4);
  r->top = MulDiv(r->top, by, 8);
  r->bottom = MulDiv(r->bottom, by, 8);
  return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) {
  int bx, by;
  BaseUnitsOf(nullptr, &bx, &by);
  return MAKELONG(bx, by);
}

}  // extern "C"
