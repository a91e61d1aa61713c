// ReaderArena: all work memory of one qr_read_symbols call, two blocks taken
// from the heap at the start of the call and released before it returns.
// Every object of the call has a fixed place inside them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "qrcore/qr_standard.h"
#include "reader/binarize.h"
#include "reader/edge_scanner.h"
#include "reader/finder.h"
#include "reader/reader_types.h"
#include "reader/width_decoder.h"

namespace qrread {

struct IsaacState;
struct LocateScratch;

constexpr size_t kMainBlockBytes = 1510988;
constexpr size_t kDecodeBlockBytes = 401204 + sizeof(FinderLine) * 2 * kMaxFinderLines;
constexpr int kMaxImageWidth = 1280;
constexpr int kMaxImageHeight = 1024;
// Finder lines of both directions share one store: the row pass may take all
// but kMaxFinderLines of it, the column pass takes what the rows left. Large
// modules give thousands of lines in one direction (every scan line through a
// 1:1:3:1:1 run in the data counts), and a list cut at a fixed share loses the
// finder scanned last: a clean code would go unread.
constexpr int kFinderLineStore = 4 * kMaxFinderLines;
// Light-on-dark lines: a list of kMaxFinderLines per direction.
constexpr int kInvertedLineStore = 2 * kMaxFinderLines;

constexpr uint32_t kFormatY800 = 0x30303859;  // "Y800" little-endian
constexpr uint32_t kFormatGrey = 0x59455247;  // "GREY", the same format

// The image being scanned: the caller's pixels, never written.
struct ReaderImage {
  uint32_t format;
  int32_t width, height;
  int32_t crop[4];             // x, y, width, height: always the whole image
  const uint8_t* pixels;
  SymbolSet* results;          // taken from the pool by the scan
};

// Views into the two blocks. The arena record itself sits at the start of
// the main block.
struct ReaderArena {
  uint8_t* mainBlock;
  uint8_t* decodeBlock;

  // Main block.
  ReaderPools pools;             // symbols, sets and text buffer (main block),
                                 // entries and segment buffers (decode block)
  ReaderImage image;
  EdgeScanner scanner;
  ScanSink sink;
  qrstd::Gf256* gf;              // built per call
  uint8_t* binary;               // 1280 x 1024; clustering scratch before that
  uint32_t* columnSums;          // 1280
  LazyBinary lazy;               // the binarisation of `binary`, made as read

  // Decode block.
  FinderLine* lines[2];          // horizontal, then vertical behind them, in one
                                 // store of kFinderLineStore (set by ScanImage)
  FinderLine* inverted[2];       // light-on-dark lines, kMaxFinderLines each
  CodeData* codes;               // kMaxCodes
  FinderCentre* centres;         // kMaxFinderCentres
  EdgePoint* edgePoints;         // kMaxEdgePoints
  IsaacState* rng;
  LocateScratch* scratch;
};

// Takes the two blocks, places every object and zeroes the pool counters.
// Returns null when either block cannot be had (nothing stays allocated).
ReaderArena* ArenaOpen();

// Releases both blocks; null is ignored.
void ArenaClose(ReaderArena* arena);

}  // namespace qrread
