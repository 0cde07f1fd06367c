// The vector paths of the stereo copies. Each path is a table of kernels, one entry per sample
// size (2, 3 and 4 bytes, at index size - 2), driven by per-width tables built at compile time.
// A kernel copies whole blocks from the start of the half and returns how many frames it
// copied; the caller copies the rest. The scanning interleave also compares every marker byte
// with what `markers` expects, and clears the `marked` entry of a channel whose marker differs
// anywhere in the copied frames (entries already false are not looked at).
#pragma once
#include <windows.h>

#include <stddef.h>

#include "SampleCopy.h"

struct StereoKernels {
  size_t (*interleave)(BYTE* frames, const BYTE* left, const BYTE* right, size_t count);
  size_t (*interleaveScanningDop)(BYTE* frames, const BYTE* left, const BYTE* right, size_t count,
                                  const DopMarkers markers[2], bool marked[2]);
  size_t (*deinterleave)(BYTE* left, BYTE* right, const BYTE* frames, size_t count);
};

// 512-bit two-table byte permutes: one permute builds 64 bytes of output from any bytes of two
// 64-byte windows. Null when this processor (and its operating system) cannot run them.
const StereoKernels* WideKernels();
// 16-byte byte shuffles: each 16 bytes of output is the OR of one shuffle per source window.
// Null when this processor cannot run them.
const StereoKernels* ShuffleKernels();

