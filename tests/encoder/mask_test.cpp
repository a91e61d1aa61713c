// The penalty score and the choice of mask: a reader decodes whichever mask is
// chosen, so only these tests see a wrong choice.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "encoder/mask.h"
#include "encoder/matrix.h"
#include "qrcore/qr_standard.h"

namespace {

using Grid = std::vector<uint8_t>;  // size x size, 0 light, 1 dark

// Scoring matrix whose plane 3 is `grid` and every other plane its inverse,
// so that scoring the wrong plane shows.
Grid Planes(const Grid& grid) {
  Grid out(grid.size());
  for (size_t i = 0; i < grid.size(); ++i) out[i] = grid[i] ? 0x08 : 0xF7;
  return out;
}

Grid Checkerboard(int size) {
  Grid g(static_cast<size_t>(size * size));
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) g[static_cast<size_t>(r * size + c)] = (r + c) % 2 == 0;
  }
  return g;
}

int Penalty(const Grid& grid, int size) { return qr_mask_penalty(Planes(grid).data(), size, 3); }

// Runs of one colour and finder-like windows laid over a checkerboard (which
// itself scores 0); a run is (row, column, length, vertical, dark). Lines are
// held 64 modules to a word: some runs and windows cross a word end.
TEST(Penalty, RunsAndFinderLikeWindowsOnACheckerboard) {
  struct Run { int r, c, length; bool vertical; uint8_t dark; };
  const struct { const char* name; int size; std::vector<Run> runs; int penalty; } cases[] = {
      {"plain", 21, {}, 0},
      {"six at a row start", 21, {{0, 0, 6, false, 0}}, 9},  // (0, 6) is dark
      {"five at a row start", 21, {{0, 0, 5, false, 1}}, 0},  // (0, 5) is light
      {"seven inside a row", 21, {{5, 8, 6, false, 0}}, 10},  // (5, 14) is light too
      {"eight ending a column", 21, {{13, 20, 8, true, 0}}, 11},
      {"finder at a row start", 21, {{0, 3, 1, false, 1}}, 40},  // row 0 reads 1011101 0101...
      {"finder ending a row", 21, {{2, 17, 1, false, 1}}, 40},   // row 2 ends 0 1011101
      {"seven ending a row across a word end", 65, {{5, 58, 7, false, 0}}, 10},
      {"nine across a word end", 129, {{6, 62, 8, false, 0}}, 12},  // (6, 61) is light
      {"seven ending a column across the second word end", 129, {{122, 3, 7, true, 0}}, 10},
      {"finder across a word end", 129, {{2, 63, 1, false, 1}}, 40},
      {"finder in a column across the second word end", 129, {{125, 2, 1, true, 1}}, 40},
  };
  for (const auto& c : cases) {
    const int size = c.size;
    Grid g = Checkerboard(size);
    for (const Run& run : c.runs) {
      for (int k = 0; k < run.length; ++k) {
        const int r = run.r + (run.vertical ? k : 0), col = run.c + (run.vertical ? 0 : k);
        g[static_cast<size_t>(r * size + col)] = run.dark;
      }
    }
    EXPECT_EQ(Penalty(g, size), c.penalty) << c.name;
  }
}

TEST(Penalty, DarkProportionTerm) {
  const struct { int dark, size, penalty; } cases[] = {
      {50, 10, 0}, {56, 10, 10}, {44, 10, 10}, {54, 10, 0},
      {46, 10, 0}, {45, 10, 10}, {0, 21, 100}, {441, 21, 100}};
  for (const auto& c : cases) EXPECT_EQ(qr_proportion_penalty(c.dark, c.size), c.penalty) << c.dark;
  // All dark: 100 + runs of 21 in 42 lines at 24 each.
  EXPECT_EQ(Penalty(Grid(21 * 21, 1), 21), 100 + 42 * 24);
  // Two dark modules in every three along both axes: no run over 2, no window,
  // 66 % dark, counted over one to three words a line.
  for (int size : {21, 129, 177}) {
    Grid g(static_cast<size_t>(size * size));
    for (size_t i = 0; i < g.size(); ++i) g[i] = (i / size + i % size) % 3 != 0;
    EXPECT_EQ(Penalty(g, size), 30) << size;
  }
}

// A work matrix of `version` with random codewords placed.
std::vector<uint8_t> RandomSymbol(int version, std::mt19937& rng) {
  const int size = qrstd::SymbolSize(version);
  std::vector<uint8_t> m(static_cast<size_t>(size * size), 0);
  qr_place_function_patterns(m.data(), size, version);
  std::vector<uint8_t> cw(static_cast<size_t>(qrstd::TotalCodewords(version)));
  for (uint8_t& b : cw) b = static_cast<uint8_t>(rng());
  qr_place_codewords(m.data(), size, cw.data(), static_cast<int32_t>(cw.size()));
  return m;
}

Grid Masked(const std::vector<uint8_t>& m, int size, int k) {
  Grid g(m.size());
  for (int i = 0; i < size; ++i) {
    for (int j = 0; j < size; ++j) {
      const uint8_t cell = m[static_cast<size_t>(i * size + j)];
      const bool flip = (cell & 0x30) == 0 && qrstd::DataMaskInverts(k, i, j);
      g[static_cast<size_t>(i * size + j)] = static_cast<uint8_t>((cell & 1) ^ (flip ? 1 : 0));
    }
  }
  return g;
}

TEST(SelectMask, AppliesTheLowestScoringMaskLowestNumberFirst) {
  std::mt19937 rng(77);
  for (int version : {1, 2, 5, 7, 11, 12, 27, 28, 33, 40}) {
    for (int trial = 0; trial < 3; ++trial) {
      std::vector<uint8_t> m = RandomSymbol(version, rng);
      const int size = qrstd::SymbolSize(version);
      int best = -1, bestPenalty = 0;
      for (int k = 0; k < 8; ++k) {
        const int p = Penalty(Masked(m, size, k), size);
        if (best < 0 || p < bestPenalty) {
          best = k;
          bestPenalty = p;
        }
      }
      const Grid expected = Masked(m, size, best);
      const std::vector<uint8_t> before = m;
      ASSERT_EQ(qr_select_mask(m.data(), size), best) << "version " << version;
      for (size_t i = 0; i < m.size(); ++i) {
        ASSERT_EQ(m[i] & 1, expected[i]) << "version " << version << " cell " << i;
        ASSERT_EQ(m[i] & 0xFE, before[i] & 0xFE);  // flags untouched
      }
    }
  }
}

TEST(SelectMask, EqualScoresChooseMaskZero) {
  // Without data cells every mask scores the same.
  const int size = 21;
  std::vector<uint8_t> m(size * size, qrenc::kCellFunction);
  for (size_t i = 0; i < m.size(); i += 3) m[i] |= qrenc::kCellDark;
  const std::vector<uint8_t> before = m;
  EXPECT_EQ(qr_select_mask(m.data(), size), 0);
  EXPECT_EQ(m, before);
}

}  // namespace
