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

}  // namespace
}  // namespace drivertest
