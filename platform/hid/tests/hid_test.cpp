// The HID library over the machine's HID interfaces: opening, attributes, capabilities from
// the profile, output reports reaching the device log.
#include <gtest/gtest.h>
#include <hidsdi.h>
#include <testsupport.h>
#include <velno/device.h>
#include <windows.h>

using velno::testing::TempMachine;
namespace dev = velno::sim::device;

namespace {
std::string HidPath(size_t index = 0) { return dev::HidInterfacePath(dev::Devices()[index]); }
}  // namespace

TEST(Hid, ClassGuidIsTheHidInterfaceClass) {
  GUID g{};
  HidD_GetHidGuid(&g);
  EXPECT_EQ(g, (GUID{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}}));
}

TEST(Hid, AttributesAndCapsComeFromTheProfile) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"hid": {"outputReportLength": 33, "inputReportLength": 9}}]})"));
  std::string path = HidPath();
  for (char& c : path) c = static_cast<char>(toupper(c));  // the system matches upper-cased paths
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  HIDD_ATTRIBUTES attributes{sizeof attributes};
  ASSERT_TRUE(HidD_GetAttributes(h, &attributes));
  EXPECT_EQ(attributes.VendorID, 0x2FC6);
  EXPECT_EQ(attributes.ProductID, 0xA10D);
  EXPECT_EQ(attributes.VersionNumber, 0x0100);
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  ASSERT_TRUE(HidD_GetPreparsedData(h, &preparsed));
  HIDP_CAPS caps{};
  EXPECT_EQ(HidP_GetCaps(preparsed, &caps), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(caps.OutputReportByteLength, 33);
  EXPECT_EQ(caps.InputReportByteLength, 9);
  EXPECT_EQ(caps.UsagePage, 0xFF00);
  EXPECT_TRUE(HidD_FreePreparsedData(preparsed));
  EXPECT_EQ(HidP_GetCaps(nullptr, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
  CloseHandle(h);
  EXPECT_FALSE(HidD_GetAttributes(h, &attributes));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(Hid, OutputReportsOfTheReportLengthReachTheDevice) {
  TempMachine machine;
  HANDLE h = CreateFileA(HidPath().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  BYTE report[65] = {0x00, 0xF6, 0x21, 0x33, 0x2E};
  DWORD written = 0;
  EXPECT_FALSE(WriteFile(h, report, 64, &written, nullptr));  // one byte short of a report
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));
  ASSERT_TRUE(WriteFile(h, report, 65, &written, nullptr));
  EXPECT_EQ(written, 65u);
  EXPECT_EQ(dev::Mode("usb0"), "DSD128");
  auto log = dev::ReadLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["length"], 65);
  CloseHandle(h);
}

TEST(Hid, MissingInterfacesAndUnpluggedDevicesDoNotOpen) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"hid": false}, {"present": false}]})"));
  auto devices = dev::Devices();
  for (auto& d : devices) {
    HANDLE h = CreateFileA(dev::HidInterfacePath(d).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  }
}
