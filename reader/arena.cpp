#include "reader/arena.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "reader/finder_centres.h"
#include "reader/isaac.h"
#include "reader/locate_scratch.h"

namespace qrread {

namespace {

constexpr size_t AlignUp(size_t offset, size_t align) { return (offset + align - 1) / align * align; }

// Fixed places inside the main block.
struct MainLayout {
  static constexpr size_t arena = 0;
  static constexpr size_t symbols = AlignUp(arena + sizeof(ReaderArena), alignof(ReaderSymbol));
  static constexpr size_t sets =
      AlignUp(symbols + sizeof(ReaderSymbol) * kMaxSymbols, alignof(SymbolSet));
  static constexpr size_t gf = sets + sizeof(SymbolSet) * kMaxSymbolSets;
  static constexpr size_t text = gf + sizeof(qrstd::Gf256);
  static constexpr size_t columnSums = AlignUp(text + kTextBufferSize, alignof(uint32_t));
  static constexpr size_t binary = AlignUp(columnSums + sizeof(uint32_t) * kMaxImageWidth, 8);
  static constexpr size_t end = binary + static_cast<size_t>(kMaxImageWidth) * kMaxImageHeight;
};

// Fixed places inside the decode block.
struct DecodeLayout {
  static constexpr size_t lines = 0;
  static constexpr size_t inverted = lines + sizeof(FinderLine) * kFinderLineStore;
  static constexpr size_t codes =
      AlignUp(inverted + sizeof(FinderLine) * kInvertedLineStore, alignof(CodeData));
  static constexpr size_t entries = AlignUp(codes + sizeof(CodeData) * kMaxCodes, alignof(DataEntry));
  static constexpr size_t segments = AlignUp(entries + sizeof(DataEntry) * kMaxEntries, 8);
  static constexpr size_t centres = AlignUp(
      segments + static_cast<size_t>(kMaxSegmentBuffers) * kSegmentBufferSize, alignof(FinderCentre));
  static constexpr size_t edgePoints =
      AlignUp(centres + sizeof(FinderCentre) * kMaxFinderCentres, alignof(EdgePoint));
  static constexpr size_t rng =
      AlignUp(edgePoints + sizeof(EdgePoint) * kMaxEdgePoints, alignof(IsaacState));
  static constexpr size_t scratch = AlignUp(rng + sizeof(IsaacState), alignof(LocateScratch));
  static constexpr size_t end = scratch + sizeof(LocateScratch);
};

static_assert(MainLayout::end <= kMainBlockBytes, "main block too small for its objects");
static_assert(DecodeLayout::end <= kDecodeBlockBytes, "decode block too small for its objects");
// Clustering runs in the binarised image's bytes before binarisation.
static_assert(static_cast<size_t>(kMaxImageWidth) * kMaxImageHeight >=
                  LocateCentresScratchBytes(kFinderLineStore),
              "clustering scratch does not fit");
static_assert(alignof(std::max_align_t) >= 8, "blocks must be 8-byte aligned");

template <typename T>
T* At(uint8_t* block, size_t offset) {
  return reinterpret_cast<T*>(block + offset);
}

}  // namespace

ReaderArena* ArenaOpen() {
  auto* main = static_cast<uint8_t*>(std::malloc(kMainBlockBytes));
  auto* decode = static_cast<uint8_t*>(std::malloc(kDecodeBlockBytes));
  if (main == nullptr || decode == nullptr) {
    std::free(main);
    std::free(decode);
    return nullptr;
  }
  auto* arena = new (main + MainLayout::arena) ReaderArena{};
  arena->mainBlock = main;
  arena->decodeBlock = decode;

  ReaderPools& pools = arena->pools;
  pools.symbols = At<ReaderSymbol>(main, MainLayout::symbols);
  pools.sets = At<SymbolSet>(main, MainLayout::sets);
  pools.textBuffer = main + MainLayout::text;
  pools.entries = At<DataEntry>(decode, DecodeLayout::entries);
  pools.segmentBuffers = decode + DecodeLayout::segments;
  pools.symbolsUsed = 0;
  pools.setsUsed = 0;
  pools.entriesUsed = 0;
  pools.segmentsInUse = 0;

  arena->gf = At<qrstd::Gf256>(main, MainLayout::gf);
  arena->columnSums = At<uint32_t>(main, MainLayout::columnSums);
  arena->binary = main + MainLayout::binary;
  arena->lines[0] = At<FinderLine>(decode, DecodeLayout::lines);
  arena->lines[1] = arena->lines[0] + kMaxFinderLines;
  arena->inverted[0] = At<FinderLine>(decode, DecodeLayout::inverted);
  arena->inverted[1] = arena->inverted[0] + kMaxFinderLines;
  arena->codes = At<CodeData>(decode, DecodeLayout::codes);
  arena->centres = At<FinderCentre>(decode, DecodeLayout::centres);
  arena->edgePoints = At<EdgePoint>(decode, DecodeLayout::edgePoints);
  arena->rng = At<IsaacState>(decode, DecodeLayout::rng);
  arena->scratch = At<LocateScratch>(decode, DecodeLayout::scratch);
  return arena;
}

void ArenaClose(ReaderArena* arena) {
  if (arena == nullptr) return;
  uint8_t* decode = arena->decodeBlock;
  std::free(arena->mainBlock);  // holds the arena record itself
  std::free(decode);
}

}  // namespace qrread
