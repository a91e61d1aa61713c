#include "encoder/bit_stream.h"

#include <algorithm>
#include <cstring>

#include "encoder/segmentation.h"
#include "qrcore/qr_standard.h"

namespace {

uint32_t ModeIndicator(char mode) {
  switch (mode) {
    case qrenc::kModeNumeric: return 0x1;
    case qrenc::kModeAlphanumeric: return 0x2;
    case qrenc::kModeHanzi: return 0xD;
    default: return 0x4;
  }
}

int CountBits(char mode, int32_t version) {
  return qrstd::CountIndicatorBits(static_cast<int>(ModeIndicator(mode)), version);
}

void WriteNumeric(QrBitStream* s, const int32_t* chars, int32_t n) {
  int32_t i = 0;
  for (; i + 3 <= n; i += 3) {
    qr_append_bits(s, (chars[i] - '0') * 100 + (chars[i + 1] - '0') * 10 + (chars[i + 2] - '0'), 10);
  }
  if (n - i == 2) qr_append_bits(s, (chars[i] - '0') * 10 + (chars[i + 1] - '0'), 7);
  if (n - i == 1) qr_append_bits(s, chars[i] - '0', 4);
}

void WriteAlphanumeric(QrBitStream* s, const int32_t* chars, int32_t n) {
  int32_t i = 0;
  for (; i + 2 <= n; i += 2) {
    qr_append_bits(s, qr_alphanumeric_value(chars[i]) * 45 + qr_alphanumeric_value(chars[i + 1]), 11);
  }
  if (i < n) qr_append_bits(s, qr_alphanumeric_value(chars[i]), 6);
}

// GB 2312 rows A1..AA and B0..FA packed into 13 bits.
uint32_t HanziValue(int32_t c) {
  const int32_t first = c >> 8;
  const int32_t second = c & 0xFF;
  const int32_t base = first < 0xB0 ? 0xA1 : 0xA6;
  return static_cast<uint32_t>((first - base) * 0x60 + (second - 0xA1));
}

void WriteSegment(QrBitStream* s, int32_t version, char mode, const int32_t* chars, int32_t n) {
  qr_append_bits(s, ModeIndicator(mode), 4);
  if (mode == qrenc::kModeHanzi) qr_append_bits(s, 0x1, 4);  // GB 2312 subset
  qr_append_bits(s, static_cast<uint32_t>(n), CountBits(mode, version));
  switch (mode) {
    case qrenc::kModeNumeric: WriteNumeric(s, chars, n); break;
    case qrenc::kModeAlphanumeric: WriteAlphanumeric(s, chars, n); break;
    case qrenc::kModeHanzi:
      for (int32_t i = 0; i < n; ++i) qr_append_bits(s, HanziValue(chars[i]), 13);
      break;
    default:
      for (int32_t i = 0; i < n; ++i) qr_append_bits(s, static_cast<uint32_t>(chars[i]) & 0xFF, 8);
      break;
  }
}

}  // namespace

void qr_append_bits(QrBitStream* stream, uint32_t value, int32_t n) {
  while (n > 0 && stream->bitCount < stream->capacityBits) {
    const int32_t room = 8 - (stream->bitCount & 7);
    const int32_t take = std::min(n, room);
    const uint32_t part = (value >> (n - take)) & ((1u << take) - 1);
    stream->bytes[stream->bitCount >> 3] |= static_cast<uint8_t>(part << (room - take));
    stream->bitCount += take;
    n -= take;
  }
}

void qr_build_codewords(int32_t version, int32_t dataCodewords, const char* modes,
                        const int32_t* chars, int32_t count, uint8_t* codewords) {
  std::memset(codewords, 0, static_cast<size_t>(dataCodewords));
  QrBitStream stream{codewords, dataCodewords * 8, 0};
  for (int32_t start = 0; start < count;) {
    int32_t end = start + 1;
    while (end < count && modes[end] == modes[start]) ++end;
    WriteSegment(&stream, version, modes[start], chars + start, end - start);
    start = end;
  }
  qr_append_bits(&stream, 0, 4);  // terminator, cut short when the symbol is full
  int32_t used = (stream.bitCount + 7) / 8;
  for (uint8_t pad = 0xEC; used < dataCodewords; ++used, pad ^= 0xEC ^ 0x11) codewords[used] = pad;
}
