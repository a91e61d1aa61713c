// The strip scan (sixteen lines smoothed together, then only the flagged
// pixels visited) against the plain one-pixel-at-a-time scan, and the
// division-free threshold against its dividing form.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "reader/arena.h"
#include "reader/binarize.h"
#include "reader/edge_scanner.h"
#include "reader/finder_centres.h"
#include "reader/reader_entry.h"
#include "reader/scan_strip.h"
#include "reader/width_decoder.h"
#include "geom_render.h"

namespace qrread {
namespace {

// A picture with finder patterns of several sizes, steps, ramps and noise, so
// that edges of every strength and finder lines occur in both directions.
geomtest::Grey BusyPicture(int w, int h, uint32_t seed, int noise) {
  std::mt19937 rng(seed);
  geomtest::Grey g(w, h);
  for (int i = 0; i < 12; ++i) {
    const int m = 1 + static_cast<int>(rng() % 6);
    g.Finder(static_cast<int>(rng() % (w + 8)) - 8, static_cast<int>(rng() % (h + 8)) - 8, m,
             static_cast<uint8_t>(rng() % 90), static_cast<uint8_t>(150 + rng() % 106));
  }
  for (int i = 0; i < 6; ++i) {
    g.Fill(static_cast<int>(rng() % w), static_cast<int>(rng() % h), 1 + static_cast<int>(rng() % 40),
           1 + static_cast<int>(rng() % 40), static_cast<uint8_t>(rng() % 256));
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int v = g.px[size_t(y) * w + x] + (noise > 0 ? static_cast<int>(rng() % (2 * noise + 1)) - noise : 0);
      g.px[size_t(y) * w + x] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  }
  return g;
}

// The finder lines of a plain scan: every pixel through EdgeScannerPixel.
// The pictures below stay under the reader's list capacities, so nothing is
// dropped on either side.
constexpr int32_t kPlainCapacity = 8192;

struct PlainScan {
  std::vector<FinderLine> lines[2];
  int32_t count[2] = {0, 0};

  explicit PlainScan(const geomtest::Grey& g) {
    for (auto& l : lines) l.resize(kPlainCapacity);
    ScanSink sink{};
    sink.lines[0] = lines[0].data();
    sink.lines[1] = lines[1].data();
    sink.capacity = kPlainCapacity;
    EdgeScanner scanner;
    EdgeScannerInit(&scanner, &sink);
    EdgeScannerNewLine(&scanner);
    for (int vertical = 0; vertical < 2; ++vertical) {
      const int nlines = vertical ? g.width : g.height;
      const int length = vertical ? g.height : g.width;
      sink.vertical = vertical;
      for (int i = 0; i < nlines; ++i) {
        const bool backward = (i & 1) != 0;
        sink.lineIndex = i;
        sink.lineStart = backward ? length : 0;
        sink.direction = backward ? -1 : 1;
        for (int k = 0; k < length; ++k) {
          const int m = backward ? length - 1 - k : k;
          const size_t at = vertical ? size_t(m) * g.width + i : size_t(i) * g.width + m;
          EdgeScannerPixel(&scanner, g.px[at]);
        }
        EdgeScannerFlush(&scanner);
        EdgeScannerFlush(&scanner);
        EdgeScannerNewLine(&scanner);
      }
    }
    count[0] = sink.count[0];
    count[1] = sink.count[1];
  }
};

void ExpectSameLines(const FinderLine* got, const FinderLine* want, int32_t n, const char* what) {
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_EQ(0, std::memcmp(&got[i], &want[i], sizeof(FinderLine))) << what << " line " << i;
  }
}

TEST(ScanStripTest, WholeScanFindsTheSameLinesAsThePlainScan) {
  struct Case {
    int w, h, noise;
  };
  // Sizes off the strip width, single lines, and the full-size limit with
  // enough lines to fill both lists.
  const Case cases[] = {{1, 1, 0},   {1, 40, 3},    {40, 1, 3},    {17, 15, 0},    {333, 257, 0},
                        {333, 257, 6}, {640, 480, 5}, {31, 700, 9}, {1280, 1024, 2}};
  uint32_t seed = 11;
  for (const Case& c : cases) {
    const geomtest::Grey g = BusyPicture(c.w, c.h, seed++, c.noise);
    const PlainScan plain(g);
    ReaderArena* arena = ArenaOpen();
    ASSERT_NE(nullptr, arena);
    arena->image.width = c.w;
    arena->image.height = c.h;
    arena->image.pixels = g.px.data();
    ScanImage(arena);
    const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h);
    EXPECT_EQ(plain.count[0], arena->sink.count[0]) << what;
    if (c.w >= 333) {
      EXPECT_GT(plain.count[0], 8) << what;  // the pictures do hold finders
    }
    EXPECT_LT(plain.count[0], kMaxFinderLines) << what;
    EXPECT_LT(plain.count[1], kMaxFinderLines) << what;
    ExpectSameLines(arena->lines[0], plain.lines[0].data(), plain.count[0], what.c_str());
    // Columns are scanned only where a centre can form: each vertical line is
    // one of the plain scan's, and the centres are those of all its lines.
    const int32_t nv = arena->sink.count[1];
    std::vector<FinderLine> scanned(arena->lines[1], arena->lines[1] + nv);
    for (const FinderLine& l : scanned) {
      bool known = false;
      for (int32_t i = 0; i < plain.count[1] && !known; ++i) {
        known = std::memcmp(&l, &plain.lines[1][i], sizeof l) == 0;
      }
      EXPECT_TRUE(known) << what << " vertical line at " << l.pos[0] << "," << l.pos[1];
    }
    auto centres = [&](FinderLine* v, int32_t n) {
      std::vector<uint8_t> scratch(LocateCentresScratchBytes(plain.count[0] + n));
      std::vector<FinderCentre> out(kMaxFinderCentres);
      std::vector<EdgePoint> points(kMaxEdgePoints);
      out.resize(static_cast<size_t>(LocateCentres(plain.lines[0].data(), plain.count[0], v, n,
                                                   scratch.data(), out.data(), kMaxFinderCentres,
                                                   points.data(), kMaxEdgePoints)));
      std::vector<int32_t> flat;
      for (const FinderCentre& f : out) {
        flat.insert(flat.end(), {f.pos[0], f.pos[1], f.nedgePts});
        for (int32_t k = 0; k < f.nedgePts; ++k) {
          flat.insert(flat.end(), {f.edgePts[k].pos[0], f.edgePts[k].pos[1]});
        }
      }
      return flat;
    };
    std::vector<FinderLine> all(plain.lines[1].begin(), plain.lines[1].begin() + plain.count[1]);
    EXPECT_EQ(centres(all.data(), plain.count[1]), centres(scanned.data(), nv)) << what;
    ArenaClose(arena);
  }
}

TEST(ScanStripTest, VectorSmoothingMatchesTheScalarForm) {
  std::mt19937 rng(5);
  std::vector<StripScratch> a(1), b(1);
  const int32_t lengths[] = {1, 2, 3, 4, 15, 16, 17, 250, 1280};
  for (int32_t length : lengths) {
    for (int kind = 0; kind < 3; ++kind) {
      // Stride wider than 16 as in the column passes.
      const ptrdiff_t stride = 16 + kind * 7;
      std::vector<uint8_t> px(size_t(length) * stride);
      for (size_t i = 0; i < px.size(); ++i) {
        // Random bytes, blocks of two levels, or a slow ramp with noise.
        px[i] = kind == 0 ? static_cast<uint8_t>(rng())
                : kind == 1 ? ((i / stride / (1 + i % 5)) % 2 ? 20 : 230)
                            : static_cast<uint8_t>((i / stride) % 200 + rng() % 9);
      }
      SmoothStrip(px.data(), stride, length, &a[0]);
      SmoothStripScalar(px.data(), stride, length, &b[0]);
      const size_t steps = size_t(length + kStripPadSteps) * kStripLanes;
      for (int g = 0; g < 2; ++g) {
        EXPECT_EQ(0, std::memcmp(a[0].smoothed[g], b[0].smoothed[g], steps * sizeof(int16_t)))
            << length << " " << kind;
        EXPECT_EQ(0, std::memcmp(a[0].flags[g], b[0].flags[g], size_t((length + 15) & ~15)))
            << length << " " << kind;
        for (int32_t k0 = 0; k0 < length; k0 += 16) {
          for (int lane = 0; lane < kStripLanes; ++lane) {
            uint32_t want = 0;
            for (int i = 0; i < 16; ++i) want |= ((b[0].flags[g][k0 + i] >> lane) & 1u) << i;
            ASSERT_EQ(want, StripLaneFlags(a[0].flags[g], k0, lane));
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace qrread
