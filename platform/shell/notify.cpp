// The notification area of the machine: Shell_NotifyIconA keeps this process's icons and
// lists them in <root>/station/<pid>.tray.json, where velnosim and tests read them (and click
// them: the icon's callback message is posted to its window). DllGetVersion of Shell32.
#include <shlwapi.h>
#include <shellapi.h>
#include <unistd.h>
#include <velno/machine.h>
#include <velno/winstation.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "../user/winsys.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace velno::win {
namespace {

struct Icon {
  HWND hwnd;
  UINT id;
  UINT flags = 0;
  UINT callback = 0;
  std::string tip;
  HICON icon = nullptr;
  DWORD state = 0;
  UINT version = 0;
};

std::vector<Icon>& Icons() {
  static auto* v = new std::vector<Icon>;
  return *v;
}

void Publish() {
  json arr = json::array();
  for (const Icon& i : Icons()) {
    int w = 0, h = 0;
    if (IconObject* io = IconOf(i.icon)) {
      w = io->width;
      h = io->height;
    }
    arr.push_back(json{{"hwnd", (unsigned long long)(uintptr_t)i.hwnd}, {"id", i.id}, {"flags", i.flags},
                       {"callback", i.callback}, {"tip", i.tip}, {"icon", i.icon != nullptr}, {"iconWidth", w},
                       {"iconHeight", h}, {"hidden", (i.state & NIS_HIDDEN) != 0}});
  }
  std::string path = StationDir() + "/" + std::to_string(getpid()) + ".tray.json";
  std::string tmp = path + ".tmp";
  std::ofstream(tmp) << json{{"pid", getpid()}, {"icons", arr}}.dump();
  std::error_code ec;
  fs::rename(tmp, path, ec);
  EnsureStationServer();  // the process is listed in the station, so dead ones are dropped
  StationPublish();
}

// Copies the fields the structure's size covers.
template <class T>
bool Covered(const NOTIFYICONDATAA* d, const T& field) {
  return (size_t)((const char*)&field - (const char*)d) + sizeof(T) <= d->cbSize;
}

}  // namespace
}  // namespace velno::win

using namespace velno::win;

namespace velno::winstation {

std::vector<TrayIcon> ListTray() {
  std::vector<TrayIcon> out;
  ListWindows();  // drops the station entries (and tray files) of processes that are gone
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(StationDir(), ec)) {
    std::string name = e.path().filename().string();
    if (name.size() < 10 || name.substr(name.size() - 10) != ".tray.json") continue;
    DWORD pid = (DWORD)std::strtoul(name.c_str(), nullptr, 10);
    if (pid != (DWORD)getpid() && !fs::exists(StationDir() + "/" + std::to_string(pid) + ".json")) {
      fs::remove(e.path(), ec);
      continue;
    }
    std::ifstream in(e.path());
    json j = json::parse(in, nullptr, false);
    if (j.is_discarded()) continue;
    for (const json& i : j.value("icons", json::array())) {
      TrayIcon t;
      t.hwnd = (HWND)(uintptr_t)i.value("hwnd", 0ull);
      t.id = i.value("id", 0u);
      t.callbackMessage = i.value("callback", 0u);
      t.flags = i.value("flags", 0u);
      t.tip = i.value("tip", "");
      t.hasIcon = i.value("icon", false);
      t.pid = pid;
      out.push_back(t);
    }
  }
  return out;
}

bool ClickTray(HWND hwnd, UINT id, UINT mouseMessage) {
  for (const TrayIcon& t : ListTray())
    if (t.hwnd == hwnd && t.id == id) {
      if (!(t.flags & NIF_MESSAGE)) return false;
      return PostMessageA(hwnd, t.callbackMessage, id, mouseMessage) != 0;
    }
  return false;
}

}  // namespace velno::winstation

extern "C" {

BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA d) {
  if (!d || d->cbSize < 88 || !Covered(d, d->uCallbackMessage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Guard g(Lock());
  auto& icons = Icons();
  auto it = std::find_if(icons.begin(), icons.end(), [&](const Icon& i) { return i.hwnd == d->hWnd && i.id == d->uID; });
  auto apply = [&](Icon& i) {
    if (d->uFlags & NIF_MESSAGE) i.callback = d->uCallbackMessage;
    if ((d->uFlags & NIF_ICON) && Covered(d, d->hIcon)) {
      if (i.icon) DestroyIcon(i.icon);
      // the shell keeps its own copy: the caller may destroy its icon at once
      i.icon = d->hIcon ? CopyIcon(d->hIcon) : nullptr;
    }
    if (d->uFlags & NIF_TIP) {
      // the tip holds 64 characters in the first layout of the structure, 128 later
      size_t offset = offsetof(NOTIFYICONDATAA, szTip);
      size_t room = std::min<size_t>(d->cbSize >= NOTIFYICONDATAA_V2_SIZE ? 128 : 64, d->cbSize - offset);
      i.tip.assign(d->szTip, strnlen(d->szTip, room ? room - 1 : 0));
    }
    if ((d->uFlags & NIF_STATE) && Covered(d, d->dwStateMask)) i.state = (i.state & ~d->dwStateMask) | (d->dwState & d->dwStateMask);
    i.flags |= d->uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP);
  };
  switch (message) {
    case NIM_ADD: {
      if (it != icons.end()) return FALSE;
      Icon i{d->hWnd, d->uID};
      apply(i);
      icons.push_back(i);
      Publish();
      return TRUE;
    }
    case NIM_MODIFY:
      if (it == icons.end()) return FALSE;
      apply(*it);
      Publish();
      return TRUE;
    case NIM_DELETE:
      if (it == icons.end()) return FALSE;
      if (it->icon) DestroyIcon(it->icon);
      icons.erase(it);
      Publish();
      return TRUE;
    case NIM_SETVERSION:
      if (it == icons.end()) return FALSE;
      it->version = Covered(d, d->uVersion) ? d->uVersion : 0;
      return TRUE;
    case NIM_SETFOCUS: return it != icons.end();
  }
  return FALSE;
}

__attribute__((visibility("default"))) HRESULT CALLBACK DllGetVersion(DLLVERSIONINFO* info) {
  if (!info || info->cbSize < sizeof(DLLVERSIONINFO)) return (HRESULT)0x80070057L;  // E_INVALIDARG
  const auto& w = velno::sim::Profile()["windows"];
  info->dwMajorVersion = 6;
  info->dwMinorVersion = w.value("major", 10) >= 6 && w.value("minor", 0) >= 1 && w.value("major", 10) == 6 ? 1 : 0;
  info->dwBuildNumber = w.value("build", 19045);
  info->dwPlatformID = DLLVER_PLATFORM_NT;
  return 0;
}

}  // extern "C"
