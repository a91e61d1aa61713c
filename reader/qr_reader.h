// The QR Code reader: finds and decodes QR symbols in an 8-bit grey image.
// Plain C++: no Qt, no I/O, integer arithmetic only, no exceptions across this
// boundary. All work memory is two blocks obtained and released per call.
// Calls must not overlap: callers serialise them (see capture/decode_frame.h).
#pragma once
#include <cstdint>

constexpr int32_t QR_READ_MAX_WIDTH = 1280;
constexpr int32_t QR_READ_MAX_HEIGHT = 1024;
constexpr int32_t QR_READ_TOO_LARGE = -8;   // width > 1280 or height > 1024
constexpr int32_t QR_READ_NO_MEMORY = -9;   // the work blocks could not be had

constexpr uint32_t QR_SYMBOL_TYPE_QRCODE = 64;

// One decoded symbol: 1285 little-endian 32-bit words, 5140 bytes.
struct DecodeResult {
  uint32_t type;        // word 0: symbol type code, 64 = QR Code
  uint32_t length;      // word 1: data length in bytes, without the NUL
  uint8_t data[5124];   // words 2..1282: `length` raw bytes, then a NUL;
                        // bytes after the NUL are left as the caller supplied them
  int32_t version;      // word 1283: 1..40; 0 for a joined structured-append result
  int32_t ecLevel;      // word 1284: 0 L, 1 M, 2 Q, 3 H; 0 for a joined result
};
static_assert(sizeof(DecodeResult) == 5140, "DecodeResult is 1285 words");

// Decodes the QR symbols in `grey` (width x height bytes, rows top-down, each
// row exactly `width` bytes) into results[0 .. maxResults-1].
// Returns the number of records written (0 when nothing was found; records not
// written are untouched), QR_READ_TOO_LARGE or QR_READ_NO_MEMORY.
int32_t qr_read_symbols(const uint8_t* grey, int32_t width, int32_t height,
                        DecodeResult* results, int32_t maxResults);

// Display name of a symbol type code ("QR-Code" for 64), "UNKNOWN" otherwise.
const char* symbol_type_name(int32_t code);
