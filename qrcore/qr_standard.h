// ISO/IEC 18004 (QR Code model 2) constants for versions 1..40, and GF(256)
// arithmetic over x^8 + x^4 + x^3 + x^2 + 1 (0x11D). Shared by the encoder and
// the reader; plain data, no allocation, safe from any thread.
#pragma once
#include <cstdint>

namespace qrstd {

// Level indexes used by every table here: 0 = L, 1 = M, 2 = Q, 3 = H.
// (The encoder's record counts levels 1..4; the reader's results 0..3.)
enum Level : int { kLevelL = 0, kLevelM = 1, kLevelQ = 2, kLevelH = 3 };

constexpr int kMinVersion = 1;
constexpr int kMaxVersion = 40;

// Tables indexed by version - 1.
extern const int16_t kDataCodewords[40][4];      // data codewords per version and level
extern const int16_t kTotalCodewords[40];        // data + EC codewords per version
extern const uint8_t kBlockCount[40][4];         // error-correction blocks per version and level
extern const uint8_t kEcCodewordsPerBlock[40][4];
// [0] = how many coordinates (0 for version 1, else version / 7 + 2), then the
// coordinates in increasing order (6 first, size - 7 last), unused entries 0.
extern const uint8_t kAlignmentPositions[40][8];
// 15-bit format words, already XORed with 0x5412, indexed by
// (level bits << 3) | mask, with level bits L = 01, M = 00, Q = 11, H = 10.
extern const uint16_t kFormatWords[32];
// 18-bit version words for versions 7..40, indexed by version - 7.
extern const uint32_t kVersionWords[34];

// Symbol side in modules: 17 + 4 * version.
constexpr int SymbolSize(int version) { return 17 + 4 * version; }

// Level bits of the format word for a level index 0..3 (L, M, Q, H).
constexpr int FormatLevelBits(int level) {
  constexpr int kBits[4] = {1, 0, 3, 2};
  return kBits[level & 3];
}

// True when data mask `mask` (0..7) inverts the module at (row i, column j);
// false for any other mask number.
constexpr bool DataMaskInverts(int mask, int i, int j) {
  switch (mask) {
    case 0: return (i + j) % 2 == 0;
    case 1: return i % 2 == 0;
    case 2: return j % 3 == 0;
    case 3: return (i + j) % 3 == 0;
    case 4: return (i / 2 + j / 3) % 2 == 0;
    case 5: return (i * j) % 2 + (i * j) % 3 == 0;
    case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
    case 7: return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
    default: return false;
  }
}

// Data codewords for (version 1..40, level 0..3); the caller checks ranges.
inline int DataCodewords(int version, int level) { return kDataCodewords[version - 1][level]; }
inline int TotalCodewords(int version) { return kTotalCodewords[version - 1]; }
inline int BlockCount(int version, int level) { return kBlockCount[version - 1][level]; }
inline int EcCodewordsPerBlock(int version, int level) {
  return kEcCodewordsPerBlock[version - 1][level];
}

// The 45 characters of the alphanumeric mode, in value order.
inline constexpr char kAlphanumericSet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

// Mode indicators (4 bits).
constexpr int kModeIndicatorNumeric = 1;
constexpr int kModeIndicatorAlphanumeric = 2;
constexpr int kModeIndicatorByte = 4;
constexpr int kModeIndicatorKanji = 8;
constexpr int kModeIndicatorHanzi = 13;

// Bits of the character count indicator for a mode indicator above and a
// version 1..40 (classes 1-9, 10-26, 27-40); Kanji and Hanzi count alike.
constexpr int CountIndicatorBits(int modeIndicator, int version) {
  const int cls = version <= 9 ? 0 : version <= 26 ? 1 : 2;
  switch (modeIndicator) {
    case kModeIndicatorNumeric: return 10 + 2 * cls;
    case kModeIndicatorAlphanumeric: return 9 + 2 * cls;
    case kModeIndicatorByte: return cls == 0 ? 8 : 16;
    default: return 8 + 2 * cls;
  }
}

// GF(256) with generator element 2. exp[] is doubled (510 entries used) so that
// exp[log a + log b] needs no reduction.
struct Gf256 {
  uint8_t exp[512];
  uint8_t log[256];  // log[0] is unused (0 has no logarithm)
};

// Fills the tables; fast enough to run once per call (about 1 microsecond).
void Gf256Init(Gf256* gf);

// The process-wide read-only copy, built at compile time.
const Gf256& Gf256Tables();

inline uint8_t GfMul(const Gf256& gf, uint8_t a, uint8_t b) {
  if (a == 0 || b == 0) return 0;
  return gf.exp[gf.log[a] + gf.log[b]];
}
// a / b with b != 0.
inline uint8_t GfDiv(const Gf256& gf, uint8_t a, uint8_t b) {
  if (a == 0) return 0;
  return gf.exp[gf.log[a] + 255 - gf.log[b]];
}

}  // namespace qrstd
