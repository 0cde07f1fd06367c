// The IRP target against the simulated filter: handle checks, the size protocol of property
// requests, asynchronous completion, and the property helpers.
#include "KsTestSupport.h"

using namespace kstest;
using velno::testing::TempMachine;

TEST(KsIrpTarget, HandleHelpers) {
  EXPECT_FALSE(CKsIrpTarget::IsValidHandle(NULL));
  EXPECT_FALSE(CKsIrpTarget::IsValidHandle(INVALID_HANDLE_VALUE));
  HANDLE event = CreateEventA(NULL, FALSE, FALSE, NULL);
  EXPECT_TRUE(CKsIrpTarget::IsValidHandle(event));
  EXPECT_TRUE(CKsIrpTarget::SafeCloseHandle(event));
  EXPECT_EQ(event, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CKsIrpTarget::SafeCloseHandle(event));  // an invalid handle is left alone
}

TEST(KsIrpTarget, InvalidHandleFailsWithoutARequest) {
  TempMachine machine;
  CKsIrpTarget target;
  ULONG bytes = 77;
  ULONG count = 0;
  KSP_PIN ksp{};
  ksp.Property.Set = KSPROPSETID_Pin;
  ksp.Property.Id = KSPROPERTY_PIN_CTYPES;
  ksp.Property.Flags = KSPROPERTY_TYPE_GET;
  SetLastError(0);
  EXPECT_EQ(target.SyncIoctl(INVALID_HANDLE_VALUE, IOCTL_KS_PROPERTY, &ksp, sizeof ksp, &count, 4, &bytes), E_FAIL);
  EXPECT_EQ(bytes, 77u) << "no request was made";
  EXPECT_EQ(GetLastError(), 0u) << "DeviceIoControl was not called";
  EXPECT_EQ(target.GetPropertySimple(KSPROPSETID_Pin, KSPROPERTY_PIN_CTYPES, &count, 4), E_FAIL);
}

TEST(KsIrpTarget, SizeQueryAnsweredWithMoreDataSucceedsButTheSameAnswerToARealRequestFails) {
  TempMachine machine;
  auto filter = Open<CKsFilter>(0, false);
  KSP_PIN ksp{};
  ksp.Property.Set = KSPROPSETID_Pin;
  ksp.Property.Flags = KSPROPERTY_TYPE_GET;
  ksp.Property.Id = KSPROPERTY_PIN_DATARANGES;
  ULONG bytes = 0;
  EXPECT_EQ(filter->SyncIoctl(filter->handle, IOCTL_KS_PROPERTY, &ksp, sizeof ksp, NULL, 0, &bytes), S_OK);
  EXPECT_EQ(bytes, 8u + 3 * 88u);  // three PCM ranges of 88 bytes after the header
  // The pin's name is a string: a buffer too small for it is answered with ERROR_MORE_DATA too.
  ksp.Property.Id = KSPROPERTY_PIN_NAME;
  EXPECT_EQ(filter->SyncIoctl(filter->handle, IOCTL_KS_PROPERTY, &ksp, sizeof ksp, NULL, 0, &bytes), S_OK);
  EXPECT_EQ(bytes, 2u * (strlen("Playback") + 1));
  char small[4];
  bytes = 99;
  EXPECT_EQ(filter->SyncIoctl(filter->handle, IOCTL_KS_PROPERTY, &ksp, sizeof ksp, small, sizeof small, &bytes), E_FAIL);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MORE_DATA));
  EXPECT_EQ(bytes, 0u);
  // A size query that is not a property request is an ordinary failure.
  EXPECT_EQ(filter->SyncIoctl(filter->handle, IOCTL_KS_RESET_STATE, &ksp, sizeof ksp, NULL, 0, &bytes), E_FAIL);
}

TEST(KsIrpTarget, ARequestThatCompletesLaterReportsZeroBytes) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"faults": {"asyncProperties": true}}]})"));
  auto filter = Open<CKsFilter>(0, false);
  KSP_PIN ksp{};
  ksp.Property.Set = KSPROPSETID_Pin;
  ksp.Property.Id = KSPROPERTY_PIN_CTYPES;
  ksp.Property.Flags = KSPROPERTY_TYPE_GET;
  ULONG count = 0, bytes = 55;
  EXPECT_EQ(filter->SyncIoctl(filter->handle, IOCTL_KS_PROPERTY, &ksp, sizeof ksp, &count, sizeof count, &bytes), S_OK);
  EXPECT_EQ(count, 4u) << "the data arrived";
  EXPECT_EQ(bytes, 0u) << "but the pending case reports no bytes";
  // Everything built on it still works on such a device.
  EXPECT_EQ(filter->EnumeratePins(), S_OK);
  EXPECT_EQ(Count(filter->pins), 4u);
}

TEST(KsIrpTarget, PropertyHelpersOnTheFilterAndErrorsForUnknownProperties) {
  TempMachine machine;
  auto filter = Open<CKsFilter>(0, false);
  PKSMULTIPLE_ITEM nodes = NULL;
  ASSERT_EQ(filter->GetPropertyMulti(KSPROPSETID_Topology, KSPROPERTY_TOPOLOGY_NODES, &nodes), S_OK);
  ASSERT_NE(nodes, nullptr);
  EXPECT_EQ(nodes->Count, 6u);
  EXPECT_EQ(nodes->Size, 8u + 6 * 16u);
  EXPECT_EQ(reinterpret_cast<GUID*>(nodes + 1)[2], KSNODETYPE_DAC);
  KsHeapFree(nodes);
  GUID value;
  EXPECT_EQ(filter->GetPropertySimple(KSPROPSETID_Topology, 77, &value, sizeof value), E_FAIL);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_FOUND));
  EXPECT_EQ(filter->GetPropertySimple(KSPROPSETID_General, 0, &value, sizeof value), E_FAIL);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SET_NOT_FOUND));
}
