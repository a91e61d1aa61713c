// Data masks and the penalty score that picks one. Internal to the encoder.
#pragma once
#include <cstdint>

#include "qrcore/qr_standard.h"

// True when data mask `mask` (0..7) inverts the module at (row, column).
constexpr bool qr_mask_condition(int32_t mask, int32_t row, int32_t column) {
  return qrstd::DataMaskInverts(mask, row, column);
}

// Penalty of one candidate: `scoring` is size x size cells (size 21..177) whose
// bit `mask` (0..7) is the module under that mask (1 dark). The sum of: 3 + n for
// each run of n > 5 equal modules in a row or column; 40 for each window of 7
// modules in a row or column reading dark-light-dark-dark-dark-light-dark; and
// 10 * (|p - 50| div 5) with p the percentage of dark modules (rounded down).
// A reader who knows the standard will miss the 2 x 2 block term and the
// 1:1:3:1:1 pattern with light margins: this score has three terms, and it is
// kept so, because a text must always give the symbol it gave before (stored
// pictures and printed codes are compared byte for byte).
int32_t qr_mask_penalty(const uint8_t* scoring, int32_t size, int32_t mask);

// The dark-proportion term for `dark` dark modules out of size * size:
// 10 * (|p - 50| div 5) with p = 100 * dark div size^2.
int32_t qr_proportion_penalty(int32_t dark, int32_t size);

// Scores all eight masks over the data cells of the work matrix (see matrix.h),
// applies the one with the lowest penalty (the lowest number among equals) and
// returns its number 0..7.
int32_t qr_select_mask(uint8_t* matrix, int32_t size);
