// Text to characters, segment modes and the bit estimate that chooses the
// version and level. Internal to the encoder.
#pragma once
#include <cstdint>

namespace qrenc {

// One mode per character, a single letter each.
enum Mode : char {
  kModeNumeric = 'N',
  kModeAlphanumeric = 'A',
  kModeByte = 'B',
  kModeHanzi = 'G',
};

// The most characters any QR symbol can hold (7089 digits at version 40, L);
// a text with more characters is too long at every level.
constexpr int32_t kMaxCharacters = 7089;

}  // namespace qrenc

// Number of characters `length` bytes of `text` make in `inputMode`: one per byte
// in DATA_MODE; in GB2312_MODE a byte 0x80..0xFF and the byte after it make one,
// except a lead byte in the last position, which stands alone.
int32_t qr_count_characters(const uint8_t* text, int32_t length, int32_t inputMode);

// Fills chars[0 .. qr_count_characters() - 1]: byte values 0..255, and
// (first << 8) | second for a double-byte character. Returns the count.
int32_t qr_make_characters(const uint8_t* text, int32_t length, int32_t inputMode,
                           int32_t* chars);

// True for the 45 characters "0-9A-Z $%*+-./:".
bool qr_is_alphanumeric(int32_t c);

// Position 0..44 of `c` in "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:", or -1.
int32_t qr_alphanumeric_value(int32_t c);

// True when a double-byte character value lies in the GB 2312 rows that the
// Hanzi mode can carry (first byte A1..AA or B0..FA, second byte A1..FE).
bool qr_is_gb2312(int32_t c);

// Assigns a mode to each of `count` characters (four passes: base mode, short
// digit runs to alphanumeric, short alphanumeric runs to byte, short Hanzi runs
// after a byte to byte). Double-byte characters outside GB 2312 get byte mode.
void qr_classify_modes(const int32_t* chars, int32_t count, int32_t inputMode, char* modes);

// Replaces every byte-mode double-byte character by its two bytes (first byte
// first). `outChars`/`outModes` need room for 2 * count entries. Returns the new
// count; the input arrays are not changed.
int32_t qr_split_double_bytes(const int32_t* chars, const char* modes, int32_t count,
                              int32_t* outChars, char* outModes);

// Estimated bit length of the data stream, counting every segment header at its
// widest (versions 27..40), so that it is never below the real stream length.
int32_t qr_estimate_bits(const char* modes, int32_t count);
