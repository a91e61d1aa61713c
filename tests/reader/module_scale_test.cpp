// The finder-line store that large modules fill, in pictures as `qrtool
// encode` writes them (quiet zone of a tenth of the side in modules).
#include <gtest/gtest.h>

#include <vector>

#include "geom_render.h"
#include "reader/arena.h"
#include "reader/qr_reader.h"
#include "reader/reader_entry.h"

namespace {

using geomtest::Grey;
using geomtest::Modules;

// The encoder's picture: n / 10 modules of quiet zone on every side.
Grey RenderLikeEncoder(const Modules& m, int px) {
  geomtest::RenderOptions o;
  o.modulePx = px;
  o.quiet = m.n / 10;
  o.margin = 0;
  return geomtest::Render(m, o);
}

// The module matrix turned a quarter turn clockwise: still a valid code.
Modules QuarterTurn(const Modules& m) {
  Modules t = m;
  for (int r = 0; r < m.n; r++)
    for (int c = 0; c < m.n; c++) t.dark[size_t(r) * m.n + c] = m.at(m.n - 1 - c, r);
  return t;
}

// Scans `g` and returns the two finder-line counts.
struct LineCounts {
  int32_t horizontal = 0, vertical = 0;
  bool verticalBehindHorizontal = false;
};

LineCounts ScanCounts(const Grey& g) {
  LineCounts c;
  const geomtest::ScanTestPicture scan(g);
  const qrread::ReaderArena* arena = scan.arena;
  c.horizontal = arena->sink.count[0];
  c.vertical = arena->sink.count[1];
  c.verticalBehindHorizontal = arena->lines[1] == arena->lines[0] + c.horizontal;
  return c;
}

// A version 26 code at 5 px per module gives far more vertical than
// horizontal lines; turned a quarter, the other way round. The finder scanned
// last in the crowded direction must still get its lines.
TEST(ScaleTest, CrowdedDirectionBorrowsTheOtherDirectionsShare) {
  Modules m = geomtest::Encode("hello", 26, 3);
  ASSERT_EQ(26, m.version);
  const Grey upright = RenderLikeEncoder(m, 5);
  const Grey turned = RenderLikeEncoder(QuarterTurn(m), 5);

  LineCounts up = ScanCounts(upright);
  EXPECT_GT(up.vertical, qrread::kMaxFinderLines);
  EXPECT_LT(up.horizontal, qrread::kMaxFinderLines);
  EXPECT_TRUE(up.verticalBehindHorizontal);
  LineCounts tu = ScanCounts(turned);
  EXPECT_GT(tu.horizontal, qrread::kMaxFinderLines);
  EXPECT_TRUE(tu.verticalBehindHorizontal);

  for (const Grey* g : {&upright, &turned}) {
    auto r = geomtest::Read(*g);
    ASSERT_EQ(1, r.count);
    EXPECT_EQ("hello", r.texts[0]);
    EXPECT_EQ(26, r.versions[0]);
    EXPECT_EQ(3, r.levels[0]);
  }
}

// A picture of nothing but 1:1:3:1:1 runs, across the rows on the left half
// and both ways on the right half, overfills both directions: rows stop
// short of the column pass's own share, columns (scanned where the row runs
// cross them) stop at the store's end.
TEST(ScaleTest, OverfullLineStoreStopsAtItsBounds) {
  Grey g;
  g.width = 1280;
  g.height = 1024;
  g.px.assign(size_t(g.width) * g.height, 255);
  const bool run[8] = {true, false, true, true, true, false, true, false};
  for (int y = 0; y < g.height; y++)
    for (int x = 0; x < g.width; x++) {
      if (run[(x / 2) % 8] && (x < g.width / 2 || run[(y / 2) % 8])) g.at(x, y) = 0;
    }
  LineCounts c = ScanCounts(g);
  EXPECT_EQ(qrread::kFinderLineStore - qrread::kMaxFinderLines, c.horizontal);
  EXPECT_EQ(qrread::kMaxFinderLines, c.vertical);
  EXPECT_TRUE(c.verticalBehindHorizontal);
  EXPECT_EQ(0, geomtest::Read(g).count);
}

}  // namespace
