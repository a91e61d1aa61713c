// Format information (BCH(15,5) over GF(16)) and version information
// (BCH(18,6), by comparison with the table of code words).
#include <bit>

#include "reader/decode_stages.h"

namespace qrread {

namespace {

// GF(16) over x^4 + x + 1, generator element 2. exp is doubled so sums of two
// logarithms need no reduction.
struct Gf16 {
  uint8_t exp[30];
  uint8_t log[16];
};

constexpr Gf16 BuildGf16() {
  Gf16 f{};
  int x = 1;
  for (int i = 0; i < 15; ++i) {
    f.exp[i] = static_cast<uint8_t>(x);
    f.exp[i + 15] = static_cast<uint8_t>(x);
    f.log[x] = static_cast<uint8_t>(i);
    x <<= 1;
    if (x & 0x10) x ^= 0x13;
  }
  return f;
}

constexpr Gf16 kGf16 = BuildGf16();

uint8_t Mul16(uint8_t a, uint8_t b) {
  if (a == 0 || b == 0) return 0;
  return kGf16.exp[kGf16.log[a] + kGf16.log[b]];
}

uint8_t Div16(uint8_t a, uint8_t b) {
  if (a == 0) return 0;
  return kGf16.exp[kGf16.log[a] + 15 - kGf16.log[b]];
}

constexpr uint32_t kFormatGenerator = 0x537;
constexpr uint32_t kFormatMask = 0x5412;

// The 15-bit code word whose top five bits are `data`.
uint32_t EncodeFormat(uint32_t data) {
  uint32_t rem = data << 10;
  for (int bit = 14; bit >= 10; --bit) {
    if (rem & (1u << bit)) rem ^= kFormatGenerator << (bit - 10);
  }
  return (data << 10) | rem;
}

// Error locator of the syndromes S1..S6 by Berlekamp-Massey; returns its
// degree L with the coefficients in c[0..L].
int LocatorFromSyndromes(const uint8_t* s, int count, uint8_t c[8]) {
  uint8_t b[8] = {1};
  for (int i = 0; i < 8; ++i) c[i] = 0;
  c[0] = 1;
  int len = 0;
  int shift = 1;
  uint8_t lastD = 1;
  for (int n = 0; n < count; ++n) {
    uint8_t d = s[n];
    for (int i = 1; i <= len; ++i) d ^= Mul16(c[i], s[n - i]);
    if (d == 0) {
      ++shift;
      continue;
    }
    uint8_t t[8];
    for (int i = 0; i < 8; ++i) t[i] = c[i];
    uint8_t coef = Div16(d, lastD);
    for (int i = 0; i + shift < 8; ++i) c[i + shift] ^= Mul16(coef, b[i]);
    if (2 * len <= n) {
      len = n + 1 - len;
      for (int i = 0; i < 8; ++i) b[i] = t[i];
      lastD = d;
      shift = 1;
    } else {
      ++shift;
    }
  }
  return len;
}

struct Tally {
  int value;
  int count;
  int errors;
};

}  // namespace

int Bch15Correct(uint32_t* word) {
  const uint32_t w = *word & 0x7FFF;
  uint8_t s[6];
  bool clean = true;
  for (int j = 1; j <= 6; ++j) {
    uint8_t sum = 0;
    for (int i = 0; i < 15; ++i) {
      if (w & (1u << i)) sum ^= kGf16.exp[(i * j) % 15];
    }
    s[j - 1] = sum;
    clean = clean && sum == 0;
  }
  if (clean) return 0;

  uint8_t loc[8];
  int degree = LocatorFromSyndromes(s, 6, loc);
  if (degree > 3) return 4;
  // Chien search: bit i is wrong when alpha^-i is a root of the locator.
  uint32_t flips = 0;
  int roots = 0;
  for (int i = 0; i < 15; ++i) {
    uint8_t x = kGf16.exp[(15 - i) % 15];
    uint8_t v = 0;
    uint8_t power = 1;
    for (int k = 0; k <= degree; ++k) {
      v ^= Mul16(loc[k], power);
      power = Mul16(power, x);
    }
    if (v == 0) {
      flips |= 1u << i;
      ++roots;
    }
  }
  if (roots != degree) return 4;
  uint32_t corrected = w ^ flips;
  if (EncodeFormat(corrected >> 10) != corrected) return 4;
  *word = corrected;
  return degree;
}

int DecodeFormatInfo(uint32_t copy1, uint32_t copy2) {
  uint32_t lows[2] = {copy1 & 0xFF, copy2 & 0xFF};
  uint32_t highs[2] = {copy1 & 0x7F00, copy2 & 0x7F00};
  int lowCount = lows[0] == lows[1] ? 1 : 2;
  int highCount = highs[0] == highs[1] ? 1 : 2;

  Tally tally[4];
  int distinct = 0;
  for (int l = 0; l < lowCount; ++l) {
    for (int h = 0; h < highCount; ++h) {
      uint32_t word = (lows[l] | highs[h]) ^ kFormatMask;
      int errors = Bch15Correct(&word);
      int value = static_cast<int>(word >> 10);
      int k = 0;
      while (k < distinct && tally[k].value != value) ++k;
      if (k == distinct) tally[distinct++] = {value, 0, errors};
      ++tally[k].count;
      if (errors < tally[k].errors) tally[k].errors = errors;
    }
  }

  int choice = 0;
  for (int k = 1; k < distinct; ++k) {
    const Tally& c = tally[choice];
    const Tally& t = tally[k];
    // An uncorrectable value never displaces a correctable one, however often
    // it occurs: that would throw away a good reading.
    if (t.errors > 3) continue;
    if (c.errors > 3 || t.count > c.count || (t.count == c.count && t.errors < c.errors)) {
      choice = k;
    }
  }
  return tally[choice].errors < 4 ? tally[choice].value : -1;
}

int DecodeVersionInfo(uint32_t sample18) {
  const uint32_t sample = sample18 & 0x3FFFF;
  const int named = static_cast<int>(sample >> 12);
  auto close = [sample](int version) {
    return std::popcount(qrstd::kVersionWords[version - 7] ^ sample) < 4;
  };
  if (named >= 7 && named <= 40 && close(named)) return named;
  for (int version = 7; version <= 40; ++version) {
    if (version != named && close(version)) return version;
  }
  return -1;
}

}  // namespace qrread
