// Module-wide state of a driver module: its handle, its private heap and the object and
// lock counts that DllCanUnloadNow reports.
#pragma once
#include <windows.h>

extern HINSTANCE g_moduleInstance;
extern HANDLE g_privateHeap;
extern LONG volatile g_objectCount;
extern LONG volatile g_lockCount;

// Zero-filled memory from the module's private heap (null when the heap is gone or full).
void* PrivateAlloc(SIZE_T bytes);
void PrivateFree(void* memory);
