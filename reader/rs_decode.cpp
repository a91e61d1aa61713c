// Reed-Solomon decoding over GF(256): syndromes, Berlekamp-Massey, locator
// roots, Forney. Block layout: block[0] is the coefficient of x^(n-1).
#include "reader/rs_decode.h"

#include "reader/decode_stages.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qrread {

namespace {

using qrstd::Gf256;
using qrstd::GfDiv;
using qrstd::GfMul;

uint8_t Eval(const Gf256& gf, const uint8_t* poly, int degree, uint8_t x) {
  uint8_t v = poly[degree];
  for (int i = degree - 1; i >= 0; --i) v = GfMul(gf, v, x) ^ poly[i];
  return v;
}

// S_j = c(alpha^j) for j = 0..parity-1; returns true when all are zero.
bool Syndromes(const Gf256& gf, const uint8_t* block, int n, int parity, uint8_t* s) {
#if defined(__SSE2__)
  static_assert(kMaxParity <= 32, "the syndromes fill two 16-byte registers");
  // All syndromes advance together, byte by byte (S_j = S_j alpha^j + c_i),
  // one per byte lane. Multiplying by alpha^j is linear over bits: bit b of
  // S_j contributes alpha^j 2^b, so each step is eight masked XORs.
  alignas(16) uint8_t terms[8][32] = {};
  for (int b = 0; b < 8; ++b) {
    for (int j = 0; j < parity; ++j) terms[b][j] = GfMul(gf, static_cast<uint8_t>(1 << b), gf.exp[j]);
  }
  __m128i lo = _mm_setzero_si128(), hi = _mm_setzero_si128();
  for (int i = 0; i < n; ++i) {
    __m128i nextLo = _mm_set1_epi8(static_cast<char>(block[i])), nextHi = nextLo;
    for (int b = 0; b < 8; ++b) {
      const __m128i bit = _mm_set1_epi8(static_cast<char>(1 << b));
      const __m128i setLo = _mm_cmpeq_epi8(_mm_and_si128(lo, bit), bit);
      const __m128i setHi = _mm_cmpeq_epi8(_mm_and_si128(hi, bit), bit);
      const __m128i* t = reinterpret_cast<const __m128i*>(terms[b]);
      nextLo = _mm_xor_si128(nextLo, _mm_and_si128(setLo, _mm_load_si128(t)));
      nextHi = _mm_xor_si128(nextHi, _mm_and_si128(setHi, _mm_load_si128(t + 1)));
    }
    lo = nextLo;
    hi = nextHi;
  }
  alignas(16) uint8_t all[32];
  _mm_store_si128(reinterpret_cast<__m128i*>(all), lo);
  _mm_store_si128(reinterpret_cast<__m128i*>(all + 16), hi);
  for (int j = 0; j < parity; ++j) s[j] = all[j];
#else
  for (int j = 0; j < parity; ++j) s[j] = 0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < parity; ++j) s[j] = GfMul(gf, s[j], gf.exp[j]) ^ block[i];
  }
#endif
  bool clean = true;
  for (int j = 0; j < parity; ++j) clean = clean && s[j] == 0;
  return clean;
}

// Berlekamp-Massey: the error locator c[0..L] of the syndromes; returns L.
int Locator(const Gf256& gf, const uint8_t* s, int count, uint8_t* c) {
  uint8_t b[kMaxParity + 1] = {1};
  for (int i = 0; i <= kMaxParity; ++i) c[i] = 0;
  c[0] = 1;
  int len = 0;
  int shift = 1;
  uint8_t lastD = 1;
  for (int n = 0; n < count; ++n) {
    uint8_t d = s[n];
    for (int i = 1; i <= len; ++i) d ^= GfMul(gf, c[i], s[n - i]);
    if (d == 0) {
      ++shift;
      continue;
    }
    uint8_t t[kMaxParity + 1];
    for (int i = 0; i <= kMaxParity; ++i) t[i] = c[i];
    uint8_t coef = GfDiv(gf, d, lastD);
    for (int i = 0; i + shift <= kMaxParity; ++i) c[i + shift] ^= GfMul(gf, coef, b[i]);
    if (2 * len <= n) {
      len = n + 1 - len;
      for (int i = 0; i <= kMaxParity; ++i) b[i] = t[i];
      lastD = d;
      shift = 1;
    } else {
      ++shift;
    }
  }
  return len;
}

// --- Closed forms ------------------------------------------------------------------
// Squaring is linear over GF(2) in GF(256), so x^4 + p x^2 + q x is a linear map
// of x. Every polynomial of degree up to 4 is brought to "linear map = constant"
// and solved as 8 equations in the 8 bits of x.

// All x with L(x) = r, where L(bit k) = images[k]; returns how many (up to 4;
// the kernel of the maps used here has at most 4 elements).
int SolveLinear(const uint8_t images[8], uint8_t r, uint8_t* out) {
  // Rows: equation for output bit i; columns: input bits (bit 8 = constant).
  uint16_t rows[8];
  for (int i = 0; i < 8; ++i) {
    uint16_t row = 0;
    for (int k = 0; k < 8; ++k) row |= ((images[k] >> i) & 1) << k;
    row |= ((r >> i) & 1) << 8;
    rows[i] = row;
  }
  int pivotOf[8];
  int rank = 0;
  for (int col = 0; col < 8; ++col) {
    pivotOf[col] = -1;
    int p = rank;
    while (p < 8 && !(rows[p] & (1 << col))) ++p;
    if (p == 8) continue;
    uint16_t tmp = rows[p];
    rows[p] = rows[rank];
    rows[rank] = tmp;
    for (int i = 0; i < 8; ++i) {
      if (i != rank && (rows[i] & (1 << col))) rows[i] ^= rows[rank];
    }
    pivotOf[col] = rank++;
  }
  for (int i = rank; i < 8; ++i) {
    if (rows[i] & 0x100) return 0;  // inconsistent
  }
  int freeCols[8];
  int nfree = 0;
  for (int col = 0; col < 8; ++col) {
    if (pivotOf[col] < 0) freeCols[nfree++] = col;
  }
  if (nfree > 2) return 0;  // more than 4 solutions: not a case a locator produces
  int found = 0;
  for (int combo = 0; combo < (1 << nfree); ++combo) {
    uint8_t x = 0;
    for (int f = 0; f < nfree; ++f) {
      if (combo & (1 << f)) x |= static_cast<uint8_t>(1 << freeCols[f]);
    }
    for (int col = 0; col < 8; ++col) {
      if (pivotOf[col] < 0) continue;
      uint16_t row = rows[pivotOf[col]];
      int bit = (row >> 8) & 1;
      for (int f = 0; f < nfree; ++f) {
        if ((row & (1 << freeCols[f])) && (x & (1 << freeCols[f]))) bit ^= 1;
      }
      if (bit) x |= static_cast<uint8_t>(1 << col);
    }
    out[found++] = x;
  }
  return found;
}

// Roots of x^4 + p x^2 + q x + r (affine polynomial).
int AffineQuarticRoots(const Gf256& gf, uint8_t p, uint8_t q, uint8_t r, uint8_t* out) {
  uint8_t images[8];
  for (int k = 0; k < 8; ++k) {
    uint8_t x = static_cast<uint8_t>(1 << k);
    uint8_t x2 = GfMul(gf, x, x);
    images[k] = GfMul(gf, x2, x2) ^ GfMul(gf, p, x2) ^ GfMul(gf, q, x);
  }
  return SolveLinear(images, r, out);
}

// Roots of x^2 + a x + b.
int QuadraticRoots(const Gf256& gf, uint8_t a, uint8_t b, uint8_t* out) {
  uint8_t images[8];
  for (int k = 0; k < 8; ++k) {
    uint8_t x = static_cast<uint8_t>(1 << k);
    images[k] = GfMul(gf, x, x) ^ GfMul(gf, a, x);
  }
  return SolveLinear(images, b, out);
}

// Roots of the monic x^3 + a x^2 + b x + c: times (x + a) it becomes the
// affine x^4 + (a^2 + b) x^2 + (ab + c) x + ac; the extra root a is dropped
// unless it is a root of the cubic itself.
int CubicRoots(const Gf256& gf, uint8_t a, uint8_t b, uint8_t c, uint8_t* out) {
  uint8_t cand[4];
  int n = AffineQuarticRoots(gf, GfMul(gf, a, a) ^ b, GfMul(gf, a, b) ^ c, GfMul(gf, a, c), cand);
  const uint8_t cubic[4] = {c, b, a, 1};
  int found = 0;
  for (int i = 0; i < n; ++i) {
    if (Eval(gf, cubic, 3, cand[i]) == 0) out[found++] = cand[i];
  }
  return found;
}

// Roots of the monic x^4 + a x^3 + b x^2 + c x + d.
int QuarticRoots(const Gf256& gf, uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t* out) {
  if (a == 0) return AffineQuarticRoots(gf, b, c, d, out);
  // x = y + k with k^2 = c / a removes the linear term; then y = 1 / z turns
  // the quartic in y (no y term) into an affine one in z.
  uint8_t k2 = GfDiv(gf, c, a);
  uint8_t k = k2 == 0 ? 0 : gf.exp[(gf.log[k2] * 128) % 255];  // square root
  const uint8_t quartic[5] = {d, c, b, a, 1};
  uint8_t e = Eval(gf, quartic, 4, k);  // constant term of the quartic in y
  // In y: y^4 + a y^3 + (b + a k) y^2 + 0 y + e. (The y^2 coefficient is
  // b + a k, since the cross terms 2x.. vanish in characteristic 2.)
  uint8_t b2 = b ^ GfMul(gf, a, k);
  int found = 0;
  if (e == 0) {
    // y^4 + a y^3 + b2 y^2 = y^2 (y^2 + a y + b2): x = k is a double root, so
    // fewer than four distinct roots come back and the caller rejects.
    uint8_t rest[2];
    int n = QuadraticRoots(gf, a, b2, rest);
    out[found++] = k;
    for (int i = 0; i < n; ++i) {
      if (rest[i] != 0) out[found++] = rest[i] ^ k;
    }
    return found;
  }
  // Reversed: e z^4 + b2 z^2 + a z + 1 = 0, made monic.
  uint8_t zs[4];
  int n = AffineQuarticRoots(gf, GfDiv(gf, b2, e), GfDiv(gf, a, e), GfDiv(gf, 1, e), zs);
  for (int i = 0; i < n; ++i) {
    if (zs[i] != 0) out[found++] = GfDiv(gf, 1, zs[i]) ^ k;
  }
  return found;
}

}  // namespace

int RsLocatorRootsBySearch(const Gf256& gf, const uint8_t* poly, int degree, int n,
                           int* exponents) {
  int found = 0;
  for (int e = 0; e < n && e < 255 && found < degree; ++e) {
    if (Eval(gf, poly, degree, gf.exp[(255 - e) % 255]) == 0) exponents[found++] = e;
  }
  return found;
}

int RsLocatorRoots(const Gf256& gf, const uint8_t* poly, int degree, int n, int* exponents) {
  if (degree > 4) return RsLocatorRootsBySearch(gf, poly, degree, n, exponents);
  // Monic coefficients m[i] = poly[i] / poly[degree].
  uint8_t m[5] = {0, 0, 0, 0, 0};
  for (int i = 0; i < degree; ++i) m[i] = GfDiv(gf, poly[i], poly[degree]);
  uint8_t roots[4];
  int count = 0;
  switch (degree) {
    case 1: roots[0] = m[0]; count = 1; break;
    case 2: count = QuadraticRoots(gf, m[1], m[0], roots); break;
    case 3: count = CubicRoots(gf, m[2], m[1], m[0], roots); break;
    default: count = QuarticRoots(gf, m[3], m[2], m[1], m[0], roots); break;
  }
  int found = 0;
  for (int i = 0; i < count; ++i) {
    if (roots[i] == 0) continue;
    int e = (255 - gf.log[roots[i]]) % 255;  // root = alpha^-e
    bool seen = false;
    for (int j = 0; j < found; ++j) seen = seen || exponents[j] == e;
    if (e < n && !seen && found < degree) exponents[found++] = e;
  }
  return found;
}

int RsCorrectBlock(const Gf256& gf, uint8_t* block, int n, int parity) {
  if (parity < 1 || parity > kMaxParity || n <= parity || n > 255) return -1;
  uint8_t s[kMaxParity];
  if (Syndromes(gf, block, n, parity, s)) return 0;

  uint8_t loc[kMaxParity + 1];
  int degree = Locator(gf, s, parity, loc);
  if (degree == 0 || degree > parity / 2 || loc[degree] == 0) return -1;
  int exps[kMaxParity / 2];
  if (RsLocatorRoots(gf, loc, degree, n, exps) < degree) return -1;

  // Forney (first root alpha^0): e = X * Omega(1/X) / Lambda'(1/X).
  uint8_t omega[kMaxParity];
  for (int i = 0; i < parity; ++i) {
    uint8_t v = 0;
    for (int j = 0; j <= i && j <= degree; ++j) v ^= GfMul(gf, loc[j], s[i - j]);
    omega[i] = v;
  }
  uint8_t fixed[255];
  for (int i = 0; i < n; ++i) fixed[i] = block[i];
  for (int k = 0; k < degree; ++k) {
    uint8_t x = gf.exp[exps[k]];
    uint8_t xInv = gf.exp[(255 - exps[k]) % 255];
    uint8_t num = Eval(gf, omega, parity - 1, xInv);
    uint8_t den = 0;
    uint8_t power = 1;  // xInv^(i-1) for odd i
    uint8_t xInv2 = GfMul(gf, xInv, xInv);
    for (int i = 1; i <= degree; i += 2) {
      den ^= GfMul(gf, loc[i], power);
      power = GfMul(gf, power, xInv2);
    }
    if (den == 0) return -1;
    uint8_t value = GfMul(gf, x, GfDiv(gf, num, den));
    if (value == 0) return -1;
    fixed[n - 1 - exps[k]] ^= value;
  }
  // A correction that does not give a code word would hand on corrupted data.
  if (!Syndromes(gf, fixed, n, parity, s)) return -1;
  for (int i = 0; i < n; ++i) block[i] = fixed[i];
  return degree;
}

}  // namespace qrread
