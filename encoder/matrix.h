// The work matrix: function patterns, codeword placement, format and version
// information. Internal to the encoder.
//
// The matrix is size x size cells of one byte, row-major, all 0 at the start.
#pragma once
#include <cstdint>

namespace qrenc {

constexpr uint8_t kCellDark = 0x01;
constexpr uint8_t kCellFunction = 0x10;  // finder, separator, alignment, cell (8, 8)
constexpr uint8_t kCellReserved = 0x20;  // timing, format and version areas, dark module
constexpr uint8_t kCellNotData = kCellFunction | kCellReserved;

constexpr int32_t kMaxSize = 177;

inline bool IsDataCell(uint8_t cell) { return (cell & kCellNotData) == 0; }

}  // namespace qrenc

// Lays timing patterns, finders, separators, alignment patterns, the format
// and version areas and the always-dark module of `version` (1..40).
void qr_place_function_patterns(uint8_t* matrix, int32_t size, int32_t version);

// A 7 x 7 finder pattern with its top-left corner at (row, column).
void qr_place_finder(uint8_t* matrix, int32_t size, int32_t row, int32_t column);

// A 5 x 5 alignment pattern centred on (row, column); the pattern must fit.
void qr_place_alignment(uint8_t* matrix, int32_t size, int32_t row, int32_t column);

// Places the bits of `count` codewords in the data cells, most significant bit
// first, in the two-column zig-zag from the bottom-right corner. Data cells left
// over stay light; bits that find no cell are dropped.
void qr_place_codewords(uint8_t* matrix, int32_t size, const uint8_t* codewords, int32_t count);

// Writes both copies of the format word for `level` (0 L, 1 M, 2 Q, 3 H) and
// `mask` (0..7) into the reserved format cells.
void qr_place_format_info(uint8_t* matrix, int32_t size, int32_t level, int32_t mask);

// Writes both copies of the version word; nothing below version 7.
void qr_place_version_info(uint8_t* matrix, int32_t size, int32_t version);
