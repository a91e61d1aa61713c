#include "reader/homography.h"

namespace qrread {

namespace {

using Int128 = __int128;

Int128 Abs128(Int128 a) { return a < 0 ? -a : a; }

// Scales a homogeneous matrix down by a common power of two so that every
// entry fits in 60 bits (products of two, and sums of three of them, stay
// inside 128 bits); the map it describes is unchanged.
void Normalise(const Int128 m[3][3], int64_t out[3][3]) {
  Int128 largest = 0;
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++)
      if (Abs128(m[r][c]) > largest) largest = Abs128(m[r][c]);
  int shift = 0;
  while ((largest >> shift) >= (Int128(1) << 60)) shift++;
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) out[r][c] = static_cast<int64_t>(m[r][c] >> shift);
}

void Adjugate(const int64_t m[3][3], int64_t out[3][3]) {
  Int128 a[3][3];
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 3; c++) {
      // Cofactor of m[c][r] (transposed).
      int r0 = (c + 1) % 3, r1 = (c + 2) % 3, c0 = (r + 1) % 3, c1 = (r + 2) % 3;
      a[r][c] = Int128(m[r0][c0]) * m[r1][c1] - Int128(m[r0][c1]) * m[r1][c0];
    }
  }
  Normalise(a, out);
}

// Unit square (corner order (0,0), (1,0), (0,1), (1,1)) onto `quad`.
// Returns -1 for a degenerate quadrilateral.
int UnitSquareToQuad(const int32_t q[4][2], Int128 m[3][3]) {
  int64_t dx1 = q[1][0] - q[3][0], dx2 = q[2][0] - q[3][0];
  int64_t dy1 = q[1][1] - q[3][1], dy2 = q[2][1] - q[3][1];
  int64_t sx = int64_t(q[0][0]) - q[1][0] - q[2][0] + q[3][0];
  int64_t sy = int64_t(q[0][1]) - q[1][1] - q[2][1] + q[3][1];
  int64_t d = dx1 * dy2 - dx2 * dy1;
  if (d == 0) return -1;
  int64_t g = sx * dy2 - dx2 * sy;
  int64_t h = dx1 * sy - sx * dy1;
  m[0][0] = Int128(q[1][0] - q[0][0]) * d + Int128(g) * q[1][0];
  m[0][1] = Int128(q[2][0] - q[0][0]) * d + Int128(h) * q[2][0];
  m[0][2] = Int128(q[0][0]) * d;
  m[1][0] = Int128(q[1][1] - q[0][1]) * d + Int128(g) * q[1][1];
  m[1][1] = Int128(q[2][1] - q[0][1]) * d + Int128(h) * q[2][1];
  m[1][2] = Int128(q[0][1]) * d;
  m[2][0] = g;
  m[2][1] = h;
  m[2][2] = d;
  return 0;
}

void Negate(int64_t m[3][3]) {
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) m[r][c] = -m[r][c];
}

Int128 Denominator(const int64_t m[3][3], int64_t u, int64_t v) {
  return Int128(m[2][0]) * u + Int128(m[2][1]) * v + m[2][2];
}

Int128 DivRound128(Int128 a, Int128 b) {
  // Most quotients fit the 64-bit division, which is many times faster.
  constexpr Int128 kHalf = Int128(1) << 62;
  if (a > -kHalf && a < kHalf && b > -kHalf && b < kHalf) {
    return DivRound(static_cast<int64_t>(a), static_cast<int64_t>(b));
  }
  if (b < 0) {
    a = -a;
    b = -b;
  }
  return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

int Apply(const int64_t m[3][3], int64_t u, int64_t v, int32_t out[2]);

bool AllZero(const int64_t m[3][3]) {
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++)
      if (m[r][c] != 0) return false;
  return true;
}

// Fixes the signs so that both maps have positive homogeneous weight at the
// source point (u, v) and its image, and builds the inverse. -1 for a
// singular map.
int Finish(ProjMap* map, int64_t u, int64_t v) {
  if (Denominator(map->fwd, u, v) < 0) Negate(map->fwd);
  Adjugate(map->fwd, map->inv);
  if (AllZero(map->inv)) return -1;
  int32_t p[2];
  if (Apply(map->fwd, u, v, p) < 0) return -1;
  if (Denominator(map->inv, p[0], p[1]) < 0) Negate(map->inv);
  return 0;
}

// The point with homogeneous coordinates (x, y, w), rounded.
int Dehomogenise(Int128 hx, Int128 hy, Int128 w, int32_t out[2]) {
  if (w <= 0) {
    out[0] = out[1] = -(1 << 28);
    return -1;
  }
  Int128 x = DivRound128(hx, w);
  Int128 y = DivRound128(hy, w);
  constexpr Int128 kFar = Int128(1) << 28;
  if (Abs128(x) > kFar || Abs128(y) > kFar) {
    out[0] = out[1] = -(1 << 28);
    return -1;
  }
  out[0] = static_cast<int32_t>(x);
  out[1] = static_cast<int32_t>(y);
  return 0;
}

// The homogeneous coordinates x, y, w of (u, v) under m.
void Homogeneous(const int64_t m[3][3], int64_t u, int64_t v, Int128 h[3]) {
  for (int r = 0; r < 3; r++) h[r] = Int128(m[r][0]) * u + Int128(m[r][1]) * v + m[r][2];
}

int Apply(const int64_t m[3][3], int64_t u, int64_t v, int32_t out[2]) {
  Int128 h[3];
  Homogeneous(m, u, v, h);
  return Dehomogenise(h[0], h[1], h[2], out);
}

}  // namespace

int64_t DivRound(int64_t a, int64_t b) {
  if (b < 0) {
    a = -a;
    b = -b;
  }
  return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

int AffineBits(int width, int height) {
  int extent = (width > height ? width : height) - 1;
  int bits = 0;
  while (extent > 0) {
    bits++;
    extent >>= 1;
  }
  return 28 - bits;
}

int AffineInit(AffineMap* map, const int32_t ul[2], const int32_t ur[2],
               const int32_t dl[2], int bits) {
  map->x0 = ul[0];
  map->y0 = ul[1];
  map->du[0] = ur[0] - ul[0];
  map->du[1] = ur[1] - ul[1];
  map->dv[0] = dl[0] - ul[0];
  map->dv[1] = dl[1] - ul[1];
  map->det = int64_t(map->du[0]) * map->dv[1] - int64_t(map->du[1]) * map->dv[0];
  map->bits = bits;
  return map->det == 0 ? -1 : 0;
}

void AffineProject(const AffineMap& map, int64_t u, int64_t v, int32_t out[2]) {
  int64_t half = int64_t(1) << (map.bits - 1);
  out[0] = map.x0 + static_cast<int32_t>((map.du[0] * u + map.dv[0] * v + half) >> map.bits);
  out[1] = map.y0 + static_cast<int32_t>((map.du[1] * u + map.dv[1] * v + half) >> map.bits);
}

void AffineUnproject(const AffineMap& map, int32_t x, int32_t y, int32_t out[2]) {
  // Far-away positions are clamped so that sums of a few domain values stay
  // inside 32 bits.
  constexpr Int128 kFar = Int128(1) << 29;
  Int128 dx = Int128(x) - map.x0, dy = Int128(y) - map.y0;
  Int128 q[2] = {(dx * map.dv[1] - dy * map.dv[0]) * (Int128(1) << map.bits),
                 (dy * map.du[0] - dx * map.du[1]) * (Int128(1) << map.bits)};
  for (int k = 0; k < 2; k++) {
    Int128 v = DivRound128(q[k], map.det);
    out[k] = static_cast<int32_t>(v > kFar ? kFar : (v < -kFar ? -kFar : v));
  }
}

int ProjMapFromSquare(ProjMap* map, int bits, const int32_t quad[4][2]) {
  Int128 m[3][3];
  if (UnitSquareToQuad(quad, m) < 0) return -1;
  for (int r = 0; r < 3; r++) m[r][2] <<= bits;
  Normalise(m, map->fwd);
  int64_t half = int64_t(1) << (bits - 1);
  return Finish(map, half, half);
}

int ProjMapFromQuads(ProjMap* map, const int32_t src[4][2], const int32_t dst[4][2]) {
  Int128 s[3][3], d[3][3];
  if (UnitSquareToQuad(src, s) < 0 || UnitSquareToQuad(dst, d) < 0) return -1;
  int64_t sn[3][3], dn[3][3], sinv[3][3];
  Normalise(s, sn);
  Normalise(d, dn);
  Adjugate(sn, sinv);
  if (AllZero(sinv)) return -1;
  Int128 m[3][3];
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++)
      m[r][c] = Int128(dn[r][0]) * sinv[0][c] + Int128(dn[r][1]) * sinv[1][c] +
                Int128(dn[r][2]) * sinv[2][c];
  Normalise(m, map->fwd);
  int64_t cu = (int64_t(src[0][0]) + src[1][0] + src[2][0] + src[3][0]) / 4;
  int64_t cv = (int64_t(src[0][1]) + src[1][1] + src[2][1] + src[3][1]) / 4;
  return Finish(map, cu, cv);
}

int ProjMapProject(const ProjMap& map, int32_t u, int32_t v, int32_t out[2]) {
  return Apply(map.fwd, u, v, out);
}

void ProjMapProjectRow(const ProjMap& map, int32_t u0, int32_t du, int32_t v, int32_t count,
                       int32_t (*out)[2]) {
  const int64_t(&m)[3][3] = map.fwd;
  Int128 h[3], step[3];
  Homogeneous(m, u0, v, h);
  for (int r = 0; r < 3; r++) step[r] = Int128(m[r][0]) * du;
  for (int32_t k = 0; k < count; k++) {
    Dehomogenise(h[0], h[1], h[2], out[k]);
    for (int r = 0; r < 3; r++) h[r] += step[r];
  }
}

int ProjMapUnproject(const ProjMap& map, int32_t x, int32_t y, int32_t out[2]) {
  return Apply(map.inv, x, y, out);
}

int ExtrapolateCorner(const int32_t p0[2], const int32_t p1[2], const int32_t p2[2],
                      const int32_t align[2], int n, int32_t out[2]) {
  auto area = [](const int32_t* a, const int32_t* b, const int32_t* c) {
    return (int64_t(b[0]) - a[0]) * (int64_t(c[1]) - a[1]) -
           (int64_t(b[1]) - a[1]) * (int64_t(c[0]) - a[0]);
  };
  // c0 p0 + c1 p1 + c2 p2 + c3 align = 0 in homogeneous coordinates; the
  // module positions then fix the corner's weights.
  Int128 c0 = area(p1, p2, align);
  Int128 c1 = -area(p0, p2, align);
  Int128 c2 = area(p0, p1, align);
  Int128 c3 = -area(p0, p1, p2);
  Int128 den = 6 * c0 - Int128(n - 13) * c3;
  if (den == 0) return -1;
  for (int k = 0; k < 2; k++) {
    Int128 num = Int128(n - 13) * (c1 * p1[k] + c2 * p2[k]) + Int128(n - 7) * c0 * p0[k];
    Int128 q = num / den, r = num % den;
    // Round to nearest.
    if (2 * Abs128(r) >= Abs128(den)) q += ((num < 0) != (den < 0)) ? -1 : 1;
    if (Abs128(q) > (Int128(1) << 28)) return -1;
    out[k] = static_cast<int32_t>(q);
  }
  return 0;
}

}  // namespace qrread
