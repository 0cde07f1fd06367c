// The render and capture copies beside memcpy of the same bytes, for each width, DSD and the
// DoP scan. The "ratio" counter is the copy's time over memcpy's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "SampleCopy.h"

namespace {

enum Kind { kRender, kCapture, kDopScan };

double MemcpySeconds(size_t bytes, int repeats) {
  // The same bytes, from one buffer to another.
  std::vector<BYTE> a(bytes, 1), b(bytes);
  auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeats; ++r) {
    memcpy(b.data(), a.data(), bytes);
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
}

// One stereo buffer half of 4096 frames (about 10 ms at 384 kHz), as FillRenderPackets and
// CopyCapturePackets move it for a stereo pin.
void RunCopy(Kind kind, size_t sampleSize, std::vector<BYTE>& packet, std::vector<std::vector<BYTE>>& host,
             size_t frames) {
  if (kind == kRender) InterleaveStereo(packet.data(), host[0].data(), host[1].data(), sampleSize, frames);
  if (kind == kCapture) DeinterleaveStereo(host[0].data(), host[1].data(), packet.data(), sampleSize, frames);
  if (kind == kDopScan) {
    benchmark::DoNotOptimize(HalfCarriesDop(host[0].data(), sampleSize, frames));
    benchmark::DoNotOptimize(HalfCarriesDop(host[1].data(), sampleSize, frames));
    InterleaveStereo(packet.data(), host[0].data(), host[1].data(), sampleSize, frames);
  }
}

void Copy(benchmark::State& state) {
  const size_t sampleSize = (size_t)state.range(0);
  const Kind kind = (Kind)state.range(1);
  const size_t frames = 4096;
  std::vector<BYTE> packet(frames * sampleSize * 2);
  std::vector<std::vector<BYTE>> host(2, std::vector<BYTE>(frames * sampleSize));
  for (auto& h : host)
    for (size_t i = 0; i < h.size(); ++i)
      h[i] = (i % sampleSize == sampleSize - 1) ? ((i / sampleSize) & 1 ? 0xFA : 0x05) : (BYTE)i;
  for (auto _ : state) {
    RunCopy(kind, sampleSize, packet, host, frames);
    benchmark::ClobberMemory();
  }
  const int repeats = 4000;
  auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeats; ++r) {
    RunCopy(kind, sampleSize, packet, host, frames);
    benchmark::ClobberMemory();
  }
  double copySeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)packet.size());
  state.counters["ratio"] = copySeconds / MemcpySeconds(packet.size(), repeats);
}

}  // namespace

BENCHMARK(Copy)
    ->ArgNames({"bytes", "kind"})
    ->Args({2, kRender})
    ->Args({3, kRender})
    ->Args({4, kRender})  // 32-bit PCM, and native DSD (four DSD bytes per container)
    ->Args({2, kCapture})
    ->Args({3, kCapture})
    ->Args({4, kCapture})
    ->Args({3, kDopScan})
    ->Args({4, kDopScan});

BENCHMARK_MAIN();
