// Format information (BCH(15,5)), version information (BCH(18,6)),
// and Reed-Solomon block correction.
#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <set>

#include "dec_test_util.h"
#include "qrcore/qr_standard.h"
#include "reader/decode_stages.h"
#include "reader/rs_decode.h"

namespace {
using qrread::Bch15Correct;
using qrread::DecodeFormatInfo;
using qrread::DecodeVersionInfo;

uint32_t CodeWord(int value) { return qrstd::kFormatWords[value] ^ 0x5412u; }

// Every word with up to 3 flipped bits comes back to its code word, and the
// count of corrected bits is reported.
TEST(Bch15, CorrectsUpToThreeErrorsExhaustively) {
  for (int value = 0; value < 32; ++value) {
    for (uint32_t flips = 0; flips < (1u << 15); ++flips) {
      int weight = std::popcount(flips);
      if (weight > 3) continue;
      uint32_t word = CodeWord(value) ^ flips;
      ASSERT_EQ(Bch15Correct(&word), weight) << value << " " << flips;
      ASSERT_EQ(word, CodeWord(value));
    }
  }
}

TEST(FormatInfo, CandidateVotes) {
  // Copy 1 reads value 0 cleanly; copy 2 is value 8 with one wrong bit in its
  // high half: value 8 is found in two of the four candidates and wins
  // although it needed more corrections.
  EXPECT_EQ(DecodeFormatInfo(qrstd::kFormatWords[0], qrstd::kFormatWords[8] ^ 0x0400), 8);
  // One half of one copy has 4 wrong bits: of two candidates found once
  // each, the one without errors wins, whichever copy holds it.
  // Equal copies decode with 3 errors, not with 4.
  for (int value = 0; value < 32; ++value) {
    uint32_t good = qrstd::kFormatWords[value];
    EXPECT_EQ(DecodeFormatInfo(good, good), value);
    EXPECT_EQ(DecodeFormatInfo(good ^ 0x4011, good ^ 0x4011), value);
    EXPECT_EQ(DecodeFormatInfo(good ^ 0x4111, good ^ 0x4111), -1);
    EXPECT_EQ(DecodeFormatInfo(good ^ 0x000F, good), value) << value;
    EXPECT_EQ(DecodeFormatInfo(good, good ^ 0x7800), value) << value;
  }
}

TEST(VersionInfo, ThreeErrorsCorrectedFourRejected) {
  std::mt19937 rng(20240611);
  for (int version = 7; version <= 40; ++version) {
    const uint32_t word = qrstd::kVersionWords[version - 7];
    EXPECT_EQ(DecodeVersionInfo(word), version);
    for (int trial = 0; trial < 50; ++trial) {
      uint32_t flips = 0;
      while (std::popcount(flips) < 3) flips |= 1u << (rng() % 18);
      EXPECT_EQ(DecodeVersionInfo(word ^ flips), version) << version << " " << flips;
      while (std::popcount(flips) < 4) flips |= 1u << (rng() % 18);
      EXPECT_EQ(DecodeVersionInfo(word ^ flips), -1) << version << " " << flips;
    }
  }
}

const qrstd::Gf256& Gf() { return qrstd::Gf256Tables(); }

// Flips `errors` distinct codewords of `block` with non-zero patterns.
void Corrupt(std::vector<uint8_t>* block, int errors, std::mt19937* rng) {
  std::set<int> where;
  while (static_cast<int>(where.size()) < errors) where.insert(static_cast<int>((*rng)() % block->size()));
  for (int i : where) (*block)[i] ^= static_cast<uint8_t>(1 + (*rng)() % 255);
}

// Every block shape of the QR tables: up to parity / 2 errors are corrected
// and counted; one more is never "corrected" back to the original.
TEST(RsCorrectBlock, CorrectsUpToHalfTheParityAndNoMore) {
  std::mt19937 rng(1234);
  std::set<std::pair<int, int>> shapes;
  for (int v = 1; v <= 40; ++v) {
    for (int l = 0; l < 4; ++l) {
      int n = qrstd::TotalCodewords(v) / qrstd::BlockCount(v, l);
      shapes.insert({n, qrstd::EcCodewordsPerBlock(v, l)});
      shapes.insert({n + 1, qrstd::EcCodewordsPerBlock(v, l)});
    }
  }
  for (auto [n, parity] : shapes) {
    std::vector<uint8_t> data(static_cast<size_t>(n - parity));
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    const std::vector<uint8_t> clean = dectest::RsEncode(data, parity);
    for (int errors = 0; errors <= parity / 2; ++errors) {
      std::vector<uint8_t> block = clean;
      Corrupt(&block, errors, &rng);
      ASSERT_EQ(qrread::RsCorrectBlock(Gf(), block.data(), n, parity), errors)
          << n << "/" << parity << " errors " << errors;
      ASSERT_EQ(block, clean);
    }
    int misses = 0;
    for (int trial = 0; trial < 8; ++trial) {
      std::vector<uint8_t> block = clean;
      Corrupt(&block, parity / 2 + 1, &rng);
      const std::vector<uint8_t> received = block;
      int r = qrread::RsCorrectBlock(Gf(), block.data(), n, parity);
      ASSERT_NE(block, clean) << n << "/" << parity;
      if (r < 0) {
        ASSERT_EQ(block, received);  // a failed block is left as it was
        ++misses;
      }
    }
    EXPECT_GE(misses, 6) << n << "/" << parity;  // miscorrection is rare
  }
}

}  // namespace
