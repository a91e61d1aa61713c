// Clustering of finder lines into finder patterns and their centres with the
// edge points the locating stages fit lines to.
#pragma once
#include <cstddef>
#include <cstdint>

#include "reader/finder.h"

namespace qrread {

// Upper bounds for one image: a centre needs a horizontal cluster of three
// lines; each line gives at most two edge points.
constexpr int kMaxFinderCentres = 1280 / 3;
constexpr int kMaxEdgePoints = 4 * 1280;

// Scratch bytes LocateCentres needs for `lineCount` lines in total: per line
// a reference and a mark, per possible cluster (a third of the lines) a record
// of 8 bytes and a mark, plus alignment.
constexpr size_t LocateCentresScratchBytes(int32_t lineCount) {
  const size_t n = static_cast<size_t>(lineCount);
  return 2 * (8 * (n / 3 + 1) + 4 * n + n + (n / 3 + 1) + 8) + 8;
}

// Clusters the horizontal lines (in the order found) and the vertical lines
// (sorted here by x, then y, in place), pairs crossing clusters into centres
// and writes them sorted (most edge points first, then by y, then by x) to
// `centres`, their edge points to `edgePoints`. `scratch` must hold
// LocateCentresScratchBytes(nh + nv) bytes. Stops adding centres when
// `maxCentres` or the edge point capacity would be exceeded. Returns the
// number of centres written.
int32_t LocateCentres(const FinderLine* hlines, int32_t nh, FinderLine* vlines, int32_t nv,
                      uint8_t* scratch, FinderCentre* centres, int32_t maxCentres,
                      EdgePoint* edgePoints, int32_t maxEdgePoints);

// Receives a horizontal cluster's middle line and the columns c0 .. c1 under
// it (c0 <= c1).
using CrossingSink = void (*)(void* context, const FinderLine& middle, int32_t c0, int32_t c1);

// Reports, for each horizontal cluster of `hlines`, the columns a vertical
// cluster must stand on to cross it (the columns under the cluster's middle
// line, as LocateCentres pairs them), within nstrips * 16 columns. `scratch`
// must hold LocateCentresScratchBytes(nh) bytes.
void MarkCrossingStrips(const FinderLine* hlines, int32_t nh, uint8_t* scratch, int32_t nstrips,
                        CrossingSink sink, void* context);

}  // namespace qrread
