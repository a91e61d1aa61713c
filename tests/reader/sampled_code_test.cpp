// Whole codes made by libqrencode, their module matrices sampled directly into
// DecodeSampledCode and BuildTexts: format, placement, de-interleaving,
// correction caps and the segment modes against an independent encoder.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>

#include <qrencode.h>

#include "dec_test_util.h"

namespace {

using dectest::DecodeGrid;
using dectest::Decoded;

// A module grid (rows of GridStride words, 1 = dark) of a libqrencode symbol.
std::vector<uint32_t> GridOf(const QRcode* code) {
  const int n = code->width;
  const int stride = qrread::GridStride(n);
  std::vector<uint32_t> grid(static_cast<size_t>(n * stride), 0);
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      if (code->data[r * n + c] & 1) grid[r * stride + c / 32] |= 1u << (c % 32);
    }
  }
  return grid;
}

struct QrFree {
  void operator()(QRcode* c) const { QRcode_free(c); }
};
using QrPtr = std::unique_ptr<QRcode, QrFree>;

QRecLevel Level(int l) { return static_cast<QRecLevel>(l); }

// The format value of a matrix, from the copy around the upper-left finder.
int FormatOf(const std::vector<uint32_t>& g, int n) {
  uint32_t a = 0, bit = 0;
  for (int v = 0; v <= 8; ++v) a |= v == 6 ? 0 : uint32_t(dectest::Module(g, n, v, 8)) << bit++;
  for (int u = 7; u >= 0; --u) a |= u == 6 ? 0 : uint32_t(dectest::Module(g, n, 8, u)) << bit++;
  return qrread::DecodeFormatInfo(a, a);
}

Decoded DecodeQr(const QRcode* qr) {
  std::vector<uint32_t> grid = GridOf(qr);
  int format = FormatOf(grid, qr->width);
  EXPECT_GE(format, 0);
  return DecodeGrid(grid, qr->version, format);
}

std::string TestText(int length, std::mt19937* rng, bool binary) {
  std::string s;
  for (int i = 0; i < length; ++i) {
    s.push_back(binary ? static_cast<char>(1 + (*rng)() % 255)
                       : "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefgh"[(*rng)() % 45]);
  }
  return s;
}

// Every version and level, with texts that fill a good part of the symbol
// (libqrencode chooses numeric, alphanumeric and byte segments).
TEST(SampledCode, LibqrencodeSymbolsOfEveryVersionAndLevel) {
  std::mt19937 rng(7);
  for (int version = 1; version <= 40; ++version) {
    for (int level = 0; level < 4; ++level) {
      int capacity = qrstd::DataCodewords(version, level);
      std::string text = TestText(capacity / 2, &rng, (version + level) % 3 == 0);
      QrPtr qr(QRcode_encodeString8bit(text.c_str(), version, Level(level)));
      ASSERT_NE(qr, nullptr);
      ASSERT_EQ(qr->version, version);
      Decoded d = DecodeQr(qr.get());
      ASSERT_EQ(d.status, 0) << "version " << version << " level " << level;
      EXPECT_EQ(d.version, version);
      EXPECT_EQ(d.level, level);
      EXPECT_EQ(d.text, text) << "version " << version << " level " << level;
    }
  }
}

// Flips one module of each of `count` codewords (all in the first block for
// versions 1 and 2).
std::vector<uint32_t> WithCodewordErrors(const QRcode* qr, int count) {
  std::vector<uint32_t> grid = GridOf(qr);
  for (int k = 0; k < count; ++k) {
    auto modules = dectest::CodewordModules(qr->version, k);
    dectest::FlipModule(&grid, qr->width, modules[k % 8].first, modules[k % 8].second);
  }
  return grid;
}

// Codewords a block corrects, per version and level (0 L .. 3 H).
TEST(SampledCode, CorrectionCaps) {
  const int rows[][3] = {{1, 0, 2}, {1, 1, 4}, {1, 2, 6}, {1, 3, 8}, {2, 0, 4}, {2, 1, 8}};
  for (const auto& r : rows) {
    QrPtr qr(QRcode_encodeString8bit("cap", r[0], Level(r[1])));
    ASSERT_NE(qr, nullptr);
    const int format = FormatOf(GridOf(qr.get()), qr->width);
    Decoded ok = DecodeGrid(WithCodewordErrors(qr.get(), r[2]), r[0], format);
    EXPECT_EQ(ok.status, 0) << r[0] << " " << r[1];
    EXPECT_EQ(ok.text, "cap");
    EXPECT_EQ(DecodeGrid(WithCodewordErrors(qr.get(), r[2] + 1), r[0], format).status, -1)
        << r[0] << " " << r[1];
  }
}

// Writes codewords (one block: version 1) over a matrix with the format's mask.
void WriteCodewords(std::vector<uint32_t>* grid, int version, int format,
                    const std::vector<uint8_t>& codewords) {
  const int n = qrstd::SymbolSize(version);
  for (size_t k = 0; k < codewords.size(); ++k) {
    auto modules = dectest::CodewordModules(version, static_cast<int>(k));
    for (int b = 0; b < 8; ++b) {
      auto [i, j] = modules[b];
      const bool masked = qrstd::DataMaskInverts(format & 7, i, j);
      const bool dark = ((codewords[k] >> (7 - b)) & 1) != masked;
      if (dectest::Module(*grid, n, i, j) != dark) dectest::FlipModule(grid, n, i, j);
    }
  }
}

TEST(SampledCode, UnparseableStreamReportsMinusTwoWithLevel) {
  QrPtr qr(QRcode_encodeString8bit("x", 1, QR_ECLEVEL_Q));
  std::vector<uint32_t> grid = GridOf(qr.get());
  const int format = FormatOf(grid, qr->width);
  // Data: mode 0110, then zeros; 13 data codewords at 1-Q.
  std::vector<uint8_t> data(13, 0);
  data[0] = 0x60;
  WriteCodewords(&grid, 1, format, dectest::RsEncode(data, 13));
  dectest::TestPools pools;
  qrread::CodeData code{};
  std::vector<uint8_t> scratch(2 * 3706);
  EXPECT_EQ(qrread::DecodeSampledCode(&code, pools.get(), qrstd::Gf256Tables(), 1, format,
                                      grid.data(), scratch.data()),
            -2);
  EXPECT_EQ(code.version, 1);
  EXPECT_EQ(code.ecLevel, 2);
  EXPECT_EQ(pools.get()->entriesUsed, 0);
  EXPECT_EQ(pools.get()->segmentsInUse, 0u);
}

}  // namespace
