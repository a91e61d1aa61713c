// Data stream parsing and text building.
#include <gtest/gtest.h>

#include <string>

#include "dec_test_util.h"

namespace {

using dectest::BitWriter;
using qrread::CodeData;

class StreamTest : public ::testing::Test {
 protected:
  dectest::TestPools pools_;

  int Parse(CodeData* code, int version, const BitWriter& w) {
    std::vector<uint8_t> bytes = w.Bytes();
    return qrread::ParseDataStream(code, pools_.get(), version, bytes.data(),
                                   static_cast<int>(bytes.size()));
  }

  // Parses a one-code stream and builds its text; "<fail>" when the parse fails.
  std::string Text(int version, const BitWriter& w, uint32_t* modifiers = nullptr) {
    CodeData code{};
    code.version = static_cast<uint8_t>(version);
    if (Parse(&code, version, w) != 0) return "<fail>";
    qrread::SymbolSet results{};
    int added = qrread::BuildTexts(&code, 1, pools_.get(), &results);
    qrread::ReleaseCode(&code, pools_.get());
    if (added != 1 || results.head == nullptr) return "<none>";
    if (modifiers) *modifiers = results.head->modifiers;
    return std::string(reinterpret_cast<const char*>(results.head->data),
                       results.head->dataLength);
  }

  void ExpectPoolsEmpty() {
    EXPECT_EQ(pools_.get()->entriesUsed, 0);
    EXPECT_EQ(pools_.get()->segmentsInUse, 0u);
  }
};

TEST_F(StreamTest, NumericGroupsAndLimits) {
  EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(3, 10).Put(123, 10).Put(0, 4)), "123");
  EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(3, 10).Put(1000, 10).Put(0, 4)), "<fail>");
  EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(5, 10).Put(999, 10).Put(5, 7)), "99905");
  EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(2, 10).Put(100, 7)), "<fail>");
  EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(4, 10).Put(7, 10).Put(9, 4)), "0079");
  EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(1, 10).Put(10, 4)), "<fail>");
  // The count needs more bits than are left.
  EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(6, 10).Put(123, 10)), "<fail>");
  // Count widths: 12 bits from version 10, 14 from version 27.
  EXPECT_EQ(Text(10, BitWriter().Put(1, 4).Put(1, 12).Put(4, 4)), "4");
  EXPECT_EQ(Text(27, BitWriter().Put(1, 4).Put(1, 14).Put(4, 4)), "4");
  ExpectPoolsEmpty();
}

TEST_F(StreamTest, AlphanumericPairsAndLimits) {
  EXPECT_EQ(Text(1, BitWriter().Put(2, 4).Put(2, 9).Put(2024, 11)), "::");
  EXPECT_EQ(Text(1, BitWriter().Put(2, 4).Put(2, 9).Put(2025, 11)), "<fail>");
  EXPECT_EQ(Text(1, BitWriter().Put(2, 4).Put(3, 9).Put(10 * 45 + 11, 11).Put(36, 6)), "AB ");
  EXPECT_EQ(Text(1, BitWriter().Put(2, 4).Put(1, 9).Put(45, 6)), "<fail>");
  EXPECT_EQ(Text(10, BitWriter().Put(2, 4).Put(1, 11).Put(44, 6)), ":");
  ExpectPoolsEmpty();
}

TEST_F(StreamTest, ByteCountWidthByVersion) {
  BitWriter v9;
  v9.Put(4, 4).Put(2, 8).Put('h', 8).Put('i', 8);
  EXPECT_EQ(Text(9, v9), "hi");
  BitWriter v10;
  v10.Put(4, 4).Put(2, 16).Put('h', 8).Put('i', 8);
  EXPECT_EQ(Text(10, v10), "hi");
  // Read with 8 bits at version 10 the same stream would mean 0 bytes, then junk.
  EXPECT_NE(Text(10, v9), "hi");
  EXPECT_EQ(Text(1, BitWriter().Put(4, 4).Put(3, 8).Put('a', 8)), "<fail>");
  ExpectPoolsEmpty();
}

TEST_F(StreamTest, KanjiAndHanziValueMappings) {
  EXPECT_EQ(Text(1, BitWriter().Put(8, 4).Put(2, 8).Put(0, 13).Put(0x1F00, 13)),
            "\x81\x40\xEA\x80");
  EXPECT_EQ(Text(1, BitWriter().Put(13, 4).Put(1, 4).Put(3, 8).Put(0, 13).Put(0x3BD, 13).Put(0x3C0, 13)),
            "\xA1\xA1\xAA\xFE\xB0\xA1");
  // Hanzi at version 10: 4-bit subset, then a 10-bit count.
  EXPECT_EQ(Text(10, BitWriter().Put(13, 4).Put(1, 4).Put(1, 10).Put(0x3C0, 13)), "\xB0\xA1");
  EXPECT_EQ(Text(10, BitWriter().Put(8, 4).Put(1, 10).Put(0, 13)), "\x81\x40");
  EXPECT_EQ(Text(1, BitWriter().Put(13, 4).Put(1, 4).Put(2, 8).Put(0, 13)), "<fail>");
  ExpectPoolsEmpty();
}

TEST_F(StreamTest, UnknownModesAndBadFieldsFail) {
  for (int mode : {6, 10, 11, 12, 14, 15}) {
    EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(1, 10).Put(4, 4).Put(mode, 4).Put(0, 8)), "<fail>")
        << mode;
  }
  // ECI: one, two and three byte designators; a lead byte 111xxxxx fails.
  EXPECT_EQ(Text(1, BitWriter().Put(7, 4).Put(26, 8).Put(4, 4).Put(1, 8).Put('x', 8)), "x");
  EXPECT_EQ(Text(1, BitWriter().Put(7, 4).Put(0x81, 8).Put(0x23, 8).Put(4, 4).Put(1, 8).Put('x', 8)),
            "x");
  EXPECT_EQ(Text(1, BitWriter().Put(7, 4).Put(0xC1, 8).Put(0x2345, 16).Put(4, 4).Put(1, 8).Put('x', 8)),
            "x");
  EXPECT_EQ(Text(1, BitWriter().Put(7, 4).Put(0xE0, 8).Put(4, 4).Put(1, 8).Put('x', 8)), "<fail>");
  // Application indicators outside 0..99, 165..190, 197..222 fail.
  for (int ai : {100, 164, 191, 196, 223, 255}) {
    EXPECT_EQ(Text(1, BitWriter().Put(9, 4).Put(ai, 8).Put(4, 4).Put(1, 8).Put('x', 8)), "<fail>")
        << ai;
  }
  ExpectPoolsEmpty();
}

TEST_F(StreamTest, EndOfData) {
  // A terminator ends the data even with bits after it; fewer than 4 bits too.
  EXPECT_EQ(Text(1, BitWriter().Put(4, 4).Put(1, 8).Put('a', 8).Put(0, 4).Put(6, 4)), "a");
  EXPECT_EQ(Text(1, BitWriter().Put(1, 4).Put(2, 10).Put(42, 7).Put(7, 3)), "42");
  EXPECT_EQ(Text(1, BitWriter()), "");
}

TEST_F(StreamTest, Fnc1SecondPositionPrefixesTheIndicator) {
  uint32_t mod = 0;
  BitWriter abc;
  abc.Put(9, 4).Put(37, 8).Put(2, 4).Put(3, 9).Put(10 * 45 + 11, 11).Put(12, 6);
  EXPECT_EQ(Text(1, abc, &mod), "37ABC");
  EXPECT_EQ(mod, 2u);
  EXPECT_EQ(Text(1, BitWriter().Put(9, 4).Put(165, 8).Put(4, 4).Put(1, 8).Put('z', 8)), "Az");
  EXPECT_EQ(Text(1, BitWriter().Put(9, 4).Put(5, 8).Put(4, 4).Put(1, 8).Put('z', 8)), "05z");
}

TEST_F(StreamTest, Fnc1FirstPositionPercentEscapes) {
  // 12%34%%5 in alphanumeric mode: 1 2 GS 3 4 % 5.
  const char* text = "12%34%%5";
  auto value = [](char c) { return static_cast<uint32_t>(std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:").find(c)); };
  BitWriter w;
  w.Put(5, 4).Put(2, 4).Put(8, 9);
  for (int i = 0; i < 8; i += 2) w.Put(value(text[i]) * 45 + value(text[i + 1]), 11);
  uint32_t mod = 0;
  EXPECT_EQ(Text(1, w, &mod), std::string("12\x1D" "34%5"));
  EXPECT_EQ(mod, 1u);
  // Without FNC1 the same characters stay as they are.
  BitWriter plain;
  plain.Put(2, 4).Put(8, 9);
  for (int i = 0; i < 8; i += 2) plain.Put(value(text[i]) * 45 + value(text[i + 1]), 11);
  EXPECT_EQ(Text(1, plain, &mod), "12%34%%5");
  EXPECT_EQ(mod, 0u);
  // A trailing lone '%' is a GS too; byte data is never escaped.
  BitWriter tail;
  tail.Put(5, 4).Put(2, 4).Put(1, 9).Put(value('%'), 6).Put(4, 4).Put(1, 8).Put('%', 8);
  EXPECT_EQ(Text(1, tail), "\x1D%");
}

TEST_F(StreamTest, PoolsLimitAndFailuresGiveEverythingBack) {
  // 63 entries per call: the 64th fails the parse.
  BitWriter many;
  for (int i = 0; i < 64; ++i) many.Put(5, 4);
  CodeData code{};
  EXPECT_EQ(Parse(&code, 1, many), -1);
  ExpectPoolsEmpty();
  BitWriter fits;
  for (int i = 0; i < 63; ++i) fits.Put(5, 4);
  EXPECT_EQ(Parse(&code, 1, fits), 0);
  EXPECT_EQ(code.entryCount, 63);
  qrread::ReleaseCode(&code, pools_.get());
  ExpectPoolsEmpty();

  // Codes released oldest first still give all their entries back.
  CodeData older{}, newer{};
  ASSERT_EQ(Parse(&older, 1, BitWriter().Put(5, 4).Put(4, 4).Put(1, 8).Put('a', 8)), 0);
  ASSERT_EQ(Parse(&newer, 1, BitWriter().Put(5, 4).Put(5, 4)), 0);
  qrread::ReleaseCode(&older, pools_.get());
  EXPECT_EQ(pools_.get()->entriesUsed, 4);  // still below the newer code
  EXPECT_EQ(pools_.get()->segmentsInUse, 0u);
  qrread::ReleaseCode(&newer, pools_.get());
  ExpectPoolsEmpty();

  // Short text segments of one code share a buffer: 33 of them parse.
  BitWriter segments;
  for (int i = 0; i < 33; ++i) segments.Put(1, 4).Put(1, 10).Put(i % 10, 4);
  EXPECT_EQ(Parse(&code, 1, segments), 0);
  EXPECT_EQ(pools_.get()->segmentsInUse, 1u);
  qrread::ReleaseCode(&code, pools_.get());
  ExpectPoolsEmpty();

  // A segment larger than its 4096-byte buffer is rejected.
  BitWriter big;
  big.Put(1, 4).Put(4098, 14);
  for (int i = 0; i < 1366; ++i) big.Put(123, 10);
  EXPECT_EQ(Parse(&code, 40, big), -1);
  ExpectPoolsEmpty();
  BitWriter limit;
  limit.Put(1, 4).Put(4095, 14);
  for (int i = 0; i < 1365; ++i) limit.Put(123, 10);
  EXPECT_EQ(Parse(&code, 40, limit), 0);
  qrread::ReleaseCode(&code, pools_.get());
  ExpectPoolsEmpty();
}

// --- Text building over several codes --------------------------------------------

class TextBuildTest : public StreamTest {
 protected:
  // A code with an optional structured-append header and one byte segment.
  void AddCode(const std::string& data, int saIndex = -1, int saCount = 0, int parity = 0x5A,
               int version = 3, int level = 1) {
    BitWriter w;
    if (saIndex >= 0) w.Put(3, 4).Put(static_cast<uint32_t>(saIndex), 4).Put(static_cast<uint32_t>(saCount - 1), 4).Put(static_cast<uint32_t>(parity), 8);
    w.Put(4, 4).Put(static_cast<uint32_t>(data.size()), version < 10 ? 8 : 16);
    for (char c : data) w.Put(static_cast<uint8_t>(c), 8);
    CodeData& code = codes_[count_++];
    code = CodeData{};
    ASSERT_EQ(Parse(&code, version, w), 0);
    code.version = static_cast<uint8_t>(version);
    code.ecLevel = static_cast<uint8_t>(level);
  }

  int Build() { return qrread::BuildTexts(codes_, count_, pools_.get(), &results_); }

  std::vector<qrread::ReaderSymbol*> List() const {
    std::vector<qrread::ReaderSymbol*> out;
    for (auto* s = results_.head; s != nullptr; s = s->next) out.push_back(s);
    return out;
  }

  static std::string Data(const qrread::ReaderSymbol* s) {
    return std::string(reinterpret_cast<const char*>(s->data), s->dataLength);
  }

  CodeData codes_[qrread::kMaxCodes];
  int count_ = 0;
  qrread::SymbolSet results_{};
};

TEST_F(TextBuildTest, CompleteGroupJoinsInIndexOrder) {
  AddCode("plain", -1, 0, 0, 2, 3);
  AddCode("world", 1, 2, 0x33, 5, 2);
  AddCode("hello ", 0, 2, 0x33, 4, 0);
  EXPECT_EQ(Build(), 2);
  auto list = List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(Data(list[0]), "plain");
  EXPECT_EQ(list[0]->version, 2);
  EXPECT_EQ(list[0]->ecLevel, 3);
  EXPECT_EQ(list[1]->type, qrread::kSymbolQrCode);
  EXPECT_EQ(Data(list[1]), "hello world");
  EXPECT_EQ(list[1]->version, 0);
  EXPECT_EQ(list[1]->ecLevel, 0);
  ASSERT_NE(list[1]->components, nullptr);
  ASSERT_EQ(list[1]->components->count, 2);
  const qrread::ReaderSymbol* first = list[1]->components->head;
  EXPECT_EQ(Data(first), "hello ");
  EXPECT_EQ(first->version, 4);
  ASSERT_NE(first->next, nullptr);
  EXPECT_EQ(Data(first->next), "world");
  EXPECT_EQ(first->next->ecLevel, 2);
}

TEST_F(TextBuildTest, IncompleteGroupIsPartial) {
  AddCode("second", 1, 2);
  EXPECT_EQ(Build(), 1);
  ASSERT_NE(results_.head, nullptr);
  EXPECT_EQ(results_.head->type, qrread::kSymbolPartial);
}

TEST_F(TextBuildTest, GroupsAreSeparatedByCountAndParity) {
  AddCode("a0", 0, 2, 1);
  AddCode("b1", 1, 2, 2);   // other parity
  AddCode("a1", 1, 2, 1);
  AddCode("c1", 1, 3, 1);   // other count
  AddCode("b0", 0, 2, 2);
  EXPECT_EQ(Build(), 3);
  auto list = List();  // added a, b, c: listed a, c, b
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(Data(list[0]), "a0a1");
  EXPECT_EQ(list[1]->type, qrread::kSymbolPartial);
  EXPECT_EQ(Data(list[2]), "b0b1");
}

TEST_F(TextBuildTest, IndexNotBelowCountIsLeftOut) {
  AddCode("bad", 3, 2, 7);   // index 3 in a group of 2
  AddCode("x0", 0, 2, 7);
  AddCode("x1", 1, 2, 7);
  Build();
  std::vector<std::string> complete;
  for (auto* s : List()) {
    if (s->type == qrread::kSymbolQrCode) complete.push_back(Data(s));
  }
  ASSERT_EQ(complete.size(), 1u);
  EXPECT_EQ(complete[0], "x0x1");
}

TEST_F(TextBuildTest, DuplicateIndexStartsItsOwnGroup) {
  AddCode("p0", 0, 2, 9);
  AddCode("q0", 0, 2, 9);
  AddCode("p1", 1, 2, 9);
  EXPECT_EQ(Build(), 2);
  auto list = List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(Data(list[0]), "p0p1");
  EXPECT_EQ(list[1]->type, qrread::kSymbolPartial);
}

TEST_F(TextBuildTest, TextLongerThanASymbolGivesNoSymbol) {
  AddCode(std::string(2500, 'x'), 0, 2, 1, 20);
  AddCode(std::string(2500, 'y'), 1, 2, 1, 20);
  AddCode("after", -1, 0, 0, 2);
  EXPECT_EQ(Build(), 1);
  auto list = List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(Data(list[0]), "after");
}

TEST_F(TextBuildTest, EstimateLimitStopsBuilding) {
  AddCode("first", -1, 0, 0, 2);
  // 4 x 3200 bytes = 51,200: the estimate limit.
  for (int i = 0; i < 4; ++i) AddCode(std::string(3200, 'z'), i, 4, 3, 20);
  AddCode("never", -1, 0, 0, 2);
  EXPECT_LT(Build(), 0);
  auto list = List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(Data(list[0]), "first");
}

}  // namespace
