// The data bit stream and its cutting into data codewords. Internal to the encoder.
#pragma once
#include <cstdint>

// A bit buffer over caller storage; bits past `capacityBits` are dropped.
struct QrBitStream {
  uint8_t* bytes;        // zero-filled by the caller
  int32_t capacityBits;
  int32_t bitCount;
};

// Appends the low `n` bits (0..31) of `value`, most significant first.
void qr_append_bits(QrBitStream* stream, uint32_t value, int32_t n);

// Writes the segments of `count` characters with their `modes` for `version`
// (1..40), then terminator, bit padding and the pad codewords EC 11 ..., into
// exactly `dataCodewords` (1..2956) codewords. Bits beyond them are dropped.
void qr_build_codewords(int32_t version, int32_t dataCodewords, const char* modes,
                        const int32_t* chars, int32_t count, uint8_t* codewords);
