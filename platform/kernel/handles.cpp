// The process's handle table. Handle values are multiples of four starting at 4, as on
// Windows; a lookup ignores the low two bits, which callers may use as tags (an event handle
// with bit 0 set still names the event).
#include <deque>
#include <mutex>
#include <vector>

#include "kernel_internal.h"

namespace velno::kernel {

// The objects behind GetCurrentProcess() and GetCurrentThread() (threads.cpp).
std::shared_ptr<Object> PseudoHandleObject(HANDLE handle);

namespace {

struct Table {
  std::mutex lock;
  std::vector<std::shared_ptr<Object>> slots;
  std::deque<uint32_t> free;  // reused oldest first, so a stale handle stays invalid a while
};

Table& TheTable() {
  static Table* table = new Table;  // never destroyed: handles may be closed during exit
  return *table;
}

bool IsPseudoHandle(HANDLE h) {
  auto v = reinterpret_cast<intptr_t>(h);
  return v == -1 || v == -2;
}

// Index of a handle value in the table, or SIZE_MAX for values that cannot be a handle.
size_t IndexOf(HANDLE h) {
  auto v = reinterpret_cast<uintptr_t>(h) & ~uintptr_t{3};
  if (v == 0 || v > (uintptr_t{1} << 32)) return SIZE_MAX;
  return v / 4 - 1;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<Object> object) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  size_t index;
  if (!t.free.empty()) {
    index = t.free.front();
    t.free.pop_front();
    t.slots[index] = std::move(object);
  } else {
    index = t.slots.size();
    t.slots.push_back(std::move(object));
  }
  return reinterpret_cast<HANDLE>((index + 1) * 4);
}

std::shared_ptr<Object> LookupHandle(HANDLE handle) {
  if (IsPseudoHandle(handle)) return PseudoHandleObject(handle);
  size_t index = IndexOf(handle);
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  if (index >= t.slots.size()) return nullptr;
  return t.slots[index];
}

bool LookupWaitables(DWORD count, const HANDLE* handles, std::shared_ptr<Waitable>* out) {
  Table& t = TheTable();
  bool ok = true;
  {
    std::lock_guard<std::mutex> guard(t.lock);
    for (DWORD i = 0; i < count && ok; ++i) {
      if (IsPseudoHandle(handles[i])) continue;
      size_t index = IndexOf(handles[i]);
      Object* object = index < t.slots.size() ? t.slots[index].get() : nullptr;
      Waitable* waitable = object ? object->AsWaitable() : nullptr;
      if (!waitable) {
        ok = false;
        break;
      }
      out[i] = std::shared_ptr<Waitable>(t.slots[index], waitable);
    }
  }
  for (DWORD i = 0; i < count && ok; ++i) {
    if (!IsPseudoHandle(handles[i])) continue;
    out[i] = std::dynamic_pointer_cast<Waitable>(PseudoHandleObject(handles[i]));
    if (!out[i]) ok = false;
  }
  return ok;
}

}  // namespace velno::kernel

using namespace velno::kernel;

BOOL WINAPI CloseHandle(HANDLE h) {
  if (IsPseudoHandle(h)) return TRUE;  // closing a pseudo-handle has no effect
  size_t index = IndexOf(h);
  std::shared_ptr<Object> object;  // released outside the table lock
  {
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    if (index < t.slots.size() && t.slots[index]) {
      object = std::move(t.slots[index]);
      t.slots[index].reset();
      t.free.push_back(static_cast<uint32_t>(index));
    }
  }
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DuplicateHandle(HANDLE srcProcess, HANDLE src, HANDLE dstProcess, LPHANDLE dst, DWORD access,
                            BOOL inherit, DWORD options) {
  // Only this process's own handles can be duplicated, into this process.
  if (LookupHandle(srcProcess) != LookupHandle(GetCurrentProcess()) ||
      LookupHandle(dstProcess) != LookupHandle(GetCurrentProcess()) || !dst) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::shared_ptr<Object> object = LookupHandle(src);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *dst = InsertHandle(object);
  if (options & DUPLICATE_CLOSE_SOURCE) CloseHandle(src);
  return TRUE;
}
