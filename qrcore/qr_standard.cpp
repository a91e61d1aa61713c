#include "qrcore/qr_standard.h"

namespace qrstd {

namespace {

constexpr Gf256 BuildGf256() {
  Gf256 gf{};
  int x = 1;
  for (int i = 0; i < 255; ++i) {
    gf.exp[i] = static_cast<uint8_t>(x);
    gf.exp[i + 255] = static_cast<uint8_t>(x);
    gf.log[x] = static_cast<uint8_t>(i);
    x <<= 1;
    if (x & 0x100) x ^= 0x11D;
  }
  gf.exp[510] = gf.exp[0];
  gf.exp[511] = gf.exp[1];
  return gf;
}

constexpr Gf256 kGf256 = BuildGf256();

}  // namespace

void Gf256Init(Gf256* gf) { *gf = BuildGf256(); }

const Gf256& Gf256Tables() { return kGf256; }

}  // namespace qrstd
