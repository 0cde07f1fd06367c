// Zero-filled sample buffers (host halves, packets) that start on a cache line, so that the
// copies' wide stores never straddle two lines.
#pragma once
#include <windows.h>

#include <stddef.h>

enum { kSampleBufferAlignment = 64 };

// NULL when the memory is not there.
void* AllocateSampleBuffer(size_t bytes);
// Accepts NULL.
void FreeSampleBuffer(void* buffer);
