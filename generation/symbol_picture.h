// Renders an encoded QrSymbol as a grey JPEG file with a quiet zone.
// Plain C++ (libjpeg), no Qt.
#pragma once
#include <cstdint>

#include "encoder/qr_encoder.h"

// Writes `symbol` (encoded with result 0) at `modulePixels` (1..20) pixels per
// module, with a quiet zone of width / 10 modules, dark 0 and light 255, as an
// 8-bit grey baseline JPEG of quality 98 at `path`. Returns the picture's
// width in pixels (it is square); 0 when `path` is null, the file cannot be
// created or written, the JPEG library fails or memory runs out; a partial
// file is then removed.
int32_t SaveSymbolPicture(const QrSymbol* symbol, int32_t modulePixels, const char* path);
