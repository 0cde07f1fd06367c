// velnosim reg: the registry command line, run as its own process against the machine that
// this test writes through the registry functions.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <windows.h>

using velno::testing::BinDir;
using velno::testing::RunProcess;
using velno::testing::TempMachine;

namespace {

velno::testing::ProcessResult Reg(std::vector<std::string> args) {
  args.insert(args.begin(), "reg");
  return RunProcess(BinDir() + "/velnosim", args);
}

const char kNotFound[] = "ERROR: The system was unable to find the specified registry key or value.\n";

}  // namespace

TEST(VelnosimReg, QueryShowsValuesAndSubkeysAsRegExeDoes) {
  TempMachine machine;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD\\Inner", 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", 0, KEY_ALL_ACCESS, &key));
  DWORD size = 100;
  RegSetValueExA(key, "BufferSize", 0, REG_DWORD, reinterpret_cast<BYTE*>(&size), 4);
  const char16_t clsid[] = u"{01234567-89AB-CDEF-0123-456789ABCDEF}";
  RegSetValueExW(key, u"CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid), sizeof clsid);
  const BYTE blob[] = {0x00, 0xAB, 0x10};
  RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob);
  RegCloseKey(key);

  auto r = Reg({"query", "HKCU\\Software\\ASIO\\Velno-HD"});
  EXPECT_EQ(0, r.exitCode) << r.err;
  EXPECT_EQ(
      "\nHKEY_CURRENT_USER\\Software\\ASIO\\Velno-HD\n"
      "    BufferSize    REG_DWORD    0x64\n"
      "    CLSID    REG_SZ    {01234567-89AB-CDEF-0123-456789ABCDEF}\n"
      "    Blob    REG_BINARY    00AB10\n"
      "\n"
      "HKEY_CURRENT_USER\\Software\\ASIO\\Velno-HD\\Inner\n",
      r.out);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"query", "HKEY_CURRENT_USER\\Software\\ASIO\\Velno-HD", "/v", "buffersize"},
        std::vector<std::string>{"QUERY", "hkcu\\software\\asio\\velno-hd", "BUFFERSIZE"}}) {
    r = Reg(args);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("\n    BufferSize    REG_DWORD    0x64\n")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("CLSID")) << r.out;
  }

  r = Reg({"query", "HKCU\\Software\\ASIO\\Velno-HD", "/v", "Missing"});
  EXPECT_EQ(1, r.exitCode);
  EXPECT_EQ(kNotFound, r.err);
  r = Reg({"query", "HKLM\\Software\\NoSuchKey"});
  EXPECT_EQ(1, r.exitCode);
  EXPECT_EQ(kNotFound, r.err);
  r = Reg({"query", "HKXX\\Software"});
  EXPECT_EQ(1, r.exitCode);
  EXPECT_NE(std::string::npos, r.err.find("Invalid key name")) << r.err;

  r = Reg({"query", "HKCU\\Software\\ASIO", "/s"});
  EXPECT_EQ(0, r.exitCode) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("HKEY_CURRENT_USER\\Software\\ASIO\\Velno-HD\n    BufferSize")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("HKEY_CURRENT_USER\\Software\\ASIO\\Velno-HD\\Inner\n")) << r.out;
}

TEST(VelnosimReg, AddWritesWhatTheRegistryFunctionsRead) {
  TempMachine machine;
  struct Case {
    std::vector<std::string> args;
    const char* value;
    DWORD type;
    std::string bytes;
  };
  const Case cases[] = {
      {{"/v", "Rate", "/t", "REG_DWORD", "/d", "0x2B110"}, "Rate", REG_DWORD, std::string("\x10\xB1\x02\x00", 4)},
      {{"/v", "Width", "/t", "reg_dword", "/d", "24"}, "Width", REG_DWORD, std::string("\x18\0\0\0", 4)},
      {{"/v", "Path", "/d", "C:\\Program Files\\Velno"}, "Path", REG_SZ, std::string("C:\\Program Files\\Velno\0", 23)},
      {{"/v", "Expand", "/t", "REG_EXPAND_SZ", "/d", "%SystemRoot%\\x"}, "Expand", REG_EXPAND_SZ,
       std::string("%SystemRoot%\\x\0", 15)},
      {{"/v", "Bytes", "/t", "REG_BINARY", "/d", "01ff"}, "Bytes", REG_BINARY, std::string("\x01\xFF", 2)},
      {{"/ve", "/d", "default"}, "", REG_SZ, std::string("default\0", 8)},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"add", "HKLM\\Software\\Velno\\Velno-HD"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back("/f");
    auto r = Reg(args);
    ASSERT_EQ(0, r.exitCode) << c.value << r.err;
    EXPECT_EQ("The operation completed successfully.\n", r.out);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Velno\\Velno-HD", 0, KEY_READ, &key));
    char data[64];
    DWORD size = sizeof data, type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, c.value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
    RegCloseKey(key);
    EXPECT_EQ(c.type, type) << c.value;
    EXPECT_EQ(c.bytes, std::string(data, size)) << c.value;
  }
  auto r = Reg({"add", "HKLM\\Software\\Velno\\Velno-HD", "/v", "Bad", "/t", "REG_DWORD", "/d", "lots"});
  EXPECT_EQ(1, r.exitCode);
}

TEST(VelnosimReg, DeleteValuesAndWholeKeys) {
  TempMachine machine;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD\\Deep\\Deeper", 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", 0, KEY_ALL_ACCESS, &key));
  DWORD one = 1;
  RegSetValueExA(key, "Keep", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
  RegSetValueExA(key, "Drop", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
  RegCloseKey(key);

  auto r = Reg({"delete", "HKLM\\Software\\ASIO\\Velno-HD", "/v", "drop", "/f"});
  EXPECT_EQ(0, r.exitCode) << r.err;
  r = Reg({"delete", "HKLM\\Software\\ASIO\\Velno-HD", "/v", "Drop", "/f"});
  EXPECT_EQ(1, r.exitCode);
  EXPECT_EQ(kNotFound, r.err);
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", 0, KEY_READ, &key));
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Keep", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Drop", nullptr, nullptr, nullptr, &size));
  RegCloseKey(key);

  r = Reg({"delete", "HKLM\\Software\\ASIO\\Velno-HD", "/f"});
  EXPECT_EQ(0, r.exitCode) << r.err;
  EXPECT_EQ("The operation completed successfully.\n", r.out);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", 0, KEY_READ, &key))
      << "the key went with its subkeys";
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO", 0, KEY_READ, &key));
  RegCloseKey(key);
  r = Reg({"delete", "HKLM\\Software\\ASIO\\Velno-HD", "/f"});
  EXPECT_EQ(1, r.exitCode);
  EXPECT_EQ(kNotFound, r.err);
}
