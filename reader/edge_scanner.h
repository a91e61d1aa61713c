// The edge scanner: turns the pixels of one scan line into element widths
// (1/32 pixel) for the width decoder. Integer only; runs on every pixel of
// every row and column, so the common path is inline.
#pragma once
#include <cstdint>

namespace qrread {

struct ScanSink;  // reader/width_decoder.h: where the widths go

struct EdgeScanner {
  int32_t x;            // pixels of the line so far
  int32_t ring[4];      // last four smoothed values, ring[x & 3] newest
  int32_t edgeSlope;    // first derivative of the current edge candidate; 0 none
  int32_t threshold;    // stored edge threshold
  uint32_t candidate;   // position of the current edge candidate (1/32 px)
  uint32_t lastEdge;    // position of the last emitted edge (1/32 px); 0 none
  uint32_t width;       // width of the last element; 0 none yet
  ScanSink* sink;
};

constexpr int32_t kEdgeMinThreshold = 4;

// Resets every field and attaches `sink` (which may be null: widths are then
// dropped).
void EdgeScannerInit(EdgeScanner* scanner, ScanSink* sink);

// The edge candidate step for a pixel with a second-derivative zero crossing
// and |d1| >= kEdgeMinThreshold (a, b: the newest two second derivatives).
void EdgeScannerCandidate(EdgeScanner* scanner, int32_t d1, int32_t a, int32_t b);

// Feeds the next pixel value (0..255) of the line.
inline void EdgeScannerPixel(EdgeScanner* scanner, int32_t value) {
  const int32_t x = scanner->x++;
  int32_t* ring = scanner->ring;
  if (x == 0) {
    ring[0] = ring[1] = ring[2] = ring[3] = value;
    return;
  }
  const int32_t s1 = ring[(x - 1) & 3];
  const int32_t s0 = s1 + (((value - s1) * 25) >> 5);
  ring[x & 3] = s0;
  const int32_t s2 = ring[(x - 2) & 3];
  const int32_t s3 = ring[(x - 3) & 3];
  const int32_t a = s0 - 2 * s1 + s2;
  const int32_t b = s1 - 2 * s2 + s3;
  // Only a zero crossing of the second derivative can be an edge.
  if ((a > 0 && b >= 0) || (a < 0 && b <= 0)) return;
  int32_t d1 = s1 - s2;
  const int32_t d2 = s2 - s3;
  const int32_t ad1 = d1 < 0 ? -d1 : d1;
  const int32_t ad2 = d2 < 0 ? -d2 : d2;
  if (ad1 < ad2 && ((d1 >= 0) == (d2 >= 0))) d1 = d2;
  if (d1 >= kEdgeMinThreshold || d1 <= -kEdgeMinThreshold) {
    EdgeScannerCandidate(scanner, d1, a, b);
  }
}

// Feeds a whole line of `length` pixels whose smoothed values and candidate
// flags were computed ahead for a group of lines (reader/scan_strip.h):
// smoothed[(k + 2) * 8 + lane] is step k's value, bit `lane` of flags[k]
// marks the steps that may hold an edge candidate. The same as EdgeScannerPixel on
// each of the line's pixels; the scanner must be at the start of a line.
void EdgeScannerFlaggedLine(EdgeScanner* scanner, const int16_t* smoothed, const uint8_t* flags,
                            int lane, int32_t length);

// Closes the line: the pending edge, a virtual edge at the line end and (when
// the last edge fell in the last pixel) one more reach the sink; a second
// flush passes a width of 0.
void EdgeScannerFlush(EdgeScanner* scanner);

// Starts a new scan line: flushes until no edge is pending, then resets the
// line state and clears the sink's width decoder.
void EdgeScannerNewLine(EdgeScanner* scanner);

// Position of the edge `offset` (1/32 px) before the last emitted edge, in
// quarter pixels along the line.
inline int32_t EdgeScannerEdgePosition(const EdgeScanner* scanner, uint32_t offset) {
  return (static_cast<int32_t>(scanner->lastEdge - offset) - 48) >> 3;
}

}  // namespace qrread
