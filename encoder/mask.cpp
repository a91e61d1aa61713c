#include "encoder/mask.h"

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

// Packs the dark and data cells into row and column bit sets, without branches
// on the (random) module values.
void BuildPlanes(const uint8_t* matrix, int32_t size, Planes* p) {
  std::memset(p, 0, sizeof *p);
  for (int32_t i = 0; i < size; ++i) {
    const uint8_t* row = matrix + i * size;
    const int iw = i >> 6;
    const int ib = i & 63;
    for (int32_t j = 0; j < size; ++j) {
      const uint64_t dark = row[j] & qrenc::kCellDark;
      const uint64_t data = qrenc::IsDataCell(row[j]) ? 1 : 0;
      p->darkRows[i].w[j >> 6] |= dark << (j & 63);
      p->dataRows[i].w[j >> 6] |= data << (j & 63);
      p->darkCols[j].w[iw] |= dark << ib;
      p->dataCols[j].w[iw] |= data << ib;
    }
  }
}

template <int W>
Line ShiftDown(const Line& x, int s) {  // bit p of the result = bit p + s of x
  Line y{};
  for (int w = 0; w < W; ++w) y.w[w] = (x.w[w] >> s) | (w + 1 < W ? x.w[w + 1] << (64 - s) : 0);
  return y;
}

// Without a hardware instruction in the baseline target, a library call; this is cheaper.
int DenseCount(uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555u);
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<int>((x * 0x0101010101010101u) >> 56);
}

// Bits set in a word that is mostly zero: long runs and finder-like windows are rare.
int SparseCount(uint64_t x) {
  int n = 0;
  for (; x != 0; x &= x - 1) ++n;
  return n;
}

// Run and finder-like terms of one line; bits at or above the line length are 0,
// `pairMask` has bits 0 .. length - 2 set.
template <int W>
int32_t LinePenalty(const Line& x, const Line& pairMask) {
  const Line x1 = ShiftDown<W>(x, 1);
  const Line x6 = ShiftDown<W>(x, 6);
  Line e{}, a{}, b{};
  for (int w = 0; w < W; ++w) {
    e.w[w] = ~(x.w[w] ^ x1.w[w]) & pairMask.w[w];  // module p equals module p + 1
    a.w[w] = x.w[w] & ~x1.w[w];                     // dark, light at p
    b.w[w] = x.w[w] & x1.w[w];                      // dark, dark at p
  }
  const Line e1 = ShiftDown<W>(e, 1);
  Line t{};
  for (int w = 0; w < W; ++w) t.w[w] = e.w[w] & e1.w[w];
  const Line t2 = ShiftDown<W>(t, 2);
  const Line e4 = ShiftDown<W>(e, 4);
  const Line a4 = ShiftDown<W>(a, 4);
  const Line b2 = ShiftDown<W>(b, 2);
  int32_t sixWindows = 0, longRuns = 0, finders = 0;
  for (int w = 0; w < W; ++w) {
    // u: six equal modules from p on; a run of n > 5 holds n - 5 of them.
    const uint64_t u = t.w[w] & t2.w[w] & e4.w[w];
    const uint64_t equalBefore = (e.w[w] << 1) | (w > 0 ? e.w[w - 1] >> 63 : 0);
    sixWindows += SparseCount(u);
    longRuns += SparseCount(u & ~equalBefore);
    // 1011101 = (10 at p) (11 at p + 2) (10 at p + 4) (1 at p + 6).
    finders += SparseCount(a.w[w] & b2.w[w] & a4.w[w] & x6.w[w]);
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
    for (int w = 0; w < W; ++w) dark += DenseCount(rows[i].w[w]);
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
    uint8_t* row = matrix + i * size;
    for (int32_t j = 0; j < size; ++j) {
      const uint64_t flips = pr.w[j >> 6] & p.dataRows[i].w[j >> 6];
      row[j] ^= static_cast<uint8_t>((flips >> (j & 63)) & 1);
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
