// qr_read_symbols limits, the record writer and the placement of every arena
// object inside its block, apart and aligned.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "dec_test_util.h"
#include "reader/finder_centres.h"
#include "reader/isaac.h"
#include "reader/locate_scratch.h"
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

struct Range {
  const void* p;
  size_t bytes;
  const char* name;
};

// Sorted by address, each range starts after the previous one ends, 4-aligned,
// and the last ends inside the block.
void ExpectInsideAndApart(const uint8_t* block, size_t blockBytes, std::vector<Range> ranges) {
  std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return std::less<>()(a.p, b.p); });
  const uint8_t* end = block;
  for (const Range& r : ranges) {
    const auto* p = static_cast<const uint8_t*>(r.p);
    EXPECT_GE(p, end) << r.name << " starts before the one below it ends";
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p) % 4) << r.name;
    end = p + r.bytes;
  }
  EXPECT_LE(end, block + blockBytes);
}

TEST(ArenaTest, EveryObjectHasItsOwnPlaceInItsBlock) {
  ReaderArena* arena = ArenaOpen();
  ASSERT_NE(nullptr, arena);
  const ReaderPools& pools = arena->pools;
  ExpectInsideAndApart(arena->mainBlock, kMainBlockBytes,
                       {{arena, sizeof(ReaderArena), "arena"},
                        {pools.symbols, sizeof(ReaderSymbol) * kMaxSymbols, "symbols"},
                        {pools.sets, sizeof(SymbolSet) * kMaxSymbolSets, "sets"},
                        {arena->gf, sizeof(qrstd::Gf256), "gf"},
                        {pools.textBuffer, kTextBufferSize, "text"},
                        {arena->columnSums, 4 * 1280, "column sums"},
                        {arena->binary, 1280 * 1024, "binary"}});
  ExpectInsideAndApart(
      arena->decodeBlock, kDecodeBlockBytes,
      {{arena->lines[0], sizeof(FinderLine) * kMaxFinderLines, "horizontal lines"},
       {arena->lines[1], sizeof(FinderLine) * kMaxFinderLines, "vertical lines"},
       {arena->inverted[0], sizeof(FinderLine) * kMaxFinderLines, "light-on-dark rows"},
       {arena->inverted[1], sizeof(FinderLine) * kMaxFinderLines, "light-on-dark columns"},
       {arena->codes, sizeof(CodeData) * kMaxCodes, "codes"},
       {pools.entries, sizeof(DataEntry) * kMaxEntries, "entries"},
       {pools.segmentBuffers, size_t(kMaxSegmentBuffers) * kSegmentBufferSize, "segments"},
       {arena->centres, sizeof(FinderCentre) * kMaxFinderCentres, "centres"},
       {arena->edgePoints, sizeof(EdgePoint) * kMaxEdgePoints, "edge points"},
       {arena->rng, sizeof(IsaacState), "rng"},
       {arena->scratch, sizeof(LocateScratch), "locate scratch"}});
  ArenaClose(arena);
}

}  // namespace
}  // namespace qrread
