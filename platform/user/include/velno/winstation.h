// The machine's window station seen from tests and from velnosim (never from system code):
// list every process's top-level windows, inject mouse input as the person at the screen
// would, take screenshots, read the notification area and the message-box log, and queue the
// answers that message boxes and popup menus take when nobody sits at an X11 display.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace velno::winstation {

struct WindowInfo {
  HWND hwnd = nullptr;
  DWORD pid = 0;
  DWORD tid = 0;
  std::string className;
  std::string title;
  RECT rect{};  // screen coordinates
  bool visible = false;
};

// Top-level windows of every process on the machine (this process first).
std::vector<WindowInfo> ListWindows();
// A window named by its handle (decimal or 0x hex) or by its exact title.
HWND Resolve(const std::string& hwndOrTitle);

// One mouse event (WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP,
// WM_MOUSEWHEEL) at a client point of the window, in this or another process. It is routed
// like real input: to the capture holder, else to the child under the point.
bool Mouse(HWND hwnd, UINT kind, int x, int y, int wheel = 0);
// A press and release at a client point.
bool Click(HWND hwnd, int x, int y, bool right = false);

// Paints what is pending, then writes the window (with its children, clipped to its region;
// outside pixels transparent) as a PNG file.
bool Screenshot(HWND hwnd, const std::string& pngPath);
// The same pixels in memory, RGBA, top row first (windows of this process).
bool Capture(HWND hwnd, int* width, int* height, std::vector<uint8_t>* rgba);

// Dispatches this thread's messages until none has arrived for idleMs, or at most maxMs in
// all; returns how many.
int Pump(int idleMs = 30, int maxMs = 10000);
// Makes this process's windows inactive, as when the person switches to another program.
void DeactivateThisApp();

// The notification area.
struct TrayIcon {
  HWND hwnd = nullptr;
  UINT id = 0;
  UINT callbackMessage = 0;
  UINT flags = 0;
  std::string tip;
  bool hasIcon = false;
  DWORD pid = 0;
};
std::vector<TrayIcon> ListTray();
// Posts the icon's callback message with the mouse message (WM_LBUTTONUP, WM_RBUTTONUP,
// WM_LBUTTONDBLCLK, ...) to its window, as the shell does on a click.
bool ClickTray(HWND hwnd, UINT id, UINT mouseMessage);

// Message boxes: answers are taken first-in first-out (IDOK when none is queued); every box
// shown is logged as one JSON object per line (text, caption, type, answer, pid).
void QueueAnswer(const std::string& kind, int answer);  // kind: "messagebox" or "menu"
std::vector<std::string> UiLog(const std::string& kind);

}  // namespace velno::winstation

namespace velno::winstation {
// Device arrival or removal (DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE) of an interface of the
// class: every window that registered for it (RegisterDeviceNotificationA) in any process
// receives WM_DEVICECHANGE with a DEV_BROADCAST_DEVICEINTERFACE_A naming the device path.
// Returns how many windows it reached.
int BroadcastDeviceInterfaceChange(UINT event, const GUID& classGuid, const std::string& devicePath);
}  // namespace velno::winstation
