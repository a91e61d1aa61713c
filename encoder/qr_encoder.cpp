// The record, the encode entry and the driver that runs the stages in order:
// characters -> modes -> estimate -> level and version -> codewords -> EC and
// interleaving -> matrix -> mask -> format and version information -> record.
#include "encoder/qr_encoder.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "encoder/bit_stream.h"
#include "encoder/ecc_interleave.h"
#include "encoder/mask.h"
#include "encoder/matrix.h"
#include "qrcore/qr_standard.h"
#include "encoder/segmentation.h"
#include "encoder/symbol_choice.h"

namespace {

constexpr int32_t kCreatedSymbology = 20;
constexpr int32_t kErrorBadSymbology = 8;  // "Symbology not supported"

struct EncodeResult {
  int32_t code;
  const char* message;  // without the "error: " prefix
};

constexpr EncodeResult kOk{QR_OK, nullptr};

void SetErrorText(QrSymbol* symbol, const char* message) {
  std::snprintf(symbol->errorText, sizeof symbol->errorText, "error: %s", message);
}

// The text as characters with their modes; double-byte characters sent as
// bytes are already split into their two bytes.
struct Characters {
  std::vector<int32_t> values;
  std::vector<char> modes;
};

void SegmentText(const uint8_t* text, int32_t length, int32_t inputMode, int32_t count,
                 Characters* out) {
  std::vector<int32_t> chars(static_cast<size_t>(count));
  std::vector<char> modes(static_cast<size_t>(count));
  qr_make_characters(text, length, inputMode, chars.data());
  qr_classify_modes(chars.data(), count, inputMode, modes.data());
  if (inputMode != GB2312_MODE) {
    out->values = std::move(chars);
    out->modes = std::move(modes);
    return;
  }
  out->values.resize(2 * static_cast<size_t>(count));
  out->modes.resize(2 * static_cast<size_t>(count));
  const int32_t n = qr_split_double_bytes(chars.data(), modes.data(), count, out->values.data(),
                                          out->modes.data());
  out->values.resize(static_cast<size_t>(n));
  out->modes.resize(static_cast<size_t>(n));
}

// Builds the finished module matrix of `choice` from the data codewords.
void BuildMatrix(const QrChoice& choice, const uint8_t* data, uint8_t* matrix) {
  const int32_t version = choice.version;
  const int32_t size = qrstd::SymbolSize(version);
  std::array<uint8_t, 3706> codewords;
  qr_add_ecc_interleave(version, qrstd::DataCodewords(version, choice.level),
                        qrstd::BlockCount(version, choice.level), data, codewords.data());
  std::memset(matrix, 0, static_cast<size_t>(size * size));
  qr_place_function_patterns(matrix, size, version);
  qr_place_codewords(matrix, size, codewords.data(), qrstd::TotalCodewords(version));
  const int32_t mask = qr_select_mask(matrix, size);
  qr_place_format_info(matrix, size, choice.level, mask);
  qr_place_version_info(matrix, size, version);
}

void CopyToRecord(const QrChoice& choice, const uint8_t* matrix, QrSymbol* symbol) {
  const int32_t size = qrstd::SymbolSize(choice.version);
  for (int32_t r = 0; r < size; ++r) {
    uint8_t* out = symbol->modules[r];
    const uint8_t* row = matrix + r * size;
    for (int32_t c = 0, byte = 0, bit = 0; c < size; ++c) {
      out[byte] |= static_cast<uint8_t>((row[c] & qrenc::kCellDark) << bit);
      if (++bit == 7) {  // seven modules per byte
        bit = 0;
        ++byte;
      }
    }
    symbol->rowHeight[r] = 1;
  }
  symbol->rows = size;
  symbol->width = size;
  symbol->ecLevel = choice.level + 1;
  symbol->version = choice.version;
}

EncodeResult EncodeQr(QrSymbol* symbol, const uint8_t* text, int32_t length) {
  const int32_t count = qr_count_characters(text, length, symbol->inputMode);
  // More characters than any symbol holds: refuse before allocating for them.
  if (count > qrenc::kMaxCharacters) {
    return {QR_ERROR_TOO_LONG, "Input too long for selected error correction level"};
  }
  Characters chars;
  SegmentText(text, length, symbol->inputMode, count, &chars);
  const int32_t n = static_cast<int32_t>(chars.values.size());
  const int32_t bits = qr_estimate_bits(chars.modes.data(), n);

  QrChoice choice{};
  switch (qr_choose_symbol(bits, symbol->ecLevel, symbol->version, &choice)) {
    case QrChoiceResult::kTooLongForLevel:
      return {QR_ERROR_TOO_LONG, "Input too long for selected error correction level"};
    case QrChoiceResult::kTooLongForVersion:
      return {QR_ERROR_TOO_LONG, "Input too long for selected version"};
    case QrChoiceResult::kOk:
      break;
  }
  std::array<uint8_t, 2956> data;
  qr_build_codewords(choice.version, qrstd::DataCodewords(choice.version, choice.level),
                     chars.modes.data(), chars.values.data(), n, data.data());
  std::array<uint8_t, qrenc::kMaxSize * qrenc::kMaxSize> matrix;
  BuildMatrix(choice, data.data(), matrix.data());
  CopyToRecord(choice, matrix.data(), symbol);
  return kOk;
}

EncodeResult Encode(QrSymbol* symbol, const uint8_t* text, int32_t length) {
  if (text != nullptr && length == 0) length = static_cast<int32_t>(std::strlen(
                                          reinterpret_cast<const char*>(text)));
  if (text == nullptr || length <= 0) return {QR_ERROR_NO_INPUT, "No input data"};
  if (symbol->symbology != QR_SYMBOLOGY_QRCODE) {
    return {kErrorBadSymbology, "Symbology not supported"};
  }
  try {
    return EncodeQr(symbol, text, length);
  } catch (const std::bad_alloc&) {
    return {QR_ERROR_MEMORY, "Insufficient memory"};
  }
}

}  // namespace

QrSymbol* qr_create_symbol() {
  auto* symbol = new (std::nothrow) QrSymbol{};
  if (symbol == nullptr) return nullptr;
  symbol->symbology = kCreatedSymbology;
  symbol->ecLevel = -1;
  symbol->version = 0;
  symbol->inputMode = DATA_MODE;
  return symbol;
}

int32_t qr_encode(QrSymbol* symbol, const uint8_t* text, int32_t length) {
  if (symbol == nullptr) return QR_ERROR_NO_INPUT;
  const EncodeResult result = Encode(symbol, text, length);
  if (result.code != QR_OK) SetErrorText(symbol, result.message);
  return result.code;
}

void qr_delete_symbol(QrSymbol* symbol) { delete symbol; }

int32_t qr_version_capacity(int32_t version, int32_t capacities[4]) {
  if (version < qrstd::kMinVersion || version > qrstd::kMaxVersion) return -1;
  for (int level = 0; level < 4; ++level) capacities[level] = qrstd::DataCodewords(version, level);
  return 0;
}

int32_t qr_module_is_set(const QrSymbol* symbol, int32_t row, int32_t column) {
  if (row < 0 || row >= QR_MATRIX_BYTES || column < 0 || column >= QR_MATRIX_BYTES) return 0;
  return (symbol->modules[row][column / 7] >> (column % 7)) & 1;
}

void qr_set_module(QrSymbol* symbol, int32_t row, int32_t column) {
  if (row < 0 || row >= QR_MATRIX_BYTES || column < 0 || column >= QR_MATRIX_BYTES) return;
  symbol->modules[row][column / 7] |= static_cast<uint8_t>(1u << (column % 7));
}
