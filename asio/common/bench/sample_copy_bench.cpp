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
  std::vector<BYTE> a(bytes, 1), b(bytes);
  auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeats; ++r) {
    memcpy(b.data(), a.data(), bytes);
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
}

// One stereo buffer half: 2 ms at 384 kHz, or a DSD256 half of the same size.
void Copy(benchmark::State& state) {
  const size_t sampleSize = (size_t)state.range(0);
  const Kind kind = (Kind)state.range(1);
  const size_t frames = 4096;
  const size_t channels = 2;
  const size_t stride = sampleSize * channels;
  std::vector<BYTE> packet(frames * stride);
  std::vector<std::vector<BYTE>> host(channels, std::vector<BYTE>(frames * sampleSize));
  for (auto& h : host)
    for (size_t i = 0; i < h.size(); ++i) h[i] = (i % sampleSize == sampleSize - 1) ? ((i / sampleSize) & 1 ? 0xFA : 0x05) : (BYTE)i;
  for (auto _ : state) {
    for (size_t c = 0; c < channels; ++c) {
      BYTE* frame = packet.data() + c * sampleSize;
      if (kind == kRender) InterleaveChannel(frame, stride, host[c].data(), sampleSize, frames);
      if (kind == kCapture) DeinterleaveChannel(host[c].data(), frame, stride, sampleSize, frames);
      if (kind == kDopScan) benchmark::DoNotOptimize(InterleaveChannelScanningDop(frame, stride, host[c].data(), sampleSize, frames));
    }
    benchmark::ClobberMemory();
  }
  const size_t bytes = packet.size();
  double copySeconds = 0;
  {
    auto start = std::chrono::steady_clock::now();
    const int repeats = 2000;
    for (int r = 0; r < repeats; ++r) {
      for (size_t c = 0; c < channels; ++c) {
        BYTE* frame = packet.data() + c * sampleSize;
        if (kind == kRender) InterleaveChannel(frame, stride, host[c].data(), sampleSize, frames);
        if (kind == kCapture) DeinterleaveChannel(host[c].data(), frame, stride, sampleSize, frames);
        if (kind == kDopScan) benchmark::DoNotOptimize(InterleaveChannelScanningDop(frame, stride, host[c].data(), sampleSize, frames));
      }
      benchmark::ClobberMemory();
    }
    copySeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes);
  state.counters["ratio"] = copySeconds / MemcpySeconds(bytes, 2000);
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
