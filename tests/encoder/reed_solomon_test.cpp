// Reed-Solomon coder, block split and interleaving, against a naive reference.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "encoder/ecc_interleave.h"
#include "qrcore/qr_standard.h"
#include "encoder/reed_solomon.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Carry-less multiplication reduced by `poly`, bit by bit (no tables).
uint32_t SlowMul(uint32_t a, uint32_t b, uint32_t poly, int m) {
  uint32_t r = 0;
  for (; b != 0; b >>= 1) {
    if (b & 1) r ^= a;
    a <<= 1;
    if (a >> m) a ^= poly;
  }
  return r;
}

uint32_t SlowPow2(int e, uint32_t poly, int m) {
  uint32_t r = 1;
  for (int i = 0; i < e; ++i) r = SlowMul(r, 2, poly, m);
  return r;
}

// Remainder of data(x) * x^n divided by prod (x - alpha^i), i = 0..n-1, by long
// division in GF(256); highest power first.
Bytes SlowEcc(const Bytes& data, int n) {
  Bytes g = {1};  // highest power first
  for (int i = 0; i < n; ++i) {
    const uint32_t root = SlowPow2(i, 0x11D, 8);
    Bytes next(g.size() + 1, 0);
    for (size_t k = 0; k < g.size(); ++k) {
      next[k] ^= g[k];
      next[k + 1] ^= static_cast<uint8_t>(SlowMul(g[k], root, 0x11D, 8));
    }
    g = next;
  }
  Bytes rem(data);
  rem.resize(data.size() + n, 0);
  for (size_t i = 0; i < data.size(); ++i) {
    const uint8_t f = rem[i];
    if (f == 0) continue;
    for (size_t k = 0; k < g.size(); ++k) rem[i + k] ^= static_cast<uint8_t>(SlowMul(g[k], f, 0x11D, 8));
  }
  return Bytes(rem.end() - n, rem.end());
}

// Blocks in order (short first), then column-wise reading of data and of EC.
Bytes SlowInterleave(int version, int level, const Bytes& data) {
  const int blocks = qrstd::BlockCount(version, level);
  const int d = qrstd::DataCodewords(version, level);
  const int ec = (qrstd::TotalCodewords(version) - d) / blocks;
  const int shortBlocks = blocks - d % blocks;
  std::vector<Bytes> dataBlocks, ecBlocks;
  size_t offset = 0;
  for (int j = 0; j < blocks; ++j) {
    const size_t len = static_cast<size_t>(d / blocks + (j < shortBlocks ? 0 : 1));
    dataBlocks.emplace_back(data.begin() + offset, data.begin() + offset + len);
    ecBlocks.push_back(SlowEcc(dataBlocks.back(), ec));
    offset += len;
  }
  Bytes out;
  for (size_t i = 0; i <= static_cast<size_t>(d / blocks); ++i) {
    for (const Bytes& b : dataBlocks) {
      if (i < b.size()) out.push_back(b[i]);
    }
  }
  for (int i = 0; i < ec; ++i) {
    for (const Bytes& b : ecBlocks) out.push_back(b[static_cast<size_t>(i)]);
  }
  return out;
}

Bytes Interleave(int version, int level, const Bytes& data) {
  Bytes out(static_cast<size_t>(qrstd::TotalCodewords(version)), 0);
  qr_add_ecc_interleave(version, qrstd::DataCodewords(version, level),
                        qrstd::BlockCount(version, level), data.data(), out.data());
  return out;
}

Bytes Ecc(const Bytes& data, int n) {
  RsCoder rs;
  EXPECT_TRUE(gf_setup(&rs, 0x11D));
  EXPECT_TRUE(rs_setup_generator(&rs, n, 0));
  Bytes ecc(static_cast<size_t>(n));
  rs_compute_ecc(&rs, static_cast<int32_t>(data.size()), data.data(), ecc.data());
  rs_release(&rs);
  return ecc;
}

TEST(ReedSolomon, WorkedExamplesGiveTheirEcCodewords) {
  EXPECT_EQ(Ecc({0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11,
                 0xEC, 0x11},
                10),
            (Bytes{0xA5, 0x24, 0xD4, 0xC1, 0xED, 0x36, 0xC7, 0x87, 0x2C, 0x55}));
  EXPECT_EQ(Ecc({0x20, 0x5B, 0x0B, 0x78, 0xD1, 0x72, 0xDC, 0x4D, 0x43, 0x40, 0xEC, 0x11, 0xEC}, 13),
            (Bytes{0xA8, 0x48, 0x16, 0x52, 0xD9, 0x36, 0x9C, 0x00, 0x2E, 0x0F, 0xB4, 0x7A, 0x10}));
}

TEST(ReedSolomon, FieldSetupAcceptsPrimitivePolynomialsOnly) {
  RsCoder rs;
  EXPECT_TRUE(gf_setup(&rs, 0x11D));
  EXPECT_EQ(rs.fieldSize, 255);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(rs.antilog[i % 255], SlowPow2(i, 0x11D, 8)) << i;
  EXPECT_TRUE(gf_setup(&rs, 0x13));  // x^4 + x + 1
  EXPECT_EQ(rs.fieldSize, 15);
  EXPECT_FALSE(gf_setup(&rs, 0x11B));  // irreducible, but 2 has order 51
  EXPECT_EQ(rs.fieldSize, 0);
  EXPECT_FALSE(rs_setup_generator(&rs, 4, 0));  // no field
  EXPECT_FALSE(gf_setup(&rs, 0x3));    // degree 1
  EXPECT_FALSE(gf_setup(&rs, 0x211));  // degree 9
  EXPECT_FALSE(gf_setup(&rs, 0));
}

// Evaluates a polynomial given highest power first at x.
uint32_t Evaluate(const Bytes& p, uint32_t x, uint32_t poly, int m) {
  uint32_t r = 0;
  for (uint8_t c : p) r = SlowMul(r, x, poly, m) ^ c;
  return r;
}

TEST(ReedSolomon, CodewordsVanishAtTheGeneratorRootsInAnyField) {
  struct Case { uint32_t poly; int m; int n; int firstRoot; };
  std::mt19937 rng(99);
  for (const Case c : {Case{0x11D, 8, 30, 0}, Case{0x11D, 8, 7, 1}, Case{0x13, 4, 6, 0},
                       Case{0x13, 4, 4, 3}}) {
    RsCoder rs;
    ASSERT_TRUE(gf_setup(&rs, c.poly));
    ASSERT_TRUE(rs_setup_generator(&rs, c.n, c.firstRoot));
    Bytes codeword(static_cast<size_t>(rs.fieldSize - c.n));
    for (uint8_t& b : codeword) b = static_cast<uint8_t>(rng() % (rs.fieldSize + 1));
    Bytes ecc(static_cast<size_t>(c.n));
    rs_compute_ecc(&rs, static_cast<int32_t>(codeword.size()), codeword.data(), ecc.data());
    codeword.insert(codeword.end(), ecc.begin(), ecc.end());
    for (int i = 0; i < c.n; ++i) {
      EXPECT_EQ(Evaluate(codeword, SlowPow2(c.firstRoot + i, c.poly, c.m), c.poly, c.m), 0u)
          << "poly " << c.poly << " root " << i;
    }
    EXPECT_NE(Evaluate(codeword, SlowPow2(c.firstRoot + c.n, c.poly, c.m), c.poly, c.m), 0u);
    EXPECT_FALSE(rs_setup_generator(&rs, rs.fieldSize, 0));  // degree too high
  }
}

TEST(Interleave, MatchesTheNaiveReferenceForAllVersionsAndLevels) {
  std::mt19937 rng(1804);
  for (int v = 1; v <= 40; ++v) {
    for (int level = 0; level < 4; ++level) {
      Bytes data(static_cast<size_t>(qrstd::DataCodewords(v, level)));
      for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
      ASSERT_EQ(Interleave(v, level, data), SlowInterleave(v, level, data))
          << "version " << v << " level " << level;
    }
  }
  // The largest split: 81 blocks, 20 of 15 and 61 of 16 data codewords.
  EXPECT_EQ(qrstd::BlockCount(40, qrstd::kLevelH), 81);
  EXPECT_EQ(qrstd::DataCodewords(40, qrstd::kLevelH), 20 * 15 + 61 * 16);
}

}  // namespace
