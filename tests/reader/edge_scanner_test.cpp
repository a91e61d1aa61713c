// Edge scanner and width decoder: the finder-line test and FinderLine records.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>
#include <vector>

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

// Scans one line of pixels through a scanner into a sink.
struct LineScan {
  FinderLine lines[2][16];
  ScanSink sink{};
  EdgeScanner scanner;

  LineScan() {
    sink.lines[0] = lines[0];
    sink.lines[1] = lines[1];
    sink.capacity = 16;
    EdgeScannerInit(&scanner, &sink);
    EdgeScannerNewLine(&scanner);
  }
  void Run(const std::vector<uint8_t>& px, bool backward, int vertical = 0, int index = 0, bool flush = true) {
    const int n = static_cast<int>(px.size());
    sink.vertical = vertical;
    sink.lineIndex = index;
    sink.lineStart = backward ? n : 0;
    sink.direction = backward ? -1 : 1;
    for (int i = 0; i < n; ++i) EdgeScannerPixel(&scanner, px[backward ? n - 1 - i : i]);
    for (int k = 0; k < 2 && flush; ++k) EdgeScannerFlush(&scanner);
  }
};

// A 1:1:3:1:1 pattern of `module` pixels after `lead` light pixels.
std::vector<uint8_t> FinderRow(int module, int lead, int trail) {
  std::vector<uint8_t> px(static_cast<size_t>(lead), kLight);
  const int pattern[5] = {1, 1, 3, 1, 1};
  for (int k = 0; k < 5; ++k) px.insert(px.end(), pattern[k] * module, k % 2 ? kLight : kDark);
  px.insert(px.end(), static_cast<size_t>(trail), kLight);
  return px;
}

// From the start of the centre run, 1.5 modules to the outer centres; at one
// pixel per module the position is within a quarter pixel either way.
TEST(ScanLineTest, FinderFoundAtItsCentreRunInBothDirections) {
  for (int m = 1; m <= 8; ++m) {
    const int lead = 7 + m;
    const std::vector<uint8_t> px = FinderRow(m, lead, 9 + 2 * m);
    LineScan fwd, bwd;
    fwd.Run(px, false);
    bwd.Run(px, true);
    ASSERT_EQ(1, fwd.sink.count[0]) << m;
    ASSERT_EQ(1, bwd.sink.count[0]) << m;
    const FinderLine& f = fwd.lines[0][0];
    const FinderLine& b = bwd.lines[0][0];
    EXPECT_NEAR(f.pos[0], (lead + 2 * m) * 4, m == 1 ? 1 : 0) << m;
    EXPECT_NEAR(b.pos[0], (lead + 2 * m) * 4, m == 1 ? 1 : 0) << m;
    if (m > 1) {
      EXPECT_EQ(std::tie(f.len, f.boffs, f.eoffs), std::make_tuple(12 * m, 6 * m, 6 * m)) << m;
      EXPECT_EQ(std::tie(f.pos[0], f.pos[1], f.len, f.boffs, f.eoffs),
                std::tie(b.pos[0], b.pos[1], b.len, b.eoffs, b.boffs)) << m;
    }
  }
}

TEST(ScanLineTest, ColumnPassesAndAFinderAtTheLineEnd) {
  LineScan scan, open;
  scan.Run(FinderRow(3, 12, 0), false, 1, 5);
  open.Run(FinderRow(3, 12, 0), false, 1, 5, false);
  EXPECT_EQ(0, open.sink.count[1]);  // at the line end only the flush reports it
  ASSERT_EQ(0, scan.sink.count[0]);
  ASSERT_EQ(1, scan.sink.count[1]);
  EXPECT_EQ(5 * 4 + 2, scan.lines[1][0].pos[0]);   // across: the column
  EXPECT_EQ((12 + 6) * 4, scan.lines[1][0].pos[1]); // along: y of the run start
}

}  // namespace
}  // namespace qrread
