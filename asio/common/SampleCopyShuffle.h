// Stereo copies with 16-byte byte shuffles, for processors without the wide permutes: each
// 16 bytes of output is the OR of one shuffle per source window, driven by tables built at
// compile time. Each function copies whole blocks from the start of the half and returns how
// many frames it copied; the caller copies the rest.
#pragma once
#include <windows.h>

#include <stddef.h>

#include "SampleCopy.h"

bool ShuffleCopiesSupported();

size_t InterleaveStereoShuffle(BYTE* frames, const BYTE* left, const BYTE* right, size_t sampleSize, size_t count);
size_t DeinterleaveStereoShuffle(BYTE* left, BYTE* right, const BYTE* frames, size_t sampleSize, size_t count);
// As InterleaveStereoScanningDopWide.
size_t InterleaveStereoScanningDopShuffle(BYTE* frames, const BYTE* left, const BYTE* right, size_t sampleSize,
                                          size_t count, const DopMarkers markers[2], bool marked[2]);
