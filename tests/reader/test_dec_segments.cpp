// The segment limit of one reader call: every numeric, alphanumeric and byte
// segment takes one of the 32 segment text buffers, so a code whose text our
// encoder splits into more than 32 such segments cannot be read, even though
// it is a valid code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#if __has_include(<ZXing/ReadBarcode.h>)
#include <ZXing/ReadBarcode.h>
#define QRTOOL_HAVE_ZXING 1
#endif

#include "dec_test_util.h"
#include "geom_render.h"
#include "reader/qr_reader.h"

namespace {

// Module grid of an encoded matrix, as the sampling stage hands it over.
std::vector<uint32_t> GridOf(const geomtest::Modules& m) {
  const int stride = qrread::GridStride(m.n);
  std::vector<uint32_t> grid(size_t(m.n) * stride, 0);
  for (int r = 0; r < m.n; ++r)
    for (int c = 0; c < m.n; ++c)
      if (m.at(r, c)) grid[size_t(r) * stride + c / 32] |= 1u << (c % 32);
  return grid;
}

struct Outcome {
  int status = 0;      // DecodeSampledCode's result
  std::string text;    // of the whole reader on a picture of the code
  int found = 0;
  std::string peer;    // what zxing-cpp reads from the same picture
};

Outcome DecodeBothWays(const std::string& text, int version, int level) {
  Outcome out;
  geomtest::Modules m = geomtest::Encode(text, version, level);
  EXPECT_EQ(version, m.version);
  EXPECT_LE(level, m.level);  // the encoder raises the level when there is room
  if (m.n == 0) return out;
  std::vector<uint32_t> grid = GridOf(m);
  uint32_t copy1 = 0, copy2 = 0;
  dectest::FormatCopies(grid, m.n, &copy1, &copy2);
  out.status = dectest::DecodeGrid(grid, version, qrread::DecodeFormatInfo(copy1, copy2)).status;

  geomtest::RenderOptions opt;
  opt.modulePx = 3;
  geomtest::Grey g = geomtest::Render(m, opt);
  static DecodeResult results[8];
  out.found = qr_read_symbols(g.px.data(), g.width, g.height, results, 8);
  if (out.found > 0) out.text.assign(reinterpret_cast<const char*>(results[0].data), results[0].length);
#ifdef QRTOOL_HAVE_ZXING
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  ZXing::ImageView view(g.px.data(), g.width, g.height, ZXing::ImageFormat::Lum);
  for (const auto& r : ZXing::ReadBarcodes(view, hints)) {
    if (r.isValid()) out.peer.assign(r.bytes().begin(), r.bytes().end());
  }
#endif
  return out;
}

// "ab" is a byte segment and "123456" a numeric one (digit runs of six and
// more stay numeric), so `units` repetitions make 2 x units segments.
std::string Alternating(int units, bool extra) {
  std::string s;
  for (int i = 0; i < units; ++i) s += "ab123456";
  if (extra) s += "ab";
  return s;
}

TEST(SegmentLimitTest, ThirtyTwoSegmentsReadThirtyThreeDoNot) {
  const std::string fits = Alternating(16, false);  // 32 segments
  Outcome a = DecodeBothWays(fits, 13, 1);
  EXPECT_EQ(0, a.status);
  ASSERT_EQ(1, a.found);
  EXPECT_EQ(fits, a.text);

  const std::string over = Alternating(16, true);   // 33 segments
  Outcome b = DecodeBothWays(over, 13, 1);
  EXPECT_EQ(-2, b.status);  // the stream cannot be parsed: no buffer left
  EXPECT_EQ(0, b.found);
#ifdef QRTOOL_HAVE_ZXING
  EXPECT_EQ(over, b.peer);  // the code itself is sound
#endif
}

// The case first reported: 270 characters of lower case, digits, capitals and
// spaces in a version 13 code at level M. Each "abc " is a byte segment, each
// "123456" numeric and each " XYZWVU " alphanumeric: 45 segments.
TEST(SegmentLimitTest, MixedTextOfManySegmentsIsNotRead) {
  std::string text;
  while (text.size() < 270) text += "abc 123456 XYZWVU ";
  text.resize(270);
  Outcome o = DecodeBothWays(text, 13, 1);
  EXPECT_EQ(-2, o.status);
  EXPECT_EQ(0, o.found);
#ifdef QRTOOL_HAVE_ZXING
  EXPECT_EQ(text, o.peer);
#endif
}

}  // namespace
