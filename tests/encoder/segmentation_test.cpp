// Characters, mode classification, the double-byte split and the bit estimate.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "encoder/segmentation.h"

namespace {

std::vector<int32_t> Characters(const std::string& bytes, int32_t mode) {
  const auto* text = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  std::vector<int32_t> chars(static_cast<size_t>(qr_count_characters(text, length, mode)));
  EXPECT_EQ(qr_make_characters(text, length, mode, chars.data()),
            static_cast<int32_t>(chars.size()));
  return chars;
}

// Modes after classification and (in GB2312_MODE) the split, as a string of letters.
std::string Modes(const std::string& bytes, int32_t mode = DATA_MODE) {
  const std::vector<int32_t> chars = Characters(bytes, mode);
  const auto n = static_cast<int32_t>(chars.size());
  std::vector<char> modes(chars.size());
  qr_classify_modes(chars.data(), n, mode, modes.data());
  std::vector<int32_t> split(2 * chars.size());
  std::vector<char> splitModes(2 * chars.size());
  const int32_t m = qr_split_double_bytes(chars.data(), modes.data(), n, split.data(),
                                          splitModes.data());
  return std::string(splitModes.data(), static_cast<size_t>(m));
}

int32_t Estimate(const std::string& bytes, int32_t mode = DATA_MODE) {
  const std::string modes = Modes(bytes, mode);
  return qr_estimate_bits(modes.data(), static_cast<int32_t>(modes.size()));
}

TEST(Characters, Gb2312ModePairsLeadBytesAndKeepsATrailingLeadByteAlone) {
  EXPECT_EQ(Characters("a\xB0\xA1" "b", GB2312_MODE), (std::vector<int32_t>{'a', 0xB0A1, 'b'}));
  // A lead byte followed by an ASCII byte still pairs with it.
  EXPECT_EQ(Characters("\x81" "A", GB2312_MODE), (std::vector<int32_t>{0x8141}));
  // The last byte must not pair with anything beyond the input.
  EXPECT_EQ(Characters("x\xC8", GB2312_MODE), (std::vector<int32_t>{'x', 0xC8}));
  EXPECT_EQ(Characters("\xB0\xA1\xB0", GB2312_MODE), (std::vector<int32_t>{0xB0A1, 0xB0}));
  // DATA_MODE never pairs.
  EXPECT_EQ(Characters("\xB0\xA1", DATA_MODE), (std::vector<int32_t>{0xB0, 0xA1}));
}

TEST(Characters, Gb2312RowsAreTheHanziModeOnes) {
  EXPECT_TRUE(qr_is_gb2312(0xA1A1));
  EXPECT_TRUE(qr_is_gb2312(0xAAFE));
  EXPECT_TRUE(qr_is_gb2312(0xB0A1));
  EXPECT_TRUE(qr_is_gb2312(0xFAFE));
  EXPECT_FALSE(qr_is_gb2312(0xABA1));  // rows AB..AF are outside
  EXPECT_FALSE(qr_is_gb2312(0xAFFE));
  EXPECT_FALSE(qr_is_gb2312(0xFBA1));
  EXPECT_FALSE(qr_is_gb2312(0xB0A0));  // second byte below A1
  EXPECT_FALSE(qr_is_gb2312(0xB0FF));
  EXPECT_FALSE(qr_is_gb2312(0x8140));  // GBK extension
}

TEST(Classification, ShortDigitAndAlphanumericRunsBecomeByte) {
  EXPECT_EQ(Modes("01234567"), "NNNNNNNN");
  EXPECT_EQ(Modes("12345"), "BBBBB");
  EXPECT_EQ(Modes("123456"), "NNNNNN");
  EXPECT_EQ(Modes("ABCDE"), "BBBBB");
  EXPECT_EQ(Modes("ABCDEF"), "AAAAAA");
  EXPECT_EQ(Modes("AB12345"), "AAAAAAA");  // the digits join AB
  EXPECT_EQ(Modes("HELLO WORLD"), "AAAAAAAAAAA");
  EXPECT_EQ(Modes("hello world"), "BBBBBBBBBBB");
  EXPECT_EQ(Modes("abc123456def"), "BBBNNNNNNBBB");
  EXPECT_EQ(Modes("abc12345def"), "BBBBBBBBBBB");
  EXPECT_EQ(Modes("http://x/ABCDEF"), "BBBBBBBBAAAAAAA");
}

TEST(Classification, HanziRunsShorterThanFourAfterAByteBecomeBytes) {
  const std::string h = "\xB0\xA1";  // one GB 2312 character
  EXPECT_EQ(Modes("a" + h + h + h, GB2312_MODE), "BBBBBBB");
  EXPECT_EQ(Modes("a" + h + h + h + h, GB2312_MODE), "BGGGG");
  EXPECT_EQ(Modes("1" + h, GB2312_MODE), "BBB");
  EXPECT_EQ(Modes(h + h + "abc", GB2312_MODE), "GGBBB");
  EXPECT_EQ(Modes(h, GB2312_MODE), "G");
  EXPECT_EQ(Modes("ABCDEF" + h, GB2312_MODE), "AAAAAAG");  // after alphanumeric it stays
  EXPECT_EQ(Modes("123456" + h + "x" + h, GB2312_MODE), "NNNNNNGBBB");
}

TEST(Classification, DoubleBytesOutsideGb2312AreSentAsTheirBytes) {
  const std::vector<int32_t> in = {0x8140, 0xB0A1, 0xB0A2, 0xB0A3, 0xB0A4};
  std::vector<char> modes(in.size());
  qr_classify_modes(in.data(), 5, GB2312_MODE, modes.data());
  EXPECT_EQ(std::string(modes.begin(), modes.end()), "BGGGG");
  std::vector<int32_t> out(10);
  std::vector<char> outModes(10);
  ASSERT_EQ(qr_split_double_bytes(in.data(), modes.data(), 5, out.data(), outModes.data()), 6);
  EXPECT_EQ(std::vector<int32_t>(out.begin(), out.begin() + 6),
            (std::vector<int32_t>{0x81, 0x40, 0xB0A1, 0xB0A2, 0xB0A3, 0xB0A4}));
  // A lone trailing lead byte is one byte character.
  EXPECT_EQ(Modes("\xB0\xA1\xB0\xA2\xB0\xA3\xB0\xA4\xC8", GB2312_MODE), "GGGGB");
}

TEST(Estimate, CountsWidestHeadersAndCharacterBits) {
  EXPECT_EQ(Estimate("01234567"), 45);
  EXPECT_EQ(Estimate("12345678901234567890"), 85);
  EXPECT_EQ(Estimate("HELLO WORLD"), 78);
  EXPECT_EQ(Estimate("hello world"), 108);
  EXPECT_EQ(Estimate(std::string(40, 'a')), 340);
  EXPECT_EQ(Estimate(std::string(1300, 'a')), 10420);
  EXPECT_EQ(Estimate("\xB0\xA1\xB0\xA2", GB2312_MODE), 46);
  // Each segment pays its header; counters restart with the segment.
  EXPECT_EQ(Estimate("abc123456def"), 20 + 24 + 18 + 20 + 20 + 24);
  EXPECT_EQ(Estimate("1"), 28);  // a lone digit ends up as a byte
  EXPECT_EQ(Estimate("1234567"), 18 + 10 + 10 + 4);
  EXPECT_EQ(qr_estimate_bits(nullptr, 0), 0);
}

}  // namespace
