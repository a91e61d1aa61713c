// The locating half of the QR stage: triple search over finder centres, the
// configuration test (affine map, RANSAC edge lines, edge walks, alignment
// pattern, homography), version and format reading, sampling, and the
// re-thresholding retry. It calls DecodeSampledCode (decode_stages.h).
#pragma once
#include <cstdint>

#include "qrcore/qr_standard.h"
#include "reader/binarize.h"
#include "reader/finder.h"
#include "reader/reader_types.h"

namespace qrread {

struct IsaacState;     // reader/isaac.h
struct LocateScratch;  // reader/locate_scratch.h: fixed-size work areas of this half

// Everything the QR stage hands over for one image.
struct LocateContext {
  const uint8_t* grey;      // the caller's image, width x height
  int32_t width;
  int32_t height;
  uint8_t* binary;          // binarised image (255 dark, 0 light), re-thresholded in place
  LazyBinary* lazy;         // its rows made when first read; null: all made
  const qrstd::Gf256* gf;   // field tables of this call
  ReaderPools* pools;
  CodeData* codes;          // decoded-code list, capacity kMaxCodes
  int32_t codeCount;
  IsaacState* rng;          // seeded empty at the start of every call
  LocateScratch* scratch;   // placed in the arena's decode block
  int32_t wideTriples;      // triples retried with a wide version slack so far
  int32_t mirroredTriples;  // triples retried as mirrored codes so far
  int32_t localTriples;     // rotations retried with a local binarisation window so far
  int32_t estimatedVersions;  // versions taken from the finders' estimate so far
  int32_t greyTriples;      // rotations retried from module-centre greys so far
  uint32_t* columnSums;     // width words of scratch for that window
  uint8_t invert;           // 255 while light-on-dark codes are searched (binary inverted)
};

// Runs the triple search over `centres` (sorted, at least 3) and appends every
// decoded code to ctx->codes; centres marked taken are skipped. With
// ctx->invert set (light-on-dark centres, inverted binary image) the failure
// budget is a quarter. Never allocates.
void SearchCodes(LocateContext* ctx, FinderCentre* centres, int32_t count);

// Marks the centres inside the codes in ctx.codes as taken (inside a code
// read, light-led patterns are its own modules); returns how many are left
// free.
int32_t MarkCentresInsideCodes(const LocateContext& ctx, FinderCentre* centres, int32_t count);

// The pixel probes (LocateScratch::probes) one call may spend on candidate
// codes in a width x height picture: junk full of finder-like patterns
// would otherwise try thousands of triples, each sampled and retried.
// Once spent, no further rotation starts.
int64_t WorkBudget(int32_t width, int32_t height);

}  // namespace qrread
