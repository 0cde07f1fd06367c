// Stereo copies with 512-bit two-table byte permutes, for processors that have them. One
// permute builds 64 bytes of output from any bytes of two 64-byte windows, so every width
// (16, 24, 32 bits) is the same few instructions per block, driven by tables built at compile
// time. Each function copies whole blocks from the start of the half and returns how many
// frames it copied; the caller copies the rest.
#pragma once
#include <windows.h>

#include <stddef.h>

#include "SampleCopy.h"

// Whether this processor (and its operating system) runs the permutes.
bool WideCopiesSupported();

size_t InterleaveStereoWide(BYTE* frames, const BYTE* left, const BYTE* right, size_t sampleSize, size_t count);
size_t DeinterleaveStereoWide(BYTE* left, BYTE* right, const BYTE* frames, size_t sampleSize, size_t count);

// The interleave that also compares every marker byte with what `markers` expects; a
// channel whose marker differs anywhere in the copied frames has its `marked` entry cleared
// (entries already false are not looked at).
size_t InterleaveStereoScanningDopWide(BYTE* frames, const BYTE* left, const BYTE* right, size_t sampleSize,
                                       size_t count, const DopMarkers markers[2], bool marked[2]);
