// Arbitrary data codewords into ParseDataStream and BuildTexts. The first byte
// chooses the version (1..40) and how many codes (1..16) the rest is cut into;
// every code that parses takes part in text building, as in one image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reader/decode_stages.h"

namespace {

struct Pools {
  std::vector<qrread::ReaderSymbol> symbols{qrread::kMaxSymbols};
  std::vector<qrread::SymbolSet> sets{qrread::kMaxSymbolSets};
  std::vector<qrread::DataEntry> entries{qrread::kMaxEntries};
  std::vector<uint8_t> segments =
      std::vector<uint8_t>(qrread::kMaxSegmentBuffers * qrread::kSegmentBufferSize);
  std::vector<uint8_t> text = std::vector<uint8_t>(qrread::kTextBufferSize);
  qrread::ReaderPools pools{};
  Pools() {
    pools.symbols = symbols.data();
    pools.sets = sets.data();
    pools.entries = entries.data();
    pools.segmentBuffers = segments.data();
    pools.textBuffer = text.data();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int version = 1 + data[0] % 40;
  const int parts = 1 + (data[1] >> 4) % 16;
  const uint8_t* stream = data + 2;
  const size_t left = size - 2;
  Pools p;
  qrread::CodeData codes[qrread::kMaxCodes];
  int count = 0;
  for (int i = 0; i < parts; ++i) {
    size_t from = left * static_cast<size_t>(i) / static_cast<size_t>(parts);
    size_t to = left * static_cast<size_t>(i + 1) / static_cast<size_t>(parts);
    qrread::CodeData& c = codes[count];
    c = qrread::CodeData{};
    c.version = static_cast<uint8_t>(version);
    int entriesBefore = p.pools.entriesUsed;
    uint32_t buffersBefore = p.pools.segmentsInUse;
    if (qrread::ParseDataStream(&c, &p.pools, version, stream + from, static_cast<int>(to - from)) == 0) {
      ++count;
    } else if (p.pools.entriesUsed != entriesBefore || p.pools.segmentsInUse != buffersBefore) {
      __builtin_trap();  // a failed parse must give everything back
    }
  }
  if (count > 0) {
    qrread::SymbolSet results{};
    qrread::BuildTexts(codes, count, &p.pools, &results);
    for (auto* s = results.head; s != nullptr; s = s->next) {
      if (s->dataLength > qrread::kSymbolDataCapacity) __builtin_trap();
    }
  }
  for (int i = 0; i < count; ++i) qrread::ReleaseCode(&codes[i], &p.pools);
  if (p.pools.entriesUsed != 0 || p.pools.segmentsInUse != 0) __builtin_trap();
  return 0;
}
