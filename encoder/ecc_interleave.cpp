#include "encoder/ecc_interleave.h"

#include "qrcore/qr_standard.h"
#include "encoder/reed_solomon.h"

namespace {

struct BlockLayout {
  int32_t blocks;       // B
  int32_t ecPerBlock;   // E
  int32_t shortLength;  // S data codewords in a short block, S + 1 in a long one
  int32_t shortBlocks;
  int32_t dataCodewords;
};

BlockLayout MakeLayout(int32_t version, int32_t dataCodewords, int32_t blocks) {
  const int32_t ecTotal = qrstd::TotalCodewords(version) - dataCodewords;
  return {blocks, ecTotal / blocks, dataCodewords / blocks, blocks - dataCodewords % blocks,
          dataCodewords};
}

// Interleaved positions of block j's data codeword i and EC codeword i.
int32_t DataPosition(const BlockLayout& l, int32_t j, int32_t i) {
  return i < l.shortLength ? i * l.blocks + j : l.shortLength * l.blocks + (j - l.shortBlocks);
}

}  // namespace

void qr_add_ecc_interleave(int32_t version, int32_t dataCodewords, int32_t blocks,
                           const uint8_t* data, uint8_t* out) {
  const BlockLayout layout = MakeLayout(version, dataCodewords, blocks);
  // Every block shares E, so one generator serves them all.
  RsCoder rs;
  rs_setup_generator(&rs, layout.ecPerBlock, 0);
  uint8_t ecc[256];
  int32_t offset = 0;
  for (int32_t j = 0; j < blocks; ++j) {
    const int32_t length = layout.shortLength + (j < layout.shortBlocks ? 0 : 1);
    rs_compute_ecc(&rs, length, data + offset, ecc);
    for (int32_t i = 0; i < length; ++i) out[DataPosition(layout, j, i)] = data[offset + i];
    for (int32_t i = 0; i < layout.ecPerBlock; ++i) out[dataCodewords + i * blocks + j] = ecc[i];
    offset += length;
  }
  rs_release(&rs);
}
