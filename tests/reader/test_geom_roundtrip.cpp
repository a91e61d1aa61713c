// Round trips through our encoder and the whole reader: clean, rotated,
// warped and noisy renderings across versions and levels.
#include <gtest/gtest.h>

#include "geom_render.h"

namespace {

using geomtest::Encode;
using geomtest::Read;
using geomtest::Render;
using geomtest::RenderOptions;

TEST(GeomRoundTrip, CleanSmallCode) {
  auto m = Encode("HELLO WORLD 123", 1, 1);
  ASSERT_GT(m.n, 0);
  RenderOptions o;
  o.modulePx = 4;
  auto r = Read(Render(m, o));
  ASSERT_EQ(r.count, 1);
  EXPECT_EQ(r.texts[0], "HELLO WORLD 123");
  EXPECT_EQ(r.versions[0], 1);
  EXPECT_EQ(r.levels[0], m.level);
}

}  // namespace

namespace {

struct SweepCase {
  double modulePx, angle, perspective, noise;
};

// Decodes every version at every level; returns the failures as text.
std::string Sweep(const SweepCase& sc, int vStep, int vFirst) {
  std::string failures;
  for (int v = vFirst; v <= 40; v += vStep) {
    for (int level = 0; level < 4; level++) {
      int32_t caps[4];
      qr_version_capacity(v, caps);
      std::string text = geomtest::Text(size_t(caps[level]) * 2 / 3, uint32_t(v * 7 + level),
                                        "abcdefghijklmnopqrstuvwxyz,;!?");
      auto m = Encode(text, v, level);
      if (m.n == 0) {
        failures += " enc(v" + std::to_string(v) + "," + std::to_string(level) + ")";
        continue;
      }
      RenderOptions o;
      o.modulePx = sc.modulePx;
      o.angleDeg = sc.angle;
      o.perspective = sc.perspective;
      o.noise = sc.noise;
      o.seed = uint32_t(v * 31 + level);
      auto r = Read(Render(m, o));
      if (r.count != 1 || r.texts[0] != text || r.versions[0] != v) {
        failures += " v" + std::to_string(v) + "/" + "LMQH"[level];
      }
    }
  }
  return failures;
}

TEST(GeomRoundTrip, DiagnosticSweep) {
  const SweepCase cases[] = {{4, 0, 0, 0}, {3, 90, 0, 0}, {2.5, 180, 0, 0}, {4, 270, 0, 0},
                             {3.5, 7, 0, 0}, {4, 0, 0.05, 0}, {4, -20, 0.03, 40}};
  for (const auto& sc : cases) {
    std::string f = Sweep(sc, 1, 1);
    printf("px %.1f angle %.0f persp %.2f noise %.0f: %s\n", sc.modulePx, sc.angle,
           sc.perspective, sc.noise, f.empty() ? "ok" : f.c_str());
  }
}

}  // namespace
