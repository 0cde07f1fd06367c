#include <gtest/gtest.h>

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

TEST(SampleCopy, StereoPassesEqualTwoChannelPasses) {
  for (size_t sampleSize : {2u, 3u, 4u}) {
    for (size_t frames : {1u, 7u, 8u, 33u, 882u}) {
      std::vector<BYTE> left(frames * sampleSize), right(frames * sampleSize);
      for (size_t i = 0; i < left.size(); ++i) {
        left[i] = (BYTE)(i * 31 + 7);
        right[i] = (BYTE)(i * 17 + 200);
      }
      const size_t stride = 2 * sampleSize;
      std::vector<BYTE> expected(frames * stride + 8, 0x55), actual(frames * stride + 8, 0x55);
      InterleaveChannel(expected.data(), stride, left.data(), sampleSize, frames);
      InterleaveChannel(expected.data() + sampleSize, stride, right.data(), sampleSize, frames);
      InterleaveStereo(actual.data(), left.data(), right.data(), sampleSize, frames);
      EXPECT_EQ(expected, actual) << sampleSize << " bytes, " << frames << " frames";
      std::vector<BYTE> l(left.size() + 4, 0x11), r(right.size() + 4, 0x11);
      DeinterleaveStereo(l.data(), r.data(), actual.data(), sampleSize, frames);
      EXPECT_TRUE(std::equal(left.begin(), left.end(), l.begin())) << sampleSize << " " << frames;
      EXPECT_TRUE(std::equal(right.begin(), right.end(), r.begin())) << sampleSize << " " << frames;
      EXPECT_EQ(0x11, l[left.size()]);
      EXPECT_EQ(0x11, r[right.size()]);
    }
  }
}

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
