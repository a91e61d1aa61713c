// Edge scanner and width decoder: the finder-line test and FinderLine records.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "geom_render.h"
#include "reader/edge_scanner.h"
#include "reader/width_decoder.h"

namespace qrread {
namespace {

constexpr uint8_t kLight = 230;
constexpr uint8_t kDark = 20;

// Pushes the widths in order; returns what the last push returned.
int PushAll(WidthDecoder* d, const std::vector<uint32_t>& widths) {
  int hit = 0;
  for (uint32_t w : widths) hit = WidthDecoderPush(d, w);
  return hit;
}

// Widths oldest first (a light lead-in, then dark, light, ...), and what the
// newest push returns: 1 a dark-led pattern, 2 a light-led one.
TEST(FinderLineTest, RatiosScalesAndEndings) {
  const struct {
    std::vector<uint32_t> widths;
    int hit;
  } rows[] = {
      {{320, 32, 32, 32, 32, 32, 64}, 0},       // 1:1:1:1:1
      {{320, 32, 32, 160, 32, 32, 64}, 0},      // 1:1:5:1:1
      {{320, 64, 32, 32, 96, 32, 32}, 0},       // shifted: ends on a dark element
      {{0, 320, 32, 32, 96, 32, 32, 64}, 2},    // light on dark
      {{0, 1, 1, 2, 1, 1, 2}, 0},               // sum below 7: never a pattern
      {{0, 2, 2, 4, 2, 2, 4}, 1},               // the same ratios, larger
      {{1000, 48, 16, 128, 16, 48, 64}, 1},     // dark grown by a quarter module
      {{1000, 1280, 1280, 3840, 1280, 1280, 1600}, 1},
  };
  for (const auto& r : rows) {
    WidthDecoder d{};
    EXPECT_EQ(r.hit, PushAll(&d, r.widths)) << r.widths[1] << " " << r.widths[3];
  }
  WidthDecoder d{};
  PushAll(&d, {320, 32, 32, 96, 32});
  WidthDecoderReset(&d);
  EXPECT_EQ(0, PushAll(&d, {32, 64}));  // would complete the pattern without the reset
}

// A 1:1:3:1:1 pattern of `module` pixels after `lead` light pixels, its first
// dark module `extra` pixels wider.
std::vector<uint8_t> FinderRow(int module, int lead, int trail, int extra) {
  std::vector<uint8_t> px(static_cast<size_t>(lead), kLight);
  const int pattern[5] = {1, 1, 3, 1, 1};
  for (int k = 0; k < 5; ++k) {
    px.insert(px.end(), pattern[k] * module + (k == 0 ? extra : 0), k % 2 ? kLight : kDark);
  }
  px.insert(px.end(), static_cast<size_t>(trail), kLight);
  return px;
}

// From the start of the centre run, 1.5 modules to the outer centres; at one
// pixel per module the position is within a quarter pixel either way. Row 0
// is scanned forwards, row 1 backwards. From 4 pixels per module the first
// outer module is a pixel wider, so that the two offsets differ: both lines
// give them in image order, the backward one swapping its own.
TEST(ScanLineTest, FinderFoundAtItsCentreRunInBothDirections) {
  for (int m = 1; m <= 8; ++m) {
    const int extra = m >= 4 ? 1 : 0;
    const int lead = 7 + m + extra;
    const std::vector<uint8_t> px = FinderRow(m, lead - extra, 9 + 2 * m, extra);
    geomtest::Grey g(int(px.size()), 2);
    std::copy(px.begin(), px.end(), g.px.begin());
    std::copy(px.begin(), px.end(), g.px.begin() + px.size());
    const geomtest::PlainScan scan(g);
    ASSERT_EQ(2, scan.sink.count[0]) << m;
    const FinderLine& f = scan.lines[0][0];
    const FinderLine& b = scan.lines[0][1];
    EXPECT_NEAR(f.pos[0], (lead + 2 * m) * 4, m == 1 ? 1 : 0) << m;
    EXPECT_NEAR(b.pos[0], (lead + 2 * m) * 4, m == 1 ? 1 : 0) << m;
    EXPECT_EQ(f.pos[1] + 4, b.pos[1]);
    if (m > 1) {
      EXPECT_EQ(std::tie(f.len, f.boffs, f.eoffs), std::make_tuple(12 * m, 6 * m + 2 * extra, 6 * m)) << m;
      EXPECT_EQ(std::tie(f.pos[0], f.len, f.boffs, f.eoffs), std::tie(b.pos[0], b.len, b.boffs, b.eoffs)) << m;
    }
  }
}

}  // namespace
}  // namespace qrread
