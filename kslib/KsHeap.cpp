// The library's private heap, created on first use, and the helpers that work on its blocks.
#include "KsCommon.h"

namespace {
HANDLE volatile g_heap = NULL;

HANDLE Heap() {
  HANDLE heap = g_heap;
  if (heap != NULL) return heap;
  HANDLE created = HeapCreate(0, 0, 0);
  if (created == NULL) return NULL;
  HANDLE previous = InterlockedCompareExchangePointer(const_cast<PVOID volatile*>(&g_heap), created, NULL);
  if (previous != NULL) {
    HeapDestroy(created);
    return previous;
  }
  return created;
}
}  // namespace

void* KsHeapAlloc(SIZE_T bytes) {
  HANDLE heap = Heap();
  return heap != NULL ? HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes != 0 ? bytes : 1) : NULL;
}

void KsHeapFree(void* memory) {
  if (memory != NULL) HeapFree(Heap(), 0, memory);
}

void KsCopyText(char* destination, size_t destinationSize, const char* source) {
  if (destination == NULL || destinationSize == 0) return;
  size_t length = source != NULL ? strlen(source) : 0;
  if (length > destinationSize - 1) length = destinationSize - 1;
  if (length != 0) memcpy(destination, source, length);
  destination[length] = '\0';
}

void KsTakeItems(PKSMULTIPLE_ITEM buffer, ULONG itemSize, CKsPropertyItems* items) {
  items->buffer = buffer;
  items->count = 0;
  items->size = 0;
  if (buffer == NULL || buffer->Size < sizeof(KSMULTIPLE_ITEM)) return;
  // GetPropertyMulti has already cut Size to the bytes that were really returned.
  items->size = buffer->Size - sizeof(KSMULTIPLE_ITEM);
  items->count = buffer->Count;
  if (itemSize != 0 && items->count > items->size / itemSize) items->count = items->size / itemSize;
}

void KsFreeItems(CKsPropertyItems* items) {
  KsHeapFree(items->buffer);
  items->buffer = NULL;
  items->count = 0;
  items->size = 0;
}
