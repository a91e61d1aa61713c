// The data stream of one code: mode indicators, counts and segment payloads
// into DataEntry records and segment buffers from the call's pools.
#include "reader/decode_stages.h"

namespace qrread {

namespace {

constexpr const char* kAlphanumeric = qrstd::kAlphanumericSet;

// The reader's mode values are the mode indicators.
int CountBits(int mode, int version) { return qrstd::CountIndicatorBits(mode, version); }

class BitReader {
 public:
  BitReader(const uint8_t* data, int count) : data_(data), bits_(count * 8) {}
  int Left() const { return bits_ - pos_; }
  // 1..16 bits as an unsigned value, or -1 when fewer are left (the position
  // still moves on).
  int Read(int n) {
    if (Left() < n) {
      pos_ += n;
      return -1;
    }
    int v = 0;
    for (int i = 0; i < n; ++i, ++pos_) v = (v << 1) | ((data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1);
    return v;
  }

 private:
  const uint8_t* data_;
  int bits_;
  int pos_ = 0;
};

// Takes the lowest free segment buffer, or null when all are taken.
uint8_t* TakeSegmentBuffer(ReaderPools* pools) {
  for (int i = 0; i < kMaxSegmentBuffers; ++i) {
    if (!(pools->segmentsInUse & (1u << i))) {
      pools->segmentsInUse |= 1u << i;
      return pools->segmentBuffers + i * kSegmentBufferSize;
    }
  }
  return nullptr;
}

bool HasText(int32_t mode) {
  return mode == kModeNumeric || mode == kModeAlphanumeric || mode == kModeByte ||
         mode == kModeKanji || mode == kModeHanzi;
}

// The segment buffer a code is filling. Segments are packed one after another
// so that a code of many short segments needs few of the 32 buffers.
struct SegmentSpace {
  ReaderPools* pools;
  uint8_t* buffer = nullptr;
  int used = 0;
};

// Gives `entry` room for `length` bytes in the code's current buffer, or at
// the start of a fresh one when the rest is too short; false when the pool is
// empty or the segment would not fit one buffer. A segment never starts at the
// very end of a buffer (not even an empty one): ReleaseCode finds the buffer
// from the segment's start, which there would be the next buffer's.
bool StartText(DataEntry* entry, SegmentSpace& space, int length) {
  if (length > kSegmentBufferSize) return false;
  if (space.buffer == nullptr || space.used + length > kSegmentBufferSize ||
      space.used == kSegmentBufferSize) {
    uint8_t* buffer = TakeSegmentBuffer(space.pools);
    if (buffer == nullptr) return false;
    space.buffer = buffer;
    space.used = 0;
  }
  entry->payload.text.bytes = space.buffer + space.used;
  entry->payload.text.length = length;
  space.used += length;
  return true;
}

bool ParseNumeric(BitReader& in, DataEntry* e, SegmentSpace& space, int version) {
  int count = in.Read(CountBits(kModeNumeric, version));
  if (count < 0) return false;
  int groups = count / 3, rest = count % 3;
  if (in.Left() < 10 * groups + (rest == 2 ? 7 : rest == 1 ? 4 : 0)) return false;
  if (!StartText(e, space, count)) return false;
  uint8_t* out = e->payload.text.bytes;
  for (int g = 0; g < groups; ++g) {
    int v = in.Read(10);
    if (v < 0 || v >= 1000) return false;
    *out++ = static_cast<uint8_t>('0' + v / 100);
    *out++ = static_cast<uint8_t>('0' + v / 10 % 10);
    *out++ = static_cast<uint8_t>('0' + v % 10);
  }
  if (rest == 2) {
    int v = in.Read(7);
    if (v < 0 || v >= 100) return false;
    *out++ = static_cast<uint8_t>('0' + v / 10);
    *out++ = static_cast<uint8_t>('0' + v % 10);
  } else if (rest == 1) {
    int v = in.Read(4);
    if (v < 0 || v >= 10) return false;
    *out++ = static_cast<uint8_t>('0' + v);
  }
  return true;
}

bool ParseAlphanumeric(BitReader& in, DataEntry* e, SegmentSpace& space, int version) {
  int count = in.Read(CountBits(kModeAlphanumeric, version));
  if (count < 0) return false;
  int pairs = count / 2, odd = count % 2;
  if (in.Left() < 11 * pairs + 6 * odd) return false;
  if (!StartText(e, space, count)) return false;
  uint8_t* out = e->payload.text.bytes;
  for (int p = 0; p < pairs; ++p) {
    int v = in.Read(11);
    if (v < 0 || v >= 45 * 45) return false;
    *out++ = static_cast<uint8_t>(kAlphanumeric[v / 45]);
    *out++ = static_cast<uint8_t>(kAlphanumeric[v % 45]);
  }
  if (odd) {
    int v = in.Read(6);
    if (v < 0 || v >= 45) return false;
    *out++ = static_cast<uint8_t>(kAlphanumeric[v]);
  }
  return true;
}

bool ParseByte(BitReader& in, DataEntry* e, SegmentSpace& space, int version) {
  int count = in.Read(CountBits(kModeByte, version));
  if (count < 0 || in.Left() < 8 * count) return false;
  if (!StartText(e, space, count)) return false;
  for (int i = 0; i < count; ++i) e->payload.text.bytes[i] = static_cast<uint8_t>(in.Read(8));
  return true;
}

// Kanji (Shift JIS pairs) and Hanzi (GB 2312 pairs): 13 bits per character.
bool ParseDoubleByte(BitReader& in, DataEntry* e, SegmentSpace& space, int version, bool hanzi) {
  if (hanzi && in.Read(4) < 0) return false;  // subset: every subset reads as GB 2312
  int count = in.Read(CountBits(kModeKanji, version));
  if (count < 0 || in.Left() < 13 * count) return false;
  if (!StartText(e, space, 2 * count)) return false;
  uint8_t* out = e->payload.text.bytes;
  for (int i = 0; i < count; ++i) {
    int v = in.Read(13);
    int hi, lo;
    if (hanzi) {
      int row = v / 0x60;
      hi = row < 0x0A ? row + 0xA1 : row + 0xA6;
      lo = v % 0x60 + 0xA1;
    } else {
      int c = (v / 0xC0) * 0x100 + v % 0xC0 + 0x8140;
      if (c >= 0xA000) c += 0x4000;
      hi = c >> 8;
      lo = c & 0xFF;
    }
    *out++ = static_cast<uint8_t>(hi);
    *out++ = static_cast<uint8_t>(lo);
  }
  return true;
}

bool ParseEci(BitReader& in, DataEntry* e) {
  int lead = in.Read(8);
  if (lead < 0) return false;
  uint32_t value;
  if ((lead & 0x80) == 0) {
    value = static_cast<uint32_t>(lead);
  } else if ((lead & 0xC0) == 0x80) {
    int next = in.Read(8);
    if (next < 0) return false;
    value = static_cast<uint32_t>(((lead & 0x3F) << 8) | next);
  } else if ((lead & 0xE0) == 0xC0) {
    int next = in.Read(16);
    if (next < 0) return false;
    value = static_cast<uint32_t>(((lead & 0x1F) << 16) | next);
  } else {
    return false;
  }
  e->payload.eci = value;
  return true;
}

bool ValidApplicationIndicator(int ai) {
  return (ai >= 0 && ai <= 99) || (ai >= 165 && ai <= 190) || (ai >= 197 && ai <= 222);
}

// One segment after its mode indicator; false fails the parse.
bool ParseSegment(BitReader& in, CodeData* code, DataEntry* e, SegmentSpace& space, int version) {
  switch (e->mode) {
    case kModeNumeric: return ParseNumeric(in, e, space, version);
    case kModeAlphanumeric: return ParseAlphanumeric(in, e, space, version);
    case kModeByte: return ParseByte(in, e, space, version);
    case kModeKanji: return ParseDoubleByte(in, e, space, version, false);
    case kModeHanzi: return ParseDoubleByte(in, e, space, version, true);
    case kModeEci: return ParseEci(in, e);
    case kModeFnc1First: return true;
    case kModeFnc1Second: {
      int ai = in.Read(8);
      if (!ValidApplicationIndicator(ai)) return false;
      e->payload.ai = ai;
      return true;
    }
    case kModeStructuredAppend: {
      int v = in.Read(16);
      if (v < 0) return false;
      e->payload.sa.index = static_cast<uint8_t>(v >> 12);
      e->payload.sa.count = static_cast<uint8_t>(((v >> 8) & 0xF) + 1);
      e->payload.sa.parity = static_cast<uint8_t>(v & 0xFF);
      if (code->saSize == 0) {  // a second header in the same code is ignored
        code->saIndex = e->payload.sa.index;
        code->saSize = e->payload.sa.count;
        code->saParity = e->payload.sa.parity;
      }
      return true;
    }
    default: return false;
  }
}

}  // namespace

int ParseDataStream(CodeData* code, ReaderPools* pools, int version, const uint8_t* data,
                    int count) {
  code->entries = pools->entries + pools->entriesUsed;
  code->entryCount = 0;
  code->saIndex = code->saSize = code->saParity = 0;
  if (version < qrstd::kMinVersion || version > qrstd::kMaxVersion || count < 0) return -1;

  BitReader in(data, count);
  SegmentSpace space{pools};
  while (in.Left() >= 4) {
    int mode = in.Read(4);
    if (mode == 0) break;
    if (pools->entriesUsed >= kMaxEntries) {
      ReleaseCode(code, pools);
      return -1;
    }
    DataEntry* e = &pools->entries[pools->entriesUsed++];
    ++code->entryCount;
    e->mode = mode;
    e->payload.text.bytes = nullptr;
    e->payload.text.length = 0;
    if (!ParseSegment(in, code, e, space, version)) {
      ReleaseCode(code, pools);
      return -1;
    }
  }
  return 0;
}

void ReleaseCode(CodeData* code, ReaderPools* pools) {
  if (code->entries == nullptr) return;
  for (int i = 0; i < code->entryCount; ++i) {
    DataEntry* e = &code->entries[i];
    if (HasText(e->mode) && e->payload.text.bytes != nullptr) {
      int index = static_cast<int>((e->payload.text.bytes - pools->segmentBuffers) /
                                   kSegmentBufferSize);
      if (index >= 0 && index < kMaxSegmentBuffers) pools->segmentsInUse &= ~(1u << index);
    }
  }
  // Entries are a stack. A code below the top only marks its entries free
  // (mode 0, which no parsed entry has); they go back once everything above
  // them has, so codes may be released in any order.
  if (code->entries + code->entryCount == pools->entries + pools->entriesUsed) {
    pools->entriesUsed -= code->entryCount;
    while (pools->entriesUsed > 0 && pools->entries[pools->entriesUsed - 1].mode == 0) {
      --pools->entriesUsed;
    }
  } else {
    for (int i = 0; i < code->entryCount; ++i) code->entries[i].mode = 0;
  }
  code->entries = nullptr;
  code->entryCount = 0;
}

}  // namespace qrread
