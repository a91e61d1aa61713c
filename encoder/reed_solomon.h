// A small Reed-Solomon coder over GF(2^m), m = 2..8. The tables live in a
// context owned by the caller, so coders on different threads never meet.
#pragma once
#include <cstdint>

struct RsCoder {
  int32_t fieldSize;        // 2^m - 1; 0 before gf_setup and after rs_release
  uint8_t antilog[2 * 255];  // alpha^i, stored twice so sums of logs need no reduction
  uint8_t log[256];          // log[0] unused
  int32_t degree;            // n, the number of EC codewords; 0 without a generator
  uint8_t generator[256];    // g[k] = coefficient of x^k, g[n] = 1
  uint8_t generatorLog[256]; // log of g[k] (all are non-zero)
};

// Builds the field tables for `polynomial`, whose highest set bit is x^m
// (0x11D gives GF(256)), with generator element 2. Returns false, leaving the
// coder unusable, when m is outside 2..8 or the polynomial is not primitive.
bool gf_setup(RsCoder* rs, uint32_t polynomial);

// Builds the generator of degree n (1..fieldSize - 1) with roots
// alpha^firstRoot .. alpha^(firstRoot + n - 1). Needs gf_setup. False on a bad n.
bool rs_setup_generator(RsCoder* rs, int32_t n, int32_t firstRoot);

// Computes the n EC codewords of `length` data codewords; ecc[0] is the
// coefficient of the highest power of x. Needs rs_setup_generator.
void rs_compute_ecc(const RsCoder* rs, int32_t length, const uint8_t* data, uint8_t* ecc);

// Forgets the field and the generator.
void rs_release(RsCoder* rs);
