// The width decoder with the QR finder-line test (dark-light-dark-light-dark
// in the ratio 1:1:3:1:1), and the recording of hits as FinderLine records in
// image coordinates for row and column passes.
#pragma once
#include <cstdint>

#include "reader/finder.h"

namespace qrread {

struct EdgeScanner;

struct WidthDecoder {
  uint32_t widths[16];   // ring of the last element widths (1/32 px)
  uint32_t index;        // running element index: even = light, odd = dark
  uint32_t sum5;         // the five widths before the newest one
  // Edge offsets (1/32 px, counted back from the newest edge) of the last hit.
  uint32_t trail, end, start, lead;
};

// Where the scan sends its widths: the decoder, the two line lists and the
// current line's place in the image.
struct ScanSink {
  WidthDecoder decoder;
  FinderLine* lines[2];   // 0 horizontal (row passes), 1 vertical (column passes)
  int32_t count[2];
  int32_t capacity;       // per list; further lines are dropped
  // Light-on-dark hits (light-dark-light-dark-light, 1:1:3:1:1), kept apart.
  FinderLine* inverted[2];
  int32_t invertedCount[2];
  int32_t invertedCapacity;   // per list
  int32_t vertical;       // the current pass: 0 rows, 1 columns
  int32_t lineIndex;      // row or column number
  int32_t lineStart;      // 0 forward, width or height (pixels) backward
  int32_t direction;      // +1 forward, -1 backward
};

// Clears widths, index and sums.
void WidthDecoderReset(WidthDecoder* decoder);

// The finder-line test on the width just stored (the newest, light, with a
// five-width sum of at least 7): 1 and the offsets set when it passes, else 0.
int WidthDecoderTest(WidthDecoder* decoder, uint32_t width);

// Whether the window whose five widths before the newest sum to `sum5`, and
// whose centre pair (the two widths before the newest but one) sums to
// `centre`, fails the finder-line test: too small, or (as most windows do) a
// centre pair short of four modules of seven, turned away exactly as the full
// test would (see PairIs).
inline bool QuickReject(uint32_t sum5, uint32_t centre) {
  return sum5 < 7 || (centre <= sum5 && sum5 < (1u << 27) && centre * 14u + 1u < 7u * sum5);
}

// Takes the next width. Returns 1 when the finder-line test passes on it
// after a light element (a dark-on-light finder), 2 when it passes after a
// dark one (light-on-dark), else 0; on a pass the decoder's offsets describe
// the hit.
inline int WidthDecoderPush(WidthDecoder* d, uint32_t width) {
  const uint32_t i = d->index;
  uint32_t* w = d->widths;
  w[i & 15] = width;
  // The five widths before the newest one.
  d->sum5 += w[(i - 1) & 15] - w[(i - 6) & 15];
  d->index = i + 1;
  if (QuickReject(d->sum5, w[(i - 2) & 15] + w[(i - 3) & 15])) return 0;
  return WidthDecoderTest(d, width) << (i & 1);
}

// Turns the decoder's last hit into a FinderLine in image coordinates (quarter
// pixels) using the scanner's edge positions; a backward line is mirrored so
// that its position is the smaller end of the run.
FinderLine MakeFinderLine(const ScanSink& sink, const EdgeScanner& scanner);

// Records the decoder's last hit (`hit` as WidthDecoderPush returned it) into
// the current list of its polarity (dropped when the list is full).
void ScanSinkRecord(ScanSink* sink, const EdgeScanner& scanner, int hit);

// Passes one width through the decoder and records a hit into the current
// list (dropped when the list is full).
inline void ScanSinkWidth(ScanSink* sink, const EdgeScanner& scanner, uint32_t width) {
  const int hit = WidthDecoderPush(&sink->decoder, width);
  if (hit != 0) ScanSinkRecord(sink, scanner, hit);
}

}  // namespace qrread
