// Internal stages of qr_read_symbols, reachable for tests.
#pragma once
#include <cstdint>

#include "reader/arena.h"
#include "reader/locate.h"
#include "reader/qr_reader.h"

namespace qrread {

// Scans every row (horizontal lines) and then the columns (vertical lines)
// where a vertical finder cluster could cross a horizontal one, of
// arena->image, alternating direction, into arena->sink's two lists: the
// horizontal list may fill all of the line store but kMaxFinderLines, the
// vertical one starts behind it (arena->lines[1] is set here) and takes the
// rest; further lines are dropped.
// Uses the binarised image's bytes as its work area.
void ScanImage(ReaderArena* arena);

// Builds the field tables and seeds the random source of this call, and
// points `ctx` at arena->image and the arena's work areas (binarised image,
// pools, decoded-code list, scratch), with every counter at zero.
void InitLocateContext(ReaderArena* arena, LocateContext* ctx);

// Writes the symbols of `set` from its head into results[0 .. maxResults-1],
// skipping PARTIAL symbols and symbols of 5120 bytes or more. Returns the
// number of records written; records not written are untouched.
int32_t WriteRecords(const SymbolSet* set, DecodeResult* results, int32_t maxResults);

}  // namespace qrread
