// The X11 presenter: a real top-level X window for every top-level window, shaped by the
// window region (the X shape extension), showing the window's backbuffer, and feeding pointer
// input from the X server into the message queues.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <poll.h>

#include <thread>
#include <unordered_map>

#include "winsys.h"

namespace velno::win {
namespace {

class X11Presenter : public Presenter {
 public:
  explicit X11Presenter(Display* d) : dpy_(d) {
    screen_ = DefaultScreen(dpy_);
    visual_ = DefaultVisual(dpy_, screen_);
    depth_ = DefaultDepth(dpy_, screen_);
    deleteAtom_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
    int ev, err;
    hasShape_ = XShapeQueryExtension(dpy_, &ev, &err);
    std::thread([this] { EventLoop(); }).detach();
  }

  bool Interactive() const override { return true; }

  void WindowShown(Window* w, bool shown) override {
    ::Window xw = Ensure(w);
    XLockDisplay(dpy_);
    if (shown) {
      XMapRaised(dpy_, xw);
    } else {
      XUnmapWindow(dpy_, xw);
    }
    XFlush(dpy_);
    XUnlockDisplay(dpy_);
    if (shown) WindowDrawn(w);
  }

  void WindowMoved(Window* w) override {
    auto it = xwins_.find(w->hwnd);
    if (it == xwins_.end()) return;
    XLockDisplay(dpy_);
    XMoveResizeWindow(dpy_, it->second, w->rect.left, w->rect.top, std::max(1, (int)(w->rect.right - w->rect.left)),
                      std::max(1, (int)(w->rect.bottom - w->rect.top)));
    XFlush(dpy_);
    XUnlockDisplay(dpy_);
  }

  void WindowShaped(Window* w) override {
    if (!hasShape_) return;
    ::Window xw = Ensure(w);
    XLockDisplay(dpy_);
    if (!w->shape) {
      XShapeCombineMask(dpy_, xw, ShapeBounding, 0, 0, None, ShapeSet);
    } else {
      std::vector<XRectangle> rs;
      for (const RECT& r : w->shape->Rects())
        rs.push_back(XRectangle{(short)r.left, (short)r.top, (unsigned short)(r.right - r.left), (unsigned short)(r.bottom - r.top)});
      XShapeCombineRectangles(dpy_, xw, ShapeBounding, 0, 0, rs.data(), (int)rs.size(), ShapeSet, YXBanded);
    }
    XFlush(dpy_);
    XUnlockDisplay(dpy_);
  }

  void WindowDrawn(Window* w) override {
    auto it = xwins_.find(w->hwnd);
    if (it == xwins_.end() || !w->backbuffer) return;
    Surface& s = *w->backbuffer;
    XLockDisplay(dpy_);
    XImage* img = XCreateImage(dpy_, visual_, depth_, ZPixmap, 0, reinterpret_cast<char*>(s.top), s.width, s.height, 32,
                               (int)s.stride);
    if (img) {
      XPutImage(dpy_, it->second, DefaultGC(dpy_, screen_), img, 0, 0, 0, 0, s.width, s.height);
      img->data = nullptr;
      XDestroyImage(img);
    }
    XFlush(dpy_);
    XUnlockDisplay(dpy_);
  }

  void WindowTitled(Window* w) override {
    auto it = xwins_.find(w->hwnd);
    if (it == xwins_.end()) return;
    XLockDisplay(dpy_);
    XStoreName(dpy_, it->second, w->text.c_str());
    XFlush(dpy_);
    XUnlockDisplay(dpy_);
  }

  void WindowDestroyed(Window* w) override {
    auto it = xwins_.find(w->hwnd);
    if (it == xwins_.end()) return;
    XLockDisplay(dpy_);
    XDestroyWindow(dpy_, it->second);
    XFlush(dpy_);
    XUnlockDisplay(dpy_);
    byX_.erase(it->second);
    xwins_.erase(it);
  }

 private:
  ::Window Ensure(Window* w) {
    auto it = xwins_.find(w->hwnd);
    if (it != xwins_.end()) return it->second;
    XLockDisplay(dpy_);
    XSetWindowAttributes a{};
    // windows without a caption are placed exactly where they ask, undecorated
    bool bare = (w->style & WS_CAPTION) != WS_CAPTION;
    a.override_redirect = bare ? True : False;
    a.background_pixel = BlackPixel(dpy_, screen_);
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | StructureNotifyMask;
    ::Window xw = XCreateWindow(dpy_, RootWindow(dpy_, screen_), w->rect.left, w->rect.top,
                                std::max(1, (int)(w->rect.right - w->rect.left)), std::max(1, (int)(w->rect.bottom - w->rect.top)),
                                0, depth_, InputOutput, visual_, CWOverrideRedirect | CWBackPixel | CWEventMask, &a);
    XStoreName(dpy_, xw, w->text.c_str());
    XSetWMProtocols(dpy_, xw, &deleteAtom_, 1);
    XFlush(dpy_);
    XUnlockDisplay(dpy_);
    xwins_[w->hwnd] = xw;
    byX_[xw] = w->hwnd;
    if (w->shape) WindowShaped(w);
    return xw;
  }

  HWND Find(::Window xw) {
    Guard g(Lock());
    auto it = byX_.find(xw);
    return it == byX_.end() ? nullptr : it->second;
  }

  void EventLoop() {
    int fd = ConnectionNumber(dpy_);
    for (;;) {
      XLockDisplay(dpy_);
      int pending = XPending(dpy_);
      XUnlockDisplay(dpy_);
      if (!pending) {
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 50);
        continue;
      }
      XEvent e;
      XLockDisplay(dpy_);
      XNextEvent(dpy_, &e);
      XUnlockDisplay(dpy_);
      HWND hwnd = Find(e.xany.window);
      if (!hwnd) continue;
      switch (e.type) {
        case Expose:
          if (e.xexpose.count == 0) {
            Guard g(Lock());
            if (Window* w = Win(hwnd)) WindowDrawn(w);
          }
          break;
        case MotionNotify: InjectMouse(hwnd, WM_MOUSEMOVE, POINT{e.xmotion.x_root, e.xmotion.y_root}); break;
        case ButtonPress:
        case ButtonRelease: {
          bool down = e.type == ButtonPress;
          POINT p{e.xbutton.x_root, e.xbutton.y_root};
          switch (e.xbutton.button) {
            case Button1: InjectMouse(hwnd, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, p); break;
            case Button2: InjectMouse(hwnd, down ? WM_MBUTTONDOWN : WM_MBUTTONUP, p); break;
            case Button3: InjectMouse(hwnd, down ? WM_RBUTTONDOWN : WM_RBUTTONUP, p); break;
            case Button4:
              if (down) InjectMouse(hwnd, WM_MOUSEWHEEL, p, WHEEL_DELTA);
              break;
            case Button5:
              if (down) InjectMouse(hwnd, WM_MOUSEWHEEL, p, -WHEEL_DELTA);
              break;
          }
          break;
        }
        case ClientMessage:
          if ((Atom)e.xclient.data.l[0] == deleteAtom_) PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
          break;
      }
    }
  }

  Display* dpy_;
  int screen_;
  Visual* visual_;
  int depth_;
  Atom deleteAtom_;
  bool hasShape_ = false;
  std::unordered_map<HWND, ::Window> xwins_;
  std::unordered_map<::Window, HWND> byX_;
};

}  // namespace

std::unique_ptr<Presenter> MakeX11Presenter() {
  XInitThreads();
  Display* d = XOpenDisplay(nullptr);
  if (!d) return nullptr;
  return std::make_unique<X11Presenter>(d);
}

}  // namespace velno::win
