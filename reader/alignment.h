// Alignment pattern search through a cell map.
#pragma once
#include <cstdint>

#include "reader/finder_role.h"
#include "reader/homography.h"

namespace qrread {

// Cell maps take module positions in quarter modules: the centre of module
// (u, v) is (4u + 2, 4v + 2).
constexpr int32_t ModuleCentre(int32_t m) { return 4 * m + 2; }

// The 5 x 5 alignment pattern, module (row r, column c) in bit 5 r + c.
constexpr uint32_t kAlignmentPattern = 0x1F8D63F;

// Looks for the alignment pattern whose centre `cell` predicts at module
// (u, v), within `radius` modules (searched in quarter-module steps on a square
// spiral), then refines the centre along the pattern's lines. Returns 0 and
// the centre in quarter pixels, or -1 when the best match differs from the
// pattern in more than 6 modules. Adds the pixels tested to `*probes` when
// given.
int FindAlignment(const ProjMap& cell, int32_t u, int32_t v, int32_t radius,
                  const BinaryImage& im, int32_t out[2], int64_t* probes = nullptr);

}  // namespace qrread
