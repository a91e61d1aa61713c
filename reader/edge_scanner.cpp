#include "reader/edge_scanner.h"

#include <cstring>

#include "reader/scan_strip.h"
#include "reader/width_decoder.h"

namespace qrread {

namespace {

int32_t Abs(int32_t v) { return v < 0 ? -v : v; }

// Second derivatives of smoothed values 0..255 stay within +-510, so a
// crossing's divisor |a| + |b| stays below 1021.
constexpr int kMaxCrossingDivisor = 1021;

// ceil(2^32 / d): n / d == (n * r) >> 32 for n < 2^16 and d < 2^11.
struct Reciprocals {
  uint32_t r[kMaxCrossingDivisor];
  constexpr Reciprocals() : r() {
    r[0] = 0;
    for (int d = 1; d < kMaxCrossingDivisor; ++d) {
      r[d] = static_cast<uint32_t>(((uint64_t(1) << 32) + uint64_t(d) - 1) / uint64_t(d));
    }
  }
};
constexpr Reciprocals kReciprocals;

// Sub-pixel place (1..32, 1/32 pixel) of the zero crossing between the
// pixel before (second derivative b) and this one (a): 32 - (32 a + 1) / (a - b)
// with the division truncating towards zero.
inline int32_t CrossingFraction(int32_t a, int32_t b) {
  if (a == b) return 16;
  if (a == 0) return 32;
  const int32_t n = a * 32 + 1, d = a - b;
  // Opposite signs (the usual case): both positive or both negative, so the
  // truncated quotient is that of the magnitudes.
  if (((a ^ b) < 0) && b != 0) {
    const uint32_t un = static_cast<uint32_t>(n < 0 ? -n : n);
    const uint32_t ud = static_cast<uint32_t>(d < 0 ? -d : d);
    if (ud < kMaxCrossingDivisor && un < (1u << 16)) {
      return 32 - static_cast<int32_t>((uint64_t(un) * kReciprocals.r[ud]) >> 32);
    }
  }
  return 32 - n / d;
}

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

}  // namespace

void EdgeScannerInit(EdgeScanner* scanner, ScanSink* sink) {
  std::memset(scanner, 0, sizeof(*scanner));
  scanner->threshold = kEdgeMinThreshold;
  scanner->sink = sink;
}

void EdgeScannerCandidate(EdgeScanner* s, int32_t d1, int32_t a, int32_t b) {
  const int32_t x = s->x - 1;  // the pixel just fed
  const int32_t ad1 = Abs(d1);
  // The threshold in use fades with the distance from the last edge relative
  // to the last element's width: thr - t with t = thr * dx / width / 8 while
  // that stays above the minimum, else the minimum (and the stored threshold
  // drops to it). Compared by multiplying out, so no division per pixel.
  if (s->threshold > kEdgeMinThreshold && s->width != 0) {
    const uint32_t thr = static_cast<uint32_t>(s->threshold);
    const uint64_t n = thr * (static_cast<uint32_t>(x) * 32u - s->lastEdge);
    const uint64_t w8 = static_cast<uint64_t>(s->width) * 8u;
    if (n >= w8 * (thr - kEdgeMinThreshold)) {
      s->threshold = kEdgeMinThreshold;
    } else if (thr > static_cast<uint32_t>(ad1) && n < w8 * (thr - static_cast<uint32_t>(ad1))) {
      return;
    }
  }
  if (ad1 < kEdgeMinThreshold) return;
  const bool reversed = s->edgeSlope > 0 ? d1 < 0 : d1 > 0;
  if (reversed) EmitEdge(s);
  if (reversed || Abs(s->edgeSlope) < Abs(d1)) {
    s->edgeSlope = d1;
    const int32_t thr = (Abs(d1) * 14 + 16) >> 5;
    s->threshold = thr < kEdgeMinThreshold ? kEdgeMinThreshold : thr;
    s->candidate = static_cast<uint32_t>(x * 32 + CrossingFraction(a, b));
  }
}

// EdgeScannerCandidate with the scanner's fields held in locals for a whole
// line; written back only when a width leaves (the sink reads the last edge)
// and at the end.
void EdgeScannerFlaggedLine(EdgeScanner* s, const int16_t* smoothed, const uint8_t* flags,
                            int lane, int32_t length) {
  if (length <= 0) return;
  const int16_t* sv = smoothed + kStripPadSteps * kStripLanes + lane;
  int32_t slope = s->edgeSlope, threshold = s->threshold;
  uint32_t candidate = s->candidate, lastEdge = s->lastEdge, width = s->width;
  ScanSink* sink = s->sink;
  // The width decoder's running state in locals too: its newest six widths
  // (w[0] newest), index and five-width sum. The ring still gets every
  // width, for the full test on the rare windows that pass the quick one.
  WidthDecoder* d = sink != nullptr ? &sink->decoder : nullptr;
  uint32_t index = 0, sum5 = 0, w[6] = {};
  if (d != nullptr) {
    index = d->index;
    sum5 = d->sum5;
    for (int k = 0; k < 6; ++k) w[k] = d->widths[(index - 1 - k) & 15];
  }
  for (int32_t k0 = 0; k0 < length; k0 += 64) {
    for (uint64_t bits = StripLaneFlags(flags, k0, lane); bits != 0; bits &= bits - 1) {
      const int32_t k = k0 + __builtin_ctzll(bits);
      const int32_t s0 = sv[k * kStripLanes], s1 = sv[(k - 1) * kStripLanes];
      const int32_t s2 = sv[(k - 2) * kStripLanes], s3 = sv[(k - 3) * kStripLanes];
      int32_t d1 = s1 - s2;
      const int32_t d2 = s2 - s3;
      if (Abs(d1) < Abs(d2) && ((d1 >= 0) == (d2 >= 0))) d1 = d2;
      const int32_t ad1 = Abs(d1);
      if (threshold > kEdgeMinThreshold && width != 0) {
        const uint32_t thr = static_cast<uint32_t>(threshold);
        const uint64_t n = thr * (static_cast<uint32_t>(k) * 32u - lastEdge);
        const uint64_t w8 = static_cast<uint64_t>(width) * 8u;
        if (n >= w8 * (thr - kEdgeMinThreshold)) {
          threshold = kEdgeMinThreshold;
        } else if (thr > static_cast<uint32_t>(ad1) &&
                   n < w8 * (thr - static_cast<uint32_t>(ad1))) {
          continue;
        }
      }
      if (ad1 < kEdgeMinThreshold) continue;
      const bool reversed = slope > 0 ? d1 < 0 : d1 > 0;
      if (reversed) {
        if (slope == 0) {
          lastEdge = candidate = 48;
        } else if (lastEdge == 0) {
          lastEdge = candidate;
        }
        width = candidate - lastEdge;
        lastEdge = candidate;
        if (d != nullptr) {
          // WidthDecoderPush on the locals.
          d->widths[index & 15] = width;
          sum5 += w[0] - w[5];
          w[5] = w[4];
          w[4] = w[3];
          w[3] = w[2];
          w[2] = w[1];
          w[1] = w[0];
          w[0] = width;
          const uint32_t i = index++;
          if (!QuickReject(sum5, w[2] + w[3])) {
            d->index = index;
            d->sum5 = sum5;
            const int hit = WidthDecoderTest(d, width) << (i & 1);
            if (hit != 0) {
              s->lastEdge = lastEdge;
              ScanSinkRecord(sink, *s, hit);
            }
          }
        }
      }
      if (reversed || Abs(slope) < ad1) {
        slope = d1;
        const int32_t thr = (ad1 * 14 + 16) >> 5;
        threshold = thr < kEdgeMinThreshold ? kEdgeMinThreshold : thr;
        candidate = static_cast<uint32_t>(k * 32 + CrossingFraction(s0 - 2 * s1 + s2,
                                                                    s1 - 2 * s2 + s3));
      }
    }
  }
  s->edgeSlope = slope;
  s->threshold = threshold;
  s->candidate = candidate;
  s->lastEdge = lastEdge;
  s->width = width;
  s->x = length;
  if (d != nullptr) {
    d->index = index;
    d->sum5 = sum5;
  }
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
