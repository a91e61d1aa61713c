// Renders an encoded QrSymbol as a grey JPEG file with a quiet zone.
// Plain C++ (libjpeg), no Qt.
#pragma once
#include <cstdint>

#include "encoder/qr_encoder.h"

// Width in pixels of the last picture written by SaveSymbolPicture; 0 before.
extern int32_t g_nPictureSide;

// Writes `symbol` (encoded with result 0) at `modulePixels` (1..20) pixels per
// module, with a quiet zone of width / 10 modules, dark 0 and light 255, as an
// 8-bit grey baseline JPEG of quality 98. `path` null writes
// ModuleDirectory + "/qr.jpg". Sets g_nPictureSide to the picture width.
// Returns 1 on success; 0 when the file cannot be created or written, the JPEG
// library fails or memory runs out; a partial file is then removed.
int32_t SaveSymbolPicture(const QrSymbol* symbol, int32_t modulePixels, const char* path);
