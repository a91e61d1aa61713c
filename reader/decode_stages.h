// The decoding half of the reader, called by the locating half once a code has
// been sampled: format and version information correction, codeword reading,
// Reed-Solomon correction, data stream parsing and text building.
#pragma once
#include <cstdint>

#include "qrcore/qr_standard.h"
#include "reader/reader_types.h"

namespace qrread {

// --- Format and version information (BCH codes) -------------------------------

// Corrects a 15-bit BCH(15,5) word in place (after the 0x5412 mask has been
// removed) to the code word within 3 bits of it. Returns the number of bit
// errors corrected, 0..3, or 4 when the word cannot be corrected (the word is
// then unchanged).
int Bch15Correct(uint32_t* word);

// Chooses the format value from the two sampled 15-bit copies (bit b = format
// bit b as sampled, dark = 1, mask 0x5412 not yet removed): candidates from the
// halves, correction, tally, choice. Returns the 5-bit value (bits 4-3 level
// indicator, bits 2-0 mask) or -1 when every candidate has 4 or more errors.
int DecodeFormatInfo(uint32_t copy1, uint32_t copy2);

// Corrects an 18-bit sampled version information word. Returns 7..40 or -1.
int DecodeVersionInfo(uint32_t sample18);

// --- Module grid to data --------------------------------------------------------

// Words per row of a module bit grid for side n: (n + 31) / 32; bit c of word
// c / 32 of row r is module (row r, column c).
constexpr int GridStride(int side) { return (side + 31) / 32; }

// Marks the function modules of `version` (finders with separators and format
// areas, timing, version blocks, alignment patterns) in `mask`, which has
// SymbolSize(version) rows of GridStride words; clears it first.
void BuildFunctionMask(int version, uint32_t* mask);

// Decodes one sampled code. `samples` holds SymbolSize(version) rows of
// GridStride words, 1 = dark as sampled (the data mask not yet removed); only
// modules outside the function mask are read. `scratch` must hold at least
// 2 * 3706 bytes. On 0 (success) and -2 (data stream not parseable) the code's
// version and ecLevel are set (level = (formatValue >> 3) ^ 1); -1 when error
// correction fails. On success the code's entries and saIndex/saSize/saParity
// are filled from the pools; on failure nothing stays taken from the pools.
int DecodeSampledCode(CodeData* code, ReaderPools* pools, const qrstd::Gf256& gf,
                      int version, int formatValue, const uint32_t* samples,
                      uint8_t* scratch);

// Reed-Solomon correction of one block of n codewords (data then `parity` EC
// codewords, generator roots alpha^0 .. alpha^(parity-1)). Returns the number
// of corrected codewords, or -1 when the block cannot be corrected.
int RsCorrectBlock(const qrstd::Gf256& gf, uint8_t* block, int n, int parity);

// --- Data stream ------------------------------------------------------------------

// Parses `count` corrected data codewords of a code of `version` into entries
// taken from the pools. Returns 0, or -1 (malformed stream or pools exhausted;
// whatever the parse took is returned to the pools).
int ParseDataStream(CodeData* code, ReaderPools* pools, int version,
                    const uint8_t* data, int count);

// Returns a code's entries and segment buffers to the pools.
void ReleaseCode(CodeData* code, ReaderPools* pools);

// Builds the result texts of `count` decoded codes (structured-append groups,
// FNC1 rules) and adds one ReaderSymbol per code or group to `results`.
// Returns the number of symbols added, or a negative value when text building
// stopped early (symbols already added stay).
int BuildTexts(CodeData* codes, int count, ReaderPools* pools, SymbolSet* results);

}  // namespace qrread
