// Reed-Solomon coder against worked examples and a bit-by-bit field; the block
// split and interleaving are checked by the round trip in oracle_test.cpp.
#include <gtest/gtest.h>

#include <random>
#include <vector>

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

Bytes Ecc(const Bytes& data, int n) {
  RsCoder rs;
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

TEST(ReedSolomon, GeneratorDegreeMustFitTheField) {
  RsCoder rs;
  EXPECT_FALSE(rs_setup_generator(&rs, 0, 0));    // no EC codewords
  EXPECT_FALSE(rs_setup_generator(&rs, 255, 0));  // as many roots as field elements
  EXPECT_FALSE(rs_setup_generator(&rs, 4, -1));
  EXPECT_EQ(rs.degree, 0);
}

// Evaluates a polynomial given highest power first at x.
uint32_t Evaluate(const Bytes& p, uint32_t x, uint32_t poly, int m) {
  uint32_t r = 0;
  for (uint8_t c : p) r = SlowMul(r, x, poly, m) ^ c;
  return r;
}

TEST(ReedSolomon, CodewordsVanishAtTheGeneratorRoots) {
  struct Case { int n; int firstRoot; };
  constexpr uint32_t kPoly = 0x11D;
  constexpr int kM = 8;
  std::mt19937 rng(99);
  // 254 is the largest degree; a first root past 254 wraps round.
  for (const Case c : {Case{30, 0}, Case{7, 1}, Case{254, 0}, Case{5, 300}}) {
    RsCoder rs;
    ASSERT_TRUE(rs_setup_generator(&rs, c.n, c.firstRoot));
    Bytes codeword(static_cast<size_t>(255 - c.n));
    for (uint8_t& b : codeword) b = static_cast<uint8_t>(rng() % 256);
    Bytes ecc(static_cast<size_t>(c.n));
    rs_compute_ecc(&rs, static_cast<int32_t>(codeword.size()), codeword.data(), ecc.data());
    codeword.insert(codeword.end(), ecc.begin(), ecc.end());
    for (int i = 0; i < c.n; ++i) {
      EXPECT_EQ(Evaluate(codeword, SlowPow2(c.firstRoot + i, kPoly, kM), kPoly, kM), 0u)
          << "n " << c.n << " root " << i;
    }
    if (c.n < 254) {
      EXPECT_NE(Evaluate(codeword, SlowPow2(c.firstRoot + c.n, kPoly, kM), kPoly, kM), 0u);
    }
  }
}

}  // namespace
