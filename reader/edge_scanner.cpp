#include "reader/edge_scanner.h"

#include <cstring>

#include "reader/width_decoder.h"

namespace qrread {

namespace {

int32_t Abs(int32_t v) { return v < 0 ? -v : v; }

// Finalises the current edge: the element behind it goes to the sink.
void EmitEdge(EdgeScanner* s) {
  if (s->edgeSlope == 0) {
    s->lastEdge = s->candidate = 48;
  } else if (s->lastEdge == 0) {
    s->lastEdge = s->candidate;
  }
  s->width = s->candidate - s->lastEdge;
  s->lastEdge = s->candidate;
  if (s->sink != nullptr) ScanSinkWidth(s->sink, *s, s->width);
}

// The threshold an edge must reach at the current pixel; it fades with the
// distance from the last edge relative to the last element's width.
int32_t ThresholdInUse(EdgeScanner* s, int32_t x) {
  if (s->threshold <= kEdgeMinThreshold || s->width == 0) return kEdgeMinThreshold;
  const uint32_t dx = static_cast<uint32_t>(x) * 32u - s->lastEdge;
  const uint32_t t = (static_cast<uint32_t>(s->threshold) * dx / s->width) >> 3;
  const uint32_t thr = static_cast<uint32_t>(s->threshold);
  if (thr > t && thr - t > static_cast<uint32_t>(kEdgeMinThreshold)) {
    return static_cast<int32_t>(thr - t);
  }
  s->threshold = kEdgeMinThreshold;
  return kEdgeMinThreshold;
}

}  // namespace

void EdgeScannerInit(EdgeScanner* scanner, ScanSink* sink) {
  std::memset(scanner, 0, sizeof(*scanner));
  scanner->threshold = kEdgeMinThreshold;
  scanner->sink = sink;
}

void EdgeScannerCandidate(EdgeScanner* s, int32_t d1, int32_t a, int32_t b) {
  const int32_t x = s->x - 1;  // the pixel just fed
  if (Abs(d1) < ThresholdInUse(s, x)) return;
  const bool reversed = s->edgeSlope > 0 ? d1 < 0 : d1 > 0;
  if (reversed) EmitEdge(s);
  if (reversed || Abs(s->edgeSlope) < Abs(d1)) {
    s->edgeSlope = d1;
    const int32_t thr = (Abs(d1) * 14 + 16) >> 5;
    s->threshold = thr < kEdgeMinThreshold ? kEdgeMinThreshold : thr;
    int32_t frac;
    if (a == b) {
      frac = 16;
    } else if (a == 0) {
      frac = 32;
    } else {
      frac = 32 - (a * 32 + 1) / (a - b);
    }
    s->candidate = static_cast<uint32_t>(x * 32 + frac);
  }
}

void EdgeScannerPixels(EdgeScanner* s, const uint8_t* pixels, int32_t count, int32_t step) {
  if (count <= 0) return;
  if (s->x == 0) {
    EdgeScannerPixel(s, *pixels);
    pixels += step;
    --count;
  }
  // The smoothed values live in registers; the ring is written back at the end.
  int32_t x = s->x;
  int32_t s1 = s->ring[(x - 1) & 3], s2 = s->ring[(x - 2) & 3], s3 = s->ring[(x - 3) & 3];
  for (int32_t i = 0; i < count; ++i, pixels += step) {
    const int32_t s0 = s1 + (((static_cast<int32_t>(*pixels) - s1) * 25) >> 5);
    const int32_t a = s0 - 2 * s1 + s2;
    const int32_t b = s1 - 2 * s2 + s3;
    int32_t d1 = s1 - s2;
    const int32_t d2 = s2 - s3;
    s3 = s2;
    s2 = s1;
    s1 = s0;
    ++x;
    // Zero crossing of the second derivative and a first derivative of at
    // least the minimum threshold: rare, so one well-predicted branch.
    const bool crossing = (a == 0) | (((a ^ b) < 0) & (b != 0));
    const bool steep = (d1 >= kEdgeMinThreshold) | (d1 <= -kEdgeMinThreshold) |
                       (d2 >= kEdgeMinThreshold) | (d2 <= -kEdgeMinThreshold);
    if (!(crossing & steep)) continue;
    if (Abs(d1) < Abs(d2) && ((d1 >= 0) == (d2 >= 0))) d1 = d2;
    if (Abs(d1) < kEdgeMinThreshold) continue;
    s->x = x;
    EdgeScannerCandidate(s, d1, a, b);
  }
  s->x = x;
  s->ring[(x - 1) & 3] = s1;
  s->ring[(x - 2) & 3] = s2;
  s->ring[(x - 3) & 3] = s3;
}

void EdgeScannerFlush(EdgeScanner* s) {
  if (s->edgeSlope == 0) return;
  const uint32_t lineEnd = static_cast<uint32_t>(s->x) * 32u + 16u;
  const uint32_t marker = static_cast<uint32_t>(s->x + 2) * 32u;
  if (s->candidate != marker) {
    const uint32_t pending = s->candidate;
    EmitEdge(s);
    s->edgeSlope = -s->edgeSlope;
    s->candidate = lineEnd;
    EmitEdge(s);
    if (static_cast<int32_t>(pending / 32u) + 1 == s->x) {
      s->edgeSlope = -s->edgeSlope;
      s->candidate = lineEnd + 32u;
      EmitEdge(s);
    }
    s->candidate = marker;
    return;
  }
  s->edgeSlope = 0;
  s->width = 0;
  if (s->sink != nullptr) ScanSinkWidth(s->sink, *s, 0);
}

void EdgeScannerNewLine(EdgeScanner* s) {
  while (s->edgeSlope != 0) EdgeScannerFlush(s);
  s->x = 0;
  s->ring[0] = s->ring[1] = s->ring[2] = s->ring[3] = 0;
  s->candidate = 0;
  s->lastEdge = 0;
  s->width = 0;
  s->threshold = kEdgeMinThreshold;
  if (s->sink != nullptr) WidthDecoderReset(&s->sink->decoder);
}

}  // namespace qrread
