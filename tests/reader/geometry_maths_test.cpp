// The locating half's arithmetic: the ISAAC generator, projective maps and
// their inverses, the fourth-corner extrapolation, line fits and RANSAC.
#include <gtest/gtest.h>

#include <utility>

#include "reader/finder_role.h"
#include "reader/homography.h"
#include "reader/isaac.h"
#include "reader/line_fit.h"

namespace {

using namespace qrread;

// --- ISAAC -------------------------------------------------------------------

TEST(GeomIsaac, EmptySeedMatchesPublishedVector) {
  // The generator's published test output for an all-zero seed: the batch
  // after the one produced by initialisation.
  IsaacState s;
  IsaacInit(&s, nullptr, 0);
  IsaacGenerate(&s);
  const uint32_t expected[8] = {0xf650e4c8, 0xe448e96d, 0x98db2fb4, 0xf5fad54f,
                                0x433f1afb, 0xedec154a, 0xd8370487, 0x46ca4f9a};
  for (int i = 0; i < 8; i++) EXPECT_EQ(s.results[i], expected[i]) << i;
}

// --- Projective maps -----------------------------------------------------------

struct Quad {
  int32_t p[4][2];
};

const Quad kQuads[] = {
    {{{100, 100}, {900, 100}, {100, 900}, {900, 900}}},           // square
    {{{120, 80}, {1010, 140}, {60, 930}, {1100, 1020}}},          // general
    {{{4000, 300}, {4800, 1900}, {2400, 1100}, {3300, 2800}}},    // rotated, keystone
    {{{-400, -300}, {9000, -100}, {-200, 7000}, {8000, 7800}}},   // partly outside
};

// Each corner maps onto its counterpart, and back within `back`.
void ExpectCorners(const ProjMap& map, const Quad& from, const Quad& to, int back) {
  for (int k = 0; k < 4; k++) {
    int32_t out[2];
    ASSERT_EQ(ProjMapProject(map, from.p[k][0], from.p[k][1], out), 0);
    EXPECT_NEAR(out[0], to.p[k][0], 1);
    EXPECT_NEAR(out[1], to.p[k][1], 1);
    ASSERT_EQ(ProjMapUnproject(map, to.p[k][0], to.p[k][1], out), 0);
    EXPECT_NEAR(out[0], from.p[k][0], back);
    EXPECT_NEAR(out[1], from.p[k][1], back);
  }
}

TEST(GeomHomography, MapsFromTheSquareAndBetweenQuadsHitEveryCorner) {
  const int side = 1 << kHomographyBits;
  const Quad square{{{0, 0}, {side, 0}, {0, side}, {side, side}}};
  for (const Quad& src : kQuads) {
    ProjMap map;
    ASSERT_EQ(ProjMapFromSquare(&map, kHomographyBits, src.p), 0);
    ExpectCorners(map, square, src, 2);
    for (const Quad& dst : kQuads) {
      ASSERT_EQ(ProjMapFromQuads(&map, src.p, dst.p), 0);
      ExpectCorners(map, src, dst, 1);
    }
  }
}

TEST(GeomHomography, DegenerateQuadsAreRefused) {
  ProjMap map;
  const int32_t line[4][2] = {{0, 0}, {10, 10}, {20, 20}, {30, 30}};
  EXPECT_EQ(ProjMapFromSquare(&map, 14, line), -1);
  const int32_t point[4][2] = {{5, 5}, {5, 5}, {5, 5}, {5, 5}};
  EXPECT_EQ(ProjMapFromQuads(&map, kQuads[0].p, point), -1);
  // A steep keystone narrowing downwards: the plane's horizon lies above the
  // square, and points beyond it have no image.
  const int32_t keystone[4][2] = {{0, 0}, {4000, 0}, {1600, 4000}, {2400, 4000}};
  ASSERT_EQ(ProjMapFromSquare(&map, 14, keystone), 0);
  int32_t out[2];
  EXPECT_EQ(ProjMapProject(map, 1 << 13, 1 << 14, out), 0);
  EXPECT_EQ(ProjMapProject(map, 1 << 13, -(1 << 15), out), -1);
  // Three finders and an alignment pattern on one point: no fourth corner.
  const int32_t same[2] = {400, 400};
  EXPECT_EQ(ExtrapolateCorner(same, same, same, same, 25, out), -1);
}

// The affine domain's fraction bits leave room for the larger side's bits.
TEST(GeomHomography, AffineBitsFollowTheLargerSide) {
  const int rows[][3] = {{1, 1, 28}, {2, 1, 27}, {1, 3, 26}, {1280, 1024, 17}, {1024, 1025, 17}, {1024, 1023, 18}};
  for (const auto& r : rows) EXPECT_EQ(r[2], AffineBits(r[0], r[1])) << r[0] << "x" << r[1];
}

TEST(GeomPixels, OnePixelBoundsAtTheRightAndBottomEdges) {
  const uint8_t px[6] = {0, 0, 255, 0, 0, 0};  // 3 x 2, dark at (2, 0)
  const BinaryImage im{px, 3, 2};
  EXPECT_TRUE(InsideImage(im, 2, 1));
  EXPECT_FALSE(InsideImage(im, 3, 1));
  EXPECT_FALSE(InsideImage(im, 2, 2));
  EXPECT_FALSE(InsideImage(im, -1, 0));
  // Quarter-pixel positions past the edge read the last column or row.
  EXPECT_EQ(PixelDark(im, 4 * 2 + 3, 0), 1);
  EXPECT_EQ(PixelDark(im, 4 * 9, -8), 1);
  EXPECT_EQ(PixelDark(im, 4 * 1 + 3, 4 * 5), 0);
}

// --- Lines -------------------------------------------------------------------

TEST(GeomLines, OrientationIntersectionAndDegenerateFits) {
  LineSums s;
  LineSumsClear(&s);
  LineSumsAdd(&s, 10, 10);
  EdgeLine line;
  EXPECT_EQ(FitLine(s, &line), -1);  // one point
  LineSumsAdd(&s, 10, 10);
  EXPECT_EQ(FitLine(s, &line), -1);  // coincident points
  LineSumsClear(&s);
  for (int k = 0; k < 4; k++) LineSumsAdd(&s, (k & 1) * 8, (k >> 1) * 8);
  EXPECT_EQ(FitLine(s, &line), -1);  // a square's corners: no main axis

  const int32_t a0[2] = {0, 100}, a1[2] = {400, 100};   // horizontal y = 100
  const int32_t b0[2] = {250, -50}, b1[2] = {250, 700};  // vertical x = 250
  EdgeLine h, v;
  ASSERT_EQ(LineThrough(a0, a1, &h) | LineThrough(b0, b1, &v), 0);
  const int32_t below[2] = {30, 300};
  OrientLine(&h, below);
  EXPECT_GT(LineEval(h, 30, 300), 0);
  EXPECT_LT(LineEval(h, 30, 20), 0);
  int32_t x[2];
  ASSERT_EQ(IntersectLines(h, v, x), 0);
  EXPECT_EQ(std::make_pair(x[0], x[1]), std::make_pair(250, 100));
  EXPECT_EQ(IntersectLines(h, h, x), -1);
}

}  // namespace
