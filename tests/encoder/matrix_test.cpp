// Function patterns and version information of every version against
// libqrencode's symbols, and both copies of the format information (a reader
// that finds one good copy hides a fault in the other). Codeword placement is
// checked by the round trip in oracle_test.cpp.
#include <gtest/gtest.h>
#include <qrencode.h>

#include <utility>
#include <vector>

#include "encoder/matrix.h"
#include "qrcore/qr_standard.h"

namespace {

struct Matrix {
  int size;
  std::vector<uint8_t> cells;
  explicit Matrix(int version) : size(qrstd::SymbolSize(version)), cells(size * size, 0) {
    qr_place_function_patterns(cells.data(), size, version);
  }
  uint8_t at(int r, int c) const { return cells[static_cast<size_t>(r * size + c)]; }
  bool dark(int r, int c) const { return at(r, c) & qrenc::kCellDark; }
};

// libqrencode sets bit 7 on every module that is not data and bit 2 on format
// information, whose colours follow its own mask choice.
TEST(FunctionPatterns, EveryVersionMatchesLibqrencode) {
  for (int v = 1; v <= 40; ++v) {
    Matrix m(v);
    qr_place_version_info(m.cells.data(), m.size, v);
    QRcode* peer = QRcode_encodeString8bit("qrtool", v, QR_ECLEVEL_L);
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(peer->width, m.size);
    int differing = 0;
    for (size_t i = 0; i < m.cells.size(); ++i) {
      const uint8_t theirs = peer->data[i];
      const bool function = (theirs & 0x80) != 0;
      const bool colour = (m.cells[i] & qrenc::kCellDark) != (theirs & 1);
      if (qrenc::IsDataCell(m.cells[i]) == function || (function && !(theirs & 0x04) && colour)) {
        ++differing;
      }
    }
    EXPECT_EQ(differing, 0) << "version " << v;
    QRcode_free(peer);
  }
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

}  // namespace
