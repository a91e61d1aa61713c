// ReaderArena placement: every object inside its block, apart and aligned.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "reader/arena.h"
#include "reader/finder_centres.h"
#include "reader/isaac.h"
#include "reader/locate_scratch.h"

namespace qrread {
namespace {

struct Range {
  const void* p;
  size_t bytes;
  const char* name;
};

void ExpectInsideAndApart(const uint8_t* block, size_t blockBytes, std::vector<Range> ranges) {
  for (const Range& r : ranges) {
    const auto* p = static_cast<const uint8_t*>(r.p);
    EXPECT_GE(p, block) << r.name;
    EXPECT_LE(p + r.bytes, block + blockBytes) << r.name;
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p) % 4) << r.name;
  }
  for (size_t i = 0; i < ranges.size(); ++i) {
    for (size_t j = i + 1; j < ranges.size(); ++j) {
      const auto* a = static_cast<const uint8_t*>(ranges[i].p);
      const auto* b = static_cast<const uint8_t*>(ranges[j].p);
      EXPECT_TRUE(a + ranges[i].bytes <= b || b + ranges[j].bytes <= a)
          << ranges[i].name << " overlaps " << ranges[j].name;
    }
  }
}

TEST(ArenaTest, EveryObjectHasItsOwnPlaceInItsBlock) {
  ReaderArena* arena = ArenaOpen();
  ASSERT_NE(nullptr, arena);
  EXPECT_EQ(static_cast<void*>(arena), static_cast<void*>(arena->mainBlock));
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
  EXPECT_EQ(0, pools.symbolsUsed);
  EXPECT_EQ(0, pools.setsUsed);
  EXPECT_EQ(0, pools.entriesUsed);
  EXPECT_EQ(0u, pools.segmentsInUse);
  ArenaClose(arena);
}

}  // namespace
}  // namespace qrread
