// Files on drive C: creation dispositions and their errors, directories, copy and move,
// environment and system folders.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

using velno::testing::TempMachine;

HANDLE Open(const char* path, DWORD disposition, DWORD access = GENERIC_READ | GENERIC_WRITE) {
  return CreateFileA(path, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(const char* path) {
  HANDLE h = Open(path, OPEN_EXISTING, GENERIC_READ);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[256];
  DWORD n = 0;
  ReadFile(h, buffer, sizeof buffer, &n, nullptr);
  CloseHandle(h);
  return std::string(buffer, n);
}

void Write(const char* path, const char* text, DWORD disposition = CREATE_ALWAYS) {
  HANDLE h = Open(path, disposition);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path << " " << GetLastError();
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, text, DWORD(strlen(text)), &n, nullptr));
  EXPECT_EQ(n, strlen(text));
  CloseHandle(h);
}

TEST(Files, CreationDispositions) {
  TempMachine machine;
  const char* f = "C:\\users\\user\\Temp\\a.txt";
  struct Step {
    DWORD disposition;
    bool opens;
    DWORD error;  // GetLastError after the call
  } steps[] = {
      {OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND}, {TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND},
      {CREATE_NEW, true, ERROR_SUCCESS},            {CREATE_NEW, false, ERROR_FILE_EXISTS},
      {OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS},    {CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS},
      {OPEN_EXISTING, true, ERROR_SUCCESS},         {TRUNCATE_EXISTING, true, ERROR_SUCCESS},
  };
  for (const Step& s : steps) {
    SetLastError(12345);
    HANDLE h = Open(f, s.disposition);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, s.opens) << s.disposition;
    EXPECT_EQ(GetLastError(), s.error) << s.disposition;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  EXPECT_TRUE(DeleteFileA(f));
  EXPECT_EQ(Open("C:\\no\\such\\dir\\a.txt", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(Open("C:\\windows", OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Open("D:\\x.txt", CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(Files, ReadWriteSizeAndContents) {
  TempMachine machine;
  const char* f = "C:\\users\\user\\Temp\\data.bin";
  Write(f, "0123456789");
  EXPECT_EQ(ReadAll("c:\\USERS\\user\\temp\\DATA.BIN"), "0123456789");  // names match in any case
  HANDLE h = Open(f, OPEN_EXISTING, GENERIC_READ);
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(h, &high), 10u);
  EXPECT_EQ(high, 0u);
  char buffer[4];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(h, buffer, 4, &n, nullptr));
  EXPECT_EQ(std::string(buffer, n), "0123");
  EXPECT_TRUE(ReadFile(h, buffer, 4, &n, nullptr));
  EXPECT_EQ(std::string(buffer, n), "4567");
  EXPECT_TRUE(ReadFile(h, buffer, 4, &n, nullptr));
  EXPECT_TRUE(ReadFile(h, buffer, 4, &n, nullptr));  // at the end: success, no bytes
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));  // opened for reading only
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  CloseHandle(h);
}

TEST(Files, DirectoriesCopyMoveDelete) {
  TempMachine machine;
  EXPECT_TRUE(CreateDirectoryA("C:\\Program Files\\Velno", nullptr));
  EXPECT_FALSE(CreateDirectoryA("C:\\Program Files\\Velno", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryA("C:\\Program Files\\Missing\\Velno", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA("C:\\Program Files\\Velno"), DWORD(FILE_ATTRIBUTE_DIRECTORY));

  const char* a = "C:\\Program Files\\Velno\\a.txt";
  const char* b = "C:\\Program Files\\Velno\\b.txt";
  const char* c = "C:\\Program Files\\Velno\\c.txt";
  Write(a, "alpha");
  EXPECT_EQ(GetFileAttributesA(a) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_TRUE(CopyFileA(a, b, TRUE));
  EXPECT_EQ(ReadAll(b), "alpha");
  EXPECT_FALSE(CopyFileA(a, b, TRUE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
  Write(a, "beta");
  EXPECT_TRUE(CopyFileA(a, b, FALSE));
  EXPECT_EQ(ReadAll(b), "beta");
  EXPECT_FALSE(CopyFileA("C:\\Program Files\\Velno\\none.txt", c, FALSE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  EXPECT_FALSE(MoveFileA(a, b));  // never replaces
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(MoveFileA(a, c));
  EXPECT_EQ(GetFileAttributesA(a), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ReadAll(c), "beta");

  EXPECT_FALSE(RemoveDirectoryA("C:\\Program Files\\Velno"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));
  EXPECT_FALSE(RemoveDirectoryA(b));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
  EXPECT_FALSE(DeleteFileA("C:\\Program Files\\Velno"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(DeleteFileA(b));
  EXPECT_TRUE(DeleteFileA(c));
  EXPECT_FALSE(DeleteFileA(c));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(RemoveDirectoryA("C:\\Program Files\\Velno"));
  EXPECT_FALSE(RemoveDirectoryA("C:\\Program Files\\Velno"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(Files, EnvironmentAndSystemFolders) {
  TempMachine machine;
  char buffer[MAX_PATH];
  EXPECT_EQ(GetSystemDirectoryA(buffer, MAX_PATH), strlen("C:\\windows\\system32"));
  EXPECT_STREQ(buffer, "C:\\windows\\system32");
  EXPECT_EQ(GetSystemDirectoryA(buffer, 5), strlen("C:\\windows\\system32") + 1);  // size needed
  EXPECT_EQ(GetWindowsDirectoryA(buffer, MAX_PATH), 10u);
  EXPECT_STREQ(buffer, "C:\\windows");
  EXPECT_GT(GetTempPathA(MAX_PATH, buffer), 0u);
  EXPECT_EQ(buffer[strlen(buffer) - 1], '\\');
  EXPECT_EQ(GetFileAttributesA(buffer), DWORD(FILE_ATTRIBUTE_DIRECTORY));  // exists on the machine

  EXPECT_EQ(GetEnvironmentVariableA("systemroot", buffer, MAX_PATH), 10u);
  EXPECT_STREQ(buffer, "C:\\windows");
  EXPECT_EQ(GetEnvironmentVariableA("SystemRoot", buffer, 4), 11u);
  EXPECT_EQ(GetEnvironmentVariableA("VELNO_MACHINE", buffer, MAX_PATH), machine.root().size());
  EXPECT_EQ(GetEnvironmentVariableA("VELNO_NO_SUCH_VARIABLE", buffer, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ENVVAR_NOT_FOUND));

  const char* src = "%SystemRoot%\\system32\\%VELNO_NO_SUCH_VARIABLE%\\100%";
  std::string expected = "C:\\windows\\system32\\%VELNO_NO_SUCH_VARIABLE%\\100%";
  EXPECT_EQ(ExpandEnvironmentStringsA(src, buffer, MAX_PATH), expected.size() + 1);
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_EQ(ExpandEnvironmentStringsA(src, buffer, 3), expected.size() + 1);
}

}  // namespace
