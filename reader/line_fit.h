// Straight edges of a code: total-least-squares line fits in fixed point, line
// intersection, and the RANSAC selection of finder edge points.
#pragma once
#include <cstdint>

#include "reader/finder.h"
#include "reader/homography.h"

namespace qrread {

struct IsaacState;

// The line a x + b y + c = 0 over quarter-pixel positions, with (a, b) a normal
// of length about 2^14; Eval is then the signed distance in quarter pixels
// times 2^14.
struct EdgeLine {
  int64_t a, b, c;
};

// Running sums of the points of one fit.
struct LineSums {
  int64_t n, sx, sy, sxx, syy, sxy;
};

void LineSumsClear(LineSums* sums);
void LineSumsAdd(LineSums* sums, int32_t x, int32_t y);

// Principal axis through the centroid of the summed points. Returns -1 with
// fewer than 2 points or when the scatter has no main axis (all points
// coincide, or spread evenly in every direction).
int FitLine(const LineSums& sums, EdgeLine* line);

// The line through two distinct points; -1 when they coincide.
int LineThrough(const int32_t p0[2], const int32_t p1[2], EdgeLine* line);

inline int64_t LineEval(const EdgeLine& line, int32_t x, int32_t y) {
  return line.a * x + line.b * y + line.c;
}

// Flips the line so that `ref` lies on its non-negative side.
void OrientLine(EdgeLine* line, const int32_t ref[2]);

// Intersection of two lines, rounded to quarter pixels; -1 when they are
// parallel or the point lies beyond 2^28.
int IntersectLines(const EdgeLine& l0, const EdgeLine& l1, int32_t out[2]);

// Floor of the square root.
uint32_t Isqrt64(uint64_t value);

// RANSAC over the `n` edge points of one class `edgeClass` (0 left, 1 right,
// 2 top, 3 bottom) of one finder: draws pairs with `rng`, rejects pairs that in
// the affine domain run more across than along the edge, and keeps the largest
// inlier set (|cross product| <= isqrt(32 d^2)). Moves the inliers to the front
// and returns their count (0 with fewer than 2 points).
int RansacEdge(EdgePoint* points, int n, int edgeClass, const AffineMap& map,
               IsaacState* rng);

}  // namespace qrread
