// The locating half's arithmetic where whole pictures do not reach it:
// degenerate projective maps, corners and line fits, the affine domain's bits
// and pixel reads at the image edge.
#include <gtest/gtest.h>


#include "reader/finder_role.h"
#include "reader/homography.h"
#include "reader/line_fit.h"

namespace {

using namespace qrread;

// --- Projective maps -----------------------------------------------------------

TEST(GeomHomography, DegenerateQuadsAreRefused) {
  ProjMap map;
  const int32_t line[4][2] = {{0, 0}, {10, 10}, {20, 20}, {30, 30}};
  EXPECT_EQ(ProjMapFromSquare(&map, 14, line), -1);
  const int32_t point[4][2] = {{5, 5}, {5, 5}, {5, 5}, {5, 5}};
  EXPECT_EQ(ProjMapFromQuads(&map, line, point), -1);
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

TEST(GeomLines, DegenerateFitsAndParallelLines) {
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

  const int32_t a0[2] = {0, 100}, a1[2] = {400, 100};
  EdgeLine h;
  ASSERT_EQ(LineThrough(a0, a1, &h), 0);
  int32_t x[2];
  EXPECT_EQ(IntersectLines(h, h, x), -1);
}

}  // namespace
