// Renders an encoded QrSymbol as a grey JPEG file with a quiet zone.
// Plain C++ (libjpeg), no Qt.
#pragma once
#include <cstdint>

#include "encoder/qr_encoder.h"

// The picture every file format draws: N modules, a quiet zone of N / 10
// modules on each side, `scale` pixels per module, `side` = (N + 2q) * scale.
struct PictureGeometry {
  int modules = 0;  // N, the symbol's width in modules
  int quiet = 0;    // q, modules of light margin on each side
  int scale = 0;    // pixels per module
  int side = 0;     // (N + 2q) * scale
};

// The geometry of `symbol` (square, 21..177 modules) at `modulePixels`
// (1..20). Returns false and leaves `geometry` alone for anything else,
// including a null symbol.
bool PictureGeometryOf(const QrSymbol* symbol, int32_t modulePixels, PictureGeometry* geometry);

// Removes what a failed picture write left behind, but only a regular file:
// the path may name a device such as /dev/full.
void RemovePartialPicture(const char* path);

// Writes `symbol` (encoded with result 0) at `modulePixels` (1..20) pixels per
// module, with a quiet zone of width / 10 modules, dark 0 and light 255, as an
// 8-bit grey baseline JPEG of quality 98 at `path`. Returns the picture's
// width in pixels (it is square); 0 when `path` is null, the file cannot be
// created or written, the JPEG library fails or memory runs out; a partial
// file is then removed.
int32_t SaveSymbolPicture(const QrSymbol* symbol, int32_t modulePixels, const char* path);
