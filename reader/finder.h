// Finder lines and finder centres: what the scan-line stages hand to the
// locating stages. Positions are in quarter pixels.
#pragma once
#include <cstdint>

namespace qrread {

// A 1:1:3:1:1 hit on one scan line.
struct FinderLine {
  int32_t pos[2];   // x, y of the start of the 3-module centre run (smaller end);
                    // the across coordinate is lineIndex * 4 + 2
  int32_t len;      // length of the centre run
  int32_t boffs;    // lead offset: centre of the outer dark module before the run
                    // to the run start; <= 0 unknown
  int32_t eoffs;    // trail offset: run end to the centre of the outer dark module
                    // after it; <= 0 unknown
};

// A point on a finder's outer edge, with its class and extent in the square
// domain of the map being tried (filled by the locating stages).
struct EdgePoint {
  int32_t pos[2];
  int32_t edge;     // 0 left, 1 right, 2 top, 3 bottom
  int32_t extent;
};

struct FinderCentre {
  int32_t pos[2];
  EdgePoint* edgePts;   // into the call's edge point storage
  int32_t nedgePts;
  int32_t found;        // mark used by the triple search (0 = free)
};

}  // namespace qrread
