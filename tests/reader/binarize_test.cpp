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

TEST(BinarizeTest, MatchesTheDirectWindowMean) {
  std::mt19937 rng(20240611);
  // 1400 wide: past the prefix buffer, the window sum is carried along the row.
  const int sizes[][2] = {{1, 1}, {37, 53}, {300, 17}, {129, 2}, {5, 260}, {1400, 3}};
  for (const auto& s : sizes) {
    const int w = s[0], h = s[1], a = BinarizeWindowLog2(w), b = BinarizeWindowLog2(h);
    std::vector<uint8_t> g(size_t(w) * h), out(g.size(), 77);
    std::vector<uint32_t> sums(static_cast<size_t>(w));
    // Blocks of two levels with noise reaching across the mean, so both
    // colours occur everywhere and some pixels sit at the threshold.
    for (size_t i = 0; i < g.size(); ++i) g[i] = uint8_t((((i % w) / 7 + i / w / 5) % 2 ? 180 : 60) + int(rng() % 121) - 60);
    Binarize(g.data(), w, h, out.data(), sums.data());
    // Dark when (g + 3) times the window area is below the window sum, the
    // window clamped to the image edges pixel by pixel.
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint64_t sum = 0;
        for (int yy = y - (1 << (b - 1)); yy < y + (1 << (b - 1)); ++yy)
          for (int xx = x - (1 << (a - 1)); xx < x + (1 << (a - 1)); ++xx)
            sum += g[size_t(std::clamp(yy, 0, h - 1)) * w + std::clamp(xx, 0, w - 1)];
        const int want = (uint64_t(g[size_t(y) * w + x] + 3) << (a + b)) < sum ? 255 : 0;
        ASSERT_EQ(want, out[size_t(y) * w + x]) << x << "," << y << " of " << w << "x" << h;
      }
    }
  }
}

// Bands made on demand, in any order and some after an inversion, hold what
// the whole binarisation holds: a band right below the last one made goes on
// with its column sums, any other starts them afresh (so does one after
// another user of the sums).
TEST(BinarizeTest, LazyBandsMatchTheWholeBinarisation) {
  std::mt19937 rng(3);
  for (const auto& size : {std::pair{300, 257}, std::pair{37, 1024}, std::pair{5, 3}}) {
    const int w = size.first, h = size.second;
    std::vector<uint8_t> g(size_t(w) * h), whole(g.size()), made(g.size(), 7);
    for (uint8_t& v : g) v = uint8_t(rng());
    std::vector<uint32_t> sums(static_cast<size_t>(w));
    Binarize(g.data(), w, h, whole.data(), sums.data());
    LazyBinary lazy;
    LazyBinaryInit(&lazy, g.data(), w, h, made.data(), sums.data());
    std::vector<int> order;
    for (int b = 0; b * kLazyBandRows < h; ++b) order.push_back(b);
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t k = 0; k < order.size(); ++k) {
      if (k == order.size() / 2) {
        LazyBinaryInvert(&lazy);
        lazy.nextRow = -1;
        std::fill(sums.begin(), sums.end(), 12345u);
      }
      // A row of the band, then one of the band below.
      LazyBinaryEnsure(&lazy, order[k] * kLazyBandRows + 1, order[k] * kLazyBandRows + 2);
      LazyBinaryEnsure(&lazy, (order[k] + 1) * kLazyBandRows, (order[k] + 1) * kLazyBandRows + 1);
    }
    LazyBinaryInvert(&lazy);
    EXPECT_EQ(whole, made) << w << "x" << h;
  }
}

// The box binariser against a direct mean over the clipped window, plain,
// inverted and from the smoothed copy; nothing outside the box is written.
TEST(BinarizeTest, BoxMatchesTheDirectLocalMean) {
  const int w = 41, h = 23, x0 = 3, x1 = 41, y0 = 0, y1 = 20;
  std::mt19937 rng(9);
  std::vector<uint8_t> g(size_t(w) * h);
  for (uint8_t& v : g) v = uint8_t(rng());
  auto at = [&](int x, int y) { return int(g[size_t(std::clamp(y, 0, h - 1)) * w + std::clamp(x, 0, w - 1)]); };
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

// Boxes of known histograms: the first call thresholds at the median, later
// ones lower, each leaving dark exactly the box pixels below its threshold and
// nothing outside touched, until the threshold cannot move (-1, the box kept).
// Every grey level 4 times in 64 x 16: budget 512 >> 6 = 8, so steps of three
// levels (12 > 8) while the counts below the threshold (the stopping level
// twice) reach 1024 / 32: 7 -> 4 still moves (12 + 20), from 4 only 12 + 8.
// 1000 pixels at 50, 10 at 120, 1086 at 150, 2000 at 220 in 64 x 64: the
// budget (2048 >> 6 = 32) alone would walk from 150 to 50, the 20-level rule
// stops at 120 first; nothing below 50 is left to keep dark.
TEST(RethresholdTest, FirstAtTheMedianThenLowerUntilItCannotMove) {
  std::vector<int> steps;
  for (int t = 127; t >= 4; t -= 3) steps.push_back(t);
  const struct {
    int h;
    uint8_t (*level)(int);
    std::vector<int> thresholds;
  } rows[] = {
      {16, [](int i) { return uint8_t(i / 4); }, steps},
      {64, [](int i) { return uint8_t(i < 1000 ? 50 : i < 1010 ? 120 : i < 2096 ? 150 : 220); }, {150, 120, 50}},
  };
  for (const auto& r : rows) {
    const int w = 80, h = r.h + 10;
    std::vector<uint8_t> grey(size_t(w) * h, 7), binary(grey.size(), 100);
    for (int i = 0; i < 64 * r.h; ++i) grey[size_t(5 + i / 64) * w + 10 + i % 64] = r.level(i);
    RethresholdState st;
    RethresholdInit(&st, 10, 74, 5, 5 + r.h);
    for (size_t k = 0; k <= r.thresholds.size(); ++k) {
      const bool stuck = k == r.thresholds.size();
      ASSERT_EQ(stuck ? -1 : 0, Rethreshold(grey.data(), w, h, binary.data(), &st)) << k;
      EXPECT_EQ(r.thresholds[stuck ? k - 1 : k], st.threshold);
      EXPECT_EQ(r.thresholds[0], st.firstThreshold);
      int wrong = 0;
      for (size_t at = 0; at < grey.size(); ++at) {
        const bool in = int(at % w) >= 10 && int(at % w) < 74 && int(at / w) >= 5 && int(at / w) < 5 + r.h;
        wrong += binary[at] != (!in ? 100 : grey[at] < st.threshold ? 255 : 0);
      }
      EXPECT_EQ(0, wrong) << k;
    }
  }
}

TEST(RethresholdTest, BoxIsClampedAndEmptyBoxesRefused) {
  std::vector<uint8_t> grey(100, 50), binary(100, 1);
  RethresholdState st;
  RethresholdInit(&st, 5, 5, 0, 10);
  EXPECT_EQ(-1, Rethreshold(grey.data(), 10, 10, binary.data(), &st));
  RethresholdInit(&st, -20, 40, 8, 99);  // clamped to x 0..10, y 8..10
  EXPECT_EQ(0, Rethreshold(grey.data(), 10, 10, binary.data(), &st));
  EXPECT_EQ(std::vector<uint8_t>({1, 0, 0}), std::vector<uint8_t>({binary[79], binary[80], binary[99]}));
}

}  // namespace
}  // namespace qrread
