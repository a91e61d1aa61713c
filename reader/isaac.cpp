#include "reader/isaac.h"

#include <cstring>

namespace qrread {

namespace {

constexpr uint32_t kGoldenRatio = 0x9e3779b9u;

void Mix(uint32_t v[8]) {
  v[0] ^= v[1] << 11; v[3] += v[0]; v[1] += v[2];
  v[1] ^= v[2] >> 2;  v[4] += v[1]; v[2] += v[3];
  v[2] ^= v[3] << 8;  v[5] += v[2]; v[3] += v[4];
  v[3] ^= v[4] >> 16; v[6] += v[3]; v[4] += v[5];
  v[4] ^= v[5] << 10; v[7] += v[4]; v[5] += v[6];
  v[5] ^= v[6] >> 4;  v[0] += v[5]; v[6] += v[7];
  v[6] ^= v[7] << 8;  v[1] += v[6]; v[7] += v[0];
  v[7] ^= v[0] >> 9;  v[2] += v[7]; v[0] += v[1];
}

// One pass of the initialisation: fold `source` (the seed, then the memory
// itself) into the mixing state and store the state into the memory.
void ScrambleInto(uint32_t v[8], const uint32_t* source, uint32_t* memory) {
  for (int i = 0; i < kIsaacWords; i += 8) {
    for (int k = 0; k < 8; k++) v[k] += source[i + k];
    Mix(v);
    for (int k = 0; k < 8; k++) memory[i + k] = v[k];
  }
}

}  // namespace

void IsaacInit(IsaacState* state, const uint8_t* seed, int len) {
  std::memset(state, 0, sizeof(*state));
  if (seed == nullptr || len < 0) len = 0;
  if (len > kIsaacWords * 4) len = kIsaacWords * 4;
  for (int i = 0; i < len; i++) {
    state->results[i >> 2] |= static_cast<uint32_t>(seed[i]) << ((i & 3) * 8);
  }
  uint32_t v[8];
  for (uint32_t& w : v) w = kGoldenRatio;
  for (int i = 0; i < 4; i++) Mix(v);
  ScrambleInto(v, state->results, state->memory);
  ScrambleInto(v, state->memory, state->memory);
  IsaacGenerate(state);
}

void IsaacGenerate(IsaacState* state) {
  uint32_t* mm = state->memory;
  uint32_t a = state->a;
  uint32_t b = state->b + (++state->c);
  for (int i = 0; i < kIsaacWords; i++) {
    uint32_t x = mm[i];
    switch (i & 3) {
      case 0: a ^= a << 13; break;
      case 1: a ^= a >> 6; break;
      case 2: a ^= a << 2; break;
      default: a ^= a >> 16; break;
    }
    a += mm[(i + kIsaacWords / 2) & (kIsaacWords - 1)];
    uint32_t y = mm[(x >> 2) & (kIsaacWords - 1)] + a + b;
    mm[i] = y;
    b = mm[(y >> 10) & (kIsaacWords - 1)] + x;
    state->results[i] = b;
  }
  state->a = a;
  state->b = b;
  state->remaining = kIsaacWords;
}

uint32_t IsaacNext(IsaacState* state) {
  if (state->remaining <= 0) IsaacGenerate(state);
  return state->results[--state->remaining];
}

uint32_t IsaacBelow(IsaacState* state, uint32_t n) {
  if (n <= 1) return 0;
  // Reject the top partial range so every value is equally likely.
  uint32_t limit = 0u - (0u - n) % n;  // largest multiple of n that fits, mod 2^32
  for (;;) {
    uint32_t r = IsaacNext(state);
    if (limit == 0 || r < limit) return r % n;
  }
}

}  // namespace qrread
