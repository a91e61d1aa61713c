// Random texts with random options through the whole encoder. Every encode
// must end in a defined result; a successful one must describe a valid symbol.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "encoder/qr_encoder.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckSymbol(const QrSymbol* s) {
  Check(s->version >= 1 && s->version <= 40);
  Check(s->ecLevel >= 1 && s->ecLevel <= 4);
  Check(s->rows == 17 + 4 * s->version && s->width == s->rows);
  // Finder corners and the always-dark module are laid whatever the data.
  Check(qr_module_is_set(s, 0, 0) && qr_module_is_set(s, 0, s->rows - 1) &&
        qr_module_is_set(s, s->rows - 1, 0) && qr_module_is_set(s, s->rows - 8, 8));
  Check(!qr_module_is_set(s, 1, 1) && !qr_module_is_set(s, 7, 7));
  for (int r = 0; r < QR_MATRIX_BYTES; ++r) {
    Check((s->modules[r][25] & 0x80) == 0);
    if (r >= s->rows) Check(s->rowHeight[r] == 0);
  }
}

}  // namespace

// Layout: [options byte][version byte][data ...]. Options: bits 0..2 level
// (0..7, values outside 1..4 start from L), bit 3 GB2312_MODE, bit 4 length 0
// (NUL-terminated reading); the version byte is read as below.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 8000) return 0;
  const uint8_t options = data[0];
  // One record for the whole run, reset as qr_create_symbol would make it: a
  // fresh 32 KB allocation per input costs more than the encode itself here.
  static QrSymbol* const record = qr_create_symbol();
  QrSymbol* s = record;
  *s = QrSymbol{};
  s->symbology = QR_SYMBOLOGY_QRCODE;
  s->ecLevel = options & 7;
  // One input in sixteen requests a version (0..41, 41 out of range); the rest
  // choose automatically. Large symbols are slow under the sanitizers, and the
  // tests already build every version.
  s->version = (options & 0xE0) == 0xE0 && (data[1] & 0x80) ? data[1] % 42 : 0;
  s->inputMode = (options & 8) ? GB2312_MODE : DATA_MODE;
  const int32_t requestedLevel = s->ecLevel, requestedVersion = s->version;

  // A private copy with a NUL after it, so that length 0 stops inside it.
  const size_t length = size - 2;
  auto* text = static_cast<uint8_t*>(std::malloc(length + 1));
  std::memcpy(text, data + 2, length);
  text[length] = 0;
  const int32_t code = qr_encode(s, text, (options & 16) ? 0 : static_cast<int32_t>(length));

  if (code == QR_OK) {
    CheckSymbol(s);
    if (requestedVersion >= 1 && requestedVersion <= 40) Check(s->version == requestedVersion);
    if (requestedLevel >= 1 && requestedLevel <= 4) Check(s->ecLevel >= requestedLevel);
  } else {
    Check(code == QR_ERROR_TOO_LONG || code == QR_ERROR_NO_INPUT);
    Check(std::strncmp(s->errorText, "error: ", 7) == 0);
    Check(s->version == requestedVersion && s->ecLevel == requestedLevel && s->rows == 0);
  }
  std::free(text);
  return 0;
}
