// The kernel-streaming transport's packet copies on a probed driver object: when the DoP scan
// runs and what it publishes, native DSD geometry, and capture packets the device filled only
// in part.
#include <gtest/gtest.h>
#include <velno/device.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "KsConversion.h"
#include "SampleBuffers.h"
#include "testsupport.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);

namespace {

const GUID kClass = {0x5eed0001, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

int HidCommands(const char* command) {
  int n = 0;
  for (const auto& entry : velno::sim::device::ReadLog())
    if (entry.value("event", "") == "hid-output" && entry.value("command", "") == command) ++n;
  return n;
}

// A driver object probed on a fresh machine (it owns the status block), and one opened
// stereo pin whose packet 0 carries host half 0 of channels 0 and 1.
class PacketCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool attached = DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    (void)attached;
    machine_ = std::make_unique<velno::testing::TempMachine>();
    driver_ = new CAsioSample(nullptr);
    driver_->NonDelegatingAddRef();
    ASSERT_EQ(S_OK, driver_->ProbeDevice(kClass));
    ASSERT_TRUE(driver_->OwnsBlock());
    record_ = std::make_unique<RateRecord>();
    memset(record_.get(), 0, sizeof(RateRecord));
  }
  void TearDown() override {
    for (void* b : buffers_) FreeSampleBuffer(b);
    if (driver_) driver_->NonDelegatingRelease();
    machine_.reset();
  }
  // The format as createBuffers leaves it: sample width, device rate and selected clock rate.
  void Select(LONG bits, LONG deviceRate, LONG clockRate) {
    driver_->bitsPerSample = bits;
    driver_->deviceRate = deviceRate;
    driver_->clockRate = clockRate;
    BlockSet(driver_->statusBlock, &StatusBlock::runRate, deviceRate);
  }
  void OpenStereoPin(ULONG frames, size_t sampleSize, bool capture) {
    record_->pinCount = 1;
    record_->openedPins = 1;
    record_->channelCount = 2;
    PinSlot& pin = record_->pins[0];
    pin.inUse = pin.opened = 1;
    pin.channelsUsed = 2;
    pin.framesPerPacket = frames;
    KSSTREAM_HEADER& header = pin.packets[0].header;
    header.FrameExtent = (ULONG)(frames * 2 * sampleSize);
    header.Data = Buffer(header.FrameExtent);
    header.DataUsed = capture ? 0 : header.FrameExtent;
    for (ULONG c = 0; c < 2; ++c) {
      ChannelSlot& channel = record_->channels[c];
      channel.active = 1;
      channel.indexInPin = c;
      channel.pinSlot = &pin;
      channel.frames = frames;
      channel.buffers[0] = Buffer(frames * sampleSize);
    }
  }
  BYTE* Buffer(size_t bytes) {
    buffers_.push_back(AllocateSampleBuffer(bytes));
    return static_cast<BYTE*>(buffers_.back());
  }
  BYTE* Host(int channel) { return static_cast<BYTE*>(record_->channels[channel].buffers[0]); }
  BYTE* Packet() { return static_cast<BYTE*>(record_->pins[0].packets[0].header.Data); }
  LONG Block(LONG StatusBlock::*field) { return BlockGet(driver_->statusBlock, field); }

  std::unique_ptr<velno::testing::TempMachine> machine_;
  CAsioSample* driver_ = nullptr;
  std::unique_ptr<RateRecord> record_;
  std::vector<void*> buffers_;
};

TEST_F(PacketCopyTest, TheDopScanRunsAtCarrierRatesOnlyAndPublishesWhatItFinds) {
  struct Case {
    LONG bits, rate;
    bool nativeDsd;  // another driver object has a native DSD rate prepared
    bool scanned;
    LONG dsd128;
  };
  const Case cases[] = {
      {24, 176400, false, true, 0}, {24, 352800, false, true, 1}, {32, 176400, false, true, 0},
      {32, 352800, false, true, 1}, {24, 96000, false, false, 0}, {32, 176400, true, false, 0},
      {24, 176400, true, true, 0},  // 24-bit halves are never native DSD
  };
  const ULONG frames = 441;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + " bits at " + std::to_string(c.rate) + (c.nativeDsd ? ", native DSD set" : ""));
    const size_t sampleSize = c.bits / 8;
    Select(c.bits, c.rate, c.rate);
    OpenStereoPin(frames, sampleSize, false);
    for (int ch = 0; ch < 2; ++ch)
      for (ULONG i = 0; i < frames; ++i) {
        BYTE* sample = Host(ch) + i * sampleSize;
        for (size_t b = 0; b + 1 < sampleSize; ++b) sample[b] = (BYTE)(i * 3 + b + ch);
        sample[sampleSize - 1] = (i & 1) ? 0xFA : 0x05;
      }
    driver_->dopActive = 0;
    BlockSet(driver_->statusBlock, &StatusBlock::dsdActive, 0);
    BlockSet(driver_->statusBlock, &StatusBlock::dsd128, 0);
    BlockSet(driver_->statusBlock, &StatusBlock::nativeDsd, c.nativeDsd ? 1 : 0);
    const int commandsBefore = HidCommands("DoP on");

    FillRenderPackets(driver_, record_.get(), 0, 0);
    FillRenderPackets(driver_, record_.get(), 0, 0);  // a second marked half sends nothing more

    EXPECT_EQ(c.scanned ? 1 : 0, HidCommands("DoP on") - commandsBefore);
    EXPECT_EQ(c.scanned ? 1 : 0, driver_->dopActive);
    EXPECT_EQ(c.scanned ? 1 : 0, Block(&StatusBlock::dsdActive));
    EXPECT_EQ(c.dsd128, Block(&StatusBlock::dsd128));
    for (ULONG i = 0; i < frames; ++i)  // copied as they are, scanned or not
      for (int ch = 0; ch < 2; ++ch)
        ASSERT_EQ(0, memcmp(Packet() + (2 * i + ch) * sampleSize, Host(ch) + i * sampleSize, sampleSize)) << i;

    // A half without markers: the block stops showing DSD; the device stays in DoP until stop.
    if (c.scanned) {
      Host(0)[sampleSize - 1] = 0x12;
      Host(1)[sampleSize - 1] = 0x12;
      FillRenderPackets(driver_, record_.get(), 0, 0);
      EXPECT_EQ(0, Block(&StatusBlock::dsdActive));
      EXPECT_EQ(0, Block(&StatusBlock::dsd128));
      EXPECT_EQ(1, driver_->dopActive);
    }
  }
}

TEST_F(PacketCopyTest, DopAt352kHzShowsDsd128WhateverRateAnotherDriverPublished) {
  // A driver that does not own the block still publishes its rate there (runRate): the owner's
  // DSD128 display follows the owner's own rate.
  Select(24, 352800, 352800);
  BlockSet(driver_->statusBlock, &StatusBlock::runRate, 96000);
  const ULONG frames = 64;
  OpenStereoPin(frames, 3, false);
  for (int ch = 0; ch < 2; ++ch)
    for (ULONG i = 0; i < frames; ++i) Host(ch)[i * 3 + 2] = (i & 1) ? 0xFA : 0x05;
  FillRenderPackets(driver_, record_.get(), 0, 0);
  EXPECT_EQ(1, Block(&StatusBlock::dsdActive));
  EXPECT_EQ(1, Block(&StatusBlock::dsd128));
}

TEST_F(PacketCopyTest, Dsd64HalvesOf28224SamplesFill882ContainersPerChannel) {
  // The geometry createBuffers gives a host buffer of 28224 DSD samples on the device's pins:
  // 3528 bytes a half, packets of 882 frames of two 32-bit containers, four bytes of one
  // channel in each container.
  ASSERT_EQ(ASIOTrue, driver_->init(nullptr));
  ASSERT_EQ(ASE_OK, driver_->setSampleRate(2822400.0));
  ASIOBufferInfo infos[2] = {{ASIOFalse, 0, {}}, {ASIOFalse, 1, {}}};
  ASIOCallbacks callbacks = {[](LONG, ASIOBool) {}, [](ASIOSampleRate) {},
                             [](LONG, LONG, void*, double*) -> LONG { return 0; }, nullptr};
  ASSERT_EQ(ASE_OK, driver_->createBuffers(infos, 2, 28224, &callbacks));
  RateRecord* record = static_cast<RateRecord*>(driver_->activeRender);
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(88200, record->sampleRate);
  EXPECT_EQ(32, driver_->bitsPerSample);
  const ULONG frames = 882;
  const size_t halfBytes = 3528;
  PinSlot* pin = record->channels[0].pinSlot;
  ASSERT_NE(nullptr, pin);
  ASSERT_TRUE(pin->opened);
  EXPECT_EQ(2u, pin->channelsUsed);
  EXPECT_EQ(frames, pin->framesPerPacket);
  for (const PacketRecord& packet : pin->packets) EXPECT_EQ(frames * 8, packet.header.FrameExtent);
  for (int ch = 0; ch < 2; ++ch) {
    EXPECT_EQ(pin, record->channels[ch].pinSlot);
    EXPECT_EQ(frames, record->channels[ch].frames);
    for (int h = 0; h < 2; ++h) {
      ASSERT_NE(nullptr, infos[ch].buffers[h]);
      // A whole half, as a host writes it (a shorter buffer is overrun: the sanitizer stops it).
      BYTE* half = static_cast<BYTE*>(infos[ch].buffers[h]);
      for (size_t i = 0; i < halfBytes; ++i) half[i] = (BYTE)(i * 5 + ch * 101 + h * 37);
    }
  }
  for (int h = 0; h < 2; ++h) {
    FillRenderPackets(driver_, record, h, h);
    const BYTE* packet = static_cast<const BYTE*>(pin->packets[h].header.Data);
    for (ULONG f = 0; f < frames; ++f)
      for (int ch = 0; ch < 2; ++ch)
        ASSERT_EQ(0, memcmp(packet + f * 8 + ch * 4, static_cast<BYTE*>(infos[ch].buffers[h]) + f * 4, 4))
            << "half " << h << ", container " << f << ", channel " << ch;
  }
  EXPECT_EQ(0, driver_->dopActive);  // the containers are DSD themselves: no scan
  EXPECT_EQ(ASE_OK, driver_->disposeBuffers());
}

TEST_F(PacketCopyTest, AShortCapturePacketCopiesOnlyTheFramesDelivered) {
  for (size_t sampleSize : {2u, 3u, 4u}) {
    SCOPED_TRACE(std::to_string(sampleSize) + "-byte samples");
    const ULONG frames = 480, delivered = 301;
    Select((LONG)sampleSize * 8, 48000, 48000);
    OpenStereoPin(frames, sampleSize, true);
    KSSTREAM_HEADER& header = record_->pins[0].packets[0].header;
    for (ULONG i = 0; i < header.FrameExtent; ++i) Packet()[i] = (BYTE)(i * 7 + 1);
    for (int ch = 0; ch < 2; ++ch) memset(Host(ch), 0xEE, frames * sampleSize);
    header.DataUsed = (ULONG)(delivered * 2 * sampleSize);

    CopyCapturePackets(driver_, record_.get(), 0, 0);
    for (int ch = 0; ch < 2; ++ch) {
      for (ULONG i = 0; i < delivered; ++i)
        ASSERT_EQ(0, memcmp(Host(ch) + i * sampleSize, Packet() + (2 * i + ch) * sampleSize, sampleSize)) << i;
      for (size_t b = delivered * sampleSize; b < frames * sampleSize; ++b)
        ASSERT_EQ(0xEE, Host(ch)[b]) << "byte " << b << " of channel " << ch << " was written";
    }
    header.DataUsed = 0;  // nothing came: the host half keeps what it had
    memset(Host(0), 0xEE, frames * sampleSize);
    CopyCapturePackets(driver_, record_.get(), 0, 0);
    EXPECT_EQ(0xEE, Host(0)[0]);
  }
}

}  // namespace
