#include <nlohmann/json.hpp>

#include "DriverFixture.h"

namespace {

nlohmann::json Peer(const std::vector<std::string>& args) {
  auto result = velno::testing::RunProcess(velno::testing::BinDir() + "/statusblock_peer", args);
  EXPECT_EQ(0, result.exitCode) << result.err;
  return nlohmann::json::parse(result.out, nullptr, false);
}

TEST_F(DriverTest, TheBlockIsSharedBetweenProcesses) {
  HANDLE mapping = NULL;
  BOOL created = FALSE;
  StatusBlock* block = MapStatusBlock(&mapping, &created);
  ASSERT_NE(nullptr, block);
  EXPECT_TRUE(created);
  BlockSet(block, &StatusBlock::reqBits, 24);

  nlohmann::json seen = Peer({"read"});
  EXPECT_EQ(false, seen["created"]);  // a later opener leaves the content alone
  EXPECT_EQ(STATUS_BLOCK_MAGIC, seen["magic"]);
  EXPECT_EQ(24, seen["reqBits"]);

  Peer({"set", "reqBufferSize", "70"});
  EXPECT_EQ(70, BlockGet(block, &StatusBlock::reqBufferSize));
  EXPECT_EQ(24, BlockGet(block, &StatusBlock::reqBits));
}

TEST_F(DriverTest, ABlockWithoutTheMagicValueIsNeverWritten) {
  HANDLE foreign = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, STATUS_BLOCK_SIZE,
                                      STATUS_BLOCK_NAME);
  ASSERT_NE(nullptr, foreign);
  BYTE* bytes = static_cast<BYTE*>(MapViewOfFile(foreign, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(nullptr, bytes);
  memset(bytes, 0xA5, STATUS_BLOCK_SIZE);
  BYTE before[STATUS_BLOCK_SIZE];
  memcpy(before, bytes, sizeof before);

  CAsioSample* d = Create();
  ASSERT_NE(nullptr, d);
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  d->setSampleRate(48000);
  ASIOChannelInfo info{};
  d->getChannelInfo(&info);
  d->controlPanel();
  Destroy(d);
  EXPECT_EQ(0, memcmp(before, bytes, sizeof before));
}

TEST_F(DriverTest, OnlyTheFirstDriverOwnsTheBlock) {
  CAsioSample* first = Create(1);
  ASSERT_EQ(ASIOTrue, first->init(nullptr));
  StatusBlock* block = first->statusBlock;
  EXPECT_TRUE(first->OwnsBlock());
  EXPECT_STREQ("Velno-HD", block->deviceName);

  TheFakeDevice().friendlyName = "Other";
  CAsioSample* second = Create(2);
  ASSERT_EQ(ASIOTrue, second->init(nullptr));
  EXPECT_FALSE(second->OwnsBlock());
  EXPECT_STREQ("Velno-HD", block->deviceName);
  EXPECT_EQ(kStateInitialized, BlockGet(block, &StatusBlock::state));
  // A non-owner still publishes the running rate and DSD width.
  ASSERT_EQ(ASE_OK, second->setSampleRate(96000));
  EXPECT_EQ(96000, BlockGet(block, &StatusBlock::runRate));
  Destroy(second);
  EXPECT_TRUE(first->OwnsBlock());
  EXPECT_EQ(kStateInitialized, BlockGet(block, &StatusBlock::state));

  // Objects made under the same class identifier count as owners too.
  CAsioSample* twin = Create(1);
  EXPECT_TRUE(twin->OwnsBlock());
  Destroy(twin);
  Destroy(first);
  GUID nobody{};
  EXPECT_EQ(0, memcmp(&block->owner, &nobody, sizeof nobody));
  CAsioSample* third = Create(3);
  EXPECT_TRUE(third->OwnsBlock());
}

}  // namespace
