#include "encoder/matrix.h"

#include "qrcore/qr_standard.h"

using namespace qrenc;

namespace {

uint8_t& Cell(uint8_t* matrix, int32_t size, int32_t row, int32_t column) {
  return matrix[row * size + column];
}

void SetCell(uint8_t* matrix, int32_t size, int32_t row, int32_t column, uint8_t flag, bool dark) {
  Cell(matrix, size, row, column) = static_cast<uint8_t>(flag | (dark ? kCellDark : 0));
}

void PlaceTiming(uint8_t* matrix, int32_t size) {
  for (int32_t i = 0; i < size; ++i) {
    SetCell(matrix, size, 6, i, kCellReserved, i % 2 == 0);
    SetCell(matrix, size, i, 6, kCellReserved, i % 2 == 0);
  }
}

void PlaceSeparators(uint8_t* matrix, int32_t size) {
  for (int32_t i = 0; i < 8; ++i) {
    SetCell(matrix, size, 7, i, kCellFunction, false);
    SetCell(matrix, size, i, 7, kCellFunction, false);
    SetCell(matrix, size, 7, size - 1 - i, kCellFunction, false);
    SetCell(matrix, size, i, size - 8, kCellFunction, false);
    SetCell(matrix, size, size - 8, i, kCellFunction, false);
    SetCell(matrix, size, size - 1 - i, 7, kCellFunction, false);
  }
}

void PlaceAlignmentPatterns(uint8_t* matrix, int32_t size, int32_t version) {
  const uint8_t* positions = qrstd::kAlignmentPositions[version - 1];
  const int32_t count = positions[0];
  for (int32_t a = 1; a <= count; ++a) {
    for (int32_t b = 1; b <= count; ++b) {
      const int32_t row = positions[a];
      const int32_t column = positions[b];
      if (Cell(matrix, size, row, column) & kCellFunction) continue;  // meets a finder
      qr_place_alignment(matrix, size, row, column);
    }
  }
}

// Reserves a cell for format or version information; timing cells keep their colour.
void Reserve(uint8_t* matrix, int32_t size, int32_t row, int32_t column) {
  Cell(matrix, size, row, column) |= kCellReserved;
}

void ReserveFormatAreas(uint8_t* matrix, int32_t size) {
  for (int32_t i = 0; i < 8; ++i) {
    Reserve(matrix, size, 8, i);
    Reserve(matrix, size, 8, size - 1 - i);
    Reserve(matrix, size, i, 8);
    Reserve(matrix, size, size - 1 - i, 8);
  }
  SetCell(matrix, size, 8, 8, kCellFunction, false);
}

void ReserveVersionAreas(uint8_t* matrix, int32_t size) {
  for (int32_t i = 0; i < 6; ++i) {
    for (int32_t k = 0; k < 3; ++k) {
      Reserve(matrix, size, size - 11 + k, i);
      Reserve(matrix, size, i, size - 11 + k);
    }
  }
}

void AddBit(uint8_t* matrix, int32_t size, int32_t row, int32_t column, uint32_t word, int bit) {
  Cell(matrix, size, row, column) |= static_cast<uint8_t>((word >> bit) & 1);
}

}  // namespace

void qr_place_finder(uint8_t* matrix, int32_t size, int32_t row, int32_t column) {
  for (int32_t r = 0; r < 7; ++r) {
    for (int32_t c = 0; c < 7; ++c) {
      const bool ring = r == 0 || r == 6 || c == 0 || c == 6;
      const bool core = r >= 2 && r <= 4 && c >= 2 && c <= 4;
      SetCell(matrix, size, row + r, column + c, kCellFunction, ring || core);
    }
  }
}

void qr_place_alignment(uint8_t* matrix, int32_t size, int32_t row, int32_t column) {
  for (int32_t dr = -2; dr <= 2; ++dr) {
    for (int32_t dc = -2; dc <= 2; ++dc) {
      const bool dark = dr == -2 || dr == 2 || dc == -2 || dc == 2 || (dr == 0 && dc == 0);
      SetCell(matrix, size, row + dr, column + dc, kCellFunction, dark);
    }
  }
}

void qr_place_function_patterns(uint8_t* matrix, int32_t size, int32_t version) {
  PlaceTiming(matrix, size);
  qr_place_finder(matrix, size, 0, 0);
  qr_place_finder(matrix, size, 0, size - 7);
  qr_place_finder(matrix, size, size - 7, 0);
  PlaceSeparators(matrix, size);
  PlaceAlignmentPatterns(matrix, size, version);
  ReserveFormatAreas(matrix, size);
  SetCell(matrix, size, size - 8, 8, kCellReserved, true);  // the always-dark module
  if (version >= 7) ReserveVersionAreas(matrix, size);
}

void qr_place_codewords(uint8_t* matrix, int32_t size, const uint8_t* codewords, int32_t count) {
  const int32_t totalBits = count * 8;
  int32_t bit = 0;
  bool upward = true;
  for (int32_t right = size - 1; right >= 1 && bit < totalBits; right -= 2) {
    if (right == 6) right = 5;  // the vertical timing column is never used
    for (int32_t step = 0; step < size; ++step) {
      const int32_t row = upward ? size - 1 - step : step;
      for (int32_t column = right; column >= right - 1 && bit < totalBits; --column) {
        uint8_t& cell = Cell(matrix, size, row, column);
        if (!IsDataCell(cell)) continue;
        if ((codewords[bit >> 3] >> (7 - (bit & 7))) & 1) cell |= kCellDark;
        ++bit;
      }
    }
    upward = !upward;
  }
}

void qr_place_format_info(uint8_t* matrix, int32_t size, int32_t level, int32_t mask) {
  const uint32_t word = qrstd::kFormatWords[(qrstd::FormatLevelBits(level) << 3) | (mask & 7)];
  for (int b = 0; b <= 5; ++b) AddBit(matrix, size, b, 8, word, b);
  AddBit(matrix, size, 7, 8, word, 6);
  AddBit(matrix, size, 8, 8, word, 7);
  AddBit(matrix, size, 8, 7, word, 8);
  for (int b = 9; b <= 14; ++b) AddBit(matrix, size, 8, 14 - b, word, b);
  for (int b = 0; b <= 7; ++b) AddBit(matrix, size, 8, size - 1 - b, word, b);
  for (int b = 8; b <= 14; ++b) AddBit(matrix, size, size - 15 + b, 8, word, b);
}

void qr_place_version_info(uint8_t* matrix, int32_t size, int32_t version) {
  if (version < 7 || version > 40) return;
  const uint32_t word = qrstd::kVersionWords[version - 7];
  for (int i = 0; i < 6; ++i) {
    for (int k = 0; k < 3; ++k) {
      AddBit(matrix, size, size - 11 + k, i, word, 3 * i + k);
      AddBit(matrix, size, i, size - 11 + k, word, 3 * i + k);
    }
  }
}
