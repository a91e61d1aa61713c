// The fixed-size work areas of the locating half (triple search, homography
// fit, sampling). One instance lives in the arena's decode block; SearchCodes
// uses nothing else besides the stack for small records.
//
// Size: about 62 KB (2 x 2560 walk points of 8 bytes = 40,960; two 177-row
// module grids of 6 words = 8,496; codeword scratch 7,412; grid points and cell
// maps for up to 7 x 7 alignment centres; three re-threshold states).
// static_assert in arena.cpp against the block size, not here.
#pragma once
#include <cstdint>

namespace qrread {

constexpr int kWalkPointCapacity = 2560;   // per walked edge
constexpr int kMaxGridRows = 177;          // side of a version 40 code
constexpr int kMaxGridStride = 6;          // (177 + 31) / 32
constexpr int kCodewordScratchBytes = 2 * 3706;
constexpr int kMaxAlignCoords = 7;         // alignment coordinates per axis

// A point in quarter pixels.
struct WalkPoint {
  int32_t x, y;
};

// A projective map between module coordinates and image quarter pixels,
// scaled fixed point (see reader/homography.h).
struct CellMapStorage {
  int64_t m[9];
};

// Box re-thresholding state kept per retried rotation (mirrors the layout
// rdscan's binarize.h uses; opaque bytes here so this header stays standalone).
constexpr int kRethresholdStateBytes = 1120;

struct LocateScratch {
  WalkPoint rightEdge[kWalkPointCapacity];
  WalkPoint bottomEdge[kWalkPointCapacity];
  uint32_t samples[kMaxGridRows * kMaxGridStride];
  uint32_t functionMask[kMaxGridRows * kMaxGridStride];
  alignas(8) uint8_t codewords[kCodewordScratchBytes];
  int32_t gridPoints[kMaxAlignCoords * kMaxAlignCoords][2];
  CellMapStorage cellMaps[(kMaxAlignCoords - 1) * (kMaxAlignCoords - 1)];
  alignas(8) uint8_t rethreshold[3][kRethresholdStateBytes];
};

}  // namespace qrread
