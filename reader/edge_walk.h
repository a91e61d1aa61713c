// The homography fit of one candidate code: RANSAC edge lines of the three
// finders, walks along the right and bottom edges, outline corners, the
// alignment pattern near the lower-right corner, and the homography.
#pragma once
#include <cstdint>

#include "reader/finder_role.h"
#include "reader/homography.h"
#include "reader/line_fit.h"

namespace qrread {

struct IsaacState;
struct LocateScratch;

struct OutlineFit {
  ProjMap hom;             // square domain of side 2^kHomographyBits <-> image
  int32_t corners[4][2];   // centres of the corner modules, quarter pixels:
                           // upper-left, upper-right, lower-left, lower-right
};

// Fits the outline of the code whose finders are `ul`, `ur`, `dl`, classified
// and estimated in the affine domain of `aff`. Reorders the finders' edge
// points (inliers first) and uses scratch->rightEdge / bottomEdge. Returns 0,
// or -1 when a line, a corner or the homography cannot be had.
int FitHomography(FinderRole* ul, FinderRole* ur, FinderRole* dl, const AffineMap& aff,
                  const BinaryImage& im, IsaacState* rng, LocateScratch* scratch,
                  OutlineFit* out);

// Whether `p` (quarter pixels) lies within -size .. 2 size on both axes of an
// image of width x height pixels.
bool CornerInBounds(const int32_t p[2], int32_t width, int32_t height);

}  // namespace qrread
