// SetupAPI over the machine's devices: enumeration by interface class, the detail size
// protocol, aliases with their flags, the interface key and device properties.
#include <gtest/gtest.h>
#include <ksmedia.h>
#include <setupapi.h>
#include <hidsdi.h>
#include <testsupport.h>
#include <windows.h>

#include <string>
#include <vector>

using velno::testing::TempMachine;

namespace {
std::vector<std::string> Paths(const GUID& guid, DWORD flags = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE) {
  std::vector<std::string> out;
  HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, flags);
  EXPECT_NE(set, INVALID_HANDLE_VALUE);
  for (DWORD i = 0;; i++) {
    SP_DEVICE_INTERFACE_DATA data{sizeof data};
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &data)) {
      EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
      break;
    }
    char buf[600];
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buf);
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, sizeof buf, nullptr, nullptr));
    out.push_back(detail->DevicePath);
  }
  SetupDiDestroyDeviceInfoList(set);
  return out;
}
}  // namespace

TEST(SetupApi, EnumeratesTheVelnoInterfacesByClass) {
  TempMachine machine(nlohmann::json::parse(
      R"({"usb": [{}, {"name": "Other", "vid": 4660, "pid": 22136, "instance": "6&abc&0"}, {"present": false}]})"));
  auto audio = Paths(KSCATEGORY_AUDIO);
  ASSERT_EQ(audio.size(), 2u);
  EXPECT_EQ(audio[0],
            "\\\\?\\usb#vid_2fc6&pid_a10d&mi_01#7&1a2b3c4d&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global");
  EXPECT_EQ(audio[1], "\\\\?\\usb#vid_1234&pid_5678&mi_01#6&abc&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global");
  EXPECT_EQ(Paths(KSCATEGORY_RENDER).size(), 2u);
  GUID hid;
  HidD_GetHidGuid(&hid);
  auto hids = Paths(hid);
  ASSERT_EQ(hids.size(), 2u);
  EXPECT_NE(hids[0].find("\\\\?\\hid#vid_2fc6&pid_a10d&mi_06#"), std::string::npos);
  // Without DIGCF_PRESENT the unplugged device is listed too.
  EXPECT_EQ(Paths(KSCATEGORY_AUDIO, DIGCF_DEVICEINTERFACE).size(), 3u);
}

TEST(SetupApi, DetailFollowsTheSizeProtocol) {
  TempMachine machine;
  HDEVINFO set = SetupDiGetClassDevsA(&KSCATEGORY_AUDIO, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = 5;  // the wrong size for an output structure
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_AUDIO, 0, &data));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));
  data.cbSize = sizeof data;
  ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_AUDIO, 0, &data));
  EXPECT_EQ(data.Flags, DWORD(SPINT_ACTIVE));
  EXPECT_EQ(data.InterfaceClassGuid, KSCATEGORY_AUDIO);

  DWORD needed = 0;
  SP_DEVINFO_DATA info{sizeof info};
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &needed, &info));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  const std::string path =
      "\\\\?\\usb#vid_2fc6&pid_a10d&mi_01#7&1a2b3c4d&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
  EXPECT_EQ(needed, 4 + path.size() + 1);
  std::vector<char> buf(needed);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buf.data());
  detail->cbSize = 5;  // the 32-bit value is refused on this 64-bit system
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));
  detail->cbSize = 8;
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed - 1, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, needed, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));
  ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, &info));
  EXPECT_EQ(path, detail->DevicePath);

  SP_DEVICE_INTERFACE_DATA bad = data;
  bad.cbSize = 7;
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &bad, detail, needed, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
  EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(SetupApi, AliasesCarryTheirStateAndAMissingAliasFails) {
  TempMachine machine(nlohmann::json::parse(
      R"({"usb": [{"audio": {"renderAlias": "removed", "captureAlias": "none"}}, {"instance": "7&99&0"}]})"));
  HDEVINFO set = SetupDiGetClassDevsA(&KSCATEGORY_AUDIO, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  SP_DEVICE_INTERFACE_DATA first{sizeof first}, second{sizeof second}, alias{sizeof alias};
  ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_AUDIO, 0, &first));
  ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_AUDIO, 1, &second));
  ASSERT_TRUE(SetupDiGetDeviceInterfaceAlias(set, &first, &KSCATEGORY_RENDER, &alias));
  EXPECT_EQ(alias.Flags, DWORD(SPINT_REMOVED));
  EXPECT_EQ(alias.InterfaceClassGuid, KSCATEGORY_RENDER);
  EXPECT_FALSE(SetupDiGetDeviceInterfaceAlias(set, &first, &KSCATEGORY_CAPTURE, &alias));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_SUCH_DEVICE_INTERFACE));
  ASSERT_TRUE(SetupDiGetDeviceInterfaceAlias(set, &second, &KSCATEGORY_RENDER, &alias));
  EXPECT_EQ(alias.Flags, DWORD(SPINT_ACTIVE));
  // The alias is an interface of the set: its detail is the render path of the same function.
  char buf[600];
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buf);
  detail->cbSize = 8;
  ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &alias, detail, sizeof buf, nullptr, nullptr));
  EXPECT_NE(std::string(detail->DevicePath).find("7&99&0&0001#{65e8773e-8f56-11d0-a3b9-00a0c9223196}"), std::string::npos);
  SetupDiDestroyDeviceInfoList(set);
  // A removed render alias is not enumerated as present.
  set = SetupDiGetClassDevsA(&KSCATEGORY_RENDER, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  SP_DEVICE_INTERFACE_DATA r{sizeof r};
  EXPECT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_RENDER, 0, &r));
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_RENDER, 1, &r));
  SetupDiDestroyDeviceInfoList(set);
}

TEST(SetupApi, InterfaceKeyHoldsTheFriendlyNameAndDevicePropertiesAnswerWithSizes) {
  TempMachine machine(nlohmann::json::parse(
      R"({"usb": [{"deviceFriendlyName": "Velno-HD USB Audio"}, {"instance": "7&2&0", "audio": {"friendlyName": ""}}]})"));
  HDEVINFO set = SetupDiGetClassDevsA(&KSCATEGORY_AUDIO, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  SP_DEVICE_INTERFACE_DATA data{sizeof data};
  ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_AUDIO, 0, &data));
  HKEY key = SetupDiOpenDeviceInterfaceRegKey(set, &data, 0, KEY_ALL_ACCESS);
  ASSERT_NE(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
  char name[260];
  DWORD size = sizeof name, type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "FriendlyName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_STREQ(name, "Velno-HD");
  RegCloseKey(key);
  // The same key is reachable through the registry, where the driver keeps it.
  HKEY direct;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                          "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\"
                          "##?#usb#vid_2fc6&pid_a10d&mi_01#7&1a2b3c4d&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\"
                          "#global\\Device Parameters",
                          0, KEY_READ, &direct),
            ERROR_SUCCESS);
  RegCloseKey(direct);

  SP_DEVINFO_DATA info{sizeof info};
  ASSERT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, &info));
  DWORD needed = 0;
  EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_FRIENDLYNAME, &type, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(needed, sizeof("Velno-HD USB Audio"));
  ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<BYTE*>(name),
                                                sizeof name, &needed));
  EXPECT_STREQ(name, "Velno-HD USB Audio");
  ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_HARDWAREID, &type, reinterpret_cast<BYTE*>(name),
                                                sizeof name, &needed));
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
  EXPECT_STREQ(name, "USB\\VID_2FC6&PID_A10D&REV_0100&MI_01");
  EXPECT_STREQ(name + strlen(name) + 1, "USB\\VID_2FC6&PID_A10D&MI_01");

  // The second device has no friendly name anywhere: the key lacks the value, the device
  // property is absent, and its description remains.
  ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_AUDIO, 1, &data));
  key = SetupDiOpenDeviceInterfaceRegKey(set, &data, 0, KEY_ALL_ACCESS);
  size = sizeof name;
  EXPECT_EQ(RegQueryValueExA(key, "FriendlyName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size),
            ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  ASSERT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, &info));
  EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<BYTE*>(name),
                                                 sizeof name, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
  ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_DEVICEDESC, &type, reinterpret_cast<BYTE*>(name),
                                                sizeof name, &needed));
  EXPECT_STREQ(name, "USB Audio Device");
  SetupDiDestroyDeviceInfoList(set);
}
