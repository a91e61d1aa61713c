// Choice of error-correction level and version from the estimated bit length.
// Internal to the encoder.
#pragma once
#include <cstdint>

enum class QrChoiceResult { kOk, kTooLongForLevel, kTooLongForVersion };

struct QrChoice {
  int32_t level;    // 0 L, 1 M, 2 Q, 3 H
  int32_t version;  // 1..40
};

// Starts from the requested record level (1..4, anything else = L), picks the
// smallest version holding `bits` (or keeps a requested version 1..40 that holds
// them), then raises the level to the highest of M, Q, H that still holds them.
// The level is never lowered below the starting one.
QrChoiceResult qr_choose_symbol(int32_t bits, int32_t requestedLevel, int32_t requestedVersion,
                                QrChoice* choice);
