#include "reader/line_fit.h"

#include "reader/isaac.h"

namespace qrread {

namespace {

constexpr int kNormalBits = 14;
// Bits kept in the scatter terms before squaring them.
constexpr int kScatterBits = 30;

int64_t Abs(int64_t a) { return a < 0 ? -a : a; }

int64_t Cross(const int32_t p0[2], const int32_t p1[2], const int32_t q[2]) {
  return (int64_t(p1[0]) - p0[0]) * (int64_t(q[1]) - p0[1]) -
         (int64_t(p1[1]) - p0[1]) * (int64_t(q[0]) - p0[0]);
}

// Sets a line with normal direction (nx, ny), scaled to length 2^14, through
// the point (sx / n, sy / n).
int SetLine(int64_t nx, int64_t ny, int64_t sx, int64_t sy, int64_t n, EdgeLine* line) {
  while (Abs(nx) >= (int64_t(1) << 31) || Abs(ny) >= (int64_t(1) << 31)) {
    nx >>= 1;
    ny >>= 1;
  }
  uint64_t len = Isqrt64(uint64_t(nx * nx) + uint64_t(ny * ny));
  if (len == 0) return -1;
  line->a = DivRound(nx << kNormalBits, int64_t(len));
  line->b = DivRound(ny << kNormalBits, int64_t(len));
  line->c = -DivRound(line->a * sx + line->b * sy, n);
  return 0;
}

}  // namespace

uint32_t Isqrt64(uint64_t value) {
  uint64_t root = 0;
  uint64_t bit = uint64_t(1) << 62;
  while (bit > value) bit >>= 2;
  while (bit != 0) {
    if (value >= root + bit) {
      value -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  return static_cast<uint32_t>(root);
}

void LineSumsClear(LineSums* sums) { *sums = LineSums{0, 0, 0, 0, 0, 0}; }

void LineSumsAdd(LineSums* sums, int32_t x, int32_t y) {
  sums->n++;
  sums->sx += x;
  sums->sy += y;
  sums->sxx += int64_t(x) * x;
  sums->syy += int64_t(y) * y;
  sums->sxy += int64_t(x) * y;
}

int FitLine(const LineSums& s, EdgeLine* line) {
  if (s.n < 2) return -1;
  // n^2 times the covariance terms, exact in 64 bits for the reader's ranges.
  int64_t cxx = s.n * s.sxx - s.sx * s.sx;
  int64_t cyy = s.n * s.syy - s.sy * s.sy;
  int64_t cxy = s.n * s.sxy - s.sx * s.sy;
  int64_t dxx = cxx - cyy;
  int64_t dxy = 2 * cxy;
  while (Abs(dxx) >= (int64_t(1) << kScatterBits) || Abs(dxy) >= (int64_t(1) << kScatterBits)) {
    dxx >>= 1;
    dxy >>= 1;
  }
  int64_t r = Isqrt64(uint64_t(dxx * dxx) + uint64_t(dxy * dxy));
  int64_t ux, uy;  // principal axis: half the angle of (dxx, dxy)
  if (r == 0) {
    return -1;  // coincident points or an isotropic scatter: no axis
  } else if (dxx >= 0) {
    ux = dxx + r;
    uy = dxy;
  } else {
    ux = dxy;
    uy = r - dxx;
  }
  return SetLine(-uy, ux, s.sx, s.sy, s.n, line);
}

int LineThrough(const int32_t p0[2], const int32_t p1[2], EdgeLine* line) {
  int64_t dx = int64_t(p1[0]) - p0[0], dy = int64_t(p1[1]) - p0[1];
  if (dx == 0 && dy == 0) return -1;
  return SetLine(-dy, dx, int64_t(p0[0]) + p1[0], int64_t(p0[1]) + p1[1], 2, line);
}

void OrientLine(EdgeLine* line, const int32_t ref[2]) {
  if (LineEval(*line, ref[0], ref[1]) < 0) {
    line->a = -line->a;
    line->b = -line->b;
    line->c = -line->c;
  }
}

int IntersectLines(const EdgeLine& l0, const EdgeLine& l1, int32_t out[2]) {
  __int128 det = __int128(l0.a) * l1.b - __int128(l1.a) * l0.b;
  if (det == 0) return -1;
  __int128 nx = __int128(l0.b) * l1.c - __int128(l1.b) * l0.c;
  __int128 ny = __int128(l1.a) * l0.c - __int128(l0.a) * l1.c;
  __int128 lim = __int128(1) << 28;
  for (int k = 0; k < 2; k++) {
    __int128 num = k == 0 ? nx : ny, d = det;
    if (d < 0) {
      num = -num;
      d = -d;
    }
    __int128 q = num >= 0 ? (num + d / 2) / d : -((-num + d / 2) / d);
    if (q > lim || q < -lim) return -1;
    out[k] = static_cast<int32_t>(q);
  }
  return 0;
}

int RansacEdge(EdgePoint* pts, int n, int edgeClass, const AffineMap& map, IsaacState* rng) {
  if (n < 2) return 0;
  // Inlier marks live above the class bits of `edge` during the search.
  constexpr int32_t kCurrent = 4, kBest = 8, kClassMask = 3;
  int axis = edgeClass >> 1;
  int best = 0;
  int maxIters = 17;
  for (int iter = 0; iter < maxIters; iter++) {
    uint32_t i0 = IsaacBelow(rng, uint32_t(n));
    uint32_t i1 = IsaacBelow(rng, uint32_t(n - 1));
    if (i1 >= i0) i1++;
    const int32_t* p0 = pts[i0].pos;
    const int32_t* p1 = pts[i1].pos;
    int32_t q0[2], q1[2];
    AffineUnproject(map, p0[0], p0[1], q0);
    AffineUnproject(map, p1[0], p1[1], q1);
    if (Abs(int64_t(q0[axis]) - q1[axis]) > Abs(int64_t(q0[1 - axis]) - q1[1 - axis])) continue;
    int64_t dx = int64_t(p1[0]) - p0[0], dy = int64_t(p1[1]) - p0[1];
    int64_t thresh = Isqrt64(uint64_t(dx * dx + dy * dy) << 5);
    int count = 0;
    for (int j = 0; j < n; j++) {
      if (Abs(Cross(p0, p1, pts[j].pos)) <= thresh) {
        pts[j].edge |= kCurrent;
        count++;
      } else {
        pts[j].edge &= ~kCurrent;
      }
    }
    if (count > best) {
      best = count;
      for (int j = 0; j < n; j++) {
        pts[j].edge = (pts[j].edge & kCurrent) ? (pts[j].edge | kBest) : (pts[j].edge & ~kBest);
      }
      // Enough draws for a clean pair with high probability at this inlier rate.
      if (count > (n >> 1)) maxIters = (67 * n - 63 * count - 1) / (2 * n);
    }
  }
  int front = 0;
  for (int j = 0; j < n; j++) {
    if (pts[j].edge & kBest) {
      EdgePoint t = pts[front];
      pts[front] = pts[j];
      pts[j] = t;
      front++;
    }
  }
  for (int j = 0; j < n; j++) pts[j].edge &= kClassMask;
  return best;
}

}  // namespace qrread
