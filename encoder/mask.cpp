#include "encoder/mask.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "encoder/matrix.h"

// Every line of the matrix (a row or a column) is held as a bit set, bit j =
// module j, so that runs and finder-like windows are counted for 64 modules at
// a time. Masked lines come from the unmasked ones by XOR with a precomputed
// pattern, so all eight candidates are scored without building eight matrices.

namespace {

constexpr int kWords = 3;  // 177 modules fit in three 64-bit words
constexpr int kPeriod = 12;  // every mask condition repeats with the row (column) mod 12

struct Line {
  uint64_t w[kWords];
};

// rows[k][i % 12]: bit j set when mask k inverts (i, j); cols[k][j % 12]: bit i.
struct PatternTable {
  Line rows[8][kPeriod];
  Line cols[8][kPeriod];
};

constexpr PatternTable BuildPatterns() {
  PatternTable t{};
  for (int k = 0; k < 8; ++k) {
    for (int r = 0; r < kPeriod; ++r) {
      for (int j = 0; j < 64 * kWords; ++j) {
        if (qr_mask_condition(k, r, j)) t.rows[k][r].w[j >> 6] |= uint64_t{1} << (j & 63);
        if (qr_mask_condition(k, j, r)) t.cols[k][r].w[j >> 6] |= uint64_t{1} << (j & 63);
      }
    }
  }
  return t;
}

constexpr PatternTable kPatterns = BuildPatterns();

struct Planes {
  Line darkRows[qrenc::kMaxSize];
  Line dataRows[qrenc::kMaxSize];
  Line darkCols[qrenc::kMaxSize];
  Line dataCols[qrenc::kMaxSize];
};

void SetBit(Line& line, int32_t bit) { line.w[bit >> 6] |= uint64_t{1} << (bit & 63); }

void BuildPlanes(const uint8_t* matrix, int32_t size, Planes* p) {
  std::memset(p, 0, sizeof *p);
  for (int32_t i = 0; i < size; ++i) {
    const uint8_t* row = matrix + i * size;
    for (int32_t j = 0; j < size; ++j) {
      if (row[j] & qrenc::kCellDark) {
        SetBit(p->darkRows[i], j);
        SetBit(p->darkCols[j], i);
      }
      if (qrenc::IsDataCell(row[j])) {
        SetBit(p->dataRows[i], j);
        SetBit(p->dataCols[j], i);
      }
    }
  }
}

template <int W>
Line ShiftDown(const Line& x, int s) {  // bit p of the result = bit p + s of x
  Line y{};
  for (int w = 0; w < W; ++w) y.w[w] = (x.w[w] >> s) | (w + 1 < W ? x.w[w + 1] << (64 - s) : 0);
  return y;
}

// Run and finder-like terms of one line; bits at or above the line length are 0,
// `pairMask` has bits 0 .. length - 2 set.
template <int W>
int32_t LinePenalty(const Line& x, const Line& pairMask) {
  Line s[7];
  s[0] = x;
  for (int k = 1; k <= 6; ++k) s[k] = ShiftDown<W>(x, k);
  Line e{};  // bit p: module p equals module p + 1
  for (int w = 0; w < W; ++w) e.w[w] = ~(x.w[w] ^ s[1].w[w]) & pairMask.w[w];
  Line e1 = ShiftDown<W>(e, 1), e2 = ShiftDown<W>(e, 2), e3 = ShiftDown<W>(e, 3),
       e4 = ShiftDown<W>(e, 4);
  int32_t sixWindows = 0, longRuns = 0, finders = 0;
  for (int w = 0; w < W; ++w) {
    // u: a window of six equal modules starts at p; a run of n > 5 has n - 5 of them.
    const uint64_t u = e.w[w] & e1.w[w] & e2.w[w] & e3.w[w] & e4.w[w];
    const uint64_t equalBefore = (e.w[w] << 1) | (w > 0 ? e.w[w - 1] >> 63 : 0);
    sixWindows += std::popcount(u);
    longRuns += std::popcount(u & ~equalBefore);
    const uint64_t f = s[0].w[w] & ~s[1].w[w] & s[2].w[w] & s[3].w[w] & s[4].w[w] &
                       ~s[5].w[w] & s[6].w[w];
    finders += std::popcount(f);
  }
  // 3 + n per long run = (n - 5) + 8.
  return sixWindows + 8 * longRuns + 40 * finders;
}

Line LowBits(int32_t n) {
  Line m{};
  for (int32_t b = 0; b < n; ++b) SetBit(m, b);
  return m;
}

template <int W>
int32_t ScoreLines(const Line* rows, const Line* cols, int32_t size) {
  const Line pairMask = LowBits(size - 1);
  int32_t penalty = 0;
  int32_t dark = 0;
  for (int32_t i = 0; i < size; ++i) {
    penalty += LinePenalty<W>(rows[i], pairMask) + LinePenalty<W>(cols[i], pairMask);
    for (int w = 0; w < W; ++w) dark += std::popcount(rows[i].w[w]);
  }
  return penalty + qr_proportion_penalty(dark, size);
}

int32_t Score(const Line* rows, const Line* cols, int32_t size) {
  if (size <= 64) return ScoreLines<1>(rows, cols, size);
  if (size <= 128) return ScoreLines<2>(rows, cols, size);
  return ScoreLines<3>(rows, cols, size);
}

// The lines of the matrix under mask k.
void MaskLines(const Planes& p, int32_t size, int k, Line* rows, Line* cols) {
  for (int32_t i = 0; i < size; ++i) {
    const Line& pr = kPatterns.rows[k][i % kPeriod];
    const Line& pc = kPatterns.cols[k][i % kPeriod];
    for (int w = 0; w < kWords; ++w) {
      rows[i].w[w] = p.darkRows[i].w[w] ^ (pr.w[w] & p.dataRows[i].w[w]);
      cols[i].w[w] = p.darkCols[i].w[w] ^ (pc.w[w] & p.dataCols[i].w[w]);
    }
  }
}

void ApplyMask(uint8_t* matrix, int32_t size, const Planes& p, int k) {
  for (int32_t i = 0; i < size; ++i) {
    const Line& pr = kPatterns.rows[k][i % kPeriod];
    for (int32_t j = 0; j < size; ++j) {
      const uint64_t bit = uint64_t{1} << (j & 63);
      if (pr.w[j >> 6] & p.dataRows[i].w[j >> 6] & bit) matrix[i * size + j] ^= qrenc::kCellDark;
    }
  }
}

}  // namespace

int32_t qr_proportion_penalty(int32_t dark, int32_t size) {
  const int32_t percent = 100 * dark / (size * size);
  return 10 * (std::abs(percent - 50) / 5);
}

int32_t qr_mask_penalty(const uint8_t* scoring, int32_t size, int32_t mask) {
  Line rows[qrenc::kMaxSize] = {};
  Line cols[qrenc::kMaxSize] = {};
  for (int32_t i = 0; i < size; ++i) {
    for (int32_t j = 0; j < size; ++j) {
      if ((scoring[i * size + j] >> mask) & 1) {
        SetBit(rows[i], j);
        SetBit(cols[j], i);
      }
    }
  }
  return Score(rows, cols, size);
}

int32_t qr_select_mask(uint8_t* matrix, int32_t size) {
  Planes planes;
  BuildPlanes(matrix, size, &planes);
  Line rows[qrenc::kMaxSize];
  Line cols[qrenc::kMaxSize];
  int32_t best = 0;
  int32_t bestPenalty = 0;
  for (int k = 0; k < 8; ++k) {
    MaskLines(planes, size, k, rows, cols);
    const int32_t penalty = Score(rows, cols, size);
    if (k == 0 || penalty < bestPenalty) {
      best = k;
      bestPenalty = penalty;
    }
  }
  ApplyMask(matrix, size, planes, best);
  return best;
}
