#include "reader/finder_role.h"

#include <algorithm>

namespace qrread {

int FirstOnLine(const BinaryImage& im, const int32_t from[2], const int32_t to[2],
                int wantDark, int32_t out[2]) {
  // The walk stays between the two rows.
  LazyBinaryEnsure(im.lazy, from[1] < to[1] ? from[1] : to[1],
                   (from[1] > to[1] ? from[1] : to[1]) + 1);
  int32_t x = from[0], y = from[1];
  int32_t dx = to[0] - x, dy = to[1] - y;
  int32_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  dx = dx < 0 ? -dx : dx;
  dy = dy < 0 ? -dy : dy;
  int32_t steps = dx > dy ? dx : dy;
  int32_t err = (dx > dy ? dx : -dy) / 2;
  for (int32_t i = 1; i < steps; i++) {
    int32_t e = err;
    if (e > -dx) {
      err -= dy;
      x += sx;
    }
    if (e < dy) {
      err += dx;
      y += sy;
    }
    if ((im.px[int64_t(y) * im.width + x] != 0) == (wantDark != 0)) {
      out[0] = x;
      out[1] = y;
      return 0;
    }
  }
  return -1;
}

void ToDomain(const DomainMap& map, int32_t x, int32_t y, int32_t out[2]) {
  if (map.hom != nullptr) {
    ProjMapUnproject(*map.hom, x, y, out);
  } else {
    AffineUnproject(*map.aff, x, y, out);
  }
}

void ClassifyEdges(FinderRole* f, const DomainMap& map) {
  EdgePoint* pts = f->centre->edgePts;
  int n = f->centre->nedgePts;
  for (int i = 0; i < n; i++) {
    int32_t q[2];
    ToDomain(map, pts[i].pos[0], pts[i].pos[1], q);
    int32_t du = q[0] - f->o[0], dv = q[1] - f->o[1];
    int32_t adu = du < 0 ? -du : du, adv = dv < 0 ? -dv : dv;
    int vertical = adv > adu;
    int32_t extent = vertical ? dv : du;
    pts[i].edge = 2 * vertical + (extent >= 0);
    pts[i].extent = extent;
  }
  std::sort(pts, pts + n, [](const EdgePoint& a, const EdgePoint& b) {
    return a.edge != b.edge ? a.edge < b.edge : a.extent < b.extent;
  });
  int start = 0;
  for (int e = 0; e < 4; e++) {
    int end = start;
    while (end < n && pts[end].edge == e) end++;
    f->edges[e] = pts + start;
    f->nedges[e] = end - start;
    f->ninliers[e] = 0;
    start = end;
  }
}

void PlaceFinder(FinderRole* f, const DomainMap& map) {
  ToDomain(map, f->centre->pos[0], f->centre->pos[1], f->o);
  ClassifyEdges(f, map);
}

namespace {

// Size and version along one axis from the trimmed sums of its two classes.
int AxisEstimate(int64_t sumLow, int64_t sumHigh, int32_t count, int32_t width,
                 int32_t* size, int32_t* version) {
  if (count <= 0) return -1;
  int64_t s = ((sumHigh - sumLow) * 2 + 3 * int64_t(count)) / (6 * int64_t(count));
  if (s < 1) return -1;
  int64_t v = (int64_t(width) - 8 * s) / (4 * s);
  if (v < 1 || v > 43) return -1;
  *size = static_cast<int32_t>(s);
  *version = static_cast<int32_t>(v);
  return 0;
}

}  // namespace

int VersionSlack(int a, int b, bool wide) {
  const int larger = a > b ? a : b;
  return wide && larger / 2 > 3 ? larger / 2 : 3;
}

int EstimateModuleSize(FinderRole* f, int32_t widthU, int32_t widthV, bool wide) {
  int64_t sums[4] = {0, 0, 0, 0};
  int32_t counts[4] = {0, 0, 0, 0};
  int64_t offs[2] = {0, 0};
  for (int e = 0; e < 4; e++) {
    int n = f->nedges[e];
    if (n <= 0) continue;
    // The outer quarters at each end are dropped as likely outliers.
    int lo = n >> 2, hi = n - (n >> 2);
    int64_t sum = 0;
    for (int i = lo; i < hi; i++) sum += f->edges[e][i].extent;
    sums[e] = sum;
    counts[e] = hi - lo;
    offs[e >> 1] += DivRound(sum, counts[e]);
  }
  for (int axis = 0; axis < 2; axis++) {
    int lowClass = 2 * axis, highClass = 2 * axis + 1;
    if (f->nedges[lowClass] > 0 && f->nedges[highClass] > 0) {
      // Both edges seen: centre the finder between them.
      int64_t shift = offs[axis] >> 1;
      f->o[axis] += static_cast<int32_t>(shift);
      sums[lowClass] -= shift * counts[lowClass];
      sums[highClass] -= shift * counts[highClass];
    }
  }
  if (AxisEstimate(sums[0], sums[1], counts[0] + counts[1], widthU, &f->size[0],
                   &f->eversion[0]) < 0 ||
      AxisEstimate(sums[2], sums[3], counts[2] + counts[3], widthV, &f->size[1],
                   &f->eversion[1]) < 0) {
    return -1;
  }
  int diff = f->eversion[0] - f->eversion[1];
  const int slack = VersionSlack(f->eversion[0], f->eversion[1], wide);
  return (diff > slack || diff < -slack) ? -2 : 0;
}

}  // namespace qrread
