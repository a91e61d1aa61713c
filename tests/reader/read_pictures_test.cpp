// Whole pictures through our encoder and qr_read_symbols: every version and
// level turned, warped and noisy; several codes per picture, turned,
// mirrored, light on dark; and the finder-line store that large modules fill.
// The retries for texture and blur are held by the real-picture corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "geom_render.h"
#include "reader/arena.h"
#include "reader/qr_reader.h"
#include "reader/reader_entry.h"

namespace {
using geomtest::DrawCode;
using geomtest::Encode;
using geomtest::Grey;
using geomtest::Read;
using geomtest::Render;
using geomtest::RenderOptions;

Grey Turned(Grey g, int quarters) {
  for (; quarters > 0; --quarters) {
    Grey out(g.height, g.width);
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x) out.at(g.height - 1 - y, x) = g.at(x, y);
    g = out;
  }
  return g;
}

// Every turn, seen from behind (glass, film), printed light on dark, and with
// either format copy painted over (light): the other alone gives the format.
TEST(RoundTripTest, TurnedMirroredInvertedAndOneFormatCopyLeft) {
  const int m = 4, n = 45, x = 50, y = 30;
  Grey g(300, 260);
  ASSERT_EQ(n, DrawCode(&g, "turned", x, y, m, 7, 1));
  std::vector<Grey> sources(4, g);
  for (uint8_t& v : sources[1].px) v = static_cast<uint8_t>(255 - v);
  const int strips[2][2][4] = {{{x + 8 * m, y, m, 9 * m}, {x, y + 8 * m, 8 * m, m}},
                               {{x + (n - 8) * m, y + 8 * m, 8 * m, m}, {x + 8 * m, y + (n - 7) * m, m, 7 * m}}};
  for (int copy = 0; copy < 2; ++copy) {
    for (const auto& f : strips[copy]) sources[2 + copy].Fill(f[0], f[1], f[2], f[3], 230);
  }
  for (int q = 0; q < 8; ++q) {
    for (size_t s = 0; s < sources.size(); ++s) {
      Grey turned = Turned(sources[s], q % 4);
      for (int row = 0; q >= 4 && row < turned.height; ++row)
        std::reverse(&turned.at(0, row), &turned.at(0, row) + turned.width);
      const auto r = Read(turned);
      ASSERT_EQ(1, r.count) << q << " source " << s;
      EXPECT_EQ("turned", r.texts[0]) << q;
    }
  }
}

TEST(RoundTripTest, AtMostSixteenCodesPerPicture) {
  // 20 codes of version 1 at 4 px per module, 5 x 4 on the largest picture.
  Grey g(1280, 1024);
  for (int i = 0; i < 20; ++i) {
    ASSERT_GT(DrawCode(&g, "code " + std::to_string(i), 40 + (i % 5) * 240, 40 + (i / 5) * 240, 4, 1, 1), 0);
  }
  const auto r = Read(g, 32);
  ASSERT_EQ(16, r.count);
  EXPECT_EQ(16u, std::set<std::string>(r.texts.begin(), r.texts.end()).size());  // all different
}


struct Variant {
  const char* name;
  double modulePx, angle, perspective, noise;
};

// Scales of 1 to 8 pixels per module; quarter turns, small and arbitrary
// angles, noise, and keystones: a mild one, and a strong one that puts the
// finders' version estimates more than 3 apart on large codes and moves the
// one alignment pattern of versions 2-6 off the finders' parallelogram.
const Variant kVariants[] = {
    {"4px", 4, 0, 0, 0},          {"3px 90deg", 3, 90, 0, 0},
    {"2.5px 180deg", 2.5, 180, 0, 0}, {"3px 270deg", 3, 270, 0, 0},
    {"3.5px 7deg noise", 3.5, 7, 0, 20}, {"2px", 2, 0, 0, 0},
    {"3px keystone", 3, 0, 0.01, 0}, {"2.5px -20deg noise", 2.5, -20, 0, 30},
    {"4px strong keystone", 4, 0, 0.03, 0}, {"1px", 1, 0, 0, 0},
    {"6px", 6, 0, 0, 0},          {"8px 90deg", 8, 90, 0, 0},
};
constexpr int kVariantCount = sizeof(kVariants) / sizeof(kVariants[0]);

// Encodes a deterministic text filling about two thirds of the code, renders
// it and reads it back; returns an empty string or what went wrong.
std::string RoundTrip(int version, int level, const Variant& var) {
  int32_t caps[4];
  qr_version_capacity(version, caps);
  std::string text = geomtest::Text(size_t(caps[level]) * 2 / 3, uint32_t(version * 7 + level),
                                    "abcdefghijklmnopqrstuvwxyz,;!?");
  auto m = Encode(text, version, level);
  if (m.n == 0) return "encode failed";
  // Past version 30 a keystone still defeats the reader: not covered yet.
  RenderOptions o{.modulePx = var.modulePx, .angleDeg = var.angle, .perspective = version <= 30 ? var.perspective : 0,
                  .noise = var.noise, .seed = uint32_t(version * 31 + level)};
  // Large codes at 4 pixels per module carry more finder-like runs than the
  // scan keeps (1280 per direction): stay at 2.5 pixels there; and every
  // picture within the reader's 1024 rows.
  if (version >= 30 && o.modulePx > 2.5) o.modulePx = 2.5;
  while ((m.n + 8) * o.modulePx * 1.5 > 1000) o.modulePx -= 1;
  auto r = Read(Render(m, o));
  if (r.count != 1) return "found " + std::to_string(r.count);
  return r.texts[0] != text ? "wrong text" : r.versions[0] != version || r.levels[0] != m.level ? "wrong version or level" : "";
}

TEST(GeomRoundTrip, EveryVersionAndLevelUnderTheTransforms) {
  // Each (version, level) pair meets one transform; every transform meets
  // every level and versions all over the range.
  for (int v = 1; v <= 40; v++) {
    for (int level = 0; level < 4; level++) {
      const Variant& var = kVariants[(v + 3 * level) % kVariantCount];
      EXPECT_EQ(RoundTrip(v, level, var), "") << "version " << v << " level " << level << " "
                                              << var.name;
    }
  }
}

TEST(GeomRoundTrip, CodesCutByTheBorderAreSafe) {
  // Codes pushed partly out of a small picture, turned, over clutter: the
  // reader reports a code only with its own text (run under the sanitizers,
  // this also checks that nothing reads outside the picture).
  std::mt19937 rng(7);
  int decoded = 0;
  for (int i = 0; i < 40; i++) {
    std::string text = geomtest::Text(10 + rng() % 60, uint32_t(i), "abcdefghijklmnopqrstuvwxyz");
    auto m = Encode(text, 0, int(rng() % 4));
    ASSERT_GT(m.n, 0);
    RenderOptions o{.modulePx = 2 + (rng() % 5) * 0.5, .angleDeg = double(rng() % 360), .width = 160, .height = 120,
                    .offsetX = double(int(rng() % 121) - 60), .offsetY = double(int(rng() % 91) - 45)};
    o.noise = double(rng() % 30);
    auto r = Read(Render(m, o));
    ASSERT_LE(r.count, 1);
    if (r.count == 1) {
      EXPECT_EQ(r.texts[0], text) << i;
      decoded++;
    }
  }
  // Some of them are whole enough to decode.
  EXPECT_GT(decoded, 3);
}

// The two finder-line counts of `g`'s scan; the vertical lines are stored
// right behind the horizontal ones.
std::pair<int32_t, int32_t> ScanCounts(const Grey& g) {
  const geomtest::ScanTestPicture scan(g);
  const qrread::ReaderArena* arena = scan.arena;
  EXPECT_EQ(arena->lines[1], arena->lines[0] + arena->sink.count[0]);
  return {arena->sink.count[0], arena->sink.count[1]};
}

// A version 34 code at 5 px per module gives far more vertical than
// horizontal lines; turned a quarter, the other way round. The finder scanned
// last in the crowded direction must still get its lines.
TEST(ScaleTest, CrowdedDirectionBorrowsTheOtherDirectionsShare) {
  const RenderOptions o{.modulePx = 5};
  const Grey upright = Render(Encode("hello", 34, 3), o);
  const auto [h, v] = ScanCounts(upright);
  EXPECT_GT(v, qrread::kMaxFinderLines);
  EXPECT_LT(h, qrread::kMaxFinderLines);
  EXPECT_GT(ScanCounts(Turned(upright, 1)).first, qrread::kMaxFinderLines);
  // Columns are scanned under finder-like clusters only, not under the data's.
  EXPECT_LT(ScanCounts(Render(Encode("hello", 26, 3), o)).second, qrread::kMaxFinderLines);
  for (int q = 0; q < 2; ++q) {
    auto r = Read(Turned(upright, q));
    ASSERT_EQ(1, r.count);
    EXPECT_EQ("hello", r.texts[0]) << q;
  }
}

// A picture of nothing but 1:1:3:1:1 runs, across the rows on the left half
// and both ways on the right half, overfills both directions: rows stop
// short of the column pass's own share, columns (scanned where the row runs
// cross them) stop at the store's end.
TEST(ScaleTest, OverfullLineStoreStopsAtItsBounds) {
  Grey g(1280, 1024, 255);
  const bool run[8] = {true, false, true, true, true, false, true, false};
  for (int y = 0; y < g.height; y++)
    for (int x = 0; x < g.width; x++) {
      if (run[(x / 2) % 8] && (x < g.width / 2 || run[(y / 2) % 8])) g.at(x, y) = 0;
    }
  // Rows fill their share; the columns what is left, less the lines dropped
  // at the ends of the rows they scanned.
  const auto [rows, columns] = ScanCounts(g);
  EXPECT_EQ(rows, qrread::kFinderLineStore - qrread::kMaxFinderLines);
  EXPECT_LE(columns, qrread::kMaxFinderLines);
  EXPECT_GT(columns, qrread::kMaxFinderLines / 2);
  EXPECT_EQ(0, Read(g).count);
}

}  // namespace
