#include "DriverFixture.h"

namespace {

void SetValue(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(key);
}

TEST_F(DriverTest, FirstOpenerWithoutUserKeyLoadsNothing) {
  CAsioSample* d = Create();
  StatusBlock* block = d->statusBlock;
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(STATUS_BLOCK_MAGIC, BlockGet(block, &StatusBlock::magic));
  EXPECT_EQ(0, BlockGet(block, &StatusBlock::settingsLoaded));
  EXPECT_EQ(0, BlockGet(block, &StatusBlock::reqBufferSize));
  EXPECT_EQ(0, BlockGet(block, &StatusBlock::reqBits));
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  EXPECT_EQ(100000, d->bufferDuration);  // 10 ms
  EXPECT_EQ(32, d->bitsPerSample);       // the widest the device accepts
}

TEST_F(DriverTest, ValuesOfTheWrongTypeOrSizeFallBackToTheDefaults) {
  const char text[] = "96000";
  const BYTE wide[8] = {0x00, 0x77, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
  const BYTE shortValue[2] = {0x10, 0x00};
  SetValue("SampleRate", REG_SZ, text, sizeof text);
  SetValue("BufferSize", REG_BINARY, wide, sizeof wide);
  SetValue("BitsPerSample", REG_DWORD, nullptr, 0);
  SetValue("SupportSampleRate", REG_BINARY, shortValue, sizeof shortValue);
  DWORD bits = 0x0E;
  SetValue("SupporBitsPerSample", REG_DWORD, &bits, 4);
  CAsioSample* d = Create();
  StatusBlock* block = d->statusBlock;
  EXPECT_EQ(44100, d->deviceRate);
  EXPECT_EQ(1, BlockGet(block, &StatusBlock::settingsLoaded));
  EXPECT_EQ(100, BlockGet(block, &StatusBlock::reqBufferSize));
  EXPECT_EQ(16, BlockGet(block, &StatusBlock::reqBits));
  EXPECT_EQ(2, BlockGet(block, &StatusBlock::rateMask));
  EXPECT_EQ(0x0E, BlockGet(block, &StatusBlock::bitsMask));
}

TEST_F(DriverTest, OutOfRangeBufferLengthsAreNotTrusted) {
  for (DWORD tenths : {0u, 5u, 0x7FFFFFFFu, 0xFFFFFFF0u, 6001u}) {
    machine_.reset();
    machine_ = std::make_unique<velno::testing::TempMachine>();
    SetValue("BufferSize", REG_DWORD, &tenths, 4);
    CAsioSample* d = Create();
    ASSERT_EQ(ASIOTrue, d->init(nullptr));
    EXPECT_EQ(100000, d->bufferDuration) << tenths;
    LONG mn, mx, pref, gran;
    ASSERT_EQ(ASE_OK, d->getBufferSize(&mn, &mx, &pref, &gran));
    EXPECT_GT(pref, 0);
    Destroy(d);
  }
}

TEST_F(DriverTest, TheControlPanelsChoicesReachTheNextInit) {
  SetUserDword("SampleRate", 44100);
  CAsioSample* d = Create();
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  BlockSet(d->statusBlock, &StatusBlock::reqBufferSize, 50);  // 5 ms
  BlockSet(d->statusBlock, &StatusBlock::reqBits, 24);
  ASSERT_EQ(ASIOTrue, d->init(nullptr));
  EXPECT_EQ(50000, d->bufferDuration);
  EXPECT_EQ(24, d->bitsPerSample);
  EXPECT_EQ(50, BlockGet(d->statusBlock, &StatusBlock::runBuffer));
  EXPECT_EQ(24, BlockGet(d->statusBlock, &StatusBlock::runBits));
  Destroy(d);
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", 0, KEY_READ, &key));
  DWORD value = 0, size = 4;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "BufferSize", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
  EXPECT_EQ(50u, value);
  RegCloseKey(key);
}

}  // namespace
