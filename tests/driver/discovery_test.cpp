// What a host sees of the kernel-streaming driver on machines whose device differs.
#include <nlohmann/json.hpp>

#include "DriverMachine.h"
#include "ProductIds.h"

namespace drivertest {
namespace {

const LONG kRates[] = {32000, 44100, 48000, 88200, 96000, 176400, 192000, 352800, 384000};

nlohmann::json Device(nlohmann::json fields) {
  nlohmann::json d{{"name", "Velno-HD"}, {"vid", kProductTable[0].vendorId}, {"pid", kProductTable[0].productId}};
  d.merge_patch(fields);
  return d;
}

nlohmann::json Machine(std::vector<nlohmann::json> devices) { return {{"usb", devices}}; }

class DiscoveryTest : public DriverMachineTest {};

TEST_F(DiscoveryTest, AFreshMachineOffersTheWholeDevice) {
  StartMachine();
  IASIO* driver = CreateRegisteredDriver();
  ASSERT_NE(nullptr, driver);
  ASSERT_EQ(ASIOTrue, driver->init(nullptr));
  char name[32];
  driver->getDriverName(name);
  EXPECT_STREQ("Velno-HD", name);
  LONG in = 0, out = 0;
  ASSERT_EQ(ASE_OK, driver->getChannels(&in, &out));
  EXPECT_EQ(2, in);
  EXPECT_EQ(2, out);
  for (LONG rate : kRates) EXPECT_EQ(ASE_OK, driver->canSampleRate(rate)) << rate;
  for (LONG rate : {2822400, 5644800, 11289600}) EXPECT_EQ(ASE_OK, driver->canSampleRate(rate)) << rate;
  ASIOChannelInfo info{};
  info.channel = 1;
  ASSERT_EQ(ASE_OK, driver->getChannelInfo(&info));
  EXPECT_EQ(ASIOSTInt32LSB, info.type);  // the widest width the device takes
  EXPECT_EQ(0, info.channelGroup);       // the render sink pin's identifier
  driver->Release();
}

TEST_F(DiscoveryTest, CreationIsRefusedWithoutAUsableDevice) {
  struct Case {
    const char* what;
    nlohmann::json profile;
  };
  const Case cases[] = {
      {"no device", Machine({})},
      {"the audio function without MI_ (not a composite device)", Machine({Device({{"composite", false}})})},
      {"a foreign device", Machine({Device({{"vid", 0x1234}, {"pid", 0x5678}})})},
      {"no 16, 24 or 32-bit range", Machine({Device({{"audio", {{"bits", {8}}}}})})},
      {"no active render alias", Machine({Device({{"audio", {{"renderAlias", "removed"}}}})})},
  };
  for (const Case& c : cases) {
    StartMachine(c.profile);
    HRESULT hr = S_OK;
    EXPECT_EQ(nullptr, CreateRegisteredDriver(&hr)) << c.what;
    EXPECT_EQ(E_FAIL, hr) << c.what;
    TearDown();
  }
}

TEST_F(DiscoveryTest, TheFirstUsableVelnoHdWins) {
  StartMachine(Machine({Device({{"name", "Velno-HD A"}, {"audio", {{"bits", {8}}}}}),
                        Device({{"name", "Velno-HD B"}, {"pid", kProductTable[1].productId}}),
                        Device({{"name", "Velno-HD C"}})}));
  IASIO* driver = CreateRegisteredDriver();
  ASSERT_NE(nullptr, driver);
  char name[32];
  driver->getDriverName(name);
  EXPECT_STREQ("Velno-HD B", name);
  driver->Release();
}

TEST_F(DiscoveryTest, ADeviceWithoutCaptureOffersOutputsAtEveryRenderRate) {
  nlohmann::json pins = nlohmann::json::array({nlohmann::json::object(), nlohmann::json::object(),
                                               nlohmann::json::object(), {{"communication", "bridge"}}});
  StartMachine(Machine({Device({{"audio", {{"pins", pins}}}})}));
  IASIO* driver = CreateRegisteredDriver();
  ASSERT_NE(nullptr, driver);
  ASSERT_EQ(ASIOTrue, driver->init(nullptr));
  LONG in = -1, out = -1;
  ASSERT_EQ(ASE_OK, driver->getChannels(&in, &out));
  EXPECT_EQ(0, in);
  EXPECT_EQ(2, out);
  for (LONG rate : kRates) EXPECT_EQ(ASE_OK, driver->canSampleRate(rate)) << rate;
  driver->Release();
}

TEST_F(DiscoveryTest, ARangeOf44To192kHzAt16To24BitsGivesSixRatesAt24Bits) {
  nlohmann::json range{{"minBits", 16}, {"maxBits", 24}, {"minRate", 44100}, {"maxRate", 192000}, {"maxChannels", 2}};
  nlohmann::json pins = nlohmann::json::array({{{"ranges", {range}}}, nlohmann::json::object(),
                                               nlohmann::json::object(), {{"communication", "bridge"}}});
  StartMachine(Machine({Device({{"audio", {{"pins", pins}}}})}));
  SetUserDword("BitsPerSample", 24);
  SetUserDword("SampleRate", 96000);
  IASIO* driver = CreateRegisteredDriver();
  ASSERT_NE(nullptr, driver);
  ASSERT_EQ(ASIOTrue, driver->init(nullptr));
  std::vector<LONG> offered;
  for (LONG rate : kRates)
    if (driver->canSampleRate(rate) == ASE_OK) offered.push_back(rate);
  EXPECT_EQ((std::vector<LONG>{44100, 48000, 88200, 96000, 176400, 192000}), offered);
  ASIOSampleRate rate = 0;
  driver->getSampleRate(&rate);
  EXPECT_EQ(96000.0, rate);
  ASIOChannelInfo info{};
  ASSERT_EQ(ASE_OK, driver->getChannelInfo(&info));
  EXPECT_EQ(ASIOSTInt24LSB, info.type);
  EXPECT_EQ(ASE_NoClock, driver->canSampleRate(2822400));  // no 32-bit containers for DSD
  driver->Release();
}

TEST_F(DiscoveryTest, TwoViableStereoPinsGiveFourChannelsNumberedPinByPin) {
  nlohmann::json pcm{{"minBits", 16}, {"maxBits", 32}, {"minRate", 32000}, {"maxRate", 384000}, {"maxChannels", 2}};
  nlohmann::json pins = nlohmann::json::array({nlohmann::json::object(),
                                               {{"dataFlow", "in"}, {"communication", "sink"}, {"ranges", {pcm}}},
                                               nlohmann::json::object(), {{"communication", "bridge"}}});
  StartMachine(Machine({Device({{"audio", {{"pins", pins}}}})}));
  IASIO* driver = CreateRegisteredDriver();
  ASSERT_NE(nullptr, driver);
  ASSERT_EQ(ASIOTrue, driver->init(nullptr));
  LONG in = -1, out = -1;
  ASSERT_EQ(ASE_OK, driver->getChannels(&in, &out));
  EXPECT_EQ(4, out);
  const char* names[] = {"Velno-HD_OUT_L", "Velno-HD_OUT_R", "Velno-HD_OUT_R", "Velno-HD_OUT_R"};
  const LONG groups[] = {0, 0, 1, 1};
  for (LONG c = 0; c < 4; ++c) {
    ASIOChannelInfo info{};
    info.channel = c;
    ASSERT_EQ(ASE_OK, driver->getChannelInfo(&info));
    EXPECT_STREQ(names[c], info.name);
    EXPECT_EQ(groups[c], info.channelGroup) << c;
  }
  driver->Release();
}

}  // namespace
}  // namespace drivertest
