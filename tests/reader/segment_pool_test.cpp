// Segments of one code share segment buffers: the pools stay 32 buffers of
// 4096 bytes and 63 entries per call.
#include <gtest/gtest.h>

#include <bitset>
#include <string>
#include <vector>

#include "dec_test_util.h"

namespace {

class SegmentPackingTest : public ::testing::Test {
 protected:
  dectest::TestPools pools_;

  // Writes a numeric segment of `n` digits (count width of versions 27-40)
  // running `first`, first + 1, ... mod 10; returns the digits.
  static std::string Numeric(dectest::BitWriter& w, int n, int first) {
    std::string d;
    for (int i = 0; i < n; ++i) d += static_cast<char>('0' + (first + i) % 10);
    w.Put(1, 4).Put(static_cast<uint32_t>(n), 14);
    for (int i = 0; i < n; i += 3) w.Put(uint32_t(std::stoi(d.substr(i, 3))), n - i >= 3 ? 10 : n - i == 2 ? 7 : 4);
    return d;
  }

  int Parse(qrread::CodeData* code, const dectest::BitWriter& w) {
    *code = qrread::CodeData{};
    code->version = 40;
    std::vector<uint8_t> bytes = w.Bytes();
    return qrread::ParseDataStream(code, pools_.get(), 40, bytes.data(), int(bytes.size()));
  }

  std::string TextOf(qrread::CodeData* code) {
    qrread::SymbolSet results{};
    pools_.pools.symbolsUsed = pools_.pools.setsUsed = 0;  // each check from fresh symbol pools
    if (qrread::BuildTexts(code, 1, pools_.get(), &results) != 1) return "<none>";
    return std::string(reinterpret_cast<const char*>(results.head->data), results.head->dataLength);
  }

  int BuffersInUse() { return static_cast<int>(std::bitset<32>(pools_.pools.segmentsInUse).count()); }
  void ExpectEmpty() {
    EXPECT_EQ(0u, pools_.pools.segmentsInUse);
    EXPECT_EQ(0, pools_.pools.entriesUsed);
  }
};

TEST_F(SegmentPackingTest, SegmentThatDoesNotFitTheRestTakesAFreshBuffer) {
  const struct {
    std::vector<int> lengths;
    int buffers;  // -1: the parse fails
  } cases[] = {
      {{4000, 96}, 1},         // exactly fills the first buffer
      {{4000, 97}, 2},         // one byte too many for the rest
      {{10, 4096}, 2},         // a full-size segment after a short one
      {{4096, 4096, 1}, 3},
      {{1000, 3500, 500}, 2},  // the third still fits behind the second
      {{10, 4097}, -1},        // longer than one buffer
  };
  for (const auto& c : cases) {
    dectest::BitWriter w;
    std::vector<std::string> expect;
    for (size_t i = 0; i < c.lengths.size(); ++i) expect.push_back(Numeric(w, c.lengths[i], int(i)));
    qrread::CodeData code;
    ASSERT_EQ(c.buffers < 0 ? -1 : 0, Parse(&code, w)) << c.lengths[1];
    if (c.buffers > 0) {
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
    }
    ExpectEmpty();
  }
}

// An empty segment right after a full buffer must not point at the start of
// the next buffer: releasing its code would then free a buffer another code
// still reads from.
TEST_F(SegmentPackingTest, EmptySegmentAfterAFullBufferKeepsToItsCode) {
  dectest::BitWriter full, small, other;
  Numeric(full, 4096, 0);
  Numeric(full, 0, 0);
  const std::string smallText = Numeric(small, 3, 1), otherText = Numeric(other, 5, 7);
  qrread::CodeData a, b, c;
  ASSERT_EQ(0, Parse(&a, full));
  ASSERT_EQ(0, Parse(&b, small));
  qrread::ReleaseCode(&a, pools_.get());
  EXPECT_EQ(1, BuffersInUse());  // b's
  ASSERT_EQ(0, Parse(&c, other));
  EXPECT_EQ(smallText, TextOf(&b));
  EXPECT_EQ(otherText, TextOf(&c));
  qrread::ReleaseCode(&b, pools_.get());
  qrread::ReleaseCode(&c, pools_.get());
  ExpectEmpty();
}

// Codes never share a buffer, so 32 codes with text take them all and the
// 33rd fails without keeping anything; release order does not matter.
TEST_F(SegmentPackingTest, BufferPoolRunsOutOverCodesAndComesBack) {
  qrread::CodeData codes[33];
  std::string texts[33];
  for (int i = 0; i < 33; ++i) {
    dectest::BitWriter w;
    texts[i] = Numeric(w, 2, i);
    ASSERT_EQ(i < 32 ? 0 : -1, Parse(&codes[i], w)) << i;
  }
  EXPECT_EQ(32, pools_.pools.entriesUsed);
  EXPECT_EQ(32, BuffersInUse());
  for (int i = 0; i < 32; ++i) EXPECT_EQ(texts[i], TextOf(&codes[i])) << i;
  for (int i = 0; i < 32; i += 2) qrread::ReleaseCode(&codes[i], pools_.get());
  EXPECT_EQ(16, BuffersInUse());
  for (int i = 31; i > 0; i -= 2) qrread::ReleaseCode(&codes[i], pools_.get());
  ExpectEmpty();
}

}  // namespace
