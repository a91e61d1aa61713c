// Segments of one code share segment buffers: the pools stay 32 buffers of
// 4096 bytes and 63 entries per call.
#include <gtest/gtest.h>

#include <bitset>
#include <string>
#include <vector>

#include "dec_test_util.h"

namespace {

// --- Packing within the pools -----------------------------------------------

class SegmentPackingTest : public ::testing::Test {
 protected:
  dectest::TestPools pools_;

  // A numeric segment of `n` digits (count width of versions 27-40) whose
  // digits run `first`, first + 1, ... mod 10; the digits go to `expect`.
  static void Numeric(dectest::BitWriter& w, int n, int first, std::string* expect) {
    std::string digits;
    for (int i = 0; i < n; ++i) digits += static_cast<char>('0' + (first + i) % 10);
    w.Put(1, 4).Put(static_cast<uint32_t>(n), 14);
    int i = 0;
    for (; i + 3 <= n; i += 3) w.Put(static_cast<uint32_t>(std::stoi(digits.substr(i, 3))), 10);
    if (n - i == 2) w.Put(static_cast<uint32_t>(std::stoi(digits.substr(i, 2))), 7);
    if (n - i == 1) w.Put(static_cast<uint32_t>(digits[i] - '0'), 4);
    *expect += digits;
  }

  int Parse(qrread::CodeData* code, const dectest::BitWriter& w) {
    *code = qrread::CodeData{};
    code->version = 40;
    std::vector<uint8_t> bytes = w.Bytes();
    return qrread::ParseDataStream(code, pools_.get(), 40, bytes.data(),
                                   static_cast<int>(bytes.size()));
  }

  std::string TextOf(qrread::CodeData* code) {
    qrread::SymbolSet results{};
    if (qrread::BuildTexts(code, 1, pools_.get(), &results) != 1 || results.head == nullptr)
      return "<none>";
    std::string s(reinterpret_cast<const char*>(results.head->data), results.head->dataLength);
    pools_.get()->symbolsUsed = 0;  // each check builds from a fresh symbol pool
    pools_.get()->setsUsed = 0;
    return s;
  }

  int BuffersInUse() { return static_cast<int>(std::bitset<32>(pools_.get()->segmentsInUse).count()); }
};

TEST_F(SegmentPackingTest, SegmentThatDoesNotFitTheRestTakesAFreshBuffer) {
  struct Case {
    std::vector<int> lengths;
    int buffers;
  };
  const Case cases[] = {
      {{4000, 96}, 1},         // exactly fills the first buffer
      {{4000, 97}, 2},         // one byte too many for the rest
      {{10, 4096}, 2},         // a full-size segment after a short one
      {{4096, 4096, 1}, 3},
      {{1000, 3500, 500}, 2},  // the third still fits behind the second
  };
  for (const Case& c : cases) {
    dectest::BitWriter w;
    std::vector<std::string> expect(c.lengths.size());
    for (size_t i = 0; i < c.lengths.size(); ++i) Numeric(w, c.lengths[i], static_cast<int>(i), &expect[i]);
    qrread::CodeData code;
    ASSERT_EQ(0, Parse(&code, w)) << c.lengths.size();
    EXPECT_EQ(c.buffers, BuffersInUse()) << c.lengths[0] << "," << c.lengths[1];
    // Every segment still holds its own digits once all are written (the
    // joined text may exceed what one result symbol holds).
    ASSERT_EQ(static_cast<int>(c.lengths.size()), code.entryCount);
    for (int i = 0; i < code.entryCount; ++i) {
      const auto& t = code.entries[i].payload.text;
      EXPECT_TRUE(std::string(reinterpret_cast<const char*>(t.bytes), t.length) == expect[i])
          << "segment " << i << " of " << c.lengths[0] << "," << c.lengths[1];
    }
    qrread::ReleaseCode(&code, pools_.get());
    EXPECT_EQ(0u, pools_.get()->segmentsInUse);
    EXPECT_EQ(0, pools_.get()->entriesUsed);
  }
  // Longer than one buffer: still rejected, nothing kept.
  dectest::BitWriter w;
  std::string ignored;
  Numeric(w, 10, 0, &ignored);
  Numeric(w, 4097, 0, &ignored);
  qrread::CodeData code;
  EXPECT_EQ(-1, Parse(&code, w));
  EXPECT_EQ(0u, pools_.get()->segmentsInUse);
  EXPECT_EQ(0, pools_.get()->entriesUsed);
}

// An empty segment right after a full buffer must not point at the start of
// the next buffer: releasing its code would then free a buffer another code
// still reads from.
TEST_F(SegmentPackingTest, EmptySegmentAfterAFullBufferKeepsToItsCode) {
  dectest::BitWriter full;
  std::string fullText;
  Numeric(full, 4096, 0, &fullText);
  Numeric(full, 0, 0, &fullText);
  qrread::CodeData a, b, c;
  ASSERT_EQ(0, Parse(&a, full));
  dectest::BitWriter small;
  std::string smallText;
  Numeric(small, 3, 1, &smallText);
  ASSERT_EQ(0, Parse(&b, small));
  qrread::ReleaseCode(&a, pools_.get());
  EXPECT_EQ(1, BuffersInUse());  // b's
  dectest::BitWriter other;
  std::string otherText;
  Numeric(other, 5, 7, &otherText);
  ASSERT_EQ(0, Parse(&c, other));
  EXPECT_EQ(smallText, TextOf(&b));
  EXPECT_EQ(otherText, TextOf(&c));
  qrread::ReleaseCode(&b, pools_.get());
  qrread::ReleaseCode(&c, pools_.get());
  EXPECT_EQ(0u, pools_.get()->segmentsInUse);
  EXPECT_EQ(0, pools_.get()->entriesUsed);
}

// Codes never share a buffer, so 32 codes with text take them all and the
// 33rd fails without keeping anything; release order does not matter.
TEST_F(SegmentPackingTest, BufferPoolRunsOutOverCodesAndComesBack) {
  qrread::CodeData codes[33];
  std::string texts[32];
  for (int i = 0; i < 32; ++i) {
    dectest::BitWriter w;
    Numeric(w, 2, i, &texts[i]);
    ASSERT_EQ(0, Parse(&codes[i], w)) << i;
  }
  EXPECT_EQ(32, BuffersInUse());
  dectest::BitWriter w;
  std::string ignored;
  Numeric(w, 1, 0, &ignored);
  EXPECT_EQ(-1, Parse(&codes[32], w));
  EXPECT_EQ(32, pools_.get()->entriesUsed);
  EXPECT_EQ(32, BuffersInUse());
  for (int i = 0; i < 32; ++i) EXPECT_EQ(texts[i], TextOf(&codes[i])) << i;
  for (int i = 0; i < 32; i += 2) qrread::ReleaseCode(&codes[i], pools_.get());
  EXPECT_EQ(16, BuffersInUse());
  for (int i = 31; i > 0; i -= 2) qrread::ReleaseCode(&codes[i], pools_.get());
  EXPECT_EQ(0u, pools_.get()->segmentsInUse);
  EXPECT_EQ(0, pools_.get()->entriesUsed);
}

}  // namespace
