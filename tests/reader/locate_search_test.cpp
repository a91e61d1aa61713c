// The triple search and configuration test driven directly, with finder
// centres built from the known geometry of rendered codes: collinear
// triples, the failure budget, nested codes, the re-thresholding retry, and
// the alignment pattern search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "geom_render.h"
#include "reader/alignment.h"
#include "reader/binarize.h"
#include "reader/decode_stages.h"
#include "reader/locate.h"
#include "reader/locate_scratch.h"

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

  // The three finders of an axis-aligned code of side n whose module (0, 0)
  // starts at pixel (x0, y0); the upper-left one without its points of edge
  // class `skip` (0 left, 2 top).
  void AddCode(int n, double x0, double y0, double mpx, int skip = -1) {
    const double at[3][2] = {{3.5, 3.5}, {n - 3.5, 3.5}, {3.5, n - 3.5}};
    for (const auto& a : at) Add(x0 + a[0] * mpx, y0 + a[1] * mpx, mpx, &a == at ? skip : -1);
  }
  void Add(double cx, double cy, double mpx, int skip = -1) {
    FinderCentre c{};
    c.pos[0] = int32_t(cx * 4);
    c.pos[1] = int32_t(cy * 4);
    for (int side = 0; side < 4; side++) {
      const double centre = side < 2 ? cy : cx, edge = (side < 2 ? cx : cy) + (side & 1 ? 3 : -3) * mpx;
      for (int t = int(centre - 1.5 * mpx); side != skip && t < int(centre + 1.5 * mpx); t++, c.nedgePts++) {
        if (side < 2) points.push_back(EdgePoint{{int32_t(edge * 4), 4 * t + 2}, 0, 0});
        if (side >= 2) points.push_back(EdgePoint{{4 * t + 2, int32_t(edge * 4)}, 0, 0});
      }
    }
    list.push_back(c);
  }
  // Points the centres at their edge points (after all are added).
  FinderCentre* Finish() {
    size_t next = 0;
    for (auto& c : list) {
      c.edgePts = c.nedgePts > 0 ? &points[next] : nullptr;
      next += size_t(c.nedgePts);
    }
    return list.data();
  }
};

// The reader's per-call state for SearchCodes over a grey image; without a
// binarised image when `withBinary` is false.
class Harness {
 public:
  explicit Harness(const Grey& g, bool withBinary = true) : grey_(g) {
    arena_->image = ReaderImage{kFormatY800, g.width, g.height, {}, grey_.px.data(), nullptr};
    InitLocateContext(arena_, &ctx_);
    std::memset(arena_->scratch->rethreshold, 0, sizeof(arena_->scratch->rethreshold));
    Binarize(g.px.data(), g.width, g.height, arena_->binary, arena_->columnSums);
    ctx_.binary = withBinary ? ctx_.binary : nullptr;
  }
  ~Harness() {
    for (int i = 0; i < ctx_.codeCount; i++) ReleaseCode(&ctx_.codes[i], ctx_.pools);
    ArenaClose(arena_);
  }
  LocateContext* ctx() { return &ctx_; }
  const LocateScratch* scratch() const { return arena_->scratch; }
  int RetriesStarted() const {
    int n = 0;
    for (const RethresholdState& r : arena_->scratch->rethreshold) n += r.built != 0;
    return n;
  }
  // The decoded bytes of code i: its first segment.
  std::string Text(int i) const {
    const auto& t = ctx_.codes[i].entries[0].payload.text;
    return std::string(reinterpret_cast<const char*>(t.bytes), t.length);
  }

 private:
  Grey grey_;
  ReaderArena* arena_ = ArenaOpen();
  LocateContext ctx_{};
};

// The pixel position of module (0, 0)'s corner in a Render() image.
std::pair<double, double> CodeOrigin(const Modules& m, const RenderOptions& o, const Grey& g) {
  return {g.width / 2.0 + o.offsetX - m.n * o.modulePx / 2, g.height / 2.0 + o.offsetY - m.n * o.modulePx / 2};
}

// A finder side without points stands in with its outer module line, three
// modules out, as the other finder on that edge gives it; version 1 there: no
// alignment grid hides a bad line. At a contrast of 6 grey levels the sliding
// mean loses dark modules in dark-heavy areas and error correction fails; the
// median of the code's box then separates the levels: one retry.
TEST(GeomSearch, CodesFoundFromTheirFinderCentres) {
  const struct {
    const char* text;
    int version, level, mpx, skip, dark, light, retries;
  } rows[] = {
      {"synthetic centres", 2, 1, 5, -1, 0, 255, 0},
      {"one edge missing", 1, 0, 4, 0, 0, 255, 0},
      {"top edge missing", 1, 0, 4, 2, 0, 255, 0},
      {"low contrast retry", 3, 1, 4, -1, 100, 106, 1},
  };
  for (const auto& r : rows) {
    auto m = geomtest::Encode(r.text, r.version, r.level);
    const RenderOptions o{.modulePx = double(r.mpx), .darkLevel = uint8_t(r.dark), .lightLevel = uint8_t(r.light)};
    Grey g = geomtest::Render(m, o);
    const auto [x0, y0] = CodeOrigin(m, o, g);
    Centres cs;
    cs.AddCode(m.n, x0, y0, o.modulePx, r.skip);
    Harness h(g);
    SearchCodes(h.ctx(), cs.Finish(), 3);
    ASSERT_EQ(h.ctx()->codeCount, 1) << r.text;
    EXPECT_EQ(h.Text(0), r.text);
    EXPECT_EQ(h.ctx()->codes[0].version, m.version);
    EXPECT_EQ(h.RetriesStarted(), r.retries) << r.text;
    // The outline is the code's outer boundary, in whole pixels.
    for (int k = 0; k < 4; k++) {
      EXPECT_NEAR(h.ctx()->codes[0].corners[k][0], x0 + (k & 1) * m.n * r.mpx, 1.5) << k << r.text;
      EXPECT_NEAR(h.ctx()->codes[0].corners[k][1], y0 + (k >> 1) * m.n * r.mpx, 1.5) << k << r.text;
    }
    for (const auto& c : cs.list) EXPECT_EQ(c.found, 1);
  }
}

// A code whose finders come after `junk` stray centres on one row: every
// triple before the code's own fails, so the code is found only while those
// failures stay within the budget of 8192. 34 strays: C(37, 3) - 1 = 7769
// failures first; 35 strays: 8435.
TEST(GeomSearch, FailureBudgetEndsTheSearch) {
  for (int junk : {34, 35}) {
    auto m = geomtest::Encode("budget", 1, 0);
    const RenderOptions o{.modulePx = 4, .width = 240, .height = 240};
    Grey g = geomtest::Render(m, o);
    Centres cs;
    for (int i = 0; i < junk; i++) cs.Add(5 + 6 * i, 5, 0);  // a centre without edge points
    const auto [x0, y0] = CodeOrigin(m, o, g);
    cs.AddCode(m.n, x0, y0, o.modulePx);
    Harness h(g);
    SearchCodes(h.ctx(), cs.Finish(), int32_t(cs.list.size()));
    EXPECT_EQ(h.ctx()->codeCount, junk == 34 ? 1 : 0);
  }
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
  const RenderOptions oo{.modulePx = 8};
  Grey g = geomtest::Render(outer, oo);
  const auto [ox, oy] = CodeOrigin(outer, oo, g);
  // Between the alignment patterns, inside the outer code's data, with a
  // quiet zone of two modules.
  const int x = int(ox + 24.5 * oo.modulePx), y = int(oy + 24.5 * oo.modulePx);
  g.Fill(x - 6, y - 6, 21 * 3 + 12, 21 * 3 + 12, 230);
  ASSERT_EQ(geomtest::DrawCode(&g, "inner", x, y, 3, 1, 0), 21);
  auto r = geomtest::Read(g);
  std::sort(r.texts.begin(), r.texts.end());
  EXPECT_EQ(r.texts, (std::vector<std::string>{"inner", "the outer code holds another one"}));
}

// An alignment pattern drawn (255 dark) at module (cu, cv) of an axis-aligned
// n x n grid of 6-pixel modules starting at pixel 10, its first `wrong` outer
// ring modules flipped (none drawn when -1), looked for around module (u, v).
// Drawn off the quarter-module search grid, only the refinement lands on it.
TEST(GeomAlignment, FoundNearThePredictionDespiteAFewWrongModules) {
  const struct {
    double cu, cv;
    int u, v, radius, wrong;
    bool found;
  } rows[] = {
      {13.1, 11.9, 12, 12, 2, 0, true}, {13.1, 11.9, 9, 12, 2, 0, false},  // beyond the radius
      {13.1, 11.9, 12, 12, 2, -1, false}, {5.5, 5.5, 5, 5, 1, 6, true}, {5.5, 5.5, 5, 5, 1, 7, false},
  };
  const int w = 200, n = 20, ring[7] = {0, 2, 4, 10, 24, 21, 14};
  const double mpx = 6;
  const int32_t e = ModuleCentre(n), a = int32_t(4 * (10 + 0.5 * mpx)), b = int32_t(4 * (10 + (n + 0.5) * mpx));
  const int32_t src[4][2] = {{ModuleCentre(0), ModuleCentre(0)}, {e, ModuleCentre(0)}, {ModuleCentre(0), e}, {e, e}};
  const int32_t dst[4][2] = {{a, a}, {b, a}, {a, b}, {b, b}};
  ProjMap cell;
  ASSERT_EQ(ProjMapFromQuads(&cell, src, dst), 0);
  for (const auto& r : rows) {
    const double cx = 10 + r.cu * mpx, cy = 10 + r.cv * mpx;
    std::vector<uint8_t> px(size_t(w) * w, 0);
    for (int k = 0; k < 25 && r.wrong >= 0; k++) {
      const bool dark = ((kAlignmentPattern >> k) & 1) != (std::find(ring, ring + r.wrong, k) != ring + r.wrong);
      for (int y = int(cy + (k / 5 - 2.5) * mpx); y < int(cy + (k / 5 - 1.5) * mpx); y++)
        for (int x = int(cx + (k % 5 - 2.5) * mpx); x < int(cx + (k % 5 - 1.5) * mpx); x++)
          px[size_t(y) * w + x] = dark ? 255 : 0;
    }
    int32_t out[2];
    ASSERT_EQ(FindAlignment(cell, r.u, r.v, r.radius, BinaryImage{px.data(), w, w}, out), r.found ? 0 : -1)
        << r.cu << " " << r.u << " " << r.wrong;
    if (r.found && r.wrong == 0) {
      EXPECT_NEAR(out[0], 4 * cx, 2.5);
      EXPECT_NEAR(out[1], 4 * cy, 2.5);
    }
  }
}

}  // namespace
