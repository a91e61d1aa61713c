// ISAAC, Bob Jenkins' pseudo-random generator (32-bit words, 256-word state).
// The reader seeds it empty at the start of every call so that the result for
// a given image never varies.
#pragma once
#include <cstdint>

namespace qrread {

constexpr int kIsaacWords = 256;

struct IsaacState {
  uint32_t results[kIsaacWords];  // the current batch, handed out from the end
  uint32_t memory[kIsaacWords];
  uint32_t a, b, c;
  int32_t remaining;              // words of `results` not yet handed out
};

// Seeds the generator with `len` bytes (0..1024; more are ignored; null with
// len 0 is the empty seed). Bytes fill the seed words little-endian.
void IsaacInit(IsaacState* state, const uint8_t* seed, int len);

// Fills `results` with the next batch of 256 words (the raw generator step).
void IsaacGenerate(IsaacState* state);

// The next 32-bit word.
uint32_t IsaacNext(IsaacState* state);

// A word uniformly spread over 0 .. n - 1 for 1 <= n (n = 0 gives 0).
uint32_t IsaacBelow(IsaacState* state, uint32_t n);

}  // namespace qrread
