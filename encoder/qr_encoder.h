// The QR Code encoder: a text and a few options in, a module matrix out.
// Plain C++: no Qt, no I/O, no exceptions across this boundary.
//
// Calling order: qr_create_symbol -> set symbology = 58, ecLevel, version,
// inputMode -> qr_encode -> on 0 read rows, width, modules, ecLevel, version;
// on non-0 read errorText -> qr_delete_symbol. A record is encoded once.
#pragma once
#include <cstdint>

// Input modes: how input bytes become characters.
constexpr int32_t DATA_MODE = 0;    // one byte per character
constexpr int32_t GB2312_MODE = 5;  // a byte 0x80..0xFF and the next form one character

constexpr int32_t QR_SYMBOLOGY_QRCODE = 58;

// Result codes of qr_encode.
constexpr int32_t QR_OK = 0;
constexpr int32_t QR_ERROR_TOO_LONG = 5;   // "Input too long for selected ..."
constexpr int32_t QR_ERROR_NO_INPUT = 6;   // "No input data"
constexpr int32_t QR_ERROR_MEMORY = 11;    // "Insufficient memory" (work buffers)

constexpr int QR_MATRIX_BYTES = 178;  // bytes per row of `modules`, and rows

// One symbol. Field order and meaning are part of the interface.
struct QrSymbol {
  int32_t symbology;   // in: 58 = QR Code (created as 20)
  int32_t ecLevel;     // in: 1 L, 2 M, 3 Q, 4 H, other = start from L; out: level used 1..4
  int32_t version;     // in: 1..40, other = automatic; out: version used 1..40
  int32_t inputMode;   // in: DATA_MODE or GB2312_MODE
  int32_t rows;        // out: 17 + 4 * version
  int32_t width;       // out: equal to rows
  // out: module (r, c) is dark when bit (c % 7) of modules[r][c / 7] is 1;
  // seven modules per byte, bit 7 always 0, no quiet zone.
  uint8_t modules[QR_MATRIX_BYTES][QR_MATRIX_BYTES];
  int32_t rowHeight[QR_MATRIX_BYTES];  // out: 1 for rows 0..rows-1
  char errorText[100];                 // out: "error: ..." on failure, NUL-terminated
};

// A new zero-filled record with symbology 20, ecLevel -1, version 0,
// inputMode DATA_MODE; null when no memory can be had.
QrSymbol* qr_create_symbol();

// Encodes `length` bytes of `text` (0 = up to the first NUL) into `symbol`.
// Returns QR_OK, QR_ERROR_TOO_LONG, QR_ERROR_NO_INPUT or QR_ERROR_MEMORY; on
// failure errorText holds "error: " + the message and the record's other fields
// keep the caller's values. Safe to call from several threads on different records.
int32_t qr_encode(QrSymbol* symbol, const uint8_t* text, int32_t length);

// Releases a record from qr_create_symbol; null is ignored.
void qr_delete_symbol(QrSymbol* symbol);

// Stores the data codewords of `version` for L, M, Q, H into capacities[0..3]
// and returns 0; returns -1 and leaves capacities untouched outside 1..40.
int32_t qr_version_capacity(int32_t version, int32_t capacities[4]);

// Reads one module (0 light, 1 dark) / makes one dark, with the packing above.
// Row and column must lie in 0..177.
int32_t qr_module_is_set(const QrSymbol* symbol, int32_t row, int32_t column);
void qr_set_module(QrSymbol* symbol, int32_t row, int32_t column);
