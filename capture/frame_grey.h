// The grey conversion of DecodeFrame on its own, for the tests and the
// benchmark: bottom-up (blue, green, red[, x]) rows to a top-down grey image.
#pragma once
#include <cstdint>
#include <vector>

// Grey row stride for a picture `width` pixels wide: width rounded up to a
// multiple of 4. The pad columns are part of the grey image: each continues
// its row (the last pixel, or the row's local light level after a dark one).
constexpr int32_t GreyStride(int32_t width) { return (width + 3) / 4 * 4; }

// Source row stride: rows padded to 4 bytes; 4 bytes per pixel when
// bitsPerPixel is 32, else 3.
constexpr int64_t FrameStride(int32_t width, int32_t bitsPerPixel) {
  return (static_cast<int64_t>(width) * (bitsPerPixel == 32 ? 4 : 3) + 3) / 4 * 4;
}

// Converts `height` rows of `width` pixels (bottom-up, FrameStride bytes each)
// to GreyStride(width) x height grey bytes, top row first:
// grey = trunc(g * 0.587 + r * 0.299 + b * 0.114) in double precision, summed
// in that order. `grey` is resized. width and height must be positive.
void ConvertFrameToGrey(const uint8_t* pixels, int32_t width, int32_t height,
                        int32_t bitsPerPixel, std::vector<uint8_t>* grey);
