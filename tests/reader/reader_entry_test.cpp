// qr_read_symbols limits and the record writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "dec_test_util.h"
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
  return std::all_of(b, b + sizeof(r), [](uint8_t v) { return v == kUntouched; });
}

TEST(ReadSymbolsTest, SizeLimitsAndBadArguments) {
  std::vector<uint8_t> grey(1281 * 1025, 200);
  auto records = FreshRecords(2);
  DecodeResult* out = records.data();
  const struct {
    const uint8_t* px;
    int w, h;
    DecodeResult* out;
    int max, want;
  } rows[] = {
      {grey.data(), 1281, 1, out, 2, QR_READ_TOO_LARGE}, {grey.data(), 1, 1025, out, 2, QR_READ_TOO_LARGE},
      {grey.data(), 1281, 1025, out, 2, QR_READ_TOO_LARGE},
      {grey.data(), 1280, 1024, out, 2, 0},  // the largest picture is scanned
      {grey.data(), 1, 1, out, 2, 0},        {nullptr, 4, 4, out, 1, 0},
      {grey.data(), 0, 4, out, 1, 0},        {grey.data(), 4, -3, out, 1, 0},
      {grey.data(), 4, 4, nullptr, 1, 0},    {grey.data(), 4, 4, out, -1, 0},
  };
  for (const auto& r : rows) EXPECT_EQ(r.want, qr_read_symbols(r.px, r.w, r.h, r.out, r.max)) << r.w;
  EXPECT_TRUE(Untouched(records[0]));  // with no code nothing is written
  EXPECT_TRUE(Untouched(records[1]));
}

// Result sets built by hand, in pools of test memory.
struct TestPools : dectest::TestPools {
  ReaderSymbol* Symbol(const char* text, int version, int level, int type = kSymbolQrCode) {
    ReaderSymbol* s = TakeSymbol(&pools);
    s->type = type;
    s->dataLength = static_cast<uint32_t>(std::strlen(text));
    std::memcpy(s->data, text, s->dataLength);
    if (std::strcmp(text, "!") == 0) s->dataLength = 5000;  // past its field
    s->version = version;
    s->ecLevel = level;
    return s;
  }
};

// The first added comes first, then the others newest first; partial
// symbols ("" below) and lengths past the field ("!") are passed over and
// take no record. The NUL goes right after the data, later bytes of the
// field stay as they were; a symbol of full capacity fits.
TEST(WriteRecordsTest, OrderLimitAndPartialSymbols) {
  const struct {
    std::vector<std::string> added;
    int max;
    std::vector<std::string> want;
  } rows[] = {
      {{"A", "B", "C", "D"}, 5, {"A", "D", "C", "B"}},
      {{"first", "second"}, 1, {"first"}},
      {{"first", "second"}, 0, {}},
      {{"", "joined", "lone"}, 2, {"lone", "joined"}},
      {{"0123456789", std::string(kSymbolDataCapacity, 'x'), "!"}, 3, {"0123456789", std::string(kSymbolDataCapacity, 'x')}},
  };
  for (const auto& r : rows) {
    TestPools t;
    SymbolSet* set = TakeSymbolSet(&t.pools);
    for (size_t i = 0; i < r.added.size(); ++i) {
      SymbolSetAdd(set, t.Symbol(r.added[i].c_str(), int(i) + 1, int(i),
                                 r.added[i].empty() ? kSymbolPartial : kSymbolQrCode));
    }
    auto records = FreshRecords(6);
    ASSERT_EQ(int(r.want.size()), WriteRecords(set, records.data(), r.max));
    for (size_t i = 0; i < r.want.size(); ++i) {
      EXPECT_EQ(r.want[i], std::string(reinterpret_cast<const char*>(records[i].data), records[i].length));
      EXPECT_EQ(0, records[i].data[records[i].length]);
      if (int(records[i].length) < kSymbolDataCapacity) {
        EXPECT_EQ(kUntouched, records[i].data[records[i].length + 1]);
      }
      const int at = int(std::find(r.added.begin(), r.added.end(), r.want[i]) - r.added.begin());
      EXPECT_EQ(std::make_tuple(64, at + 1, at), std::make_tuple(int(records[i].type), int(records[i].version), int(records[i].ecLevel)));
    }
    EXPECT_TRUE(Untouched(records[r.want.size()]));
  }
}

}  // namespace
}  // namespace qrread
