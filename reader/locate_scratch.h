// The fixed-size work areas of the locating half (triple search, homography
// fit, sampling). One instance lives in the arena's decode block; SearchCodes
// uses nothing else besides small records on the stack.
//
// Size: about 66 KB (2 x 2560 walk points of 8 bytes = 40,960; two 177-row
// module grids of 6 words = 8,496; codeword scratch 7,412; 36 cell maps of
// 144 bytes = 5,184; 49 grid points; three re-threshold states of 1,064).
#pragma once
#include <cstdint>

#include "reader/binarize.h"
#include "reader/homography.h"

namespace qrread {

constexpr int kWalkPointCapacity = 2560;   // per walked edge
constexpr int kMaxGridRows = 177;          // side of a version 40 code
constexpr int kMaxGridStride = 6;          // (177 + 31) / 32
constexpr int kCodewordScratchBytes = 2 * 3706;
constexpr int kMaxAlignCoords = 7;         // alignment coordinates per axis
constexpr int kMaxRegions = (kMaxAlignCoords - 1) * (kMaxAlignCoords - 1);

// A point in quarter pixels.
struct WalkPoint {
  int32_t x, y;
};

struct LocateScratch {
  WalkPoint rightEdge[kWalkPointCapacity];
  WalkPoint bottomEdge[kWalkPointCapacity];
  uint32_t samples[kMaxGridRows * kMaxGridStride];
  uint32_t functionMask[kMaxGridRows * kMaxGridStride];
  alignas(8) uint8_t codewords[kCodewordScratchBytes];
  int32_t gridPoints[kMaxAlignCoords * kMaxAlignCoords][2];
  ProjMap cellMaps[kMaxRegions];
  RethresholdState rethreshold[3];  // one per rotation of the current triple
  // Pixels tested through candidate codes' geometry this call (alignment
  // searches, module samples, edge walk steps, edge points placed): what the
  // call's work budget counts.
  int64_t probes;
};

}  // namespace qrread
