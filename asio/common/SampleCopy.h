// The copies between the host's per-channel buffers and the device's interleaved frames.
// Samples keep their width and byte order; DSD travels as four bytes of a channel per 32-bit
// container, which is the 32-bit copy.
#pragma once
#include <windows.h>

#include <stddef.h>

// One channel of a host half into interleaved frames: `sampleSize` bytes per frame, frames
// `frameStride` bytes apart.
void InterleaveChannel(BYTE* frames, size_t frameStride, const BYTE* host, size_t sampleSize, size_t frameCount);

// The same copy, which also checks whether the half carries DSD-over-PCM markers in the most
// significant byte of every sample: 0x05/0xFA alternating sample by sample or in pairs, or 0xAA
// throughout. Every sample is copied whatever the markers say. A half of fewer than two frames
// cannot show the alternation and never counts as marked.
bool InterleaveChannelScanningDop(BYTE* frames, size_t frameStride, const BYTE* host, size_t sampleSize,
                                  size_t frameCount);

// Both channels of a stereo pin at once: the common case, copied at close to memory speed.
void InterleaveStereo(BYTE* frames, const BYTE* left, const BYTE* right, size_t sampleSize, size_t frameCount);
void DeinterleaveStereo(BYTE* left, BYTE* right, const BYTE* frames, size_t sampleSize, size_t frameCount);

// Both channels of a stereo pin with the DoP check of each: `marked[0]` (left) and `marked[1]`
// (right) say whether that channel's half carries the markers.
void InterleaveStereoScanningDop(BYTE* frames, const BYTE* left, const BYTE* right, size_t sampleSize,
                                 size_t frameCount, bool marked[2]);

// Whether a host half carries DSD-over-PCM markers (the check of InterleaveChannelScanningDop
// without the copy).
bool HalfCarriesDop(const BYTE* host, size_t sampleSize, size_t frameCount);

// The markers a half must carry to count as DoP, read off its first two samples: 0xAA
// throughout, or the first marker and its complement alternating sample by sample
// (`pairShift` 0) or in pairs (`pairShift` 1). `possible` is false when the first sample
// carries no marker or the half is shorter than two frames.
struct DopMarkers {
  bool possible;
  BYTE first;
  BYTE pairShift;
  BYTE Expected(size_t sample) const {
    if (first == 0xAA) return 0xAA;
    return ((sample >> pairShift) & 1) ? (BYTE)(0xFF - first) : first;
  }
};
DopMarkers ReadDopMarkers(const BYTE* host, size_t sampleSize, size_t frameCount);

// How the stereo copies run: on 512-bit byte permutes, on 16-byte byte shuffles, or portably
// (SSE2 where the target has it, else byte by byte). The best the processor has is chosen
// when the module loads; tests and benchmarks ask for another. UseCopies returns the path in
// use: the one asked for, or the best the processor has below it.
enum CopyPath { kPortableCopies, kShuffleCopies, kWideCopies };
CopyPath UseCopies(CopyPath wanted);

// One channel out of interleaved frames into a host half.
void DeinterleaveChannel(BYTE* host, const BYTE* frames, size_t frameStride, size_t sampleSize, size_t frameCount);

enum { kPcmSilence = 0x00, kDsdSilence = 0x69 };
