#include "SampleBuffers.h"

#include <stdint.h>

// The block from LocalAlloc is at least pointer-aligned, so the aligned start lies between one
// pointer and one alignment past it; the pointer just before the start keeps the block.
void* AllocateSampleBuffer(size_t bytes) {
  if (bytes > (size_t)-1 - kSampleBufferAlignment) return NULL;
  BYTE* block = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, bytes + kSampleBufferAlignment));
  if (block == NULL) return NULL;
  uintptr_t start = ((uintptr_t)block + kSampleBufferAlignment) & ~(uintptr_t)(kSampleBufferAlignment - 1);
  reinterpret_cast<void**>(start)[-1] = block;
  return reinterpret_cast<void*>(start);
}

void FreeSampleBuffer(void* buffer) {
  if (buffer != NULL) LocalFree(static_cast<void**>(buffer)[-1]);
}
