// The window outline cut from a mask: every pixel that is not pure white is inside.
#include <gtest/gtest.h>

#include <testsupport.h>

#include "SkinTestSupport.h"

using skintest::MakeBitmap;
using skintest::RegionRects;
using skintest::Rgb;

namespace {

const Rgb kWhite{255, 255, 255};
const Rgb kBlack{0, 0, 0};

class RegionTest : public ::testing::Test {
 protected:
  velno::testing::TempMachine machine_;

  // The region of a mask made from pixels.
  HRGN RegionOf(int w, int h, const std::function<Rgb(int, int)>& pixel, int bpp = 24, BYTE alpha = 0) {
    CBitmap mask;
    mask.Attach(MakeBitmap(w, h, pixel, bpp, alpha));
    EXPECT_NE(mask.GetSafeHandle(), nullptr);
    return CSkinDialog::CreateRegionFromBitmap(&mask);
  }
};

TEST_F(RegionTest, ShippedMaskGivesRoundedWindowMatchingEveryPixel) {
  CBitmap mask;
  ASSERT_TRUE(mask.LoadBitmap(IDB_SKIN_MASK));
  int w = 0, h = 0;
  std::vector<Rgb> pixels = skintest::BitmapPixels(mask, &w, &h);
  ASSERT_EQ(w, 299);
  ASSERT_EQ(h, 640);
  HRGN hRgn = CSkinDialog::CreateRegionFromBitmap(&mask);
  ASSERT_NE(hRgn, nullptr);

  // Rounded: the four corners are outside, the middle of every edge inside.
  for (POINT p : {POINT{0, 0}, POINT{298, 0}, POINT{0, 639}, POINT{298, 639}}) EXPECT_FALSE(PtInRegion(hRgn, p.x, p.y));
  for (POINT p : {POINT{149, 0}, POINT{0, 320}, POINT{298, 320}, POINT{149, 639}}) EXPECT_TRUE(PtInRegion(hRgn, p.x, p.y));
  RECT box;
  EXPECT_EQ(GetRgnBox(hRgn, &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 299);
  EXPECT_EQ(box.bottom, 640);

  int mismatches = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((bool)PtInRegion(hRgn, x, y) == (pixels[(size_t)y * w + x] == kWhite)) ++mismatches;
  EXPECT_EQ(mismatches, 0);
  DeleteObject(hRgn);
}

TEST_F(RegionTest, NearWhiteIsInside) {
  HRGN hRgn = RegionOf(5, 3, [](int x, int y) { return x == 2 && y == 1 ? Rgb{255, 255, 254} : kWhite; });
  ASSERT_NE(hRgn, nullptr);
  std::vector<RECT> rects = RegionRects(hRgn);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].left, 2);
  EXPECT_EQ(rects[0].top, 1);
  EXPECT_EQ(rects[0].right, 3);
  EXPECT_EQ(rects[0].bottom, 2);
  DeleteObject(hRgn);
}

TEST_F(RegionTest, FourthByteOfA32BitMaskIsIgnored) {
  // White with any alpha is outside; black with alpha 0 is inside.
  HRGN hRgn = RegionOf(4, 1, [](int x, int) { return x < 2 ? kWhite : kBlack; }, 32, 0x7F);
  ASSERT_NE(hRgn, nullptr);
  EXPECT_FALSE(PtInRegion(hRgn, 1, 0));
  EXPECT_TRUE(PtInRegion(hRgn, 2, 0));
  EXPECT_TRUE(PtInRegion(hRgn, 3, 0));
  DeleteObject(hRgn);
}

TEST_F(RegionTest, AllWhiteMaskGivesEmptyRegion) {
  HRGN hRgn = RegionOf(40, 30, [](int, int) { return kWhite; });
  ASSERT_NE(hRgn, nullptr);
  RECT box;
  EXPECT_EQ(GetRgnBox(hRgn, &box), NULLREGION);
  EXPECT_TRUE(RegionRects(hRgn).empty());
  DeleteObject(hRgn);
}

TEST_F(RegionTest, RunsSplitBySingleWhitePixelsStaySeparate) {
  // One row: XX.XXX.X.
  const char* row = "XX.XXX.X.";
  HRGN hRgn = RegionOf(9, 1, [&](int x, int) { return row[x] == 'X' ? kBlack : kWhite; });
  ASSERT_NE(hRgn, nullptr);
  std::vector<RECT> rects = RegionRects(hRgn);
  ASSERT_EQ(rects.size(), 3u);
  const int expected[3][2] = {{0, 2}, {3, 6}, {7, 8}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rects[i].left, expected[i][0]) << i;
    EXPECT_EQ(rects[i].right, expected[i][1]) << i;
    EXPECT_EQ(rects[i].top, 0);
    EXPECT_EQ(rects[i].bottom, 1);
  }
  EXPECT_FALSE(PtInRegion(hRgn, 2, 0));
  EXPECT_FALSE(PtInRegion(hRgn, 6, 0));
  DeleteObject(hRgn);
}

// Masks of many runs are built in blocks of 2000 rectangles; the result must be the region
// that one call with every rectangle gives.
TEST_F(RegionTest, ManyRunsGiveTheSameRegionAsOneCall) {
  struct Case {
    int runsPerRow, rows;
  };
  for (Case c : {Case{100, 19}, Case{100, 20}, Case{2001, 1}, Case{150, 30}, Case{97, 47}}) {
    SCOPED_TRACE(std::to_string(c.runsPerRow) + " runs x " + std::to_string(c.rows) + " rows");
    // Runs of varying length, each ended by one white pixel; odd rows shifted by one.
    auto runLength = [](int i, int y) { return 1 + (i + y) % 3; };
    std::vector<std::vector<int>> starts(c.rows);
    int width = 0;
    for (int y = 0; y < c.rows; ++y) {
      int x = y % 2;
      for (int i = 0; i < c.runsPerRow; ++i) {
        starts[y].push_back(x);
        x += runLength(i, y) + 1;
      }
      width = std::max(width, x);
    }
    std::vector<std::vector<bool>> inside(c.rows, std::vector<bool>(width, false));
    std::vector<RECT> all;
    for (int y = 0; y < c.rows; ++y)
      for (int i = 0; i < c.runsPerRow; ++i) {
        int x0 = starts[y][i], x1 = x0 + runLength(i, y);
        for (int x = x0; x < x1; ++x) inside[y][x] = true;
        all.push_back(RECT{x0, y, x1, y + 1});
      }
    HRGN hRgn = RegionOf(width, c.rows, [&](int x, int y) { return inside[y][x] ? kBlack : kWhite; });
    ASSERT_NE(hRgn, nullptr);

    std::vector<BYTE> block(sizeof(RGNDATAHEADER) + sizeof(RECT) * all.size());
    RGNDATA* data = (RGNDATA*)block.data();
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = (DWORD)all.size();
    data->rdh.nRgnSize = 0;
    SetRect(&data->rdh.rcBound, 0, 0, width, c.rows);
    memcpy(data->Buffer, all.data(), sizeof(RECT) * all.size());
    HRGN hExpected = ExtCreateRegion(NULL, (DWORD)block.size(), data);
    ASSERT_NE(hExpected, nullptr);
    EXPECT_TRUE(EqualRgn(hRgn, hExpected));
    EXPECT_EQ(RegionRects(hRgn).size(), all.size());
    DeleteObject(hExpected);
    DeleteObject(hRgn);
  }
}

TEST_F(RegionTest, NoBitmapGivesNoRegion) {
  CBitmap empty;
  EXPECT_EQ(CSkinDialog::CreateRegionFromBitmap(&empty), nullptr);
  EXPECT_EQ(CSkinDialog::CreateRegionFromBitmap(nullptr), nullptr);
}

}  // namespace
