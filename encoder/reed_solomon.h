// A small Reed-Solomon coder over the QR field, GF(256) modulo 0x11D, with
// qrcore's field tables. The generator lives in a context owned by the caller,
// so coders on different threads never meet.
#pragma once
#include <cstdint>

#include "qrcore/qr_standard.h"

struct RsCoder {
  // qrcore's doubled power table, copied beside the generator logs: the inner
  // loop reads both, and a shared far-away table made it measurably slower.
  uint8_t power[510];
  int32_t degree;            // n, the number of EC codewords; 0 without a generator
  uint8_t generator[256];    // g[k] = coefficient of x^k, g[n] = 1
  uint8_t generatorLog[256]; // log of g[k] (all are non-zero)
};

// Builds the generator of degree n (1..254) with roots
// alpha^firstRoot .. alpha^(firstRoot + n - 1). False, leaving the coder
// unusable, on a bad n or a negative firstRoot.
bool rs_setup_generator(RsCoder* rs, int32_t n, int32_t firstRoot);

// Computes the n EC codewords of `length` data codewords; ecc[0] is the
// coefficient of the highest power of x. Needs rs_setup_generator.
void rs_compute_ecc(const RsCoder* rs, int32_t length, const uint8_t* data, uint8_t* ecc);

// Forgets the generator.
void rs_release(RsCoder* rs);
