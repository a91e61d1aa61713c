// Error-correction blocks and the final codeword order. Internal to the encoder.
#pragma once
#include <cstdint>

// Splits the `dataCodewords` (D) data codewords of `version` (1..40) into
// `blocks` (B) blocks (short ones first), adds each block's EC codewords and
// writes all TotalCodewords(version) codewords, interleaved, to `out`: data
// first, then EC. D and B must be a (version, level) pair of the tables.
void qr_add_ecc_interleave(int32_t version, int32_t dataCodewords, int32_t blocks,
                           const uint8_t* data, uint8_t* out);
