// Reading a located code: format and version information samples through
// the homography, and the sampling grid of alignment-pattern cells.
#pragma once
#include <cstdint>

#include "reader/alignment.h"
#include "reader/finder_role.h"
#include "reader/homography.h"
#include "reader/locate_scratch.h"

namespace qrread {

struct LocateScratch;

// Samples both format copies around the finders (positioned and sized in the
// homography's domain) and returns DecodeFormatInfo's value (0..31) or -1.
// `transposed`: the code is seen mirrored, its rows along the domain's u axis
// (`ur` and `dl` are still the code's own upper-right and lower-left finders).
int ReadFormatInfo(const FinderRole& ul, const FinderRole& ur, const FinderRole& dl,
                   const ProjMap& hom, const BinaryImage& im, bool transposed = false);

// Transposes a sampled module grid of side n in place (a mirrored code's
// samples into the code's own orientation); `spare` holds as many words.
void TransposeSamples(int n, uint32_t* samples, uint32_t* spare);

// The 18 version-information samples next to `f`: side 0 = the block left of
// UR, side 1 = the block above DL. Bit numbers as in the symbol layout.
uint32_t SampleVersionInfo(const FinderRole& f, const ProjMap& hom, const BinaryImage& im,
                           int side);

// Reads and corrects the version information next to `f`: 7..40 or -1.
int ReadVersionInfo(const FinderRole& f, const ProjMap& hom, const BinaryImage& im, int side);

// Builds the sampling grid of a `version` code (the finder centres `finders`
// = UL, UR, DL in quarter pixels, `corners` = the corner module centres from
// the homography fit), samples every module outside the function patterns
// into scratch->samples (SymbolSize rows of GridStride words, 1 = dark, data
// mask not removed) and stores the code's outer corners (quarter pixels,
// clamped to -4 .. 8 times the image size) in `outline`. Returns 0, or -1 when
// a cell map is degenerate.
int SampleCode(int version, const int32_t finders[3][2], const int32_t corners[4][2],
               const BinaryImage& im, LocateScratch* scratch, int32_t outline[4][2]);

// The cell maps of a code's sampling grid and the region of every module row
// and column.
struct SamplingGrid {
  int n;
  int regions;
  uint8_t regionOf[kMaxGridRows];
  const ProjMap* maps;

  int Region(int m) const { return m < 0 ? 0 : (m >= n ? regions - 1 : regionOf[m]); }

  // Image positions of modules (u, v), u = u0 .. u1 - 1, into out[u - u0];
  // -1 and n reach into the quiet zone. `du`, `dv`: an offset in quarter
  // modules.
  void ProjectRow(int u0, int u1, int v, int32_t (*out)[2], int du = 0, int dv = 0) const {
    for (int a = u0; a < u1;) {
      const int r = Region(a);
      int b = a + 1;
      while (b < u1 && Region(b) == r) b++;
      ProjMapProjectRow(maps[Region(v) * regions + r], ModuleCentre(a) + du, 4,
                        ModuleCentre(v) + dv, b - a, out + (a - u0));
      a = b;
    }
  }
};

// Places the sampling grid of a code of `version` through the finders and
// the fitted corners (searching its alignment patterns) into `out`, and its
// outer corners into `outline` as SampleCode. Returns 0, or -1 when a cell
// map is degenerate.
int BuildSamplingGrid(int version, const int32_t finders[3][2], const int32_t corners[4][2],
                      const BinaryImage& im, LocateScratch* scratch, int32_t outline[4][2],
                      SamplingGrid* out);

// The grey value (bilinear, XOR `invert`: low = dark) at every module centre
// of `grid` moved by `du`, `dv` quarter modules, one ring of quiet-zone
// modules included: `greys` gets (N + 2) x (N + 2) bytes, module (u, v) at
// (v + 1) * (N + 2) + u + 1.
void SampleGreyGrid(const SamplingGrid& grid, const BinaryImage& im, const uint8_t* grey,
                    uint8_t invert, LocateScratch* scratch, uint8_t* greys, int du, int dv);

// Decides every module of an n-module grid from SampleGreyGrid's values
// into `samples` (as SampleCode's): threshold by two means over the code's
// modules after undoing some blur (`sharpen` 0 = none; 2 = a module's
// difference from its eight neighbours' mean doubled).
void ThresholdGreyModules(int n, const uint8_t* greys, int sharpen, uint32_t* samples);

}  // namespace qrread
