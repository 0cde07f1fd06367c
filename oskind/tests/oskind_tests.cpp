// The OS classification on machines whose profile names each Windows release.
#include <gtest/gtest.h>
#include <oskind.h>
#include <testsupport.h>

#include <cstddef>

using velno::testing::TempMachine;

namespace {

struct Release {
  const char* name;
  int major, minor, productType, architecture;
  unsigned build;
  int kind, platformFlag;
};

nlohmann::json WindowsProfile(const Release& r) {
  return nlohmann::json{{"windows",
                         {{"major", r.major},
                          {"minor", r.minor},
                          {"build", r.build},
                          {"platformId", 2},
                          {"productType", r.productType},
                          {"processorArchitecture", r.architecture}}}};
}

constexpr int kX86 = PROCESSOR_ARCHITECTURE_INTEL, kX64 = PROCESSOR_ARCHITECTURE_AMD64,
              kIA64 = PROCESSOR_ARCHITECTURE_IA64;
constexpr int kWorkstation = VER_NT_WORKSTATION, kServer = VER_NT_SERVER, kDomainController = VER_NT_DOMAIN_CONTROLLER;

}  // namespace

static_assert(sizeof(OsRecord) == 12 && offsetof(OsRecord, kind) == 0 && offsetof(OsRecord, platformFlag) == 4 &&
                  offsetof(OsRecord, build) == 8,
              "three 32-bit fields in order");

TEST(OsKind, EveryRowOfTheTable) {
  const Release releases[] = {
      {"XP", 5, 1, kWorkstation, kX86, 2600, 0, 1},
      {"XP x64", 5, 2, kWorkstation, kX64, 3790, 0, 1},
      {"Server 2003", 5, 2, kServer, kX86, 3790, 1, 1},
      {"Server 2003 x64", 5, 2, kServer, kX64, 3790, 1, 1},
      {"5.2 workstation on IA64", 5, 2, kWorkstation, kIA64, 3790, 1, 1},
      {"Vista", 6, 0, kWorkstation, kX86, 6002, 2, 1},
      {"Server 2008", 6, 0, kServer, kX64, 6003, 3, 0},
      {"Server 2008 domain controller", 6, 0, kDomainController, kX64, 6003, 3, 0},
      {"7 x64", 6, 1, kWorkstation, kX64, 7601, 4, 0},
      {"7 x86", 6, 1, kWorkstation, kX86, 7601, 4, 1},
      {"Server 2008 R2", 6, 1, kServer, kX64, 7601, 5, 0},
      {"8", 6, 2, kWorkstation, kX64, 9200, 6, 0},
      {"8.1", 6, 3, kWorkstation, kX64, 9600, 7, 0},
      {"Server 2012", 6, 2, kServer, kX64, 9200, 8, 0},
      {"Server 2012 R2", 6, 3, kServer, kX64, 9600, 9, 0},
      {"10", 10, 0, kWorkstation, kX64, 19045, 10, 0},
      {"10 x86", 10, 0, kWorkstation, kX86, 19045, 10, 1},
      {"10 on IA64", 10, 0, kWorkstation, kIA64, 19045, 10, 0},
      {"Server 2016", 10, 0, kServer, kX64, 14393, 11, 0},
      {"5.0", 5, 0, kWorkstation, kX86, 2195, 12, 1},
      {"6.4", 6, 4, kWorkstation, kX64, 9841, 12, 0},
      {"7.0", 7, 0, kWorkstation, kX64, 1, 12, 0},
      {"9.9", 9, 9, kServer, kX64, 1, 12, 0},
      {"10.1", 10, 1, kWorkstation, kX64, 30000, 12, 0},
      {"unknown future major", 11, 0, kWorkstation, kX64, 30000, 12, 0},
  };
  for (const Release& r : releases) {
    TempMachine machine(WindowsProfile(r));
    OsRecord record = {-1, -1, 0};
    INT kind = -1, flag = -1;
    UINT build = 0;
    ASSERT_EQ(0, GetOsKind(&record, &kind, &flag, &build)) << r.name;
    EXPECT_EQ(r.kind, kind) << r.name;
    EXPECT_EQ(r.platformFlag, flag) << r.name;
    EXPECT_EQ(r.build, build) << r.name;
    EXPECT_EQ(r.kind, record.kind) << r.name;
    EXPECT_EQ(r.platformFlag, record.platformFlag) << r.name;
    EXPECT_EQ(r.build, record.build) << r.name;
  }
}

TEST(OsKind, FailuresLeaveTheDefaults) {
  const nlohmann::json profiles[] = {
      {{"windows", {{"versionQueryFails", true}}}},
      {{"windows", {{"major", 4}, {"minor", 0}, {"build", 1381}}}},
      {{"windows", {{"platformId", 1}, {"major", 4}, {"minor", 90}}}},  // Windows Me
      {{"windows", {{"platformId", 1}, {"major", 10}}}},
  };
  for (const nlohmann::json& profile : profiles) {
    TempMachine machine(profile);
    OsRecord record = {99, 99, 99};
    INT kind = 0, flag = 0;
    UINT build = 0;
    EXPECT_EQ(E_FAIL, GetOsKind(&record, &kind, &flag, &build)) << profile.dump();
    EXPECT_EQ(12, kind) << profile.dump();
    EXPECT_EQ(1, flag) << profile.dump();
    EXPECT_EQ(7601u, build) << profile.dump();
    EXPECT_EQ(99, record.kind) << "a failed classification stores nothing in the record";
  }
}

TEST(OsKind, VistaOrLater) {
  for (INT kind = 0; kind <= 12; ++kind) {
    OsRecord record = {kind, 0, 19045};
    EXPECT_EQ(kind >= 2 && kind <= 11, IsVistaOrLater(record)) << kind;
  }
  TempMachine machine(nlohmann::json{{"windows", {{"major", 11}, {"minor", 0}}}});
  OsRecord record;
  ASSERT_EQ(0, GetOsKind(&record, nullptr, nullptr, nullptr));
  EXPECT_FALSE(IsVistaOrLater(record)) << "an unknown future major counts as pre-Vista";
}

TEST(OsKind, Windows10Version1703Boundary) {
  struct Case {
    int major, productType;
    unsigned build;
    bool modern;
  };
  for (const Case& c : {Case{10, kWorkstation, 15063, true}, Case{10, kWorkstation, 14393, false},
                        Case{10, kWorkstation, 15062, false}, Case{10, kWorkstation, 22631, true},
                        Case{10, kServer, 17763, true}, Case{10, kServer, 14393, false},
                        Case{11, kWorkstation, 20000, true}, Case{6, kWorkstation, 15063, false}}) {
    TempMachine machine(
        nlohmann::json{{"windows", {{"major", c.major}, {"minor", 0}, {"build", c.build}, {"productType", c.productType}}}});
    OsRecord record;
    ASSERT_EQ(0, GetOsKind(&record, nullptr, nullptr, nullptr));
    EXPECT_EQ(c.modern, IsWin10v1703OrLater(record)) << c.major << " " << c.build;
  }
}
