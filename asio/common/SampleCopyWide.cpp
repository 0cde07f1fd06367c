#include "SampleCopyKernels.h"

#include <array>
#include <stdint.h>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VELNO_WIDE_COPIES 1
#define VELNO_WIDE_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#endif

namespace {

// One 64-byte piece of a block's output: byte b is byte index[b] of the 128 bytes formed by
// two 64-byte windows (index < 64: the first, else the second). A window starts at `start` in
// its source and lies inside the block; pieces whose windows start alike share their loads.
struct Piece {
  uint32_t start[2];
  uint64_t markerMask[2];  // output bytes holding the top byte of a left / right sample
  uint8_t index[64];
  uint8_t markerFrame[64];  // the frame (within the block, modulo 4) of such a byte
};

// Interleaving: the windows are the left and the right host half at the block.
template <size_t S>
struct RenderPlan {
  static constexpr size_t kBlockFrames = S == 3 ? 32 : 128 / (2 * S);  // output: whole pieces
  static constexpr size_t kPieces = kBlockFrames * 2 * S / 64;
  static constexpr uint32_t kChannelBytes = kBlockFrames * S;
  std::array<Piece, kPieces> pieces{};
  constexpr RenderPlan() {
    for (size_t p = 0; p < kPieces; ++p) {
      Piece& piece = pieces[p];
      uint32_t lowest[2] = {~0u, ~0u}, highest[2] = {0, 0};
      for (int pass = 0; pass < 2; ++pass) {
        for (size_t b = 0; b < 64; ++b) {
          size_t out = 64 * p + b, frame = out / (2 * S), within = out % (2 * S);
          uint32_t channel = within < S ? 0 : 1;
          uint32_t source = (uint32_t)(S * frame + within % S);
          if (pass == 0) {
            if (source < lowest[channel]) lowest[channel] = source;
            if (source > highest[channel]) highest[channel] = source;
            continue;
          }
          uint32_t offset = source - piece.start[channel];
          if (offset >= 64) throw "a window does not hold its piece";
          piece.index[b] = (uint8_t)(64 * channel + offset);
          if (within % S == S - 1) piece.markerMask[channel] |= 1ull << b;
          piece.markerFrame[b] = (uint8_t)(frame % 4);
        }
        if (pass == 0) {
          for (int c = 0; c < 2; ++c) {
            piece.start[c] = lowest[c] < kChannelBytes - 64 ? lowest[c] : kChannelBytes - 64;
            if (highest[c] >= piece.start[c] + 64) throw "a window does not hold its piece";
          }
        }
      }
    }
  }
};

// De-interleaving: each piece is 64 bytes of one channel; its windows are two consecutive
// 64-byte stretches of the frames.
template <size_t S>
struct CapturePlan {
  static constexpr size_t kBlockFrames = S == 3 ? 64 : 128 / S;
  static constexpr size_t kPieces = kBlockFrames * S / 64;  // per channel
  static constexpr uint32_t kFrameBytes = kBlockFrames * 2 * S;
  std::array<Piece, 2 * kPieces> pieces{};                  // left pieces, then right
  constexpr CapturePlan() {
    for (size_t channel = 0; channel < 2; ++channel) {
      for (size_t p = 0; p < kPieces; ++p) {
        Piece& piece = pieces[channel * kPieces + p];
        auto source = [&](size_t b) {
          size_t out = 64 * p + b;
          return (uint32_t)(2 * S * (out / S) + channel * S + out % S);
        };
        // The windows start at a multiple of 64 when they hold the piece from there (so that
        // the left and right pieces share them), else at the piece's first byte.
        uint32_t first = source(0), last = source(63);
        uint32_t start = first / 64 * 64;
        if (last >= start + 128) start = first;
        if (start > kFrameBytes - 128) start = kFrameBytes - 128;
        if (first < start || last >= start + 128) throw "two windows do not hold the piece";
        for (size_t b = 0; b < 64; ++b) piece.index[b] = (uint8_t)(source(b) - start);
        piece.start[0] = start;
        piece.start[1] = start + 64;
      }
    }
  }
};

template <size_t S>
constexpr RenderPlan<S> kRenderPlan{};
template <size_t S>
constexpr CapturePlan<S> kCapturePlan{};

#if VELNO_WIDE_COPIES

template <size_t S, bool kScan>
VELNO_WIDE_TARGET size_t Interleave(BYTE* frames, const BYTE* left, const BYTE* right, size_t count,
                                    const DopMarkers* markers, bool* marked) {
  const RenderPlan<S>& plan = kRenderPlan<S>;
  constexpr size_t kPieces = RenderPlan<S>::kPieces;
  constexpr size_t kBlock = RenderPlan<S>::kBlockFrames;
  __m512i index[kPieces];
  for (size_t p = 0; p < kPieces; ++p) index[p] = _mm512_loadu_si512(plan.pieces[p].index);
  // The expected marker bytes of every piece, built once per call from the two channels'
  // patterns (a block is a whole number of the four-frame pattern period).
  __m512i expected[kPieces];
  uint64_t checked[kPieces][2] = {};
  __m512i differ[kPieces];  // every bit that differed from the expected bytes, piece by piece
  for (size_t p = 0; p < kPieces; ++p) differ[p] = _mm512_setzero_si512();
  if constexpr (kScan) {
    // Each channel's markers for the four frames of the pattern, spread to every marker byte.
    __m512i pattern[2];
    for (int c = 0; c < 2; ++c) {
      uint32_t four = 0;
      for (uint32_t f = 0; f < 4; ++f) four |= (uint32_t)markers[c].Expected(f) << (8 * f);
      pattern[c] = _mm512_set1_epi32((int)four);
    }
    for (size_t p = 0; p < kPieces; ++p) {
      const Piece& piece = plan.pieces[p];
      __m512i frame = _mm512_loadu_si512(piece.markerFrame);
      expected[p] = _mm512_mask_blend_epi8(piece.markerMask[1], _mm512_shuffle_epi8(pattern[0], frame),
                                                 _mm512_shuffle_epi8(pattern[1], frame));
      checked[p][0] = marked[0] ? piece.markerMask[0] : 0;
      checked[p][1] = marked[1] ? piece.markerMask[1] : 0;
    }
  }
  size_t blocks = count / kBlock;
  for (size_t k = 0; k < blocks; ++k) {
    const BYTE* l = left + k * kBlock * S;
    const BYTE* r = right + k * kBlock * S;
    BYTE* out = frames + k * kBlock * 2 * S;
    for (size_t p = 0; p < kPieces; ++p) {
      const Piece& piece = plan.pieces[p];
      __m512i a = _mm512_loadu_si512(l + piece.start[0]);
      __m512i b = _mm512_loadu_si512(r + piece.start[1]);
      __m512i v = _mm512_permutex2var_epi8(a, index[p], b);
      _mm512_storeu_si512(out + 64 * p, v);
      if constexpr (kScan) differ[p] = _mm512_or_si512(differ[p], _mm512_xor_si512(v, expected[p]));
    }
  }
  if constexpr (kScan) {
    for (size_t p = 0; p < kPieces; ++p) {
      uint64_t wrong = _mm512_test_epi8_mask(differ[p], differ[p]);
      if (wrong & checked[p][0]) marked[0] = false;
      if (wrong & checked[p][1]) marked[1] = false;
    }
  }
  return blocks * kBlock;
}

template <size_t S>
VELNO_WIDE_TARGET size_t Deinterleave(BYTE* left, BYTE* right, const BYTE* frames, size_t count) {
  const CapturePlan<S>& plan = kCapturePlan<S>;
  constexpr size_t kPieces = CapturePlan<S>::kPieces;
  constexpr size_t kBlock = CapturePlan<S>::kBlockFrames;
  __m512i index[2 * kPieces];
  for (size_t p = 0; p < 2 * kPieces; ++p) index[p] = _mm512_loadu_si512(plan.pieces[p].index);
  size_t blocks = count / kBlock;
  for (size_t k = 0; k < blocks; ++k) {
    const BYTE* in = frames + k * kBlock * 2 * S;
    BYTE* out[2] = {left + k * kBlock * S, right + k * kBlock * S};
    // Left and right piece by piece: the two usually share their windows.
    for (size_t p = 0; p < kPieces; ++p) {
      for (size_t channel = 0; channel < 2; ++channel) {
        const Piece& piece = plan.pieces[channel * kPieces + p];
        __m512i a = _mm512_loadu_si512(in + piece.start[0]);
        __m512i b = _mm512_loadu_si512(in + piece.start[1]);
        _mm512_storeu_si512(out[channel] + 64 * p, _mm512_permutex2var_epi8(a, index[channel * kPieces + p], b));
      }
    }
  }
  return blocks * kBlock;
}

// The entries of the kernel table for one sample size.
template <size_t S>
VELNO_WIDE_TARGET size_t InterleaveKernel(BYTE* frames, const BYTE* left, const BYTE* right, size_t count) {
  return Interleave<S, false>(frames, left, right, count, nullptr, nullptr);
}
template <size_t S>
VELNO_WIDE_TARGET size_t InterleaveScanningDopKernel(BYTE* frames, const BYTE* left, const BYTE* right, size_t count,
                                                     const DopMarkers markers[2], bool marked[2]) {
  return Interleave<S, true>(frames, left, right, count, markers, marked);
}
template <size_t S>
constexpr StereoKernels KernelsFor() {
  return {InterleaveKernel<S>, InterleaveScanningDopKernel<S>, Deinterleave<S>};
}
const StereoKernels kKernels[3] = {KernelsFor<2>(), KernelsFor<3>(), KernelsFor<4>()};

#endif

}  // namespace

const StereoKernels* WideKernels() {
#if VELNO_WIDE_COPIES
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi") ? kKernels : nullptr;
#else
  return nullptr;
#endif
}
