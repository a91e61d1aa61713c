// Records for the encoder tests: created with QR Code chosen, deleted on scope exit.
#pragma once
#include <memory>
#include <string_view>

#include "encoder/qr_encoder.h"

namespace enctest {

using Symbol = std::unique_ptr<QrSymbol, void (*)(QrSymbol*)>;

inline Symbol NewSymbol(int32_t level = 0, int32_t version = 0, int32_t mode = DATA_MODE) {
  Symbol s(qr_create_symbol(), qr_delete_symbol);
  s->symbology = QR_SYMBOLOGY_QRCODE;
  s->ecLevel = level;
  s->version = version;
  s->inputMode = mode;
  return s;
}

inline int32_t Encode(QrSymbol* s, std::string_view text) {
  return qr_encode(s, reinterpret_cast<const uint8_t*>(text.data()),
                   static_cast<int32_t>(text.size()));
}

}  // namespace enctest
