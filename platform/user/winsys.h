// The window system's shared internals: regions, pixel surfaces, GDI objects, windows and
// per-thread message queues. Used by the user, gdi, comctl and shell modules only.
#pragma once
#include <commctrl.h>
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velno::win {

// ---------------------------------------------------------------- the one lock
// Every window, queue and GDI object is guarded by this lock. It is never held while a
// window procedure, timer procedure or dialog procedure runs.
std::recursive_mutex& Lock();
using Guard = std::lock_guard<std::recursive_mutex>;

DWORD ThisThreadId();
// lstrcpyn: copies at most max-1 characters and always terminates (max > 0).
inline char* CopyN(char* dst, const char* src, int max) {
  if (!dst || max <= 0) return dst;
  int i = 0;
  for (; src && i < max - 1 && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}
DWORD Now();  // milliseconds, the message time base

// ---------------------------------------------------------------- regions
// A set of pixels stored as y-x banded rectangles: bands sorted top to bottom, rectangles in a
// band sorted left to right, no overlaps, touching rectangles in a band merged, and vertically
// adjacent bands with identical spans merged. Two equal pixel sets have equal rectangle lists.
class Region {
 public:
  Region() = default;
  explicit Region(const RECT& r);
  static Region FromRects(const std::vector<RECT>& rects);
  static Region Combine(const Region& a, const Region& b, int mode);
  bool Empty() const { return rects_.empty(); }
  bool Contains(int x, int y) const;
  bool Intersects(const RECT& r) const;
  RECT Box() const;
  int Kind() const { return rects_.empty() ? NULLREGION : rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION; }
  void Offset(int dx, int dy);
  const std::vector<RECT>& Rects() const { return rects_; }
  bool operator==(const Region& o) const;
  Region Intersect(const RECT& r) const { return Combine(*this, Region(r), RGN_AND); }
  Region Union(const Region& o) const { return Combine(*this, o, RGN_OR); }
  Region Subtract(const Region& o) const { return Combine(*this, o, RGN_DIFF); }

 private:
  std::vector<RECT> rects_;
};

// ---------------------------------------------------------------- pixel surfaces
// Pixels of a bitmap: 1, 24 or 32 bits per pixel, rows reached through a signed stride so
// that bottom-up DIBs are addressed top row first like any other surface.
struct Surface {
  int width = 0;
  int height = 0;
  int bpp = 32;
  uint8_t* top = nullptr;  // first byte of the top row
  ptrdiff_t stride = 0;    // bytes from one row to the row below it
  std::vector<uint8_t> storage;
  RGBQUAD palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};

  void Allocate(int w, int h, int bitsPerPixel, bool bottomUp = false);
  uint8_t* Row(int y) const { return top + y * stride; }
  COLORREF Get(int x, int y) const;
  void Put(int x, int y, COLORREF c);
  // 32-bit BGRX value of a pixel (alpha byte as stored, 0 for other depths).
  uint32_t GetRaw32(int x, int y) const;
  void PutRaw32(int x, int y, uint32_t v);
  static int StrideFor(int w, int bitsPerPixel) { return ((w * bitsPerPixel + 31) / 32) * 4; }
};

inline uint32_t ToBgrx(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
inline COLORREF FromBgrx(uint32_t v) { return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF); }

// ---------------------------------------------------------------- GDI objects
struct GdiObject {
  explicit GdiObject(DWORD t) : type(t) {}
  virtual ~GdiObject() = default;
  DWORD type;  // OBJ_*
  bool stock = false;
  HANDLE handle = nullptr;
};

struct BitmapObject : GdiObject {
  BitmapObject() : GdiObject(OBJ_BITMAP) {}
  Surface surface;
  bool dib = false;
  BITMAPINFOHEADER header{};
  HDC selectedInto = nullptr;
};

struct BrushObject : GdiObject {
  BrushObject() : GdiObject(OBJ_BRUSH) {}
  UINT style = BS_SOLID;
  COLORREF color = 0;
  int sysColor = -1;  // a system colour brush
};

struct PenObject : GdiObject {
  PenObject() : GdiObject(OBJ_PEN) {}
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct RealFont;  // a FreeType face at a pixel size (text.cpp)
struct FontObject : GdiObject {
  FontObject() : GdiObject(OBJ_FONT) {}
  LOGFONTA lf{};
  std::shared_ptr<RealFont> real;
};

struct RegionObject : GdiObject {
  RegionObject() : GdiObject(OBJ_REGION) {}
  Region region;
};

// Where a DC draws: the surface, the origin of the DC's device space on it, and the visible
// region (in surface coordinates) that every drawing operation is clipped to.
struct DrawTarget {
  Surface* surface = nullptr;
  POINT origin{0, 0};
  Region visible;
  HWND top = nullptr;  // the top-level window whose backbuffer is drawn (window DCs)
  bool valid() const { return surface != nullptr; }
};
struct DcState {
  HGDIOBJ bitmap = nullptr, brush = nullptr, pen = nullptr, font = nullptr;
  COLORREF textColor = RGB(0, 0, 0), bkColor = RGB(255, 255, 255);
  COLORREF dcBrushColor = RGB(255, 255, 255), dcPenColor = RGB(0, 0, 0);
  int bkMode = OPAQUE;
  UINT textAlign = 0;
  int stretchMode = BLACKONWHITE;
  int rop2 = R2_COPYPEN;
  POINT viewportOrg{0, 0};
  POINT windowOrg{0, 0};
  POINT current{0, 0};
  std::optional<Region> clip;  // application clip, in device coordinates
};

struct DcObject : GdiObject {
  DcObject() : GdiObject(OBJ_DC) {}
  bool memory = false;
  HWND hwnd = nullptr;    // window DC: the window it draws on
  bool whole = false;     // GetWindowDC: origin at the window's corner
  bool paint = false;     // from BeginPaint
  std::optional<Region> paintClip;  // update region during BeginPaint, device coordinates
  DcState state;
  std::vector<DcState> saved;
  uint64_t targetGen = 0;  // the cached target below is valid for this geometry generation
  DrawTarget cached;
};

template <class T>
T* Gdi(HGDIOBJ h);  // looks a GDI object up (caller holds the lock); null when absent or of another type
HGDIOBJ InsertGdi(std::unique_ptr<GdiObject> obj);
GdiObject* LookupGdi(HGDIOBJ h);

bool ResolveTarget(DcObject* dc, DrawTarget* out);  // window DCs (user module), lock held
bool ResolveDc(DcObject* dc, DrawTarget* out);      // any DC, lock held
void TargetChanged(const DrawTarget& t);            // tells the presenter what was drawn

HBITMAP CreateBitmapFromDib(const BITMAPINFO* info, const void* bits, bool keepDib);
HFONT StockFont(int index);
COLORREF SysColor(int index);

// Text (text.cpp): measure and draw with a font object (null: the DC's default font).
SIZE MeasureText(FontObject* font, const char* text, int count);
void DrawTextRun(DcObject* dc, int x, int y, const char* text, int count);  // lock held
struct FontMetrics {
  int ascent, descent, height, internalLeading, aveWidth, maxWidth;
};
FontMetrics MetricsOf(FontObject* font);
FontObject* DcFont(DcObject* dc);

// ---------------------------------------------------------------- windows
struct Queue;

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int clsExtra = 0, wndExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr, iconSm = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  std::string menuName;
  bool system = false;  // registered by the platform (Button, Static, ...)
  std::vector<uint8_t> extra;
};

struct Window {
  HWND hwnd = nullptr;
  std::shared_ptr<WindowClass> cls;
  DWORD style = 0, exStyle = 0;
  std::string text;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // top-level windows
  std::vector<HWND> children;  // z-order, topmost first
  RECT rect{};                 // window rectangle: parent client coordinates (child) or screen (top-level)
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;  // control id (children) or menu (top-level)
  std::vector<uint8_t> extra;
  DWORD threadId = 0;
  Queue* queue = nullptr;
  Region update;  // client coordinates
  bool erase = false;
  bool internalPaint = false;
  bool ncPaint = false;
  std::optional<Region> shape;  // window region, window coordinates
  bool destroying = false;
  bool created = false;
  std::map<std::string, HANDLE> props;
  std::unique_ptr<Surface> backbuffer;  // top-level windows: what the presenter shows
  HICON iconBig = nullptr, iconSmall = nullptr;
  bool topmost = false;
  bool isDialog = false;
  bool redraw = true;
  void* presenterData = nullptr;
};

Window* Win(HWND h);  // lock held; null when the window does not exist in this process
bool IsTop(const Window* w);
Window* TopOf(Window* w);
// Client rectangle origin relative to the window rectangle's corner, and client size.
RECT ClientArea(const Window* w);  // in window coordinates
POINT ClientOriginScreen(const Window* w);
POINT WindowOriginScreen(const Window* w);
std::vector<HWND> TopLevelZOrder();  // this process, topmost first
bool IsVisibleChain(const Window* w);
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);    // on the window's thread (sends when needed); lock not held
LRESULT DirectProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);  // calls the procedure on this thread
extern uint64_t g_geometryGen;  // bumped by every change of window geometry, visibility, region or Z order
void DestroyThreadWindows(DWORD tid);
HWND NewHwnd();
bool IsLocalHwnd(HWND h);
DWORD HwndPid(HWND h);
// Window rectangle changed: resize the backbuffer, tell the station and the presenter.
void TopLevelChanged(Window* w);

// ---------------------------------------------------------------- queues
struct InputEvent {
  UINT kind;  // WM_MOUSEMOVE, WM_LBUTTONDOWN, ... WM_MOUSEWHEEL
  POINT screen;
  int wheel = 0;
  DWORD time = 0;
  WORD keys = 0;  // MK_* after the event
};

struct SentMessage {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
  bool done = false;
  bool replied = false;
  bool notify = false;  // SendNotifyMessage: nobody waits
  Queue* sender = nullptr;
  std::function<LRESULT()> call;  // run on the receiving thread instead of a window procedure
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  DWORD due;
  TIMERPROC proc;
};

struct Queue {
  DWORD tid = 0;
  int wakeFd = -1;  // eventfd
  std::deque<MSG> posted;
  std::deque<InputEvent> input;
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::vector<std::shared_ptr<SentMessage>> receiving;  // being handled, innermost last
  std::vector<Timer> timers;
  bool quit = false;
  int quitCode = 0;
  HWND capture = nullptr;
  HWND focus = nullptr;
  HWND active = nullptr;
  DWORD lastTime = 0;
  POINT lastPos{0, 0};
  WORD keyState = 0;  // MK_* as of the last input message retrieved
  int trackingLeave = 0;
  HWND hoverWindow = nullptr;
  void Wake();
};

Queue* ThisQueue();          // creates the calling thread's queue
Queue* QueueOf(DWORD tid);   // lock held
// Waits until the queue is woken or the time-out passes (lock not held); extraFd also wakes it.
void WaitQueue(Queue* q, int timeoutMs, int extraFd = -1);
int NextTimerWait(Queue* q);  // ms until the thread's next timer is due (-1: none)
// Runs every message sent to this thread that is waiting (lock not held).
bool DispatchSent(Queue* q);
// Sends within this process: same thread directly, another thread through its queue.
LRESULT SendLocal(HWND hwnd, UINT msg, WPARAM w, LPARAM l, DWORD timeoutMs = INFINITE, bool* ok = nullptr);
// Runs fn on the thread that owns the window (directly when that is this thread).
LRESULT RunOnWindowThread(HWND hwnd, std::function<LRESULT()> fn);
bool PostLocal(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
void PostInput(Queue* q, const InputEvent& e);

// ---------------------------------------------------------------- input and activation
extern std::atomic<WORD> g_asyncButtons;  // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON as pressed now
extern POINT g_cursor;
// Delivers one mouse event at a screen point to the window under it (or holding the capture).
void InjectMouse(HWND topOrNull, UINT kind, POINT screen, int wheel = 0);
bool TranslateInput(Queue* q, const InputEvent& e, MSG* out);  // lock not held
void ActivateWindow(HWND hwnd, bool byClick);
void DeactivateApp();
void OnWindowGone(Window* w);  // capture, focus, activation cleanup (lock held)

// ---------------------------------------------------------------- painting
void InvalidateWindow(Window* w, const Region* rgnClient, bool erase, bool children);  // lock held
void PaintTopLevelNow(HWND top);
bool FindPaintWindow(Queue* q, HWND filter, HWND* out);  // lock held
void FlushPresent(HWND top);  // the top-level's backbuffer changed

// ---------------------------------------------------------------- station (cross-process)
void StationPublish();  // writes this process's top-level windows to the station
LRESULT RemoteSend(HWND hwnd, UINT msg, WPARAM w, LPARAM l, bool* ok);
bool RemotePost(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
bool RemoteCall(HWND hwnd, const std::string& op, const std::vector<long long>& args, long long* result);
void EnsureStationServer();
std::string StationClassOf(HWND hwnd);
std::string StationTitleOf(HWND hwnd);
HWND FindLocalTop(LPCSTR className, LPCSTR title);
bool StationRectOf(HWND hwnd, RECT* rect);
HWND StationWindowAt(POINT screen);
void StationBroadcast(UINT msg, WPARAM w, LPARAM l, bool send);
void ReorderTop(HWND hwnd, HWND after);
LRESULT DeliverDeviceChange(HWND hwnd, UINT event, const GUID& cls, const std::string& name);
void SetForegroundRecord(HWND hwnd);
HWND ForegroundRecord();

// ---------------------------------------------------------------- presenters
struct Presenter {
  virtual ~Presenter() = default;
  virtual void WindowShown(Window* w, bool shown) = 0;
  virtual void WindowMoved(Window* w) = 0;
  virtual void WindowShaped(Window* w) = 0;
  virtual void WindowDrawn(Window* w) = 0;
  virtual void WindowDestroyed(Window* w) = 0;
  virtual void WindowTitled(Window* w) {}
  virtual bool Interactive() const { return false; }
};
Presenter* ThePresenter();
std::unique_ptr<Presenter> MakeX11Presenter();  // null when no display can be opened

// Composes a window (with its children, as drawn) into an RGBA image; pixels outside the
// window region are transparent.
bool CaptureWindow(HWND hwnd, int* width, int* height, std::vector<uint8_t>* rgba);
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);

// ---------------------------------------------------------------- controls and dialogs
void RegisterSystemClasses();  // Button, Static, Edit, ComboBox, #32770, common controls
// Classes registered while one of these exists belong to the system (an application may
// register its own class of the same name over them).
struct SystemClassScope {
  SystemClassScope();
  ~SystemClassScope();
};
bool RegisteringSystemClass();
void RegisterCommonControls();
LRESULT CALLBACK DialogWndProc(HWND, UINT, WPARAM, LPARAM);
// Standard modal loop used by dialogs and message boxes: runs until *done.
void ModalLoop(HWND dialog, const bool* done);

// ---------------------------------------------------------------- resources
struct Resource {
  std::string type;  // "#2" for integer types, else the name upper-cased
  std::string name;
  const uint8_t* data;
  size_t size;
};
const Resource* FindRes(HINSTANCE module, LPCSTR name, LPCSTR type);
HICON IconFromIco(const uint8_t* data, size_t size, int cx, int cy);
std::string ResKey(LPCSTR nameOrId);

// ---------------------------------------------------------------- icons
struct IconObject {
  int width = 0, height = 0;
  std::vector<uint32_t> bgra;  // premultiplied-free BGRA, top row first
  POINT hotspot{0, 0};
  bool icon = true;
  bool shared = false;
};
IconObject* IconOf(HICON h);
HICON InsertIcon(std::unique_ptr<IconObject> icon);

// ---------------------------------------------------------------- menus
struct MenuItem {
  UINT flags;
  UINT_PTR id;
  std::string text;
  HMENU sub = nullptr;
};
struct MenuObject {
  bool popup = true;
  std::vector<MenuItem> items;
};
MenuObject* MenuOf(HMENU h);

// ---------------------------------------------------------------- machine answers
// Next answer queued for a message box or a menu ("" when none is queued).
std::string TakeAnswer(const char* kind);
void LogUi(const char* kind, const std::string& jsonLine);
std::string StationDir();

}  // namespace velno::win
