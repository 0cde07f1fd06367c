// The HID command channel against the simulated device: the exact reports, the report length
// rules, which interface of several is used, and silence when there is none.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <velno/device.h>

#include "../../../product/ProductIds.h"
#include "HidChannel.h"

using velno::testing::TempMachine;
namespace dev = velno::sim::device;

namespace {
const WORD kVid = kProductTable[0].vendorId;
const WORD kPid = kProductTable[0].productId;

std::vector<nlohmann::json> HidReports() {
  std::vector<nlohmann::json> out;
  for (auto& e : dev::ReadLog())
    if (e["event"] == "hid-output") out.push_back(e);
  return out;
}

std::string Expected(std::initializer_list<int> head, size_t length) {
  std::string s;
  char b[4];
  size_t i = 0;
  for (int v : head) {
    snprintf(b, sizeof b, i++ ? " %02x" : "%02x", v);
    s += b;
  }
  for (; i < length; i++) s += " 00";
  return s;
}
}  // namespace

TEST(HidChannel, Dsd64OnIsA65ByteReportWithTheCommandBytesThenZeros) {
  TempMachine machine;
  EXPECT_TRUE(SendDeviceCommand(kDeviceCommandDsd64, TRUE, kVid, kPid));
  auto reports = HidReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0]["length"], 65);
  EXPECT_EQ(reports[0]["bytes"], Expected({0x00, 0xF5, 0x21, 0x32, 0x2E}, 65));
  EXPECT_EQ(reports[0]["pid"], getpid());
  EXPECT_EQ(dev::Mode("usb0"), "DSD64");
}

TEST(HidChannel, EveryCommandOnAndOffHasItsBytesAndSwitchesTheDevice) {
  TempMachine machine;
  struct Case {
    int command;
    BOOL on;
    std::initializer_list<int> bytes;
    const char* mode;
  };
  const Case cases[] = {
      {kDeviceCommandDsd128, TRUE, {0x00, 0xF6, 0x21, 0x33, 0x2E}, "DSD128"},
      {kDeviceCommandDsd128, FALSE, {0x00, 0xF6, 0x21, 0x33, 0x08}, "PCM"},
      {kDeviceCommandDsd256, TRUE, {0x00, 0xF7, 0x21, 0x34, 0x2E}, "DSD256"},
      {kDeviceCommandDsd64, FALSE, {0x00, 0xF5, 0x21, 0x32, 0x08}, "DSD256"},
      {kDeviceCommandDsd256, FALSE, {0x00, 0xF7, 0x21, 0x34, 0x08}, "PCM"},
      {kDeviceCommandDop, TRUE, {0x00, 0xF8, 0x21, 0x35, 0x01}, "DoP"},
      {kDeviceCommandDop, FALSE, {0x00, 0xF8, 0x21, 0x35, 0x00}, "PCM"},
  };
  size_t n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(SendDeviceCommand(c.command, c.on, kVid, kPid));
    auto reports = HidReports();
    ASSERT_EQ(reports.size(), ++n);
    EXPECT_EQ(reports.back()["bytes"], Expected(c.bytes, 65));
    EXPECT_EQ(dev::Mode("usb0"), c.mode);
  }
  EXPECT_FALSE(SendDeviceCommand(4, TRUE, kVid, kPid));  // no such command
  EXPECT_EQ(HidReports().size(), n);
}

TEST(HidChannel, ReportLengthsTooShortForACommandWriteNothing) {
  for (int length : {0, 3, 4}) {
    SCOPED_TRACE(length);
    TempMachine machine(nlohmann::json::parse("{\"usb\": [{\"hid\": {\"outputReportLength\": " +
                                              std::to_string(length) + "}}]}"));
    HidChannel channel{INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, 0, 0, nullptr};
    USHORT in = 0, out = 99;
    EXPECT_EQ(OpenHidDevice(&channel, kVid, kPid, &in, &out), 1);
    EXPECT_EQ(out, length);
    EXPECT_EQ(in, 65);
    CloseHandle(channel.syncHandle);
    CloseHandle(channel.overlappedHandle);
    EXPECT_FALSE(SendDeviceCommand(kDeviceCommandDsd64, TRUE, kVid, kPid));
    EXPECT_TRUE(HidReports().empty());
    EXPECT_EQ(dev::Mode("usb0"), "PCM");
  }
  // Five bytes are enough for a command.
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"hid": {"outputReportLength": 5}}]})"));
  EXPECT_TRUE(SendDeviceCommand(kDeviceCommandDop, TRUE, kVid, kPid));
  ASSERT_EQ(HidReports().size(), 1u);
  EXPECT_EQ(HidReports()[0]["bytes"], "00 f8 21 35 01");
}

TEST(HidChannel, TheFirstMatchingInterfaceOfSeveralIsUsed) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [
      {"name": "Keyboard", "vid": 1133, "pid": 49948, "audio": false, "hid": {"outputReportLength": 65}},
      {"name": "Velno-HD", "instance": "7&aaaa&0", "audio": false, "hid": {"outputReportLength": 65}},
      {"name": "Velno-HD", "instance": "7&bbbb&0", "hid": {"outputReportLength": 33}},
      {"name": "Velno-HD rev 2", "pid": 41230, "instance": "7&cccc&0"}]})"));
  HidChannel channel{INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, 0, 0, nullptr};
  USHORT in = 0, out = 0;
  ASSERT_EQ(OpenHidDevice(&channel, kVid, kPid, &in, &out), 1);
  EXPECT_EQ(out, 65);
  EXPECT_NE(channel.syncHandle, INVALID_HANDLE_VALUE);
  EXPECT_NE(channel.overlappedHandle, INVALID_HANDLE_VALUE);
  // Both handles valid: a second open keeps them.
  HANDLE sync = channel.syncHandle;
  EXPECT_EQ(OpenHidDevice(&channel, kVid, kPid, &in, &out), 1);
  EXPECT_EQ(channel.syncHandle, sync);
  CloseHandle(channel.syncHandle);
  CloseHandle(channel.overlappedHandle);

  EXPECT_TRUE(SendDeviceCommand(kDeviceCommandDsd64, TRUE, kVid, kPid));
  EXPECT_TRUE(SendDeviceCommand(kDeviceCommandDsd128, TRUE, kProductTable[1].vendorId, kProductTable[1].productId));
  auto reports = HidReports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0]["device"], "usb1");
  EXPECT_EQ(reports[1]["device"], "usb3");
  EXPECT_EQ(dev::Mode("usb1"), "DSD64");
  EXPECT_EQ(dev::Mode("usb2"), "PCM");
}

TEST(HidChannel, AMissingInterfaceIsSilent) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"hid": false}, {"vid": 4660, "pid": 22136}]})"));
  HidChannel channel{INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, 7, 7, nullptr};
  USHORT in = 1, out = 1;
  EXPECT_EQ(OpenHidDevice(&channel, kVid, kPid, &in, &out), 0);
  EXPECT_EQ(in, 0);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(channel.syncHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(channel.overlappedHandle, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(SendDeviceCommand(kDeviceCommandDsd64, TRUE, kVid, kPid));
  EXPECT_TRUE(HidReports().empty());

  EXPECT_EQ(OpenHidDevice(&channel, kVid, kPid, nullptr, &out), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
}
