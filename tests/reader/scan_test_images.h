// Synthetic grey pictures for the scan-stage tests.
#pragma once
#include <cstdint>
#include <vector>

namespace qrread::testimg {

struct Grey {
  int width, height;
  std::vector<uint8_t> px;
  Grey(int w, int h, uint8_t fill = 230) : width(w), height(h), px(size_t(w) * h, fill) {}
  void Fill(int x0, int y0, int w, int h, uint8_t v) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x)
        if (x >= 0 && y >= 0 && x < width && y < height) px[size_t(y) * width + x] = v;
  }
  // A 7 x 7 module finder pattern with its upper-left corner at (x, y).
  void Finder(int x, int y, int module, uint8_t dark = 20, uint8_t light = 230) {
    Fill(x, y, 7 * module, 7 * module, dark);
    Fill(x + module, y + module, 5 * module, 5 * module, light);
    Fill(x + 2 * module, y + 2 * module, 3 * module, 3 * module, dark);
  }
};

}  // namespace qrread::testimg

#include <cstring>
#include <string>

#include "encoder/qr_encoder.h"

namespace qrread::testimg {

// Draws an encoded symbol at (x, y) with `module` pixels per module; returns
// the symbol's side in modules, 0 when the text could not be encoded.
// `levelUsed` (optional) receives the encoder's level 1..4 (it may raise the
// requested one when the version has room).
inline int DrawCode(Grey* g, const std::string& text, int x, int y, int module,
                    int version = 0, int level = 2, int* levelUsed = nullptr) {
  QrSymbol* sym = qr_create_symbol();
  if (sym == nullptr) return 0;
  sym->symbology = QR_SYMBOLOGY_QRCODE;
  sym->ecLevel = level;
  sym->version = version;
  int side = 0;
  if (qr_encode(sym, reinterpret_cast<const uint8_t*>(text.data()),
                static_cast<int32_t>(text.size())) == QR_OK) {
    side = sym->width;
    if (levelUsed != nullptr) *levelUsed = sym->ecLevel;
    for (int r = 0; r < side; ++r)
      for (int c = 0; c < side; ++c)
        g->Fill(x + c * module, y + r * module, module, module,
                qr_module_is_set(sym, r, c) ? 20 : 230);
  }
  qr_delete_symbol(sym);
  return side;
}

}  // namespace qrread::testimg
