// The machine's registry: semantics of the advapi32 functions, persistence across processes,
// concurrent writers and the HKEY_CLASSES_ROOT view.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using velno::testing::RunProcess;
using velno::testing::TempMachine;

std::string SelfPath() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, n) : std::string();
}

// Runs one of the child cases below in a new process of this test program.
velno::testing::ProcessResult RunChild(const std::string& testName, const std::string& arg) {
  return RunProcess(SelfPath(), {"--gtest_filter=RegistryChild." + testName, "--registry-child=" + arg});
}

HKEY Create(HKEY root, const char* path, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                           &key, disposition));
  return key;
}

DWORD QueryDword(HKEY root, const char* path, const char* name, LONG* rc = nullptr) {
  HKEY key = nullptr;
  LONG r = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
  DWORD value = 0, size = sizeof value, type = 0;
  if (r == ERROR_SUCCESS) {
    r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
  }
  if (rc) *rc = r;
  return value;
}

std::string g_childArg;

}  // namespace

// ---- child cases: run only inside a child process started by the tests below ----

TEST(RegistryChild, ReadBack) {
  if (g_childArg.empty()) GTEST_SKIP() << "child case";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Velno\\Shared", 0, KEY_ALL_ACCESS, &key));
  char text[64] = {};
  DWORD size = sizeof text, type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Greeting", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
  EXPECT_EQ(DWORD(REG_SZ), type);
  EXPECT_STREQ(g_childArg.c_str(), text);
  DWORD answer = 4242;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "FromChild", 0, REG_DWORD, reinterpret_cast<BYTE*>(&answer), 4));
  RegCloseKey(key);
}

TEST(RegistryChild, WriteMany) {
  if (g_childArg.empty()) GTEST_SKIP() << "child case";
  for (int i = 0; i < 150; ++i) {
    std::string sub = "Software\\Velno\\Race\\" + g_childArg + "_" + std::to_string(i % 10);
    HKEY key = Create(HKEY_LOCAL_MACHINE, sub.c_str());
    ASSERT_NE(nullptr, key);
    DWORD v = static_cast<DWORD>(i);
    std::string name = g_childArg + "_" + std::to_string(i);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
    RegCloseKey(key);
    HKEY common = Create(HKEY_LOCAL_MACHINE, "Software\\Velno\\Race");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(common, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
    RegCloseKey(common);
  }
}

// ---- cases ----

TEST(Registry, ChildProcessSeesWritesAndParentSeesTheChildren) {
  TempMachine machine;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Velno\\Shared");
  const char greeting[] = "hello from the parent";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Greeting", 0, REG_SZ, reinterpret_cast<const BYTE*>(greeting),
                                          sizeof greeting));
  RegCloseKey(key);

  auto child = RunChild("ReadBack", greeting);
  ASSERT_EQ(0, child.exitCode) << child.out << child.err;
  ASSERT_NE(std::string::npos, child.out.find("[  PASSED  ] 1 test")) << child.out;

  LONG rc = 0;
  EXPECT_EQ(4242u, QueryDword(HKEY_LOCAL_MACHINE, "Software\\Velno\\Shared", "FromChild", &rc));
  EXPECT_EQ(ERROR_SUCCESS, rc);
}

TEST(Registry, ConcurrentWritersInTwoProcessesLoseNothing) {
  TempMachine machine;
  velno::testing::ProcessResult a, b;
  std::thread ta([&] { a = RunChild("WriteMany", "alpha"); });
  std::thread tb([&] { b = RunChild("WriteMany", "beta"); });
  ta.join();
  tb.join();
  ASSERT_EQ(0, a.exitCode) << a.out << a.err;
  ASSERT_EQ(0, b.exitCode) << b.out << b.err;

  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Velno\\Race", 0, KEY_READ, &key));
  DWORD subKeys = 0, values = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                                            nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(20u, subKeys);
  EXPECT_EQ(300u, values);
  RegCloseKey(key);
  for (const char* who : {"alpha", "beta"}) {
    for (int i = 0; i < 150; ++i) {
      std::string sub = std::string("Software\\Velno\\Race\\") + who + "_" + std::to_string(i % 10);
      std::string name = std::string(who) + "_" + std::to_string(i);
      LONG rc = 0;
      EXPECT_EQ(DWORD(i), QueryDword(HKEY_LOCAL_MACHINE, sub.c_str(), name.c_str(), &rc));
      ASSERT_EQ(ERROR_SUCCESS, rc) << sub << " " << name;
    }
  }
}

TEST(Registry, CreateReportsDispositionAndMakesIntermediateKeys) {
  TempMachine machine;
  DWORD disposition = 0;
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", &disposition);
  EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
  RegCloseKey(key);
  key = Create(HKEY_CURRENT_USER, "software\\asio\\VELNO-HD", &disposition);
  EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
  RegCloseKey(key);
  key = Create(HKEY_CURRENT_USER, "Software\\ASIO", &disposition);
  EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition) << "the intermediate key was created on the way";
  RegCloseKey(key);

  HKEY missing = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nobody", 0, KEY_READ, &missing));
  EXPECT_EQ(nullptr, missing);
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyExA(HKEY_CURRENT_USER, "\\Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS,
                                                nullptr, &key, nullptr));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(reinterpret_cast<HKEY>(0x7777), "x", 0, KEY_READ, &key));
}

TEST(Registry, NamesAreCaseInsensitiveAndKeepTheirSpelling) {
  TempMachine machine;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velno\\MixedCase");
  DWORD v = 1;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "BufferSize", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  v = 2;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "BUFFERSIZE", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  RegCloseKey(key);
  EXPECT_EQ(2u, QueryDword(HKEY_LOCAL_MACHINE, "software\\VELNO\\mixedcase", "buffersize"));

  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\velno", 0, KEY_READ, &key));
  char name[64];
  DWORD nameSize = sizeof name;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
  EXPECT_STREQ("MixedCase", name);
  EXPECT_EQ(9u, nameSize);
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Velno\\MixedCase", 0, KEY_READ, &key));
  nameSize = sizeof name;
  DWORD values = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
  EXPECT_STREQ("BufferSize", name) << "overwriting keeps the first spelling";
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                            nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(1u, values);
  RegCloseKey(key);
}

TEST(Registry, TooSmallBufferGivesMoreDataWithSizeAndLeavesTheBufferAlone) {
  TempMachine machine;
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Velno");
  const char text[] = "A string longer than a DWORD";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text));

  struct Case {
    const char* what;
    DWORD bufferSize;
    LONG expected;
  };
  for (const Case& c : {Case{"empty", 0, ERROR_MORE_DATA}, Case{"a DWORD", 4, ERROR_MORE_DATA},
                        Case{"one short", sizeof text - 1, ERROR_MORE_DATA}, Case{"exact", sizeof text, ERROR_SUCCESS},
                        Case{"roomy", 64, ERROR_SUCCESS}}) {
    unsigned char buffer[80];
    memset(buffer, 0xCD, sizeof buffer);
    DWORD size = c.bufferSize, type = 0;
    EXPECT_EQ(c.expected, RegQueryValueExA(key, "Text", nullptr, &type, buffer, &size)) << c.what;
    EXPECT_EQ(DWORD(REG_SZ), type) << c.what;
    EXPECT_EQ(sizeof text, size) << c.what;
    if (c.expected == ERROR_SUCCESS) {
      EXPECT_EQ(0, memcmp(buffer, text, sizeof text)) << c.what;
      EXPECT_EQ(0xCD, buffer[sizeof text]) << c.what << ": wrote past the data";
    } else {
      for (unsigned char b : buffer) ASSERT_EQ(0xCD, b) << c.what << ": buffer touched";
    }
  }
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Text", nullptr, nullptr, nullptr, &size)) << "null data asks the size";
  EXPECT_EQ(sizeof text, size);
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(&size),
                                                      nullptr));
  size = 4;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size));
  RegCloseKey(key);
}

TEST(Registry, DefaultValueAndTypesRoundTripAsRawBytes) {
  TempMachine machine;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Velno\\Types");
  DWORD size = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "", nullptr, nullptr, nullptr, &size))
      << "a new key has no default value";
  const char path[] = "C:\\Program Files\\Velno\\VelnoHDASIO.dll";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path));
  char out[128] = {};
  size = sizeof out;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size));
  EXPECT_STREQ(path, out);

  ULONGLONG q = 0x0123456789ABCDEFull;
  const BYTE blob[] = {0, 1, 2, 0xFF, 0};
  DWORD dw = 0xDEADBEEF;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Q", 0, REG_QWORD, reinterpret_cast<BYTE*>(&q), 8));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "B", 0, REG_BINARY, blob, sizeof blob));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "D", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dw), 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0));
  EXPECT_EQ(ERROR_NOACCESS, RegSetValueExA(key, "Bad", 0, REG_BINARY, nullptr, 4));

  BYTE buffer[16];
  DWORD type = 0;
  size = sizeof buffer;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Q", nullptr, &type, buffer, &size));
  EXPECT_EQ(DWORD(REG_QWORD), type);
  EXPECT_EQ(8u, size);
  EXPECT_EQ(0, memcmp(buffer, &q, 8));
  size = sizeof buffer;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"b", nullptr, &type, buffer, &size));
  EXPECT_EQ(DWORD(REG_BINARY), type);
  ASSERT_EQ(sizeof blob, size);
  EXPECT_EQ(0, memcmp(buffer, blob, sizeof blob));
  size = sizeof buffer;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Empty", nullptr, &type, buffer, &size));
  EXPECT_EQ(0u, size);

  // A DWORD asked into a buffer of two bytes: the real error, nothing written.
  WORD small = 0x5555;
  size = sizeof small;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "D", nullptr, &type, reinterpret_cast<BYTE*>(&small), &size));
  EXPECT_EQ(4u, size);
  EXPECT_EQ(0x5555, small);
  RegCloseKey(key);
}

TEST(Registry, AnsiAndWideStringsReadEachOther) {
  TempMachine machine;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Velno\\Strings");
  // Written with the 8-bit function, terminator included: the wide read has it too.
  const char ansi[] = "Driver";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "A", 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi), sizeof ansi));
  char16_t wide[32];
  DWORD size = sizeof wide, type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"A", nullptr, &type, reinterpret_cast<BYTE*>(wide), &size));
  EXPECT_EQ(DWORD(REG_SZ), type);
  ASSERT_EQ(14u, size);
  EXPECT_EQ(std::u16string(u"Driver", 7), std::u16string(wide, 7));

  // Written wide (as a CLSID string is): the 8-bit read gets 8-bit text.
  const char16_t clsid[] = u"{01234567-89AB-CDEF-0123-456789ABCDEF}";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid), sizeof clsid));
  char text[64];
  size = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "clsid", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
  EXPECT_EQ(39u, size);
  EXPECT_STREQ("{01234567-89AB-CDEF-0123-456789ABCDEF}", text);

  // Data is kept exactly as given: without a terminator it reads back without one.
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "NoNul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3));
  size = sizeof wide;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"NoNul", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size));
  EXPECT_EQ(6u, size);
  size = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "NoNul", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size));
  EXPECT_EQ(3u, size);

  // Multi-strings and non-ASCII text survive both ways.
  const char multi[] = "one\0tw\xC3\xB6\0";  // "twö" in UTF-8, then the closing empty string
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "M", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi));
  size = sizeof wide;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"M", nullptr, &type, reinterpret_cast<BYTE*>(wide), &size));
  EXPECT_EQ(DWORD(REG_MULTI_SZ), type);
  const char16_t expectWide[] = u"one\0tw\u00F6\0";
  ASSERT_EQ(sizeof expectWide, size);
  EXPECT_EQ(0, memcmp(wide, expectWide, size));
  size = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "M", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size));
  ASSERT_EQ(sizeof multi, size);
  EXPECT_EQ(0, memcmp(text, multi, size));

  // A wide read of an 8-bit string into too small a buffer: sized in wide bytes.
  size = 8;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, u"A", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size));
  EXPECT_EQ(14u, size);
  RegCloseKey(key);
}

TEST(Registry, DeleteKeyRefusesSubkeysAndTakesItsValues) {
  TempMachine machine;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD\\Inner");
  RegCloseKey(key);
  key = Create(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD");
  const char driver[] = "x.dll";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(driver), 6));
  RegCloseKey(key);

  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Nothing"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD\\Inner"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "software\\asio\\velno-hd"));

  DWORD disposition = 0;
  key = Create(HKEY_LOCAL_MACHINE, "Software\\ASIO\\Velno-HD", &disposition);
  EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
  DWORD size = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Driver", nullptr, nullptr, nullptr, &size))
      << "the values went with the deleted key";
  RegCloseKey(key);
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""));
}

TEST(Registry, HandleOfADeletedKeyAndRightsOfAHandle) {
  TempMachine machine;
  HKEY writer = Create(HKEY_CURRENT_USER, "Software\\Velno\\Gone");
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Velno\\Gone"));
  DWORD v = 1;
  EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(writer, "X", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  HKEY sub = nullptr;
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegCreateKeyExA(writer, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(writer));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(writer));

  HKEY reader = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &reader));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(reader, "X", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(reader, "X"));
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegCreateKeyExA(reader, "NewChild", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr));
  RegCloseKey(reader);
}

TEST(Registry, ClassesRootIsTheViewOfLocalMachineClasses) {
  TempMachine machine;
  HKEY key = Create(HKEY_CLASSES_ROOT, "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32");
  const char path[] = "C:\\drv.dll";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                          "SOFTWARE\\Classes\\CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", 0,
                          KEY_READ, &key));
  char out[32];
  DWORD size = sizeof out;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size));
  EXPECT_STREQ(path, out);
  RegCloseKey(key);

  key = Create(HKEY_LOCAL_MACHINE, "Software\\Classes\\.dsf");
  RegCloseKey(key);
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, ".DSF", 0, KEY_READ, &key));
  RegCloseKey(key);
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CLASSES_ROOT, ".dsf"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.dsf", 0, KEY_READ, &key));
}

TEST(Registry, EnumerationOrderEndAndShortBuffers) {
  TempMachine machine;
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Enum");
  for (const char* sub : {"beta", "Alpha", "gamma"}) {
    HKEY k = Create(key, sub);
    RegCloseKey(k);
  }
  for (const char* name : {"Zulu", "alpha", "Mike"}) {
    DWORD v = static_cast<DWORD>(strlen(name));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  }
  std::vector<std::string> keys, values;
  char name[64];
  DWORD nameSize;
  for (DWORD i = 0;; ++i) {
    nameSize = sizeof name;
    LONG rc = RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, rc);
    keys.push_back(name);
  }
  for (DWORD i = 0;; ++i) {
    nameSize = sizeof name;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG rc = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, rc);
    EXPECT_EQ(strlen(name), data);
    values.push_back(name);
  }
  EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "gamma"}), keys);
  EXPECT_EQ((std::vector<std::string>{"Zulu", "alpha", "Mike"}), values);

  nameSize = 5;  // "gamma" needs 6 with its terminator
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key, 2, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
  DWORD subKeys = 0, maxSub = 0, count = 0, maxName = 0, maxData = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &count, &maxName,
                                            &maxData, nullptr, nullptr));
  EXPECT_EQ(3u, subKeys);
  EXPECT_EQ(5u, maxSub);
  EXPECT_EQ(3u, count);
  EXPECT_EQ(5u, maxName);
  EXPECT_EQ(4u, maxData);

  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Enum"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Enum", 0, KEY_READ, &key));
}

TEST(Registry, EachMachineHasItsOwnRegistry) {
  std::string first;
  {
    TempMachine machine;
    first = machine.root();
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Velno\\OnlyHere");
    RegCloseKey(key);
    {
      TempMachine other;
      EXPECT_EQ(ERROR_FILE_NOT_FOUND,
                RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Velno\\OnlyHere", 0, KEY_READ, &key));
    }
  }
  EXPECT_FALSE(first.empty());
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--registry-child=", 0) == 0) g_childArg = a.substr(17);
  }
  return RUN_ALL_TESTS();
}
