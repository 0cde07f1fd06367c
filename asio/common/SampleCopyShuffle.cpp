#include "SampleCopyKernels.h"

#include <stdint.h>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <tmmintrin.h>
#define VELNO_SHUFFLE_COPIES 1
#define VELNO_SHUFFLE_TARGET __attribute__((target("ssse3")))
#endif

namespace {

enum { kNotHere = 0x80 };  // a shuffle index that yields zero

// One 16-byte piece of a block's output, the OR of one byte shuffle per window: window w
// starts at start[w] in its source, lies inside the block, and gives output byte b when
// index[w][b] is not kNotHere.
template <size_t W>
struct ShufflePiece {
  uint32_t start[W];
  uint8_t index[W][16];
  uint16_t markerMask[2];   // output bytes holding the top byte of a left / right sample
  uint8_t markerFrame[16];  // the frame (within the block, modulo 4) of such a byte
};

// Interleaving: window 0 is the left host half at the block, window 1 the right one.
template <size_t S>
struct ShuffleRenderPlan {
  static constexpr size_t kBlockFrames = S == 4 ? 4 : 8;  // whole pieces, whole marker periods
  static constexpr size_t kPieces = kBlockFrames * 2 * S / 16;
  static constexpr uint32_t kChannelBytes = kBlockFrames * S;
  ShufflePiece<2> pieces[kPieces]{};
  constexpr ShuffleRenderPlan() {
    for (size_t p = 0; p < kPieces; ++p) {
      ShufflePiece<2>& piece = pieces[p];
      uint32_t lowest[2] = {~0u, ~0u};
      auto source = [&](size_t b, uint32_t* channel) {
        size_t out = 16 * p + b, frame = out / (2 * S), within = out % (2 * S);
        *channel = within < S ? 0 : 1;
        return (uint32_t)(S * frame + within % S);
      };
      for (size_t b = 0; b < 16; ++b) {
        uint32_t c = 0, s = source(b, &c);
        if (s < lowest[c]) lowest[c] = s;
      }
      for (int c = 0; c < 2; ++c) piece.start[c] = lowest[c] < kChannelBytes - 16 ? lowest[c] : kChannelBytes - 16;
      for (size_t b = 0; b < 16; ++b) {
        uint32_t c = 0, s = source(b, &c);
        if (s < piece.start[c] || s >= piece.start[c] + 16) throw "a window does not hold its piece";
        piece.index[c][b] = (uint8_t)(s - piece.start[c]);
        piece.index[1 - c][b] = kNotHere;
        size_t out = 16 * p + b;
        if (out % S == S - 1) piece.markerMask[c] |= (uint16_t)(1u << b);
        piece.markerFrame[b] = (uint8_t)(out / (2 * S) % 4);
      }
    }
  }
};

// De-interleaving: each piece is 16 bytes of one channel, gathered from consecutive 16-byte
// windows of the frames (three for 24-bit samples, whose 16 bytes span 33 frame bytes).
template <size_t S>
struct ShuffleCapturePlan {
  static constexpr size_t kWindows = S == 3 ? 3 : 2;
  static constexpr size_t kBlockFrames = S == 3 ? 16 : 16 / S;
  static constexpr size_t kPieces = kBlockFrames * S / 16;  // per channel
  static constexpr uint32_t kFrameBytes = kBlockFrames * 2 * S;
  ShufflePiece<kWindows> pieces[2 * kPieces]{};  // left pieces, then right
  constexpr ShuffleCapturePlan() {
    for (size_t channel = 0; channel < 2; ++channel) {
      for (size_t p = 0; p < kPieces; ++p) {
        ShufflePiece<kWindows>& piece = pieces[channel * kPieces + p];
        auto source = [&](size_t b) {
          size_t out = 16 * p + b;
          return (uint32_t)(2 * S * (out / S) + channel * S + out % S);
        };
        uint32_t start = source(0);
        if (start > kFrameBytes - 16 * kWindows) start = kFrameBytes - 16 * kWindows;
        for (size_t w = 0; w < kWindows; ++w) piece.start[w] = start + 16 * (uint32_t)w;
        for (size_t b = 0; b < 16; ++b) {
          uint32_t s = source(b);
          if (s < start || s >= start + 16 * kWindows) throw "the windows do not hold the piece";
          for (size_t w = 0; w < kWindows; ++w) piece.index[w][b] = kNotHere;
          piece.index[(s - start) / 16][b] = (uint8_t)((s - start) % 16);
        }
      }
    }
  }
};

template <size_t S>
constexpr ShuffleRenderPlan<S> kRenderPlan{};
template <size_t S>
constexpr ShuffleCapturePlan<S> kCapturePlan{};

#if VELNO_SHUFFLE_COPIES

VELNO_SHUFFLE_TARGET inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

template <size_t S, bool kScan>
VELNO_SHUFFLE_TARGET size_t Interleave(BYTE* frames, const BYTE* left, const BYTE* right, size_t count,
                                       const DopMarkers* markers, bool* marked) {
  using Plan = ShuffleRenderPlan<S>;
  const Plan& plan = kRenderPlan<S>;
  constexpr size_t kPieces = Plan::kPieces, kBlock = Plan::kBlockFrames;
  __m128i index[kPieces][2];
  __m128i expected[kPieces];
  unsigned checked[kPieces][2] = {};
  for (size_t p = 0; p < kPieces; ++p) {
    for (int c = 0; c < 2; ++c) index[p][c] = Load(plan.pieces[p].index[c]);
    if constexpr (kScan) {
      // Each channel's markers for the four frames of the pattern, spread to its marker bytes.
      const __m128i frame = Load(plan.pieces[p].markerFrame);
      __m128i e = _mm_setzero_si128();
      for (int c = 0; c < 2; ++c) {
        uint32_t four = 0;
        for (uint32_t f = 0; f < 4; ++f) four |= (uint32_t)markers[c].Expected(f) << (8 * f);
        uint8_t bytes[16];
        for (size_t b = 0; b < 16; ++b) bytes[b] = (plan.pieces[p].markerMask[c] >> b & 1) ? 0xFF : 0;
        e = _mm_or_si128(e, _mm_and_si128(_mm_shuffle_epi8(_mm_set1_epi32((int)four), frame), Load(bytes)));
        checked[p][c] = marked[c] ? plan.pieces[p].markerMask[c] : 0;
      }
      expected[p] = e;
    }
  }
  __m128i differ[kPieces];  // every bit that differed from the expected bytes, piece by piece
  for (size_t p = 0; p < kPieces; ++p) differ[p] = _mm_setzero_si128();
  const size_t blocks = count / kBlock;
  for (size_t k = 0; k < blocks; ++k) {
    const BYTE* source[2] = {left + k * kBlock * S, right + k * kBlock * S};
    BYTE* out = frames + k * kBlock * 2 * S;
    for (size_t p = 0; p < kPieces; ++p) {
      const auto& piece = plan.pieces[p];
      __m128i v = _mm_or_si128(_mm_shuffle_epi8(Load(source[0] + piece.start[0]), index[p][0]),
                               _mm_shuffle_epi8(Load(source[1] + piece.start[1]), index[p][1]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * p), v);
      if constexpr (kScan) differ[p] = _mm_or_si128(differ[p], _mm_xor_si128(v, expected[p]));
    }
  }
  if constexpr (kScan) {
    for (size_t p = 0; p < kPieces; ++p) {
      unsigned wrong = ~(unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(differ[p], _mm_setzero_si128()));
      if (wrong & checked[p][0]) marked[0] = false;
      if (wrong & checked[p][1]) marked[1] = false;
    }
  }
  return blocks * kBlock;
}

template <size_t S>
VELNO_SHUFFLE_TARGET size_t Deinterleave(BYTE* left, BYTE* right, const BYTE* frames, size_t count) {
  using Plan = ShuffleCapturePlan<S>;
  const Plan& plan = kCapturePlan<S>;
  constexpr size_t kPieces = Plan::kPieces, kBlock = Plan::kBlockFrames, kWindows = Plan::kWindows;
  __m128i index[2 * kPieces][kWindows];
  for (size_t p = 0; p < 2 * kPieces; ++p)
    for (size_t w = 0; w < kWindows; ++w) index[p][w] = Load(plan.pieces[p].index[w]);
  const size_t blocks = count / kBlock;
  for (size_t k = 0; k < blocks; ++k) {
    const BYTE* in = frames + k * kBlock * 2 * S;
    BYTE* out[2] = {left + k * kBlock * S, right + k * kBlock * S};
    for (size_t p = 0; p < 2 * kPieces; ++p) {
      __m128i v = _mm_shuffle_epi8(Load(in + plan.pieces[p].start[0]), index[p][0]);
      for (size_t w = 1; w < kWindows; ++w)
        v = _mm_or_si128(v, _mm_shuffle_epi8(Load(in + plan.pieces[p].start[w]), index[p][w]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out[p / kPieces] + 16 * (p % kPieces)), v);
    }
  }
  return blocks * kBlock;
}

// The entries of the kernel table for one sample size.
template <size_t S>
VELNO_SHUFFLE_TARGET size_t InterleaveKernel(BYTE* frames, const BYTE* left, const BYTE* right, size_t count) {
  return Interleave<S, false>(frames, left, right, count, nullptr, nullptr);
}
template <size_t S>
VELNO_SHUFFLE_TARGET size_t InterleaveScanningDopKernel(BYTE* frames, const BYTE* left, const BYTE* right,
                                                        size_t count, const DopMarkers markers[2], bool marked[2]) {
  return Interleave<S, true>(frames, left, right, count, markers, marked);
}
template <size_t S>
constexpr StereoKernels KernelsFor() {
  return {InterleaveKernel<S>, InterleaveScanningDopKernel<S>, Deinterleave<S>};
}
const StereoKernels kKernels[3] = {KernelsFor<2>(), KernelsFor<3>(), KernelsFor<4>()};

#endif

}  // namespace

const StereoKernels* ShuffleKernels() {
#if VELNO_SHUFFLE_COPIES
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") ? kKernels : nullptr;
#else
  return nullptr;
#endif
}
