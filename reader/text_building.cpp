// Result texts of the decoded codes of one image: structured-append groups,
// FNC1 rules ("%" escapes, application indicator), one ReaderSymbol per code
// or per group.
#include <cstring>

#include "reader/decode_stages.h"

namespace qrread {

namespace {

constexpr int kMaxGroup = 16;
constexpr int kStopEstimate = -2;  // the text estimate reached the buffer size
constexpr int kStopPools = -3;     // no symbol or symbol set left

struct Group {
  int slots[kMaxGroup];  // code index per slot, -1 = empty
  int size;
};

// Collects code i's group: every unmarked code from i on with the same count
// and parity goes into its index's slot when that slot is still empty. A code
// whose index is not below the count fits no slot and stays out.
void CollectGroup(const CodeData* codes, int count, int i, bool* marked, Group* g) {
  const CodeData& first = codes[i];
  if (first.saSize == 0) {
    g->size = 1;
    g->slots[0] = i;
    return;
  }
  g->size = first.saSize;
  for (int k = 0; k < g->size; ++k) g->slots[k] = -1;
  for (int j = i; j < count; ++j) {
    const CodeData& c = codes[j];
    if ((j != i && marked[j]) || c.saSize != first.saSize || c.saParity != first.saParity) continue;
    if (c.saIndex >= g->size || g->slots[c.saIndex] >= 0) continue;
    g->slots[c.saIndex] = j;
    marked[j] = true;
  }
}

// Text size estimate and FNC1 flag of a group.
struct Estimate {
  long bytes = 0;
  uint32_t fnc1 = 0;
  int ai = 0;
};

Estimate EstimateGroup(const CodeData* codes, const Group& g) {
  Estimate est;
  for (int k = 0; k < g.size; ++k) {
    if (g.slots[k] < 0) continue;
    const CodeData& c = codes[g.slots[k]];
    for (int e = 0; e < c.entryCount; ++e) {
      const DataEntry& d = c.entries[e];
      switch (d.mode) {
        case kModeNumeric:
        case kModeAlphanumeric: est.bytes += d.payload.text.length; break;
        case kModeByte:
        case kModeKanji:
        case kModeHanzi: est.bytes += 4L * d.payload.text.length; break;
        case kModeFnc1First:
          if (est.fnc1 == 0) est.fnc1 = 1;
          break;
        case kModeFnc1Second:
          if (est.fnc1 == 0) {
            est.fnc1 = 2;
            est.ai = d.payload.ai;
            est.bytes += 2;
          }
          break;
        default: break;
      }
    }
  }
  return est;
}

// The group's text buffer; appends fail instead of overrunning it (one byte
// is always kept for the final NUL).
struct Text {
  uint8_t* buf;
  int len = 0;
  bool Append(const uint8_t* p, int n) {
    if (n < 0 || len + n > kTextBufferSize - 1) return false;
    std::memcpy(buf + len, p, static_cast<size_t>(n));
    len += n;
    return true;
  }
  bool Put(uint8_t b) { return Append(&b, 1); }
};

// Alphanumeric data under FNC1: "%%" is a literal '%', a lone '%' is GS (0x1D).
bool AppendFnc1Alphanumeric(Text* t, const uint8_t* p, int n) {
  int start = 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] != '%') continue;
    if (!t->Append(p + start, i - start)) return false;
    if (i + 1 < n && p[i + 1] == '%') {
      if (!t->Put('%')) return false;
      ++i;
    } else if (!t->Put(0x1D)) {
      return false;
    }
    start = i + 1;
  }
  return t->Append(p + start, n - start);
}

bool AppendCode(Text* t, const CodeData& c, uint32_t fnc1) {
  for (int e = 0; e < c.entryCount; ++e) {
    const DataEntry& d = c.entries[e];
    bool ok = true;
    switch (d.mode) {
      case kModeAlphanumeric:
        ok = fnc1 != 0 ? AppendFnc1Alphanumeric(t, d.payload.text.bytes, d.payload.text.length)
                       : t->Append(d.payload.text.bytes, d.payload.text.length);
        break;
      case kModeNumeric:
      case kModeByte:
      case kModeKanji:
      case kModeHanzi: ok = t->Append(d.payload.text.bytes, d.payload.text.length); break;
      default: break;
    }
    if (!ok) return false;
  }
  return true;
}

void SetData(ReaderSymbol* s, const uint8_t* p, int n) {
  std::memcpy(s->data, p, static_cast<size_t>(n));
  s->dataLength = static_cast<uint32_t>(n);
}

struct Member {
  ReaderSymbol* symbol;
  int start;
  int end;
};

// Builds the members of a group into `t` and `members`. Returns the member
// count, 0 when the group failed (its text did not fit), or kStopPools.
int BuildMembers(const CodeData* codes, const Group& g, uint32_t fnc1, ReaderPools* pools,
                 Text* t, Member* members) {
  int count = 0;
  for (int k = 0; k < g.size; ++k) {
    ReaderSymbol* s = TakeSymbol(pools);
    if (s == nullptr) return kStopPools;
    members[count] = {s, t->len, t->len};
    if (g.slots[k] < 0) {
      s->type = kSymbolPartial;
      ++count;
      while (k < g.size && g.slots[k] < 0) ++k;
      if (k == g.size) break;
      if (!t->Put(0)) return 0;  // separator behind the placeholder
      s = TakeSymbol(pools);
      if (s == nullptr) return kStopPools;
      members[count] = {s, t->len, t->len};
    }
    const CodeData& c = codes[g.slots[k]];
    s->version = c.version;
    s->ecLevel = c.ecLevel;
    if (!AppendCode(t, c, fnc1)) return 0;
    members[count++].end = t->len;
  }
  for (int m = 0; m + 1 < count; ++m) members[m].symbol->next = members[m + 1].symbol;
  return count;
}

// The result symbol of a group, or null when the group gives none (its text
// does not fit a symbol). `stop` receives kStopPools when the pools ran out.
ReaderSymbol* BuildGroup(const CodeData* codes, const Group& g, const Estimate& est,
                         ReaderPools* pools, int* stop) {
  Text t{pools->textBuffer};
  if (est.fnc1 == 2) {
    if (est.ai < 100) {
      t.Put(static_cast<uint8_t>('0' + est.ai / 10));
      t.Put(static_cast<uint8_t>('0' + est.ai % 10));
    } else {
      t.Put(static_cast<uint8_t>(est.ai - 100));
    }
  }
  Member members[2 * kMaxGroup];
  int count = BuildMembers(codes, g, est.fnc1, pools, &t, members);
  if (count == kStopPools) *stop = kStopPools;
  if (count <= 0) return nullptr;
  t.buf[t.len] = 0;
  // A symbol holds at most 4096 data bytes; a longer text is not cut short.
  if (t.len > kSymbolDataCapacity) return nullptr;

  if (g.size == 1) {
    ReaderSymbol* s = members[0].symbol;
    SetData(s, t.buf, t.len);
    s->modifiers = est.fnc1;
    return s;
  }
  ReaderSymbol* container = TakeSymbol(pools);
  SymbolSet* set = TakeSymbolSet(pools);
  if (container == nullptr || set == nullptr) {
    *stop = kStopPools;
    return nullptr;
  }
  set->head = members[0].symbol;
  set->tail = members[count - 1].symbol;
  set->count = count;
  for (int m = 0; m < count; ++m) {
    const Member& mb = members[m];
    SetData(mb.symbol, t.buf + mb.start, mb.end - mb.start);
    if (mb.symbol->type == kSymbolPartial) container->type = kSymbolPartial;
  }
  container->components = set;
  container->modifiers = est.fnc1;
  SetData(container, t.buf, t.len);
  return container;
}

}  // namespace

int BuildTexts(CodeData* codes, int count, ReaderPools* pools, SymbolSet* results) {
  if (count > kMaxCodes) count = kMaxCodes;
  bool marked[kMaxCodes] = {};
  int added = 0;
  for (int i = 0; i < count; ++i) {
    if (marked[i]) continue;
    marked[i] = true;
    Group g;
    CollectGroup(codes, count, i, marked, &g);
    Estimate est = EstimateGroup(codes, g);
    if (est.bytes >= kTextBufferSize) return kStopEstimate;
    int stop = 0;
    ReaderSymbol* s = BuildGroup(codes, g, est, pools, &stop);
    if (stop != 0) return stop;
    if (s != nullptr) {
      SymbolSetAdd(results, s);
      ++added;
    }
  }
  return added;
}

}  // namespace qrread
