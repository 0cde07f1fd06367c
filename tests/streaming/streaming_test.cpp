// Streaming through VelnoHDASIO on the simulated Velno-HD, end to end: what a host writes is
// what the device plays, bit for bit, at every width, rate and DSD mode; recording returns the
// device's known signal; the engine's positions, start-up packets and stop order are those a
// host relies on.
#include <velno/device.h>

#include <atomic>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "DriverMachine.h"
#include "ProductIds.h"
#include "StatusBlock.h"

namespace drivertest {
namespace {

nlohmann::json Play(const std::vector<std::string>& args, int* exitCode = nullptr) {
  std::vector<std::string> all = {"play", "--json"};
  all.insert(all.end(), args.begin(), args.end());
  auto result = velno::testing::RunProcess(velno::testing::BinDir() + "/asiohost", all, 120);
  if (exitCode) *exitCode = result.exitCode;
  nlohmann::json report = nlohmann::json::parse(result.out, nullptr, false);
  EXPECT_FALSE(report.is_discarded()) << result.out << "\n" << result.err;
  return report;
}

std::vector<nlohmann::json> HidReports() {
  std::vector<nlohmann::json> reports;
  for (const auto& entry : velno::sim::device::ReadLog())
    if (entry.value("event", "") == "hid-output") reports.push_back(entry);
  return reports;
}

int HidCommandsSince(size_t before, const char* command) {
  std::vector<nlohmann::json> reports = HidReports();
  int n = 0;
  for (size_t i = before; i < reports.size(); ++i)
    if (reports[i].value("command", "") == command) ++n;
  return n;
}

// The shared status block as this test process holds it open (the named mapping the drivers
// and the control panel share): made here when no driver has made it yet.
class BlockView {
 public:
  BlockView() {
    mapping_ =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, STATUS_BLOCK_SIZE, STATUS_BLOCK_NAME);
    if (mapping_ != nullptr) block_ = static_cast<StatusBlock*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  }
  ~BlockView() {
    if (block_ != nullptr) UnmapViewOfFile(block_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
  }
  BlockView(const BlockView&) = delete;
  BlockView& operator=(const BlockView&) = delete;
  StatusBlock* operator->() const { return block_; }
  StatusBlock* get() const { return block_; }

 private:
  HANDLE mapping_ = nullptr;
  StatusBlock* block_ = nullptr;
};

class StreamingTest : public DriverMachineTest {};

TEST_F(StreamingTest, PcmReachesTheDeviceBitForBitAtEveryWidth) {
  StartMachine();
  for (DWORD bits : {16u, 24u, 32u}) {
    for (const char* rate : {"44100", "96000", "384000"}) {
      SetUserDword("BitsPerSample", bits);
      nlohmann::json report = Play({"--rate", rate, "--seconds", "1", "--signal", "ramp"});
      SCOPED_TRACE(std::to_string(bits) + " bits at " + rate);
      EXPECT_EQ(bits == 16 ? "ASIOSTInt16LSB" : bits == 24 ? "ASIOSTInt24LSB" : "ASIOSTInt32LSB", report["sampleType"]);
      EXPECT_EQ(true, report["device"]["bitExact"]) << report.dump(2);
      EXPECT_EQ(bits, report["device"]["format"]["bits"]);
      EXPECT_EQ(std::stoi(rate), report["device"]["format"]["rate"]);
      EXPECT_GT(report["device"]["comparedFrames"].get<long>(), std::stol(rate) / 2);
      EXPECT_EQ("PCM", report["device"]["mode"]);
      EXPECT_GT(report["measuredLatency"].value("buffers", 0), 0) << report.dump(2);  // the device's clock was read
    }
  }
}

TEST_F(StreamingTest, NativeDsdReachesTheDeviceAsFourBytesPerContainer) {
  StartMachine();
  struct Case {
    const char* rate;
    const char* mode;
    int carrier;
  };
  for (Case c : {Case{"2822400", "DSD64", 88200}, Case{"5644800", "DSD128", 176400}, Case{"11289600", "DSD256", 352800}}) {
    nlohmann::json report = Play({"--rate", c.rate, "--seconds", "1"});
    SCOPED_TRACE(c.mode);
    EXPECT_EQ("ASIOSTDSDInt8MSB1", report["sampleType"]);
    EXPECT_EQ(c.mode, report["device"]["mode"]);
    EXPECT_EQ(c.carrier, report["device"]["format"]["rate"]);
    EXPECT_EQ(32, report["device"]["format"]["bits"]);
    EXPECT_EQ(true, report["device"]["bitExact"]) << report.dump(2);
  }
  // Every disposal switches all three DSD modes off again.
  std::vector<nlohmann::json> reports = HidReports();
  ASSERT_GE(reports.size(), 4u);
  EXPECT_EQ("PCM", velno::sim::device::Mode("usb0"));
}

TEST_F(StreamingTest, DopIsDetectedAtDsdCarrierRatesAndSwitchesTheDeviceOnce) {
  StartMachine();
  SetUserDword("BitsPerSample", 24);
  struct Case {
    const char* rate;
    int dsd128;  // DoP at 176.4 kHz carries DSD64, at 352.8 kHz DSD128
  };
  for (Case c : {Case{"176400", 0}, Case{"352800", 1}}) {
    SCOPED_TRACE(c.rate);
    size_t before = HidReports().size();
    nlohmann::json report = Play({"--dop", "--rate", c.rate, "--seconds", "1"});
    EXPECT_EQ(true, report["device"]["bitExact"]) << report.dump(2);
    EXPECT_EQ("DoP", report["device"]["mode"]);  // the DAC switched while the stream ran
    EXPECT_EQ(1, report["statusBlock"]["dsdActive"]) << report.dump(2);
    EXPECT_EQ(c.dsd128, report["statusBlock"]["dsd128"]);
    int dopOn = 0, dopOff = 0;
    std::vector<nlohmann::json> reports = HidReports();
    for (size_t i = before; i < reports.size(); ++i) {
      if (reports[i].value("command", "") == "DoP on") ++dopOn;
      if (reports[i].value("command", "") == "DoP off") ++dopOff;
    }
    EXPECT_EQ(1, dopOn);   // once per start, however many halves carry markers
    EXPECT_EQ(1, dopOff);  // and off again at stop
  }
}

TEST_F(StreamingTest, DsdStartsWithSilencePacketsAndNoDopScanOutsideItsRates) {
  StartMachine();
  nlohmann::json report = Play({"--rate", "2822400", "--seconds", "1"});
  ASSERT_EQ(true, report["device"]["bitExact"]) << report.dump(2);
  // The host's preferred buffer: 28224 DSD samples, 3528 bytes a half, 882 containers of each
  // channel per packet. Bit-exact means the device's stream, after two packets of 882 frames,
  // is the host's halves in order: packets of any other length would break it, and shorter
  // halves would be overrun as the host fills them (which the address sanitizer stops).
  ASSERT_EQ(28224, report["bufferSize"]);
  nlohmann::json newest;
  for (const auto& r : velno::sim::device::StreamRecords("usb0"))
    if (r.value("direction", "") == "render") newest = r;
  ASSERT_TRUE(newest.contains("data"));
  std::ifstream in(newest["data"].get<std::string>(), std::ios::binary);
  std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t startup = 2 * 882 * 8;  // two packets of 882 frames, two 32-bit containers each
  ASSERT_GE(data.size(), startup);
  for (size_t i = 0; i < startup; ++i) ASSERT_EQ(0x69, data[i]) << "byte " << i;

  // DoP markers at 96 kHz are not looked for: no DoP command.
  SetUserDword("BitsPerSample", 24);
  report = Play({"--dop", "--rate", "96000", "--seconds", "1"});
  EXPECT_EQ(true, report["device"]["bitExact"]) << report.dump(2);
  EXPECT_EQ(0, report["statusBlock"]["dsdActive"]);
  for (const auto& r : HidReports()) EXPECT_NE("DoP on", r.value("command", ""));
}

TEST_F(StreamingTest, ThirtyTwoBitDopIsNotLookedForWhileTheBlockShowsNativeDsd) {
  // 32-bit halves at a DoP carrier rate are native DSD while a native DSD rate is prepared: the
  // block's nativeDsd says so, perhaps set by another driver that owns the block. The block is
  // made here, as that other driver leaves it; its DSD display flags stay 0, so that anything
  // the host's driver published in them would show.
  StartMachine();
  SetUserDword("BitsPerSample", 32);
  BlockView block;
  ASSERT_NE(nullptr, block.get());
  const GUID otherDriver = {0x0bed0002, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
  struct Case {
    const char* what;
    bool otherOwns;
    LONG nativeDsd;
    int dopOn;        // "DoP on" commands the host's driver sent
    LONG dsdActive;   // what the block showed while the host played
    LONG nativeDsdAfter;
    const char* mode;  // the DAC's mode while the stream ran
  };
  const Case cases[] = {
      {"another driver owns the block and has native DSD prepared", true, 1, 0, 0, 1, "PCM"},
      {"another driver owns the block without native DSD", true, 0, 1, 0, 0, "DoP"},
      // The driver that takes the block publishes its own nativeDsd at createBuffers.
      {"a stale nativeDsd in a block nobody owns", false, 1, 1, 1, 0, "DoP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    memset(block.get(), 0, STATUS_BLOCK_SIZE);
    BlockSet(block.get(), &StatusBlock::magic, STATUS_BLOCK_MAGIC);
    if (c.otherOwns) {
      memcpy(&block->owner, &otherDriver, sizeof otherDriver);
      BlockSet(block.get(), &StatusBlock::state, 3);  // PREPARED
    }
    BlockSet(block.get(), &StatusBlock::nativeDsd, c.nativeDsd);
    size_t before = HidReports().size();

    nlohmann::json report = Play({"--dop", "--rate", "176400", "--seconds", "1"});
    EXPECT_EQ("ASIOSTInt32LSB", report["sampleType"]) << report.dump(2);
    EXPECT_EQ(true, report["device"]["bitExact"]) << report.dump(2);  // copied as they are, scanned or not
    EXPECT_EQ(std::string(c.mode), report["device"]["mode"]);
    EXPECT_EQ(true, report["statusBlock"]["found"]);
    EXPECT_EQ(c.dsdActive, report["statusBlock"]["dsdActive"]);
    EXPECT_EQ(0, report["statusBlock"]["dsd128"]);
    EXPECT_EQ(c.dopOn, HidCommandsSince(before, "DoP on"));
    EXPECT_EQ(c.dopOn, HidCommandsSince(before, "DoP off"));
    EXPECT_EQ(c.nativeDsdAfter, BlockGet(block.get(), &StatusBlock::nativeDsd));
    EXPECT_EQ(c.otherOwns, memcmp(&block->owner, &otherDriver, sizeof otherDriver) == 0);  // still the other driver's
  }
}

TEST_F(StreamingTest, ARenderOnlyDevicePlays) {
  nlohmann::json pins = nlohmann::json::array({nlohmann::json::object(), nlohmann::json::object(),
                                               nlohmann::json::object(), {{"communication", "bridge"}}});
  StartMachine({{"usb", {{{"name", "Velno-HD"}, {"audio", {{"pins", pins}}}}}}});
  nlohmann::json report = Play({"--rate", "48000", "--seconds", "1", "--signal", "ramp"});
  EXPECT_EQ(true, report["device"]["bitExact"]) << report.dump(2);
  EXPECT_GT(report["bufferSwitches"].get<int>(), 50);
}

TEST_F(StreamingTest, RecordingReturnsTheDevicesSignal) {
  StartMachine();
  for (DWORD bits : {16u, 24u}) {
    SetUserDword("BitsPerSample", bits);
    auto result = velno::testing::RunProcess(velno::testing::BinDir() + "/asiohost",
                                             {"record", "--json", "--rate", "48000", "--seconds", "1"}, 60);
    nlohmann::json report = nlohmann::json::parse(result.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << result.out << result.err;
    EXPECT_EQ(true, report["device"]["bitExact"]) << report.dump(2);
    EXPECT_GT(report["device"]["checkedSamples"].get<long>(), 40000);
  }
}

TEST_F(StreamingTest, ALoopedDeviceReturnsWhatTheHostPlayedBitForBit) {
  // Host outputs -> driver -> device -> its capture side -> driver -> host inputs.
  StartMachine({{"usb", {{{"name", "Velno-HD"}, {"audio", {{"loopback", true}}}}}}});
  for (DWORD bits : {16u, 24u, 32u}) {
    SCOPED_TRACE(std::to_string(bits) + " bits");
    SetUserDword("BitsPerSample", bits);
    nlohmann::json report = Play({"--duplex", "--rate", "96000", "--seconds", "1", "--signal", "ramp"});
    EXPECT_EQ(true, report["device"]["bitExact"]) << report.dump(2);
    const nlohmann::json& loopback = report["device"]["loopback"];
    EXPECT_EQ(true, loopback["bitExact"]) << report.dump(2);
    EXPECT_GT(loopback["comparedFrames"].get<long>(), 2 * 96000 * 3 / 4);  // both inputs, most of the second
  }
}

TEST_F(StreamingTest, AStalledPinMakesOneResetRequest) {
  StartMachine({{"usb", {{{"name", "Velno-HD"}, {"faults", {{"stall", true}}}}}}});
  nlohmann::json report = Play({"--seconds", "3"});
  EXPECT_EQ(1, report["resetRequests"]) << report.dump(2);
  EXPECT_EQ(0, report["bufferSwitches"]);
}

// ---- the engine seen from inside a host

struct SwitchLog {
  std::atomic<int> count{0};
  LONG halves[16] = {};
  ULONGLONG positions[16] = {};
  BYTE firstInputByte[16] = {};
  ASIOBufferInfo* infos = nullptr;
  IASIO* driver = nullptr;
};
SwitchLog g_log;

ASIOTime* OnSwitch(ASIOTime* time, LONG index, ASIOBool) {
  int n = g_log.count.load();
  if (n < 16) {
    g_log.halves[n] = index;
    g_log.positions[n] = ((ULONGLONG)time->timeInfo.samplePosition.hi << 32) | time->timeInfo.samplePosition.lo;
    const BYTE* input = static_cast<const BYTE*>(g_log.infos[1].buffers[index]);
    BYTE any = 0;
    for (int i = 0; i < 64; ++i) any |= input[i];
    g_log.firstInputByte[n] = any;
  }
  g_log.count = n + 1;
  return nullptr;
}
LONG OnMessage(LONG selector, LONG, void*, double*) {
  if (selector == kAsioEngineVersion) return 2;
  if (selector == kAsioSupportsTimeInfo) return 1;
  return 0;
}

TEST_F(StreamingTest, PositionsHalvesAndTheFirstCaptureHalves) {
  StartMachine();
  IASIO* driver = CreateRegisteredDriver();
  ASSERT_NE(nullptr, driver);
  ASSERT_EQ(ASIOTrue, driver->init(nullptr));
  ASSERT_EQ(ASE_OK, driver->setSampleRate(48000));
  ASIOBufferInfo infos[2] = {{ASIOFalse, 0, {}}, {ASIOTrue, 0, {}}};
  g_log.count = 0;
  g_log.infos = infos;
  ASIOCallbacks callbacks = {[](LONG, ASIOBool) {}, [](ASIOSampleRate) {}, OnMessage, OnSwitch};
  const LONG frames = 480;
  ASSERT_EQ(ASE_OK, driver->createBuffers(infos, 2, frames, &callbacks));
  ASSERT_EQ(ASE_OK, driver->start());
  for (int i = 0; i < 200 && g_log.count < 8; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(ASE_OK, driver->stop());
  ASSERT_GE(g_log.count.load(), 8);
  for (int n = 0; n < 8; ++n) {
    EXPECT_EQ(n % 2, g_log.halves[n]) << n;
    EXPECT_EQ((ULONGLONG)n * frames, g_log.positions[n]) << n;
  }
  EXPECT_EQ(0, g_log.firstInputByte[0]);
  EXPECT_EQ(0, g_log.firstInputByte[1]);
  EXPECT_NE(0, g_log.firstInputByte[2]);  // the device's signal from the third switch on
  ASIOSamples position;
  ASIOTimeStamp stamp;
  EXPECT_EQ(ASE_OK, driver->getSamplePosition(&position, &stamp));
  EXPECT_GE(position.lo, 7u * frames);
  ASSERT_EQ(ASE_OK, driver->disposeBuffers());
  driver->Release();
}

TEST_F(StreamingTest, StopTakesThePinsDownCaptureFirstAtEachStep) {
  StartMachine();
  IASIO* driver = CreateRegisteredDriver();
  ASSERT_NE(nullptr, driver);
  ASSERT_EQ(ASIOTrue, driver->init(nullptr));
  ASIOBufferInfo infos[2] = {{ASIOFalse, 0, {}}, {ASIOTrue, 0, {}}};
  g_log.count = 0;
  g_log.infos = infos;
  ASIOCallbacks callbacks = {[](LONG, ASIOBool) {}, [](ASIOSampleRate) {}, OnMessage, OnSwitch};
  ASSERT_EQ(ASE_OK, driver->createBuffers(infos, 2, 256, &callbacks));
  ASSERT_EQ(ASE_OK, driver->start());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  size_t before = velno::sim::device::ReadLog().size();
  ASSERT_EQ(ASE_OK, driver->stop());
  // stop() has returned: the pins are down already.
  std::vector<std::string> transitions;
  std::vector<nlohmann::json> log = velno::sim::device::ReadLog();
  for (size_t i = before; i < log.size(); ++i)
    if (log[i].value("event", "") == "pin-state")
      transitions.push_back(std::to_string(log[i].value("pin", -1)) + ":" + log[i].value("to", ""));
  // Pin 3 is the capture sink, pin 0 the render sink.
  std::vector<std::string> expected = {"3:PAUSE", "0:PAUSE", "3:ACQUIRE", "0:ACQUIRE", "3:STOP", "0:STOP"};
  EXPECT_EQ(expected, transitions);
  driver->disposeBuffers();
  driver->Release();
}

// ---- capture packets the device returns short

struct CaptureLog {
  static constexpr int kSwitches = 10;
  std::atomic<int> count{0};
  std::vector<BYTE> halves[kSwitches][2];  // input halves 0 and 1 as each switch handed them over
  ASIOBufferInfo* infos = nullptr;
};
CaptureLog g_capture;

ASIOTime* OnCaptureSwitch(ASIOTime*, LONG index, ASIOBool) {
  int n = g_capture.count.load();
  if (n < CaptureLog::kSwitches)
    for (int c = 0; c < 2; ++c)
      memcpy(g_capture.halves[n][c].data(), g_capture.infos[c].buffers[index], g_capture.halves[n][c].size());
  g_capture.count = n + 1;
  return nullptr;
}

TEST_F(StreamingTest, AShortCapturePacketFillsOnlyTheFramesThatCame) {
  // Each capture packet of N frames brings its first N/2 (the device's shortCapture fault);
  // packet n holds device frames n*N on. The driver allocates the host halves zero-filled and
  // copies what came: from the third switch (capture copying starts there), every half holds
  // the generator's signal in its first N/2 frames and zeros after them.
  StartMachine({{"usb", {{{"name", "Velno-HD"}, {"faults", {{"shortCapture", true}}}}}}});
  const LONG frames = 480, delivered = frames / 2;
  for (LONG bits : {16, 24, 32}) {
    SCOPED_TRACE(std::to_string(bits) + " bits");
    const size_t sample = bits / 8;
    SetUserDword("BitsPerSample", bits);  // the width, for the settings the block has not loaded yet
    IASIO* driver = CreateRegisteredDriver();
    ASSERT_NE(nullptr, driver);
    {
      BlockView block;  // and in the block, as the control panel hands it over
      ASSERT_NE(nullptr, block.get());
      BlockSet(block.get(), &StatusBlock::reqBits, bits);
    }
    ASSERT_EQ(ASIOTrue, driver->init(nullptr));
    ASSERT_EQ(ASE_OK, driver->setSampleRate(48000));
    ASIOChannelInfo info{};
    info.channel = 0;
    info.isInput = ASIOTrue;
    ASSERT_EQ(ASE_OK, driver->getChannelInfo(&info));
    ASSERT_EQ(bits == 16 ? ASIOSTInt16LSB : bits == 24 ? ASIOSTInt24LSB : ASIOSTInt32LSB, info.type);
    ASIOBufferInfo infos[2] = {{ASIOTrue, 0, {}}, {ASIOTrue, 1, {}}};
    g_capture.count = 0;
    g_capture.infos = infos;
    for (auto& halves : g_capture.halves)
      for (auto& half : halves) half.assign(frames * sample, 0xEE);
    ASIOCallbacks callbacks = {[](LONG, ASIOBool) {}, [](ASIOSampleRate) {}, OnMessage, OnCaptureSwitch};
    ASSERT_EQ(ASE_OK, driver->createBuffers(infos, 2, frames, &callbacks));
    ASSERT_EQ(ASE_OK, driver->start());
    for (int i = 0; i < 300 && g_capture.count < CaptureLog::kSwitches; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(ASE_OK, driver->stop());
    ASSERT_EQ(ASE_OK, driver->disposeBuffers());
    driver->Release();
    ASSERT_GE(g_capture.count.load(), CaptureLog::kSwitches);

    for (int n = 0; n < CaptureLog::kSwitches; ++n) {
      for (int c = 0; c < 2; ++c) {
        const std::vector<BYTE>& half = g_capture.halves[n][c];
        for (LONG f = 0; f < frames; ++f) {
          uint32_t got = 0;
          for (size_t b = 0; b < sample; ++b) got |= (uint32_t)half[f * sample + b] << (8 * b);
          const bool came = n >= 2 && f < delivered;
          const uint32_t expected = came ? velno::sim::device::GeneratorSample((uint64_t)n * frames + f, c, bits) : 0;
          ASSERT_EQ(expected, got) << "switch " << n << ", channel " << c << ", frame " << f
                                   << (came ? " (delivered)" : " (not delivered: must stay untouched)");
        }
      }
    }
  }
}

}  // namespace
}  // namespace drivertest
