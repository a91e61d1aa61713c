// The strip scan (sixteen lines smoothed together, then only the flagged
// pixels visited) against the plain one-pixel-at-a-time scan, the vector
// smoothing against its scalar form, and finder centres.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "geom_render.h"
#include "reader/arena.h"
#include "reader/edge_scanner.h"
#include "reader/finder_centres.h"
#include "reader/scan_strip.h"

namespace qrread {
namespace {
// A picture with finder patterns of several sizes, steps, ramps and noise, so
// that edges of every strength and finder lines occur in both directions.
geomtest::Grey BusyPicture(int w, int h, uint32_t seed, int noise) {
  std::mt19937 rng(seed);
  auto rnd = [&](int n) { return int(rng() % uint32_t(n)); };
  geomtest::Grey g(w, h);
  for (int i = 0; i < 12; ++i) g.Finder(rnd(w + 8) - 8, rnd(h + 8) - 8, 1 + rnd(6), uint8_t(rnd(90)), uint8_t(150 + rnd(106)));
  for (int i = 0; i < 6; ++i) g.Fill(rnd(w), rnd(h), 1 + rnd(40), 1 + rnd(40), uint8_t(rnd(256)));
  for (uint8_t& v : g.px) v = uint8_t(std::clamp(v + (noise > 0 ? rnd(2 * noise + 1) - noise : 0), 0, 255));
  return g;
}

using geomtest::PlainScan;

TEST(ScanStripTest, WholeScanFindsThePlainScansCentres) {
  // Sizes off the strip width, single lines, and the full-size limit with
  // enough lines to fill both lists.
  const struct {
    int w, h, noise;
  } cases[] = {{1, 1, 0}, {1, 40, 3}, {40, 1, 3}, {17, 15, 0}, {333, 257, 6}, {31, 700, 9}, {1280, 1024, 2}};
  uint32_t seed = 11;
  for (const auto& c : cases) {
    const geomtest::Grey g = BusyPicture(c.w, c.h, seed++, c.noise);
    const PlainScan plain(g);
    const geomtest::ScanTestPicture scan(g);
    ReaderArena* arena = scan.arena;
    const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h);
    // Rows are scanned only near other lines: each row taken has the plain
    // scan's lines, in order.
    const int32_t nh = arena->sink.count[0];
    for (int32_t i = 0, k = 0; i < nh; ++i, ++k) {
      while (k < plain.sink.count[0] && std::memcmp(&arena->lines[0][i], &plain.lines[0][k], sizeof(FinderLine)) != 0) ++k;
      ASSERT_LT(k, plain.sink.count[0]) << what << " line " << i << " is not the plain scan's";
    }
    // Columns are scanned only where a centre can form (in strip order, not
    // column order): the centres are still those of all the plain scan's lines.
    const int32_t nv = arena->sink.count[1];
    std::vector<FinderLine> scanned(arena->lines[1], arena->lines[1] + nv);
    auto centres = [&](const FinderLine* h, int32_t nh, FinderLine* v, int32_t n) {
      std::vector<uint8_t> scratch(LocateCentresScratchBytes(nh + n));
      std::vector<FinderCentre> out(kMaxFinderCentres);
      std::vector<EdgePoint> points(kMaxEdgePoints);
      out.resize(size_t(LocateCentres(h, nh, v, n, scratch.data(),
                                      out.data(), kMaxFinderCentres, points.data(), kMaxEdgePoints)));
      std::vector<int32_t> flat;
      for (const FinderCentre& f : out) {
        flat.insert(flat.end(), {f.pos[0], f.pos[1], f.nedgePts});
        for (int32_t k = 0; k < f.nedgePts; ++k) flat.insert(flat.end(), {f.edgePts[k].pos[0], f.edgePts[k].pos[1]});
      }
      return flat;
    };
    std::vector<FinderLine> all(plain.lines[1].begin(), plain.lines[1].begin() + plain.sink.count[1]);
    EXPECT_EQ(centres(plain.lines[0].data(), plain.sink.count[0], all.data(), plain.sink.count[1]),
              centres(arena->lines[0], nh, scanned.data(), nv)) << what;
  }
}

// The scalar form is what other builds run; random bytes reach every flag.
TEST(ScanStripTest, VectorSmoothingMatchesTheScalarForm) {
  std::mt19937 rng(5);
  std::vector<StripScratch> a(1), b(1);
  for (int32_t length : {1, 2, 15, 17, 250, 1280}) {
    const ptrdiff_t stride = 23;  // wider than 16 as in the column passes
    std::vector<uint8_t> px(size_t(length) * stride);
    for (uint8_t& v : px) v = static_cast<uint8_t>(rng());
    SmoothStrip(px.data(), stride, length, &a[0]);
    SmoothStripScalar(px.data(), stride, length, &b[0]);
    const size_t steps = size_t(length + kStripPadSteps) * kStripLanes;
    for (int g = 0; g < 2; ++g) {
      EXPECT_EQ(0, std::memcmp(a[0].smoothed[g], b[0].smoothed[g], steps * sizeof(int16_t))) << length;
      EXPECT_EQ(0, std::memcmp(a[0].flags[g], b[0].flags[g], size_t((length + 63) & ~63))) << length;
    }
  }
}

// Three finders of a scanned picture, sorted by edge points, then row, then
// column; each with its own points.
TEST(FinderCentresTest, SortedByEdgePointsThenRowThenColumn) {
  geomtest::Grey g(400, 300);
  g.Finder(20, 200, 4);   // large: most points
  g.Finder(250, 30, 2);
  g.Finder(30, 30, 2);    // same size and row as the one above, left of it
  const geomtest::ScanTestPicture scan(g);
  ReaderArena* arena = scan.arena;
  const FinderCentre* c = arena->centres;
  ASSERT_EQ(3, LocateCentres(arena->lines[0], arena->sink.count[0], arena->lines[1],
                             arena->sink.count[1], arena->binary, arena->centres,
                             kMaxFinderCentres, arena->edgePoints, kMaxEdgePoints));
  EXPECT_GT(c[0].nedgePts, c[1].nedgePts);
  EXPECT_NEAR(20 * 4 + 56, c[0].pos[0], 2);
  EXPECT_EQ(c[1].nedgePts, c[2].nedgePts);
  EXPECT_LT(c[1].pos[0], c[2].pos[0]);
}

// Horizontal lines through a 3-pixel-module finder, rows y0 .. y0 + n - 1.
void AddLines(FinderLine* lines, int* count, int n, int along0, int across0, int dir) {
  for (int i = 0; i < n; ++i) {
    FinderLine& l = lines[(*count)++];
    l.pos[dir] = along0;
    l.pos[1 - dir] = (across0 + i) * 4 + 2;
    l.len = 36;
    l.boffs = 18;
    l.eoffs = 18;
  }
}

// Two rows through a finder are not a cluster, three are; no more centres than
// asked for, and a centre only with room for its points (24 and 36 here).
TEST(FinderCentresTest, ThreeLinesMakeAClusterWithinTheCapacities) {
  FinderLine h[32], v[32];
  int nh = 0, nv = 0;
  AddLines(h, &nh, 2, 100, 31, 0);  // rows 31, 32 through x 100 .. 136
  AddLines(v, &nv, 9, 124, 25, 1);  // columns 25 .. 33 through y 124 .. 160
  static uint8_t scratch[LocateCentresScratchBytes(64)];
  FinderCentre a[4];
  EdgePoint pa[128];
  EXPECT_EQ(0, LocateCentres(h, nh, v, nv, scratch, a, 4, pa, 128));
  AddLines(h, &nh, 1, 100, 33, 0);
  EXPECT_EQ(1, LocateCentres(h, nh, v, nv, scratch, a, 4, pa, 128));
  EXPECT_EQ(2 * (3 + 9), a[0].nedgePts);
  // x from the rows: 2 * 100 + 36 per line; y from the columns: 2 * 124 + 36.
  EXPECT_EQ(std::make_pair(118, 142), std::make_pair(a[0].pos[0], a[0].pos[1]));
  AddLines(h, &nh, 9, 400, 31, 0);
  AddLines(v, &nv, 9, 124, 100, 1);
  EXPECT_EQ(2, LocateCentres(h, nh, v, nv, scratch, a, 4, pa, 128));
  EXPECT_EQ(1, LocateCentres(h, nh, v, nv, scratch, a, 1, pa, 128));
  EXPECT_EQ(1, LocateCentres(h, nh, v, nv, scratch, a, 4, pa, 40));
  EXPECT_EQ(0, LocateCentres(h, nh, v, nv, scratch, a, 4, pa, 20));
}

}  // namespace
}  // namespace qrread
