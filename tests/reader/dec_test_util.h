// Helpers of the decoding-stage tests: pools in test memory, a bit writer for
// data streams, a reference Reed-Solomon encoder, module grids.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "encoder/reed_solomon.h"
#include "qrcore/qr_standard.h"
#include "reader/arena.h"
#include "reader/decode_stages.h"
#include "reader/reader_types.h"

namespace dectest {

// The pools of one reader call, in an arena of their own.
struct TestPools {
  qrread::ReaderArena* arena = qrread::ArenaOpen();
  qrread::ReaderPools& pools = arena->pools;
  ~TestPools() { qrread::ArenaClose(arena); }
  qrread::ReaderPools* get() { return &pools; }
};

// Builds a data stream bit by bit, most significant bit first.
struct BitWriter {
  std::vector<uint8_t> bytes;
  int used = 0;
  BitWriter& Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i, ++used) {
      if (used % 8 == 0) bytes.push_back(0);
      if ((value >> i) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> (used % 8));
    }
    return *this;
  }
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

// Modules (row, col) of data codeword k in placement order, most significant
// bit first: a plain walk written independently of the reader's.
inline std::vector<std::pair<int, int>> CodewordModules(int version, int k) {
  const int n = qrstd::SymbolSize(version);
  std::vector<uint32_t> mask(static_cast<size_t>(n * qrread::GridStride(n)));
  qrread::BuildFunctionMask(version, mask.data());
  std::vector<std::pair<int, int>> order;
  for (int col = n - 1, up = 1; col > 0; col -= 2, up = !up) {
    if (col == 6) --col;
    for (int i = 0, row = up ? n - 1 : 0; i < n; ++i, row += up ? -1 : 1)
      for (int c : {col, col - 1})
        if (!Module(mask, n, row, c)) order.emplace_back(row, c);
  }
  return {order.begin() + 8 * k, order.begin() + 8 * k + 8};
}

// Decoded bytes of one code through DecodeSampledCode and BuildTexts, with
// the status of DecodeSampledCode.
struct Decoded {
  int status = 0;
  std::string text;
};

inline Decoded DecodeGrid(const std::vector<uint32_t>& grid, int version, int format) {
  TestPools p;
  qrread::CodeData code{};
  std::vector<uint8_t> scratch(2 * 3706);
  Decoded d;
  d.status = qrread::DecodeSampledCode(&code, p.get(), qrstd::Gf256Tables(), version, format,
                                       grid.data(), scratch.data());
  if (d.status != 0) return d;
  qrread::SymbolSet results{};
  qrread::BuildTexts(&code, 1, p.get(), &results);
  if (results.head != nullptr) {
    d.text.assign(reinterpret_cast<const char*>(results.head->data), results.head->dataLength);
  }
  return d;
}

}  // namespace dectest
