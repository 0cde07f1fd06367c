#include "ModuleState.h"

HINSTANCE g_moduleInstance = NULL;
HANDLE g_privateHeap = NULL;
LONG volatile g_objectCount = 0;
LONG volatile g_lockCount = 0;

void* PrivateAlloc(SIZE_T bytes) {
  if (g_privateHeap == NULL) return NULL;
  return HeapAlloc(g_privateHeap, HEAP_ZERO_MEMORY, bytes);
}

void PrivateFree(void* memory) {
  if (memory != NULL && g_privateHeap != NULL) HeapFree(g_privateHeap, 0, memory);
}
