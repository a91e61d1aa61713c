// Finder line lists of whole pictures, clustering and finder centres.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "reader/finder_centres.h"
#include "geom_render.h"

namespace qrread {
namespace {

using geomtest::Grey;

// Three finders of a scanned picture, sorted by edge points, then row, then
// column; each with its own points.
TEST(FinderCentresTest, SortedByEdgePointsThenRowThenColumn) {
  Grey g(400, 300);
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

TEST(FinderCentresTest, VerticalLinesInAnyOrderAndCapacities) {
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
  ASSERT_EQ(2, LocateCentres(h, nh, v, nv, scratch, a, 4, pa, 128));
  ASSERT_EQ(2, LocateCentres(h, nh, shuffled, nv, scratch, b, 4, pb, 128));
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(a[i].pos[0], b[i].pos[0]);
    EXPECT_EQ(a[i].pos[1], b[i].pos[1]);
    EXPECT_EQ(a[i].nedgePts, b[i].nedgePts);
  }
  EXPECT_EQ(1, LocateCentres(h, nh, v, nv, scratch, a, 1, pa, 128));
  // Room for the points of one centre only (36 each).
  EXPECT_EQ(1, LocateCentres(h, nh, v, nv, scratch, a, 4, pa, 40));
  EXPECT_EQ(0, LocateCentres(h, nh, v, nv, scratch, a, 4, pa, 20));
}

}  // namespace
}  // namespace qrread
