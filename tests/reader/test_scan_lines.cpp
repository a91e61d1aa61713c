// Edge scanner and width decoder: the finder-line test and FinderLine records.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
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

TEST(FinderLineTest, OneOneThreeOneOnePassesAndOffsetsPointAtModules) {
  WidthDecoder d{};
  // light lead-in, dark 1, light 1, dark 3, light 1, dark 1, light (newest).
  EXPECT_EQ(1, PushAll(&d, {320, 32, 32, 96, 32, 32, 64}));
  EXPECT_EQ(64u + 16u, d.trail);  // centre of the last dark module
  EXPECT_EQ(64u + 32u + 32u, d.end);
  EXPECT_EQ(d.end + 96u, d.start);
  EXPECT_EQ(d.start + 32u + 16u, d.lead);
}

TEST(FinderLineTest, RejectsWrongRatiosAndDarkEndings) {
  WidthDecoder equal{};
  EXPECT_EQ(0, PushAll(&equal, {320, 32, 32, 32, 32, 32, 64}));
  WidthDecoder wide{};
  EXPECT_EQ(0, PushAll(&wide, {320, 32, 32, 160, 32, 32, 64}));
  // Only a light newest element completes a pattern: shifted by one element
  // the same widths end on a dark one.
  WidthDecoder dark{};
  EXPECT_EQ(0, PushAll(&dark, {320, 64, 32, 32, 96, 32, 32}));
  // Light-led (a light-on-dark finder) passes on a dark newest element, as 2.
  WidthDecoder inverted{};
  EXPECT_EQ(2, PushAll(&inverted, {0, 320, 32, 32, 96, 32, 32, 64}));
  // Tiny widths (sum below 7) are never a pattern, though 1:1:2:1:1 passes
  // the ratio test at any larger scale.
  WidthDecoder tiny{};
  EXPECT_EQ(0, PushAll(&tiny, {0, 1, 1, 2, 1, 1, 2}));
  WidthDecoder scaled{};
  EXPECT_EQ(1, PushAll(&scaled, {0, 2, 2, 4, 2, 2, 4}));
}

TEST(FinderLineTest, ScaleAndModerateDistortionStillPass) {
  for (uint32_t k = 1; k <= 40; ++k) {
    WidthDecoder d{};
    EXPECT_EQ(1, PushAll(&d, {1000, 32 * k, 32 * k, 96 * k, 32 * k, 32 * k, 40 * k})) << k;
  }
  WidthDecoder blur{};  // dark modules grown by a quarter module each side
  EXPECT_EQ(1, PushAll(&blur, {1000, 48, 16, 128, 16, 48, 64}));
}

TEST(FinderLineTest, ResetForgetsEarlierWidths) {
  WidthDecoder d{};
  PushAll(&d, {320, 32, 32, 96, 32});
  WidthDecoderReset(&d);
  // Without the reset these two widths would complete the pattern.
  EXPECT_EQ(0, PushAll(&d, {32, 64}));
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

  void Run(const std::vector<uint8_t>& px, bool backward, int vertical = 0, int index = 0,
           bool flush = true) {
    const int n = static_cast<int>(px.size());
    sink.vertical = vertical;
    sink.lineIndex = index;
    sink.lineStart = backward ? n : 0;
    sink.direction = backward ? -1 : 1;
    for (int i = 0; i < n; ++i) EdgeScannerPixel(&scanner, px[backward ? n - 1 - i : i]);
    if (flush) {
      EdgeScannerFlush(&scanner);
      EdgeScannerFlush(&scanner);
    }
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

TEST(ScanLineTest, FinderFoundAtItsCentreRunInBothDirections) {
  for (int m = 2; m <= 8; ++m) {
    const int lead = 7 + m;
    const std::vector<uint8_t> px = FinderRow(m, lead, 9 + 2 * m);
    LineScan fwd, bwd;
    fwd.Run(px, false);
    bwd.Run(px, true);
    ASSERT_EQ(1, fwd.sink.count[0]) << m;
    ASSERT_EQ(1, bwd.sink.count[0]) << m;
    const FinderLine& f = fwd.lines[0][0];
    const FinderLine& b = bwd.lines[0][0];
    EXPECT_EQ((lead + 2 * m) * 4, f.pos[0]) << m;  // start of the centre run
    EXPECT_EQ(12 * m, f.len) << m;
    EXPECT_EQ(6 * m, f.boffs) << m;                 // 1.5 modules to the outer centre
    EXPECT_EQ(6 * m, f.eoffs) << m;
    EXPECT_EQ(f.pos[0], b.pos[0]) << m;
    EXPECT_EQ(f.pos[1], b.pos[1]) << m;
    EXPECT_EQ(f.len, b.len) << m;
    EXPECT_EQ(f.boffs, b.eoffs) << m;
    EXPECT_EQ(f.eoffs, b.boffs) << m;
  }
  // One pixel per module: within a quarter pixel either way.
  const std::vector<uint8_t> px = FinderRow(1, 10, 10);
  LineScan fwd, bwd;
  fwd.Run(px, false);
  bwd.Run(px, true);
  ASSERT_EQ(1, fwd.sink.count[0]);
  ASSERT_EQ(1, bwd.sink.count[0]);
  EXPECT_NEAR(48, fwd.lines[0][0].pos[0], 1);
  EXPECT_NEAR(48, bwd.lines[0][0].pos[0], 1);
}

TEST(ScanLineTest, ColumnPassesGiveVerticalLines) {
  LineScan scan;
  scan.Run(FinderRow(3, 12, 12), true, 1, 5);
  ASSERT_EQ(0, scan.sink.count[0]);
  ASSERT_EQ(1, scan.sink.count[1]);
  EXPECT_EQ(5 * 4 + 2, scan.lines[1][0].pos[0]);   // across: the column
  EXPECT_EQ((12 + 6) * 4, scan.lines[1][0].pos[1]); // along: y of the run start
}

TEST(ScanLineTest, FinderAtTheLineEndNeedsTheFlush) {
  const std::vector<uint8_t> px = FinderRow(3, 12, 0);
  LineScan flushed, open;
  flushed.Run(px, false);
  open.Run(px, false, 0, 0, false);
  EXPECT_EQ(1, flushed.sink.count[0]);
  EXPECT_EQ(0, open.sink.count[0]);
  EXPECT_EQ((12 + 6) * 4, flushed.lines[0][0].pos[0]);
}

TEST(ScanLineTest, NewLineForgetsThePreviousLine) {
  // Half a pattern at the end of one line and the rest at the start of the
  // next must not make a line.
  std::vector<uint8_t> px = FinderRow(3, 12, 0);
  const std::vector<uint8_t> first(px.begin(), px.begin() + 12 + 9);
  const std::vector<uint8_t> second(px.begin() + 12 + 9, px.end());
  LineScan scan;
  scan.Run(first, false);
  EdgeScannerNewLine(&scan.scanner);
  scan.Run(second, false);
  EXPECT_EQ(0, scan.sink.count[0]);
}

TEST(ScanLineTest, FlatAndSmoothLinesGiveNothing) {
  LineScan flat;
  flat.Run(std::vector<uint8_t>(200, 128), false);
  EXPECT_EQ(0, flat.sink.count[0]);
  std::vector<uint8_t> ramp;
  for (int i = 0; i < 256; ++i) ramp.push_back(static_cast<uint8_t>(i));
  LineScan slope;
  slope.Run(ramp, false);
  EXPECT_EQ(0, slope.sink.count[0]);
}

TEST(ScanLineTest, FullListDropsFurtherLines) {
  std::vector<uint8_t> px;
  for (int k = 0; k < 5; ++k) {
    const std::vector<uint8_t> one = FinderRow(2, 10, 0);
    px.insert(px.end(), one.begin(), one.end());
  }
  px.insert(px.end(), 10, kLight);
  LineScan scan;
  scan.sink.capacity = 3;
  scan.Run(px, false);
  EXPECT_EQ(3, scan.sink.count[0]);
  // Kept in the order found: the first three patterns.
  EXPECT_LT(scan.lines[0][0].pos[0], scan.lines[0][1].pos[0]);
  EXPECT_LT(scan.lines[0][1].pos[0], scan.lines[0][2].pos[0]);
  EXPECT_EQ((10 + 4) * 4, scan.lines[0][0].pos[0]);
}

}  // namespace
}  // namespace qrread
