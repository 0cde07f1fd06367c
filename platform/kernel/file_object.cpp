// File objects and their I/O: ReadFile, WriteFile, DeviceIoControl, GetOverlappedResult,
// CancelIo, GetFileSize; overlapped completion; the device namespaces that CreateFileA serves.
//
// OVERLAPPED.Internal holds STATUS_PENDING while a request is in flight and a completion code
// afterwards (0 for success, otherwise the Win32 error with the top bits set, so that no error
// can read as STATUS_PENDING); InternalHigh holds the byte count.
#include <strings.h>

#include <climits>
#include <mutex>
#include <vector>

#include "kernel_internal.h"

namespace velno::kernel {
namespace {

constexpr ULONG_PTR kErrorTag = 0xE0000000u;

ULONG_PTR EncodeStatus(DWORD error) { return error == ERROR_SUCCESS ? 0 : (kErrorTag | error); }
DWORD DecodeStatus(ULONG_PTR status) { return status == 0 ? ERROR_SUCCESS : DWORD(status & ~kErrorTag); }

// Bumped at every completion, for waits on requests without an event; the wake-up is only
// issued while such a wait is blocked.
std::atomic<uint32_t> g_completions{0};
std::atomic<int> g_completionWaiters{0};

struct DeviceNamespace {
  std::string prefix;
  DeviceOpener opener;
};
std::mutex g_namespacesLock;
std::vector<DeviceNamespace>& Namespaces() {
  static auto* namespaces = new std::vector<DeviceNamespace>;
  return *namespaces;
}

// The event a synchronous handle's pending request is waited on: one per thread.
struct ThreadIoEvent {
  HANDLE handle = nullptr;
  ~ThreadIoEvent() {
    if (handle) CloseHandle(handle);
  }
  HANDLE Get() {
    if (!handle) handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return handle;
  }
};
thread_local ThreadIoEvent t_ioEvent;

void BeginRequest(OVERLAPPED* overlapped) {
  overlapped->InternalHigh = 0;
  __atomic_store_n(&overlapped->Internal, ULONG_PTR{STATUS_PENDING}, __ATOMIC_RELEASE);
  if (overlapped->hEvent)
    if (auto event = LookupEvent(overlapped->hEvent)) ClearEvent(*event);
}

// Runs one request on a file object with the Win32 rules for overlapped and synchronous
// handles. `op` performs it with the OVERLAPPED the object may keep until it completes.
template <class Op>
BOOL Request(HANDLE h, LPDWORD transferred, LPOVERLAPPED overlapped, Op op) {
  auto file = Lookup<FileObject>(h);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD count = 0;
  DWORD error;
  if (file->openFlags & FILE_FLAG_OVERLAPPED) {
    if (!overlapped) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    BeginRequest(overlapped);
    error = op(*file, &count, overlapped);
    if (error == ERROR_IO_PENDING) {
      if (transferred) *transferred = 0;
      SetLastError(ERROR_IO_PENDING);
      return FALSE;
    }
    CompleteOverlapped(overlapped, error, count);
  } else {
    // A synchronous handle: a request that pends is waited for here.
    OVERLAPPED own = {};
    if (overlapped) {
      own.Offset = overlapped->Offset;
      own.OffsetHigh = overlapped->OffsetHigh;
    }
    own.hEvent = t_ioEvent.Get();
    BeginRequest(&own);
    error = op(*file, &count, &own);
    if (error == ERROR_IO_PENDING) {
      WaitForSingleObject(own.hEvent, INFINITE);
      error = DecodeStatus(__atomic_load_n(&own.Internal, __ATOMIC_ACQUIRE));
      count = DWORD(own.InternalHigh);
    }
    if (overlapped) {
      BeginRequest(overlapped);
      CompleteOverlapped(overlapped, error, count);
    }
  }
  if (transferred) *transferred = count;
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

}  // namespace

DWORD FileObject::Read(void*, DWORD, DWORD*, OVERLAPPED*) { return ERROR_INVALID_FUNCTION; }
DWORD FileObject::Write(const void*, DWORD, DWORD*, OVERLAPPED*) { return ERROR_INVALID_FUNCTION; }
DWORD FileObject::IoControl(DWORD, void*, DWORD, void*, DWORD, DWORD*, OVERLAPPED*) { return ERROR_INVALID_FUNCTION; }
DWORD FileObject::Size(DWORD* high) {
  if (high) *high = 0;
  return INVALID_FILE_SIZE;
}

void CompleteOverlapped(OVERLAPPED* overlapped, DWORD error, DWORD transferred) {
  // Take what we need from the OVERLAPPED before publishing the result: once Internal says
  // complete, its owner may reuse or free it.
  std::shared_ptr<Waitable> event = overlapped->hEvent ? LookupEvent(overlapped->hEvent) : nullptr;
  overlapped->InternalHigh = transferred;
  __atomic_store_n(&overlapped->Internal, EncodeStatus(error), __ATOMIC_RELEASE);
  if (event) SignalEvent(*event);
  g_completions.fetch_add(1, std::memory_order_seq_cst);
  if (g_completionWaiters.load(std::memory_order_seq_cst) > 0) FutexWake(g_completions, INT_MAX);
}

void RegisterDeviceNamespace(const std::string& prefix, DeviceOpener opener) {
  std::lock_guard<std::mutex> guard(g_namespacesLock);
  for (auto& ns : Namespaces()) {
    if (strcasecmp(ns.prefix.c_str(), prefix.c_str()) == 0) {
      ns.opener = std::move(opener);
      return;
    }
  }
  Namespaces().push_back({prefix, std::move(opener)});
}

bool FindDeviceOpener(const std::string& path, DeviceOpener* opener) {
  std::lock_guard<std::mutex> guard(g_namespacesLock);
  for (const auto& ns : Namespaces()) {
    if (path.size() >= ns.prefix.size() && strncasecmp(path.c_str(), ns.prefix.c_str(), ns.prefix.size()) == 0) {
      *opener = ns.opener;
      return true;
    }
  }
  return false;
}

}  // namespace velno::kernel

using namespace velno::kernel;

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
  return Request(file, read, overlapped, [&](FileObject& f, DWORD* n, OVERLAPPED* o) {
    return f.Read(buffer, toRead, n, o);
  });
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped) {
  return Request(file, written, overlapped, [&](FileObject& f, DWORD* n, OVERLAPPED* o) {
    return f.Write(buffer, toWrite, n, o);
  });
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                            LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
  return Request(device, bytesReturned, overlapped, [&](FileObject& f, DWORD* n, OVERLAPPED* o) {
    return f.IoControl(code, in, inSize, out, outSize, n, o);
  });
}

BOOL WINAPI GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait) {
  if (!overlapped) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (__atomic_load_n(&overlapped->Internal, __ATOMIC_ACQUIRE) == STATUS_PENDING) {
    if (!wait) {
      SetLastError(ERROR_IO_INCOMPLETE);
      return FALSE;
    }
    if (overlapped->hEvent) {
      if (WaitForSingleObject(overlapped->hEvent, INFINITE) == WAIT_FAILED) return FALSE;
    } else {
      g_completionWaiters.fetch_add(1, std::memory_order_seq_cst);
      for (;;) {
        uint32_t seen = g_completions.load(std::memory_order_seq_cst);
        if (__atomic_load_n(&overlapped->Internal, __ATOMIC_SEQ_CST) != STATUS_PENDING) break;
        FutexWait(g_completions, seen, UINT64_MAX);
      }
      g_completionWaiters.fetch_sub(1, std::memory_order_seq_cst);
    }
  }
  ULONG_PTR status = __atomic_load_n(&overlapped->Internal, __ATOMIC_ACQUIRE);
  if (transferred) *transferred = DWORD(overlapped->InternalHigh);
  DWORD error = DecodeStatus(status);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI CancelIo(HANDLE file) {
  auto f = Lookup<FileObject>(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  f->CancelIo();
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  auto f = Lookup<FileObject>(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  SetLastError(ERROR_SUCCESS);
  DWORD size = f->Size(sizeHigh);
  if (size == INVALID_FILE_SIZE && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_INVALID_FUNCTION);
  return size;
}
