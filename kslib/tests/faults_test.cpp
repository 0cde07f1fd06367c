// Malformed and misbehaving devices: the library fails clearly, never hangs and never reads
// past what the device returned (these run under the address sanitizer).
#include "KsTestSupport.h"

using namespace kstest;
using velno::testing::TempMachine;

namespace {
TempMachine* WithFaults(const char* faults) {
  return new TempMachine(nlohmann::json::parse(std::string(R"({"usb": [{"faults": )") + faults + "}]}"));
}
}  // namespace

TEST(KsFaults, ADataRangeOfSizeZeroStopsTheWalk) {
  std::unique_ptr<TempMachine> machine(WithFaults(R"({"dataRangeFormatSize": "zero"})"));
  auto f = Open<CKsAudRenFilter>(0, false);
  EXPECT_EQ(f->EnumeratePins(), E_FAIL) << "no pin has a usable range: the filter is not viable";
  EXPECT_EQ(Count(f->pins), 0u);
}

TEST(KsFaults, ADataRangePastTheEndOfTheBufferIsNotRead) {
  std::unique_ptr<TempMachine> machine(WithFaults(R"({"dataRangeFormatSize": "overrun"})"));
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = static_cast<CKsAudPin*>(f->renderSinkPins.GetHead()->item);
  EXPECT_EQ(pin->audioRanges.GetCount(), 2u) << "the ranges before the bad one are kept";
  WAVEFORMATEX w = kstest::Pcm(2, 48000, 32);
  EXPECT_FALSE(pin->IsFormatSupported(&w, 15));
}

TEST(KsFaults, AMultipleItemCountLargerThanItsSizeIsBounded) {
  std::unique_ptr<TempMachine> machine(WithFaults(R"({"multipleItemOverflow": true})"));
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = static_cast<CKsAudPin*>(f->renderSinkPins.GetHead()->item);
  EXPECT_EQ(pin->dataRanges.count, 6u);
  EXPECT_EQ(pin->dataRanges.size, 3 * 88u);
  EXPECT_EQ(pin->audioRanges.GetCount(), 3u);
}

TEST(KsFaults, AFailingPropertyIsToleratedOrMakesThePinUnusable) {
  {
    std::unique_ptr<TempMachine> machine(WithFaults(R"({"failProperty": "NAME"})"));
    auto f = Open<CKsAudRenFilter>();
    EXPECT_EQ(Count(f->pins), 2u) << "a pin whose name cannot be read is still a pin";
    EXPECT_EQ(f->pins.GetHead()->item->name[0], 0);
  }
  {
    std::unique_ptr<TempMachine> machine(WithFaults(R"({"failProperty": "DATARANGES", "failPropertyPin": 0})"));
    auto f = Open<CKsAudRenFilter>();
    EXPECT_EQ(Count(f->renderSinkPins), 0u);
    EXPECT_EQ(Count(f->captureSinkPins), 1u);
  }
  {
    std::unique_ptr<TempMachine> machine(WithFaults(R"({"failProperty": "CTYPES"})"));
    auto f = Open<CKsAudRenFilter>(0, false);
    EXPECT_EQ(f->EnumeratePins(), E_FAIL);
  }
  {
    std::unique_ptr<TempMachine> machine(WithFaults(R"({"failProperty": "NODES"})"));
    auto f = Open<CKsAudRenFilter>(0, false);
    EXPECT_EQ(f->EnumerateNodes(), E_FAIL);
    EXPECT_EQ(Count(f->nodes), 0u);
  }
}

TEST(KsFaults, AStalledPinTimesOutAndClosingItCancels) {
  std::unique_ptr<TempMachine> machine(WithFaults(R"({"stall": true})"));
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = static_cast<CKsAudPin*>(f->renderSinkPins.GetHead()->item);
  WAVEFORMATEX w = kstest::Pcm(2, 48000, 16);
  ASSERT_EQ(pin->SetFormat(&w), S_OK);
  ASSERT_EQ(pin->Instantiate(FALSE), S_OK);
  ASSERT_EQ(pin->SetState(KSSTATE_RUN), S_OK);
  std::vector<BYTE> data(192);
  KSSTREAM_HEADER header{};
  header.Size = sizeof header;
  header.FrameExtent = header.DataUsed = static_cast<ULONG>(data.size());
  header.Data = data.data();
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  ASSERT_EQ(pin->WriteData(&header, &ov), S_OK);
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 100), WAIT_TIMEOUT);
  pin->ClosePin();
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 1000), WAIT_OBJECT_0);
  DWORD done;
  EXPECT_FALSE(GetOverlappedResult(f->handle, &ov, &done, FALSE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_OPERATION_ABORTED));
  CloseHandle(ov.hEvent);
}
