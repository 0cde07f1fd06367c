// The transport's packet copies (FillRenderPackets, CopyCapturePackets) on a stereo pin, for
// every width, native DSD and the DoP scan, each beside memcpy of the same bytes. The "ratio"
// counter is the copy's time over memcpy's; "path" says which copies run (2 the processor's
// widest permutes, 1 byte shuffles, 0 the portable copies).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "KsConversion.h"
#include "SampleBuffers.h"
#include "SampleCopy.h"
#include "testsupport.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);

namespace {

enum Kind { kRender, kCapture, kDopScan, kNativeDsd };

const size_t kFrames = 4096;  // one host half: about 10 ms at 384 kHz

// A driver object on a machine of its own, with one opened stereo pin whose packet 0 carries
// one host half of both channels.
struct StereoPin {
  explicit StereoPin(Kind kind, size_t sampleSize)
      : machine(std::make_unique<velno::testing::TempMachine>()),
        packetBytes(kFrames * 2 * sampleSize),
        halfBytes(kFrames * sampleSize) {
    static bool attached = DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    (void)attached;
    driver = new CAsioSample(nullptr);
    driver->NonDelegatingAddRef();
    driver->bitsPerSample = (LONG)(8 * sampleSize);
    driver->deviceRate = kind == kDopScan ? 176400 : kind == kNativeDsd ? 88200 : 96000;
    driver->clockRate = kind == kNativeDsd ? 2822400 : driver->deviceRate;
    record = std::make_unique<RateRecord>();
    memset(record.get(), 0, sizeof(RateRecord));
    record->pinCount = 1;
    PinSlot& pin = record->pins[0];
    pin.inUse = pin.opened = 1;
    pin.channelsUsed = 2;
    pin.framesPerPacket = kFrames;
    // The buffers as the transport allocates them.
    packet = static_cast<BYTE*>(AllocateSampleBuffer(packetBytes));
    pin.packets[0].header.Data = packet;
    pin.packets[0].header.FrameExtent = pin.packets[0].header.DataUsed = (ULONG)packetBytes;
    record->openedPins = 1;
    record->channelCount = 2;
    for (ULONG c = 0; c < 2; ++c) {
      ChannelSlot& channel = record->channels[c];
      channel.active = 1;
      channel.indexInPin = c;
      channel.pinSlot = &pin;
      channel.frames = kFrames;
      host[c] = static_cast<BYTE*>(AllocateSampleBuffer(halfBytes));
      channel.buffers[0] = host[c];
      // DoP markers alternating in the top byte (recognised all the way through), else any bytes.
      for (size_t i = 0; i < halfBytes; ++i)
        host[c][i] = (i % sampleSize == sampleSize - 1) ? ((i / sampleSize) & 1 ? 0xFA : 0x05) : (BYTE)(i * 7 + c);
    }
  }
  ~StereoPin() {
    driver->NonDelegatingRelease();
    FreeSampleBuffer(packet);
    FreeSampleBuffer(host[0]);
    FreeSampleBuffer(host[1]);
  }
  void Copy(Kind kind) {
    if (kind == kCapture) CopyCapturePackets(driver, record.get(), 0, 0);
    else FillRenderPackets(driver, record.get(), 0, 0);
  }
  std::unique_ptr<velno::testing::TempMachine> machine;
  size_t packetBytes, halfBytes;
  BYTE* packet = nullptr;
  BYTE* host[2] = {nullptr, nullptr};
  CAsioSample* driver = nullptr;
  std::unique_ptr<RateRecord> record;
};

// The best of several rounds, so that a round disturbed by the rest of the machine does not count.
template <typename F>
double SecondsPerCall(F call) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    const int repeats = 1000;
    auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < repeats; ++r) {
      call();
      benchmark::ClobberMemory();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
    if (seconds < best) best = seconds;
  }
  return best;
}

void PacketCopy(benchmark::State& state) {
  const size_t sampleSize = (size_t)state.range(0);
  const Kind kind = (Kind)state.range(1);
  const CopyPath path = (CopyPath)state.range(2);
  if (UseCopies(path) != path) {
    state.SkipWithError("this processor cannot run this path");
    return;
  }
  StereoPin pin(kind, sampleSize);
  for (auto _ : state) {
    pin.Copy(kind);
    benchmark::ClobberMemory();
  }
  if (kind == kDopScan && !pin.driver->dopActive) abort();  // the scan must have seen the markers
  // memcpy between the same buffers: the two host halves and the packet.
  const size_t half = pin.halfBytes;
  double copy = SecondsPerCall([&] { pin.Copy(kind); });
  double plain = SecondsPerCall([&] {
    if (kind == kCapture) {
      memcpy(pin.host[0], pin.packet, half);
      memcpy(pin.host[1], pin.packet + half, half);
    } else {
      memcpy(pin.packet, pin.host[0], half);
      memcpy(pin.packet + half, pin.host[1], half);
    }
  });
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)pin.packetBytes);
  state.counters["ratio"] = copy / plain;
}

}  // namespace

// kind 0 render, 1 capture, 2 render with the DoP scan (176.4 kHz), 3 native DSD64 render;
// path 2 wide permutes, 1 byte shuffles, 0 portable.
const std::vector<int64_t> kPaths = {kWideCopies, kShuffleCopies, kPortableCopies};
BENCHMARK(PacketCopy)
    ->ArgNames({"bytes", "kind", "path"})
    ->ArgsProduct({{2, 3, 4}, {kRender, kCapture}, kPaths})
    ->ArgsProduct({{3, 4}, {kDopScan}, kPaths})
    ->ArgsProduct({{4}, {kNativeDsd}, kPaths});

BENCHMARK_MAIN();
