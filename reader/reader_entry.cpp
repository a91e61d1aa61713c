// qr_read_symbols: the arena, the row and column scan, the QR stage and the
// result records.
#include <algorithm>
#include <climits>
#include <cstring>

#include "reader/arena.h"
#include "reader/binarize.h"
#include "reader/decode_stages.h"
#include "reader/edge_scanner.h"
#include "reader/finder_centres.h"
#include "reader/isaac.h"
#include "reader/locate.h"
#include "reader/locate_scratch.h"
#include "reader/qr_reader.h"
#include "reader/reader_entry.h"
#include "reader/scan_strip.h"
#include "reader/smoothed_pass.h"
#include "reader/width_decoder.h"

namespace qrread {

namespace {

constexpr int kMinLinesPerDirection = 9;
// The column pass scans only where a centre can form, so its lines are few:
// the three of one cluster are enough.
constexpr int kMinVerticalLines = 3;
constexpr uint32_t kMaxReportedLength = 5120;

static_assert(sizeof(StripScratch) + 15 <= static_cast<size_t>(kMaxImageWidth) * kMaxImageHeight,
              "the strip work area does not fit the binarised image's bytes");
static_assert(sizeof(StripScratch) + 15 + LocateCentresScratchBytes(kFinderLineStore) <=
                  static_cast<size_t>(kMaxImageWidth) * kMaxImageHeight,
              "the clustering scratch of the column pass does not fit behind the strip area");
static_assert(kMaxImageWidth <= kMaxStripLength && kMaxImageHeight <= kMaxStripLength,
              "scan lines longer than a strip holds");

// The strip work area sits in the binarised image's bytes, which are free
// until the QR stage.
StripScratch* StripArea(ReaderArena* arena) {
  const uintptr_t p = reinterpret_cast<uintptr_t>(arena->binary);
  return reinterpret_cast<StripScratch*>((p + 15) & ~static_cast<uintptr_t>(15));
}

// Feeds the `count` (up to 16) lines of a smoothed strip to the edge scanner,
// in order, lane j as line index[j] (none when -1): even lanes forward, odd
// lanes backward, each closed as a scan line.
void ScanStripLines(ReaderArena* arena, const StripScratch& strip, const int32_t* index,
                    int32_t count, int32_t base, int32_t length) {
  EdgeScanner* scanner = &arena->scanner;
  ScanSink* sink = &arena->sink;
  for (int32_t j = 0; j < count; ++j) {
    if (index[j] < 0) continue;  // an empty lane
    const int g = j & 1;
    sink->lineIndex = index[j];
    sink->lineStart = g == 0 ? base : base + length;
    sink->direction = g == 0 ? 1 : -1;
    EdgeScannerFlaggedLine(scanner, strip.smoothed[g], strip.flags[g], j >> 1, length);
    EdgeScannerFlush(scanner);
    EdgeScannerFlush(scanner);
    EdgeScannerNewLine(scanner);
  }
}

// Space for the merge of the two passes' lines, at the end of the binarised
// image's bytes (behind the strip area, the clustering scratch and the
// half-size copy, none of which the merge overlaps).
constexpr size_t kMergeBytes = sizeof(FinderLine) * kFinderLineStore;
static_assert(kHalfCopyEnd + kMergeBytes + alignof(FinderLine) <=
                  static_cast<size_t>(kMaxImageWidth) * kMaxImageHeight,
              "the row merge area overlaps the half-size copy");

FinderLine* MergeArea(ReaderArena* arena) {
  const uintptr_t end = reinterpret_cast<uintptr_t>(arena->binary) +
                        static_cast<size_t>(kMaxImageWidth) * kMaxImageHeight - kMergeBytes;
  return reinterpret_cast<FinderLine*>(end & ~static_cast<uintptr_t>(alignof(FinderLine) - 1));
}

// A second strip work area right behind the first, in the clustering
// scratch of the column pass (free while rows are scanned).
static_assert(2 * sizeof(StripScratch) + 31 <=
                  sizeof(StripScratch) + 15 + LocateCentresScratchBytes(kFinderLineStore),
              "the second strip area reaches past the clustering scratch");

StripScratch* SecondStripArea(ReaderArena* arena) {
  const uintptr_t p = reinterpret_cast<uintptr_t>(StripArea(arena) + 1);
  return reinterpret_cast<StripScratch*>((p + 15) & ~static_cast<uintptr_t>(15));
}

// Gathers the listed rows (up to 16; row j of the list has the parity of j,
// or is -1 for an empty lane, which gets the first row and is not scanned).
void GatherRowList(const uint8_t* pixels, int32_t width, const int32_t* rows, int32_t count,
                   StripScratch* strip) {
  const uint8_t* starts[kStripLines] = {};
  for (int32_t j = 0; j < count; ++j) {
    starts[j] = pixels + static_cast<size_t>(rows[j] < 0 ? 0 : rows[j]) * width;
  }
  GatherRows(starts, count, width, strip);
}

// Scans the listed rows: one strip of the first 16, and one of the rest
// (smoothed together with the first) unless the store of dark-on-light lines
// reaches `limit` after the first. Returns false when it stopped there.
bool ScanRowList(ReaderArena* arena, const uint8_t* pixels, int32_t width, const int32_t* rows,
                 int32_t count, int32_t limit) {
  StripScratch* a = StripArea(arena);
  const int32_t first = count < kStripLines ? count : kStripLines;
  GatherRowList(pixels, width, rows, first, a);
  if (count == first) {
    SmoothStrip(a->gathered, kStripLines, width, a);
    ScanStripLines(arena, *a, rows, first, 0, width);
    return true;
  }
  StripScratch* b = SecondStripArea(arena);
  GatherRowList(pixels, width, rows + first, count - first, b);
  SmoothTwoStrips(a->gathered, b->gathered, kStripLines, width, a, b);
  ScanStripLines(arena, *a, rows, first, 0, width);
  if (arena->sink.count[0] >= limit) return false;
  ScanStripLines(arena, *b, rows + first, count - first, 0, width);
  return true;
}

// Scans the rows r < end for which take(r) holds, thirty-two at a time in
// two strips: even rows in even lanes (scanned forward), odd rows in odd
// lanes (backward), a lane without a row of its parity left empty. Stops
// once `limit` dark-on-light lines are stored; returns the first row not
// scanned (end when all were).
template <typename Take>
int32_t ScanRowSet(ReaderArena* arena, const uint8_t* pixels, int32_t width, int32_t end,
                   int32_t limit, Take take) {
  const ScanSink& sink = arena->sink;
  int32_t lanes[2 * kStripLines];
  int32_t next[2] = {0, 1};  // the next free lane of each parity
  std::fill(lanes, lanes + 2 * kStripLines, -1);
  // Scans the lanes filled so far; the first row left unscanned, or -1.
  auto flush = [&]() {
    const int32_t count = std::max(next[0], next[1]) - 1;  // past the last lane filled
    int32_t unscanned = -1;
    if (count > 0 && !ScanRowList(arena, pixels, width, lanes, count, limit)) {
      for (int32_t j = kStripLines; j < count; ++j) {
        if (lanes[j] >= 0 && (unscanned < 0 || lanes[j] < unscanned)) unscanned = lanes[j];
      }
    }
    std::fill(lanes, lanes + 2 * kStripLines, -1);
    next[0] = 0;
    next[1] = 1;
    return unscanned;
  };
  for (int32_t r = 0; r < end; ++r) {
    if (sink.count[0] >= limit) return r;
    if (!take(r)) continue;
    const int q = r & 1;
    if (next[q] >= 2 * kStripLines) {
      const int32_t unscanned = flush();
      if (unscanned >= 0) return unscanned;
      if (sink.count[0] >= limit) return r;
    }
    lanes[next[q]] = r;
    next[q] += 2;
  }
  const int32_t unscanned = flush();
  return unscanned >= 0 ? unscanned : end;
}

// Lines [0, first) and [first, count) are each in row order, and no row has
// lines in both: merged into one list in row order.
void MergeByRow(FinderLine* lines, int32_t first, int32_t count, FinderLine* temp) {
  if (first == 0 || first == count) return;
  std::memcpy(temp, lines, sizeof(FinderLine) * static_cast<size_t>(count));
  int32_t i = 0, j = first, k = 0;
  while (i < first && j < count) lines[k++] = temp[j].pos[1] < temp[i].pos[1] ? temp[j++] : temp[i++];
  while (i < first) lines[k++] = temp[i++];
  while (j < count) lines[k++] = temp[j++];
}

// A walk along column x (step +1 down, -1 up) through a finder's core and its
// two rings. Values are 1-2-1 sums across three columns, negated for a light
// core so that the core is always the low side.
struct ColumnWalk {
  const uint8_t* column;
  int32_t width, height, step, sign, cap;
  int32_t Value(int32_t r) const {
    const uint8_t* p = column + static_cast<ptrdiff_t>(r) * width;
    return sign * (p[-1] + 2 * p[0] + p[1]);
  }
  bool Inside(int32_t r) const { return r >= 0 && r < height; }
};

// The core's pixels from row y on: up to the first value at or above
// `threshold`; -1 past the walk's cap.
int32_t CoreRun(const ColumnWalk& walk, int32_t y, int32_t threshold) {
  int32_t n = 0;
  for (int32_t r = y; walk.Inside(r) && walk.Value(r) < threshold; r += walk.step) {
    if (++n > walk.cap) return -1;
  }
  return n;
}

// From `core` pixels past y on: the light ring ends where the values fall
// `h` below their highest since, the dark ring where they rise `h` above
// their lowest since. rings[] gets their lengths in pixels; false when the
// walk passes its cap. Where the image ends first, the rings not reached
// are 0.
bool RingRuns(const ColumnWalk& walk, int32_t y, int32_t core, int32_t h, int32_t rings[2]) {
  rings[0] = rings[1] = 0;
  int32_t r = y + core * walk.step, n = core;
  int32_t top = INT32_MIN;
  for (; walk.Inside(r); r += walk.step) {
    const int32_t v = walk.Value(r);
    if (v > top) top = v;
    if (v < top - h) break;
    if (++n > walk.cap) return false;
  }
  if (!walk.Inside(r)) return true;
  rings[0] = n - core;
  int32_t bottom = INT32_MAX;
  for (; walk.Inside(r); r += walk.step) {
    const int32_t v = walk.Value(r);
    if (v < bottom) bottom = v;
    if (v > bottom + h) break;
    if (++n > walk.cap) return false;
  }
  if (walk.Inside(r)) rings[1] = n - core - rings[0];
  return true;
}

// Whether the column through the middle of a horizontal finder line could
// hold a finder's vertical 1:1:3:1:1: a core of at least half the line's
// centre run and, on either side, a light and a dark ring of at most
// 1 3/4 modules each (or cut by the image's edge). Lenient on purpose: it
// only spares the scan the many short lines of a code's data.
bool VerticalFinderPlausible(const uint8_t* pixels, int32_t width, int32_t height,
                             const FinderLine& m, bool inverted) {
  const int32_t y = m.pos[1] >> 2;
  const int32_t x = (m.pos[0] + m.len / 2) >> 2;
  const int32_t mq = m.len / 3;  // module, quarter pixels
  const int32_t lead = m.boffs > 0 ? m.boffs : 3 * mq / 2;
  const int32_t trail = m.eoffs > 0 ? m.eoffs : 3 * mq / 2;
  // The light ring's level on this row, either side of the run.
  const int32_t xl0 = (m.pos[0] - lead / 2) >> 2, xl1 = (m.pos[0] + m.len + trail / 2) >> 2;
  if (x < 1 || x >= width - 1 || xl0 < 0 || xl1 >= width) return true;
  const int32_t sign = inverted ? -1 : 1;
  const uint8_t* row = pixels + static_cast<size_t>(y) * width;
  const int32_t core = sign * (row[x - 1] + 2 * row[x] + row[x + 1]);
  const int32_t light = sign * 2 * (row[xl0] + row[xl1]);
  const int32_t contrast = light - core;
  if (contrast < 4 * 8) return true;  // too faint to judge
  const int32_t threshold = (core + light) / 2, h = std::max(contrast / 4, 8);
  const int32_t cap = (10 * m.len) / 16 + 2;  // pixels: seven and a half modules
  const ColumnWalk up{pixels + x, width, height, -1, sign, cap};
  const ColumnWalk down{pixels + x, width, height, 1, sign, cap};
  // The core first: many of a code's data lines fail on it already.
  const int32_t coreUp = CoreRun(up, y, threshold);
  const int32_t coreDown = coreUp < 0 ? -1 : CoreRun(down, y, threshold);
  if (coreDown < 0) return false;
  const int32_t coreRun = 4 * (coreUp + coreDown - 1);
  if (2 * coreRun < m.len || coreRun > 2 * m.len) return false;
  int32_t ringsUp[2], ringsDown[2];
  if (!RingRuns(up, y, coreUp, h, ringsUp) || !RingRuns(down, y, coreDown, h, ringsDown)) {
    return false;
  }
  // The column's own module (perspective can make it differ from the row's),
  // and a ring's limit: 1 3/4 modules, or a module and two pixels where
  // pixel steps weigh more.
  const int32_t vm = coreRun / 3;
  const int32_t ring = std::max(7 * vm / 4, vm + 8);
  return 4 * ringsUp[0] <= ring && 4 * ringsUp[1] <= ring && 4 * ringsDown[0] <= ring &&
         4 * ringsDown[1] <= ring;
}

// The first pass scans every third row: any three neighbouring rows hold
// one of its rows.
constexpr int32_t kFirstPassStep = 3;

// Marks the rows between a first-pass row and its neighbours in that pass,
// on both sides of each line whose column could hold a finder.
void MarkRows(const FinderLine* lines, int32_t count, int32_t height, uint8_t* need,
              const uint8_t* pixels, int32_t width, bool inverted) {
  for (int32_t i = 0; i < count; ++i) {
    const int32_t row = lines[i].pos[1] >> 2;
    const int32_t r0 = std::max(row - kFirstPassStep + 1, 0);
    const int32_t r1 = std::min(row + kFirstPassStep - 1, height - 1);
    bool marked = true;
    for (int32_t r = r0; r <= r1; ++r) marked = marked && (r == row || need[r] != 0);
    if (marked || !VerticalFinderPlausible(pixels, width, height, lines[i], inverted)) continue;
    for (int32_t r = r0; r <= r1; ++r) {
      if (r != row) need[r] = 1;
    }
  }
}

// Sorts lines [first, count) by row, keeping each row's lines in scan order
// (nearly sorted already: insertion is quick and needs no memory).
void SortByRow(FinderLine* lines, int32_t first, int32_t count) {
  for (int32_t i = first + 1; i < count; ++i) {
    const FinderLine l = lines[i];
    int32_t j = i;
    while (j > first && lines[j - 1].pos[1] > l.pos[1]) {
      lines[j] = lines[j - 1];
      --j;
    }
    lines[j] = l;
  }
}

// Every row is scanned as a pass over all rows would scan it: even rows
// forward, odd rows backward. The first pass takes every third row; the
// second only the rows between a first-pass row where a line was found whose
// column could hold a finder and its neighbours in the first pass. Every
// three neighbouring rows hold a row of the first pass, so a finder's lines
// are all found; rows far from any such line (background, texture, a code's
// data) are never scanned. The first pass fills at most half of each store,
// so that the second can complete the rows above where it stopped; a busy
// picture ends about where a pass over all rows would have filled the store.
void ScanRows(ReaderArena* arena, const uint8_t* pixels, int32_t width, int32_t height) {
  ScanSink& sink = arena->sink;
  const int32_t invertedCapacity = sink.invertedCapacity;
  sink.invertedCapacity = invertedCapacity / 2;
  const int32_t stop = ScanRowSet(arena, pixels, width, height, sink.capacity / 2,
                                  [](int32_t r) { return r % kFirstPassStep == 0; });
  sink.invertedCapacity = invertedCapacity;
  const int32_t n1 = sink.count[0], i1 = sink.invertedCount[0];
  uint8_t need[kMaxImageHeight] = {};
  MarkRows(arena->lines[0], n1, height, need, pixels, width, false);
  MarkRows(arena->inverted[0], i1, height, need, pixels, width, true);
  ScanRowSet(arena, pixels, width, stop, sink.capacity, [&need](int32_t r) { return need[r] != 0; });
  // A strip's lanes alternate even and odd rows, so the second pass's lines
  // come out of row order where the two are not balanced.
  SortByRow(arena->lines[0], n1, sink.count[0]);
  SortByRow(arena->inverted[0], i1, sink.invertedCount[0]);
  FinderLine* temp = MergeArea(arena);
  MergeByRow(arena->lines[0], n1, sink.count[0], temp);
  MergeByRow(arena->inverted[0], i1, sink.invertedCount[0], temp);
}

// Rows [lo, hi) of a column strip.
struct StripRows {
  int32_t lo, hi;
};

// Rows scanned before and after the ones wanted, as the smoothing and the
// edge thresholds settle.
constexpr int32_t kSettleRows = 16;

// One column strip over rows [lo, hi): sixteen neighbouring columns are
// sixteen bytes of every row, read in place; only a last narrower strip is
// gathered.
void ScanColumnStrip(ReaderArena* arena, const uint8_t* pixels, int32_t width, int32_t x,
                     StripRows rows) {
  StripScratch* strip = StripArea(arena);
  const int32_t count = width - x < kStripLines ? width - x : kStripLines;
  const int32_t length = rows.hi - rows.lo;
  const uint8_t* top = pixels + static_cast<size_t>(rows.lo) * width + x;
  if (count == kStripLines) {
    SmoothStrip(top, width, length, strip);
  } else {
    GatherColumns(top, width, count, length, strip);
    SmoothStrip(strip->gathered, kStripLines, length, strip);
  }
  int32_t columns[kStripLines];
  for (int32_t j = 0; j < count; ++j) columns[j] = x + j;
  ScanStripLines(arena, *strip, columns, count, rows.lo, length);
}

constexpr int32_t kMaxColumnStrips = (kMaxImageWidth + kStripLines - 1) / kStripLines;

// The column pass's plan: per strip up to four row ranges wanted, and
// whether it was scanned. A strip is scanned once: rows wanted after that (a
// neighbour's line reaching further) are not added.
constexpr int kMaxStripRanges = 4;

struct ColumnPlan {
  StripRows want[kMaxColumnStrips][kMaxStripRanges];
  int32_t nwant[kMaxColumnStrips];
  bool scanned[kMaxColumnStrips];
  int32_t nstrips;
  int32_t height;
};

// Ranges this close are scanned as one: apart, each would pay its settling
// rows.
constexpr int32_t kJoinGap = 2 * kSettleRows;

// Adds rows [lo, hi) (clamped to the image) to strip s's wanted rows, kept
// sorted and apart by more than kJoinGap; past four ranges the two closest
// are joined.
void Want(ColumnPlan* plan, int32_t s, int32_t lo, int32_t hi) {
  if (lo < 0) lo = 0;
  if (hi > plan->height) hi = plan->height;
  if (lo >= hi) return;
  StripRows* w = plan->want[s];
  StripRows all[kMaxStripRanges + 1];
  int32_t n = 0;
  bool placed = false;
  for (int32_t i = 0; i < plan->nwant[s]; ++i) {
    if (w[i].hi + kJoinGap >= lo && hi + kJoinGap >= w[i].lo) {
      lo = std::min(lo, w[i].lo);  // within reach: joined into the new range
      hi = std::max(hi, w[i].hi);
      continue;
    }
    if (!placed && w[i].lo > lo) {
      all[n++] = StripRows{lo, hi};
      placed = true;
    }
    all[n++] = w[i];
  }
  if (!placed) all[n++] = StripRows{lo, hi};
  if (n > kMaxStripRanges) {
    int32_t best = 0;
    for (int32_t i = 1; i + 1 < n; ++i) {
      if (all[i + 1].lo - all[i].hi < all[best + 1].lo - all[best].hi) best = i;
    }
    all[best].hi = all[best + 1].hi;
    for (int32_t i = best + 1; i + 1 < n; ++i) all[i] = all[i + 1];
    --n;
  }
  for (int32_t i = 0; i < n; ++i) w[i] = all[i];
  plan->nwant[s] = n;
}

// Wants, for every middle line of a horizontal cluster, the strips under it
// over the rows a vertical cluster crossing it can span: the finder's height
// (7 modules of len / 3) taller by up to a half under perspective, either
// side of the line, and the rows the scan needs to settle.
void WantCrossing(ColumnPlan* plan, const FinderLine& middle, int32_t c0, int32_t c1) {
  const int32_t row = middle.pos[1] >> 2;
  const int32_t reach = ((3 * middle.len) >> 2) + kSettleRows;
  for (int32_t s = c0 >> 4; s <= c1 >> 4 && s < plan->nstrips; ++s) {
    Want(plan, s, row - reach, row + reach + 1);
  }
}

// Wants the strips of the columns a vertical line could share a cluster
// with: a neighbour within t = (len + 7) / 4 quarter pixels of one end of the
// cluster, and a line continuing one of length L has at most 2L + 7, so
// L / 2 + 4 quarter pixels either side covers every such column; over the
// line's rows, a length more either side and the rows the scan needs to
// settle.
void WantReach(ColumnPlan* plan, const FinderLine* lines, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const FinderLine& l = lines[i];
    const int32_t column = l.pos[0] >> 2;
    const int32_t reach = ((l.len >> 1) + 4 + 3) >> 2;
    int32_t s0 = (column - reach) >> 4, s1 = (column + reach) >> 4;
    if (s0 < 0) s0 = 0;
    if (s1 >= plan->nstrips) s1 = plan->nstrips - 1;
    const int32_t lo = ((l.pos[1] - l.len) >> 2) - kSettleRows;
    const int32_t hi = ((l.pos[1] + 2 * l.len) >> 2) + kSettleRows + 1;
    for (int32_t s = s0; s <= s1; ++s) Want(plan, s, lo, hi);
  }
}

// What the column pass's cluster callback needs besides the plan.
struct CrossingCheck {
  ColumnPlan* plan;
  const uint8_t* pixels;
  int32_t width;
  bool inverted;
};

// WantCrossing for the clusters whose middle line's column could hold a
// finder: a code's data makes many short horizontal clusters that no
// vertical one crosses.
void WantFinderCrossing(void* context, const FinderLine& middle, int32_t c0, int32_t c1) {
  const CrossingCheck& check = *static_cast<const CrossingCheck*>(context);
  if (VerticalFinderPlausible(check.pixels, check.width, check.plan->height, middle, check.inverted)) {
    WantCrossing(check.plan, middle, c0, c1);
  }
}

// Keeps lines [first, count) that end at least kSettleRows rows inside the
// scanned rows (or at the image's edge, where a full pass starts too).
int32_t KeepSettled(FinderLine* lines, int32_t first, int32_t count, StripRows rows,
                    int32_t height) {
  int32_t k = first;
  for (int32_t i = first; i < count; ++i) {
    const FinderLine& l = lines[i];
    const int32_t lead = l.boffs > 0 ? l.boffs : l.len / 2;
    const int32_t trail = l.eoffs > 0 ? l.eoffs : l.len / 2;
    const bool top = rows.lo == 0 || l.pos[1] - lead >= (rows.lo + kSettleRows) * 4;
    const bool bottom = rows.hi == height || l.pos[1] + l.len + trail <= (rows.hi - kSettleRows) * 4;
    if (top && bottom) lines[k++] = l;
  }
  return k;
}

// Scans strip s over `rows`, keeps its settled lines and wants the strips
// they reach into.
void ScanWantedRows(ReaderArena* arena, const uint8_t* pixels, int32_t width, int32_t height,
                    int32_t s, StripRows rows, ColumnPlan* plan) {
  ScanSink& sink = arena->sink;
  const int32_t n0 = sink.count[1], i0 = sink.invertedCount[1];
  ScanColumnStrip(arena, pixels, width, s * kStripLines, rows);
  sink.count[1] = KeepSettled(sink.lines[1], n0, sink.count[1], rows, height);
  sink.invertedCount[1] = KeepSettled(sink.inverted[1], i0, sink.invertedCount[1], rows, height);
  WantReach(plan, sink.lines[1] + n0, sink.count[1] - n0);
  WantReach(plan, sink.inverted[1] + i0, sink.invertedCount[1] - i0);
}

// Column passes only where a vertical cluster could cross a horizontal one:
// the strips under the middle lines of the horizontal clusters (both
// polarities) whose column could hold a finder, over the rows such a cluster
// can span, grown until no vertical line could join a cluster from columns
// not scanned.
void ScanColumns(ReaderArena* arena, const uint8_t* pixels, int32_t width, int32_t height) {
  ScanSink& sink = arena->sink;
  ColumnPlan plan;
  plan.nstrips = (width + kStripLines - 1) / kStripLines;
  plan.height = height;
  for (int32_t s = 0; s < plan.nstrips; ++s) {
    plan.nwant[s] = 0;
    plan.scanned[s] = false;
  }
  // Clustering scratch behind the strip work area (both sit in the binarised
  // image's bytes).
  uint8_t* scratch = reinterpret_cast<uint8_t*>(StripArea(arena)) + sizeof(StripScratch);
  CrossingCheck check{&plan, pixels, width, false};
  MarkCrossingStrips(arena->lines[0], sink.count[0], scratch, plan.nstrips, WantFinderCrossing, &check);
  check.inverted = true;
  MarkCrossingStrips(arena->inverted[0], sink.invertedCount[0], scratch, plan.nstrips,
                     WantFinderCrossing, &check);
  for (bool more = true; more;) {
    more = false;
    for (int32_t s = 0; s < plan.nstrips && sink.count[1] < sink.capacity; ++s) {
      if (plan.scanned[s] || plan.nwant[s] == 0) continue;
      more = true;
      plan.scanned[s] = true;
      // A copy: the strip's own lines may want more of it, which is not added.
      StripRows ranges[kMaxStripRanges];
      const int32_t nranges = plan.nwant[s];
      std::copy(plan.want[s], plan.want[s] + nranges, ranges);
      for (int32_t k = 0; k < nranges && sink.count[1] < sink.capacity; ++k) {
        ScanWantedRows(arena, pixels, width, height, s, ranges[k], &plan);
      }
    }
  }
}

}  // namespace

// Row passes give horizontal lines, column passes vertical ones.
void ScanImage(ReaderArena* arena) {
  const ReaderImage& image = arena->image;
  ScanSink* sink = &arena->sink;
  std::memset(sink, 0, sizeof(*sink));
  sink->lines[0] = arena->lines[0];
  sink->capacity = kFinderLineStore - kMaxFinderLines;
  sink->inverted[0] = arena->inverted[0];
  sink->inverted[1] = arena->inverted[1];
  sink->invertedCapacity = kMaxFinderLines;
  EdgeScannerInit(&arena->scanner, sink);
  EdgeScannerNewLine(&arena->scanner);

  sink->vertical = 0;
  ScanRows(arena, image.pixels, image.width, image.height);
  // The vertical list starts right behind the horizontal one.
  arena->lines[1] = arena->lines[0] + sink->count[0];
  sink->lines[1] = arena->lines[1];
  sink->capacity = kFinderLineStore - sink->count[0];
  sink->vertical = 1;
  ScanColumns(arena, image.pixels, image.width, image.height);
}

namespace {

// Edge points taken by the first `count` centres.
int32_t EdgePointsUsed(const FinderCentre* centres, int32_t count, const EdgePoint* base) {
  int32_t used = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t end = static_cast<int32_t>(centres[i].edgePts - base) + centres[i].nedgePts;
    if (end > used) used = end;
  }
  return used;
}

// Centres of the dark-on-light lines, then behind them those of the
// light-on-dark lines; sets `inverted` to the count of the latter.
int32_t LocateBothCentres(ReaderArena* arena, int32_t* inverted) {
  ScanSink& sink = arena->sink;
  int32_t count = 0;
  *inverted = 0;
  if (sink.count[0] >= kMinLinesPerDirection && sink.count[1] >= kMinVerticalLines) {
    count = LocateCentres(arena->lines[0], sink.count[0], arena->lines[1], sink.count[1],
                          arena->binary, arena->centres, kMaxFinderCentres, arena->edgePoints,
                          kMaxEdgePoints);
  }
  if (sink.invertedCount[0] >= kMinLinesPerDirection &&
      sink.invertedCount[1] >= kMinVerticalLines) {
    const int32_t used = EdgePointsUsed(arena->centres, count, arena->edgePoints);
    *inverted = LocateCentres(arena->inverted[0], sink.invertedCount[0], arena->inverted[1],
                              sink.invertedCount[1], arena->binary, arena->centres + count,
                              kMaxFinderCentres - count, arena->edgePoints + used,
                              kMaxEdgePoints - used);
  }
  return count;
}

// Binarises the image and searches the dark-on-light centres, then the
// light-on-dark ones on the inverted binarised image.
void SearchBoth(ReaderArena* arena, LocateContext* ctx, int32_t ncentres, int32_t ninverted) {
  if (ncentres < 3 && ninverted < 3) return;
  const ReaderImage& image = arena->image;
  LazyBinaryInit(&arena->lazy, image.pixels, image.width, image.height, arena->binary,
                 arena->columnSums);
  ctx->lazy = &arena->lazy;
  ctx->invert = 0;
  if (ncentres >= 3) SearchCodes(ctx, arena->centres, ncentres);
  // A code's own modules give light-led centres inside it: with fewer than
  // three elsewhere the image is not worth inverting.
  if (ninverted >= 3 && ctx->codeCount < kMaxCodes &&
      MarkCentresInsideCodes(*ctx, arena->centres + ncentres, ninverted) >= 3) {
    // Light-on-dark codes are read from the inverted binarised image.
    LazyBinaryInvert(&arena->lazy);
    ctx->invert = 0xFF;
    SearchCodes(ctx, arena->centres + ncentres, ninverted);
  }
}

// Locates, samples and decodes the codes found by the scan and adds their
// symbols to the image's result set.
void RunQrStage(ReaderArena* arena) {
  int32_t ninverted = 0;
  int32_t ncentres = LocateBothCentres(arena, &ninverted);
  // Frames without a finder (noise, empty scenes) stop here: they never pay
  // for the second look below.
  if (ncentres + ninverted == 0) return;
  LocateContext ctx{};
  InitLocateContext(arena, &ctx);
  SearchBoth(arena, &ctx, ncentres, ninverted);
  if (ctx.codeCount == 0 && ScanHalfSize(arena)) {
    // A finder seen but no code read: noise, texture, blur or stepped edges
    // may have broken the other finders' lines. A second look at a smoothed
    // half-size copy; the codes are still read from the original.
    ncentres = LocateBothCentres(arena, &ninverted);
    SearchBoth(arena, &ctx, ncentres, ninverted);
  }

  int32_t count = ctx.codeCount;
  if (count > kMaxCodes) count = kMaxCodes;
  if (count <= 0) return;
  const ReaderImage& image = arena->image;
  // A negative result means the pools ran out: the symbols added so far stay.
  BuildTexts(arena->codes, count, &arena->pools, image.results);
  for (int32_t i = 0; i < count; ++i) ReleaseCode(&arena->codes[i], &arena->pools);
}

}  // namespace

void InitLocateContext(ReaderArena* arena, LocateContext* ctx) {
  const ReaderImage& image = arena->image;
  qrstd::Gf256Init(arena->gf);
  IsaacInit(arena->rng, nullptr, 0);
  *ctx = LocateContext{};
  ctx->grey = image.pixels;
  ctx->width = image.width;
  ctx->height = image.height;
  ctx->binary = arena->binary;
  ctx->gf = arena->gf;
  ctx->pools = &arena->pools;
  ctx->codes = arena->codes;
  ctx->rng = arena->rng;
  ctx->scratch = arena->scratch;
  ctx->scratch->probes = 0;
  ctx->columnSums = arena->columnSums;
}

namespace {

// Returns the number of symbols in the result set.
int32_t Scan(ReaderArena* arena) {
  ReaderImage& image = arena->image;
  if (image.format != kFormatY800 && image.format != kFormatGrey) return 0;
  image.results = TakeSymbolSet(&arena->pools);
  if (image.results == nullptr) return 0;
  ScanImage(arena);
  RunQrStage(arena);
  return image.results->count;
}

void WriteRecord(const ReaderSymbol& symbol, DecodeResult* record) {
  record->type = static_cast<uint32_t>(symbol.type);
  std::memcpy(record->data, symbol.data, symbol.dataLength);
  record->data[symbol.dataLength] = 0;
  record->length = symbol.dataLength;
  record->version = symbol.version;
  record->ecLevel = symbol.ecLevel;
}

}  // namespace

int32_t WriteRecords(const SymbolSet* set, DecodeResult* results, int32_t maxResults) {
  int32_t written = 0;
  if (set == nullptr || results == nullptr) return 0;
  for (const ReaderSymbol* s = set->head; s != nullptr; s = s->next) {
    if (s->type == kSymbolPartial) continue;
    if (written >= maxResults) break;
    // The data field holds 4096 bytes; longer texts would not fit a record.
    if (s->dataLength >= kMaxReportedLength || s->dataLength > s->dataCapacity) continue;
    WriteRecord(*s, &results[written++]);
  }
  return written;
}

}  // namespace qrread

int32_t qr_read_symbols(const uint8_t* grey, int32_t width, int32_t height,
                        DecodeResult* results, int32_t maxResults) {
  using namespace qrread;
  ReaderArena* arena = ArenaOpen();
  if (arena == nullptr) return QR_READ_NO_MEMORY;
  if (width > QR_READ_MAX_WIDTH || height > QR_READ_MAX_HEIGHT) {
    ArenaClose(arena);
    return QR_READ_TOO_LARGE;
  }
  // Nothing to read in an empty or missing picture.
  if (grey == nullptr || width < 1 || height < 1) {
    ArenaClose(arena);
    return 0;
  }
  ReaderImage& image = arena->image;
  image.format = kFormatY800;
  image.width = width;
  image.height = height;
  image.crop[0] = 0;
  image.crop[1] = 0;
  image.crop[2] = width;
  image.crop[3] = height;
  image.pixels = grey;
  image.results = nullptr;
  Scan(arena);
  const int32_t count = WriteRecords(image.results, results, maxResults);
  ArenaClose(arena);
  return count;
}

const char* symbol_type_name(int32_t code) {
  switch (code) {
    case 2: return "EAN-2";
    case 5: return "EAN-5";
    case 8: return "EAN-8";
    case 9: return "UPC-E";
    case 10: return "ISBN-10";
    case 12: return "UPC-A";
    case 13: return "EAN-13";
    case 14: return "ISBN-13";
    case 15: return "COMPOSITE";
    case 25: return "I2/5";
    case 34: return "DataBar";
    case 35: return "DataBar-Exp";
    case 39: return "CODE-39";
    case 57: return "PDF417";
    case 64: return "QR-Code";
    case 93: return "CODE-93";
    case 128: return "CODE-128";
    default: return "UNKNOWN";
  }
}
