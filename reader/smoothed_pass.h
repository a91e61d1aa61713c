// The second finder scan over a half-size copy of the image: each pixel of
// the copy is the mean of a 2 x 2 box, which merges hatched or noisy modules
// and JPEG blocks into solid ones and turns a grey step at a module edge into
// one edge. Codes found there are decoded from the original image.
#pragma once
#include "reader/arena.h"
#include "reader/finder_centres.h"
#include "reader/scan_strip.h"

namespace qrread {

// The copy sits in the binarised image's bytes behind the strip work area and
// the column pass's clustering scratch (the half-size scan uses both), all
// free until the QR stage: bytes kHalfOffset .. kHalfCopyEnd - 1.
constexpr size_t kHalfOffset =
    (sizeof(StripScratch) + 15 + LocateCentresScratchBytes(kFinderLineStore) + 63) &
    ~static_cast<size_t>(63);
constexpr size_t kHalfCopyEnd =
    kHalfOffset + static_cast<size_t>(kMaxImageWidth / 2) * (kMaxImageHeight / 2);

// Rescans the image's half-size copy into the finder-line lists (replacing
// what the first scan left there), in the coordinates of the full image.
// Returns false, leaving the lists alone, when the copy would be too small to
// hold a code.
bool ScanHalfSize(ReaderArena* arena);

}  // namespace qrread
