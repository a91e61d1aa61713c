// Whole pictures through qr_read_symbols: several codes per picture, turned,
// mirrored, light on dark.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "geom_render.h"

namespace {

using geomtest::DrawCode;
using geomtest::Grey;
using geomtest::Read;

Grey Turned(Grey g, int quarters) {
  for (; quarters > 0; --quarters) {
    Grey out(g.height, g.width);
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x) out.at(g.height - 1 - y, x) = g.at(x, y);
    g = out;
  }
  return g;
}

// Every turn, seen from behind (glass, film) and printed light on dark.
TEST(RoundTripTest, TurnedMirroredAndInvertedPicturesStillRead) {
  Grey g(300, 260);
  ASSERT_GT(DrawCode(&g, "turned", 50, 30, 4, 7, 1), 0);
  Grey inverted = g;
  for (uint8_t& v : inverted.px) v = static_cast<uint8_t>(255 - v);
  for (int q = 0; q < 8; ++q) {
    for (const Grey* source : {&g, &inverted}) {
      Grey turned = Turned(*source, q % 4);
      for (int y = 0; q >= 4 && y < turned.height; ++y)
        std::reverse(&turned.at(0, y), &turned.at(0, y) + turned.width);
      const auto r = Read(turned);
      ASSERT_EQ(1, r.count) << q << (source == &g ? "" : " inverted");
      EXPECT_EQ("turned", r.texts[0]) << q;
    }
  }
}

// The lower half's dark modules hatched with light pixels (printed texture,
// halftone): the lower-left finder's lines break up in the picture itself,
// its smoothed half-size copy still shows all three finders, and the code is
// read from the picture.
TEST(RoundTripTest, HatchedModulesReadThroughTheHalfSizeCopy) {
  for (int phase = 0; phase < 2; ++phase) {
    Grey g(300, 260);
    ASSERT_GT(DrawCode(&g, "hatched", 60, 40, 6, 2, 1), 0);
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x)
        if (g.at(x, y) < 128 && y > 130 && (x + y + phase) % 2 == 0) g.at(x, y) = 200;
    const auto r = Read(g);
    ASSERT_EQ(1, r.count) << phase;
    EXPECT_EQ("hatched", r.texts[0]);
  }
}

TEST(RoundTripTest, AtMostSixteenCodesPerPicture) {
  // 20 codes of version 1 at 4 px per module, 5 x 4 on the largest picture.
  Grey g(1280, 1024);
  for (int i = 0; i < 20; ++i) {
    ASSERT_GT(DrawCode(&g, "code " + std::to_string(i), 40 + (i % 5) * 240, 40 + (i / 5) * 240, 4,
                       1, 1), 0);
  }
  const auto r = Read(g, 32);
  ASSERT_EQ(16, r.count);
  for (int i = 0; i < 16; ++i)
    for (int j = i + 1; j < 16; ++j) EXPECT_NE(r.texts[i], r.texts[j]);
  // The front end's eight records are the first eight of the same list.
  const auto eight = Read(g, 8);
  EXPECT_EQ(eight.texts, std::vector<std::string>(r.texts.begin(), r.texts.begin() + 8));
}

}  // namespace
