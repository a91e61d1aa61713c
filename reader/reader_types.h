// Records shared by the reader's stages: result symbols and sets, decoded codes,
// data segments and the pools they come from. All of them live in the two
// blocks of the per-call ReaderArena; nothing here allocates.
#pragma once
#include <cstdint>

#include "qrcore/qr_standard.h"

namespace qrread {

constexpr int32_t kSymbolPartial = 1;   // placeholder or incomplete joined result
constexpr int32_t kSymbolQrCode = 64;

constexpr int kSymbolDataCapacity = 4096;
constexpr int kMaxSymbols = 32;
constexpr int kMaxSymbolSets = 8;
constexpr int kMaxCodes = 16;
constexpr int kMaxEntries = 63;
constexpr int kMaxSegmentBuffers = 32;
constexpr int kSegmentBufferSize = 4096;
constexpr int kTextBufferSize = 51200;
constexpr int kMaxFinderLines = 1280;   // per direction

struct SymbolSet;

// One found symbol (a code, a structured-append member, or a joined group).
struct ReaderSymbol {
  int32_t type;           // kSymbolQrCode or kSymbolPartial
  uint32_t modifiers;     // FNC1: 0 none, 1 first position, 2 second position
  uint32_t dataCapacity;  // kSymbolDataCapacity
  uint32_t dataLength;
  uint8_t data[kSymbolDataCapacity];
  ReaderSymbol* next;
  SymbolSet* components;  // members of a joined structured-append result
  int32_t version;        // 1..40, 0 when not set
  int32_t ecLevel;        // 0..3, 0 when not set
};

struct SymbolSet {
  int32_t count;
  ReaderSymbol* head;
  ReaderSymbol* tail;
};

// Adds `symbol` with the reader's insertion rule: behind the tail when there is
// one, else as the head; the first symbol ever added stays the tail, so adding
// A, B, C, D lists A, D, C, B.
void SymbolSetAdd(SymbolSet* set, ReaderSymbol* symbol);

// Segment mode indicators.
enum DataMode : int32_t {
  kModeNumeric = 1,
  kModeAlphanumeric = 2,
  kModeStructuredAppend = 3,
  kModeByte = 4,
  kModeFnc1First = 5,
  kModeEci = 7,
  kModeKanji = 8,
  kModeFnc1Second = 9,
  kModeHanzi = 13,
};

// One data segment of a code.
struct DataEntry {
  int32_t mode;
  union {
    struct {
      uint8_t* bytes;   // inside a segment buffer
      int32_t length;   // bytes
    } text;                                    // numeric, alphanumeric, byte, Kanji, Hanzi
    struct {
      uint8_t index, count, parity;
    } sa;                                      // structured append
    uint32_t eci;                              // ECI designator
    int32_t ai;                                // FNC1 second position application indicator
  } payload;
};

// One decoded code.
struct CodeData {
  DataEntry* entries;   // first entry; the code's entries are consecutive in the pool
  int32_t entryCount;
  uint8_t version;      // 1..40
  uint8_t ecLevel;      // 0 L, 1 M, 2 Q, 3 H
  uint8_t saIndex;      // 0..15
  uint8_t saSize;       // 1..16, 0 without a structured-append header
  uint8_t saParity;
  int32_t corners[4][2];  // outline (x, y) in whole pixels: UL, UR, DL, DR
  int32_t corrected;      // codewords Reed-Solomon corrected, over all blocks
};

// The pools of one call. The arena points these at its blocks and zeroes the
// counters at the start of every call; tests may point them at their own memory.
struct ReaderPools {
  ReaderSymbol* symbols;      // kMaxSymbols records
  int32_t symbolsUsed;
  SymbolSet* sets;            // kMaxSymbolSets records
  int32_t setsUsed;
  DataEntry* entries;         // kMaxEntries records, taken and returned as a stack
  int32_t entriesUsed;
  uint8_t* segmentBuffers;    // kMaxSegmentBuffers * kSegmentBufferSize bytes
  uint32_t segmentsInUse;     // bit i set = buffer i taken
  uint8_t* textBuffer;        // kTextBufferSize bytes
};

// A fresh ReaderSymbol (type 64, capacity 4096, everything else 0), or null when
// all 32 are taken.
ReaderSymbol* TakeSymbol(ReaderPools* pools);
// A fresh empty SymbolSet, or null when all 8 are taken.
SymbolSet* TakeSymbolSet(ReaderPools* pools);

}  // namespace qrread
