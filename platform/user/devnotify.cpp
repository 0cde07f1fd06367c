// Window lookup across the machine (FindWindowA, EnumWindows) and device notifications:
// RegisterDeviceNotificationA records a window's interest in <root>/station/<pid>.devnotify.json;
// the machine's device changes reach every registered window as WM_DEVICECHANGE with a
// DEV_BROADCAST_DEVICEINTERFACE_A, in whichever process it lives.
#include <dbt.h>
#include <strings.h>
#include <unistd.h>
#include <velno/machine.h>
#include <velno/winstation.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "winsys.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace velno::win {
namespace {

struct Registration {
  uintptr_t handle;
  HWND hwnd;
  bool allClasses;
  GUID classGuid;
};
std::vector<Registration>& Regs() {
  static auto* r = new std::vector<Registration>;
  return *r;
}
uintptr_t g_nextReg = 0x0D000010;

std::string GuidText(const GUID& g) {
  char b[64];
  snprintf(b, sizeof b, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", (unsigned)g.Data1, g.Data2, g.Data3, g.Data4[0],
           g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return b;
}

void PublishRegs() {
  json arr = json::array();
  for (const Registration& r : Regs())
    arr.push_back(json{{"hwnd", (unsigned long long)(uintptr_t)r.hwnd}, {"all", r.allClasses}, {"guid", GuidText(r.classGuid)}});
  std::string path = StationDir() + "/" + std::to_string(getpid()) + ".devnotify.json";
  std::ofstream(path + ".tmp") << json{{"pid", getpid()}, {"registrations", arr}}.dump();
  std::error_code ec;
  fs::rename(path + ".tmp", path, ec);
  EnsureStationServer();
  StationPublish();
}

bool Matches(const char* cls, const char* title, const std::string& c, const std::string& t) {
  if (cls && !IS_INTRESOURCE(cls) && strcasecmp(cls, c.c_str()) != 0) return false;
  if (title && strcasecmp(title, t.c_str()) != 0) return false;
  return true;
}

}  // namespace

// Delivers a device-interface change to a window of this process.
LRESULT DeliverDeviceChange(HWND hwnd, UINT event, const GUID& cls, const std::string& name) {
  std::vector<uint8_t> buf(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + name.size() + 1, 0);
  auto* d = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(buf.data());
  d->dbcc_size = (DWORD)buf.size();
  d->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  d->dbcc_classguid = cls;
  std::memcpy(d->dbcc_name, name.c_str(), name.size() + 1);
  return SendMessageA(hwnd, WM_DEVICECHANGE, event, (LPARAM)d);
}

bool RemoteDeviceChange(HWND hwnd, const std::vector<long long>& args, const std::string& path);

}  // namespace velno::win

using namespace velno::win;

namespace velno::winstation {

int BroadcastDeviceInterfaceChange(UINT event, const GUID& cls, const std::string& devicePath) {
  ListWindows();  // drops entries of processes that are gone
  int delivered = 0;
  std::string want = GuidText(cls);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(StationDir(), ec)) {
    std::string name = e.path().filename().string();
    if (name.size() < 15 || name.substr(name.size() - 15) != ".devnotify.json") continue;
    DWORD pid = (DWORD)std::strtoul(name.c_str(), nullptr, 10);
    if (pid != (DWORD)getpid() && !fs::exists(StationDir() + "/" + std::to_string(pid) + ".json")) {
      fs::remove(e.path(), ec);
      continue;
    }
    std::ifstream in(e.path());
    json j = json::parse(in, nullptr, false);
    if (j.is_discarded()) continue;
    for (const json& r : j.value("registrations", json::array())) {
      if (!r.value("all", false) && r.value("guid", "") != want) continue;
      HWND hwnd = (HWND)(uintptr_t)r.value("hwnd", 0ull);
      if (pid == (DWORD)getpid()) {
        DeliverDeviceChange(hwnd, event, cls, devicePath);
        ++delivered;
      } else {
        std::vector<long long> args{(long long)event, (long long)cls.Data1, cls.Data2, cls.Data3};
        for (int i = 0; i < 8; ++i) args.push_back(cls.Data4[i]);
        if (RemoteDeviceChange(hwnd, args, devicePath)) ++delivered;
      }
    }
  }
  return delivered;
}

}  // namespace velno::winstation

extern "C" {

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR title) {
  if (HWND h = FindLocalTop(className, title)) return h;
  if (className && IS_INTRESOURCE(className)) return nullptr;  // atoms are per process
  for (const auto& w : velno::winstation::ListWindows())
    if (w.pid != (DWORD)getpid() && Matches(className, title, w.className, w.title)) return w.hwnd;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

BOOL WINAPI EnumWindows(WNDENUMPROC proc, LPARAM lp) {
  if (!proc) return FALSE;
  for (const auto& w : velno::winstation::ListWindows())
    if (!proc(w.hwnd, lp)) return FALSE;
  return TRUE;
}

HDEVNOTIFY WINAPI RegisterDeviceNotificationA(HANDLE recipient, LPVOID filter, DWORD flags) {
  auto* hdr = static_cast<DEV_BROADCAST_HDR*>(filter);
  if (!recipient || !hdr || (flags & DEVICE_NOTIFY_SERVICE_HANDLE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (hdr->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE || hdr->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) - 1) {
    SetLastError(13);  // ERROR_INVALID_DATA
    return nullptr;
  }
  if (!IsWindow((HWND)recipient)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  auto* di = static_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(filter);
  Guard g(Lock());
  Registration r{g_nextReg, (HWND)recipient, (flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0, di->dbcc_classguid};
  g_nextReg += 4;
  Regs().push_back(r);
  PublishRegs();
  return (HDEVNOTIFY)r.handle;
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY handle) {
  Guard g(Lock());
  auto& regs = Regs();
  for (auto it = regs.begin(); it != regs.end(); ++it)
    if (it->handle == (uintptr_t)handle) {
      regs.erase(it);
      PublishRegs();
      return TRUE;
    }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

}  // extern "C"
