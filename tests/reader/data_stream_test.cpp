// Data stream parsing, segments packed into the pools' 32 buffers of 4096
// bytes and 63 entries per call, and text building.
#include <gtest/gtest.h>

#include <bitset>
#include <string>
#include <vector>

#include "dec_test_util.h"

namespace {
using dectest::BitWriter;
using qrread::CodeData;

class StreamTest : public ::testing::Test {
 protected:
  dectest::TestPools pools_;

  int Parse(CodeData* code, int version, const BitWriter& w) {
    *code = CodeData{};
    code->version = static_cast<uint8_t>(version);
    return qrread::ParseDataStream(code, pools_.get(), version, w.bytes.data(), int(w.bytes.size()));
  }

  // The text built from one parsed code, "<none>" when none is built.
  std::string TextOf(CodeData* code, uint32_t* modifiers = nullptr) {
    qrread::SymbolSet results{};
    pools_.pools.symbolsUsed = pools_.pools.setsUsed = 0;  // every text from fresh symbol pools
    if (qrread::BuildTexts(code, 1, pools_.get(), &results) != 1 || results.head == nullptr) return "<none>";
    if (modifiers) *modifiers = results.head->modifiers;
    return std::string(reinterpret_cast<const char*>(results.head->data), results.head->dataLength);
  }

  // Parses a one-code stream and builds its text; "<fail>" when the parse fails.
  std::string Text(int version, const BitWriter& w, uint32_t* modifiers = nullptr) {
    CodeData code;
    if (Parse(&code, version, w) != 0) return "<fail>";
    const std::string text = TextOf(&code, modifiers);
    qrread::ReleaseCode(&code, pools_.get());
    return text;
  }

  int BuffersInUse() { return static_cast<int>(std::bitset<32>(pools_.pools.segmentsInUse).count()); }

  void ExpectPoolsEmpty() {
    EXPECT_EQ(pools_.get()->entriesUsed, 0);
    EXPECT_EQ(pools_.get()->segmentsInUse, 0u);
  }
};

// Streams of one code and their texts, "<fail>" when the parse fails.
TEST_F(StreamTest, SegmentsLimitsAndEndings) {
  const struct {
    int version;
    BitWriter w;
    std::string text;
  } rows[] = {
      {1, BitWriter().Put(1, 4).Put(3, 10).Put(1000, 10).Put(0, 4), "<fail>"},
      {1, BitWriter().Put(1, 4).Put(5, 10).Put(999, 10).Put(5, 7), "99905"},
      {1, BitWriter().Put(1, 4).Put(2, 10).Put(100, 7), "<fail>"},
      {1, BitWriter().Put(1, 4).Put(4, 10).Put(7, 10).Put(9, 4), "0079"},
      {1, BitWriter().Put(1, 4).Put(1, 10).Put(10, 4), "<fail>"},
      {1, BitWriter().Put(1, 4).Put(6, 10).Put(123, 10), "<fail>"},  // more digits than bits
      // Count widths: numeric 12 bits from version 10, 14 from version 27.
      {10, BitWriter().Put(1, 4).Put(1, 12).Put(4, 4), "4"},
      {27, BitWriter().Put(1, 4).Put(1, 14).Put(4, 4), "4"},
      {1, BitWriter().Put(2, 4).Put(2, 9).Put(2024, 11), "::"},
      {1, BitWriter().Put(2, 4).Put(2, 9).Put(2025, 11), "<fail>"},
      {1, BitWriter().Put(2, 4).Put(3, 9).Put(10 * 45 + 11, 11).Put(36, 6), "AB "},
      {1, BitWriter().Put(2, 4).Put(1, 9).Put(45, 6), "<fail>"},
      {10, BitWriter().Put(2, 4).Put(1, 11).Put(44, 6), ":"},
      // Byte counts of 8 bits up to version 9, 16 from 10 (both read by the
      // round trips): a stream with an 8-bit count fails at version 10.
      {10, BitWriter().Put(4, 4).Put(2, 8).Put('h', 8).Put('i', 8), "<fail>"},
      {1, BitWriter().Put(4, 4).Put(3, 8).Put('a', 8), "<fail>"},
      // Kanji and Hanzi: 13 bits per character; Hanzi with a 4-bit subset.
      {1, BitWriter().Put(8, 4).Put(2, 8).Put(0, 13).Put(0x1F00, 13), "\x81\x40\xEA\x80"},
      {1, BitWriter().Put(13, 4).Put(1, 4).Put(3, 8).Put(0, 13).Put(0x3BD, 13).Put(0x3C0, 13),
       "\xA1\xA1\xAA\xFE\xB0\xA1"},
      {10, BitWriter().Put(13, 4).Put(1, 4).Put(1, 10).Put(0x3C0, 13), "\xB0\xA1"},
      {10, BitWriter().Put(8, 4).Put(1, 10).Put(0, 13), "\x81\x40"},
      {1, BitWriter().Put(13, 4).Put(1, 4).Put(2, 8).Put(0, 13), "<fail>"},
      // ECI: one, two and three byte designators (low bytes zero: still read);
      // a lead byte 111xxxxx fails.
      {1, BitWriter().Put(7, 4).Put(26, 8).Put(4, 4).Put(1, 8).Put('x', 8), "x"},
      {1, BitWriter().Put(7, 4).Put(0x81, 8).Put(0x23, 8).Put(4, 4).Put(1, 8).Put('x', 8), "x"},
      {1, BitWriter().Put(7, 4).Put(0xC1, 8).Put(0, 16).Put(4, 4).Put(1, 8).Put('x', 8), "x"},
      {1, BitWriter().Put(7, 4).Put(0xE0, 8).Put(4, 4).Put(1, 8).Put('x', 8), "<fail>"},
      // An application indicator cut off by the end of the data.
      {1, BitWriter().Put(9, 4).Put(3, 4), "<fail>"},
      // A terminator ends the data even with bits after it; fewer than 4 bits too.
      {1, BitWriter().Put(4, 4).Put(1, 8).Put('a', 8).Put(0, 4).Put(6, 4), "a"},
      {1, BitWriter().Put(1, 4).Put(2, 10).Put(42, 7).Put(7, 3), "42"},
      {1, BitWriter(), ""},
  };
  for (const auto& r : rows) EXPECT_EQ(Text(r.version, r.w), r.text) << &r - rows;
  for (int mode : {6, 10, 11, 12, 14, 15}) {
    EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(1, 10).Put(4, 4).Put(mode, 4).Put(0, 8)), "<fail>")
        << mode;
  }
  // Application indicators outside 0..99, 165..190, 197..222 fail.
  for (int ai : {100, 164, 191, 196, 223, 255}) {
    EXPECT_EQ(Text(1, BitWriter().Put(9, 4).Put(ai, 8).Put(4, 4).Put(1, 8).Put('x', 8)), "<fail>")
        << ai;
  }
  ExpectPoolsEmpty();
}

// FNC1 in second position puts the application indicator (two digits, a
// letter from 165 on) in front, modifier 2; in first position (modifier 1)
// alphanumeric % is GS and %% is %, but byte data is never escaped.
TEST_F(StreamTest, Fnc1PositionsAndPercentEscapes) {
  auto alnum = [](BitWriter w, const std::string& text) {
    auto value = [](char c) { return uint32_t(std::string(qrstd::kAlphanumericSet).find(c)); };
    const size_t n = text.size();
    w.Put(2, 4).Put(uint32_t(n), 9);
    for (size_t i = 0; i < n; i += 2) w.Put(i + 1 < n ? value(text[i]) * 45 + value(text[i + 1]) : value(text[i]), i + 1 < n ? 11 : 6);
    return w;
  };
  const struct {
    BitWriter w;
    std::string text;
    uint32_t modifiers;
  } rows[] = {
      {alnum(BitWriter().Put(9, 4).Put(37, 8), "ABC"), "37ABC", 2},
      {BitWriter().Put(9, 4).Put(165, 8).Put(4, 4).Put(1, 8).Put('z', 8), "Az", 2},
      {BitWriter().Put(9, 4).Put(5, 8).Put(4, 4).Put(1, 8).Put('z', 8), "05z", 2},
      {alnum(BitWriter().Put(5, 4), "12%34%%5"), "12\x1D" "34%5", 1},
      {alnum(BitWriter(), "12%34%%5"), "12%34%%5", 0},
      {alnum(BitWriter().Put(5, 4), "%").Put(4, 4).Put(1, 8).Put('%', 8), "\x1D%", 1},
  };
  for (const auto& r : rows) {
    uint32_t mod = 9;
    EXPECT_EQ(Text(1, r.w, &mod), r.text);
    EXPECT_EQ(mod, r.modifiers) << r.text;
  }
}

// 63 entries per call: the 64th fails the parse and gives everything back.
TEST_F(StreamTest, EntryPoolLimit) {
  for (int n : {64, 63}) {
    BitWriter w;
    for (int i = 0; i < n; ++i) w.Put(5, 4);
    CodeData code;
    EXPECT_EQ(Parse(&code, 1, w), n == 64 ? -1 : 0);
    EXPECT_EQ(code.entryCount, n == 64 ? 0 : 63);
    qrread::ReleaseCode(&code, pools_.get());
    ExpectPoolsEmpty();
  }
}

// --- Text building over several codes --------------------------------------------

struct TextBuild {
  dectest::TestPools pools_;
  CodeData codes_[qrread::kMaxCodes];
  int count_ = 0;
  qrread::SymbolSet results_{};

  // A code with an optional structured-append header and one byte segment.
  void AddCode(const std::string& data, int saIndex = -1, int saCount = 0, int parity = 0x5A, int version = 3) {
    BitWriter w;
    if (saIndex >= 0) w.Put(3, 4).Put(uint32_t(saIndex), 4).Put(uint32_t(saCount - 1), 4).Put(uint32_t(parity), 8);
    w.Put(4, 4).Put(static_cast<uint32_t>(data.size()), version < 10 ? 8 : 16);
    for (char c : data) w.Put(static_cast<uint8_t>(c), 8);
    CodeData& code = codes_[count_++];
    code = CodeData{};
    ASSERT_EQ(qrread::ParseDataStream(&code, pools_.get(), version, w.bytes.data(), int(w.bytes.size())), 0);
    code.version = static_cast<uint8_t>(version);
  }

  int Build() { return qrread::BuildTexts(codes_, count_, pools_.get(), &results_); }

  // The texts built, "<partial>" for an incomplete group.
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (auto* s = results_.head; s != nullptr; s = s->next) {
      out.push_back(s->type == qrread::kSymbolPartial ? "<partial>" : std::string(reinterpret_cast<const char*>(s->data), s->dataLength));
    }
    return out;
  }
};

// Codes (data, index, count, parity, version; index -1: no header) and the
// symbols built from them, "<partial>" for an incomplete group.
TEST(TextBuildTest, GroupsAndLimits) {
  struct Code {
    std::string data;
    int index, count, parity, version;
  };
  const struct {
    std::vector<Code> codes;
    int built;
    std::vector<std::string> want;
  } rows[] = {
      {{{"second", 1, 2, 0x5A, 3}}, 1, {"<partial>"}},
      // Groups differ by count or parity; listed in the order first added.
      {{{"a0", 0, 2, 1, 3}, {"b1", 1, 2, 2, 3}, {"a1", 1, 2, 1, 3}, {"c1", 1, 3, 1, 3}, {"b0", 0, 2, 2, 3}},
       3, {"a0a1", "<partial>", "b0b1"}},
      // An index not below the count is left out.
      {{{"bad", 3, 2, 7, 3}, {"x0", 0, 2, 7, 3}, {"x1", 1, 2, 7, 3}}, 1, {"x0x1"}},
      // A repeated index starts a group of its own.
      {{{"p0", 0, 2, 9, 3}, {"q0", 0, 2, 9, 3}, {"p1", 1, 2, 9, 3}}, 2, {"p0p1", "<partial>"}},
      // Joined text longer than a symbol holds gives no symbol.
      {{{std::string(2500, 'x'), 0, 2, 1, 20}, {std::string(2500, 'y'), 1, 2, 1, 20}, {"after", -1, 0, 0, 2}},
       1, {"after"}},
      // 4 x 3200 bytes = 51,200: the estimate limit stops building.
      {{{"first", -1, 0, 0, 2}, {std::string(3200, 'z'), 0, 4, 3, 20}, {std::string(3200, 'z'), 1, 4, 3, 20},
        {std::string(3200, 'z'), 2, 4, 3, 20}, {std::string(3200, 'z'), 3, 4, 3, 20}, {"never", -1, 0, 0, 2}},
       -1, {"first"}},
  };
  for (const auto& r : rows) {
    TextBuild b;
    for (const Code& c : r.codes) b.AddCode(c.data, c.index, c.count, c.parity, c.version);
    const int built = b.Build();
    EXPECT_EQ(r.built < 0 ? -1 : r.built, built < 0 ? -1 : built) << r.codes[0].data;
    EXPECT_EQ(r.want, b.Texts()) << r.codes[0].data;
  }
  // With the symbol pool used up, building stops without a symbol.
  TextBuild b;
  b.AddCode("x");
  b.pools_.pools.symbolsUsed = qrread::kMaxSymbols;
  EXPECT_LT(b.Build(), 0);
  EXPECT_TRUE(b.Texts().empty());
}

// Writes a numeric segment of `n` digits (count width of versions 27-40)
// running `first`, first + 1, ... mod 10; returns the digits.
std::string Numeric(BitWriter& w, int n, int first) {
  std::string d;
  for (int i = 0; i < n; ++i) d += static_cast<char>('0' + (first + i) % 10);
  w.Put(1, 4).Put(static_cast<uint32_t>(n), 14);
  for (int i = 0; i < n; i += 3) w.Put(uint32_t(std::stoi(d.substr(i, 3))), n - i >= 3 ? 10 : n - i == 2 ? 7 : 4);
  return d;
}

TEST_F(StreamTest, SegmentThatDoesNotFitTheRestTakesAFreshBuffer) {
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
    BitWriter w;
    std::vector<std::string> expect;
    for (size_t i = 0; i < c.lengths.size(); ++i) expect.push_back(Numeric(w, c.lengths[i], int(i)));
    CodeData code;
    ASSERT_EQ(c.buffers < 0 ? -1 : 0, Parse(&code, 40, w)) << c.lengths[1];
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
    ExpectPoolsEmpty();
  }
}

// An empty segment right after a full buffer must not point at the start of
// the next buffer: releasing its code would then free a buffer another code
// still reads from.
TEST_F(StreamTest, EmptySegmentAfterAFullBufferKeepsToItsCode) {
  BitWriter full, small, other;
  Numeric(full, 4096, 0);
  Numeric(full, 0, 0);
  const std::string smallText = Numeric(small, 3, 1), otherText = Numeric(other, 5, 7);
  CodeData a, b, c;
  ASSERT_EQ(0, Parse(&a, 40, full));
  ASSERT_EQ(0, Parse(&b, 40, small));
  qrread::ReleaseCode(&a, pools_.get());
  EXPECT_EQ(1, BuffersInUse());  // b's
  ASSERT_EQ(0, Parse(&c, 40, other));
  EXPECT_EQ(smallText, TextOf(&b));
  EXPECT_EQ(otherText, TextOf(&c));
  qrread::ReleaseCode(&b, pools_.get());
  qrread::ReleaseCode(&c, pools_.get());
  ExpectPoolsEmpty();
}

}  // namespace
