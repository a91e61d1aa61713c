// qr_read_symbols limits, the record writer and symbol_type_name.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "reader/qr_reader.h"
#include "reader/reader_entry.h"
#include "reader/reader_types.h"

namespace qrread {
namespace {

constexpr uint8_t kUntouched = 0xA5;

std::vector<DecodeResult> FreshRecords(int n) {
  std::vector<DecodeResult> r(static_cast<size_t>(n));
  std::memset(r.data(), kUntouched, sizeof(DecodeResult) * r.size());
  return r;
}

bool Untouched(const DecodeResult& r) {
  const auto* b = reinterpret_cast<const uint8_t*>(&r);
  for (size_t i = 0; i < sizeof(r); ++i)
    if (b[i] != kUntouched) return false;
  return true;
}

TEST(ReadSymbolsTest, SizeLimits) {
  std::vector<uint8_t> grey(1281 * 1025, 200);
  auto records = FreshRecords(2);
  EXPECT_EQ(QR_READ_TOO_LARGE, qr_read_symbols(grey.data(), 1281, 1, records.data(), 2));
  EXPECT_EQ(QR_READ_TOO_LARGE, qr_read_symbols(grey.data(), 1, 1025, records.data(), 2));
  EXPECT_EQ(QR_READ_TOO_LARGE, qr_read_symbols(grey.data(), 1281, 1025, records.data(), 2));
  // The largest picture is scanned; with no code nothing is written.
  EXPECT_EQ(0, qr_read_symbols(grey.data(), 1280, 1024, records.data(), 2));
  EXPECT_EQ(0, qr_read_symbols(grey.data(), 1, 1, records.data(), 2));
  EXPECT_TRUE(Untouched(records[0]));
  EXPECT_TRUE(Untouched(records[1]));
}

TEST(ReadSymbolsTest, BusyPictureWithoutCodeWritesNothing) {
  // Stripes of every width and many finder-like runs, but no code.
  const int w = 640, h = 480;
  std::vector<uint8_t> grey(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      grey[size_t(y) * w + x] = ((x / (1 + y % 7)) % 2) ? 30 : 220;
  auto records = FreshRecords(8);
  EXPECT_EQ(0, qr_read_symbols(grey.data(), w, h, records.data(), 8));
  for (const auto& r : records) EXPECT_TRUE(Untouched(r));
}

TEST(ReadSymbolsTest, BadArgumentsFindNothing) {
  uint8_t grey[16] = {};
  auto records = FreshRecords(1);
  EXPECT_EQ(0, qr_read_symbols(nullptr, 4, 4, records.data(), 1));
  EXPECT_EQ(0, qr_read_symbols(grey, 0, 4, records.data(), 1));
  EXPECT_EQ(0, qr_read_symbols(grey, 4, -3, records.data(), 1));
  EXPECT_EQ(0, qr_read_symbols(grey, 4, 4, nullptr, 1));
  EXPECT_EQ(0, qr_read_symbols(grey, 4, 4, records.data(), -1));
  EXPECT_TRUE(Untouched(records[0]));
}

// Pools in test memory for building result sets by hand.
struct TestPools {
  std::vector<ReaderSymbol> symbols = std::vector<ReaderSymbol>(kMaxSymbols);
  std::vector<SymbolSet> sets = std::vector<SymbolSet>(kMaxSymbolSets);
  ReaderPools pools{};
  TestPools() {
    pools.symbols = symbols.data();
    pools.sets = sets.data();
  }
  ReaderSymbol* Symbol(const char* text, int version, int level, int type = kSymbolQrCode) {
    ReaderSymbol* s = TakeSymbol(&pools);
    s->type = type;
    s->dataLength = static_cast<uint32_t>(std::strlen(text));
    std::memcpy(s->data, text, s->dataLength);
    s->version = version;
    s->ecLevel = level;
    return s;
  }
};

std::string Text(const DecodeResult& r) {
  return std::string(reinterpret_cast<const char*>(r.data), r.length);
}

TEST(WriteRecordsTest, FirstAddedThenTheOthersNewestFirst) {
  TestPools t;
  SymbolSet* set = TakeSymbolSet(&t.pools);
  SymbolSetAdd(set, t.Symbol("A", 1, 0));
  SymbolSetAdd(set, t.Symbol("B", 2, 1));
  SymbolSetAdd(set, t.Symbol("C", 3, 2));
  SymbolSetAdd(set, t.Symbol("D", 4, 3));
  auto records = FreshRecords(5);
  ASSERT_EQ(4, WriteRecords(set, records.data(), 5));
  EXPECT_EQ("A", Text(records[0]));
  EXPECT_EQ("D", Text(records[1]));
  EXPECT_EQ("C", Text(records[2]));
  EXPECT_EQ("B", Text(records[3]));
  EXPECT_EQ(64u, records[1].type);
  EXPECT_EQ(4, records[1].version);
  EXPECT_EQ(3, records[1].ecLevel);
  EXPECT_TRUE(Untouched(records[4]));
}

TEST(WriteRecordsTest, MaxResultsOneWritesTheHeadOnly) {
  TestPools t;
  SymbolSet* set = TakeSymbolSet(&t.pools);
  SymbolSetAdd(set, t.Symbol("first", 1, 0));
  SymbolSetAdd(set, t.Symbol("second", 1, 0));
  auto records = FreshRecords(2);
  ASSERT_EQ(1, WriteRecords(set, records.data(), 1));
  EXPECT_EQ("first", Text(records[0]));
  EXPECT_TRUE(Untouched(records[1]));
  EXPECT_EQ(0, WriteRecords(set, records.data(), 0));
}

TEST(WriteRecordsTest, PartialSymbolsAreSkippedAndDoNotCount) {
  TestPools t;
  SymbolSet* set = TakeSymbolSet(&t.pools);
  SymbolSetAdd(set, t.Symbol("", 0, 0, kSymbolPartial));
  SymbolSetAdd(set, t.Symbol("joined", 0, 0));
  SymbolSetAdd(set, t.Symbol("lone", 5, 2));
  auto records = FreshRecords(2);
  ASSERT_EQ(2, WriteRecords(set, records.data(), 2));
  EXPECT_EQ("lone", Text(records[0]));
  EXPECT_EQ("joined", Text(records[1]));
  EXPECT_EQ(0, records[1].version);
  EXPECT_EQ(0, records[1].ecLevel);
}

TEST(WriteRecordsTest, NulFollowsTheDataAndLaterBytesStay) {
  TestPools t;
  SymbolSet* set = TakeSymbolSet(&t.pools);
  SymbolSetAdd(set, t.Symbol("0123456789abcdefghij", 7, 1));
  auto records = FreshRecords(1);
  ASSERT_EQ(1, WriteRecords(set, records.data(), 1));
  const auto* bytes = reinterpret_cast<const uint8_t*>(&records[0]);
  EXPECT_EQ(20u, records[0].length);
  EXPECT_EQ('0', bytes[8]);
  EXPECT_EQ('j', bytes[27]);
  EXPECT_EQ(0, bytes[28]);
  EXPECT_EQ(kUntouched, bytes[29]);
  EXPECT_EQ(kUntouched, bytes[5131]);
  EXPECT_EQ(7, *reinterpret_cast<const int32_t*>(bytes + 5132));
  EXPECT_EQ(1, *reinterpret_cast<const int32_t*>(bytes + 5136));
}

TEST(WriteRecordsTest, FullSymbolFitsAndOverlongLengthIsPassedOver) {
  TestPools t;
  SymbolSet* set = TakeSymbolSet(&t.pools);
  ReaderSymbol* full = t.Symbol("", 40, 0);
  std::memset(full->data, 'x', kSymbolDataCapacity);
  full->dataLength = kSymbolDataCapacity;
  ReaderSymbol* bad = t.Symbol("", 40, 0);
  bad->dataLength = 5000;  // longer than its own data field
  SymbolSetAdd(set, full);
  SymbolSetAdd(set, bad);
  auto records = FreshRecords(2);
  ASSERT_EQ(1, WriteRecords(set, records.data(), 2));
  EXPECT_EQ(4096u, records[0].length);
  EXPECT_EQ(0, records[0].data[4096]);
  EXPECT_TRUE(Untouched(records[1]));
}

}  // namespace
}  // namespace qrread
