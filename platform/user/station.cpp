// The window station: every UI process of the machine lists its top-level windows in
// <root>/station/<pid>.json and answers requests for its windows on a Unix socket of its own
// (abstract namespace, named after the machine and the pid). FindWindowA, SendMessageA,
// PostMessageA, ShowWindow, SetWindowPos and SetForegroundWindow reach other processes' windows
// through it. Entries of processes that no longer exist are dropped by whoever reads them.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <velno/machine.h>
#include <velno/winstation.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "winsys.h"

namespace fs = std::filesystem;

namespace velno::win {
// devnotify.cpp: delivers a device-interface change to a window of this process.
LRESULT DeliverDeviceChange(HWND hwnd, UINT event, const GUID& cls, const std::string& name);
}  // namespace velno::win
using nlohmann::json;

namespace velno::win {
namespace {

std::string g_serverRoot;  // the machine the running server belongs to
int g_listenFd = -1;
bool g_atexit = false;

std::string SocketName(DWORD pid) { return "velno-win-" + velno::sim::MachineScope() + "-" + std::to_string(pid); }

sockaddr_un Address(DWORD pid, socklen_t* len) {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::string n = SocketName(pid);
  a.sun_path[0] = 0;
  size_t m = std::min(n.size(), sizeof(a.sun_path) - 2);
  std::memcpy(a.sun_path + 1, n.data(), m);
  *len = (socklen_t)(offsetof(sockaddr_un, sun_path) + 1 + m);
  return a;
}

std::string StartTime(DWORD pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string s((std::istreambuf_iterator<char>(in)), {});
  size_t p = s.rfind(')');
  if (p == std::string::npos) return "";
  std::istringstream rest(s.substr(p + 2));
  std::string field;
  for (int i = 3; i <= 22 && rest >> field; ++i)
    if (i == 22) return field;
  return "";
}

bool Alive(DWORD pid, const std::string& start) {
  if (kill((pid_t)pid, 0) != 0 && errno == ESRCH) return false;
  return start.empty() || StartTime(pid) == start;
}

bool WriteAll(int fd, const void* p, size_t n) {
  const char* c = static_cast<const char*>(p);
  while (n) {
    ssize_t w = send(fd, c, n, MSG_NOSIGNAL);
    if (w <= 0) {
      if (w < 0 && errno == EINTR) continue;
      return false;
    }
    c += w;
    n -= (size_t)w;
  }
  return true;
}

bool ReadAll(int fd, void* p, size_t n) {
  char* c = static_cast<char*>(p);
  while (n) {
    ssize_t r = recv(fd, c, n, 0);
    if (r <= 0) {
      if (r < 0 && errno == EINTR) continue;
      return false;
    }
    c += r;
    n -= (size_t)r;
  }
  return true;
}

bool SendFrame(int fd, const json& j) {
  std::string s = j.dump();
  uint32_t n = (uint32_t)s.size();
  return WriteAll(fd, &n, 4) && WriteAll(fd, s.data(), s.size());
}

bool RecvFrame(int fd, json* j) {
  uint32_t n;
  if (!ReadAll(fd, &n, 4) || n > (64u << 20)) return false;
  std::string s(n, '\0');
  if (!ReadAll(fd, s.data(), n)) return false;
  *j = json::parse(s, nullptr, false);
  return !j->is_discarded();
}

std::string Hex(const void* p, size_t n) {
  static const char* d = "0123456789abcdef";
  std::string s;
  const uint8_t* b = static_cast<const uint8_t*>(p);
  for (size_t i = 0; i < n; ++i) {
    s += d[b[i] >> 4];
    s += d[b[i] & 15];
  }
  return s;
}
std::vector<uint8_t> Unhex(const std::string& s) {
  std::vector<uint8_t> v;
  for (size_t i = 0; i + 1 < s.size(); i += 2) v.push_back((uint8_t)std::stoi(s.substr(i, 2), nullptr, 16));
  return v;
}

json HandleCall(const json& req) {
  HWND hwnd = (HWND)(uintptr_t)req.value("hwnd", 0ull);
  std::string op = req.value("op", "");
  std::vector<long long> a = req.value("args", std::vector<long long>{});
  auto arg = [&](size_t i) { return i < a.size() ? a[i] : 0; };
  json out;
  {
    Guard g(Lock());
    if (op == "iswindow") return json{{"r", Win(hwnd) != nullptr}};
    if (op == "isvisible") {
      Window* w = Win(hwnd);
      return json{{"r", w && IsVisibleChain(w)}};
    }
    if (op == "threadid") {
      Window* w = Win(hwnd);
      return json{{"r", w ? w->threadId : 0}};
    }
    if (!Win(hwnd) && op != "deactivateapp") return json{{"r", 0}, {"error", "no such window"}};
  }
  if (op == "showwindow") return json{{"r", (long long)ShowWindow(hwnd, (int)arg(0))}};
  if (op == "setwindowpos")
    return json{{"r", (long long)SetWindowPos(hwnd, (HWND)(intptr_t)arg(0), (int)arg(1), (int)arg(2), (int)arg(3),
                                               (int)arg(4), (UINT)arg(5))}};
  if (op == "setforeground") return json{{"r", (long long)SetForegroundWindow(hwnd)}};
  if (op == "deactivateapp") {
    std::vector<HWND> tops = TopLevelZOrder();
    if (!tops.empty()) RunOnWindowThread(tops.front(), []() -> LRESULT {
        DeactivateApp();
        return 0;
      });
    return json{{"r", 1}};
  }
  if (op == "mouse") {
    // a mouse event at a client point of the window, routed as real input is
    POINT p{(LONG)arg(1), (LONG)arg(2)};
    ClientToScreen(hwnd, &p);
    InjectMouse(GetAncestor(hwnd, GA_ROOT), (UINT)arg(0), p, (int)arg(3));
    return json{{"r", 1}};
  }
  if (op == "devchange" && a.size() >= 12) {
    GUID cls{(decltype(GUID::Data1))arg(1), (unsigned short)arg(2), (unsigned short)arg(3), {}};
    for (int i = 0; i < 8; ++i) cls.Data4[i] = (unsigned char)arg(4 + i);
    return json{{"r", (long long)DeliverDeviceChange(hwnd, (UINT)arg(0), cls, req.value("path", ""))}};
  }
  if (op == "screenshot") {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    RunOnWindowThread(top, [top]() -> LRESULT {
      PaintTopLevelNow(top);
      return 0;
    });
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    bool ok = CaptureWindow(hwnd, &w, &h, &rgba) && WritePng(req.value("path", ""), w, h, rgba);
    return json{{"r", ok ? 1 : 0}, {"width", w}, {"height", h}};
  }
  return json{{"r", 0}, {"error", "unknown request"}};
}

json Handle(const json& req) {
  std::string type = req.value("type", "");
  HWND hwnd = (HWND)(uintptr_t)req.value("hwnd", 0ull);
  UINT msg = req.value("msg", 0u);
  WPARAM wp = (WPARAM)req.value("w", 0ull);
  LPARAM lp = (LPARAM)req.value("l", 0ll);
  if (type == "post") return json{{"r", PostMessageA(hwnd, msg, wp, lp) ? 1 : 0}};
  if (type == "send") {
    std::string text;
    std::vector<char> buffer;
    COPYDATASTRUCT cds{};
    std::vector<uint8_t> data;
    if (req.contains("text")) {
      text = req["text"].get<std::string>();
      lp = (LPARAM)text.c_str();
    }
    if (msg == WM_GETTEXT) {
      buffer.assign(std::max<size_t>(1, wp), 0);
      lp = (LPARAM)buffer.data();
    }
    if (msg == WM_COPYDATA && req.contains("data")) {
      data = Unhex(req["data"].get<std::string>());
      cds.dwData = (ULONG_PTR)req.value("dwData", 0ull);
      cds.cbData = (DWORD)data.size();
      cds.lpData = data.data();
      lp = (LPARAM)&cds;
    }
    bool ok = false;
    LRESULT r = SendLocal(hwnd, msg, wp, lp, INFINITE, &ok);
    json out{{"r", (long long)r}, {"ok", ok}};
    if (msg == WM_GETTEXT) out["text"] = std::string(buffer.data());
    return out;
  }
  if (type == "call") return HandleCall(req);
  return json{{"r", 0}};
}

void Serve(int listenFd) {
  for (;;) {
    int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return;
    }
    std::thread([fd]() {
      json req;
      if (RecvFrame(fd, &req)) SendFrame(fd, Handle(req));
      close(fd);
    }).detach();
  }
}

void RemoveOwnFiles() {
  if (g_serverRoot.empty()) return;
  std::error_code ec;
  fs::remove(fs::path(g_serverRoot) / "station" / (std::to_string(getpid()) + ".json"), ec);
}

void OnMachineChange() {
  Guard g(Lock());
  RemoveOwnFiles();
  if (g_listenFd >= 0) {
    shutdown(g_listenFd, SHUT_RDWR);
    close(g_listenFd);
    g_listenFd = -1;
  }
  g_serverRoot.clear();
}

// Connects to the process that owns a window (-1 when it is gone).
int Connect(DWORD pid) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  socklen_t len;
  sockaddr_un a = Address(pid, &len);
  if (connect(fd, (sockaddr*)&a, len) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends a request and waits for its answer; while waiting, this thread keeps answering
// messages sent to it (so two processes sending to each other do not block).
bool Request(DWORD pid, const json& req, json* resp) {
  int fd = Connect(pid);
  if (fd < 0) return false;
  bool ok = SendFrame(fd, req);
  Queue* q = ThisQueue();
  while (ok) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) > 0) break;
    DispatchSent(q);
    WaitQueue(q, 1000, fd);
  }
  ok = ok && RecvFrame(fd, resp);
  close(fd);
  return ok;
}

std::vector<velno::winstation::WindowInfo> ReadStation(bool includeSelf) {
  std::vector<velno::winstation::WindowInfo> out;
  std::string dir = StationDir();
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    std::string name = e.path().filename().string();
    if (name.size() < 6 || name.substr(name.size() - 5) != ".json" || name.find('.') != name.size() - 5) continue;
    DWORD pid = (DWORD)std::strtoul(name.c_str(), nullptr, 10);
    if (!pid || (!includeSelf && pid == (DWORD)getpid())) continue;
    std::ifstream in(e.path());
    json j = json::parse(in, nullptr, false);
    if (j.is_discarded()) continue;
    if (!Alive(pid, j.value("start", ""))) {
      fs::remove(e.path(), ec);
      fs::remove(fs::path(dir) / (std::to_string(pid) + ".tray.json"), ec);
      continue;
    }
    for (const json& w : j.value("windows", json::array())) {
      velno::winstation::WindowInfo info;
      info.hwnd = (HWND)(uintptr_t)w.value("hwnd", 0ull);
      info.pid = pid;
      info.tid = w.value("tid", 0u);
      info.className = w.value("class", "");
      info.title = w.value("title", "");
      auto r = w.value("rect", std::vector<long>{0, 0, 0, 0});
      info.rect = RECT{(LONG)r[0], (LONG)r[1], (LONG)r[2], (LONG)r[3]};
      info.visible = w.value("visible", false);
      out.push_back(info);
    }
  }
  return out;
}

}  // namespace

std::string StationDir() {
  std::string d = velno::sim::MachineRoot() + "/station";
  std::error_code ec;
  fs::create_directories(d, ec);
  return d;
}

void EnsureStationServer() {
  Guard g(Lock());
  const std::string& root = velno::sim::MachineRoot();
  if (g_listenFd >= 0 && g_serverRoot == root) return;
  static bool registered = false;
  if (!registered) {
    registered = true;
    velno::sim::OnMachineChanged(&OnMachineChange);
  }
  if (!g_atexit) {
    g_atexit = true;
    atexit([] { RemoveOwnFiles(); });
  }
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  socklen_t len;
  sockaddr_un a = Address((DWORD)getpid(), &len);
  if (bind(fd, (sockaddr*)&a, len) != 0 || listen(fd, 64) != 0) {
    close(fd);
    return;
  }
  g_listenFd = fd;
  g_serverRoot = root;
  std::thread(Serve, fd).detach();
}

void StationPublish() {
  Guard g(Lock());
  if (g_serverRoot.empty()) EnsureStationServer();
  if (g_serverRoot.empty()) return;
  json windows = json::array();
  for (HWND h : TopLevelZOrder()) {
    Window* w = Win(h);
    if (!w || !w->created || w->destroying) continue;
    windows.push_back(json{{"hwnd", (unsigned long long)(uintptr_t)h},
                           {"tid", w->threadId},
                           {"class", w->cls->name},
                           {"title", w->text},
                           {"rect", {w->rect.left, w->rect.top, w->rect.right, w->rect.bottom}},
                           {"visible", (w->style & WS_VISIBLE) != 0}});
  }
  json doc{{"pid", getpid()}, {"start", StartTime((DWORD)getpid())}, {"windows", windows}};
  std::string dir = g_serverRoot + "/station";
  std::error_code ec;
  fs::create_directories(dir, ec);
  std::string path = dir + "/" + std::to_string(getpid()) + ".json";
  std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp);
    out << doc.dump();
  }
  fs::rename(tmp, path, ec);
}

std::string StationClassOf(HWND hwnd) {
  for (const auto& w : ReadStation(false))
    if (w.hwnd == hwnd) return w.className;
  return "";
}

std::string StationTitleOf(HWND hwnd) {
  for (const auto& w : ReadStation(false))
    if (w.hwnd == hwnd) return w.title;
  return "";
}

bool StationRectOf(HWND hwnd, RECT* r) {
  for (const auto& w : ReadStation(false))
    if (w.hwnd == hwnd) {
      *r = w.rect;
      return true;
    }
  return false;
}

HWND StationWindowAt(POINT p) {
  for (const auto& w : ReadStation(false))
    if (w.visible && p.x >= w.rect.left && p.x < w.rect.right && p.y >= w.rect.top && p.y < w.rect.bottom) return w.hwnd;
  return nullptr;
}

void StationBroadcast(UINT msg, WPARAM wp, LPARAM lp, bool sendIt) {
  for (const auto& w : ReadStation(false)) {
    bool ok;
    if (sendIt)
      RemoteSend(w.hwnd, msg, wp, lp, &ok);
    else
      RemotePost(w.hwnd, msg, wp, lp);
  }
}

LRESULT RemoteSend(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* ok) {
  json req{{"type", "send"}, {"hwnd", (unsigned long long)(uintptr_t)hwnd}, {"msg", msg}, {"w", (unsigned long long)wp}, {"l", (long long)lp}};
  if (msg == WM_SETTEXT && lp) req["text"] = std::string(reinterpret_cast<const char*>(lp));
  if (msg == WM_COPYDATA && lp) {
    auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    req["dwData"] = (unsigned long long)cds->dwData;
    req["data"] = Hex(cds->lpData, cds->cbData);
  }
  json resp;
  if (!Request(HwndPid(hwnd), req, &resp)) {
    *ok = false;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  *ok = resp.value("ok", false);
  if (!*ok) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  if (msg == WM_GETTEXT && lp && wp) velno::win::CopyN(reinterpret_cast<char*>(lp), resp.value("text", "").c_str(), (int)wp);
  return (LRESULT)resp.value("r", 0ll);
}

bool RemotePost(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  json req{{"type", "post"}, {"hwnd", (unsigned long long)(uintptr_t)hwnd}, {"msg", msg}, {"w", (unsigned long long)wp}, {"l", (long long)lp}};
  json resp;
  if (!Request(HwndPid(hwnd), req, &resp) || !resp.value("r", 0)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  return true;
}

bool RemoteCall(HWND hwnd, const std::string& op, const std::vector<long long>& args, long long* result) {
  json req{{"type", "call"}, {"hwnd", (unsigned long long)(uintptr_t)hwnd}, {"op", op}, {"args", args}};
  json resp;
  if (!Request(HwndPid(hwnd), req, &resp)) return false;
  if (result) *result = resp.value("r", 0ll);
  return !resp.contains("error");
}

void SetForegroundRecord(HWND hwnd) {
  std::string path = StationDir() + "/foreground";
  HWND prev = ForegroundRecord();
  {
    std::string tmp = path + "." + std::to_string(getpid());
    std::ofstream(tmp) << (unsigned long long)(uintptr_t)hwnd;
    std::error_code ec;
    fs::rename(tmp, path, ec);
  }
  if (prev && prev != hwnd && !IsLocalHwnd(prev)) RemoteCall(prev, "deactivateapp", {}, nullptr);
}

HWND ForegroundRecord() {
  std::ifstream in(StationDir() + "/foreground");
  unsigned long long v = 0;
  in >> v;
  HWND h = (HWND)(uintptr_t)v;
  if (!h) return nullptr;
  {
    Guard g(Lock());
    if (Win(h)) return h;
  }
  if (IsLocalHwnd(h)) return nullptr;
  for (const auto& w : ReadStation(false))
    if (w.hwnd == h) return h;
  return nullptr;
}

bool RemoteDeviceChange(HWND hwnd, const std::vector<long long>& args, const std::string& path) {
  json req{{"type", "call"}, {"hwnd", (unsigned long long)(uintptr_t)hwnd}, {"op", "devchange"}, {"args", args}, {"path", path}};
  json resp;
  return Request(HwndPid(hwnd), req, &resp) && !resp.contains("error");
}

}  // namespace velno::win

using namespace velno::win;

namespace velno::winstation {

std::vector<WindowInfo> ListWindows() {
  StationDir();
  std::vector<WindowInfo> out = ReadStation(false);
  Guard g(Lock());
  std::vector<WindowInfo> mine;
  for (HWND h : TopLevelZOrder()) {
    Window* w = Win(h);
    if (!w || !w->created) continue;
    WindowInfo i;
    i.hwnd = h;
    i.pid = (DWORD)getpid();
    i.tid = w->threadId;
    i.className = w->cls->name;
    i.title = w->text;
    i.rect = w->rect;
    i.visible = (w->style & WS_VISIBLE) != 0;
    mine.push_back(i);
  }
  mine.insert(mine.end(), out.begin(), out.end());
  return mine;
}

HWND Resolve(const std::string& hwndOrTitle) {
  char* end = nullptr;
  unsigned long long v = std::strtoull(hwndOrTitle.c_str(), &end, 0);
  if (end && *end == 0 && v) return (HWND)(uintptr_t)v;
  for (const WindowInfo& w : ListWindows())
    if (w.title == hwndOrTitle) return w.hwnd;
  return nullptr;
}

bool Mouse(HWND hwnd, UINT kind, int x, int y, int wheel) {
  {
    Guard g(Lock());
    if (Win(hwnd)) {
      POINT p{x, y};
      Lock().unlock();
      ClientToScreen(hwnd, &p);
      InjectMouse(GetAncestor(hwnd, GA_ROOT), kind, p, wheel);
      Lock().lock();
      return true;
    }
  }
  long long r = 0;
  return RemoteCall(hwnd, "mouse", {(long long)kind, x, y, wheel}, &r) && r;
}

bool Click(HWND hwnd, int x, int y, bool right) {
  return Mouse(hwnd, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, x, y, 0) &&
         Mouse(hwnd, right ? WM_RBUTTONUP : WM_LBUTTONUP, x, y, 0);
}

bool Screenshot(HWND hwnd, const std::string& path) {
  {
    Guard g(Lock());
    if (Win(hwnd)) {
      Lock().unlock();
      HWND top = GetAncestor(hwnd, GA_ROOT);
      RunOnWindowThread(top, [top]() -> LRESULT {
        PaintTopLevelNow(top);
        return 0;
      });
      int w = 0, h = 0;
      std::vector<uint8_t> rgba;
      bool ok = CaptureWindow(hwnd, &w, &h, &rgba) && WritePng(path, w, h, rgba);
      Lock().lock();
      return ok;
    }
  }
  json req{{"type", "call"}, {"hwnd", (unsigned long long)(uintptr_t)hwnd}, {"op", "screenshot"}, {"path", path}};
  json resp;
  return Request(HwndPid(hwnd), req, &resp) && resp.value("r", 0);
}

bool Capture(HWND hwnd, int* width, int* height, std::vector<uint8_t>* rgba) {
  HWND top = GetAncestor(hwnd, GA_ROOT);
  if (!top) return false;
  RunOnWindowThread(top, [top]() -> LRESULT {
    PaintTopLevelNow(top);
    return 0;
  });
  return CaptureWindow(hwnd, width, height, rgba);
}

int Pump(int idleMs, int maxMs) {
  int n = 0;
  DWORD last = Now(), start = last;
  for (;;) {
    MSG m;
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        PostQuitMessage((int)m.wParam);
        return n;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
      ++n;
      last = Now();
      if ((int)(last - start) >= maxMs) return n;
      continue;
    }
    if ((int)(Now() - last) >= idleMs || (int)(Now() - start) >= maxMs) return n;
    int wait = idleMs - (int)(Now() - last);
    int timer = NextTimerWait(ThisQueue());
    if (timer >= 0 && timer < wait) wait = timer;
    WaitQueue(ThisQueue(), std::max(1, wait));
  }
}

void DeactivateThisApp() { DeactivateApp(); }

}  // namespace velno::winstation
