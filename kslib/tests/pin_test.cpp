// Audio pins against the simulated device: their properties and ranges, the connection
// request, format matching, instantiation, states and reset.
#include <unistd.h>

#include <cstdlib>

#include "KsTestSupport.h"

using namespace kstest;
using velno::testing::TempMachine;

namespace {
CKsAudPin* RenderPin(CKsAudRenFilter& f) { return static_cast<CKsAudPin*>(f.renderSinkPins.GetHead()->item); }
}  // namespace

TEST(KsAudPin, TheConnectionRequestStartsAsA154ByteWaveFormatRequest) {
  TempMachine machine;
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = RenderPin(*f);
  ASSERT_EQ(pin->m_cbPinCreate, 154u);
  const KSPIN_CONNECT* c = pin->m_pksPinCreate;
  EXPECT_EQ(c->Interface.Set, KSINTERFACESETID_Standard);
  EXPECT_EQ(c->Interface.Id, 0u);
  EXPECT_EQ(c->Medium.Set, KSMEDIUMSETID_Standard);
  EXPECT_EQ(c->PinId, pin->pinId);
  EXPECT_EQ(c->PinToHandle, nullptr);
  EXPECT_EQ(c->Priority.PriorityClass, ULONG(KSPRIORITY_NORMAL));
  EXPECT_EQ(c->Priority.PrioritySubClass, 1u);
  const KSDATAFORMAT& df = pin->m_pksDataFormatWfx->DataFormat;
  EXPECT_EQ(reinterpret_cast<const BYTE*>(&df), reinterpret_cast<const BYTE*>(c) + 72);
  EXPECT_EQ(df.FormatSize, 82u);
  EXPECT_EQ(df.MajorFormat, KSDATAFORMAT_TYPE_AUDIO);
  EXPECT_EQ(df.SubFormat, KSDATAFORMAT_SUBTYPE_PCM);
  EXPECT_EQ(df.Specifier, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX);
  ASSERT_EQ(pin->audioRanges.GetCount(), 3u);
  EXPECT_EQ(pin->audioRanges.GetHead()->next->item->MinimumBitsPerSample, 24u);
}

TEST(KsAudPin, SetFormatGrowsTheRequestForAnExtensibleFormat) {
  TempMachine machine;
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = RenderPin(*f);
  WAVEFORMATEXTENSIBLE x = Extensible(2, 96000, 24);
  ASSERT_EQ(pin->SetFormat(&x.Format), S_OK);
  EXPECT_EQ(pin->m_cbPinCreate, 176u);
  EXPECT_EQ(pin->m_pksDataFormatWfx->DataFormat.FormatSize, 104u);
  EXPECT_EQ(pin->m_pksDataFormatWfx->DataFormat.SampleSize, 6u);
  EXPECT_EQ(pin->m_pksPinCreate->PinId, pin->pinId) << "the old request was carried over";
  EXPECT_EQ(memcmp(&pin->m_pksDataFormatWfx->WaveFormatEx, &x, sizeof x), 0);
  ASSERT_NE(pin->formatCopy, nullptr);
  EXPECT_EQ(memcmp(pin->formatCopy, &x, sizeof x), 0);
  // Back to plain PCM: 18 bytes of format again.
  WAVEFORMATEX p = Pcm(2, 44100, 16);
  ASSERT_EQ(pin->SetFormat(&p), S_OK);
  EXPECT_EQ(pin->m_cbPinCreate, 154u);
  EXPECT_EQ(pin->m_pksDataFormatWfx->DataFormat.FormatSize, 82u);
  EXPECT_EQ(pin->SetFormat(NULL), E_FAIL);
}

TEST(KsAudPin, IsFormatSupportedAppliesOnlyTheChecksAskedFor) {
  TempMachine machine(nlohmann::json::parse(
      R"({"usb": [{"audio": {"bits": [16, 24], "minRate": 44100, "maxRate": 192000, "channels": 2}}]})"));
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = RenderPin(*f);
  struct Case {
    WORD channels;
    DWORD rate;
    WORD bits;
    int checks;
    bool expected;
  };
  const Case cases[] = {
      {2, 48000, 24, 15, true},     {8, 48000, 24, 15, false},   {8, 48000, 24, 4, true},
      {8, 48000, 24, 2, false},     {2, 384000, 24, 15, false},  {2, 384000, 24, 4 | 2, true},
      {2, 384000, 24, 8, false},    {2, 48000, 32, 15, false},   {2, 48000, 32, 2 | 8, true},
      {2, 32000, 16, 4, true},      {2, 32000, 16, 8, false},    {1, 192000, 16, 15, true},
      {2, 48000, 32, 0, true},
  };
  for (const Case& c : cases) {
    WAVEFORMATEX w = Pcm(c.channels, c.rate, c.bits);
    EXPECT_EQ(pin->IsFormatSupported(&w, c.checks), c.expected)
        << c.channels << " ch " << c.rate << " Hz " << c.bits << " bits checks " << c.checks;
  }
  WAVEFORMATEXTENSIBLE x = Extensible(2, 48000, 24);
  EXPECT_TRUE(pin->IsFormatSupported(&x.Format, 15));
  x.SubFormat = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
  EXPECT_FALSE(pin->IsFormatSupported(&x.Format, 15));
}

TEST(KsAudPin, ANonAudioFirstRangeIsPassedOverAndTheAudioRangeAfterItKept) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"audio": {"pins": [{"ranges": [
      {"major": "music", "subFormat": "midi", "specifier": "none", "audio": false},
      {"minBits": 24, "maxBits": 24}]}]}}]})"));
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = RenderPin(*f);
  ASSERT_EQ(pin->audioRanges.GetCount(), 1u);
  EXPECT_EQ(pin->audioRanges.GetHead()->item->DataRange.SubFormat, KSDATAFORMAT_SUBTYPE_PCM);
  EXPECT_EQ(pin->audioRanges.GetHead()->item->MinimumBitsPerSample, 24u);
}

TEST(KsAudPin, APinWithoutAnAudioRangeOrStandardInterfaceIsNotCreated) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"audio": {"pins": [
      {"ranges": [{"major": "music", "subFormat": "midi", "specifier": "none", "audio": false}]},
      {"dataFlow": "out", "communication": "sink", "interfaces": [2]},
      {"dataFlow": "out", "communication": "sink", "mediums": [5]},
      {"dataFlow": "out", "communication": "sink"}]}}]})"));
  auto f = Open<CKsAudRenFilter>(0, false);
  EXPECT_EQ(f->EnumeratePins(), S_OK);
  ASSERT_EQ(Count(f->pins), 1u);
  EXPECT_EQ(f->pins.GetHead()->item->GetId(), 3u);
}

TEST(KsAudPin, InstantiateSetStateAndResetOnTheDevice) {
  TempMachine machine;
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = RenderPin(*f);
  WAVEFORMATEXTENSIBLE x = Extensible(2, 48000, 24);
  ASSERT_EQ(pin->SetFormat(&x.Format), S_OK);
  ASSERT_EQ(pin->Instantiate(FALSE), S_OK);
  EXPECT_TRUE(CKsIrpTarget::IsValidHandle(pin->handle));
  for (KSSTATE s : {KSSTATE_ACQUIRE, KSSTATE_PAUSE, KSSTATE_RUN, KSSTATE_PAUSE, KSSTATE_ACQUIRE, KSSTATE_STOP}) {
    EXPECT_EQ(pin->SetState(s), S_OK);
    EXPECT_EQ(pin->state, s);
    KSSTATE now = KSSTATE_RUN;
    EXPECT_EQ(pin->GetPropertySimple(KSPROPSETID_Connection, KSPROPERTY_CONNECTION_STATE, &now, sizeof now), S_OK);
    EXPECT_EQ(now, s);
  }
  EXPECT_EQ(pin->Reset(), S_OK);
  // The device logged every change.
  std::vector<std::string> changes;
  for (auto& e : dev::ReadLog())
    if (e["event"] == "pin-state") changes.push_back(e["to"].get<std::string>());
  EXPECT_EQ(changes, (std::vector<std::string>{"ACQUIRE", "PAUSE", "RUN", "PAUSE", "ACQUIRE", "STOP"}));
  // One instance only: a second one is refused while the first lives, in this process or another.
  HRESULT hr;
  CKsAudRenFilter g(AudioPath().c_str(), "Velno-HD", &hr);
  ASSERT_EQ(g.Instantiate(), S_OK);
  ASSERT_EQ(g.EnumeratePins(), S_OK);
  CKsAudPin* other = RenderPin(g);
  ASSERT_EQ(other->SetFormat(&x.Format), S_OK);
  EXPECT_EQ(other->cInstances.CurrentCount, 1u);
  EXPECT_EQ(other->Instantiate(FALSE), HRESULT(0x80070000 | ERROR_NO_SYSTEM_RESOURCES));
  pin->ClosePin();
  EXPECT_EQ(pin->handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(other->Instantiate(FALSE), S_OK);
}

TEST(KsAudPin, FormatsTheRangesDoNotCoverAreRefused) {
  TempMachine machine;
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = RenderPin(*f);
  for (WAVEFORMATEX w : {Pcm(2, 768000, 24), Pcm(6, 48000, 24), Pcm(2, 48000, 8)}) {
    ASSERT_EQ(pin->SetFormat(&w), S_OK);
    EXPECT_EQ(pin->Instantiate(FALSE), HRESULT(0x80070000 | ERROR_NO_MATCH));
    EXPECT_EQ(pin->handle, INVALID_HANDLE_VALUE);
  }
  // Without an instance, state changes and reset fail through the invalid handle.
  EXPECT_EQ(pin->SetState(KSSTATE_RUN), E_FAIL);
  EXPECT_EQ(pin->state, KSSTATE_STOP);
  EXPECT_EQ(pin->Reset(), E_FAIL);
  KSSTREAM_HEADER header{};
  header.Size = sizeof header;
  OVERLAPPED ov{};
  EXPECT_EQ(pin->WriteData(&header, &ov), E_FAIL);
}

// Runs in a child process (below), whose first pin creation finds no ksuser.dll.
TEST(KsAudPin, DISABLED_InstantiateWithoutKsUser) {
  auto f = Open<CKsAudRenFilter>();
  CKsAudPin* pin = RenderPin(*f);
  WAVEFORMATEX w = Pcm(2, 48000, 16);
  ASSERT_EQ(pin->SetFormat(&w), S_OK);
  EXPECT_EQ(pin->Instantiate(FALSE), HRESULT(0x80070002));
  EXPECT_EQ(pin->handle, INVALID_HANDLE_VALUE);
}

TEST(KsAudPin, InstantiateReturnsFileNotFoundWithoutKsUser) {
  TempMachine machine;
  ASSERT_EQ(unlink((machine.root() + "/drive_c/windows/system32/ksuser.dll").c_str()), 0);
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  self[n] = '\0';
  auto result = velno::testing::RunProcess(
      self, {"--gtest_also_run_disabled_tests", "--gtest_filter=KsAudPin.DISABLED_InstantiateWithoutKsUser"});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("[  PASSED  ] 1 test"), std::string::npos) << result.out;
}
