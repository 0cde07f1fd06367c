// Message boxes and popup menus, with the machine's answer queues and UI log: every box and
// menu shown is logged in <root>/station/<kind>.log (one JSON object per line); the answer is
// the next one queued in <root>/station/<kind>.answers (velnosim messagebox-answer / menu-answer),
// else the person's choice in a real window under X11, else the box's default button (a menu
// is then dismissed).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <nlohmann/json.hpp>
#include <velno/winstation.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "winsys.h"

using nlohmann::json;

namespace velno::win {
namespace {

std::unordered_map<uintptr_t, std::unique_ptr<MenuObject>>& Menus() {
  static auto* m = new std::unordered_map<uintptr_t, std::unique_ptr<MenuObject>>;
  return *m;
}
uintptr_t g_nextMenu = 0x0E000010;

std::string StripAmp(const std::string& s) {
  std::string o;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) ++i;
    o += s[i];
  }
  return o;
}

// Buttons of a message box type, in order, and the default one.
std::vector<int> Buttons(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
  }
  return {IDOK};
}

const char* ButtonText(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "&Abort";
    case IDRETRY: return "&Retry";
    case IDIGNORE: return "&Ignore";
    case IDYES: return "&Yes";
    case IDNO: return "&No";
    case IDTRYAGAIN: return "&Try Again";
    case IDCONTINUE: return "&Continue";
  }
  return "OK";
}

// A real message box window, answered by the person at the display.
struct BoxState {
  int answer = 0;
  bool done = false;
};

LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  BoxState* st = reinterpret_cast<BoxState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_COMMAND:
      if (st && HIWORD(wp) == BN_CLICKED) {
        st->answer = LOWORD(wp);
        st->done = true;
      }
      return 0;
    case WM_CLOSE:
      if (st) {
        st->answer = IDCANCEL;
        st->done = true;
      }
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

int ShowBoxWindow(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = BoxProc;
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = "VelnoMessageBox";
    RegisterClassA(&wc);
    registered = true;
  }
  std::vector<int> buttons = Buttons(type);
  HDC dc = GetDC(nullptr);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  RECT tr{0, 0, 400, 0};
  DrawTextA(dc, text.c_str(), -1, &tr, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  ReleaseDC(nullptr, dc);
  int bw = 75, bh = 23, gap = 8;
  int cw = std::max<int>(tr.right + 40, (int)buttons.size() * (bw + gap) + 30);
  int ch = tr.bottom + 30 + bh + 20;
  RECT wr{0, 0, cw, ch};
  AdjustWindowRectEx(&wr, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
  int w = wr.right - wr.left, h = wr.bottom - wr.top;
  HWND box = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, "VelnoMessageBox", caption.c_str(),
                             WS_POPUP | WS_CAPTION | WS_SYSMENU, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                             (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, owner, nullptr, nullptr, nullptr);
  if (!box) return buttons[0];
  BoxState st;
  SetWindowLongPtrA(box, GWLP_USERDATA, (LONG_PTR)&st);
  HWND label = CreateWindowExA(0, "Static", text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 20, 15, tr.right + 4,
                               tr.bottom + 4, box, nullptr, nullptr, nullptr);
  SendMessageA(label, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
  int x = cw - (int)buttons.size() * (bw + gap) - 10;
  for (size_t i = 0; i < buttons.size(); ++i) {
    HWND b = CreateWindowExA(0, "Button", ButtonText(buttons[i]), WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : 0),
                             x + (int)i * (bw + gap), ch - bh - 12, bw, bh, box, (HMENU)(uintptr_t)buttons[i], nullptr, nullptr);
    SendMessageA(b, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
  }
  bool ownerEnabled = owner && IsWindowEnabled(owner);
  if (ownerEnabled) EnableWindow(owner, FALSE);
  ShowWindow(box, SW_SHOW);
  while (!st.done && IsWindow(box)) {
    MSG m;
    if (!GetMessageA(&m, nullptr, 0, 0)) {
      PostQuitMessage((int)m.wParam);
      break;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  if (ownerEnabled) EnableWindow(owner, TRUE);
  if (IsWindow(box)) DestroyWindow(box);
  return st.answer ? st.answer : buttons[0];
}

}  // namespace

std::string TakeAnswer(const char* kind) {
  std::string path = StationDir() + "/" + kind + ".answers";
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return "";
  flock(fd, LOCK_EX);
  std::string all;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) all.append(buf, (size_t)n);
  std::string first;
  size_t nl = all.find('\n');
  if (!all.empty()) {
    first = all.substr(0, nl);
    std::string rest = nl == std::string::npos ? "" : all.substr(nl + 1);
    if (ftruncate(fd, 0) == 0) {
      lseek(fd, 0, SEEK_SET);
      ssize_t w = write(fd, rest.data(), rest.size());
      (void)w;
    }
  }
  flock(fd, LOCK_UN);
  close(fd);
  return first;
}

void LogUi(const char* kind, const std::string& line) {
  std::string path = StationDir() + "/" + kind + ".log";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string l = line + "\n";
  flock(fd, LOCK_EX);
  ssize_t w = write(fd, l.data(), l.size());
  (void)w;
  flock(fd, LOCK_UN);
  close(fd);
}

MenuObject* MenuOf(HMENU h) {
  auto it = Menus().find((uintptr_t)h);
  return it == Menus().end() ? nullptr : it->second.get();
}

}  // namespace velno::win

using namespace velno::win;

namespace velno::winstation {

void QueueAnswer(const std::string& kind, int answer) {
  std::string path = StationDir() + "/" + kind + ".answers";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string l = std::to_string(answer) + "\n";
  flock(fd, LOCK_EX);
  ssize_t w = write(fd, l.data(), l.size());
  (void)w;
  flock(fd, LOCK_UN);
  close(fd);
}

std::vector<std::string> UiLog(const std::string& kind) {
  std::vector<std::string> lines;
  std::ifstream in(StationDir() + "/" + kind + ".log");
  std::string l;
  while (std::getline(in, l))
    if (!l.empty()) lines.push_back(l);
  return lines;
}

}  // namespace velno::winstation

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::string t = text ? text : "", c = caption ? caption : "Error";
  std::vector<int> buttons = Buttons(type);
  int def = buttons[std::min<size_t>(((type & MB_DEFMASK) >> 8), buttons.size() - 1)];
  int answer = 0;
  std::string source = "default";
  std::string queued = TakeAnswer("messagebox");
  if (!queued.empty()) {
    answer = atoi(queued.c_str());
    source = "queue";
  } else if (ThePresenter() && ThePresenter()->Interactive()) {
    answer = ShowBoxWindow(owner, t, c, type);
    source = "person";
  } else {
    answer = def;
  }
  LogUi("messagebox", json{{"pid", getpid()},
                          {"owner", (unsigned long long)(uintptr_t)owner},
                          {"text", t},
                          {"caption", c},
                          {"type", type},
                          {"answer", answer},
                          {"source", source}}
                          .dump());
  return answer;
}

int WINAPI MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD lang) {
  return MessageBoxA(owner, text, caption, type);
}

HMENU WINAPI CreatePopupMenu(void) {
  Guard g(Lock());
  uintptr_t h = g_nextMenu;
  g_nextMenu += 4;
  Menus()[h] = std::make_unique<MenuObject>();
  return (HMENU)h;
}

HMENU WINAPI CreateMenu(void) {
  HMENU m = CreatePopupMenu();
  Guard g(Lock());
  MenuOf(m)->popup = false;
  return m;
}

BOOL WINAPI DestroyMenu(HMENU menu) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  if (!m) {
    SetLastError(1401);  // ERROR_INVALID_MENU_HANDLE
    return FALSE;
  }
  std::vector<HMENU> subs;
  for (const MenuItem& i : m->items)
    if (i.sub) subs.push_back(i.sub);
  Menus().erase((uintptr_t)menu);
  for (HMENU s : subs) DestroyMenu(s);
  return TRUE;
}

BOOL WINAPI IsMenu(HMENU menu) {
  Guard g(Lock());
  return MenuOf(menu) != nullptr;
}

static int FindItem(MenuObject* m, UINT pos, UINT flags) {
  if (flags & MF_BYPOSITION) return pos < m->items.size() ? (int)pos : -1;
  for (size_t i = 0; i < m->items.size(); ++i)
    if (!m->items[i].sub && m->items[i].id == pos) return (int)i;
  return -1;
}

BOOL WINAPI InsertMenuA(HMENU menu, UINT pos, UINT flags, UINT_PTR id, LPCSTR text) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  if (!m) {
    SetLastError(1401);
    return FALSE;
  }
  MenuItem it{(UINT)(flags & ~(MF_BYPOSITION)), (flags & MF_POPUP) ? 0 : id,
              (flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) || !text ? "" : text,
              (flags & MF_POPUP) ? (HMENU)id : nullptr};
  size_t at = m->items.size();
  if (flags & MF_BYPOSITION) {
    if (pos != (UINT)-1 && pos < m->items.size()) at = pos;
  } else if (pos != (UINT)-1) {
    int f = FindItem(m, pos, 0);
    if (f >= 0) at = (size_t)f;
  }
  m->items.insert(m->items.begin() + (ptrdiff_t)at, it);
  return TRUE;
}

BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
  return InsertMenuA(menu, (UINT)-1, flags | MF_BYPOSITION, id, text);
}

BOOL WINAPI RemoveMenu(HMENU menu, UINT pos, UINT flags) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  int i = m ? FindItem(m, pos, flags) : -1;
  if (i < 0) return FALSE;
  m->items.erase(m->items.begin() + i);
  return TRUE;
}

BOOL WINAPI DeleteMenu(HMENU menu, UINT pos, UINT flags) {
  HMENU sub = nullptr;
  {
    Guard g(Lock());
    MenuObject* m = MenuOf(menu);
    int i = m ? FindItem(m, pos, flags) : -1;
    if (i < 0) return FALSE;
    sub = m->items[i].sub;
    m->items.erase(m->items.begin() + i);
  }
  if (sub) DestroyMenu(sub);
  return TRUE;
}

int WINAPI GetMenuItemCount(HMENU menu) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  return m ? (int)m->items.size() : -1;
}

UINT WINAPI GetMenuItemID(HMENU menu, int pos) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  if (!m || pos < 0 || pos >= (int)m->items.size() || m->items[pos].sub) return (UINT)-1;
  return (UINT)m->items[pos].id;
}

int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR text, int max, UINT flags) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  int i = m ? FindItem(m, item, flags) : -1;
  if (i < 0) return 0;
  const std::string& s = m->items[i].text;
  if (!text) return (int)s.size();
  if (max <= 0) return 0;
  velno::win::CopyN(text, s.c_str(), max);
  return (int)strlen(text);
}

UINT WINAPI GetMenuState(HMENU menu, UINT id, UINT flags) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  int i = m ? FindItem(m, id, flags) : -1;
  return i < 0 ? (UINT)-1 : m->items[i].flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR | MF_POPUP);
}

HMENU WINAPI GetSubMenu(HMENU menu, int pos) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  if (!m || pos < 0 || pos >= (int)m->items.size()) return nullptr;
  return m->items[pos].sub;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT id, UINT enable) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  int i = m ? FindItem(m, id, enable) : -1;
  if (i < 0) return -1;
  UINT old = m->items[i].flags & (MF_GRAYED | MF_DISABLED);
  m->items[i].flags = (m->items[i].flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return (BOOL)old;
}

DWORD WINAPI CheckMenuItem(HMENU menu, UINT id, UINT check) {
  Guard g(Lock());
  MenuObject* m = MenuOf(menu);
  int i = m ? FindItem(m, id, check) : -1;
  if (i < 0) return (DWORD)-1;
  DWORD old = m->items[i].flags & MF_CHECKED;
  m->items[i].flags = (m->items[i].flags & ~MF_CHECKED) | (check & MF_CHECKED);
  return old;
}

HMENU WINAPI GetMenu(HWND hwnd) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  return w && !(w->style & WS_CHILD) ? (HMENU)w->id : nullptr;
}

BOOL WINAPI SetMenu(HWND hwnd, HMENU menu) {
  Guard g(Lock());
  Window* w = Win(hwnd);
  if (!w || (w->style & WS_CHILD)) return FALSE;
  w->id = (LONG_PTR)menu;
  return TRUE;
}

HMENU WINAPI GetSystemMenu(HWND hwnd, BOOL revert) { return nullptr; }

BOOL WINAPI TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPVOID params) {
  json items = json::array();
  std::vector<MenuItem> copy;
  {
    Guard g(Lock());
    MenuObject* m = MenuOf(menu);
    if (!m) {
      SetLastError(1401);
      return FALSE;
    }
    copy = m->items;
  }
  for (const MenuItem& i : copy)
    if (!(i.flags & MF_SEPARATOR)) items.push_back(json{{"id", i.id}, {"text", StripAmp(i.text)}, {"grayed", (i.flags & (MF_GRAYED | MF_DISABLED)) != 0}});
  if (!(flags & TPM_NONOTIFY) && owner) {
    SendMessageA(owner, WM_ENTERMENULOOP, TRUE, 0);
    SendMessageA(owner, WM_INITMENUPOPUP, (WPARAM)menu, 0);
  }
  // the choice: a queued answer (a command id, or an item's text)
  std::string a = TakeAnswer("menu");
  UINT_PTR chosen = 0;
  if (!a.empty()) {
    char* end;
    long v = strtol(a.c_str(), &end, 0);
    for (const MenuItem& i : copy) {
      bool match = (*end == 0 && i.id == (UINT_PTR)v) || StripAmp(i.text) == a;
      if (match && !(i.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)) && !i.sub) chosen = i.id;
    }
  }
  LogUi("menu", json{{"pid", getpid()}, {"owner", (unsigned long long)(uintptr_t)owner}, {"x", x}, {"y", y},
                     {"items", items}, {"answer", chosen}}
                    .dump());
  if (!(flags & TPM_NONOTIFY) && owner) SendMessageA(owner, WM_EXITMENULOOP, TRUE, 0);
  if (flags & TPM_RETURNCMD) return (BOOL)chosen;
  if (chosen && owner) PostMessageA(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  return chosen ? TRUE : FALSE;
}

BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect) {
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

BOOL WINAPI EndMenu(void) { return TRUE; }

}  // extern "C"
