// Format information (BCH(15,5)) and version information (BCH(18,6)), both
// corrected by comparison with the table of code words.
#include <bit>

#include "reader/decode_stages.h"

namespace qrread {

namespace {

constexpr uint32_t kFormatMask = 0x5412;

struct Tally {
  int value;
  int count;
  int errors;
};

}  // namespace

int Bch15Correct(uint32_t* word) {
  const uint32_t w = *word & 0x7FFF;
  // Code words lie at least 7 bits apart, so at most one is within 3 bits:
  // the nearest one is what a full t = 3 decoder would find, and no more.
  for (int value = 0; value < 32; ++value) {
    const uint32_t code = qrstd::kFormatWords[value] ^ kFormatMask;
    const int distance = std::popcount(code ^ w);
    if (distance <= 3) {
      *word = code;
      return distance;
    }
  }
  return 4;
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
