#include "SampleCopy.h"

#include "SampleCopyKernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VELNO_SSE2 1
#endif
#include <stdint.h>
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

CopyPath BestCopies(CopyPath wanted) {
  if (wanted >= kWideCopies && WideKernels() != NULL) return kWideCopies;
  if (wanted >= kShuffleCopies && ShuffleKernels() != NULL) return kShuffleCopies;
  return kPortableCopies;
}

const StereoKernels* KernelsOf(CopyPath path) {
  return path == kWideCopies ? WideKernels() : path == kShuffleCopies ? ShuffleKernels() : NULL;
}

// Decided once, when the module loads.
CopyPath copies = BestCopies(kWideCopies);
const StereoKernels* kernels = KernelsOf(copies);

// The vector kernels of the path in use for this sample size, or null (the portable copies).
const StereoKernels* KernelsFor(size_t sampleSize) {
  return kernels != NULL && sampleSize >= 2 && sampleSize <= 4 ? &kernels[sampleSize - 2] : NULL;
}

// Whether samples [from, count) of a half carry the markers expected of them.
bool MarkersHold(const BYTE* host, size_t sampleSize, size_t from, size_t count, const DopMarkers& markers) {
  const BYTE* marker = host + sampleSize - 1;
  const BYTE expected[4] = {markers.Expected(0), markers.Expected(1), markers.Expected(2), markers.Expected(3)};
  for (size_t i = from; i < count; ++i)
    if (marker[i * sampleSize] != expected[i & 3]) return false;
  return true;
}

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
  return HalfCarriesDop(host, sampleSize, count);
}

namespace {

void InterleaveStereoPortable(BYTE* frames, const BYTE* left, const BYTE* right, size_t sampleSize, size_t count) {
  size_t i = 0;
#if VELNO_SSE2
  if (sampleSize == 2) {
    for (; i + 8 <= count; i += 8) {
      __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(left + 2 * i));
      __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(right + 2 * i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(frames + 4 * i), _mm_unpacklo_epi16(l, r));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(frames + 4 * i + 16), _mm_unpackhi_epi16(l, r));
    }
  } else if (sampleSize == 4) {
    for (; i + 4 <= count; i += 4) {
      __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(left + 4 * i));
      __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(right + 4 * i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(frames + 8 * i), _mm_unpacklo_epi32(l, r));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(frames + 8 * i + 16), _mm_unpackhi_epi32(l, r));
    }
  }
#endif
  if (sampleSize == 3) {
    // Six bytes a frame, written as one eight-byte store that the next frame overwrites.
    for (; i + 2 <= count; ++i) {
      const BYTE* l = left + 3 * i;
      const BYTE* r = right + 3 * i;
      uint64_t frame = (uint64_t)l[0] | (uint64_t)l[1] << 8 | (uint64_t)l[2] << 16 | (uint64_t)r[0] << 24 |
                       (uint64_t)r[1] << 32 | (uint64_t)r[2] << 40;
      memcpy(frames + 6 * i, &frame, 8);
    }
  }
  for (; i < count; ++i) {
    memcpy(frames + i * 2 * sampleSize, left + i * sampleSize, sampleSize);
    memcpy(frames + i * 2 * sampleSize + sampleSize, right + i * sampleSize, sampleSize);
  }
}

void DeinterleaveStereoPortable(BYTE* left, BYTE* right, const BYTE* frames, size_t sampleSize, size_t count) {
  size_t i = 0;
#if VELNO_SSE2
  if (sampleSize == 2) {
    const __m128i low = _mm_set1_epi32(0x0000FFFF);
    for (; i + 8 <= count; i += 8) {
      __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frames + 4 * i));
      __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frames + 4 * i + 16));
      // Sign-free packing: keep each lane's low (left) or high (right) word, then pack.
      __m128i la = _mm_and_si128(a, low), lb = _mm_and_si128(b, low);
      __m128i ra = _mm_srli_epi32(a, 16), rb = _mm_srli_epi32(b, 16);
      // _mm_packs_epi32 saturates; bias to keep the words exact.
      const __m128i bias = _mm_set1_epi32(0x8000);
      const __m128i unbias = _mm_set1_epi16((short)0x8000);
      __m128i l = _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(la, bias), _mm_sub_epi32(lb, bias)), unbias);
      __m128i r = _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(ra, bias), _mm_sub_epi32(rb, bias)), unbias);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(left + 2 * i), l);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(right + 2 * i), r);
    }
  } else if (sampleSize == 4) {
    for (; i + 4 <= count; i += 4) {
      __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frames + 8 * i));
      __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frames + 8 * i + 16));
      __m128i a2 = _mm_shuffle_epi32(a, _MM_SHUFFLE(3, 1, 2, 0));  // L0 L1 R0 R1
      __m128i b2 = _mm_shuffle_epi32(b, _MM_SHUFFLE(3, 1, 2, 0));  // L2 L3 R2 R3
      _mm_storeu_si128(reinterpret_cast<__m128i*>(left + 4 * i), _mm_unpacklo_epi64(a2, b2));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(right + 4 * i), _mm_unpackhi_epi64(a2, b2));
    }
  }
#endif
  if (sampleSize == 3) {
    for (; i < count; ++i) {
      const BYTE* f = frames + 6 * i;
      BYTE* l = left + 3 * i;
      BYTE* r = right + 3 * i;
      l[0] = f[0];
      l[1] = f[1];
      l[2] = f[2];
      r[0] = f[3];
      r[1] = f[4];
      r[2] = f[5];
    }
  }
  for (; i < count; ++i) {
    memcpy(left + i * sampleSize, frames + i * 2 * sampleSize, sampleSize);
    memcpy(right + i * sampleSize, frames + i * 2 * sampleSize + sampleSize, sampleSize);
  }
}

}  // namespace

CopyPath UseCopies(CopyPath wanted) {
  copies = BestCopies(wanted);
  kernels = KernelsOf(copies);
  return copies;
}

void InterleaveStereo(BYTE* frames, const BYTE* left, const BYTE* right, size_t sampleSize, size_t count) {
  const StereoKernels* k = KernelsFor(sampleSize);
  size_t done = k != NULL ? k->interleave(frames, left, right, count) : 0;
  InterleaveStereoPortable(frames + done * 2 * sampleSize, left + done * sampleSize, right + done * sampleSize,
                           sampleSize, count - done);
}

void DeinterleaveStereo(BYTE* left, BYTE* right, const BYTE* frames, size_t sampleSize, size_t count) {
  const StereoKernels* k = KernelsFor(sampleSize);
  size_t done = k != NULL ? k->deinterleave(left, right, frames, count) : 0;
  DeinterleaveStereoPortable(left + done * sampleSize, right + done * sampleSize, frames + done * 2 * sampleSize,
                             sampleSize, count - done);
}

void InterleaveStereoScanningDop(BYTE* frames, const BYTE* left, const BYTE* right, size_t sampleSize, size_t count,
                                 bool marked[2]) {
  const DopMarkers markers[2] = {ReadDopMarkers(left, sampleSize, count), ReadDopMarkers(right, sampleSize, count)};
  marked[0] = markers[0].possible;
  marked[1] = markers[1].possible;
  const StereoKernels* k = KernelsFor(sampleSize);
  size_t done = k != NULL ? k->interleaveScanningDop(frames, left, right, count, markers, marked) : 0;
  InterleaveStereoPortable(frames + done * 2 * sampleSize, left + done * sampleSize, right + done * sampleSize,
                           sampleSize, count - done);
  marked[0] = marked[0] && MarkersHold(left, sampleSize, done, count, markers[0]);
  marked[1] = marked[1] && MarkersHold(right, sampleSize, done, count, markers[1]);
}

DopMarkers ReadDopMarkers(const BYTE* host, size_t sampleSize, size_t count) {
  DopMarkers markers{false, 0, 0};
  if (count < 2 || sampleSize == 0) return markers;
  const BYTE* marker = host + sampleSize - 1;
  markers.first = marker[0];
  markers.possible = IsDopMarker(markers.first);
  markers.pairShift = marker[sampleSize] == markers.first ? 1 : 0;
  return markers;
}

bool HalfCarriesDop(const BYTE* host, size_t sampleSize, size_t count) {
  DopMarkers markers = ReadDopMarkers(host, sampleSize, count);
  return markers.possible && MarkersHold(host, sampleSize, 0, count, markers);
}
