// Function patterns, codeword placement, format and version information.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "encoder/matrix.h"
#include "qrcore/qr_standard.h"

namespace {

using qrenc::kCellDark;
using qrenc::kCellFunction;
using qrenc::kCellReserved;

struct Matrix {
  int size;
  std::vector<uint8_t> cells;
  explicit Matrix(int version) : size(qrstd::SymbolSize(version)), cells(size * size, 0) {
    qr_place_function_patterns(cells.data(), size, version);
  }
  uint8_t at(int r, int c) const { return cells[static_cast<size_t>(r * size + c)]; }
  bool dark(int r, int c) const { return at(r, c) & kCellDark; }
};

// '#' dark function, '.' light function, '=' dark reserved, '-' light reserved, ' ' data.
std::string Art(const Matrix& m) {
  std::string art;
  for (int r = 0; r < m.size; ++r) {
    for (int c = 0; c < m.size; ++c) {
      const uint8_t cell = m.at(r, c);
      const bool dark = cell & kCellDark;
      art += (cell & kCellFunction)   ? (dark ? '#' : '.')
             : (cell & kCellReserved) ? (dark ? '=' : '-')
                                      : (cell == 0 ? ' ' : '?');
    }
    art += '\n';
  }
  return art;
}

TEST(FunctionPatterns, VersionOneLayout) {
  const std::string expected =
      "#######.-    .#######\n"
      "#.....#.-    .#.....#\n"
      "#.###.#.-    .#.###.#\n"
      "#.###.#.-    .#.###.#\n"
      "#.###.#.-    .#.###.#\n"
      "#.....#.-    .#.....#\n"
      "#######.=-=-=.#######\n"
      "........-    ........\n"
      "------=-.    --------\n"
      "      -              \n"
      "      =              \n"
      "      -              \n"
      "      =              \n"
      "........=            \n"
      "#######.-            \n"
      "#.....#.-            \n"
      "#.###.#.-            \n"
      "#.###.#.-            \n"
      "#.###.#.-            \n"
      "#.....#.-            \n"
      "#######.-            \n";
  EXPECT_EQ(Art(Matrix(1)), expected);
}

// Alignment centres present in a laid matrix: a dark function centre inside a
// light function ring inside a dark function ring.
int AlignmentPatterns(const Matrix& m, int version) {
  const uint8_t* pos = qrstd::kAlignmentPositions[version - 1];
  int found = 0;
  for (int a = 1; a <= pos[0]; ++a) {
    for (int b = 1; b <= pos[0]; ++b) {
      const int r = pos[a], c = pos[b];
      const bool centre = m.at(r, c) == (kCellFunction | kCellDark);
      const bool lightRing = m.at(r - 1, c - 1) == kCellFunction && m.at(r + 1, c) == kCellFunction;
      const bool darkRing = m.at(r - 2, c + 2) == (kCellFunction | kCellDark) &&
                            m.at(r + 2, c - 1) == (kCellFunction | kCellDark);
      if (centre && lightRing && darkRing) ++found;
    }
  }
  return found;
}

TEST(FunctionPatterns, AlignmentPatternsSkipTheFinderCorners) {
  const int expected[][2] = {{1, 0}, {2, 1}, {7, 6}, {14, 13}, {40, 46}};
  for (const auto& e : expected) EXPECT_EQ(AlignmentPatterns(Matrix(e[0]), e[0]), e[1]) << e[0];
  EXPECT_TRUE(Matrix(2).dark(18, 18));
  // Where an alignment pattern crosses the timing row, the pattern wins.
  const Matrix m(7);
  EXPECT_EQ(m.at(6, 21), kCellFunction);  // the timing flag is replaced
  EXPECT_EQ(m.at(6, 20), kCellFunction | kCellDark);
}

int RemainderBits(int version) {
  if (version >= 2 && version <= 6) return 7;
  if ((version >= 14 && version <= 20) || (version >= 28 && version <= 34)) return 3;
  if (version >= 21 && version <= 27) return 4;
  return 0;
}

// Data cells hold every codeword plus the remainder cells, which stay light
// and end the walk in the leftmost column pair.
TEST(FunctionPatterns, DataCellsHoldAllCodewordsPlusRemainderCells) {
  for (int v = 1; v <= 40; ++v) {
    SCOPED_TRACE("version " + std::to_string(v));
    Matrix m(v);
    int data = 0;
    for (uint8_t cell : m.cells) data += qrenc::IsDataCell(cell) ? 1 : 0;
    EXPECT_EQ(data, 8 * qrstd::TotalCodewords(v) + RemainderBits(v));
    EXPECT_EQ(m.at(m.size - 8, 8), kCellReserved | kCellDark);
    const std::vector<uint8_t> ones(static_cast<size_t>(qrstd::TotalCodewords(v)), 0xFF);
    qr_place_codewords(m.cells.data(), m.size, ones.data(), static_cast<int32_t>(ones.size()));
    int light = 0;
    for (int r = 0; r < m.size; ++r) {
      for (int c = 0; c < m.size; ++c) {
        if (m.at(r, c) != 0) continue;
        ++light;
        EXPECT_LE(c, 1);
      }
    }
    EXPECT_EQ(light, RemainderBits(v));
  }
}

TEST(CodewordPlacement, ZigZagFromTheBottomRight) {
  Matrix m(1);
  std::vector<uint8_t> codewords(26, 0);
  codewords[0] = 0xA0;  // bits 0 and 2: (20, 20) and (19, 20)
  codewords[2] = 0x01;  // last bit of the third codeword: (9, 19)
  codewords[3] = 0x80;  // the fourth starts down the next pair: (9, 18)
  codewords[3] |= 0x10;  // its fourth bit: (10, 17)
  codewords[25] = 0x01;  // the very last bit, down the leftmost pair: (12, 0)
  qr_place_codewords(m.cells.data(), m.size, codewords.data(), 26);
  std::vector<std::pair<int, int>> darkData;
  for (int r = 0; r < m.size; ++r) {
    for (int c = 0; c < m.size; ++c) {
      if (qrenc::IsDataCell(m.at(r, c)) && m.dark(r, c)) darkData.emplace_back(r, c);
    }
  }
  EXPECT_EQ(darkData, (std::vector<std::pair<int, int>>{
                          {9, 18}, {9, 19}, {10, 17}, {12, 0}, {19, 20}, {20, 20}}));
}

uint32_t ReadBits(const Matrix& m, const std::vector<std::pair<int, int>>& cells) {
  uint32_t word = 0;
  for (size_t b = 0; b < cells.size(); ++b) {
    if (m.dark(cells[b].first, cells[b].second)) word |= 1u << b;
  }
  return word;
}

TEST(FormatInfo, BothCopiesCarryTheWordOfLevelAndMask) {
  struct Case { int level; int mask; uint32_t word; };
  for (const Case c : {Case{qrstd::kLevelM, 0, 0x5412}, Case{qrstd::kLevelL, 0, 0x77C4},
                       Case{qrstd::kLevelH, 7, qrstd::kFormatWords[(2 << 3) | 7]},
                       Case{qrstd::kLevelQ, 5, qrstd::kFormatWords[(3 << 3) | 5]}}) {
    for (int v : {1, 12}) {
      Matrix m(v);
      qr_place_format_info(m.cells.data(), m.size, c.level, c.mask);
      std::vector<std::pair<int, int>> first, second;  // bits 0..14 of each copy
      for (int r : {0, 1, 2, 3, 4, 5, 7}) first.emplace_back(r, 8);
      for (int col : {8, 7, 5, 4, 3, 2, 1, 0}) first.emplace_back(8, col);
      for (int i = 0; i < 8; ++i) second.emplace_back(8, m.size - 1 - i);
      for (int i = 7; i >= 1; --i) second.emplace_back(m.size - i, 8);
      EXPECT_EQ(ReadBits(m, first), c.word);
      EXPECT_EQ(ReadBits(m, second), c.word);
      EXPECT_TRUE(m.dark(m.size - 8, 8));  // untouched
      EXPECT_TRUE(m.dark(6, 8));           // timing stays
    }
  }
}

TEST(VersionInfo, BothCopiesCarryTheVersionWord) {
  for (int v : {7, 21, 40}) {
    Matrix m(v);
    qr_place_version_info(m.cells.data(), m.size, v);
    std::vector<std::pair<int, int>> bottomLeft, topRight;
    for (int i = 0; i < 18; ++i) {
      bottomLeft.emplace_back(m.size - 11 + i % 3, i / 3);
      topRight.emplace_back(i / 3, m.size - 11 + i % 3);
    }
    const uint32_t expected = v == 7 ? 0x07C94u : qrstd::kVersionWords[v - 7];
    EXPECT_EQ(ReadBits(m, bottomLeft), expected) << v;
    EXPECT_EQ(ReadBits(m, topRight), expected) << v;
  }
  Matrix small(6);
  const std::vector<uint8_t> before = small.cells;
  qr_place_version_info(small.cells.data(), small.size, 6);
  EXPECT_EQ(small.cells, before);
}

}  // namespace
