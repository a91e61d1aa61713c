// Helpers of the decoding-stage tests: pools in test memory, a bit writer for
// data streams, a reference Reed-Solomon encoder, module grids.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "encoder/reed_solomon.h"
#include "qrcore/qr_standard.h"
#include "reader/decode_stages.h"
#include "reader/reader_types.h"

namespace dectest {

// The pools of one reader call, in ordinary memory.
struct TestPools {
  std::vector<qrread::ReaderSymbol> symbols{qrread::kMaxSymbols};
  std::vector<qrread::SymbolSet> sets{qrread::kMaxSymbolSets};
  std::vector<qrread::DataEntry> entries{qrread::kMaxEntries};
  std::vector<uint8_t> segments =
      std::vector<uint8_t>(qrread::kMaxSegmentBuffers * qrread::kSegmentBufferSize);
  std::vector<uint8_t> text = std::vector<uint8_t>(qrread::kTextBufferSize);
  qrread::ReaderPools pools{};
  TestPools() {
    pools.symbols = symbols.data();
    pools.sets = sets.data();
    pools.entries = entries.data();
    pools.segmentBuffers = segments.data();
    pools.textBuffer = text.data();
  }
  qrread::ReaderPools* get() { return &pools; }
};

// Builds a data stream bit by bit, most significant bit first.
class BitWriter {
 public:
  BitWriter& Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (used_ % 8));
      ++used_;
    }
    return *this;
  }
  // Pads with zero bytes to `count` codewords.
  std::vector<uint8_t> Bytes(size_t count = 0) const {
    std::vector<uint8_t> b = bytes_;
    if (b.size() < count) b.resize(count, 0);
    return b;
  }

 private:
  std::vector<uint8_t> bytes_;
  int used_ = 0;
};

// Appends `parity` EC codewords to `data`, made by the encoder's coder: the
// generator whose roots are alpha^0 .. alpha^(parity-1).
inline std::vector<uint8_t> RsEncode(const std::vector<uint8_t>& data, int parity) {
  RsCoder rs{};
  rs_setup_generator(&rs, parity, 0);
  std::vector<uint8_t> block = data;
  block.resize(data.size() + size_t(parity));
  rs_compute_ecc(&rs, int32_t(data.size()), data.data(), block.data() + data.size());
  rs_release(&rs);
  return block;
}

inline bool Module(const std::vector<uint32_t>& grid, int n, int row, int col) {
  return (grid[row * qrread::GridStride(n) + col / 32] >> (col % 32)) & 1;
}

inline void FlipModule(std::vector<uint32_t>* grid, int n, int row, int col) {
  (*grid)[row * qrread::GridStride(n) + col / 32] ^= 1u << (col % 32);
}

// The two format copies as the locating half samples them (bit b = format bit
// b, dark = 1).
inline void FormatCopies(const std::vector<uint32_t>& g, int n, uint32_t* copy1, uint32_t* copy2) {
  uint32_t a = 0, b = 0;
  int bit = 0;
  for (int v = 0; v <= 8; ++v) {
    if (v != 6) a |= static_cast<uint32_t>(Module(g, n, v, 8)) << bit++;
  }
  for (int u = 7; u >= 0; --u) {
    if (u != 6) a |= static_cast<uint32_t>(Module(g, n, 8, u)) << bit++;
  }
  for (int i = 0; i < 8; ++i) b |= static_cast<uint32_t>(Module(g, n, 8, n - 1 - i)) << i;
  for (int i = 0; i < 7; ++i) b |= static_cast<uint32_t>(Module(g, n, n - 7 + i, 8)) << (8 + i);
  *copy1 = a;
  *copy2 = b;
}

// Modules (row, col) of data codeword k in placement order, most significant
// bit first: a plain walk written independently of the reader's.
inline std::vector<std::pair<int, int>> CodewordModules(int version, int k) {
  const int n = qrstd::SymbolSize(version);
  std::vector<uint32_t> mask(static_cast<size_t>(n * qrread::GridStride(n)));
  qrread::BuildFunctionMask(version, mask.data());
  std::vector<std::pair<int, int>> order;
  int col = n - 1;
  bool up = true;
  while (col > 0) {
    if (col == 6) --col;
    for (int i = 0; i < n; ++i) {
      int row = up ? n - 1 - i : i;
      for (int c : {col, col - 1}) {
        if (!Module(mask, n, row, c)) order.emplace_back(row, c);
      }
    }
    up = !up;
    col -= 2;
  }
  return {order.begin() + 8 * k, order.begin() + 8 * k + 8};
}

// Decoded bytes of one code through DecodeSampledCode and BuildTexts; the
// status of DecodeSampledCode in *status.
struct Decoded {
  int status = 0;
  int version = 0;
  int level = 0;
  std::string text;
};

inline Decoded DecodeGrid(const std::vector<uint32_t>& grid, int version, int format) {
  TestPools p;
  qrread::CodeData code{};
  std::vector<uint8_t> scratch(2 * 3706);
  Decoded d;
  d.status = qrread::DecodeSampledCode(&code, p.get(), qrstd::Gf256Tables(), version, format,
                                       grid.data(), scratch.data());
  d.version = code.version;
  d.level = code.ecLevel;
  if (d.status != 0) return d;
  qrread::SymbolSet results{};
  qrread::BuildTexts(&code, 1, p.get(), &results);
  if (results.head != nullptr) {
    d.text.assign(reinterpret_cast<const char*>(results.head->data), results.head->dataLength);
  }
  return d;
}

}  // namespace dectest
