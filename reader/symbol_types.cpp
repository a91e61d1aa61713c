#include <cstring>

#include "reader/reader_types.h"

namespace qrread {

void SymbolSetAdd(SymbolSet* set, ReaderSymbol* symbol) {
  // Behind the tail, not at the end: the first symbol stays the tail, so the
  // list reads first-added, then the rest newest first (A, D, C, B).
  if (set->tail != nullptr) {
    symbol->next = set->tail->next;
    set->tail->next = symbol;
  } else {
    symbol->next = set->head;
    set->head = symbol;
  }
  ++set->count;
  if (set->tail == nullptr) set->tail = symbol;
}

ReaderSymbol* TakeSymbol(ReaderPools* pools) {
  if (pools->symbolsUsed >= kMaxSymbols) return nullptr;
  ReaderSymbol* s = &pools->symbols[pools->symbolsUsed++];
  s->type = kSymbolQrCode;
  s->modifiers = 0;
  s->dataCapacity = kSymbolDataCapacity;
  s->dataLength = 0;
  s->next = nullptr;
  s->components = nullptr;
  s->version = 0;
  s->ecLevel = 0;
  return s;
}

SymbolSet* TakeSymbolSet(ReaderPools* pools) {
  if (pools->setsUsed >= kMaxSymbolSets) return nullptr;
  SymbolSet* set = &pools->sets[pools->setsUsed++];
  set->count = 0;
  set->head = nullptr;
  set->tail = nullptr;
  return set;
}

}  // namespace qrread
