#include "SampleCopy.h"

#include <string.h>

namespace {

// Fixed-size copies let the compiler turn each sample into one load and one store.
template <size_t S>
void Interleave(BYTE* frames, size_t stride, const BYTE* host, size_t count) {
  for (size_t i = 0; i < count; ++i) memcpy(frames + i * stride, host + i * S, S);
}

template <size_t S>
void Deinterleave(BYTE* host, const BYTE* frames, size_t stride, size_t count) {
  for (size_t i = 0; i < count; ++i) memcpy(host + i * S, frames + i * stride, S);
}

inline bool IsDopMarker(BYTE m) { return m == 0x05 || m == 0xFA || m == 0xAA; }

}  // namespace

void InterleaveChannel(BYTE* frames, size_t stride, const BYTE* host, size_t sampleSize, size_t count) {
  switch (sampleSize) {
    case 2: Interleave<2>(frames, stride, host, count); break;
    case 3: Interleave<3>(frames, stride, host, count); break;
    case 4: Interleave<4>(frames, stride, host, count); break;
    default:
      for (size_t i = 0; i < count; ++i) memcpy(frames + i * stride, host + i * sampleSize, sampleSize);
      break;
  }
}

void DeinterleaveChannel(BYTE* host, const BYTE* frames, size_t stride, size_t sampleSize, size_t count) {
  switch (sampleSize) {
    case 2: Deinterleave<2>(host, frames, stride, count); break;
    case 3: Deinterleave<3>(host, frames, stride, count); break;
    case 4: Deinterleave<4>(host, frames, stride, count); break;
    default:
      for (size_t i = 0; i < count; ++i) memcpy(host + i * sampleSize, frames + i * stride, sampleSize);
      break;
  }
}

bool InterleaveChannelScanningDop(BYTE* frames, size_t stride, const BYTE* host, size_t sampleSize, size_t count) {
  InterleaveChannel(frames, stride, host, sampleSize, count);
  if (count < 2 || sampleSize == 0) return false;
  const size_t top = sampleSize - 1;  // the marker is the most significant byte
  BYTE expected = host[top];
  if (!IsDopMarker(expected)) return false;
  const bool perSample = expected != host[sampleSize + top];
  bool odd = false;
  for (size_t i = 0; i < count; ++i) {
    BYTE m = host[i * sampleSize + top];
    if (!IsDopMarker(m)) return false;
    if (!odd) {
      if (i != 0 && expected != 0xAA) expected = (BYTE)(0xFF - expected);
    } else if (perSample && expected != 0xAA) {
      expected = (BYTE)(0xFF - expected);
    }
    if (m != expected) return false;
    odd = !odd;
  }
  return true;
}
