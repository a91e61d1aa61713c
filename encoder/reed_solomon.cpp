#include "encoder/reed_solomon.h"

#include <bit>
#include <cstring>

namespace {

uint8_t Multiply(const RsCoder* rs, uint8_t a, uint8_t b) {
  if (a == 0 || b == 0) return 0;
  return rs->antilog[rs->log[a] + rs->log[b]];
}

}  // namespace

bool gf_setup(RsCoder* rs, uint32_t polynomial) {
  rs_release(rs);
  const int m = polynomial == 0 ? 0 : std::bit_width(polynomial) - 1;
  if (m < 2 || m > 8) return false;
  const int32_t size = (1 << m) - 1;
  std::memset(rs->log, 0, sizeof rs->log);
  uint32_t x = 1;
  for (int32_t i = 0; i < size; ++i) {
    if (i > 0 && x == 1) return false;  // the powers of 2 cycle early: not primitive
    rs->antilog[i] = static_cast<uint8_t>(x);
    rs->antilog[i + size] = static_cast<uint8_t>(x);
    rs->log[x] = static_cast<uint8_t>(i);
    x <<= 1;
    if (x >> m) x ^= polynomial;
  }
  if (x != 1) return false;
  rs->fieldSize = size;
  return true;
}

bool rs_setup_generator(RsCoder* rs, int32_t n, int32_t firstRoot) {
  if (rs->fieldSize == 0 || n < 1 || n >= rs->fieldSize || firstRoot < 0) return false;
  std::memset(rs->generator, 0, sizeof rs->generator);
  rs->generator[0] = 1;
  int32_t root = firstRoot % rs->fieldSize;
  for (int32_t degree = 1; degree <= n; ++degree) {
    const uint8_t a = rs->antilog[root];
    rs->generator[degree] = rs->generator[degree - 1];
    for (int32_t k = degree - 1; k >= 1; --k) {
      rs->generator[k] = rs->generator[k - 1] ^ Multiply(rs, rs->generator[k], a);
    }
    rs->generator[0] = Multiply(rs, rs->generator[0], a);
    root = (root + 1) % rs->fieldSize;
  }
  for (int32_t k = 0; k <= n; ++k) rs->generatorLog[k] = rs->log[rs->generator[k]];
  rs->degree = n;
  return true;
}

void rs_compute_ecc(const RsCoder* rs, int32_t length, const uint8_t* data, uint8_t* ecc) {
  const int32_t n = rs->degree;
  if (n == 0) return;
  uint8_t r[256] = {};
  for (int32_t i = 0; i < length; ++i) {
    const uint8_t feedback = r[n - 1] ^ data[i];
    if (feedback == 0) {
      for (int32_t k = n - 1; k >= 1; --k) r[k] = r[k - 1];
      r[0] = 0;
      continue;
    }
    const int lf = rs->log[feedback];
    for (int32_t k = n - 1; k >= 1; --k) r[k] = r[k - 1] ^ rs->antilog[lf + rs->generatorLog[k]];
    r[0] = rs->antilog[lf + rs->generatorLog[0]];
  }
  for (int32_t i = 0; i < n; ++i) ecc[i] = r[n - 1 - i];
}

void rs_release(RsCoder* rs) {
  rs->fieldSize = 0;
  rs->degree = 0;
}
