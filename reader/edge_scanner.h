// The edge scanner: turns the pixels of one scan line into element widths
// (1/32 pixel) for the width decoder. Integer only; runs on every pixel of
// every row and column.
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

// Feeds the next pixel value (0..255) of the line.
void EdgeScannerPixel(EdgeScanner* scanner, int32_t value);

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
