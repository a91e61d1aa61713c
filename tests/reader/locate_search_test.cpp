// The triple search and configuration test driven directly, with finder
// centres built from the known geometry of rendered codes: collinear
// triples, the failure budget, nested codes, the re-thresholding retry, and
// the alignment pattern search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "geom_render.h"
#include "reader/alignment.h"
#include "reader/arena.h"
#include "reader/binarize.h"
#include "reader/decode_stages.h"
#include "reader/isaac.h"
#include "reader/locate.h"
#include "reader/locate_scratch.h"
#include "reader/reader_entry.h"

namespace {

using namespace qrread;
using geomtest::Grey;
using geomtest::Modules;
using geomtest::RenderOptions;

// Finder centres with the edge points the scan lines would give: one per
// pixel row and column through the centre run, at the outer dark modules.
struct Centres {
  std::vector<FinderCentre> list;
  std::vector<EdgePoint> points;

  // Adds the three finders of an axis-aligned code whose module (0, 0) has
  // its upper-left corner at pixel (x0, y0).
  void AddCode(int n, double x0, double y0, double mpx) {
    const double at[3][2] = {{3.5, 3.5}, {n - 3.5, 3.5}, {3.5, n - 3.5}};
    for (const auto& a : at) Add(x0 + a[0] * mpx, y0 + a[1] * mpx, mpx);
  }

  // A finder centred at pixel (cx, cy) with modules of mpx pixels; without
  // its left edge points when `noLeft`.
  void Add(double cx, double cy, double mpx, bool noLeft = false) {
    FinderCentre c{};
    c.pos[0] = int32_t(cx * 4);
    c.pos[1] = int32_t(cy * 4);
    for (int t = int(cy - 1.5 * mpx); t < int(cy + 1.5 * mpx); t++) {
      if (!noLeft) {
        Push(int32_t((cx - 3 * mpx) * 4), 4 * t + 2);
        c.nedgePts++;
      }
      Push(int32_t((cx + 3 * mpx) * 4), 4 * t + 2);
      c.nedgePts++;
    }
    for (int t = int(cx - 1.5 * mpx); t < int(cx + 1.5 * mpx); t++) {
      Push(4 * t + 2, int32_t((cy - 3 * mpx) * 4));
      Push(4 * t + 2, int32_t((cy + 3 * mpx) * 4));
      c.nedgePts += 2;
    }
    list.push_back(c);
  }

  // Points the centres at their edge points (after all are added).
  FinderCentre* Finish() {
    size_t next = 0;
    for (auto& c : list) {
      c.edgePts = c.nedgePts > 0 ? &points[next] : nullptr;
      next += size_t(c.nedgePts);
      c.found = 0;
    }
    return list.data();
  }

 private:
  void Push(int32_t x, int32_t y) { points.push_back(EdgePoint{{x, y}, 0, 0}); }
};

// The reader's per-call state for SearchCodes, over a grey image.
class Harness {
 public:
  explicit Harness(const Grey& g, bool withBinary = true) : grey_(g) {
    arena_ = ArenaOpen();
    arena_->image = ReaderImage{kFormatY800, g.width, g.height, {}, grey_.px.data(), nullptr};
    InitLocateContext(arena_, &ctx_);
    if (withBinary) Binarize(g.px.data(), g.width, g.height, arena_->binary, arena_->columnSums);
    if (!withBinary) ctx_.binary = nullptr;
  }
  ~Harness() {
    for (int i = 0; i < ctx_.codeCount; i++) ReleaseCode(&ctx_.codes[i], ctx_.pools);
    ArenaClose(arena_);
  }
  LocateContext* ctx() { return &ctx_; }
  const IsaacState& rng() const { return *arena_->rng; }
  LocateScratch* scratch() { return arena_->scratch; }

  // The decoded bytes of code i (its byte segments joined).
  std::string Text(int i) const {
    std::string s;
    const CodeData& c = ctx_.codes[i];
    for (int e = 0; e < c.entryCount; e++) {
      const auto& t = c.entries[e].payload.text;
      if (c.entries[e].mode == kModeByte) s.append(reinterpret_cast<const char*>(t.bytes), t.length);
    }
    return s;
  }

 private:
  Grey grey_;
  ReaderArena* arena_ = nullptr;
  LocateContext ctx_{};
};

// The pixel position of module (0, 0)'s corner in a Render() image.
void CodeOrigin(const Modules& m, const RenderOptions& o, const Grey& g, double* x0, double* y0) {
  *x0 = g.width / 2.0 + o.offsetX - m.n * o.modulePx / 2;
  *y0 = g.height / 2.0 + o.offsetY - m.n * o.modulePx / 2;
}

// Without points on the upper-left finder's left edge, the left line runs
// through its outer module column, three modules out, as the points of the
// lower-left finder do. Version 1 there: no alignment grid hides a bad line.
TEST(GeomSearch, SyntheticCentresDecode) {
  for (bool noLeft : {false, true}) {
    const std::string text = noLeft ? "one edge missing" : "synthetic centres";
    auto m = geomtest::Encode(text, noLeft ? 1 : 2, noLeft ? 0 : 1);
    RenderOptions o;
    o.modulePx = noLeft ? 4 : 5;
    Grey g = geomtest::Render(m, o);
    double x0, y0;
    CodeOrigin(m, o, g, &x0, &y0);
    const double mpx = o.modulePx, side = m.n * mpx;
    Centres cs;
    cs.Add(x0 + 3.5 * mpx, y0 + 3.5 * mpx, mpx, noLeft);
    cs.Add(x0 + side - 3.5 * mpx, y0 + 3.5 * mpx, mpx);
    cs.Add(x0 + 3.5 * mpx, y0 + side - 3.5 * mpx, mpx);
    Harness h(g);
    SearchCodes(h.ctx(), cs.Finish(), 3);
    ASSERT_EQ(h.ctx()->codeCount, 1) << noLeft;
    EXPECT_EQ(h.Text(0), text);
    EXPECT_EQ(h.ctx()->codes[0].version, m.version);
    // The outline is the code's outer boundary, in whole pixels.
    for (int k = 0; k < 4; k++) {
      EXPECT_NEAR(h.ctx()->codes[0].corners[k][0], x0 + (k & 1) * side, 1.5) << k << noLeft;
      EXPECT_NEAR(h.ctx()->codes[0].corners[k][1], y0 + (k >> 1) * side, 1.5) << k << noLeft;
    }
    for (const auto& c : cs.list) EXPECT_EQ(c.found, 1);
  }
}

TEST(GeomSearch, CollinearCentresRejectedWithoutSampling) {
  Grey g;
  g.width = g.height = 200;
  g.px.assign(200 * 200, 255);
  Centres cs;
  cs.Add(30, 30, 4);
  cs.Add(100, 65, 4);
  cs.Add(170, 100, 4);
  // No binarised image at all: any pixel test would crash, any RANSAC draw
  // would move the generator.
  Harness h(g, false);
  IsaacState before = h.rng();
  SearchCodes(h.ctx(), cs.Finish(), 3);
  EXPECT_EQ(h.ctx()->codeCount, 0);
  EXPECT_EQ(std::memcmp(&before, &h.rng(), sizeof(IsaacState)), 0);
  for (const auto& c : cs.list) EXPECT_EQ(c.found, 0);
}

// A code whose finders come after `junk` stray centres on one row: every
// triple before the code's own fails, so the code is found only while those
// failures stay within the budget of 8192.
int FoundAfterJunk(int junk) {
  auto m = geomtest::Encode("budget", 1, 0);
  RenderOptions o;
  o.modulePx = 4;
  o.width = o.height = 240;
  Grey g = geomtest::Render(m, o);
  Centres cs;
  for (int i = 0; i < junk; i++) cs.Add(5 + 6 * i, 5, 0);  // a centre without edge points
  double x0, y0;
  CodeOrigin(m, o, g, &x0, &y0);
  cs.AddCode(m.n, x0, y0, o.modulePx);
  Harness h(g);
  SearchCodes(h.ctx(), cs.Finish(), int32_t(cs.list.size()));
  return h.ctx()->codeCount;
}

TEST(GeomSearch, FailureBudgetEndsTheSearch) {
  // 34 strays: C(37, 3) - 1 = 7769 failures first; 35 strays: 8435.
  EXPECT_EQ(FoundAfterJunk(34), 1);
  EXPECT_EQ(FoundAfterJunk(35), 0);
}

// Twenty finder-like centres in an empty picture: up to 3,400 rotations
// would each fit an outline and search an alignment pattern (27,000 probes
// each). The call stops within one rotation of its work budget instead.
TEST(GeomSearch, WorkBudgetEndsTheSearch) {
  Grey g(240, 240, 255);
  Centres cs;
  for (int i = 0; i < 20; i++) cs.Add(30 + 45 * (i % 5) + 3 * (i / 5), 30 + 55 * (i / 5), 2);
  Harness h(g);
  SearchCodes(h.ctx(), cs.Finish(), 20);
  EXPECT_EQ(h.ctx()->codeCount, 0);
  const int64_t budget = WorkBudget(240, 240);
  EXPECT_GT(h.scratch()->probes, budget);
  EXPECT_LT(h.scratch()->probes, budget + 40000);
}

TEST(GeomSearch, NestedCodeFoundWithTheOuterOne) {
  auto outer = geomtest::Encode("the outer code holds another one", 7, 3);
  ASSERT_EQ(outer.n, 45);
  RenderOptions oo;
  oo.modulePx = 8;
  Grey g = geomtest::Render(outer, oo);
  double ox, oy;
  CodeOrigin(outer, oo, g, &ox, &oy);
  // Between the alignment patterns, inside the outer code's data, with a
  // quiet zone of two modules.
  const int x = int(ox + 24.5 * oo.modulePx), y = int(oy + 24.5 * oo.modulePx);
  g.Fill(x - 6, y - 6, 21 * 3 + 12, 21 * 3 + 12, 230);
  ASSERT_EQ(geomtest::DrawCode(&g, "inner", x, y, 3, 1, 0), 21);
  auto r = geomtest::Read(g);
  std::sort(r.texts.begin(), r.texts.end());
  EXPECT_EQ(r.texts, (std::vector<std::string>{"inner", "the outer code holds another one"}));
}

// Draws a 5 x 5 alignment pattern of mpx-pixel modules centred at (cx, cy)
// into a binarised image (255 dark).
void DrawAlignment(std::vector<uint8_t>* px, int w, double cx, double cy, double mpx) {
  for (int r = 0; r < 5; r++) {
    for (int c = 0; c < 5; c++) {
      bool dark = (kAlignmentPattern >> (5 * r + c)) & 1;
      for (int y = int(cy + (r - 2.5) * mpx); y < int(cy + (r - 1.5) * mpx); y++)
        for (int x = int(cx + (c - 2.5) * mpx); x < int(cx + (c - 1.5) * mpx); x++)
          (*px)[size_t(y) * w + x] = dark ? 255 : 0;
    }
  }
}

// The cell map of an axis-aligned n x n grid of mpx-pixel modules whose
// module (0, 0) starts at pixel (origin, origin).
ProjMap CellMap(int n, double origin, double mpx) {
  const int32_t e = ModuleCentre(n);
  const int32_t src[4][2] = {{ModuleCentre(0), ModuleCentre(0)}, {e, ModuleCentre(0)},
                             {ModuleCentre(0), e}, {e, e}};
  const int32_t a = int32_t(4 * (origin + 0.5 * mpx)), b = int32_t(4 * (origin + (n + 0.5) * mpx));
  const int32_t dst[4][2] = {{a, a}, {b, a}, {a, b}, {b, b}};
  ProjMap cell;
  EXPECT_EQ(ProjMapFromQuads(&cell, src, dst), 0);
  return cell;
}

TEST(GeomAlignment, FoundAtAShiftedPositionAndRefined) {
  const int w = 200, h = 200;
  const double mpx = 6;
  const ProjMap cell = CellMap(20, 10, mpx);
  // Predicted at module (12, 12), drawn 1.1 modules right and 0.6 up: off the
  // quarter-module search grid, so only the refinement lands on it.
  const double cx = 10 + 13.1 * mpx, cy = 10 + 11.9 * mpx;
  std::vector<uint8_t> px(size_t(w) * h, 0);
  DrawAlignment(&px, w, cx, cy, mpx);
  BinaryImage im{px.data(), w, h};
  int32_t out[2];
  ASSERT_EQ(FindAlignment(cell, 12, 12, 2, im, out), 0);
  EXPECT_NEAR(out[0], 4 * cx, 2.5);
  EXPECT_NEAR(out[1], 4 * cy, 2.5);
  // Beyond the radius it is not found; nor in an empty image.
  EXPECT_EQ(FindAlignment(cell, 9, 12, 2, im, out), -1);
  std::vector<uint8_t> blank(size_t(w) * h, 0);
  BinaryImage none{blank.data(), w, h};
  EXPECT_EQ(FindAlignment(cell, 12, 12, 2, none, out), -1);
}

TEST(GeomAlignment, TolerantOfAFewWrongModules) {
  const int w = 120, h = 120;
  const double mpx = 5, cx = 20 + 5.5 * mpx, cy = 20 + 5.5 * mpx;
  const ProjMap cell = CellMap(10, 20, mpx);
  for (int wrong : {6, 7}) {
    std::vector<uint8_t> px(size_t(w) * h, 0);
    DrawAlignment(&px, w, cx, cy, mpx);
    // Flip `wrong` modules of the outer ring (the centre stays intact).
    const int ring[7][2] = {{0, 0}, {0, 2}, {0, 4}, {2, 0}, {4, 4}, {4, 1}, {2, 4}};
    for (int k = 0; k < wrong; k++) {
      int r = ring[k][0], c = ring[k][1];
      for (int y = int(cy + (r - 2.5) * mpx); y < int(cy + (r - 1.5) * mpx); y++)
        for (int x = int(cx + (c - 2.5) * mpx); x < int(cx + (c - 1.5) * mpx); x++)
          px[size_t(y) * w + x] ^= 255;
    }
    BinaryImage im{px.data(), w, h};
    int32_t out[2];
    EXPECT_EQ(FindAlignment(cell, 5, 5, 1, im, out), wrong <= 6 ? 0 : -1) << wrong;
  }
}

}  // namespace

namespace {

int RetriesStarted(LocateScratch* s) {
  int n = 0;
  for (const RethresholdState& r : s->rethreshold) n += r.built != 0;
  return n;
}

// A version 3 code at a contrast of 6 grey levels: the sliding-mean
// binarisation loses dark modules in dark-heavy areas, so error correction
// fails; the median of the code's box then separates the two levels. At full
// contrast the first attempt decodes: no retry.
TEST(GeomRetry, LowContrastDecodesAfterRethresholding) {
  for (int light : {106, 255}) {
    Modules m = geomtest::Encode("low contrast retry", 3, 1);
    RenderOptions o;
    o.modulePx = 4;
    o.darkLevel = light == 255 ? 0 : 100;
    o.lightLevel = uint8_t(light);
    Grey g = geomtest::Render(m, o);
    Centres cs;
    double x0, y0;
    CodeOrigin(m, o, g, &x0, &y0);
    cs.AddCode(m.n, x0, y0, o.modulePx);
    Harness h(g);
    std::memset(h.scratch()->rethreshold, 0, sizeof(h.scratch()->rethreshold));
    SearchCodes(h.ctx(), cs.Finish(), 3);
    ASSERT_EQ(h.ctx()->codeCount, 1) << light;
    EXPECT_EQ(h.Text(0), "low contrast retry");
    EXPECT_EQ(RetriesStarted(h.scratch()), light == 255 ? 0 : 1);
  }
}

}  // namespace
