// The half-size scan: a 2 x 2 box mean, scanned like the image itself.
#include "reader/smoothed_pass.h"

#include "reader/finder_centres.h"
#include "reader/reader_entry.h"
#include "reader/scan_strip.h"

namespace qrread {

namespace {

// The smallest side of a half-size copy that can hold a version 1 code with
// its finders at one pixel per module.
constexpr int32_t kMinHalfSide = 21;

static_assert(kHalfCopyEnd <= static_cast<size_t>(kMaxImageWidth) * kMaxImageHeight,
              "the half-size copy does not fit behind the strip and clustering scratch");

void DoubleLines(FinderLine* lines, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    FinderLine& l = lines[i];
    l.pos[0] *= 2;
    l.pos[1] *= 2;
    l.len *= 2;
    l.boffs *= 2;
    l.eoffs *= 2;
  }
}

}  // namespace

bool ScanHalfSize(ReaderArena* arena) {
  ReaderImage& image = arena->image;
  const int32_t w = image.width / 2, h = image.height / 2;
  if (w < kMinHalfSide || h < kMinHalfSide) return false;
  uint8_t* half = arena->binary + kHalfOffset;
  const size_t stride = static_cast<size_t>(image.width);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* a = image.pixels + 2 * y * stride;
    const uint8_t* b = a + stride;
    uint8_t* out = half + static_cast<size_t>(y) * w;
    for (int32_t x = 0; x < w; ++x) {
      out[x] = static_cast<uint8_t>((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) >> 2);
    }
  }
  const ReaderImage full = image;
  image.pixels = half;
  image.width = w;
  image.height = h;
  ScanImage(arena);
  image = full;
  // Positions in quarter pixels: a half-size pixel's centre 4 i + 2 is the
  // full image's 8 i + 4, between its two pixels.
  const ScanSink& sink = arena->sink;
  DoubleLines(arena->lines[0], sink.count[0]);
  DoubleLines(arena->lines[1], sink.count[1]);
  DoubleLines(arena->inverted[0], sink.invertedCount[0]);
  DoubleLines(arena->inverted[1], sink.invertedCount[1]);
  return true;
}

}  // namespace qrread
