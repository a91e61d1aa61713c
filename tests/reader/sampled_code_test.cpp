// Codes made by libqrencode, their module matrices sampled directly into
// DecodeSampledCode: the correction caps of small versions. Every version and
// level is read back from our own encoder (checked against zxing) by the
// whole-picture round trip.
#include <gtest/gtest.h>

#include <memory>

#include <qrencode.h>

#include "dec_test_util.h"

namespace {

using dectest::DecodeGrid;
using QrPtr = std::unique_ptr<QRcode, decltype(&QRcode_free)>;

QrPtr Encode(const std::string& text, int version, int level) {
  return QrPtr(QRcode_encodeString8bit(text.c_str(), version, static_cast<QRecLevel>(level)), QRcode_free);
}

// A module grid (rows of GridStride words, 1 = dark) of a libqrencode symbol,
// with one module flipped in each of its first `errors` codewords.
std::vector<uint32_t> GridOf(const QRcode* code, int errors = 0) {
  const int n = code->width, stride = qrread::GridStride(n);
  std::vector<uint32_t> grid(static_cast<size_t>(n * stride), 0);
  for (int i = 0; i < n * n; ++i) grid[i / n * stride + i % n / 32] |= (code->data[i] & 1u) << (i % n % 32);
  for (int k = 0; k < errors; ++k) {
    auto modules = dectest::CodewordModules(code->version, k);
    dectest::FlipModule(&grid, n, modules[k % 8].first, modules[k % 8].second);
  }
  return grid;
}

// The format value of a matrix, from the copy around the upper-left finder.
int FormatOf(const QRcode* code) {
  const std::vector<uint32_t> g = GridOf(code);
  uint32_t a = 0, bit = 0;
  for (int v = 0; v <= 8; ++v) a |= v == 6 ? 0 : uint32_t(dectest::Module(g, code->width, v, 8)) << bit++;
  for (int u = 7; u >= 0; --u) a |= u == 6 ? 0 : uint32_t(dectest::Module(g, code->width, 8, u)) << bit++;
  return qrread::DecodeFormatInfo(a, a);
}

// Codewords a block corrects, per version and level (0 L .. 3 H); all in the
// first block for versions 1 and 2.
TEST(SampledCode, CorrectionCaps) {
  const int rows[][3] = {{1, 0, 2}, {1, 1, 4}, {1, 2, 6}, {1, 3, 8}, {2, 0, 4}, {2, 1, 8}};
  for (const auto& r : rows) {
    QrPtr qr = Encode("cap", r[0], r[1]);
    ASSERT_NE(qr, nullptr);
    const dectest::Decoded ok = DecodeGrid(GridOf(qr.get(), r[2]), r[0], FormatOf(qr.get()));
    EXPECT_EQ(ok.status, 0) << r[0] << " " << r[1];
    EXPECT_EQ(ok.text, "cap");
    EXPECT_EQ(DecodeGrid(GridOf(qr.get(), r[2] + 1), r[0], FormatOf(qr.get())).status, -1) << r[0] << " " << r[1];
  }
}

}  // namespace
