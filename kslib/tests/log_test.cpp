// The library's tracing: silent at the shipped threshold, on the debugger output when raised.
#include <fstream>
#include <sstream>

#include "KsTestSupport.h"

using velno::testing::TempMachine;

namespace {
std::string DebugOutput(const TempMachine& machine) {
  std::ifstream in(machine.root() + "/debug_output.log");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

TEST(KsLog, SilentAtThresholdZeroAndTracedWhenRaised) {
  TempMachine machine;
  CKsIrpTarget target;
  ULONG bytes;
  EXPECT_EQ(g_ksLogThreshold, 0);
  target.SyncIoctl(INVALID_HANDLE_VALUE, IOCTL_KS_PROPERTY, NULL, 0, NULL, 0, &bytes);
  EXPECT_EQ(DebugOutput(machine), "");

  g_ksLogThreshold = 1;  // errors only
  target.SyncIoctl(INVALID_HANDLE_VALUE, IOCTL_KS_PROPERTY, NULL, 0, NULL, 0, &bytes);
  std::string errors = DebugOutput(machine);
  EXPECT_NE(errors.find("CKsIrpTarget::SyncIoctl Invalid Handle"), std::string::npos);
  EXPECT_EQ(errors.find("Enter"), std::string::npos);

  g_ksLogThreshold = 6;  // every entry and exit
  target.SyncIoctl(INVALID_HANDLE_VALUE, IOCTL_KS_PROPERTY, NULL, 0, NULL, 0, &bytes);
  g_ksLogThreshold = 0;
  std::string all = DebugOutput(machine);
  EXPECT_NE(all.find("CKsIrpTarget::SyncIoctl() Enter"), std::string::npos);
  EXPECT_NE(all.find("CKsIrpTarget::IsValidHandle() Enter"), std::string::npos);
  EXPECT_NE(all.find("CKsIrpTarget::SyncIoctl Leave, returning 0x80004005"), std::string::npos);
}
