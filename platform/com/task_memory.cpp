// COM task memory: what one side allocates and the other frees (strings, arrays out of COM).
#include <windows.h>

#include <cstdlib>

LPVOID WINAPI CoTaskMemAlloc(SIZE_T bytes) { return malloc(bytes ? bytes : 1); }

LPVOID WINAPI CoTaskMemRealloc(LPVOID mem, SIZE_T bytes) {
  if (!mem) return CoTaskMemAlloc(bytes);
  if (bytes == 0) {
    free(mem);
    return nullptr;
  }
  return realloc(mem, bytes);
}

void WINAPI CoTaskMemFree(LPVOID mem) { free(mem); }
