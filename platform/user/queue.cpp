// Message queues: one per thread, with Windows' retrieval order (sent messages, posted
// messages, the quit flag, input, paint, timers), sending within and across threads, posting,
// and timers.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "winsys.h"

namespace velno::win {
namespace {

std::unordered_map<DWORD, Queue*>& Queues() {
  static auto* q = new std::unordered_map<DWORD, Queue*>;
  return *q;
}

// Ends a thread's queue with the thread: its windows are destroyed, senders waiting on it are
// released with a zero result.
struct QueueOwner {
  Queue* q = nullptr;
  ~QueueOwner() {
    if (!q) return;
    DestroyThreadWindows(q->tid);
    Guard g(Lock());
    for (auto& m : q->sent) {
      m->done = true;
      if (m->sender) m->sender->Wake();
    }
    q->sent.clear();
    Queues().erase(q->tid);
    close(q->wakeFd);
    delete q;
  }
};
thread_local QueueOwner t_owner;

UINT_PTR g_nextTimerId = 0x7FF0;

bool InRange(UINT msg, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi); }

bool MatchesWindow(HWND target, HWND filter) {
  if (!filter) return true;
  if (filter == (HWND)-1) return target == nullptr;
  if (target == filter) return true;
  Window* w = Win(target);
  while (w && w->parent) {
    if (w->parent == filter) return true;
    w = Win(w->parent);
  }
  return false;
}

bool InputInRange(UINT kind, UINT lo, UINT hi) {
  if (lo == 0 && hi == 0) return true;
  // mouse messages may become client or non-client messages; accept when either is wanted
  UINT nc = kind == WM_MOUSEMOVE ? WM_NCMOUSEMOVE : kind == WM_LBUTTONDOWN ? WM_NCLBUTTONDOWN
          : kind == WM_LBUTTONUP   ? WM_NCLBUTTONUP : kind == WM_RBUTTONDOWN ? WM_NCRBUTTONDOWN
          : kind == WM_RBUTTONUP   ? WM_NCRBUTTONUP : kind;
  return InRange(kind, lo, hi) || InRange(nc, lo, hi);
}

}  // namespace

void Queue::Wake() {
  uint64_t one = 1;
  ssize_t r = write(wakeFd, &one, sizeof one);
  (void)r;
}

Queue* ThisQueue() {
  if (t_owner.q) return t_owner.q;
  Queue* q = new Queue;
  q->tid = ThisThreadId();
  q->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  {
    Guard g(Lock());
    Queues()[q->tid] = q;
  }
  t_owner.q = q;
  return q;
}

Queue* QueueOf(DWORD tid) {
  auto it = Queues().find(tid);
  return it == Queues().end() ? nullptr : it->second;
}

void WaitQueue(Queue* q, int timeoutMs, int extraFd) {
  pollfd fds[2] = {{q->wakeFd, POLLIN, 0}, {extraFd, POLLIN, 0}};
  int r = poll(fds, extraFd >= 0 ? 2 : 1, timeoutMs);
  if (r > 0 && (fds[0].revents & POLLIN)) {
    uint64_t v;
    ssize_t n = read(q->wakeFd, &v, sizeof v);
    (void)n;
  }
}

bool DispatchSent(Queue* q) {
  bool any = false;
  for (;;) {
    std::shared_ptr<SentMessage> m;
    {
      Guard g(Lock());
      if (q->sent.empty()) break;
      m = q->sent.front();
      q->sent.pop_front();
      q->receiving.push_back(m);
    }
    LRESULT r = m->call ? m->call() : DirectProc(m->hwnd, m->msg, m->wParam, m->lParam);
    {
      Guard g(Lock());
      q->receiving.erase(std::find(q->receiving.begin(), q->receiving.end(), m));
      if (!m->replied) {
        m->result = r;
        m->done = true;
        if (m->sender) m->sender->Wake();
      }
    }
    any = true;
  }
  return any;
}

static LRESULT SendThroughQueue(Queue* target, std::shared_ptr<SentMessage> m, DWORD timeoutMs, bool* ok) {
  Queue* me = ThisQueue();
  m->sender = me;
  {
    Guard g(Lock());
    target->sent.push_back(m);
  }
  target->Wake();
  DWORD start = Now();
  for (;;) {
    {
      Guard g(Lock());
      if (m->done) break;
    }
    // While waiting, this thread keeps answering messages sent to it.
    DispatchSent(me);
    {
      Guard g(Lock());
      if (m->done) break;
    }
    int wait = -1;
    if (timeoutMs != INFINITE) {
      DWORD spent = Now() - start;
      if (spent >= timeoutMs) {
        Guard g(Lock());
        if (Queue* t = QueueOf(target->tid)) {
          auto it = std::find(t->sent.begin(), t->sent.end(), m);
          if (it != t->sent.end()) t->sent.erase(it);
        }
        m->sender = nullptr;
        if (ok) *ok = false;
        SetLastError(ERROR_TIMEOUT);
        return 0;
      }
      wait = (int)(timeoutMs - spent);
    }
    WaitQueue(me, wait);
  }
  if (ok) *ok = true;
  return m->result;
}

LRESULT SendLocal(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD timeoutMs, bool* ok) {
  Queue* target;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) {
      if (ok) *ok = false;
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    target = w->queue;
  }
  if (target == ThisQueue()) {
    if (ok) *ok = true;
    return DirectProc(hwnd, msg, wp, lp);
  }
  auto m = std::make_shared<SentMessage>();
  m->hwnd = hwnd;
  m->msg = msg;
  m->wParam = wp;
  m->lParam = lp;
  return SendThroughQueue(target, m, timeoutMs, ok);
}

LRESULT RunOnWindowThread(HWND hwnd, std::function<LRESULT()> fn) {
  Queue* target;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return 0;
    target = w->queue;
  }
  if (target == ThisQueue()) return fn();
  auto m = std::make_shared<SentMessage>();
  m->hwnd = hwnd;
  m->msg = WM_NULL;
  m->wParam = 0;
  m->lParam = 0;
  m->call = std::move(fn);
  return SendThroughQueue(target, m, INFINITE, nullptr);
}

bool PostLocal(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Queue* q;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return false;
    }
    q = w->queue;
    MSG m{hwnd, msg, wp, lp, Now(), g_cursor};
    q->posted.push_back(m);
  }
  q->Wake();
  return true;
}

void PostInput(Queue* q, const InputEvent& e) {
  {
    Guard g(Lock());
    q->input.push_back(e);
  }
  q->Wake();
}

// One pass over the queue in retrieval order; true when a message was produced.
static bool Fetch(Queue* q, MSG* msg, HWND hwnd, UINT lo, UINT hi, bool remove) {
  DispatchSent(q);
  {
    Guard g(Lock());
    for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
      if ((InRange(it->message, lo, hi) || it->message == WM_QUIT) && MatchesWindow(it->hwnd, hwnd)) {
        *msg = *it;
        if (remove) q->posted.erase(it);
        q->lastTime = msg->time;
        q->lastPos = msg->pt;
        return true;
      }
    }
    if (q->quit) {
      *msg = MSG{nullptr, WM_QUIT, (WPARAM)q->quitCode, 0, Now(), g_cursor};
      if (remove) q->quit = false;
      return true;
    }
  }
  for (;;) {
    InputEvent e;
    {
      Guard g(Lock());
      if (q->input.empty() || !InputInRange(q->input.front().kind, lo, hi)) break;
      e = q->input.front();
      if (remove) q->input.pop_front();
    }
    MSG m;
    if (TranslateInput(q, e, &m)) {
      if (MatchesWindow(m.hwnd, hwnd) && InRange(m.message, lo, hi)) {
        *msg = m;
        Guard g(Lock());
        q->lastTime = m.time;
        q->lastPos = m.pt;
        q->keyState = e.keys;
        return true;
      }
      if (!remove) break;
    }
    if (!remove) break;
  }
  {
    Guard g(Lock());
    HWND pw;
    if (InRange(WM_PAINT, lo, hi) && FindPaintWindow(q, hwnd, &pw)) {
      *msg = MSG{pw, WM_PAINT, 0, 0, Now(), g_cursor};
      return true;
    }
    DWORD now = Now();
    for (Timer& t : q->timers) {
      if ((int32_t)(now - t.due) >= 0 && InRange(WM_TIMER, lo, hi) && MatchesWindow(t.hwnd, hwnd)) {
        *msg = MSG{t.hwnd, WM_TIMER, t.id, (LPARAM)t.proc, now, g_cursor};
        if (remove) t.due = now + t.elapse;
        return true;
      }
    }
  }
  return false;
}

int NextTimerWait(Queue* q) {
  Guard g(Lock());
  if (q->timers.empty()) return -1;
  DWORD now = Now();
  int best = INT32_MAX;
  for (const Timer& t : q->timers) best = std::min(best, std::max(0, (int)(int32_t)(t.due - now)));
  return best;
}

}  // namespace velno::win

using namespace velno::win;

extern "C" {

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT lo, UINT hi) {
  if (!msg) return -1;
  if (hwnd && hwnd != (HWND)-1 && !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  Queue* q = ThisQueue();
  for (;;) {
    if (Fetch(q, msg, hwnd, lo, hi, true)) return msg->message != WM_QUIT;
    WaitQueue(q, NextTimerWait(q));
  }
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT lo, UINT hi, UINT flags) {
  if (!msg) return FALSE;
  return Fetch(ThisQueue(), msg, hwnd, lo, hi, (flags & PM_REMOVE) != 0);
}

BOOL WINAPI WaitMessage(void) {
  Queue* q = ThisQueue();
  MSG m;
  if (Fetch(q, &m, nullptr, 0, 0, false)) return TRUE;
  WaitQueue(q, NextTimerWait(q));
  return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  return msg && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN);
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    TIMERPROC proc = (TIMERPROC)msg->lParam;
    proc(msg->hwnd, WM_TIMER, msg->wParam, Now());
    return 0;
  }
  if (!msg->hwnd) return 0;
  {
    Guard g(Lock());
    Window* w = Win(msg->hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (w->threadId != ThisThreadId()) return 0;
  }
  return DirectProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!hwnd) return PostThreadMessageA(ThisThreadId(), msg, wp, lp);
  if (hwnd == HWND_BROADCAST) {
    for (HWND h : TopLevelZOrder()) PostLocal(h, msg, wp, lp);
    StationBroadcast(msg, wp, lp, false);
    return TRUE;
  }
  {
    Guard g(Lock());
    if (Win(hwnd)) return PostLocal(hwnd, msg, wp, lp);
  }
  if (!IsLocalHwnd(hwnd)) return RemotePost(hwnd, msg, wp, lp);
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return FALSE;
}

BOOL WINAPI PostThreadMessageA(DWORD tid, UINT msg, WPARAM wp, LPARAM lp) {
  Queue* q;
  {
    Guard g(Lock());
    q = QueueOf(tid);
    if (!q) {
      SetLastError(1444);  // ERROR_INVALID_THREAD_ID
      return FALSE;
    }
    q->posted.push_back(MSG{nullptr, msg, wp, lp, Now(), g_cursor});
  }
  q->Wake();
  return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (hwnd == HWND_BROADCAST) {
    for (HWND h : TopLevelZOrder()) SendLocal(h, msg, wp, lp);
    StationBroadcast(msg, wp, lp, true);
    return 0;
  }
  {
    Guard g(Lock());
    if (!Win(hwnd)) {
      if (hwnd && !IsLocalHwnd(hwnd)) {
        Lock().unlock();
        bool ok = false;
        LRESULT r = RemoteSend(hwnd, msg, wp, lp, &ok);
        Lock().lock();
        return r;
      }
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
  }
  return SendLocal(hwnd, msg, wp, lp);
}

LRESULT WINAPI SendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT flags, UINT timeout,
                                   PDWORD_PTR result) {
  bool ok = false;
  LRESULT r;
  {
    Guard g(Lock());
    if (!Win(hwnd) && hwnd && !IsLocalHwnd(hwnd)) {
      Lock().unlock();
      r = RemoteSend(hwnd, msg, wp, lp, &ok);
      Lock().lock();
      if (result) *result = (DWORD_PTR)r;
      return ok;
    }
  }
  r = SendLocal(hwnd, msg, wp, lp, timeout, &ok);
  if (result) *result = (DWORD_PTR)r;
  return ok ? 1 : 0;
}

BOOL WINAPI SendNotifyMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Queue* target;
  {
    Guard g(Lock());
    Window* w = Win(hwnd);
    if (!w) return !IsLocalHwnd(hwnd) && RemotePost(hwnd, msg, wp, lp);
    target = w->queue;
  }
  if (target == ThisQueue()) {
    DirectProc(hwnd, msg, wp, lp);
    return TRUE;
  }
  auto m = std::make_shared<SentMessage>();
  m->hwnd = hwnd;
  m->msg = msg;
  m->wParam = wp;
  m->lParam = lp;
  m->notify = true;
  {
    Guard g(Lock());
    target->sent.push_back(m);
  }
  target->Wake();
  return TRUE;
}

BOOL WINAPI InSendMessage(void) {
  Guard g(Lock());
  Queue* q = ThisQueue();
  return !q->receiving.empty() && !q->receiving.back()->notify;
}

BOOL WINAPI ReplyMessage(LRESULT result) {
  Guard g(Lock());
  Queue* q = ThisQueue();
  if (q->receiving.empty()) return FALSE;
  auto& m = q->receiving.back();
  if (m->replied) return FALSE;
  m->replied = true;
  m->result = result;
  m->done = true;
  if (m->sender) m->sender->Wake();
  return TRUE;
}

void WINAPI PostQuitMessage(int code) {
  Queue* q = ThisQueue();
  {
    Guard g(Lock());
    q->quit = true;
    q->quitCode = code;
  }
  q->Wake();
}

DWORD WINAPI GetMessagePos(void) {
  Queue* q = ThisQueue();
  Guard g(Lock());
  return (DWORD)MAKELONG((short)q->lastPos.x, (short)q->lastPos.y);
}

LONG WINAPI GetMessageTime(void) {
  Queue* q = ThisQueue();
  Guard g(Lock());
  return (LONG)q->lastTime;
}

DWORD WINAPI GetQueueStatus(UINT flags) {
  Queue* q = ThisQueue();
  Guard g(Lock());
  DWORD st = 0;
  if (!q->posted.empty()) st |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
  if (!q->sent.empty()) st |= QS_SENDMESSAGE;
  for (const InputEvent& e : q->input) st |= e.kind == WM_MOUSEMOVE ? QS_MOUSEMOVE : QS_MOUSEBUTTON;
  HWND pw;
  if (FindPaintWindow(q, nullptr, &pw)) st |= QS_PAINT;
  DWORD now = Now();
  for (const Timer& t : q->timers)
    if ((int32_t)(now - t.due) >= 0) st |= QS_TIMER;
  return MAKELONG(st & flags, st & flags);
}

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // The same name gives the same message in every process of the machine.
  uint32_t h = 2166136261u;
  for (const char* p = name; *p; ++p) {
    h ^= (uint8_t)tolower((unsigned char)*p);
    h *= 16777619u;
  }
  return 0xC000 + (h % 0x3FFF);
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  Queue* q;
  {
    Guard g(Lock());
    if (hwnd) {
      Window* w = Win(hwnd);
      if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
      }
      q = w->queue;
    } else {
      q = ThisQueue();
      // thread timers: a fresh id unless an existing thread timer is named
      bool exists = false;
      for (const Timer& t : q->timers) exists |= (!t.hwnd && t.id == id && id);
      if (!exists) id = g_nextTimerId++;
    }
    elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    for (Timer& t : q->timers)
      if (t.hwnd == hwnd && t.id == id) {
        t.elapse = elapse;
        t.due = Now() + elapse;
        t.proc = proc;
        q->Wake();
        return hwnd ? (id ? id : 1) : id;
      }
    q->timers.push_back(Timer{hwnd, id, elapse, Now() + elapse, proc});
  }
  q->Wake();
  return hwnd ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
  Guard g(Lock());
  Queue* q = nullptr;
  if (hwnd) {
    Window* w = Win(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    q = w->queue;
  } else {
    q = ThisQueue();
  }
  auto& ts = q->timers;
  auto it = std::find_if(ts.begin(), ts.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == ts.end()) {
    SetLastError(1402);  // ERROR_INVALID_TIMER_HANDLE... as user32 reports an unknown timer
    return FALSE;
  }
  ts.erase(it);
  // a WM_TIMER already in the queue for it is removed too
  auto& ps = q->posted;
  ps.erase(std::remove_if(ps.begin(), ps.end(), [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id; }), ps.end());
  return TRUE;
}

}  // extern "C"
