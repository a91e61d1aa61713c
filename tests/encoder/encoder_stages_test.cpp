// The encoder's stages. Characters, mode classification, the double-byte
// split, the bit estimate and the data codewords built from them (the
// Reed-Solomon blocks and their interleaving are checked by the round trip in
// oracle_test.cpp); the penalty score and the choice of mask, which a reader
// decodes whichever it is, so only these tests see a wrong choice.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "encoder/bit_stream.h"
#include "encoder/mask.h"
#include "encoder/matrix.h"
#include "encoder/qr_encoder.h"
#include "encoder/segmentation.h"
#include "qrcore/qr_standard.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<int32_t> Characters(const std::string& bytes, int32_t mode) {
  const auto* text = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  std::vector<int32_t> chars(static_cast<size_t>(qr_count_characters(text, length, mode)));
  EXPECT_EQ(qr_make_characters(text, length, mode, chars.data()),
            static_cast<int32_t>(chars.size()));
  return chars;
}

// Characters after classification and the double-byte split, with their modes.
struct Segmented {
  std::vector<int32_t> chars;
  std::string modes;
};

Segmented Segment(const std::string& bytes, int32_t mode) {
  const std::vector<int32_t> chars = Characters(bytes, mode);
  const auto n = static_cast<int32_t>(chars.size());
  std::vector<char> modes(chars.size());
  qr_classify_modes(chars.data(), n, mode, modes.data());
  std::vector<int32_t> split(2 * chars.size() + 1);
  std::vector<char> splitModes(2 * chars.size() + 1);
  const int32_t m = qr_split_double_bytes(chars.data(), modes.data(), n, split.data(),
                                          splitModes.data());
  return {std::vector<int32_t>(split.begin(), split.begin() + m),
          std::string(splitModes.data(), static_cast<size_t>(m))};
}

std::string Modes(const std::string& bytes, int32_t mode = DATA_MODE) {
  return Segment(bytes, mode).modes;
}

Bytes Codewords(const std::string& bytes, int32_t version, int32_t level, int32_t mode) {
  const Segmented s = Segment(bytes, mode);
  Bytes out(static_cast<size_t>(qrstd::DataCodewords(version, level)));
  qr_build_codewords(version, static_cast<int32_t>(out.size()), s.modes.data(), s.chars.data(),
                     static_cast<int32_t>(s.chars.size()), out.data());
  return out;
}

TEST(Characters, Gb2312ModePairsLeadBytesAndKnowsTheHanziRows) {
  // A lead byte followed by an ASCII byte still pairs with it.
  EXPECT_EQ(Characters("\x81" "A", GB2312_MODE), (std::vector<int32_t>{0x8141}));
  // The last byte must not pair with anything beyond the input.
  EXPECT_EQ(Characters("\xB0\xA1\xB0", GB2312_MODE), (std::vector<int32_t>{0xB0A1, 0xB0}));
  EXPECT_EQ(Characters("\xB0\xA1", DATA_MODE), (std::vector<int32_t>{0xB0, 0xA1}));
  EXPECT_EQ(Characters("\x7F" "A", GB2312_MODE), (std::vector<int32_t>{0x7F, 'A'}));  // ASCII DEL
  // The Hanzi mode's rows: not AB..AF and above FA, second bytes in A1..FE, no GBK extension.
  for (int32_t c : {0xA1A1, 0xAAFE, 0xB0A1, 0xFAFE}) EXPECT_TRUE(qr_is_gb2312(c)) << std::hex << c;
  for (int32_t c : {0xABA1, 0xAFFE, 0xFBA1, 0xB0A0, 0xB0FF, 0x8140}) {
    EXPECT_FALSE(qr_is_gb2312(c)) << std::hex << c;
  }
}

// Modes after every pass and, where given, the bit estimate: each segment
// pays its widest header and its counter restarts with the segment.
TEST(Classification, ModesOfRunsAfterEveryPassAndTheirBits) {
  const std::string h = "\xB0\xA1";  // one GB 2312 character
  const struct { std::string text; int32_t mode; const char* modes; int32_t bits; } cases[] = {
      {"01234567", DATA_MODE, "NNNNNNNN", 45},
      {"12345", DATA_MODE, "BBBBB", -1},  // short digit and alphanumeric runs become byte
      {"123456", DATA_MODE, "NNNNNN", -1},
      {"1234567", DATA_MODE, "NNNNNNN", 18 + 10 + 10 + 4},
      {"1", DATA_MODE, "B", 28},
      {"ABCDE", DATA_MODE, "BBBBB", -1},
      {"ABCDEF", DATA_MODE, "AAAAAA", -1},
      {"AB12345", DATA_MODE, "AAAAAAA", -1},  // the digits join AB
      {"HELLO WORLD", DATA_MODE, "AAAAAAAAAAA", 78},
      {"hello world", DATA_MODE, "BBBBBBBBBBB", 108},
      {"abc123456def", DATA_MODE, "BBBNNNNNNBBB", 20 + 24 + 18 + 20 + 20 + 24},
      {"abc12345def", DATA_MODE, "BBBBBBBBBBB", -1},
      {"http://x/ABCDEF", DATA_MODE, "BBBBBBBBAAAAAAA", -1},
      // Hanzi runs shorter than four after a byte become bytes.
      {"a" + h + h + h, GB2312_MODE, "BBBBBBB", -1},
      {"a" + h + h + h + h, GB2312_MODE, "BGGGG", -1},
      {"1" + h, GB2312_MODE, "BBB", -1},
      {h + h + "abc", GB2312_MODE, "GGBBB", -1},
      {h + h, GB2312_MODE, "GG", 46},
      {"ABCDEF" + h, GB2312_MODE, "AAAAAAG", -1},  // after alphanumeric it stays
      {"123456" + h + "x" + h, GB2312_MODE, "NNNNNNGBBB", -1},
      {"\xB0\xA1\xB0\xA2\xB0\xA3\xB0\xA4\xC8", GB2312_MODE, "GGGGB", -1},  // lone trailing lead byte
      {"\x81\x40" + h + h + h + h, GB2312_MODE, "BBGGGG", -1},  // GBK outside GB 2312: its two bytes
  };
  for (const auto& c : cases) {
    const std::string modes = Modes(c.text, c.mode);
    EXPECT_EQ(modes, c.modes) << c.text;
    if (c.bits >= 0) {
      EXPECT_EQ(qr_estimate_bits(modes.data(), static_cast<int32_t>(modes.size())), c.bits) << c.text;
    }
  }
}

// Data codewords (or their first bytes) for worked examples, a cut terminator
// and padding: what a reader skips over. Segment order, numeric tails and the
// count widths of every version are read back in oracle_test.cpp.
TEST(BitStream, DataCodewords) {
  const std::string hanzi = "\xA1\xA1";  // Hanzi value 0
  Bytes pad = {0x40, 0x13, 0x10};  // a lone digit is a byte: 0100 00000001 00110001 0000
  while (pad.size() < 34) pad.push_back(pad.size() % 2 ? 0xEC : 0x11);
  const struct { std::string text; int32_t version, level, mode; Bytes start; } cases[] = {
      {hanzi, 1, qrstd::kLevelH, GB2312_MODE, {0xD1, 0x01, 0x00, 0x00, 0x00, 0xEC, 0x11, 0xEC, 0x11}},
      // 41 digits take 151 of 152 bits: one bit of terminator fits, the rest is cut.
      {"12345678901234567890123456789012345678901", 1, qrstd::kLevelL, DATA_MODE,
       {0x10, 0xA4, 0x7B, 0x72, 0x31, 0x50, 0x31, 0x59, 0xA9, 0xB8, 0x53, 0xAA, 0x37, 0xDE, 0x87,
        0xB7, 0x23, 0x15, 0x02}},
      {"1", 2, qrstd::kLevelL, DATA_MODE, pad},  // pad codewords alternate from EC
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20) + " at version " + std::to_string(c.version));
    const Bytes cw = Codewords(c.text, c.version, c.level, c.mode);
    ASSERT_GE(cw.size(), c.start.size());
    EXPECT_EQ(Bytes(cw.begin(), cw.begin() + static_cast<long>(c.start.size())), c.start);
  }
  // 17 bytes at version 1 L: 148 bits of 152, the terminator takes the last four, no pad.
  const Bytes full = Codewords(std::string(17, 'z'), 1, qrstd::kLevelL, DATA_MODE);
  EXPECT_EQ(full.front(), 0x41);
  EXPECT_EQ(full.back(), 0xA0);  // low nibble of 'z' (1010), then the terminator
}

// ---- Masks

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
