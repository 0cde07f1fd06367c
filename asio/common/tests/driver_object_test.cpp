#include <cstring>

#include "DriverFixture.h"

namespace {

ASIOCallbacks NoCallbacks() {
  static ASIOCallbacks callbacks = {
      [](LONG, ASIOBool) {},
      [](ASIOSampleRate) {},
      [](LONG selector, LONG, void*, double*) -> LONG { return selector == kAsioEngineVersion ? 2 : 0; },
      [](ASIOTime* t, LONG, ASIOBool) { return t; },
  };
  return callbacks;
}

TEST_F(DriverTest, CreationIsRefusedWithoutDeviceAndTheBlockIsFreeAgain) {
  TheFakeDevice().present = false;
  EXPECT_EQ(nullptr, Create());
  TheFakeDevice().present = true;
  CAsioSample* second = Create(2);
  ASSERT_NE(nullptr, second);
  EXPECT_TRUE(second->OwnsBlock());
}

TEST_F(DriverTest, StartInInitializedDoesNothing) {
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  EXPECT_EQ(ASE_OK, d->start());
  EXPECT_EQ(kStateInitialized, d->state);
  // stop() in INITIALIZED must not leave a state where start() waits for a stream thread.
  EXPECT_EQ(ASE_OK, d->stop());
  EXPECT_EQ(kStateInitialized, d->state);
  EXPECT_EQ(ASE_OK, d->start());
  EXPECT_EQ(kStateInitialized, d->state);
}

TEST_F(DriverTest, Dsd64SelectionReportsTheDsdRateAndBufferSizes) {
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  ASSERT_EQ(ASE_OK, d->setSampleRate(2822400.0));
  ASIOSampleRate rate = 0;
  EXPECT_EQ(ASE_OK, d->getSampleRate(&rate));
  EXPECT_EQ(2822400.0, rate);
  EXPECT_EQ(88200, d->deviceRate);
  LONG mn, mx, pref, gran;
  ASSERT_EQ(ASE_OK, d->getBufferSize(&mn, &mx, &pref, &gran));
  EXPECT_EQ(28224, mn);
  EXPECT_EQ(282240, mx);
  EXPECT_EQ(28224, pref);
  EXPECT_EQ(28224, gran);
  ASIOChannelInfo info{};
  info.channel = 0;
  ASSERT_EQ(ASE_OK, d->getChannelInfo(&info));
  EXPECT_EQ(ASIOSTDSDInt8MSB1, info.type);
  EXPECT_EQ(32, BlockGet(d->statusBlock, &StatusBlock::runBits));
}

TEST_F(DriverTest, LatenciesBeforeBuffersFollowTheBufferLength) {
  struct Case {
    LONG rate;
    LONG expected;
  };
  for (Case c : {Case{44100, 440}, Case{48000, 480}, Case{96000, 960}}) {
    CAsioSample* d = Create();
    ASSERT_EQ(ASIOTrue, d->init(nullptr));
    ASSERT_EQ(ASE_OK, d->setSampleRate(c.rate));
    LONG in = 0, out = 0;
    ASSERT_EQ(ASE_OK, d->getLatencies(&in, &out));
    EXPECT_EQ(c.expected, in) << c.rate;
    EXPECT_EQ(c.expected, out) << c.rate;
    Destroy(d);
  }
}

TEST_F(DriverTest, DsdIsRefusedWhenTheBlockBelongsToAnotherDriver) {
  CAsioSample* first = Create(1);
  ASSERT_EQ(ASIOTrue, first->init(nullptr));
  CAsioSample* second = Create(2);
  ASSERT_EQ(ASIOTrue, second->init(nullptr));
  EXPECT_FALSE(second->OwnsBlock());
  EXPECT_EQ(ASE_NoClock, second->canSampleRate(2822400.0));
  EXPECT_EQ(ASE_OK, first->canSampleRate(2822400.0));
  // A device without 32-bit samples cannot carry DSD either.
  Destroy(second);
  Destroy(first);
  TheFakeDevice().depthMask = 0x06;
  CAsioSample* narrow = Create(3);
  ASSERT_EQ(ASIOTrue, narrow->init(nullptr));
  EXPECT_EQ(ASE_NoClock, narrow->canSampleRate(2822400.0));
}

TEST_F(DriverTest, ClockSourcesAndFutureSelectors) {
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  EXPECT_EQ(ASE_OK, d->setClockSource(1));
  EXPECT_EQ(ASE_NotPresent, d->setClockSource(2));
  ASIOClockSource clocks[2] = {};
  LONG n = 2;
  ASSERT_EQ(ASE_OK, d->getClockSources(clocks, &n));
  EXPECT_EQ(1, n);
  EXPECT_STREQ("Internal", clocks[0].name);
  EXPECT_EQ(-1, clocks[0].associatedChannel);

  ASIOIoFormat format{};
  format.FormatType = 2;
  EXPECT_EQ(ASE_NotPresent, d->future(kAsioSetIoFormat, &format));
  EXPECT_EQ(kASIOFormatInvalid, format.FormatType);
  format.FormatType = kASIODSDFormat;
  EXPECT_EQ(ASE_SUCCESS, d->future(kAsioSetIoFormat, &format));
  format.FormatType = 7;
  EXPECT_EQ(ASE_SUCCESS, d->future(kAsioGetIoFormat, &format));
  EXPECT_EQ(kASIODSDFormat, format.FormatType);
  for (LONG selector = kAsioCanInputMonitor; selector <= kAsioCanOutputMeter; ++selector)
    EXPECT_EQ(selector == kAsioCanTimeInfo ? ASE_SUCCESS : ASE_NotPresent, d->future(selector, nullptr)) << selector;
  EXPECT_EQ(ASE_NotPresent, d->future(kAsioEnableTimeCodeRead, nullptr));
  EXPECT_EQ(ASE_InvalidParameter, d->future(12345, nullptr));
}

TEST_F(DriverTest, ChannelNamesAndRanges) {
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  ASIOChannelInfo out{};
  out.channel = 1;
  ASSERT_EQ(ASE_OK, d->getChannelInfo(&out));
  EXPECT_STREQ("Velno-HD_OUT_R", out.name);
  EXPECT_EQ(ASIOSTInt32LSB, out.type);
  ASIOChannelInfo in{};
  in.isInput = ASIOTrue;
  ASSERT_EQ(ASE_OK, d->getChannelInfo(&in));
  EXPECT_STREQ("Velno-HD_IN_L", in.name);
  for (LONG bad : {-1, 2, 64, 1 << 30}) {
    ASIOChannelInfo info{};
    info.channel = bad;
    memset(info.name, 'x', sizeof info.name);
    EXPECT_EQ(ASE_InvalidParameter, d->getChannelInfo(&info)) << bad;
    EXPECT_EQ('x', info.name[0]);
  }
}

TEST_F(DriverTest, LongDeviceNamesAreCutToTheHostBuffers) {
  TheFakeDevice().friendlyName = std::string(100, 'N');
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  char name[40];
  memset(name, 'z', sizeof name);
  d->getDriverName(name);
  EXPECT_EQ(31u, strlen(name));
  EXPECT_EQ('z', name[32]);
  ASIOChannelInfo info{};
  ASSERT_EQ(ASE_OK, d->getChannelInfo(&info));
  EXPECT_EQ(31u, strnlen(info.name, sizeof info.name));
}

TEST_F(DriverTest, WidthAndRateComeFromSettingsAndDevice) {
  struct Case {
    BYTE depthMask;
    DWORD storedBits;
    DWORD storedRate;
    LONG renderChannelsAt44k;
    LONG expectedBits;
    LONG expectedRate;
  };
  const Case cases[] = {
      {0x0E, 24, 96000, 2, 24, 96000},   // both stored values are accepted
      {0x06, 32, 48000, 2, 24, 48000},   // a stored width the device lacks becomes the widest it has
      {0x0E, 16, 12345, 2, 16, 32000},   // a stored rate the device lacks becomes the first supported one
      {0x02, 24, 44100, 0, 16, 32000},   // 44.1 kHz missing on the device
  };
  uint32_t classNumber = 10;
  for (const Case& c : cases) {
    TheFakeDevice().depthMask = c.depthMask;
    TheFakeDevice().renderChannels[1] = c.renderChannelsAt44k;
    machine_.reset();
    machine_ = std::make_unique<velno::testing::TempMachine>();  // a fresh block loads the settings again
    SetUserDword("BitsPerSample", c.storedBits);
    SetUserDword("SampleRate", c.storedRate);
    CAsioSample* d = Create(classNumber++);
    ASSERT_NE(nullptr, d);
    ASSERT_EQ(ASIOTrue, d->init(nullptr));
    EXPECT_EQ(c.expectedBits, d->bitsPerSample) << c.storedBits;
    EXPECT_EQ(c.expectedRate, d->deviceRate) << c.storedRate;
    Destroy(d);
  }
}

TEST_F(DriverTest, CreateBuffersRefusesBadHostInputBeforeTouchingAnything) {
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  ASIOCallbacks callbacks = NoCallbacks();
  ASIOBufferInfo infos[2] = {{ASIOFalse, 0, {}}, {ASIOFalse, 1, {}}};
  struct Case {
    LONG channel;
    LONG bufferSize;
    LONG numChannels;
    ASIOError expected;
  };
  const Case cases[] = {
      {5, 512, 2, ASE_InvalidParameter}, {-1, 512, 2, ASE_InvalidParameter}, {1, 0, 2, ASE_InvalidMode},
      {1, -64, 2, ASE_InvalidMode},      {1, 1 << 30, 2, ASE_InvalidMode},   {1, 512, -1, ASE_InvalidParameter},
      {0, 512, 2, ASE_InvalidParameter},  // the same channel twice
  };
  for (const Case& c : cases) {
    TheFakeDevice().calls.clear();
    infos[1].channelNum = c.channel;
    EXPECT_EQ(c.expected, d->createBuffers(infos, c.numChannels, c.bufferSize, &callbacks))
        << c.channel << " " << c.bufferSize;
    EXPECT_TRUE(TheFakeDevice().calls.empty());
    EXPECT_EQ(kStateInitialized, d->state);
  }
  EXPECT_EQ(ASE_InvalidParameter, d->createBuffers(infos, 2, 512, nullptr));
  infos[1].channelNum = 1;
  ASSERT_EQ(ASE_OK, d->createBuffers(infos, 2, 512, &callbacks));
  EXPECT_EQ(kStatePrepared, d->state);
  EXPECT_EQ(ASE_InvalidMode, d->createBuffers(infos, 2, 512, &callbacks));  // twice without disposeBuffers
  EXPECT_EQ(ASE_OK, d->disposeBuffers());
  EXPECT_EQ(kStateInitialized, d->state);
}

TEST_F(DriverTest, StartAndStopHandOverAndPublishState) {
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  ASIOCallbacks callbacks = NoCallbacks();
  ASIOBufferInfo infos[2] = {{ASIOFalse, 0, {}}, {ASIOTrue, 0, {}}};
  ASSERT_EQ(ASE_OK, d->createBuffers(infos, 2, 441, &callbacks));
  EXPECT_EQ(kStatePrepared, BlockGet(d->statusBlock, &StatusBlock::state));
  EXPECT_EQ(441, BlockGet(d->statusBlock, &StatusBlock::runBuffer));
  ASSERT_EQ(ASE_OK, d->start());
  EXPECT_EQ(kStateRunning, d->state);
  EXPECT_EQ(kStateRunning, BlockGet(d->statusBlock, &StatusBlock::state));
  EXPECT_EQ(ASE_OK, d->start());  // repeated start: no second hand-over
  ASSERT_EQ(ASE_OK, d->stop());
  EXPECT_EQ(kStatePrepared, d->state);
  EXPECT_EQ(ASE_OK, d->stop());
  std::vector<std::string> expected = {"OpenStreams(capture)", "OpenStreams(render)", "StartStreamThreads",
                                       "SignalStart", "SignalStop"};
  EXPECT_EQ(expected, TheFakeDevice().calls);
}

TEST_F(DriverTest, DestroyingWhileRunningTearsDownInOrderAndSavesSettings) {
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  ASSERT_EQ(ASE_OK, d->setSampleRate(2822400.0));
  ASIOCallbacks callbacks = NoCallbacks();
  ASIOBufferInfo infos[1] = {{ASIOFalse, 0, {}}};
  ASSERT_EQ(ASE_OK, d->createBuffers(infos, 1, 28224, &callbacks));
  EXPECT_EQ(1, BlockGet(d->statusBlock, &StatusBlock::nativeDsd));
  ASSERT_EQ(ASE_OK, d->start());
  StatusBlock* block = d->statusBlock;
  TheFakeDevice().calls.clear();
  Destroy(d);
  std::vector<std::string> expected = {"SignalStop", "StopStreamThreads", "CloseStreams", "CloseStreams",
                                       "CloseDevice"};
  EXPECT_EQ(expected, TheFakeDevice().calls);
  EXPECT_EQ(0, BlockGet(block, &StatusBlock::state));
  GUID nobody{};
  EXPECT_EQ(0, memcmp(&block->owner, &nobody, sizeof nobody));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", 0, KEY_READ, &key));
  DWORD rate = 0, size = 4;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "SampleRate", nullptr, nullptr, reinterpret_cast<BYTE*>(&rate), &size));
  EXPECT_EQ(88200u, rate);  // the DSD carrier rate
  RegCloseKey(key);
}

TEST_F(DriverTest, OutputReadyCopiesOnlyWhileRunning) {
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  ASIOCallbacks callbacks = NoCallbacks();
  ASIOBufferInfo infos[1] = {{ASIOFalse, 0, {}}};
  ASSERT_EQ(ASE_OK, d->createBuffers(infos, 1, 256, &callbacks));
  EXPECT_EQ(ASE_OK, d->outputReady());
  ASSERT_EQ(ASE_OK, d->start());
  TheFakeDevice().calls.clear();
  d->samplePosition = 3 * 256;
  EXPECT_EQ(ASE_OK, d->outputReady());
  std::vector<std::string> expected = {"FillOutput(5,1)"};
  EXPECT_EQ(expected, TheFakeDevice().calls);
}

}  // namespace
