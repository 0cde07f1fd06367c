#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SampleCopy.h"

namespace {

// Host halves of one channel whose samples carry the given marker bytes in their top byte,
// and distinct low bytes so misplaced bytes show.
std::vector<BYTE> MarkedHalf(size_t sampleSize, const std::vector<BYTE>& markers) {
  std::vector<BYTE> half(markers.size() * sampleSize);
  for (size_t i = 0; i < markers.size(); ++i) {
    for (size_t b = 0; b + 1 < sampleSize; ++b) half[i * sampleSize + b] = (BYTE)(i * 7 + b + 1);
    half[i * sampleSize + sampleSize - 1] = markers[i];
  }
  return half;
}

TEST(SampleCopy, InterleavesAndDeinterleavesEveryWidthBitForBit) {
  for (size_t sampleSize : {2u, 3u, 4u}) {
    for (size_t channels : {1u, 2u, 3u}) {
      const size_t frames = 37;
      const size_t stride = sampleSize * channels;
      std::vector<std::vector<BYTE>> host(channels, std::vector<BYTE>(frames * sampleSize));
      for (size_t c = 0; c < channels; ++c)
        for (size_t i = 0; i < host[c].size(); ++i) host[c][i] = (BYTE)(c * 101 + i * 13 + 5);
      std::vector<BYTE> packet(frames * stride, 0xEE);
      for (size_t c = 0; c < channels; ++c)
        InterleaveChannel(packet.data() + c * sampleSize, stride, host[c].data(), sampleSize, frames);
      for (size_t f = 0; f < frames; ++f)
        for (size_t c = 0; c < channels; ++c)
          for (size_t b = 0; b < sampleSize; ++b)
            ASSERT_EQ(host[c][f * sampleSize + b], packet[f * stride + c * sampleSize + b]) << sampleSize << " " << c;
      for (size_t c = 0; c < channels; ++c) {
        std::vector<BYTE> back(frames * sampleSize + 4, 0xCC);
        DeinterleaveChannel(back.data(), packet.data() + c * sampleSize, stride, sampleSize, frames);
        EXPECT_TRUE(std::equal(host[c].begin(), host[c].end(), back.begin()));
        EXPECT_EQ(0xCC, back[frames * sampleSize]);  // nothing written past the half
      }
    }
  }
}

// The stereo copies run on wide permutes, on byte shuffles or portably, by what the processor
// has; each path must equal two single-channel passes, whatever the count (whole blocks, a
// tail, or no block at all).
class StereoCopy : public ::testing::TestWithParam<CopyPath> {
 protected:
  void SetUp() override {
    if (UseCopies(GetParam()) != GetParam()) GTEST_SKIP() << "this processor cannot run this path";
  }
  void TearDown() override { UseCopies(kWideCopies); }
};

TEST_P(StereoCopy, PassesEqualTwoChannelPasses) {
  for (size_t sampleSize : {2u, 3u, 4u}) {
    for (size_t frames : {1u, 7u, 8u, 16u, 31u, 32u, 33u, 63u, 64u, 65u, 96u, 882u, 4099u}) {
      std::vector<BYTE> left(frames * sampleSize), right(frames * sampleSize);
      for (size_t i = 0; i < left.size(); ++i) {
        left[i] = (BYTE)(i * 31 + 7);
        right[i] = (BYTE)(i * 17 + 200 + i / 256);
      }
      const size_t stride = 2 * sampleSize;
      std::vector<BYTE> expected(frames * stride + 8, 0x55), actual(frames * stride + 8, 0x55);
      InterleaveChannel(expected.data(), stride, left.data(), sampleSize, frames);
      InterleaveChannel(expected.data() + sampleSize, stride, right.data(), sampleSize, frames);
      InterleaveStereo(actual.data(), left.data(), right.data(), sampleSize, frames);
      ASSERT_EQ(expected, actual) << sampleSize << " bytes, " << frames << " frames";
      std::vector<BYTE> l(left.size() + 4, 0x11), r(right.size() + 4, 0x11);
      DeinterleaveStereo(l.data(), r.data(), actual.data(), sampleSize, frames);
      EXPECT_TRUE(std::equal(left.begin(), left.end(), l.begin())) << sampleSize << " " << frames;
      EXPECT_TRUE(std::equal(right.begin(), right.end(), r.begin())) << sampleSize << " " << frames;
      EXPECT_EQ(0x11, l[left.size()]);
      EXPECT_EQ(0x11, r[right.size()]);
    }
  }
}

// The stereo DoP check decides each channel on its own, wherever in the half (in a whole
// block or in the tail) a marker is wrong, and copies every sample either way.
TEST_P(StereoCopy, DopCheckFindsAWrongMarkerAnywhereInEitherChannel) {
  struct Pattern {
    const char* what;
    BYTE first;
    int shift;  // -1: 0xAA throughout
  };
  const Pattern patterns[] = {{"per sample", 0x05, 0}, {"in pairs", 0xFA, 1}, {"AA", 0xAA, -1}};
  auto marker = [](const Pattern& p, size_t i) -> BYTE {
    if (p.shift < 0) return 0xAA;
    return ((i >> p.shift) & 1) ? (BYTE)(0xFF - p.first) : p.first;
  };
  for (size_t sampleSize : {3u, 4u}) {
    for (size_t frames : {2u, 5u, 64u, 97u, 882u, 4099u}) {
      for (const Pattern& pl : patterns) {
        for (const Pattern& pr : patterns) {
          std::vector<BYTE> left(frames * sampleSize), right(frames * sampleSize);
          for (size_t i = 0; i < frames; ++i) {
            for (size_t b = 0; b + 1 < sampleSize; ++b) {
              left[i * sampleSize + b] = (BYTE)(i * 7 + b);
              right[i * sampleSize + b] = (BYTE)(i * 11 + b + 3);
            }
            left[i * sampleSize + sampleSize - 1] = marker(pl, i);
            right[i * sampleSize + sampleSize - 1] = marker(pr, i);
          }
          // Wrong markers at the second sample, in the middle, in the last whole block and at the end.
          std::vector<size_t> wrongAt = {1, frames / 2, frames - frames % 64 - 1, frames - 1};
          for (int spoil = -1; spoil < (int)(2 * wrongAt.size()); ++spoil) {
            std::vector<BYTE> l = left, r = right;
            if (spoil >= 0) {
              std::vector<BYTE>& half = spoil % 2 ? r : l;
              size_t at = wrongAt[spoil / 2] % frames;
              if (at == 0) continue;
              half[at * sampleSize + sampleSize - 1] ^= 0x40;
            }
            SCOPED_TRACE(std::string(pl.what) + "/" + pr.what + ", " + std::to_string(sampleSize) + " bytes, " +
                         std::to_string(frames) + " frames, spoiled " + std::to_string(spoil));
            const size_t stride = 2 * sampleSize;
            std::vector<BYTE> expected(frames * stride), actual(frames * stride);
            InterleaveChannel(expected.data(), stride, l.data(), sampleSize, frames);
            InterleaveChannel(expected.data() + sampleSize, stride, r.data(), sampleSize, frames);
            bool marked[2] = {false, false};
            InterleaveStereoScanningDop(actual.data(), l.data(), r.data(), sampleSize, frames, marked);
            ASSERT_EQ(expected, actual);
            EXPECT_EQ(HalfCarriesDop(l.data(), sampleSize, frames), marked[0]);
            EXPECT_EQ(HalfCarriesDop(r.data(), sampleSize, frames), marked[1]);
            EXPECT_EQ(spoil < 0 || spoil % 2 == 1, marked[0]);
            EXPECT_EQ(spoil < 0 || spoil % 2 == 0, marked[1]);
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, StereoCopy, ::testing::Values(kWideCopies, kShuffleCopies, kPortableCopies),
                         [](const ::testing::TestParamInfo<CopyPath>& info) {
                           return info.param == kWideCopies ? "Wide" : info.param == kShuffleCopies ? "Shuffle" : "Portable";
                         });

TEST(SampleCopy, DopMarkersAreRecognisedAndEverySampleIsCopied) {
  struct Case {
    const char* what;
    std::vector<BYTE> markers;
    bool marked;
  };
  const Case cases[] = {
      {"alternating per sample", {0x05, 0xFA, 0x05, 0xFA, 0x05, 0xFA}, true},
      {"alternating per sample from FA", {0xFA, 0x05, 0xFA, 0x05}, true},
      {"alternating in pairs", {0x05, 0x05, 0xFA, 0xFA, 0x05, 0x05, 0xFA, 0xFA}, true},
      {"AA throughout", {0xAA, 0xAA, 0xAA, 0xAA, 0xAA}, true},
      {"one wrong marker late", {0x05, 0xFA, 0x05, 0xFA, 0x05, 0x05}, false},
      {"not markers", {0x12, 0x34, 0x56, 0x78}, false},
      {"markers that do not alternate", {0x05, 0xFA, 0xFA, 0x05}, false},
      {"AA then a marker", {0xAA, 0xAA, 0x05, 0xFA}, false},
      {"a single frame", {0x05}, false},
  };
  for (size_t sampleSize : {3u, 4u}) {
    for (const Case& c : cases) {
      std::vector<BYTE> half = MarkedHalf(sampleSize, c.markers);
      const size_t stride = sampleSize * 2;
      std::vector<BYTE> packet(c.markers.size() * stride, 0);
      EXPECT_EQ(c.marked, InterleaveChannelScanningDop(packet.data(), stride, half.data(), sampleSize, c.markers.size()))
          << c.what << " (" << sampleSize << " bytes)";
      EXPECT_EQ(c.marked, HalfCarriesDop(half.data(), sampleSize, c.markers.size())) << c.what;
      for (size_t f = 0; f < c.markers.size(); ++f)
        for (size_t b = 0; b < sampleSize; ++b) ASSERT_EQ(half[f * sampleSize + b], packet[f * stride + b]) << c.what;
    }
  }
}

}  // namespace
