#include "encoder/segmentation.h"

#include "encoder/qr_encoder.h"
#include "qrcore/qr_standard.h"

namespace {

using qrstd::kAlphanumericSet;

struct AlphanumericTable {
  int8_t value[128];
};

constexpr AlphanumericTable BuildAlphanumericTable() {
  AlphanumericTable t{};
  for (int8_t& v : t.value) v = -1;
  for (int8_t i = 0; i < 45; ++i) t.value[static_cast<uint8_t>(kAlphanumericSet[i])] = i;
  return t;
}

constexpr AlphanumericTable kAlphanumeric = BuildAlphanumericTable();

bool IsLeadByte(uint8_t b, int32_t inputMode) { return inputMode == GB2312_MODE && b >= 0x80; }

char BaseMode(int32_t c) {
  if (c >= 256) return qr_is_gb2312(c) ? qrenc::kModeHanzi : qrenc::kModeByte;
  if (c >= '0' && c <= '9') return qrenc::kModeNumeric;
  if (qr_is_alphanumeric(c)) return qrenc::kModeAlphanumeric;
  return qrenc::kModeByte;
}

// Turns every maximal run of `from` shorter than `minLength` into `to`; with
// `onlyAfter` set, only runs directly preceded by a character of that mode.
void DemoteShortRuns(char* modes, int32_t count, char from, char to, int32_t minLength,
                     char onlyAfter) {
  int32_t i = 0;
  while (i < count) {
    if (modes[i] != from) {
      ++i;
      continue;
    }
    int32_t end = i;
    while (end < count && modes[end] == from) ++end;
    const bool eligible = onlyAfter == 0 || (i > 0 && modes[i - 1] == onlyAfter);
    if (end - i < minLength && eligible) {
      for (int32_t k = i; k < end; ++k) modes[k] = to;
    }
    i = end;
  }
}

}  // namespace

int32_t qr_count_characters(const uint8_t* text, int32_t length, int32_t inputMode) {
  int32_t count = 0;
  for (int32_t i = 0; i < length; ++i, ++count) {
    if (IsLeadByte(text[i], inputMode) && i + 1 < length) ++i;
  }
  return count;
}

int32_t qr_make_characters(const uint8_t* text, int32_t length, int32_t inputMode,
                           int32_t* chars) {
  int32_t count = 0;
  for (int32_t i = 0; i < length; ++i) {
    int32_t c = text[i];
    if (IsLeadByte(text[i], inputMode) && i + 1 < length) c = (c << 8) | text[++i];
    chars[count++] = c;
  }
  return count;
}

int32_t qr_alphanumeric_value(int32_t c) {
  return c >= 0 && c < 128 ? kAlphanumeric.value[c] : -1;
}

bool qr_is_alphanumeric(int32_t c) { return qr_alphanumeric_value(c) >= 0; }

bool qr_is_gb2312(int32_t c) {
  const int32_t first = c >> 8;
  const int32_t second = c & 0xFF;
  const bool firstOk = (first >= 0xA1 && first <= 0xAA) || (first >= 0xB0 && first <= 0xFA);
  return firstOk && second >= 0xA1 && second <= 0xFE;
}

void qr_classify_modes(const int32_t* chars, int32_t count, int32_t /*inputMode*/, char* modes) {
  for (int32_t i = 0; i < count; ++i) modes[i] = BaseMode(chars[i]);
  DemoteShortRuns(modes, count, qrenc::kModeNumeric, qrenc::kModeAlphanumeric, 6, 0);
  DemoteShortRuns(modes, count, qrenc::kModeAlphanumeric, qrenc::kModeByte, 6, 0);
  DemoteShortRuns(modes, count, qrenc::kModeHanzi, qrenc::kModeByte, 4, qrenc::kModeByte);
}

int32_t qr_split_double_bytes(const int32_t* chars, const char* modes, int32_t count,
                              int32_t* outChars, char* outModes) {
  int32_t n = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (chars[i] >= 256 && modes[i] == qrenc::kModeByte) {
      outChars[n] = chars[i] >> 8;
      outModes[n++] = qrenc::kModeByte;
      outChars[n] = chars[i] & 0xFF;
    } else {
      outChars[n] = chars[i];
    }
    outModes[n++] = modes[i];
  }
  return n;
}

int32_t qr_estimate_bits(const char* modes, int32_t count) {
  int32_t bits = 0;
  char current = 0;
  int32_t position = 0;  // index of the character within its digit group or pair
  for (int32_t i = 0; i < count; ++i) {
    const char mode = modes[i];
    if (mode != current) {
      current = mode;
      position = 0;
      bits += mode == qrenc::kModeNumeric ? 18 : mode == qrenc::kModeAlphanumeric ? 17 : 20;
    }
    switch (mode) {
      case qrenc::kModeNumeric:
        bits += position == 0 ? 4 : 3;
        position = (position + 1) % 3;
        break;
      case qrenc::kModeAlphanumeric:
        bits += position == 0 ? 6 : 5;
        position ^= 1;
        break;
      case qrenc::kModeHanzi:
        bits += 13;
        break;
      default:
        bits += 8;
        break;
    }
  }
  return bits;
}
