// velnosim windows / click / screenshot / tray / messagebox-answer / menu-answer / ui-log:
// the machine's windows seen and driven from outside, in either presenter.
#include <velno/winstation.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "command.h"

namespace velno::cli {
namespace {

int Windows(const Args&) {
  printf("%-12s %-7s %-24s %-32s %-22s %s\n", "HWND", "PID", "CLASS", "TITLE", "RECT", "VISIBLE");
  for (const auto& w : velno::winstation::ListWindows()) {
    char rect[64];
    snprintf(rect, sizeof rect, "%ld,%ld %ldx%ld", (long)w.rect.left, (long)w.rect.top, (long)(w.rect.right - w.rect.left),
             (long)(w.rect.bottom - w.rect.top));
    printf("0x%-10llx %-7u %-24s %-32s %-22s %s\n", (unsigned long long)(uintptr_t)w.hwnd, w.pid, w.className.c_str(),
           ("\"" + w.title + "\"").c_str(), rect, w.visible ? "yes" : "no");
  }
  return 0;
}

HWND Target(const std::string& s) {
  HWND h = velno::winstation::Resolve(s);
  if (!h) fprintf(stderr, "velnosim: no window %s\n", s.c_str());
  return h;
}

int Click(const Args& a) {
  if (a.size() < 3) {
    fprintf(stderr, "usage: velnosim click HWND|TITLE X Y [--right]\n");
    return 2;
  }
  HWND h = Target(a[0]);
  if (!h) return 1;
  bool right = a.size() > 3 && a[3] == "--right";
  return velno::winstation::Click(h, atoi(a[1].c_str()), atoi(a[2].c_str()), right) ? 0 : 1;
}

int Mouse(const Args& a) {
  if (a.size() < 4) {
    fprintf(stderr, "usage: velnosim mouse HWND|TITLE move|down|up|rdown|rup|wheel X Y [DELTA]\n");
    return 2;
  }
  HWND h = Target(a[0]);
  if (!h) return 1;
  const std::string& k = a[1];
  UINT kind = k == "move" ? WM_MOUSEMOVE : k == "down" ? WM_LBUTTONDOWN : k == "up" ? WM_LBUTTONUP
            : k == "rdown" ? WM_RBUTTONDOWN : k == "rup" ? WM_RBUTTONUP : k == "wheel" ? WM_MOUSEWHEEL : 0;
  if (!kind) return 2;
  return velno::winstation::Mouse(h, kind, atoi(a[2].c_str()), atoi(a[3].c_str()), a.size() > 4 ? atoi(a[4].c_str()) : 0) ? 0 : 1;
}

int Screenshot(const Args& a) {
  if (a.size() < 2) {
    fprintf(stderr, "usage: velnosim screenshot HWND|TITLE FILE.png\n");
    return 2;
  }
  HWND h = Target(a[0]);
  if (!h) return 1;
  if (!velno::winstation::Screenshot(h, a[1])) {
    fprintf(stderr, "velnosim: screenshot of %s failed\n", a[0].c_str());
    return 1;
  }
  printf("%s\n", a[1].c_str());
  return 0;
}

int Tray(const Args& a) {
  if (a.empty() || a[0] == "list") {
    printf("%-12s %-6s %-7s %-6s %s\n", "HWND", "ID", "PID", "ICON", "TIP");
    for (const auto& t : velno::winstation::ListTray())
      printf("0x%-10llx %-6u %-7u %-6s \"%s\"\n", (unsigned long long)(uintptr_t)t.hwnd, t.id, t.pid,
             t.hasIcon ? "yes" : "no", t.tip.c_str());
    return 0;
  }
  if (a[0] == "click" && a.size() >= 3) {
    HWND h = (HWND)(uintptr_t)strtoull(a[1].c_str(), nullptr, 0);
    UINT id = (UINT)strtoul(a[2].c_str(), nullptr, 0);
    std::string how = a.size() > 3 ? a[3] : "--left";
    UINT msg = how == "--right" ? WM_RBUTTONUP : how == "--double" ? WM_LBUTTONDBLCLK : how == "--rdown" ? WM_RBUTTONDOWN
             : how == "--context" ? WM_CONTEXTMENU : WM_LBUTTONUP;
    if (!velno::winstation::ClickTray(h, id, msg)) {
      fprintf(stderr, "velnosim: no clickable tray icon %s/%s\n", a[1].c_str(), a[2].c_str());
      return 1;
    }
    return 0;
  }
  fprintf(stderr, "usage: velnosim tray [list] | tray click HWND ID [--left|--right|--double|--rdown|--context]\n");
  return 2;
}

int Named(const char* name) {
  static const struct {
    const char* n;
    int v;
  } names[] = {{"ok", IDOK}, {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY}, {"ignore", IDIGNORE},
               {"yes", IDYES}, {"no", IDNO}, {"tryagain", IDTRYAGAIN}, {"continue", IDCONTINUE}};
  for (const auto& e : names)
    if (strcasecmp(e.n, name) == 0) return e.v;
  return atoi(name);
}

int MessageBoxAnswer(const Args& a) {
  if (a.empty()) {
    fprintf(stderr, "usage: velnosim messagebox-answer ok|cancel|yes|no|retry|...|NUMBER [...]\n");
    return 2;
  }
  for (const std::string& s : a) velno::winstation::QueueAnswer("messagebox", Named(s.c_str()));
  return 0;
}

int MenuAnswer(const Args& a) {
  if (a.empty()) {
    fprintf(stderr, "usage: velnosim menu-answer COMMAND-ID [...]\n");
    return 2;
  }
  for (const std::string& s : a) velno::winstation::QueueAnswer("menu", (int)strtol(s.c_str(), nullptr, 0));
  return 0;
}

int UiLog(const Args& a) {
  for (const std::string& l : velno::winstation::UiLog(a.empty() ? "messagebox" : a[0])) printf("%s\n", l.c_str());
  return 0;
}

const bool registered =
    RegisterCommand({"windows", "windows  list the top-level windows of every process (hwnd, pid, class, title, rect, visible)", Windows}) &&
    RegisterCommand({"click", "click HWND|TITLE X Y [--right]  press and release at a client point", Click}) &&
    RegisterCommand({"mouse", "mouse HWND|TITLE move|down|up|rdown|rup|wheel X Y [DELTA]  one mouse event at a client point", Mouse}) &&
    RegisterCommand({"screenshot", "screenshot HWND|TITLE FILE.png  save a window as a PNG", Screenshot}) &&
    RegisterCommand({"tray", "tray [list] | tray click HWND ID [--left|--right|--double]  the notification area", Tray}) &&
    RegisterCommand({"messagebox-answer", "messagebox-answer ok|cancel|yes|no|...  queue answers for the next message boxes", MessageBoxAnswer}) &&
    RegisterCommand({"menu-answer", "menu-answer COMMAND-ID...  queue the choices of the next popup menus", MenuAnswer}) &&
    RegisterCommand({"ui-log", "ui-log [messagebox|menu]  the message boxes and menus shown so far", UiLog});
}  // namespace
}  // namespace velno::cli
