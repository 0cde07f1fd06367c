// Kernel objects of the platform, for the platform's own modules (never for system code).
//
// Every Win32 handle names an Object in the process's handle table. Waitable objects keep a
// signalled state that WaitForSingleObject / WaitForMultipleObjects observe; file objects
// carry the I/O that CreateFileA opened (plain files on drive C, or device objects that a
// platform module registered under a path prefix).
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

namespace velno::kernel {

class Waitable;
class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;
  virtual const char* TypeName() const = 0;
  // The object as a waitable one (null when it cannot be waited on); cheaper than a cast on
  // the wait path.
  virtual Waitable* AsWaitable() { return nullptr; }
};

// An object that a wait can observe. Signal state changes go through the kernel's dispatcher,
// which wakes the waiters; Satisfy() is called under the dispatcher when a wait consumes the
// signal (auto-reset events reset themselves there).
struct WaitBlock;
class Waitable : public Object {
 public:
  Waitable* AsWaitable() override { return this; }
  virtual bool IsSignalled() const = 0;
  virtual void Satisfy() {}
  // Objects whose state depends on the waiting thread (a mutex its owner may take again).
  virtual bool IsSignalledFor(DWORD threadId) const { return IsSignalled(); }
  virtual void SatisfyFor(DWORD threadId) { Satisfy(); }

 private:
  friend struct Dispatcher;
  WaitBlock* waitList_ = nullptr;  // the waits blocked on this object (dispatcher lock)
};

// Changes a waitable object's state: change(context) runs under the dispatcher lock (keep it
// short; it must not call back into the kernel), then every wait that the new state satisfies
// completes. Allocates nothing.
void UpdateState(Waitable& object, void (*change)(void* context), void* context);
template <class F>
void UpdateState(Waitable& object, F&& change) {
  using Fn = std::remove_reference_t<F>;
  UpdateState(
      object, [](void* c) { (*static_cast<Fn*>(c))(); }, const_cast<void*>(static_cast<const void*>(&change)));
}

// Puts an object into the handle table; the returned handle keeps it alive until CloseHandle.
HANDLE InsertHandle(std::shared_ptr<Object> object);

// Looks a handle up (the low two bits of a handle value are ignored, as on Windows).
// Null when the handle is not open or names an object of another type.
std::shared_ptr<Object> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> Lookup(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// A file object: what ReadFile, WriteFile, DeviceIoControl and CancelIo reach.
// Each operation returns the Win32 error (ERROR_SUCCESS, ERROR_IO_PENDING, ...) and, when it
// completes at once, the byte count. An operation that returns ERROR_IO_PENDING completes later
// through CompleteOverlapped from any thread.
class FileObject : public Object {
 public:
  const char* TypeName() const override { return "File"; }
  virtual DWORD Read(void* buffer, DWORD size, DWORD* transferred, OVERLAPPED* overlapped);
  virtual DWORD Write(const void* buffer, DWORD size, DWORD* transferred, OVERLAPPED* overlapped);
  virtual DWORD IoControl(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* transferred,
                          OVERLAPPED* overlapped);
  virtual void CancelIo() {}
  virtual DWORD Size(DWORD* high);
  // Flags given to CreateFileA (FILE_FLAG_OVERLAPPED decides whether I/O may pend).
  DWORD openFlags = 0;
  DWORD access = 0;
};

// Finishes an overlapped request: stores the status and byte count in the OVERLAPPED and
// signals its event (when hEvent is set; its low bit is ignored).
void CompleteOverlapped(OVERLAPPED* overlapped, DWORD error, DWORD transferred);

// Opens a device path. Returns the object, or null with *error set (ERROR_FILE_NOT_FOUND,
// ERROR_SHARING_VIOLATION, ...).
using DeviceOpener = std::function<std::shared_ptr<FileObject>(const std::string& path, DWORD access,
                                                               DWORD shareMode, DWORD flags, DWORD* error)>;
// Paths that start with the prefix (compared case-insensitively), e.g. "\\?\usb#", go to the
// opener instead of drive C.
void RegisterDeviceNamespace(const std::string& prefix, DeviceOpener opener);

// The machine's debug output, where OutputDebugStringA appends: one line per line of text,
// "HH:MM:SS.mmm<TAB>process id<TAB>process name<TAB>text".
std::string DebugOutputPath();

}  // namespace velno::kernel
