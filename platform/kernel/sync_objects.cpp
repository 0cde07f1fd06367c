// Events, mutexes and semaphores, unnamed or named (names are shared within the process).
#include <map>
#include <mutex>
#include <string>

#include "kernel_internal.h"

namespace velno::kernel {

DWORD CurrentThreadId();

namespace {

class Event : public Waitable {
 public:
  Event(bool manual, bool initial) : manual_(manual), signalled_(initial) {}
  const char* TypeName() const override { return "Event"; }
  bool IsSignalled() const override { return signalled_; }
  void Satisfy() override {
    if (!manual_) signalled_ = false;
  }
  bool manual_;
  bool signalled_;
};

class Mutex : public Waitable {
 public:
  const char* TypeName() const override { return "Mutant"; }
  bool IsSignalled() const override { return owner_ == 0; }
  bool IsSignalledFor(DWORD threadId) const override { return owner_ == 0 || owner_ == threadId; }
  void SatisfyFor(DWORD threadId) override {
    owner_ = threadId;
    ++recursion_;
  }
  DWORD owner_ = 0;
  unsigned recursion_ = 0;
};

class Semaphore : public Waitable {
 public:
  Semaphore(LONG initial, LONG maximum) : count_(initial), maximum_(maximum) {}
  const char* TypeName() const override { return "Semaphore"; }
  bool IsSignalled() const override { return count_ > 0; }
  void Satisfy() override { --count_; }
  LONG count_;
  LONG maximum_;
};

// Named objects of this process: a name keeps naming its object while any handle is open.
std::mutex g_namesLock;
std::map<std::string, std::weak_ptr<Object>>& Names() {
  static auto* names = new std::map<std::string, std::weak_ptr<Object>>;
  return *names;
}

// Creates or opens a named object. `make` builds a new one; an existing object of another
// type fails with ERROR_INVALID_HANDLE, as on Windows.
template <class T, class Make>
HANDLE CreateNamed(LPCSTR name, Make make) {
  if (!name || !*name) {
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(make());
  }
  std::lock_guard<std::mutex> guard(g_namesLock);
  auto& names = Names();
  auto it = names.find(name);
  if (it != names.end()) {
    if (auto existing = it->second.lock()) {
      if (!std::dynamic_pointer_cast<T>(existing)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
      }
      HANDLE h = InsertHandle(existing);
      SetLastError(ERROR_ALREADY_EXISTS);
      return h;
    }
  }
  std::shared_ptr<T> object = make();
  names[name] = object;
  SetLastError(ERROR_SUCCESS);
  return InsertHandle(object);
}

template <class T>
HANDLE OpenNamed(LPCSTR name) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(g_namesLock);
  auto it = Names().find(name);
  std::shared_ptr<Object> existing = it != Names().end() ? it->second.lock() : nullptr;
  if (!existing) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (!std::dynamic_pointer_cast<T>(existing)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return InsertHandle(existing);
}

template <class T>
std::shared_ptr<T> Get(HANDLE h) {
  auto object = Lookup<T>(h);
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

}  // namespace
}  // namespace velno::kernel

using namespace velno::kernel;

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
  return CreateNamed<Event>(name, [&] { return std::make_shared<Event>(manualReset != FALSE, initialState != FALSE); });
}

HANDLE WINAPI OpenEventA(DWORD, BOOL, LPCSTR name) { return OpenNamed<Event>(name); }

BOOL WINAPI SetEvent(HANDLE h) {
  auto event = Get<Event>(h);
  if (!event) return FALSE;
  UpdateState(*event, [&] { event->signalled_ = true; });
  return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE h) {
  auto event = Get<Event>(h);
  if (!event) return FALSE;
  std::lock_guard<std::mutex> guard(Dispatcher::Lock());
  event->signalled_ = false;
  return TRUE;
}

// Releases the waits blocked right now (all of them for a manual-reset event, one for an
// auto-reset event) and leaves the event unsignalled.
BOOL WINAPI PulseEvent(HANDLE h) {
  auto event = Get<Event>(h);
  if (!event) return FALSE;
  std::lock_guard<std::mutex> guard(Dispatcher::Lock());
  event->signalled_ = true;
  Dispatcher::WakeWaiters(*event);
  event->signalled_ = false;
  return TRUE;
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  return CreateNamed<Mutex>(name, [&] {
    auto m = std::make_shared<Mutex>();
    if (initialOwner) {
      m->owner_ = CurrentThreadId();
      m->recursion_ = 1;
    }
    return m;
  });
}

BOOL WINAPI ReleaseMutex(HANDLE h) {
  auto mutex = Get<Mutex>(h);
  if (!mutex) return FALSE;
  DWORD self = CurrentThreadId();
  bool owned = false;
  UpdateState(*mutex, [&] {
    if (mutex->owner_ != self || mutex->recursion_ == 0) return;
    owned = true;
    if (--mutex->recursion_ == 0) mutex->owner_ = 0;
  });
  if (!owned) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}

HANDLE WINAPI CreateSemaphoreA(LPSECURITY_ATTRIBUTES, LONG initial, LONG maximum, LPCSTR name) {
  if (maximum <= 0 || initial < 0 || initial > maximum) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateNamed<Semaphore>(name, [&] { return std::make_shared<Semaphore>(initial, maximum); });
}

BOOL WINAPI ReleaseSemaphore(HANDLE h, LONG release, LPLONG previous) {
  auto semaphore = Get<Semaphore>(h);
  if (!semaphore) return FALSE;
  if (release <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool tooMany = false;
  LONG before = 0;
  UpdateState(*semaphore, [&] {
    before = semaphore->count_;
    if (release > semaphore->maximum_ - semaphore->count_) {
      tooMany = true;
      return;
    }
    semaphore->count_ += release;
  });
  if (tooMany) {
    SetLastError(ERROR_TOO_MANY_POSTS);
    return FALSE;
  }
  if (previous) *previous = before;
  return TRUE;
}

namespace velno::kernel {

std::shared_ptr<Waitable> LookupEvent(HANDLE handle) { return Lookup<Event>(handle); }

void SignalEvent(Waitable& event) {
  auto& e = static_cast<Event&>(event);
  UpdateState(e, [&] { e.signalled_ = true; });
}

void ClearEvent(Waitable& event) {
  std::lock_guard<std::mutex> guard(Dispatcher::Lock());
  static_cast<Event&>(event).signalled_ = false;
}

}  // namespace velno::kernel
