// The binariser against a direct window mean, and box re-thresholding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "reader/binarize.h"

namespace qrread {
namespace {

TEST(BinarizeTest, WindowSideFollowsTheImageExtent) {
  const int rows[][2] = {{1, 4},    {128, 4},  {129, 5},  {256, 5},     {257, 6},
                         {1024, 7}, {1025, 8}, {1280, 8}, {100000, 8}};
  for (const auto& r : rows) EXPECT_EQ(r[1], BinarizeWindowLog2(r[0])) << r[0];
}

// Dark when (g + 3) times the window area is below the window sum, the
// window clamped to the image edges pixel by pixel.
std::vector<uint8_t> DirectMean(const std::vector<uint8_t>& g, int w, int h) {
  const int a = BinarizeWindowLog2(w), b = BinarizeWindowLog2(h);
  const int ha = 1 << (a - 1), hb = 1 << (b - 1);
  std::vector<uint8_t> out(g.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint64_t sum = 0;
      for (int yy = y - hb; yy < y + hb; ++yy) {
        const int cy = yy < 0 ? 0 : (yy >= h ? h - 1 : yy);
        for (int xx = x - ha; xx < x + ha; ++xx) {
          const int cx = xx < 0 ? 0 : (xx >= w ? w - 1 : xx);
          sum += g[size_t(cy) * w + cx];
        }
      }
      const uint64_t lhs = uint64_t(g[size_t(y) * w + x] + 3) << (a + b);
      out[size_t(y) * w + x] = lhs < sum ? 255 : 0;
    }
  }
  return out;
}

TEST(BinarizeTest, MatchesTheDirectWindowMean) {
  std::mt19937 rng(20240611);
  const int sizes[][2] = {{1, 1}, {37, 53}, {300, 17}, {129, 2}, {5, 260}};
  for (const auto& s : sizes) {
    const int w = s[0], h = s[1];
    std::vector<uint8_t> g(size_t(w) * h);
    // Blocks of two levels with noise, so both colours occur everywhere.
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        g[size_t(y) * w + x] =
            uint8_t(((x / 7 + y / 5) % 2 ? 180 : 60) + int(rng() % 41) - 20);
    std::vector<uint8_t> out(g.size(), 77);
    std::vector<uint32_t> sums(static_cast<size_t>(w));
    Binarize(g.data(), w, h, out.data(), sums.data());
    EXPECT_EQ(DirectMean(g, w, h), out) << w << "x" << h;
  }
}

TEST(BinarizeTest, EmptyImageWritesNothing) {
  uint8_t grey[4] = {0, 0, 0, 0}, out[4] = {9, 9, 9, 9};
  uint32_t sums[4];
  Binarize(grey, 0, 4, out, sums);
  Binarize(grey, 4, 0, out, sums);
  for (uint8_t v : out) EXPECT_EQ(9, v);
}

// The box binariser against a direct mean over the clipped window, plain,
// inverted and from the smoothed copy; nothing outside the box is written.
TEST(BinarizeTest, BoxMatchesTheDirectLocalMean) {
  const int w = 41, h = 23, x0 = 3, x1 = 41, y0 = 0, y1 = 20;
  std::mt19937 rng(9);
  std::vector<uint8_t> g(size_t(w) * h);
  for (uint8_t& v : g) v = uint8_t(rng());
  auto at = [&](int x, int y) {
    return int(g[size_t(y < 0 ? 0 : y >= h ? h - 1 : y) * w + (x < 0 ? 0 : x >= w ? w - 1 : x)]);
  };
  for (int row = 0; row < 6; ++row) {
    const int half = 1 + row % 3 * 3;
    const uint8_t invert = row % 2 ? 255 : 0;
    const bool smooth = row >= 3;
    std::vector<uint8_t> out(g.size(), 7);
    std::vector<uint32_t> sums(size_t(w), 0);
    BinarizeBox(g.data(), w, h, out.data(), x0, x1, y0, y1, half, invert, sums.data(), smooth);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        int want = 7;
        if (x >= x0 && x < x1 && y >= y0 && y < y1) {
          uint32_t sum = 0, count = 0;
          for (int yy = std::max(0, y - half); yy <= std::min(h - 1, y + half); ++yy)
            for (int xx = std::max(0, x - half); xx <= std::min(w - 1, x + half); ++xx, ++count)
              sum += at(xx, yy) ^ invert;
          const int v = smooth ? (4 * at(x, y) + at(x - 1, y) + at(x + 1, y) + at(x, y - 1) +
                                  at(x, y + 1) + 4) >> 3
                               : at(x, y);
          want = uint32_t((v ^ invert) + 3) * count < sum ? 255 : 0;
        }
        ASSERT_EQ(want, out[size_t(y) * w + x]) << x << "," << y << " row " << row;
      }
    }
  }
}

// A 64 x 16 box inside a larger picture holding every grey level 4 times.
struct Box {
  static constexpr int kW = 80, kH = 30;
  std::vector<uint8_t> grey = std::vector<uint8_t>(kW * kH, 7);
  std::vector<uint8_t> binary = std::vector<uint8_t>(kW * kH, 100);
  Box() {
    for (int i = 0; i < 64 * 16; ++i) grey[size_t(5 + i / 64) * kW + 10 + i % 64] = uint8_t(i / 4);
  }
  int Dark() const {
    int n = 0;
    for (int y = 5; y < 21; ++y)
      for (int x = 10; x < 74; ++x) n += binary[size_t(y) * kW + x] == 255;
    return n;
  }
  bool OutsideUntouched() const {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if ((y < 5 || y >= 21 || x < 10 || x >= 74) && binary[size_t(y) * kW + x] != 100)
          return false;
    return true;
  }
};

TEST(RethresholdTest, FirstAtTheMedianThenLowerUntilItCannotMove) {
  Box box;
  RethresholdState st;
  RethresholdInit(&st, 10, 74, 5, 21);
  ASSERT_EQ(0, Rethreshold(box.grey.data(), Box::kW, Box::kH, box.binary.data(), &st));
  EXPECT_EQ(127, st.threshold);  // cumulative count reaches 512 at level 127
  EXPECT_EQ(127, st.firstThreshold);
  EXPECT_EQ(127 * 4, box.Dark());
  EXPECT_TRUE(box.OutsideUntouched());
  // Budget 512 >> 6 = 8: the walk stops after three levels (12 > 8).
  ASSERT_EQ(0, Rethreshold(box.grey.data(), Box::kW, Box::kH, box.binary.data(), &st));
  EXPECT_EQ(124, st.threshold);
  EXPECT_EQ(124 * 4, box.Dark());
  int previous = box.Dark(), calls = 0;
  while (Rethreshold(box.grey.data(), Box::kW, Box::kH, box.binary.data(), &st) == 0) {
    EXPECT_LT(box.Dark(), previous);
    previous = box.Dark();
    ASSERT_LT(++calls, 100);
  }
  // Steps of three levels while the counts below the threshold (the stopping
  // level twice) reach 1024 / 32: 7 -> 4 still moves (12 + 20 = 32), from 4
  // the sum is 12 + 8 = 20 and the box keeps its last state.
  EXPECT_EQ(4, st.threshold);
  EXPECT_EQ(16, box.Dark());
  EXPECT_TRUE(box.OutsideUntouched());
}

TEST(RethresholdTest, StepStopsMoreThanTwentyLevelsDown) {
  // 4096 pixels: 1000 at 50, 10 at 120, 1086 at 150, 2000 at 220. Median 150;
  // the budget (2048 >> 6 = 32) alone would walk down to 50, the 20-level
  // rule stops at 120 first.
  std::vector<uint8_t> grey(4096), binary(4096, 0);
  for (int i = 0; i < 4096; ++i)
    grey[i] = i < 1000 ? 50 : i < 1010 ? 120 : i < 2096 ? 150 : 220;
  auto dark = [&] {
    int n = 0;
    for (uint8_t v : binary) n += v == 255;
    return n;
  };
  RethresholdState st;
  RethresholdInit(&st, 0, 64, 0, 64);
  ASSERT_EQ(0, Rethreshold(grey.data(), 64, 64, binary.data(), &st));
  EXPECT_EQ(150, st.threshold);
  EXPECT_EQ(1010, dark());
  ASSERT_EQ(0, Rethreshold(grey.data(), 64, 64, binary.data(), &st));
  EXPECT_EQ(120, st.threshold);
  EXPECT_EQ(1000, dark());
  ASSERT_EQ(0, Rethreshold(grey.data(), 64, 64, binary.data(), &st));
  EXPECT_EQ(50, st.threshold);
  EXPECT_EQ(0, dark());
  // Nothing below 50 is left to keep dark: the threshold cannot move.
  EXPECT_EQ(-1, Rethreshold(grey.data(), 64, 64, binary.data(), &st));
  EXPECT_EQ(50, st.threshold);
}

TEST(RethresholdTest, BoxIsClampedAndEmptyBoxesRefused) {
  std::vector<uint8_t> grey(100, 50), binary(100, 1);
  RethresholdState st;
  RethresholdInit(&st, 5, 5, 0, 10);
  EXPECT_EQ(-1, Rethreshold(grey.data(), 10, 10, binary.data(), &st));
  RethresholdInit(&st, -20, 40, 8, 99);  // clamped to x 0..10, y 8..10
  EXPECT_EQ(0, Rethreshold(grey.data(), 10, 10, binary.data(), &st));
  EXPECT_EQ(1, binary[79]);
  EXPECT_EQ(0, binary[80]);
  EXPECT_EQ(0, binary[99]);
}

}  // namespace
}  // namespace qrread
