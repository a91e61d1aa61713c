// Finder line lists of whole pictures, clustering and finder centres.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "reader/arena.h"
#include "reader/finder_centres.h"
#include "reader/reader_entry.h"
#include "scan_test_images.h"

namespace qrread {
namespace {

using testimg::Grey;

struct Centres {
  ReaderArena* arena = ArenaOpen();
  int32_t count = 0;
  ~Centres() { ArenaClose(arena); }

  void Scan(const Grey& g) {
    ASSERT_NE(nullptr, arena);
    arena->image.width = g.width;
    arena->image.height = g.height;
    arena->image.pixels = g.px.data();
    ScanImage(arena);
    count = LocateCentres(arena->lines[0], arena->sink.count[0], arena->lines[1],
                          arena->sink.count[1], arena->binary, arena->centres,
                          kMaxFinderCentres, arena->edgePoints, kMaxEdgePoints);
  }
  const FinderCentre& operator[](int i) const { return arena->centres[i]; }
};

TEST(FinderCentresTest, OneFinderGivesItsCentreAndOuterModulePoints) {
  for (int m : {2, 3, 5, 8}) {
    Grey g(200, 180);
    const int x0 = 40, y0 = 33;
    g.Finder(x0, y0, m);
    Centres c;
    c.Scan(g);
    ASSERT_EQ(1, c.count) << m;
    // The centre of the pattern in quarter pixels.
    EXPECT_NEAR((x0 * 4) + 14 * m, c[0].pos[0], 2) << m;
    EXPECT_NEAR((y0 * 4) + 14 * m, c[0].pos[1], 2) << m;
    // Every row and column through the centre run gives two outer points.
    EXPECT_GE(c[0].nedgePts, 2 * 2 * 3 * m - 4) << m;
    for (int i = 0; i < c[0].nedgePts; ++i) {
      const EdgePoint& p = c[0].edgePts[i];
      const int dx = std::abs(p.pos[0] - c[0].pos[0]);
      const int dy = std::abs(p.pos[1] - c[0].pos[1]);
      // On the outer ring: three modules from the centre along one axis.
      EXPECT_NEAR(12 * m, std::max(dx, dy), 3) << m << " point " << i;
      EXPECT_LE(std::min(dx, dy), 6 * m) << m << " point " << i;
    }
  }
}

TEST(FinderCentresTest, SortedByEdgePointsThenRowThenColumn) {
  Grey g(400, 300);
  g.Finder(20, 200, 4);   // large: most points
  g.Finder(250, 30, 2);
  g.Finder(30, 30, 2);    // same size and row as the one above, left of it
  Centres c;
  c.Scan(g);
  ASSERT_EQ(3, c.count);
  EXPECT_GT(c[0].nedgePts, c[1].nedgePts);
  EXPECT_NEAR(20 * 4 + 56, c[0].pos[0], 2);
  EXPECT_EQ(c[1].nedgePts, c[2].nedgePts);
  EXPECT_LT(c[1].pos[0], c[2].pos[0]);
  // Points belong to their own centre.
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < c[i].nedgePts; ++k) {
      EXPECT_LT(std::abs(c[i].edgePts[k].pos[0] - c[i].pos[0]), 4 * 4 * 4);
    }
  }
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

TEST(FinderCentresTest, FewerThanThreeLinesMakeNoCluster) {
  FinderLine h[16], v[16];
  int nh = 0, nv = 0;
  AddLines(h, &nh, 2, 100, 31, 0);  // rows 31, 32 through x 100 .. 136
  AddLines(v, &nv, 9, 124, 25, 1);  // columns 25 .. 33 through y 124 .. 160
  static uint8_t scratch[LocateCentresScratchBytes(32)];
  FinderCentre centres[4];
  EdgePoint points[64];
  EXPECT_EQ(0, LocateCentres(h, nh, v, nv, scratch, centres, 4, points, 64));
  AddLines(h, &nh, 1, 100, 33, 0);  // a third row: now a cluster
  EXPECT_EQ(1, LocateCentres(h, nh, v, nv, scratch, centres, 4, points, 64));
  EXPECT_EQ(2 * (3 + 9), centres[0].nedgePts);
  // x from the rows: 2 * 100 + 36 per line; y from the columns: 2 * 124 + 36.
  EXPECT_EQ(118, centres[0].pos[0]);
  EXPECT_EQ(142, centres[0].pos[1]);
}

TEST(FinderCentresTest, VerticalLinesInAnyOrderGiveTheSameCentres) {
  FinderLine h[32], v[32], shuffled[32];
  int nh = 0, nv = 0;
  AddLines(h, &nh, 9, 100, 31, 0);
  AddLines(h, &nh, 9, 400, 31, 0);
  AddLines(v, &nv, 9, 124, 25, 1);
  AddLines(v, &nv, 9, 124, 100, 1);
  for (int i = 0; i < nv; ++i) shuffled[i] = v[(i * 7) % nv];
  static uint8_t scratch[LocateCentresScratchBytes(64)];
  FinderCentre a[4], b[4];
  EdgePoint pa[128], pb[128];
  const int na = LocateCentres(h, nh, v, nv, scratch, a, 4, pa, 128);
  const int nb = LocateCentres(h, nh, shuffled, nv, scratch, b, 4, pb, 128);
  ASSERT_EQ(2, na);
  ASSERT_EQ(na, nb);
  for (int i = 0; i < na; ++i) {
    EXPECT_EQ(a[i].pos[0], b[i].pos[0]);
    EXPECT_EQ(a[i].pos[1], b[i].pos[1]);
    EXPECT_EQ(a[i].nedgePts, b[i].nedgePts);
  }
}

TEST(FinderCentresTest, CapacitiesAreRespected) {
  FinderLine h[32], v[32];
  int nh = 0, nv = 0;
  AddLines(h, &nh, 9, 100, 31, 0);
  AddLines(h, &nh, 9, 400, 31, 0);
  AddLines(v, &nv, 9, 124, 25, 1);
  AddLines(v, &nv, 9, 124, 100, 1);
  static uint8_t scratch[LocateCentresScratchBytes(64)];
  FinderCentre centres[4];
  EdgePoint points[128];
  EXPECT_EQ(1, LocateCentres(h, nh, v, nv, scratch, centres, 1, points, 128));
  // Room for the points of one centre only (36 each).
  EXPECT_EQ(1, LocateCentres(h, nh, v, nv, scratch, centres, 4, points, 40));
  EXPECT_EQ(0, LocateCentres(h, nh, v, nv, scratch, centres, 4, points, 20));
}

}  // namespace
}  // namespace qrread
