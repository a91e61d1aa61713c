// A finder centre in its role within one candidate code (UL, UR or DL): its
// position in the code's domain, its edge points split by class, its module
// size and version estimates. Also the binarised-image helpers shared by the
// locating stages.
#pragma once
#include <cstdint>

#include "reader/binarize.h"
#include "reader/finder.h"
#include "reader/homography.h"

namespace qrread {

// The binarised image: 255 dark, 0 light, row-major. With `lazy` set, rows
// are binarised when first read.
struct BinaryImage {
  const uint8_t* px;
  int32_t width;
  int32_t height;
  LazyBinary* lazy = nullptr;
};

// Pixel test at a quarter-pixel position: 1 dark, 0 light; the position is
// clamped to the image first.
inline int PixelDark(const BinaryImage& im, int32_t qx, int32_t qy) {
  int32_t x = qx >> 2, y = qy >> 2;
  x = x < 0 ? 0 : (x >= im.width ? im.width - 1 : x);
  y = y < 0 ? 0 : (y >= im.height ? im.height - 1 : y);
  LazyBinaryEnsureRow(im.lazy, y);
  return im.px[int64_t(y) * im.width + x] != 0;
}

inline bool InsideImage(const BinaryImage& im, int32_t x, int32_t y) {
  return x >= 0 && y >= 0 && x < im.width && y < im.height;
}

// Walks the digital straight line from pixel `from` towards pixel `to` (both
// whole pixels inside the image; neither end itself is tested) and stores the
// first pixel whose darkness equals `wantDark` in `out`. Returns 0 when found,
// -1 otherwise.
int FirstOnLine(const BinaryImage& im, const int32_t from[2], const int32_t to[2],
                int wantDark, int32_t out[2]);

// The map that places edge points in a code's square domain: the affine map of
// the first stage or, when `hom` is set, the homography.
struct DomainMap {
  const AffineMap* aff;
  const ProjMap* hom;
};

void ToDomain(const DomainMap& map, int32_t x, int32_t y, int32_t out[2]);

struct FinderRole {
  FinderCentre* centre;
  int32_t o[2];              // position in the domain
  EdgePoint* edges[4];       // by class: 0 left, 1 right, 2 top, 3 bottom
  int32_t nedges[4];
  int32_t ninliers[4];
  int32_t size[2];           // module size along u and v (domain units)
  int32_t eversion[2];       // version estimated along u and v
};

// Places the role's centre in the domain (o) and classifies and sorts its
// edge points (by class, then extent).
void PlaceFinder(FinderRole* f, const DomainMap& map);

// Classifies and sorts the edge points relative to the current o.
void ClassifyEdges(FinderRole* f, const DomainMap& map);

// Estimates module size and version along both axes from the classified edge
// points, re-centring o on the edges; `width` is the domain distance between
// the finder centres along u and v. Returns -1 when an axis has no edge
// points, a size below 1 or a version outside 1..43, and -2 when the two
// versions differ by more than VersionSlack(them, wide).
int EstimateModuleSize(FinderRole* f, int32_t widthU, int32_t widthV, bool wide = false);

// How far two version estimates may differ: 3, or under perspective (`wide`)
// max(3, the larger / 2).
int VersionSlack(int a, int b, bool wide);

}  // namespace qrread
