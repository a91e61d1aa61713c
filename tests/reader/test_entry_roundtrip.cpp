// Whole pictures through qr_read_symbols: several codes per picture, turned,
// mirrored, light on dark, at the size limit, low contrast.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "reader/qr_reader.h"
#include "scan_test_images.h"

namespace qrread {
namespace {

using testimg::DrawCode;
using testimg::Grey;

std::string Text(const DecodeResult& r) {
  return std::string(reinterpret_cast<const char*>(r.data), r.length);
}

std::vector<DecodeResult> Read(const Grey& g, int maxResults = 8, int32_t* count = nullptr) {
  std::vector<DecodeResult> r(static_cast<size_t>(maxResults > 0 ? maxResults : 1));
  const int32_t n = qr_read_symbols(g.px.data(), g.width, g.height, r.data(), maxResults);
  if (count != nullptr) *count = n;
  r.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return r;
}

Grey Turned(const Grey& g, int quarter) {
  Grey out(quarter % 2 ? g.height : g.width, quarter % 2 ? g.width : g.height);
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x) {
      int nx = x, ny = y;
      if (quarter == 1) nx = g.height - 1 - y, ny = x;
      if (quarter == 2) nx = g.width - 1 - x, ny = g.height - 1 - y;
      if (quarter == 3) nx = y, ny = g.width - 1 - x;
      out.px[size_t(ny) * out.width + nx] = g.px[size_t(y) * g.width + x];
    }
  return out;
}

Grey Mirrored(Grey g) {
  for (int y = 0; y < g.height; ++y) {
    uint8_t* row = g.px.data() + size_t(y) * g.width;
    std::reverse(row, row + g.width);
  }
  return g;
}

// Every turn, seen from behind (glass, film) and printed light on dark.
TEST(RoundTripTest, TurnedMirroredAndInvertedPicturesStillRead) {
  Grey g(300, 260);
  ASSERT_GT(DrawCode(&g, "turned", 50, 30, 4, 7, 2), 0);
  Grey inverted = g;
  for (uint8_t& v : inverted.px) v = static_cast<uint8_t>(255 - v);
  for (int q = 0; q < 8; ++q) {
    for (const Grey* source : {&g, &inverted}) {
      const Grey turned = Turned(*source, q % 4);
      const auto r = Read(q < 4 ? turned : Mirrored(turned));
      ASSERT_EQ(1u, r.size()) << q << (source == &g ? "" : " inverted");
      EXPECT_EQ("turned", Text(r[0])) << q;
    }
  }
}

TEST(RoundTripTest, TwoCodesTwoRecordsAndMaxResultsOne) {
  Grey g(640, 300);
  ASSERT_GT(DrawCode(&g, "left code", 30, 40, 5, 2, 2), 0);
  ASSERT_GT(DrawCode(&g, "right code", 360, 60, 5, 2, 2), 0);
  const auto all = Read(g);
  ASSERT_EQ(2u, all.size());
  EXPECT_NE(Text(all[0]), Text(all[1]));
  for (const auto& r : all) EXPECT_TRUE(Text(r) == "left code" || Text(r) == "right code");
  // Only the head of the list is written, in a record of its own.
  std::vector<DecodeResult> one(2);
  std::memset(one.data(), 0x5A, sizeof(DecodeResult) * 2);
  ASSERT_EQ(1, qr_read_symbols(g.px.data(), g.width, g.height, one.data(), 1));
  EXPECT_EQ(Text(all[0]), Text(one[0]));
  EXPECT_EQ(0x5A, one[1].data[0]);
  // Same picture, same answer.
  const auto again = Read(g);
  ASSERT_EQ(2u, again.size());
  EXPECT_EQ(0, std::memcmp(all.data(), again.data(), sizeof(DecodeResult) * 2));
}

TEST(RoundTripTest, AtMostSixteenCodesPerPicture) {
  // 20 codes of version 1 at 4 px per module, 5 x 4 on the largest picture.
  Grey g(1280, 1024);
  for (int i = 0; i < 20; ++i) {
    ASSERT_GT(DrawCode(&g, "code " + std::to_string(i), 40 + (i % 5) * 240,
                       40 + (i / 5) * 240, 4, 1, 2), 0);
  }
  int32_t n = 0;
  const auto r = Read(g, 32, &n);
  ASSERT_EQ(16, n);
  for (int i = 0; i < 16; ++i)
    for (int j = i + 1; j < 16; ++j) EXPECT_NE(Text(r[i]), Text(r[j]));
  // The front end's eight records are the first eight of the same list.
  const auto eight = Read(g, 8, &n);
  ASSERT_EQ(8, n);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Text(r[i]), Text(eight[i]));
}

TEST(RoundTripTest, LargestPictureAndCodeAtTheBorder) {
  Grey g(1280, 1024);
  ASSERT_GT(DrawCode(&g, "bottom right", 1280 - 33 * 6, 1024 - 33 * 6, 6, 4, 1), 0);
  const auto r = Read(g);
  ASSERT_EQ(1u, r.size());
  EXPECT_EQ("bottom right", Text(r[0]));
}

TEST(RoundTripTest, LowContrastUnderUnevenLight) {
  Grey g(320, 320);
  ASSERT_GT(DrawCode(&g, "dim and uneven", 40, 40, 6, 3, 2), 0);
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x) {
      uint8_t& v = g.px[size_t(y) * g.width + x];
      // 20/230 squeezed to a 24-level swing on a slope of 60 levels.
      v = static_cast<uint8_t>(90 + (v - 20) * 24 / 210 + (x + y) * 60 / 640);
    }
  const auto r = Read(g);
  ASSERT_EQ(1u, r.size());
  EXPECT_EQ("dim and uneven", Text(r[0]));
}

}  // namespace
}  // namespace qrread
