#include "reader/width_decoder.h"

#include <cstring>

#include "reader/edge_scanner.h"

namespace qrread {

namespace {

// Pair ratio of two adjacent elements against the five-element sum: 0 for
// two modules, 2 for four modules out of seven; 4 and up is invalid (a
// negative intermediate wraps to a large value).
inline uint32_t PairClass(uint32_t pair, uint32_t sum5) {
  return static_cast<uint8_t>(((pair * 14u + 1u) / sum5 - 3u) / 2u);
}

// PairClass(pair, sum5) == want (0 or 2) without dividing: the class is
// `want` when (pair * 14 + 1) / sum5 is 3 + 2 want or one more. Holds when the
// pair is part of the sum (it always is, unless widths wrapped), so the
// division stays for that case.
inline bool PairIs(uint32_t pair, uint32_t sum5, uint32_t want) {
  if (pair > sum5 || sum5 >= (1u << 27)) return PairClass(pair, sum5) == want;
  const uint32_t x = pair * 14u + 1u;
  return x >= (3u + 2u * want) * sum5 && x < (5u + 2u * want) * sum5;
}

}  // namespace

void WidthDecoderReset(WidthDecoder* decoder) { std::memset(decoder, 0, sizeof(*decoder)); }

int WidthDecoderTest(WidthDecoder* d, uint32_t width) {
  const uint32_t i = d->index - 1;
  const uint32_t* w = d->widths;
  const uint32_t s = d->sum5;
  const uint32_t w0 = width;
  const uint32_t w1 = w[(i - 1) & 15], w2 = w[(i - 2) & 15], w3 = w[(i - 3) & 15];
  const uint32_t w4 = w[(i - 4) & 15], w5 = w[(i - 5) & 15];
  if (!PairIs(w1 + w2, s, 0) || !PairIs(w2 + w3, s, 2) || !PairIs(w3 + w4, s, 2) ||
      !PairIs(w4 + w5, s, 0)) {
    return 0;
  }
  d->trail = w0 + (w1 + 1) / 2;
  d->end = w0 + w1 + w2;
  d->start = d->end + w3;
  d->lead = d->start + w4 + (w5 + 1) / 2;
  return 1;
}

FinderLine MakeFinderLine(const ScanSink& sink, const EdgeScanner& scanner) {
  const WidthDecoder& d = sink.decoder;
  const int32_t u = EdgeScannerEdgePosition(&scanner, d.start);
  const int32_t pEnd = EdgeScannerEdgePosition(&scanner, d.end);
  FinderLine line;
  int32_t lead = u - EdgeScannerEdgePosition(&scanner, d.lead);
  int32_t trail = EdgeScannerEdgePosition(&scanner, d.trail) - pEnd;
  line.len = pEnd - u;
  int32_t along = sink.lineStart * 4 + sink.direction * u;
  if (sink.direction < 0) {
    along -= line.len;
    const int32_t t = lead;
    lead = trail;
    trail = t;
  }
  line.boffs = lead;
  line.eoffs = trail;
  const int32_t across = sink.lineIndex * 4 + 2;
  line.pos[sink.vertical] = along;
  line.pos[1 - sink.vertical] = across;
  return line;
}

void ScanSinkRecord(ScanSink* sink, const EdgeScanner& scanner, int hit) {
  const int dir = sink->vertical;
  if (hit == 1) {
    if (sink->count[dir] >= sink->capacity) return;
    sink->lines[dir][sink->count[dir]++] = MakeFinderLine(*sink, scanner);
  } else {
    if (sink->invertedCount[dir] >= sink->invertedCapacity) return;
    sink->inverted[dir][sink->invertedCount[dir]++] = MakeFinderLine(*sink, scanner);
  }
}

}  // namespace qrread
