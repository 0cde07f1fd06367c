// asiohost play / record: streams through the driver for a while, then reports timing and
// compares what the device received (or produced) with what the host wrote (or got).
#include <sys/resource.h>
#include <unistd.h>
#include <velno/device.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>

#include "Commands.h"
#include "Driver.h"
#include "Host.h"
#include "Signals.h"
#include "StatusBlock.h"

namespace asiohost {
namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

struct Channel {
  ASIOBufferInfo* info;
  ASIOSampleType type;
  int bytes;  // host bytes per sample (DSD: 4 bytes per device frame)
  std::vector<uint8_t> written;  // everything the host handed over, in order
  std::vector<uint8_t> read;     // everything the host got (inputs)
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t i = (size_t)std::min<double>(values.size() - 1, std::floor(p * (values.size() - 1) + 0.5));
  return values[i];
}

// The render stream of the device that started last, with its bytes.
bool NewestDeviceStream(const std::string& direction, int64_t notBeforeMs, nlohmann::json* record,
                        std::vector<uint8_t>* data) {
  bool found = false;
  for (const auto& device : velno::sim::device::Devices()) {
    for (const auto& r : velno::sim::device::StreamRecords(device.key)) {
      if (r.value("direction", "") != direction || r.value("start", (int64_t)0) < notBeforeMs) continue;
      *record = r;
      found = true;
    }
  }
  if (!found || !record->contains("data")) return found;
  std::ifstream in((*record)["data"].get<std::string>(), std::ios::binary);
  data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// With a device that loops back, every input returns what the device played on the output of
// the same number, from some frame on: find where the first sound the input got starts in the
// device's stream, then compare everything after it.
nlohmann::json CompareLoopback(const std::vector<Channel>& channels, const std::vector<uint8_t>& played,
                               const nlohmann::json& record) {
  const size_t pinChannels = record["format"].value("channels", 2);
  const size_t sample = record["format"].value("bits", 16) / 8;
  const size_t frameBytes = sample * pinChannels;
  const size_t playedFrames = frameBytes ? played.size() / frameBytes : 0;
  size_t compared = 0, wrong = 0;
  long offset = -1;
  bool found = true;
  for (const Channel& c : channels) {
    if (!c.info->isInput || (size_t)c.info->channelNum >= pinChannels || (size_t)c.bytes != sample) continue;
    const size_t column = (size_t)c.info->channelNum * sample;
    const size_t frames = c.read.size() / sample;
    size_t first = 0;
    auto silent = [&](size_t f) {
      for (size_t b = 0; b < sample; ++b)
        if (c.read[f * sample + b]) return false;
      return true;
    };
    while (first < frames && silent(first)) ++first;
    size_t at = 0;
    const size_t probe = std::min<size_t>(32, frames - std::min(first, frames));
    auto matches = [&](size_t p, size_t f) { return !memcmp(&played[p * frameBytes + column], &c.read[f * sample], sample); };
    for (; at < playedFrames; ++at) {
      size_t k = 0;
      while (k < probe && at + k < playedFrames && matches(at + k, first + k)) ++k;
      if (k == probe) break;
    }
    if (first >= frames || probe == 0 || at >= playedFrames) {
      found = false;
      continue;
    }
    for (size_t f = first; f < frames && at + (f - first) < playedFrames; ++f) {
      if (!matches(at + (f - first), f)) ++wrong;
      ++compared;
    }
    offset = (long)first - (long)at;
  }
  return {{"comparedFrames", compared}, {"wrongSamples", wrong}, {"offsetFrames", offset},
          {"bitExact", found && compared > 0 && wrong == 0}};
}

}  // namespace

int StreamCommand(const Options& options, bool recording) {
  ComScope com;
  DriverHandle handle = CreateDriver(options.driverName);
  nlohmann::json report{{"command", recording ? "record" : "play"}};
  auto fail = [&](const std::string& problem) {
    report["problem"] = problem;
    if (options.json) printf("%s\n", report.dump(2).c_str());
    else printf("asiohost: %s\n", problem.c_str());
    ReleaseDriver(handle);
    return 1;
  };
  if (handle.driver == nullptr) return fail(handle.problem);
  IASIO* driver = handle.driver;
  if (!driver->init(nullptr)) return fail("the driver's init failed (the device could not be opened)");

  // What to play, and at which host rate.
  double rate = options.rate;
  std::unique_ptr<Source> source;
  std::string error;
  if (!options.file.empty()) {
    double fileRate = 0;
    bool dsf = options.file.size() > 4 && options.file.substr(options.file.size() - 4) == ".dsf";
    source = dsf ? OpenDsf(options.file, &error, &fileRate) : OpenWav(options.file, &error, &fileRate);
    if (!source) return fail(error);
    if (dsf && options.dop) {
      source = PackAsDop(std::move(source));
      fileRate /= 16;  // DSD64 travels as DoP at 176.4 kHz
    }
    if (rate == 0) rate = fileRate;
  } else {
    if (rate == 0) rate = options.dop ? 176400 : 48000;
    bool dsdRate = rate == 2822400 || rate == 5644800 || rate == 11289600;
    source = MakeTestSignal(dsdRate ? "dsd" : options.signal, options.dop ? rate * 16 : rate);
    if (options.dop) source = PackAsDop(MakeTestSignal("dsd", rate * 16));
  }
  ASIOError result = driver->setSampleRate(rate);
  if (result != ASE_OK) return fail("the driver refused the rate " + std::to_string((long)rate) + ": " + AsioErrorText(result));
  LONG minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
  driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity);
  LONG bufferSize = options.bufferFrames > 0 ? options.bufferFrames : preferred;
  if (options.bufferMs > 0) bufferSize = (LONG)(rate * options.bufferMs / 1000.0);
  LONG inputs = 0, outputs = 0;
  driver->getChannels(&inputs, &outputs);

  std::vector<ASIOBufferInfo> infos;
  if (!recording)
    for (LONG c = 0; c < outputs; ++c) infos.push_back({ASIOFalse, c, {nullptr, nullptr}});
  if (recording || options.duplex)
    for (LONG c = 0; c < inputs; ++c) infos.push_back({ASIOTrue, c, {nullptr, nullptr}});
  if (infos.empty()) return fail(recording ? "the driver offers no inputs" : "the driver offers no outputs");

  std::vector<Channel> channels(infos.size());
  const long seconds = options.seconds;
  for (size_t i = 0; i < infos.size(); ++i) {
    ASIOChannelInfo info{};
    info.channel = infos[i].channelNum;
    info.isInput = infos[i].isInput;
    driver->getChannelInfo(&info);
    channels[i].type = info.type;
    channels[i].bytes = BytesPerSample(info.type);
  }
  const bool dsd = channels[0].type == ASIOSTDSDInt8MSB1;
  const long halfBytes = dsd ? bufferSize / 8 : bufferSize * channels[0].bytes;
  const double buffersPerSecond = rate / bufferSize;
  const size_t expectedBuffers = (size_t)(buffersPerSecond * (seconds + 2)) + 16;
  for (Channel& c : channels) {
    c.written.reserve(expectedBuffers * halfBytes);
    c.read.reserve(expectedBuffers * halfBytes);
  }

  HostBehaviour behaviour;
  behaviour.timeInfo = !options.plainSwitch;
  behaviour.callOutputReady = options.outputReady;
  Host& host = Host::Instance();
  host.Configure(driver, behaviour, [&](LONG index, uint64_t) {
    for (size_t i = 0; i < channels.size(); ++i) {
      Channel& c = channels[i];
      uint8_t* buffer = static_cast<uint8_t*>(c.info->buffers[index]);
      if (buffer == nullptr) continue;
      if (c.info->isInput) {
        if (c.read.size() + halfBytes <= c.read.capacity()) c.read.insert(c.read.end(), buffer, buffer + halfBytes);
      } else {
        source->Render((int)c.info->channelNum, c.type, buffer, bufferSize);
        if (c.written.size() + halfBytes <= c.written.capacity())
          c.written.insert(c.written.end(), buffer, buffer + halfBytes);
      }
    }
    if (!recording) source->Advance(bufferSize);
  });

  auto create = [&]() {
    for (size_t i = 0; i < infos.size(); ++i) channels[i].info = &infos[i];
    return driver->createBuffers(infos.data(), (LONG)infos.size(), bufferSize, host.Callbacks());
  };
  int64_t startMs = (int64_t)(MonotonicNs() / 1000000);
  timespec wall;
  clock_gettime(CLOCK_REALTIME, &wall);
  int64_t wallStartMs = (int64_t)wall.tv_sec * 1000 + wall.tv_nsec / 1000000;
  result = create();
  if (result != ASE_OK) return fail("createBuffers(" + std::to_string(bufferSize) + ") failed: " + AsioErrorText(result));
  LONG inputLatency = 0, outputLatency = 0;
  driver->getLatencies(&inputLatency, &outputLatency);
  double cpuStart = CpuSeconds();
  driver->start();

  // What the driver publishes in the shared status block while it streams (as the control
  // panel sees it): the DSD flags, at their highest.
  HANDLE blockMapping = OpenFileMappingA(FILE_MAP_READ, FALSE, STATUS_BLOCK_NAME);
  const StatusBlock* block =
      blockMapping ? static_cast<const StatusBlock*>(MapViewOfFile(blockMapping, FILE_MAP_READ, 0, 0, 0)) : nullptr;
  LONG dsdActiveSeen = 0, dsd128Seen = 0;

  int resets = 0;
  const int64_t end = MonotonicNs() + (int64_t)seconds * 1000000000;
  while (MonotonicNs() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (block != nullptr && block->magic == STATUS_BLOCK_MAGIC) {
      dsdActiveSeen = std::max(dsdActiveSeen, BlockGet(block, &StatusBlock::dsdActive));
      dsd128Seen = std::max(dsd128Seen, BlockGet(block, &StatusBlock::dsd128));
    }
    if (host.ResetRequested()) {
      // A well-behaved host answers a reset request by disposing and initialising again.
      host.ClearResetRequest();
      ++resets;
      driver->stop();
      driver->disposeBuffers();
      if (!driver->init(nullptr) || driver->setSampleRate(rate) != ASE_OK || create() != ASE_OK) break;
      driver->start();
      if (resets >= options.maxResets) break;
    }
  }
  clock_gettime(CLOCK_REALTIME, &wall);
  const int64_t wallStopMs = (int64_t)wall.tv_sec * 1000 + wall.tv_nsec / 1000000;
  driver->stop();
  double cpu = CpuSeconds() - cpuStart;
  if (block != nullptr) UnmapViewOfFile(block);
  if (blockMapping != nullptr) CloseHandle(blockMapping);
  driver->disposeBuffers();
  ReleaseDriver(handle);
  (void)startMs;

  // Timing of the buffer switches.
  std::vector<int64_t> times = host.SwitchTimes();
  const double nominalUs = 1e6 * bufferSize / (dsd ? rate / 32 * 32 : rate);
  std::vector<double> periods, jitter;
  for (size_t i = 1; i < times.size(); ++i) {
    double p = (times[i] - times[i - 1]) / 1000.0;
    periods.push_back(p);
    jitter.push_back(std::fabs(p - nominalUs));
  }
  double mean = 0;
  for (double p : periods) mean += p;
  mean = periods.empty() ? 0 : mean / periods.size();
  size_t late = std::count_if(periods.begin(), periods.end(), [&](double p) { return p > 1.5 * nominalUs; });
  double audioSeconds = times.size() * bufferSize / rate;
  report["source"] = recording ? "device capture" : source->Describe();
  report["rate"] = rate;
  report["bufferSize"] = bufferSize;
  report["sampleType"] = SampleTypeText(channels[0].type);
  report["bufferSwitches"] = times.size();
  report["resetRequests"] = resets;
  report["period"] = {{"nominalUs", nominalUs}, {"meanUs", mean}};
  report["jitterUs"] = {{"p50", Percentile(jitter, 0.5)}, {"p99", Percentile(jitter, 0.99)},
                        {"max", jitter.empty() ? 0 : *std::max_element(jitter.begin(), jitter.end())}};
  report["lateSwitches"] = late;
  report["cpuPerAudioSecond"] = audioSeconds > 0 ? cpu / audioSeconds : 0;
  report["reportedLatency"] = {{"input", inputLatency}, {"output", outputLatency}};
  report["statusBlock"] = {{"found", block != nullptr}, {"dsdActive", dsdActiveSeen}, {"dsd128", dsd128Seen}};

  // What the device got.
  nlohmann::json record;
  std::vector<uint8_t> deviceData;
  bool haveStream = NewestDeviceStream(recording ? "capture" : "render", wallStartMs - 1000, &record, &deviceData);
  nlohmann::json device{{"found", haveStream}};
  if (haveStream) {
    device["mode"] = record.value("mode", "");
    device["format"] = record.value("format", nlohmann::json::object());
    device["frames"] = record.value("frames", 0);
    device["underruns"] = record.value("underruns", 0);
    // The device's underruns while the host streamed, and those after it asked the driver to
    // stop (the driver stops feeding the pins before it pauses them).
    int streaming = 0, atStop = 0;
    for (const auto& entry : velno::sim::device::ReadLog()) {
      if (entry.value("event", "") != "underrun" || entry.value("pid", 0) != (int)getpid()) continue;
      int64_t ms = entry.value("time", (int64_t)0);
      if (ms >= wallStartMs && ms < wallStopMs) ++streaming;
      if (ms >= wallStopMs) ++atStop;
    }
    report["underruns"] = streaming;
    report["underrunsAtStop"] = atStop;
    // How late the (simulated) device itself was at worst: a stall of the machine shows here too.
    device["clockLateMaxUs"] = record.value("clock", nlohmann::json::object()).value("lateMaxUs", 0);
  }
  // When the device played (or recorded) frame f: firstRunNs + f / rate on the monotonic clock
  // the host's switch times use, while the device's clock ran steadily.
  const nlohmann::json clock = record.value("clock", nlohmann::json::object());
  const int64_t firstRunNs = clock.value("firstRunNs", (int64_t)0);
  int64_t steadyFrames = clock.value("steadyFrames", (int64_t)-1);
  if (steadyFrames < 0) steadyFrames = record.value("frames", (int64_t)0);
  const double deviceRate = record.contains("format") ? record["format"].value("rate", 0.0) : 0.0;
  const int64_t deviceFramesPerBuffer = dsd ? bufferSize / 32 : bufferSize;
  auto deviceTimeNs = [&](int64_t frame) { return firstRunNs + (int64_t)((double)frame * 1e9 / deviceRate); };
  std::vector<double> latencyUs;
  if (haveStream && !recording) {
    // The device played two packets of start-up silence, then the host's buffers in order.
    const size_t deviceSample = dsd ? 4 : channels[0].bytes;
    const size_t pinChannels = record["format"].value("channels", 2);
    const size_t frameBytes = deviceSample * pinChannels;
    const size_t framesPerBuffer = dsd ? bufferSize / 32 : bufferSize;
    const size_t skip = 2 * framesPerBuffer;
    size_t deviceFrames = deviceData.size() / frameBytes;
    size_t compared = 0, mismatches = 0;
    for (size_t i = 0; i < channels.size() && i < pinChannels; ++i) {
      const std::vector<uint8_t>& sent = channels[i].written;
      size_t frames = std::min(sent.size() / deviceSample, deviceFrames > skip ? deviceFrames - skip : 0);
      for (size_t f = 0; f < frames; ++f) {
        if (memcmp(&sent[f * deviceSample], &deviceData[(skip + f) * frameBytes + i * deviceSample], deviceSample))
          ++mismatches;
      }
      compared += frames;
    }
    size_t sentFrames = channels[0].written.size() / deviceSample;
    // Output latency: buffer n, handed over at switch n, plays from device frame (n + 2) x N
    // (after the two start-up packets).
    for (size_t n = 0; haveStream && firstRunNs > 0 && deviceRate > 0 && n < times.size(); ++n) {
      int64_t frame = (int64_t)(n + 2) * deviceFramesPerBuffer;
      if (frame + deviceFramesPerBuffer > steadyFrames) break;
      latencyUs.push_back((deviceTimeNs(frame) - times[n]) / 1000.0);
    }
    device["comparedFrames"] = compared / std::max<size_t>(1, std::min(channels.size(), pinChannels));
    device["hostFrames"] = sentFrames;
    device["mismatchedSamples"] = mismatches;
    device["bitExact"] = compared > 0 && mismatches == 0;
  }
  if (haveStream && recording) {
    // The device records a known ramp: every sample must continue it without a gap.
    const int bits = record["format"].value("bits", 16);
    const size_t sample = channels[0].bytes;
    size_t checked = 0, wrong = 0;
    for (size_t i = 0; i < channels.size(); ++i) {
      const std::vector<uint8_t>& got = channels[i].read;
      size_t frames = got.size() / sample;
      size_t first = 0;
      while (first < frames) {  // skip the silent halves before capture copying starts
        uint32_t v = 0;
        for (size_t b = 0; b < sample; ++b) v |= (uint32_t)got[first * sample + b] << (8 * b);
        if (v != 0) break;
        ++first;
      }
      if (first >= frames) continue;
      uint32_t v0 = 0;
      for (size_t b = 0; b < sample; ++b) v0 |= (uint32_t)got[first * sample + b] << (8 * b);
      // Recover the device frame of the first sample: the ramp's step is odd, so it inverts.
      uint64_t mask = bits >= 32 ? 0xFFFFFFFFull : ((1ull << bits) - 1);
      uint64_t inverse = 1, step = 65539;
      for (int k = 0; k < 6; ++k) inverse = (inverse * (2 - step * inverse)) & 0xFFFFFFFFull;
      uint64_t frame0 = (((uint64_t)v0 - (uint64_t)channels[i].info->channelNum * 40503u - 122u) * inverse) & mask;
      if (i == 0 && firstRunNs > 0 && deviceRate > 0) {
        // Input latency: the half of switch n holds host frames from n x N on, the first of
        // them recorded when the device's clock was at its frame.
        for (size_t n = 0; n < times.size(); ++n) {
          if (n * (size_t)bufferSize < first) continue;
          int64_t frame = (int64_t)(frame0 + n * (size_t)bufferSize - first);
          if (frame + bufferSize > steadyFrames) break;
          latencyUs.push_back((times[n] - deviceTimeNs(frame)) / 1000.0);
        }
      }
      for (size_t f = first; f < frames; ++f) {
        uint32_t v = 0;
        for (size_t b = 0; b < sample; ++b) v |= (uint32_t)got[f * sample + b] << (8 * b);
        uint32_t expected = velno::sim::device::GeneratorSample(frame0 + (f - first), (uint32_t)channels[i].info->channelNum, bits);
        if (v != expected) ++wrong;
        ++checked;
      }
    }
    device["checkedSamples"] = checked;
    device["wrongSamples"] = wrong;
    device["bitExact"] = checked > 0 && wrong == 0;
  }
  if (!latencyUs.empty()) {
    double median = Percentile(latencyUs, 0.5);
    report["measuredLatency"] = {{recording ? "inputUs" : "outputUs", median},
                                 {recording ? "input" : "output", (long)std::lround(median * rate / 1e6)},
                                 {"buffers", latencyUs.size()}};
  }
  if (haveStream && !recording && options.duplex) device["loopback"] = CompareLoopback(channels, deviceData, record);
  report["device"] = device;

  if (options.json) {
    printf("%s\n", report.dump(2).c_str());
  } else {
    printf("%s %s at %.0f Hz, buffer %d (%s)\n", recording ? "Recorded" : "Played", report["source"].get<std::string>().c_str(),
           rate, bufferSize, report["sampleType"].get<std::string>().c_str());
    printf("  buffer switches %zu, period %.1f us (nominal %.1f), jitter p50 %.1f p99 %.1f max %.1f us, late %zu\n",
           times.size(), mean, nominalUs, report["jitterUs"]["p50"].get<double>(), report["jitterUs"]["p99"].get<double>(),
           report["jitterUs"]["max"].get<double>(), late);
    printf("  cpu %.4f s per second of audio, reported latency in %d / out %d frames, reset requests %d\n",
           report["cpuPerAudioSecond"].get<double>(), inputLatency, outputLatency, resets);
    if (report.contains("measuredLatency")) {
      const nlohmann::json& m = report["measuredLatency"];
      const char* key = recording ? "input" : "output";
      printf("  latency measured at the device: %s %ld frames (%.0f us, median of %zu buffers)\n", key,
             m[key].get<long>(), m[std::string(key) + "Us"].get<double>(), m["buffers"].get<size_t>());
    }
    if (haveStream) {
      printf("  device: mode %s, %s frames, underruns %d while streaming, %d after stop; its clock at worst %ld us late\n",
             device["mode"].get<std::string>().c_str(), device["frames"].dump().c_str(),
             report["underruns"].get<int>(), report["underrunsAtStop"].get<int>(),
             device["clockLateMaxUs"].get<long>());
      if (device.contains("bitExact"))
        printf("  device data %s the host's, bit for bit\n", device["bitExact"].get<bool>() ? "matches" : "DOES NOT match");
      if (device.contains("loopback")) {
        const nlohmann::json& l = device["loopback"];
        printf("  inputs: %s what the device played, bit for bit (%ld frames compared, %ld frames after it played)\n",
               l.value("bitExact", false) ? "returned" : "did NOT return", l.value("comparedFrames", 0L),
               l.value("offsetFrames", 0L));
      }
    } else {
      printf("  device: no stream found\n");
    }
  }
  return haveStream && device.value("bitExact", false) ? 0 : 3;
}

}  // namespace asiohost
