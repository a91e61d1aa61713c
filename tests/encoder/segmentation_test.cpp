// Characters, mode classification, the double-byte split, the bit estimate and
// the data codewords built from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/bit_stream.h"
#include "encoder/qr_encoder.h"
#include "qrcore/qr_standard.h"
#include "encoder/segmentation.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<int32_t> Characters(const std::string& bytes, int32_t mode) {
  const auto* text = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  std::vector<int32_t> chars(static_cast<size_t>(qr_count_characters(text, length, mode)));
  EXPECT_EQ(qr_make_characters(text, length, mode, chars.data()),
            static_cast<int32_t>(chars.size()));
  return chars;
}

// Characters after classification and the double-byte split, with their modes.
struct Segmented {
  std::vector<int32_t> chars;
  std::string modes;
};

Segmented Segment(const std::string& bytes, int32_t mode) {
  const std::vector<int32_t> chars = Characters(bytes, mode);
  const auto n = static_cast<int32_t>(chars.size());
  std::vector<char> modes(chars.size());
  qr_classify_modes(chars.data(), n, mode, modes.data());
  std::vector<int32_t> split(2 * chars.size() + 1);
  std::vector<char> splitModes(2 * chars.size() + 1);
  const int32_t m = qr_split_double_bytes(chars.data(), modes.data(), n, split.data(),
                                          splitModes.data());
  return {std::vector<int32_t>(split.begin(), split.begin() + m),
          std::string(splitModes.data(), static_cast<size_t>(m))};
}

std::string Modes(const std::string& bytes, int32_t mode = DATA_MODE) {
  return Segment(bytes, mode).modes;
}

Bytes Codewords(const std::string& bytes, int32_t version, int32_t level, int32_t mode) {
  const Segmented s = Segment(bytes, mode);
  Bytes out(static_cast<size_t>(qrstd::DataCodewords(version, level)));
  qr_build_codewords(version, static_cast<int32_t>(out.size()), s.modes.data(), s.chars.data(),
                     static_cast<int32_t>(s.chars.size()), out.data());
  return out;
}

TEST(Characters, Gb2312ModePairsLeadBytesAndKnowsTheHanziRows) {
  EXPECT_EQ(Characters("a\xB0\xA1" "b", GB2312_MODE), (std::vector<int32_t>{'a', 0xB0A1, 'b'}));
  // A lead byte followed by an ASCII byte still pairs with it.
  EXPECT_EQ(Characters("\x81" "A", GB2312_MODE), (std::vector<int32_t>{0x8141}));
  // The last byte must not pair with anything beyond the input.
  EXPECT_EQ(Characters("x\xC8", GB2312_MODE), (std::vector<int32_t>{'x', 0xC8}));
  EXPECT_EQ(Characters("\xB0\xA1\xB0", GB2312_MODE), (std::vector<int32_t>{0xB0A1, 0xB0}));
  EXPECT_EQ(Characters("\xB0\xA1", DATA_MODE), (std::vector<int32_t>{0xB0, 0xA1}));
  EXPECT_EQ(Characters("\x7F" "A", GB2312_MODE), (std::vector<int32_t>{0x7F, 'A'}));  // ASCII DEL
  // The Hanzi mode's rows: not AB..AF and above FA, second bytes in A1..FE, no GBK extension.
  for (int32_t c : {0xA1A1, 0xAAFE, 0xB0A1, 0xFAFE}) EXPECT_TRUE(qr_is_gb2312(c)) << std::hex << c;
  for (int32_t c : {0xABA1, 0xAFFE, 0xFBA1, 0xB0A0, 0xB0FF, 0x8140}) {
    EXPECT_FALSE(qr_is_gb2312(c)) << std::hex << c;
  }
}

TEST(Classification, ModesOfRunsAfterEveryPass) {
  const std::string h = "\xB0\xA1";  // one GB 2312 character
  const struct { std::string text; int32_t mode; const char* modes; } cases[] = {
      {"01234567", DATA_MODE, "NNNNNNNN"},
      {"12345", DATA_MODE, "BBBBB"},  // short digit and alphanumeric runs become byte
      {"123456", DATA_MODE, "NNNNNN"},
      {"ABCDE", DATA_MODE, "BBBBB"},
      {"ABCDEF", DATA_MODE, "AAAAAA"},
      {"AB12345", DATA_MODE, "AAAAAAA"},  // the digits join AB
      {"HELLO WORLD", DATA_MODE, "AAAAAAAAAAA"},
      {"hello world", DATA_MODE, "BBBBBBBBBBB"},
      {"abc123456def", DATA_MODE, "BBBNNNNNNBBB"},
      {"abc12345def", DATA_MODE, "BBBBBBBBBBB"},
      {"http://x/ABCDEF", DATA_MODE, "BBBBBBBBAAAAAAA"},
      // Hanzi runs shorter than four after a byte become bytes.
      {"a" + h + h + h, GB2312_MODE, "BBBBBBB"},
      {"a" + h + h + h + h, GB2312_MODE, "BGGGG"},
      {"1" + h, GB2312_MODE, "BBB"},
      {h + h + "abc", GB2312_MODE, "GGBBB"},
      {h, GB2312_MODE, "G"},
      {"ABCDEF" + h, GB2312_MODE, "AAAAAAG"},  // after alphanumeric it stays
      {"123456" + h + "x" + h, GB2312_MODE, "NNNNNNGBBB"},
      {"\xB0\xA1\xB0\xA2\xB0\xA3\xB0\xA4\xC8", GB2312_MODE, "GGGGB"},  // lone trailing lead byte
      {"\x81\x40" + h + h + h + h, GB2312_MODE, "BBGGGG"},  // GBK outside GB 2312: its two bytes
  };
  for (const auto& c : cases) EXPECT_EQ(Modes(c.text, c.mode), c.modes) << c.text;
}

TEST(Estimate, CountsWidestHeadersAndCharacterBits) {
  const struct { std::string text; int32_t mode; int32_t bits; } cases[] = {
      {"01234567", DATA_MODE, 45},
      {"12345678901234567890", DATA_MODE, 85},
      {"HELLO WORLD", DATA_MODE, 78},
      {"hello world", DATA_MODE, 108},
      {std::string(40, 'a'), DATA_MODE, 340},
      {std::string(1300, 'a'), DATA_MODE, 10420},
      {"\xB0\xA1\xB0\xA2", GB2312_MODE, 46},
      // Each segment pays its header; counters restart with the segment.
      {"abc123456def", DATA_MODE, 20 + 24 + 18 + 20 + 20 + 24},
      {"1", DATA_MODE, 28},  // a lone digit ends up as a byte
      {"1234567", DATA_MODE, 18 + 10 + 10 + 4},
  };
  for (const auto& c : cases) {
    const std::string modes = Modes(c.text, c.mode);
    EXPECT_EQ(qr_estimate_bits(modes.data(), static_cast<int32_t>(modes.size())), c.bits) << c.text;
  }
  EXPECT_EQ(qr_estimate_bits(nullptr, 0), 0);
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
  EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{0xBF, 0xF2, 0xAF, 0x34}));
  // Bits past the capacity are dropped, not written.
  qr_append_bits(&s, 0x7, 3);
  EXPECT_EQ(s.bitCount, 32);
  EXPECT_EQ(bytes[3], 0x37);
}

// Data codewords (or their first bytes) for worked examples, a cut terminator
// and padding: what a reader skips over. Segment order, numeric tails and the
// count widths of every version are read back in oracle_test.cpp.
TEST(BitStream, DataCodewords) {
  const std::string hanzi = "\xA1\xA1";  // Hanzi value 0
  Bytes pad = {0x40, 0x13, 0x10};  // a lone digit is a byte: 0100 00000001 00110001 0000
  while (pad.size() < 34) pad.push_back(pad.size() % 2 ? 0xEC : 0x11);
  const struct { std::string text; int32_t version, level, mode; Bytes start; } cases[] = {
      {"01234567", 1, qrstd::kLevelH, DATA_MODE,
       {0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC}},
      {"HELLO WORLD", 1, qrstd::kLevelQ, DATA_MODE,
       {0x20, 0x5B, 0x0B, 0x78, 0xD1, 0x72, 0xDC, 0x4D, 0x43, 0x40, 0xEC, 0x11, 0xEC}},
      {"\xB0\xA1\xB0\xA2", 1, qrstd::kLevelH, GB2312_MODE,
       {0xD1, 0x02, 0x1E, 0x00, 0xF0, 0x40, 0xEC, 0x11, 0xEC}},
      {hanzi, 1, qrstd::kLevelH, GB2312_MODE, {0xD1, 0x01, 0x00, 0x00, 0x00, 0xEC, 0x11, 0xEC, 0x11}},
      // 41 digits take 151 of 152 bits: one bit of terminator fits, the rest is cut.
      {"12345678901234567890123456789012345678901", 1, qrstd::kLevelL, DATA_MODE,
       {0x10, 0xA4, 0x7B, 0x72, 0x31, 0x50, 0x31, 0x59, 0xA9, 0xB8, 0x53, 0xAA, 0x37, 0xDE, 0x87,
        0xB7, 0x23, 0x15, 0x02}},
      {"1", 2, qrstd::kLevelL, DATA_MODE, pad},  // pad codewords alternate from EC
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20) + " at version " + std::to_string(c.version));
    const Bytes cw = Codewords(c.text, c.version, c.level, c.mode);
    ASSERT_GE(cw.size(), c.start.size());
    EXPECT_EQ(Bytes(cw.begin(), cw.begin() + static_cast<long>(c.start.size())), c.start);
  }
  // 17 bytes at version 1 L: 148 bits of 152, the terminator takes the last four, no pad.
  const Bytes full = Codewords(std::string(17, 'z'), 1, qrstd::kLevelL, DATA_MODE);
  EXPECT_EQ(full.front(), 0x41);
  EXPECT_EQ(full.back(), 0xA0);  // low nibble of 'z' (1010), then the terminator
}

}  // namespace
