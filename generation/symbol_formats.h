// The symbol picture in the other file formats a user may ask for: a lossless
// PNG of the same grey picture as the JPEG, and an SVG that print shops can
// scale. Plain C++ (libpng), no Qt.
#pragma once
#include <cstdint>
#include <string_view>

#include "encoder/qr_encoder.h"

namespace symbolfile {

enum class Format { kJpeg, kPng, kSvg };

// The format a file name asks for by its extension: ".png" and ".svg" in any
// case give PNG and SVG; every other name (no extension, ".jpg", ".jpeg", ...)
// gives JPEG, the format the program has always written.
Format FormatForName(std::string_view name);

// Writes `symbol` at `modulePixels` pixels per module to `path` (used exactly
// as given) as an 8-bit grey PNG: the same pixels as the JPEG picture (dark 0,
// light and quiet zone 255), without loss. Returns the picture side in pixels
// (> 0) when written; 0 when the geometry is refused (see PictureGeometryOf), the
// file cannot be created or written, or memory runs out; a partial file is
// then removed (a device such as /dev/full is left alone).
int32_t SavePng(const QrSymbol* symbol, int32_t modulePixels, const char* path);

// Writes `symbol` to `path` as an SVG: a white square of (N + 2q) module units
// with every dark module in one black path, drawn with crisp edges; its width
// and height attributes give the same side in pixels as the JPEG picture.
// Returns and fails as SavePng.
int32_t SaveSvg(const QrSymbol* symbol, int32_t modulePixels, const char* path);

// Writes `symbol` to `path` in `format`: JPEG through SaveSymbolPicture
// (byte for byte what it writes), PNG and SVG as above; a null path is
// refused. Returns the picture side in pixels,
// 0 on failure.
int32_t Save(Format format, const QrSymbol* symbol, int32_t modulePixels, const char* path);

}  // namespace symbolfile
