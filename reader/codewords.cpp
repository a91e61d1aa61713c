// From a sampled module grid to corrected data codewords: function mask, data
// mask removal, placement order, de-interleaving, Reed-Solomon per block.
#include "reader/decode_stages.h"

namespace qrread {

namespace {

constexpr int kMaxSide = qrstd::SymbolSize(qrstd::kMaxVersion);
constexpr int kMaxCodewords = 3706;

void SetRect(uint32_t* mask, int stride, int u0, int v0, int w, int h) {
  for (int v = v0; v < v0 + h; ++v) {
    for (int u = u0; u < u0 + w; ++u) mask[v * stride + u / 32] |= 1u << (u % 32);
  }
}

bool GridBit(const uint32_t* grid, int stride, int row, int col) {
  return (grid[row * stride + col / 32] >> (col % 32)) & 1;
}

bool DataMaskBit(int mask, int i, int j) { return qrstd::DataMaskInverts(mask & 7, i, j); }

// Reads `total` codewords in placement order (right to left in column pairs,
// alternately upwards and downwards, the timing column skipped), unmasked.
void ReadCodewords(const uint32_t* samples, const uint32_t* fmask, int side, int dataMask,
                   uint8_t* out, int total) {
  const int stride = GridStride(side);
  int bits = 0;
  int count = 0;
  uint32_t acc = 0;
  bool upward = true;
  for (int right = side - 1; right > 0 && count < total; right -= 2) {
    if (right == 6) right = 5;
    for (int step = 0; step < side && count < total; ++step) {
      int row = upward ? side - 1 - step : step;
      for (int c = 0; c < 2 && count < total; ++c) {
        int col = right - c;
        if (GridBit(fmask, stride, row, col)) continue;
        bool dark = GridBit(samples, stride, row, col) != DataMaskBit(dataMask, row, col);
        acc = (acc << 1) | (dark ? 1u : 0u);
        if (++bits == 8) {
          out[count++] = static_cast<uint8_t>(acc);
          acc = 0;
          bits = 0;
        }
      }
    }
    upward = !upward;
  }
  for (; count < total; ++count) out[count] = 0;  // cannot happen with the tables
}

// The version 1 and version 2-L limits on corrections per block: beyond them a
// small code is more likely a misread than a damaged code.
int CorrectionCap(int version, int level) {
  if (version == 1) return 2 * (level + 1);
  if (version == 2 && level == qrstd::kLevelL) return 4;
  return 1 << 30;
}

}  // namespace

void BuildFunctionMask(int version, uint32_t* mask) {
  const int n = qrstd::SymbolSize(version);
  const int stride = GridStride(n);
  for (int i = 0; i < n * stride; ++i) mask[i] = 0;
  SetRect(mask, stride, 0, 0, 9, 9);
  SetRect(mask, stride, n - 8, 0, 8, 9);
  SetRect(mask, stride, 0, n - 8, 9, 8);
  SetRect(mask, stride, 0, 6, n, 1);
  SetRect(mask, stride, 6, 0, 1, n);
  if (version >= 7) {
    SetRect(mask, stride, n - 11, 0, 3, 6);
    SetRect(mask, stride, 0, n - 11, 6, 3);
  }
  const uint8_t* pos = qrstd::kAlignmentPositions[version - 1];
  const int count = pos[0];
  for (int i = 0; i < count; ++i) {
    for (int j = 0; j < count; ++j) {
      bool touchesFinder = (i == 0 && j == 0) || (i == 0 && j == count - 1) ||
                           (i == count - 1 && j == 0);
      if (!touchesFinder) SetRect(mask, stride, pos[1 + j] - 2, pos[1 + i] - 2, 5, 5);
    }
  }
}

int DecodeSampledCode(CodeData* code, ReaderPools* pools, const qrstd::Gf256& gf, int version,
                      int formatValue, const uint32_t* samples, uint8_t* scratch) {
  if (version < qrstd::kMinVersion || version > qrstd::kMaxVersion) return -1;
  const int level = ((formatValue >> 3) & 3) ^ 1;
  code->version = static_cast<uint8_t>(version);
  code->ecLevel = static_cast<uint8_t>(level);
  code->entries = nullptr;
  code->entryCount = 0;
  code->saIndex = code->saSize = code->saParity = 0;
  code->corrected = 0;

  const int side = qrstd::SymbolSize(version);
  uint32_t fmask[kMaxSide * GridStride(kMaxSide)];
  BuildFunctionMask(version, fmask);

  const int total = qrstd::TotalCodewords(version);
  uint8_t* raw = scratch;
  uint8_t* blocks = scratch + kMaxCodewords;
  ReadCodewords(samples, fmask, side, formatValue & 7, raw, total);

  // De-interleave: data codewords dealt cyclically (the short blocks drop out
  // of the last cycle), then the EC codewords cyclically over all blocks.
  const int nblocks = qrstd::BlockCount(version, level);
  const int parity = qrstd::EcCodewordsPerBlock(version, level);
  const int shortSize = total / nblocks;
  const int shortCount = nblocks - total % nblocks;
  const int shortData = shortSize - parity;
  auto blockStart = [&](int b) { return b * shortSize + (b > shortCount ? b - shortCount : 0); };
  auto dataLen = [&](int b) { return shortData + (b >= shortCount ? 1 : 0); };
  int k = 0;
  for (int i = 0; i <= shortData; ++i) {
    for (int b = 0; b < nblocks; ++b) {
      if (i < dataLen(b)) blocks[blockStart(b) + i] = raw[k++];
    }
  }
  for (int i = 0; i < parity; ++i) {
    for (int b = 0; b < nblocks; ++b) blocks[blockStart(b) + dataLen(b) + i] = raw[k++];
  }

  const int cap = CorrectionCap(version, level);
  uint8_t* data = raw;  // the raw codewords are no longer needed
  int dataCount = 0;
  for (int b = 0; b < nblocks; ++b) {
    uint8_t* block = blocks + blockStart(b);
    int corrected = RsCorrectBlock(gf, block, dataLen(b) + parity, parity);
    if (corrected < 0 || corrected > cap) return -1;
    code->corrected += corrected;
    for (int i = 0; i < dataLen(b); ++i) data[dataCount++] = block[i];
  }
  return ParseDataStream(code, pools, version, data, dataCount) == 0 ? 0 : -2;
}

}  // namespace qrread
