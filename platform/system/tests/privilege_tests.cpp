// Token privileges and shutdown requests: the shutdown privilege must be enabled, the last
// error tells whether every privilege was adjusted, and a request is recorded, not performed.
#include <gtest/gtest.h>
#include <testsupport.h>
#include <windows.h>

#include <fstream>

using velno::testing::TempMachine;

namespace {

HANDLE OpenToken(DWORD access = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY) {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token));
  return token;
}

// Enables or disables one privilege; returns the call's result and the last error after it.
std::pair<BOOL, DWORD> SetPrivilege(HANDLE token, const char* name, bool enable) {
  TOKEN_PRIVILEGES tp = {};
  tp.PrivilegeCount = 1;
  EXPECT_TRUE(LookupPrivilegeValueA(nullptr, name, &tp.Privileges[0].Luid));
  tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  SetLastError(12345);
  BOOL ok = AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
  return {ok, GetLastError()};
}

std::vector<nlohmann::json> ShutdownRequests(const TempMachine& machine) {
  std::vector<nlohmann::json> requests;
  std::ifstream in(machine.root() + "/shutdown-requests.jsonl");
  for (std::string line; std::getline(in, line);) requests.push_back(nlohmann::json::parse(line));
  return requests;
}

char kMessage[] = "System will be restarted in 60 seconds!";

}  // namespace

TEST(Privileges, ShutdownNeedsTheEnabledPrivilegeAndIsRecorded) {
  TempMachine machine;
  EXPECT_FALSE(InitiateSystemShutdownExA(nullptr, kMessage, 60, FALSE, TRUE, SHTDN_REASON_FLAG_PLANNED));
  EXPECT_EQ(DWORD(ERROR_PRIVILEGE_NOT_HELD), GetLastError()) << "held but not enabled";

  HANDLE token = OpenToken();
  auto [ok, error] = SetPrivilege(token, SE_SHUTDOWN_NAME, true);
  EXPECT_TRUE(ok);
  EXPECT_EQ(DWORD(ERROR_SUCCESS), error) << "success clears the last error";
  ASSERT_TRUE(InitiateSystemShutdownExA(nullptr, kMessage, 60, FALSE, TRUE, SHTDN_REASON_FLAG_PLANNED));
  auto requests = ShutdownRequests(machine);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("shutdown", requests[0]["request"]);
  EXPECT_EQ(kMessage, requests[0]["message"]);
  EXPECT_EQ(60, requests[0]["timeout"]);
  EXPECT_EQ(false, requests[0]["forceAppsClosed"]);
  EXPECT_EQ(true, requests[0]["reboot"]);

  EXPECT_FALSE(InitiateSystemShutdownExA(const_cast<char*>("\\\\otherhost"), kMessage, 60, FALSE, TRUE, 0));
  EXPECT_EQ(DWORD(ERROR_BAD_NETPATH), GetLastError());

  std::tie(ok, error) = SetPrivilege(token, SE_SHUTDOWN_NAME, false);
  EXPECT_TRUE(ok);
  EXPECT_FALSE(InitiateSystemShutdownA(nullptr, kMessage, 60, FALSE, TRUE));
  EXPECT_EQ(DWORD(ERROR_PRIVILEGE_NOT_HELD), GetLastError());
  EXPECT_EQ(1u, ShutdownRequests(machine).size());
  EXPECT_TRUE(CloseHandle(token));
}

TEST(Privileges, PrivilegeNotHeldSucceedsWithNotAllAssigned) {
  TempMachine machine(nlohmann::json{{"user", {{"privileges", {"SeChangeNotifyPrivilege", "SeUndockPrivilege"}}}}});
  HANDLE token = OpenToken();
  auto [ok, error] = SetPrivilege(token, SE_SHUTDOWN_NAME, true);
  EXPECT_TRUE(ok) << "the call itself succeeds";
  EXPECT_EQ(DWORD(ERROR_NOT_ALL_ASSIGNED), error);
  EXPECT_FALSE(InitiateSystemShutdownExA(nullptr, kMessage, 60, FALSE, TRUE, 0));
  EXPECT_EQ(DWORD(ERROR_PRIVILEGE_NOT_HELD), GetLastError());
  CloseHandle(token);
}

TEST(Privileges, LookupAccessAndPreviousState) {
  TempMachine machine;
  LUID luid = {};
  ASSERT_TRUE(LookupPrivilegeValueA(nullptr, "seshutdownprivilege", &luid));
  EXPECT_EQ(19u, luid.LowPart);
  EXPECT_EQ(0, luid.HighPart);
  EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeMadeUpPrivilege", &luid));
  EXPECT_EQ(DWORD(ERROR_NO_SUCH_PRIVILEGE), GetLastError());

  HANDLE queryOnly = OpenToken(TOKEN_QUERY);
  EXPECT_FALSE(SetPrivilege(queryOnly, SE_SHUTDOWN_NAME, true).first);
  EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
  CloseHandle(queryOnly);

  HANDLE token = OpenToken();
  TOKEN_PRIVILEGES tp = {1, {{{19, 0}, SE_PRIVILEGE_ENABLED}}};
  TOKEN_PRIVILEGES previous = {};
  DWORD length = 0;
  EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &tp, 4, &previous, &length));
  EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_EQ(sizeof(TOKEN_PRIVILEGES), length);
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, sizeof previous, &previous, &length));
  EXPECT_EQ(1u, previous.PrivilegeCount);
  EXPECT_EQ(19u, previous.Privileges[0].Luid.LowPart);
  EXPECT_EQ(0u, previous.Privileges[0].Attributes) << "it was disabled before";
  // Restoring from the previous state disables it again.
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr));
  EXPECT_FALSE(InitiateSystemShutdownExA(nullptr, kMessage, 60, FALSE, TRUE, 0));
  CloseHandle(token);
}
