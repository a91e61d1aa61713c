// Binarisation of the grey image for the locating stages, and the local
// re-thresholding of a code's box used when a located code fails to decode.
// Binarised pixels are 255 (dark) or 0 (light), one byte each, row-major with
// the image's width.
#pragma once
#include <cstdint>

namespace qrread {

// Exponent a (4..8) of the binarisation window side 2^a for an image extent of
// `extent` pixels: the smallest a with 2^a >= (extent + 7) >> 3, 8 when none.
int BinarizeWindowLog2(int extent);

// Binarises `grey` (width x height, 1..1280 x 1..1024) into `binary` with a
// sliding box mean: a pixel is dark when grey + 3 lies below the mean of its
// window. `columnSums` must hold `width` words. Does nothing when width or
// height is below 1.
void Binarize(const uint8_t* grey, int width, int height, uint8_t* binary,
              uint32_t* columnSums);

// The binarisation of Binarize made a band of rows at a time, when a band is
// first read: codes cover part of most pictures, and the rest is never
// binarised. Any band holds what Binarize would have written there.
constexpr int kLazyBandRows = 64;
constexpr int kMaxLazyBands = (1024 + kLazyBandRows - 1) / kLazyBandRows;

struct LazyBinary {
  const uint8_t* grey;
  int32_t width, height;        // 1..1280 x 1..1024
  uint8_t* binary;
  uint32_t* columnSums;         // width words, shared with BinarizeBox
  int32_t nextRow;              // the row whose window columnSums hold; -1 none
  uint8_t invert;               // 255: bands are made inverted (light-on-dark search)
  uint8_t ready[kMaxLazyBands];
};

// Starts with no band made.
void LazyBinaryInit(LazyBinary* lazy, const uint8_t* grey, int width, int height, uint8_t* binary,
                    uint32_t* columnSums);

// Makes band `band` (rows band * kLazyBandRows ..).
void LazyBinaryMake(LazyBinary* lazy, int32_t band);

// Makes the band of row y (0 .. height - 1) if it is not made yet; nothing
// when `lazy` is null.
inline void LazyBinaryEnsureRow(LazyBinary* lazy, int32_t y) {
  const int32_t band = y / kLazyBandRows;
  if (lazy != nullptr && lazy->ready[band] == 0) LazyBinaryMake(lazy, band);
}

// Makes the bands of rows y0 .. y1 - 1 (clamped to the image) not made yet.
inline void LazyBinaryEnsure(LazyBinary* lazy, int32_t y0, int32_t y1) {
  if (lazy == nullptr) return;
  if (y0 < 0) y0 = 0;
  if (y1 > lazy->height) y1 = lazy->height;
  for (int32_t y = y0 - y0 % kLazyBandRows; y < y1; y += kLazyBandRows) LazyBinaryEnsureRow(lazy, y);
}

// Inverts the bands made so far and makes later ones inverted.
void LazyBinaryInvert(LazyBinary* lazy);

// State of the re-thresholding of one box (one per retried rotation).
struct RethresholdState {
  int32_t x0, x1, y0, y1;        // box in whole pixels, upper bounds exclusive
  uint32_t histogram[256];       // grey levels inside the box
  int32_t pixelCount;            // pixels counted into the histogram
  int32_t threshold;             // current threshold: dark when grey < threshold
  int32_t step;                  // last threshold step (<= 0)
  int32_t firstThreshold;        // the median threshold of the first call
  int32_t stepBudget;            // half the box area >> 6
  int32_t built;                 // 0 until the histogram is built
  uint8_t invert;                // 255 for a light-on-dark code: grey is read inverted
};

// Clears `state` and sets its box (clamped to the image by Rethreshold).
void RethresholdInit(RethresholdState* state, int x0, int x1, int y0, int y1);

// Rewrites the box of `binary` from `grey` with the state's next threshold:
// the median of the box on the first call, lower ones on later calls.
// Returns 0 when the box was rewritten, -1 when the threshold cannot move (or
// the box is empty); the box is then left as it was.
int Rethreshold(const uint8_t* grey, int width, int height, uint8_t* binary,
                RethresholdState* state);

// Binarises the box x0 .. x1 - 1, y0 .. y1 - 1 of `binary` (clamped to the
// image) with a local mean over a window of 2 half + 1 pixels on each side
// (clipped at the image edges): dark when grey + 3 lies below the mean, grey
// read as grey ^ invert (0, or 255 for a light-on-dark code). With `smooth`
// each pixel is first averaged with its four neighbours (weights 4:1:1:1:1),
// so that noise and JPEG blocks flip fewer modules. `columnSums` must hold
// `width` words.
void BinarizeBox(const uint8_t* grey, int width, int height, uint8_t* binary, int x0, int x1,
                 int y0, int y1, int half, uint8_t invert, uint32_t* columnSums,
                 bool smooth = false);

}  // namespace qrread
