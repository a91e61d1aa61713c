#include "encoder/reed_solomon.h"

#include <cstring>

namespace {

constexpr int32_t kFieldSize = 255;  // non-zero elements of GF(256)

}  // namespace

bool rs_setup_generator(RsCoder* rs, int32_t n, int32_t firstRoot) {
  rs_release(rs);
  if (n < 1 || n >= kFieldSize || firstRoot < 0) return false;
  const qrstd::Gf256& gf = qrstd::Gf256Tables();
  std::memset(rs->generator, 0, sizeof rs->generator);
  rs->generator[0] = 1;
  int32_t root = firstRoot % kFieldSize;
  for (int32_t degree = 1; degree <= n; ++degree) {
    const uint8_t a = gf.exp[root];
    rs->generator[degree] = rs->generator[degree - 1];
    for (int32_t k = degree - 1; k >= 1; --k) {
      rs->generator[k] = rs->generator[k - 1] ^ qrstd::GfMul(gf, rs->generator[k], a);
    }
    rs->generator[0] = qrstd::GfMul(gf, rs->generator[0], a);
    root = (root + 1) % kFieldSize;
  }
  for (int32_t k = 0; k <= n; ++k) rs->generatorLog[k] = gf.log[rs->generator[k]];
  std::memcpy(rs->power, gf.exp, sizeof rs->power);
  rs->degree = n;
  return true;
}

void rs_compute_ecc(const RsCoder* rs, int32_t length, const uint8_t* data, uint8_t* ecc) {
  const int32_t n = rs->degree;
  if (n == 0) return;
  // Sums of two logs stay below 510, inside the doubled exp table.
  const uint8_t* power = rs->power;
  const uint8_t* logOf = qrstd::Gf256Tables().log;
  uint8_t r[256] = {};
  for (int32_t i = 0; i < length; ++i) {
    const uint8_t feedback = r[n - 1] ^ data[i];
    if (feedback == 0) {
      for (int32_t k = n - 1; k >= 1; --k) r[k] = r[k - 1];
      r[0] = 0;
      continue;
    }
    const int lf = logOf[feedback];
    for (int32_t k = n - 1; k >= 1; --k) r[k] = r[k - 1] ^ power[lf + rs->generatorLog[k]];
    r[0] = power[lf + rs->generatorLog[0]];
  }
  for (int32_t i = 0; i < n; ++i) ecc[i] = r[n - 1 - i];
}

void rs_release(RsCoder* rs) {
  rs->degree = 0;
}
