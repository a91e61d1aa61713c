// The data bit stream and data codewords.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/bit_stream.h"
#include "encoder/qr_encoder.h"
#include "encoder/qr_standard.h"
#include "encoder/segmentation.h"

namespace {

std::vector<uint8_t> Codewords(const std::string& bytes, int32_t version, int32_t level,
                               int32_t mode = DATA_MODE) {
  const auto* text = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  const int32_t count = qr_count_characters(text, length, mode);
  std::vector<int32_t> chars(static_cast<size_t>(count));
  std::vector<char> modes(static_cast<size_t>(count));
  qr_make_characters(text, length, mode, chars.data());
  qr_classify_modes(chars.data(), count, mode, modes.data());
  std::vector<int32_t> split(2 * chars.size() + 1);
  std::vector<char> splitModes(2 * chars.size() + 1);
  const int32_t n = qr_split_double_bytes(chars.data(), modes.data(), count, split.data(),
                                          splitModes.data());
  std::vector<uint8_t> out(static_cast<size_t>(qrstd::DataCodewords(version, level)));
  qr_build_codewords(version, static_cast<int32_t>(out.size()), splitModes.data(), split.data(),
                     n, out.data());
  return out;
}

TEST(BitStream, AppendsMostSignificantFirstAcrossBytes) {
  uint8_t bytes[4] = {};
  QrBitStream s{bytes, 32, 0};
  qr_append_bits(&s, 0x5, 3);      // 101
  qr_append_bits(&s, 0x1FF, 9);    // 111111111
  qr_append_bits(&s, 0x0, 2);
  qr_append_bits(&s, 0xABCD, 16);
  qr_append_bits(&s, 0xFFFFFFFF, 0);
  EXPECT_EQ(s.bitCount, 30);
  EXPECT_EQ(bytes[0], 0xBF);  // 1011 1111
  EXPECT_EQ(bytes[1], 0xF2);  // 1111 00 10
  EXPECT_EQ(bytes[2], 0xAF);
  EXPECT_EQ(bytes[3], 0x34);
  // Bits past the capacity are dropped, not written.
  qr_append_bits(&s, 0x7, 3);
  EXPECT_EQ(s.bitCount, 32);
  EXPECT_EQ(bytes[3], 0x37);
}

TEST(BitStream, WorkedExamplesGiveTheirCodewords) {
  EXPECT_EQ(Codewords("01234567", 1, qrstd::kLevelH),
            (std::vector<uint8_t>{0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC}));
  EXPECT_EQ(Codewords("HELLO WORLD", 1, qrstd::kLevelQ),
            (std::vector<uint8_t>{0x20, 0x5B, 0x0B, 0x78, 0xD1, 0x72, 0xDC, 0x4D, 0x43, 0x40,
                                  0xEC, 0x11, 0xEC}));
  EXPECT_EQ(Codewords("\xB0\xA1\xB0\xA2", 1, qrstd::kLevelH, GB2312_MODE),
            (std::vector<uint8_t>{0xD1, 0x02, 0x1E, 0x00, 0xF0, 0x40, 0xEC, 0x11, 0xEC}));
  EXPECT_EQ(Codewords("\xA1\xA1", 1, qrstd::kLevelH, GB2312_MODE),
            (std::vector<uint8_t>{0xD1, 0x01, 0x00, 0x00, 0x00, 0xEC, 0x11, 0xEC, 0x11}));
}

TEST(BitStream, ByteAndNumericTailsAndSegmentsInTextOrder) {
  // "abc123456": byte segment of 3, numeric segment of 6, at version 1 L.
  // 0100 00000011 01100001 01100010 01100011 | 0001 0000000110 0001111011 0111001000 | 0000
  const std::vector<uint8_t> cw = Codewords("abc123456", 1, qrstd::kLevelL);
  const std::vector<uint8_t> expected = {0x40, 0x36, 0x16, 0x26, 0x31, 0x01, 0x87, 0xB7,
                                         0x20, 0x00, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11,
                                         0xEC, 0x11, 0xEC};
  EXPECT_EQ(cw, expected);
  // Numeric tails of two digits (78 in 7 bits) and one digit (7 in 4 bits).
  std::vector<uint8_t> tail2 = Codewords("12345678", 1, qrstd::kLevelL);
  EXPECT_EQ(std::vector<uint8_t>(tail2.begin(), tail2.begin() + 7),
            (std::vector<uint8_t>{0x10, 0x20, 0x7B, 0x72, 0x27, 0x00, 0xEC}));
  std::vector<uint8_t> tail1 = Codewords("1234567", 1, qrstd::kLevelL);
  EXPECT_EQ(std::vector<uint8_t>(tail1.begin(), tail1.begin() + 7),
            (std::vector<uint8_t>{0x10, 0x1C, 0x7B, 0x72, 0x1C, 0x00, 0xEC}));
}

TEST(BitStream, CountIndicatorWidensAtVersionTen) {
  const std::string text(20, 'a');
  const std::vector<uint8_t> v9 = Codewords(text, 9, qrstd::kLevelL);
  const std::vector<uint8_t> v10 = Codewords(text, 10, qrstd::kLevelL);
  // 0100 + 8-bit count 20 vs 0100 + 16-bit count 20.
  EXPECT_EQ(v9[0], 0x41);
  EXPECT_EQ(v9[1], 0x46);
  EXPECT_EQ(v10[0], 0x40);
  EXPECT_EQ(v10[1], 0x01);
  EXPECT_EQ(v10[2], 0x46);
  // Hanzi count: 8 bits at version 9, 10 at version 10, 12 at version 27.
  const std::string h = "\xA1\xA1";
  EXPECT_EQ(Codewords(h, 9, qrstd::kLevelL, GB2312_MODE)[1], 0x01);   // 1101 0001 00000001
  EXPECT_EQ(Codewords(h, 10, qrstd::kLevelL, GB2312_MODE)[1], 0x00);  // 1101 0001 0000000001
  EXPECT_EQ(Codewords(h, 10, qrstd::kLevelL, GB2312_MODE)[2], 0x40);
  EXPECT_EQ(Codewords(h, 27, qrstd::kLevelL, GB2312_MODE)[2], 0x10);  // ... 000000000001
}

TEST(BitStream, FullSymbolCutsTheTerminatorAndHasNoPad) {
  // 17 bytes at version 1 L: 4 + 8 + 136 = 148 bits of 152; the terminator
  // takes the last four bits and nothing is padded.
  const std::vector<uint8_t> full = Codewords(std::string(17, 'z'), 1, qrstd::kLevelL);
  EXPECT_EQ(full.front(), 0x41);
  EXPECT_EQ(full.back(), 0xA0);  // low nibble of 'z' (1010), then the terminator
  // 41 digits take 151 bits: one bit of terminator fits, the rest is cut.
  const std::vector<uint8_t> cut =
      Codewords("12345678901234567890123456789012345678901", 1, qrstd::kLevelL);
  EXPECT_EQ(cut, (std::vector<uint8_t>{0x10, 0xA4, 0x7B, 0x72, 0x31, 0x50, 0x31, 0x59, 0xA9, 0xB8,
                                       0x53, 0xAA, 0x37, 0xDE, 0x87, 0xB7, 0x23, 0x15, 0x02}));
}

TEST(BitStream, PadCodewordsAlternateStartingWithEC) {
  const std::vector<uint8_t> cw = Codewords("1", 2, qrstd::kLevelL);
  ASSERT_EQ(cw.size(), 34u);
  // A lone digit is a byte: 0100 00000001 00110001 0000 -> 40 13 10, then EC 11 EC ...
  EXPECT_EQ(cw[0], 0x40);
  EXPECT_EQ(cw[1], 0x13);
  EXPECT_EQ(cw[2], 0x10);
  for (size_t i = 3; i < cw.size(); ++i) EXPECT_EQ(cw[i], (i % 2 == 1) ? 0xEC : 0x11) << i;
}

}  // namespace
