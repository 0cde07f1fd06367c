// The simulated Velno-HD: its profile, paths, HID mode commands, instance slots and streams.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <velno/device.h>
#include <velno/machine.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "../../product/ProductIds.h"

using namespace velno::sim::device;
using velno::testing::TempMachine;

TEST(DeviceProfile, FreshMachineHasOneVelnoWithAudioAndHid) {
  TempMachine machine;
  auto devices = Devices();
  ASSERT_EQ(devices.size(), 1u);
  const UsbDevice& d = devices[0];
  EXPECT_EQ(d.vid, kProductTable[0].vendorId);
  EXPECT_EQ(d.pid, kProductTable[0].productId);
  EXPECT_TRUE(d.present);
  EXPECT_EQ(d.audio.friendlyName, "Velno-HD");
  EXPECT_EQ(d.hid.outputReportLength, 65u);
  EXPECT_EQ(d.hid.usagePage, 0xFF00);
  EXPECT_EQ(AudioInterfacePath(d, kAudioGuid),
            "\\\\?\\usb#vid_2fc6&pid_a10d&mi_01#7&1a2b3c4d&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global");
  EXPECT_EQ(HidInterfacePath(d), "\\\\?\\hid#vid_2fc6&pid_a10d&mi_06#8&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}");
  // Pins: render sink, two bridges, capture sink; PCM 16/24/32 at 32-384 kHz, stereo.
  ASSERT_EQ(d.audio.pins.size(), 4u);
  EXPECT_EQ(d.audio.pins[0].communication, kCommSink);
  EXPECT_EQ(d.audio.pins[0].dataFlow, kDataFlowIn);
  EXPECT_EQ(d.audio.pins[1].communication, kCommBridge);
  EXPECT_EQ(d.audio.pins[3].dataFlow, kDataFlowOut);
  ASSERT_EQ(d.audio.pins[0].ranges.size(), 3u);
  EXPECT_EQ(d.audio.pins[0].ranges[1].minBits, 24u);
  EXPECT_EQ(d.audio.pins[0].ranges[2].maxRate, 384000u);
  std::string ids = HardwareIds(d, Function::Audio);
  EXPECT_STREQ(ids.c_str(), "USB\\VID_2FC6&PID_A10D&REV_0100&MI_01");
}

TEST(DeviceProfile, PathsMatchCaseInsensitivelyAndOnlyWhilePresent) {
  TempMachine machine(nlohmann::json::parse(
      R"({"usb": [{"name": "Velno-HD"}, {"name": "Other", "vid": 4660, "pid": 22136, "hid": false}]})"));
  auto devices = Devices();
  ASSERT_EQ(devices.size(), 2u);
  std::string path = AudioInterfacePath(devices[1], kRenderGuid);
  for (char& c : path) c = static_cast<char>(toupper(c));
  UsbDevice found;
  Function fn;
  ASSERT_TRUE(FindByPath(path, &found, &fn));
  EXPECT_EQ(found.index, 1u);
  EXPECT_EQ(fn, Function::Audio);
  EXPECT_FALSE(devices[1].hid.present);
  EXPECT_FALSE(FindByPath(HidInterfacePath(devices[1]), nullptr, nullptr));

  auto profile = velno::sim::Profile();
  profile["usb"][1]["present"] = false;
  velno::sim::SaveProfile(profile);
  EXPECT_FALSE(FindByPath(path, nullptr, nullptr));
}

TEST(DeviceHid, ModeCommandsSwitchTheDacAndEveryReportIsLogged) {
  TempMachine machine;
  UsbDevice d = Devices()[0];
  auto report = [&](uint8_t code, uint8_t sel, uint8_t value) {
    std::vector<uint8_t> r(65, 0);
    r[1] = code, r[2] = 0x21, r[3] = sel, r[4] = value;
    HandleHidOutputReport(d, r.data(), r.size());
    return Mode(d.key);
  };
  EXPECT_EQ(Mode(d.key), "PCM");
  EXPECT_EQ(report(0xF5, 0x32, 0x2E), "DSD64");
  EXPECT_EQ(report(0xF6, 0x33, 0x08), "DSD64");  // another mode's "off" leaves it
  EXPECT_EQ(report(0xF5, 0x32, 0x08), "PCM");
  EXPECT_EQ(report(0xF7, 0x34, 0x2E), "DSD256");
  EXPECT_EQ(report(0xF7, 0x34, 0x08), "PCM");
  EXPECT_EQ(report(0xF8, 0x35, 0x01), "DoP");
  EXPECT_EQ(report(0xF8, 0x35, 0x00), "PCM");
  auto log = ReadLog();
  ASSERT_EQ(log.size(), 7u);
  EXPECT_EQ(log[0]["event"], "hid-output");
  EXPECT_EQ(log[0]["pid"], getpid());
  EXPECT_EQ(log[0]["length"], 65);
  EXPECT_EQ(log[0]["bytes"].get<std::string>().substr(0, 14), "00 f5 21 32 2e");
  EXPECT_NE(FormatLogEntry(log[0]).find("DSD64 on"), std::string::npos);
}

TEST(DeviceInstances, SlotsAreCountedAndReleasedWithTheirOwner) {
  TempMachine machine;
  UsbDevice d = Devices()[0];
  EXPECT_EQ(InstanceSlot::CurrentCount(d, 0, 2), 0u);
  auto a = InstanceSlot::Acquire(d, 0, 2);
  auto b = InstanceSlot::Acquire(d, 0, 2);
  ASSERT_TRUE(a && b);
  EXPECT_FALSE(InstanceSlot::Acquire(d, 0, 2));
  EXPECT_EQ(InstanceSlot::CurrentCount(d, 0, 2), 2u);
  a.reset();
  EXPECT_EQ(InstanceSlot::CurrentCount(d, 0, 2), 1u);

  // A slot held by a process that dies is free again.
  b.reset();
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  pid_t child = fork();
  if (child == 0) {
    auto held = InstanceSlot::Acquire(d, 0, 1);
    char c = held ? 'y' : 'n';
    (void)!write(pipefd[1], &c, 1);
    pause();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(pipefd[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  EXPECT_FALSE(InstanceSlot::Acquire(d, 0, 1));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(InstanceSlot::Acquire(d, 0, 1));
}

namespace {
struct Completion {
  std::mutex mutex;
  std::vector<std::pair<int, uint32_t>> done;  // packet number, status
  std::vector<uint32_t> bytes;                 // the bytes each completion reported
  std::vector<std::chrono::steady_clock::time_point> when;
};
struct Ctx {
  Completion* c;
  int n;
};
void OnDone(void* context, uint32_t status, uint32_t bytes) {
  auto* ctx = static_cast<Ctx*>(context);
  std::lock_guard<std::mutex> lock(ctx->c->mutex);
  ctx->c->done.emplace_back(ctx->n, status);
  ctx->c->bytes.push_back(bytes);
  ctx->c->when.push_back(std::chrono::steady_clock::now());
}
bool WaitFor(Completion& c, size_t n, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    {
      std::lock_guard<std::mutex> lock(c.mutex);
      if (c.done.size() >= n) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}
StreamFormat Stereo16(uint32_t rate) {
  StreamFormat f;
  f.rate = rate;
  return f;
}
}  // namespace

TEST(DeviceStream, RenderPacketsCompleteInOrderAtTheRateAndTheDeviceKeepsTheBytes) {
  TempMachine machine;
  UsbDevice d = Devices()[0];
  Completion c;
  const uint32_t frames = 480;  // 10 ms at 48 kHz
  std::vector<std::vector<uint8_t>> buffers(6, std::vector<uint8_t>(frames * 4));
  for (size_t i = 0; i < buffers.size(); i++)
    for (size_t j = 0; j < buffers[i].size(); j++) buffers[i][j] = static_cast<uint8_t>(i * 31 + j * 7);
  std::vector<Ctx> ctx;
  for (int i = 0; i < 6; i++) ctx.push_back({&c, i});
  std::string dataPath;
  {
    Stream s(d, 0, true, Stereo16(48000));
    dataPath = s.dataPath();
    s.SetState(Stream::kAcquire);
    s.SetState(Stream::kPause);
    for (int i = 0; i < 6; i++) ASSERT_TRUE(s.Submit(buffers[i].data(), frames * 4, OnDone, &ctx[i]));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(c.done.empty()) << "nothing is played before RUN";
    auto start = std::chrono::steady_clock::now();
    s.SetState(Stream::kRun);
    ASSERT_TRUE(WaitFor(c, 6, 2000));
    double elapsed = std::chrono::duration<double>(c.when.back() - start).count();
    EXPECT_GE(elapsed, 0.059);  // six packets of 10 ms cannot be played sooner
    s.SetState(Stream::kStop);
  }
  for (int i = 0; i < 6; i++) EXPECT_EQ(c.done[i], std::make_pair(i, uint32_t{kStreamOk}));
  std::ifstream in(dataPath, std::ios::binary);
  std::vector<uint8_t> played((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> sent;
  for (auto& b : buffers) sent.insert(sent.end(), b.begin(), b.end());
  EXPECT_EQ(played, sent);
  auto records = StreamRecords(d.key);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["frames"], 6 * frames);
  EXPECT_EQ(records[0]["format"]["rate"], 48000);
  EXPECT_EQ(records[0]["state"], "closed");
}

TEST(DeviceStream, CaptureDeliversTheRampAndStopCancelsInOrder) {
  TempMachine machine;
  UsbDevice d = Devices()[0];
  Completion c;
  StreamFormat f;
  f.rate = 96000, f.bits = 24, f.validBits = 24, f.blockAlign = 6;
  std::vector<std::vector<uint8_t>> buffers(4, std::vector<uint8_t>(96 * 6 + 3, 0xEE));  // a partial frame at the end
  std::vector<Ctx> ctx;
  for (int i = 0; i < 4; i++) ctx.push_back({&c, i});
  {
    Stream s(d, 3, false, f);
    s.SetState(Stream::kRun);
    for (int i = 0; i < 2; i++) s.Submit(buffers[i].data(), buffers[i].size(), OnDone, &ctx[i]);
    ASSERT_TRUE(WaitFor(c, 2, 1000));
    s.SetState(Stream::kPause);
    for (int i = 2; i < 4; i++) s.Submit(buffers[i].data(), buffers[i].size(), OnDone, &ctx[i]);
    s.CancelAll();
  }
  ASSERT_EQ(c.done.size(), 4u);
  EXPECT_EQ(c.done[2], std::make_pair(2, uint32_t{kStreamCancelled}));
  EXPECT_EQ(c.done[3], std::make_pair(3, uint32_t{kStreamCancelled}));
  for (int p = 0; p < 2; p++) {
    for (uint32_t fr = 0; fr < 96; fr++) {
      for (uint32_t ch = 0; ch < 2; ch++) {
        const uint8_t* s = buffers[p].data() + fr * 6 + ch * 3;
        uint32_t v = s[0] | s[1] << 8 | s[2] << 16;
        ASSERT_EQ(v, GeneratorSample(p * 96 + fr, ch, 24)) << "packet " << p << " frame " << fr;
      }
    }
    EXPECT_EQ(buffers[p][96 * 6], 0xEE) << "the partial frame is left alone";
  }
}

TEST(DeviceStream, AShortCaptureDeliversTheFirstHalfOfEachPacketAndLeavesJunkAfterIt) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"faults": {"shortCapture": true}}]})"));
  UsbDevice d = Devices()[0];
  ASSERT_TRUE(d.faults.shortCapture);
  Completion c;
  StreamFormat f;
  f.rate = 96000, f.bits = 24, f.validBits = 24, f.blockAlign = 6;
  const uint32_t frames = 97;  // an odd count: 48 frames come
  std::vector<std::vector<uint8_t>> buffers(3, std::vector<uint8_t>(frames * 6 + 3, 0xEE));  // a partial frame at the end
  std::vector<Ctx> ctx;
  for (int i = 0; i < 3; i++) ctx.push_back({&c, i});
  {
    Stream s(d, 3, false, f);
    s.SetState(Stream::kRun);
    for (int i = 0; i < 3; i++) s.Submit(buffers[i].data(), buffers[i].size(), OnDone, &ctx[i]);
    ASSERT_TRUE(WaitFor(c, 3, 1000));
    s.SetState(Stream::kStop);
  }
  for (int p = 0; p < 3; p++) {
    SCOPED_TRACE("packet " + std::to_string(p));
    EXPECT_EQ(c.done[p], std::make_pair(p, uint32_t{kStreamOk}));
    EXPECT_EQ(48u * 6, c.bytes[p]);
    for (uint32_t fr = 0; fr < 48; fr++) {
      for (uint32_t ch = 0; ch < 2; ch++) {
        const uint8_t* s = buffers[p].data() + fr * 6 + ch * 3;
        uint32_t v = s[0] | s[1] << 8 | s[2] << 16;
        ASSERT_EQ(v, GeneratorSample(p * frames + fr, ch, 24)) << "frame " << fr;  // numbered by the clock
      }
    }
    for (size_t b = 48 * 6; b < frames * 6; b++) ASSERT_EQ(0xA5, buffers[p][b]) << "byte " << b;
    EXPECT_EQ(buffers[p][frames * 6], 0xEE) << "the partial frame is left alone";
  }
  auto records = StreamRecords(d.key);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["frames"], 3 * frames);  // the device's clock ran through every frame
  EXPECT_EQ(records[0]["bytes"], 3 * 48 * 6);
}

TEST(DeviceStream, AStarvedRunningRenderStreamCountsAnUnderrunAndAStalledPinNeverCompletes) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{}, {"faults": {"stall": true}}]})"));
  auto devices = Devices();
  Completion c;
  std::vector<uint8_t> buf(48 * 4);
  Ctx a{&c, 0}, b{&c, 1};
  {
    Stream s(devices[0], 0, true, Stereo16(48000));
    s.SetState(Stream::kRun);
    s.Submit(buf.data(), buf.size(), OnDone, &a);
    ASSERT_TRUE(WaitFor(c, 1, 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(s.underruns(), 1u);
  }
  {
    Stream s(devices[1], 0, true, Stereo16(48000));
    s.SetState(Stream::kRun);
    s.Submit(buf.data(), buf.size(), OnDone, &b);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(c.done.size(), 1u);
  }  // closing cancels it
  ASSERT_EQ(c.done.size(), 2u);
  EXPECT_EQ(c.done[1], std::make_pair(1, uint32_t{kStreamCancelled}));
  bool sawUnderrun = false;
  for (auto& e : ReadLog()) sawUnderrun |= e["event"] == "underrun";
  EXPECT_TRUE(sawUnderrun);
}
