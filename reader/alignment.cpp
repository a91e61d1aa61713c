#include "reader/alignment.h"

#include <bit>

#include "reader/vector_units.h"

#if defined(QRREAD_AVX2)
#include <immintrin.h>
#endif

namespace qrread {

namespace {

constexpr int kMaxDifferingModules = 6;

// The 25 projected module centres of the pattern around the prediction.
struct Neighbourhood {
  int32_t pos[25][2];  // module (r, c) at index 5 r + c, quarter pixels
};

uint32_t SampleAt(const Neighbourhood& nb, const int32_t off[2], const BinaryImage& im) {
  uint32_t bits = 0;
  for (int k = 0; k < 25; k++) {
    bits |= uint32_t(PixelDark(im, nb.pos[k][0] + off[0], nb.pos[k][1] + off[1])) << k;
  }
  return bits;
}

#if defined(QRREAD_AVX2)

// SampleAt eight modules a gather: the search samples the same 25 modules at
// hundreds of offsets. The columns and rows are kept apart (32 of each, the
// last seven repeating the first module).
struct GatherNeighbourhood {
  alignas(32) int32_t x[32];
  alignas(32) int32_t y[32];
  int32_t top, bottom;  // the smallest and largest y, quarter pixels
};

void SplitNeighbourhood(const Neighbourhood& nb, GatherNeighbourhood* g) {
  g->top = g->bottom = nb.pos[0][1];
  for (int k = 0; k < 32; k++) {
    g->x[k] = nb.pos[k < 25 ? k : 0][0];
    g->y[k] = nb.pos[k < 25 ? k : 0][1];
    if (g->y[k] < g->top) g->top = g->y[k];
    if (g->y[k] > g->bottom) g->bottom = g->y[k];
  }
}

__attribute__((target("avx2"))) uint32_t SampleAtAvx2(const GatherNeighbourhood& g,
                                                      const int32_t off[2], const BinaryImage& im) {
  const __m256i ox = _mm256_set1_epi32(off[0]), oy = _mm256_set1_epi32(off[1]);
  const __m256i maxX = _mm256_set1_epi32(im.width - 1), maxY = _mm256_set1_epi32(im.height - 1);
  const __m256i width = _mm256_set1_epi32(im.width), zero = _mm256_setzero_si256();
  // Four-byte reads end at the last pixel: a read starts at most three bytes
  // before its pixel, and the pixel's byte is picked out by a shift.
  const __m256i lastRead = _mm256_set1_epi32(im.width * im.height - 4);
  if (im.lazy != nullptr) {
    // The rows the clamped positions fall on.
    auto row = [&](int32_t q) {
      const int32_t y = q >> 2;
      return y < 0 ? 0 : (y >= im.height ? im.height - 1 : y);
    };
    LazyBinaryEnsure(im.lazy, row(g.top + off[1]), row(g.bottom + off[1]) + 1);
  }
  const int* base = reinterpret_cast<const int*>(im.px);
  uint32_t bits = 0;
  for (int k = 0; k < 32; k += 8) {
    __m256i x = _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(g.x + k)), ox), 2);
    __m256i y = _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(g.y + k)), oy), 2);
    x = _mm256_min_epi32(_mm256_max_epi32(x, zero), maxX);
    y = _mm256_min_epi32(_mm256_max_epi32(y, zero), maxY);
    const __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(y, width), x);
    const __m256i start = _mm256_min_epi32(index, lastRead);
    const __m256i shift = _mm256_slli_epi32(_mm256_sub_epi32(index, start), 3);
    const __m256i word = _mm256_i32gather_epi32(base, start, 1);
    const __m256i pixel = _mm256_and_si256(_mm256_srlv_epi32(word, shift), _mm256_set1_epi32(0xFF));
    const __m256i dark = _mm256_cmpgt_epi32(pixel, zero);
    bits |= static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(dark))) << k;
  }
  return bits & ((1u << 25) - 1);
}

bool UseGather(const BinaryImage& im) { return UseAvx2() && int64_t(im.width) * im.height >= 4; }

#endif

int Differing(uint32_t bits) { return std::popcount(bits ^ kAlignmentPattern); }

// One refinement line: end modules, and the modules that must be dark and
// light in the best match for the line to be used.
struct RefineLine {
  uint8_t r0, c0, r1, c1;
  uint32_t dark, light;
};

constexpr uint32_t Bit(int r, int c) { return uint32_t(1) << (5 * r + c); }

// Even entries are outer lines (dark ends, walked to the first light pixel),
// odd entries inner lines (light ends, walked to the first dark pixel).
constexpr RefineLine kLines[8] = {
    {0, 0, 4, 4, Bit(0, 0) | Bit(4, 4), Bit(1, 1) | Bit(3, 3)},
    {1, 1, 3, 3, Bit(2, 2), Bit(1, 1) | Bit(3, 3)},
    {0, 4, 4, 0, Bit(0, 4) | Bit(4, 0), Bit(1, 3) | Bit(3, 1)},
    {1, 3, 3, 1, Bit(2, 2), Bit(1, 3) | Bit(3, 1)},
    {0, 2, 4, 2, Bit(0, 2) | Bit(4, 2), Bit(1, 2) | Bit(3, 2)},
    {1, 2, 3, 2, Bit(2, 2), Bit(1, 2) | Bit(3, 2)},
    {2, 0, 2, 4, Bit(2, 0) | Bit(2, 4), Bit(2, 1) | Bit(2, 3)},
    {2, 1, 2, 3, Bit(2, 2), Bit(2, 1) | Bit(2, 3)},
};

// Centre estimate of one line, in quarter pixels; -1 when the line is unusable.
int LineEstimate(const Neighbourhood& nb, const int32_t off[2], uint32_t bits,
                 const RefineLine& line, int outer, const BinaryImage& im, int32_t est[2]) {
  if ((bits & line.dark) != line.dark || (bits & line.light) != 0) return -1;
  const int32_t* qa = nb.pos[5 * line.r0 + line.c0];
  const int32_t* qb = nb.pos[5 * line.r1 + line.c1];
  int32_t a[2] = {(qa[0] + off[0]) >> 2, (qa[1] + off[1]) >> 2};
  int32_t b[2] = {(qb[0] + off[0]) >> 2, (qb[1] + off[1]) >> 2};
  if (!InsideImage(im, a[0], a[1]) || !InsideImage(im, b[0], b[1])) return -1;
  int32_t pa[2], pb[2];
  int want = outer ? 0 : 1;
  if (FirstOnLine(im, a, b, want, pa) < 0 || FirstOnLine(im, b, a, want, pb) < 0) return -1;
  est[0] = 2 * (pa[0] + pb[0]) + 2;
  est[1] = 2 * (pa[1] + pb[1]) + 2;
  return 0;
}

// Combines the two directions of a pair (diagonals, or vertical and
// horizontal). Each line only sees the offset along itself, so with both
// (perpendicular) directions present the sum of their means is the whole
// offset; it counts with the larger weight. (Weighting it twice would move
// the centre only half way.)
void CombinePair(const int64_t c1[2], int64_t a, const int64_t c2[2], int64_t b,
                 int64_t off[2], int64_t* weight) {
  if (a > 0 && b > 0) {
    int64_t w = a > b ? a : b;
    for (int k = 0; k < 2; k++) off[k] = DivRound(w * (b * c1[k] + a * c2[k]), a * b);
    *weight = w;
  } else {
    for (int k = 0; k < 2; k++) off[k] = c1[k] + c2[k];
    *weight = a + b;
  }
}

// Moves the centre by the weighted line estimates; returns the offset change.
void Refine(const Neighbourhood& nb, const int32_t centre[2], const int32_t off[2],
            uint32_t bits, const BinaryImage& im, int32_t delta[2]) {
  int64_t sums[4][2] = {};
  int64_t weights[4] = {};
  for (int l = 0; l < 8; l++) {
    int outer = (l & 1) == 0;
    int32_t est[2];
    if (LineEstimate(nb, off, bits, kLines[l], outer, im, est) < 0) continue;
    int w = outer ? 1 : 3;
    sums[l >> 1][0] += int64_t(w) * (est[0] - centre[0]);
    sums[l >> 1][1] += int64_t(w) * (est[1] - centre[1]);
    weights[l >> 1] += w;
  }
  int64_t offA[2], offB[2], wA, wB;
  CombinePair(sums[0], weights[0], sums[1], weights[1], offA, &wA);
  CombinePair(sums[2], weights[2], sums[3], weights[3], offB, &wB);
  delta[0] = delta[1] = 0;
  if (wA + wB <= 0) return;
  delta[0] = static_cast<int32_t>(DivRound(offA[0] + offB[0], wA + wB));
  delta[1] = static_cast<int32_t>(DivRound(offA[1] + offB[1], wA + wB));
}

}  // namespace

int FindAlignment(const ProjMap& cell, int32_t u, int32_t v, int32_t radius,
                  const BinaryImage& im, int32_t out[2], int64_t* probes) {
  Neighbourhood nb;
  int32_t cu = ModuleCentre(u), cv = ModuleCentre(v);
  int32_t c0[2];
  ProjMapProject(cell, cu, cv, c0);
  for (int r = 0; r < 5; r++)
    for (int c = 0; c < 5; c++)
      ProjMapProject(cell, cu + 4 * (c - 2), cv + 4 * (r - 2), nb.pos[5 * r + c]);

#if defined(QRREAD_AVX2)
  GatherNeighbourhood gathered;
  const bool gather = UseGather(im);
  if (gather) SplitNeighbourhood(nb, &gathered);
  auto Sample = [&](const int32_t off[2]) {
    return gather ? SampleAtAvx2(gathered, off, im) : SampleAt(nb, off, im);
  };
#else
  auto Sample = [&](const int32_t off[2]) { return SampleAt(nb, off, im); };
#endif
  int32_t bestOff[2] = {0, 0};
  uint32_t bestBits = Sample(bestOff);
  int best = Differing(bestBits);
  int32_t positions = 1;
  // Square spiral, one ring of quarter-module steps at a time.
  for (int32_t k = 1; k <= 4 * radius && best > 0; k++) {
    for (int side = 0; side < 4 && best > 0; side++) {
      for (int32_t t = -k; t < k && best > 0; t++) {
        int32_t du, dv;
        switch (side) {
          case 0: du = t; dv = -k; break;   // top, rightwards
          case 1: du = k; dv = t; break;    // right, downwards
          case 2: du = -t; dv = k; break;   // bottom, leftwards
          default: du = -k; dv = -t; break; // left, upwards
        }
        int32_t p[2];
        ProjMapProject(cell, cu + du, cv + dv, p);
        int32_t off[2] = {p[0] - c0[0], p[1] - c0[1]};
        uint32_t bits = Sample(off);
        positions++;
        int d = Differing(bits);
        if (d < best) {
          best = d;
          bestBits = bits;
          bestOff[0] = off[0];
          bestOff[1] = off[1];
        }
      }
    }
  }
  if (probes != nullptr) *probes += 25 * int64_t(positions);
  if (best > kMaxDifferingModules) return -1;
  int32_t centre[2] = {c0[0] + bestOff[0], c0[1] + bestOff[1]};
  int32_t delta[2];
  Refine(nb, centre, bestOff, bestBits, im, delta);
  if (delta[0] != 0 || delta[1] != 0) {
    int32_t moved[2] = {bestOff[0] + delta[0], bestOff[1] + delta[1]};
    if (Differing(SampleAt(nb, moved, im)) <= best + 1) {
      centre[0] += delta[0];
      centre[1] += delta[1];
    }
  }
  out[0] = centre[0];
  out[1] = centre[1];
  return 0;
}

}  // namespace qrread
