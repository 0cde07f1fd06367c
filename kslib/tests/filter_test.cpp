// Filters, their pins and nodes, and the filter enumeration, against the simulated device.
#include "KsTestSupport.h"

using namespace kstest;
using velno::testing::TempMachine;

TEST(KsFilter, ConstructionChecksAndCutsItsTexts) {
  HRESULT hr = S_OK;
  CKsFilter a(NULL, "x", &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
  CKsFilter b("x", NULL, &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
  std::string longName(300, 'n');
  CKsAudRenFilter c("path", longName.c_str(), &hr);
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(strlen(c.friendlyName), 259u);
  EXPECT_EQ(c.filterType, eAudRen);
  CKsAudCapFilter d("path", "", &hr);
  EXPECT_EQ(d.filterType, eAudCap);
  EXPECT_EQ(d.handle, INVALID_HANDLE_VALUE);
}

TEST(KsFilter, InstantiateFailsForAMissingDevice) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"present": false}]})"));
  HRESULT hr;
  CKsAudRenFilter f(AudioPath().c_str(), "Velno-HD", &hr);
  EXPECT_EQ(f.Instantiate(), E_FAIL);
  EXPECT_EQ(f.handle, INVALID_HANDLE_VALUE);
}

TEST(KsFilter, AudioFilterCreatesSinkPinsButNoBridgeOrNonePins) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"audio": {"pins": [
      {}, {}, {}, {}, {"name": "Nothing", "communication": "none", "dataFlow": "in"}]}}]})"));
  auto f = Open<CKsAudRenFilter>();
  ASSERT_EQ(Count(f->pins), 2u);
  EXPECT_EQ(f->pins.GetHead()->item->GetId(), 0u);
  EXPECT_EQ(f->pins.GetHead()->next->item->GetId(), 3u);
  ASSERT_EQ(Count(f->renderSinkPins), 1u);
  ASSERT_EQ(Count(f->captureSinkPins), 1u);
  EXPECT_EQ(Count(f->noCommPins), 0u);
  CKsPin* render = f->renderSinkPins.GetHead()->item;
  EXPECT_EQ(render->pinType, ePinRender);
  EXPECT_EQ(f->captureSinkPins.GetHead()->item->pinType, ePinCapture);
  EXPECT_STREQ(reinterpret_cast<const char*>(render->name), "P");  // UTF-16 "Playback": raw bytes
  EXPECT_EQ(render->cInstances.PossibleCount, 1u);
  EXPECT_EQ(render->communication, KSPIN_COMMUNICATION_SINK);

  // The generic filter keeps every pin, the none pin among the unconnected ones.
  auto g = Open<CKsFilter>();
  EXPECT_EQ(Count(g->pins), 5u);
  EXPECT_EQ(Count(g->noCommPins), 1u);
  EXPECT_EQ(Count(g->renderSinkPins), 1u);
}

TEST(KsFilter, SourceOnlyFilterIsViableWithoutAViablePin) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"audio": {"pins": [
      {"communication": "source", "dataFlow": "in"}, {"communication": "source", "dataFlow": "out", "ranges": [{}]}]}}]})"));
  auto f = Open<CKsAudRenFilter>();
  EXPECT_EQ(Count(f->renderSourcePins), 1u);
  EXPECT_EQ(Count(f->captureSourcePins), 1u);
  WAVEFORMATEX w = Pcm(2, 48000, 16);
  EXPECT_EQ(f->FindViablePin(&w, 15), nullptr);
  auto c = Open<CKsAudCapFilter>();
  EXPECT_EQ(c->FindViablePin(&w, 15), nullptr);
}

TEST(KsFilter, FindViablePinProbesTheWidths) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"audio": {"bits": [16, 24]}}]})"));
  auto ren = Open<CKsAudRenFilter>();
  auto cap = Open<CKsAudCapFilter>();
  for (WORD bits : {16, 24, 32}) {
    WAVEFORMATEX w = Pcm(0, 0, bits);  // bits only: channels and rate are not looked at
    EXPECT_EQ(ren->FindViablePin(&w, 4) != nullptr, bits != 32) << bits;
    CKsAudPin* pin = cap->FindViablePin(&w, 4);
    EXPECT_EQ(pin != nullptr, bits != 32) << bits;
    if (pin) EXPECT_EQ(pin->GetId(), 3u);
  }
}

TEST(KsFilter, NodesAreTheTopology) {
  TempMachine machine;
  auto f = Open<CKsFilter>(0, false);
  ASSERT_EQ(f->EnumerateNodes(), S_OK);
  ASSERT_EQ(Count(f->nodes), 6u);
  CKsNode* third = f->nodes.GetHead()->next->next->item;
  EXPECT_EQ(third->nodeId, 2u);
  EXPECT_EQ(third->nodeType, KSNODETYPE_DAC);
  EXPECT_EQ(memcmp(third->name, "NONE", 4), 0);
  EXPECT_EQ(f->DestroyLists(), S_OK);
  EXPECT_EQ(Count(f->nodes), 0u);
}

TEST(KsEnumFilters, KeepsAudioInterfacesWithAnActiveRenderAliasInOrder) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [
      {"instance": "7&1&0", "audio": {"renderAlias": "removed"}},
      {"instance": "7&2&0", "audio": {"friendlyName": "Second"}},
      {"instance": "7&3&0", "audio": {"renderAlias": "none"}},
      {"instance": "7&4&0", "audio": {"friendlyName": "Fourth"}}]})"));
  CKsEnumFilters e;
  GUID categories[2] = {KSCATEGORY_AUDIO, KSCATEGORY_RENDER};
  ASSERT_EQ(e.EnumFilters(eAudRen, categories, 2), S_OK);
  ASSERT_EQ(Count(e.filters), 2u);
  CKsFilter* first = e.filters.GetHead()->item;
  EXPECT_STREQ(first->friendlyName, "Second");
  EXPECT_NE(std::string(first->symbolicLink).find("7&2&0"), std::string::npos);
  EXPECT_EQ(first->filterType, eAudRen);
  EXPECT_EQ(Count(first->renderSinkPins), 1u);
  EXPECT_STREQ(e.filters.GetHead()->next->item->friendlyName, "Fourth");
  // With the audio category alone the removed and missing aliases do not matter.
  ASSERT_EQ(e.EnumFilters(eAudRen, categories, 1), S_OK);
  EXPECT_EQ(Count(e.filters), 4u);
  EXPECT_EQ(e.EnumFilters(eAudRen, NULL, 0), E_FAIL);
  EXPECT_EQ(Count(e.filters), 0u);
}

TEST(KsEnumFilters, FriendlyNamesAreCutAndMissingOnesFallBack) {
  std::string longName(300, 'V');
  nlohmann::json profile = nlohmann::json::parse(R"({"usb": [
      {"instance": "7&1&0"},
      {"instance": "7&2&0", "deviceFriendlyName": "Device Name", "audio": {"friendlyName": ""}},
      {"instance": "7&3&0", "audio": {"friendlyName": ""}}]})");
  profile["usb"][0]["audio"]["friendlyName"] = longName;
  TempMachine machine(profile);
  CKsEnumFilters e;
  GUID categories[2] = {KSCATEGORY_AUDIO, KSCATEGORY_RENDER};
  ASSERT_EQ(e.EnumFilters(eAudRen, categories, 2), S_OK);
  ASSERT_EQ(Count(e.filters), 3u);
  auto* entry = e.filters.GetHead();
  EXPECT_EQ(std::string(entry->item->friendlyName), longName.substr(0, 259));
  EXPECT_STREQ(entry->next->item->friendlyName, "Device Name");
  EXPECT_STREQ(entry->next->next->item->friendlyName, "USB Audio Device");
}

TEST(KsEnumFilters, NoDevicesIsAFailure) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": []})"));
  CKsEnumFilters e;
  GUID categories[2] = {KSCATEGORY_AUDIO, KSCATEGORY_RENDER};
  EXPECT_EQ(e.EnumFilters(eAudRen, categories, 2), E_FAIL);
}
