// Pictures as `qrtool encode` writes them (quiet zone of a tenth of the side in
// modules, dark 0 on light 255) at 1 to 8 pixels per module, shrunk as
// `qrtool decode` shrinks pictures over 1280 x 1024; and the finder-line store
// that large modules fill.
#include <gtest/gtest.h>

#include <string>
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

// Shrinks by the smallest whole factor that fits the reader, averaging each
// factor x factor box, as the decode command does.
Grey FitForReader(const Grey& g) {
  int f = 1;
  while (g.width / f > QR_READ_MAX_WIDTH || g.height / f > QR_READ_MAX_HEIGHT) f++;
  if (f == 1) return g;
  Grey out(g.width / f, g.height / f);
  for (int y = 0; y < out.height; y++) {
    for (int x = 0; x < out.width; x++) {
      int sum = 0;
      for (int a = 0; a < f; a++)
        for (int b = 0; b < f; b++) sum += g.px[size_t(y * f + a) * g.width + x * f + b];
      out.at(x, y) = uint8_t(sum / (f * f));
    }
  }
  return out;
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
  qrread::ReaderArena* arena = qrread::ArenaOpen();
  arena->image.width = g.width;
  arena->image.height = g.height;
  arena->image.pixels = g.px.data();
  qrread::ScanImage(arena);
  c.horizontal = arena->sink.count[0];
  c.vertical = arena->sink.count[1];
  c.verticalBehindHorizontal = arena->lines[1] == arena->lines[0] + c.horizontal;
  qrread::ArenaClose(arena);
  return c;
}

// Versions from each count-width class, with and without version information
// and alignment grids of every size. Small codes at every module size from 1
// to 8 pixels; large ones (slow to search: their data holds many finder-like
// runs) at one small and one large module size, picked by the version, the
// large one often past the picture limit so that it is shrunk.
// "hello" leaves most of a large code as padding, whose repeated codewords
// make many 1:1:3:1:1 runs along the columns: the densest case for the scan.
TEST(ScaleTest, EncoderPicturesReadBackAtEveryModuleSize) {
  struct Case {
    int version;
    std::vector<int> px;
  };
  std::vector<Case> cases;
  for (int v : {1, 2, 6, 7, 10, 14}) cases.push_back({v, {1, 2, 3, 4, 5, 6, 7, 8}});
  for (int v : {20, 24, 27, 31, 35, 40}) cases.push_back({v, {2 + v % 3, 5 + v % 4}});
  const std::string texts[] = {"hello", "Order 4711 SHIPPED to Lisbon, 12 boxes"};
  int checked = 0;
  for (const Case& c : cases) {
    const int version = c.version;
    for (int px : c.px) {
      const int level = (version + px) % 4;
      const std::string& text = texts[version < 5 ? 0 : px % 2];  // small codes hold "hello"
      Modules m = geomtest::Encode(text, version, level);
      ASSERT_EQ(version, m.version) << text;
      Grey g = FitForReader(RenderLikeEncoder(m, px));
      auto r = geomtest::Read(g);
      const std::string what = "v" + std::to_string(version) + " level " + std::to_string(level) +
                               " at " + std::to_string(px) + " px (" + std::to_string(g.width) +
                               " px wide)";
      ASSERT_EQ(1, r.count) << what;
      EXPECT_EQ(text, r.texts[0]) << what;
      EXPECT_EQ(version, r.versions[0]) << what;
      EXPECT_EQ(m.level, r.levels[0]) << what;
      checked++;
    }
  }
  EXPECT_EQ(6 * 8 + 6 * 2, checked);
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
