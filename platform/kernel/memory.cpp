// Heaps and the local and global memory functions. Every block is its own malloc, so the
// address sanitizer sees each overflow and leak exactly as it would for the block itself.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "kernel_internal.h"

namespace velno::kernel {
namespace {

class Heap {
 public:
  ~Heap() {
    for (auto& [block, size] : blocks) free(block);
  }
  std::mutex lock;
  std::unordered_map<void*, size_t> blocks;
};

std::mutex g_heapsLock;
std::unordered_set<Heap*>& Heaps() {
  static auto* heaps = new std::unordered_set<Heap*>;
  return *heaps;
}

Heap* ProcessHeap() {
  static Heap* heap = [] {
    auto* h = new Heap;
    std::lock_guard<std::mutex> guard(g_heapsLock);
    Heaps().insert(h);
    return h;
  }();
  return heap;
}

// The heap behind a handle, or null (heap handles are not kernel handles, as on Windows).
Heap* HeapOf(HANDLE h) {
  ProcessHeap();
  std::lock_guard<std::mutex> guard(g_heapsLock);
  auto* heap = static_cast<Heap*>(h);
  return Heaps().count(heap) ? heap : nullptr;
}

void* NewBlock(size_t bytes, bool zero) {
  size_t n = bytes ? bytes : 1;  // a zero-byte request still yields a unique block
  return zero ? calloc(1, n) : malloc(n);
}

// Local and global memory: fixed blocks are their own handles; moveable blocks are reached
// through a handle and locked to get their address.
struct Moveable {
  void* data = nullptr;
  size_t size = 0;
  unsigned locks = 0;
};

std::mutex g_memLock;
std::unordered_map<void*, size_t>& FixedBlocks() {
  static auto* blocks = new std::unordered_map<void*, size_t>;
  return *blocks;
}
std::unordered_map<void*, Moveable*>& MoveableBlocks() {
  static auto* blocks = new std::unordered_map<void*, Moveable*>;
  return *blocks;
}

constexpr UINT kMoveable = 0x0002;  // LMEM_MOVEABLE == GMEM_MOVEABLE
constexpr UINT kZeroInit = 0x0040;  // LMEM_ZEROINIT == GMEM_ZEROINIT
constexpr UINT kModify = 0x0080;    // LMEM_MODIFY == GMEM_MODIFY

HANDLE MemAlloc(UINT flags, SIZE_T bytes) {
  void* data = NewBlock(bytes, flags & kZeroInit);
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(g_memLock);
  if (flags & kMoveable) {
    auto* m = new Moveable{data, bytes, 0};
    MoveableBlocks()[m] = m;
    return m;
  }
  FixedBlocks()[data] = bytes;
  return data;
}

HANDLE MemFree(HANDLE mem) {
  if (!mem) return nullptr;
  void* data = nullptr;
  Moveable* m = nullptr;
  {
    std::lock_guard<std::mutex> guard(g_memLock);
    auto mit = MoveableBlocks().find(mem);
    if (mit != MoveableBlocks().end()) {
      m = mit->second;
      data = m->data;
      MoveableBlocks().erase(mit);
    } else {
      auto fit = FixedBlocks().find(mem);
      if (fit == FixedBlocks().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
      }
      data = mem;
      FixedBlocks().erase(fit);
    }
  }
  free(data);
  delete m;
  return nullptr;
}

void* MemLock(HANDLE mem) {
  std::lock_guard<std::mutex> guard(g_memLock);
  auto mit = MoveableBlocks().find(mem);
  if (mit != MoveableBlocks().end()) {
    ++mit->second->locks;
    return mit->second->data;
  }
  if (FixedBlocks().count(mem)) return mem;
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

BOOL MemUnlock(HANDLE mem) {
  std::lock_guard<std::mutex> guard(g_memLock);
  auto mit = MoveableBlocks().find(mem);
  if (mit == MoveableBlocks().end()) {
    // A fixed block has no lock count: it reads as unlocked.
    SetLastError(FixedBlocks().count(mem) ? NO_ERROR : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Moveable* m = mit->second;
  if (m->locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--m->locks > 0) return TRUE;
  SetLastError(NO_ERROR);
  return FALSE;
}

SIZE_T MemSize(HANDLE mem) {
  std::lock_guard<std::mutex> guard(g_memLock);
  auto mit = MoveableBlocks().find(mem);
  if (mit != MoveableBlocks().end()) return mit->second->size;
  auto fit = FixedBlocks().find(mem);
  if (fit != FixedBlocks().end()) return fit->second;
  SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}

// Copies a block into a new one of the new size (zeroing the growth when asked).
void* Resized(void* old, size_t oldSize, size_t bytes, bool zero) {
  void* data = NewBlock(bytes, zero);
  if (!data) return nullptr;
  memcpy(data, old, oldSize < bytes ? oldSize : bytes);
  return data;
}

HANDLE MemReAlloc(HANDLE mem, SIZE_T bytes, UINT flags) {
  std::unique_lock<std::mutex> guard(g_memLock);
  bool zero = flags & kZeroInit;
  auto mit = MoveableBlocks().find(mem);
  if (mit != MoveableBlocks().end()) {
    Moveable* m = mit->second;
    if (flags & kModify) return mem;
    void* data = Resized(m->data, m->size, bytes, zero);
    if (!data) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    free(m->data);
    m->data = data;
    m->size = bytes;
    return mem;
  }
  auto fit = FixedBlocks().find(mem);
  if (fit == FixedBlocks().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (flags & kModify) return mem;
  // A fixed block may move only when the caller allows it (the MOVEABLE flag).
  if (bytes > fit->second && !(flags & kMoveable)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  size_t oldSize = fit->second;
  void* data = Resized(mem, oldSize, bytes, zero);
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  FixedBlocks().erase(fit);
  FixedBlocks()[data] = bytes;
  free(mem);
  return data;
}

}  // namespace
}  // namespace velno::kernel

using namespace velno::kernel;

HANDLE WINAPI HeapCreate(DWORD, SIZE_T, SIZE_T) {
  auto* heap = new Heap;
  std::lock_guard<std::mutex> guard(g_heapsLock);
  Heaps().insert(heap);
  return heap;
}

BOOL WINAPI HeapDestroy(HANDLE h) {
  Heap* heap = HeapOf(h);
  if (!heap || heap == ProcessHeap()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(g_heapsLock);
    Heaps().erase(heap);
  }
  delete heap;  // frees every block still allocated
  return TRUE;
}

HANDLE WINAPI GetProcessHeap(void) { return ProcessHeap(); }

LPVOID WINAPI HeapAlloc(HANDLE h, DWORD flags, SIZE_T bytes) {
  Heap* heap = HeapOf(h);
  if (!heap) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* block = NewBlock(bytes, flags & HEAP_ZERO_MEMORY);
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(heap->lock);
  heap->blocks[block] = bytes;
  return block;
}

LPVOID WINAPI HeapReAlloc(HANDLE h, DWORD flags, LPVOID mem, SIZE_T bytes) {
  Heap* heap = HeapOf(h);
  if (!heap || !mem) {
    SetLastError(heap ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(heap->lock);
  auto it = heap->blocks.find(mem);
  if (it == heap->blocks.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  size_t oldSize = it->second;
  if (flags & HEAP_REALLOC_IN_PLACE_ONLY) {
    if (bytes > oldSize) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    it->second = bytes;
    return mem;
  }
  void* block = Resized(mem, oldSize, bytes, flags & HEAP_ZERO_MEMORY);
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  heap->blocks.erase(it);
  heap->blocks[block] = bytes;
  free(mem);
  return block;
}

BOOL WINAPI HeapFree(HANDLE h, DWORD, LPVOID mem) {
  Heap* heap = HeapOf(h);
  if (!heap) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!mem) return TRUE;
  {
    std::lock_guard<std::mutex> guard(heap->lock);
    if (!heap->blocks.erase(mem)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  free(mem);
  return TRUE;
}

SIZE_T WINAPI HeapSize(HANDLE h, DWORD, LPCVOID mem) {
  Heap* heap = HeapOf(h);
  if (heap) {
    std::lock_guard<std::mutex> guard(heap->lock);
    auto it = heap->blocks.find(const_cast<void*>(mem));
    if (it != heap->blocks.end()) return it->second;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return SIZE_T(-1);
}

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) { return MemAlloc(flags, bytes); }
HLOCAL WINAPI LocalFree(HLOCAL mem) { return MemFree(mem); }
HLOCAL WINAPI LocalReAlloc(HLOCAL mem, SIZE_T bytes, UINT flags) { return MemReAlloc(mem, bytes, flags); }
LPVOID WINAPI LocalLock(HLOCAL mem) { return MemLock(mem); }
BOOL WINAPI LocalUnlock(HLOCAL mem) { return MemUnlock(mem); }
SIZE_T WINAPI LocalSize(HLOCAL mem) { return MemSize(mem); }
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) { return MemAlloc(flags, bytes); }
HGLOBAL WINAPI GlobalFree(HGLOBAL mem) { return MemFree(mem); }
HGLOBAL WINAPI GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) { return MemReAlloc(mem, bytes, flags); }
LPVOID WINAPI GlobalLock(HGLOBAL mem) { return MemLock(mem); }
BOOL WINAPI GlobalUnlock(HGLOBAL mem) { return MemUnlock(mem); }
SIZE_T WINAPI GlobalSize(HGLOBAL mem) { return MemSize(mem); }
