// Grey pictures: symbols from our encoder drawn into them for the tests that
// feed the decode path, and picture files read back into them.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/picture_file.h"
#include "encoder/qr_encoder.h"

namespace testimage {

// A white grey picture, rows top-down.
struct Canvas {
  int32_t width, height;
  std::vector<uint8_t> grey;
  Canvas(int32_t w, int32_t h) : width(w), height(h), grey(static_cast<size_t>(w * h), 255) {}
};

// Encodes `text` (bytes as given) at level M and draws it at (x, y) with `px`
// pixels per module; returns the symbol side in modules, 0 when encoding failed.
inline int DrawCode(Canvas* c, const std::string& text, int x, int y, int px) {
  std::unique_ptr<QrSymbol, void (*)(QrSymbol*)> s(qr_create_symbol(), qr_delete_symbol);
  s->symbology = QR_SYMBOLOGY_QRCODE;
  s->ecLevel = 2;
  if (qr_encode(s.get(), reinterpret_cast<const uint8_t*>(text.data()),
                static_cast<int32_t>(text.size())) != QR_OK) {
    return 0;
  }
  for (int r = 0; r < s->rows; ++r) {
    for (int col = 0; col < s->width; ++col) {
      if (!qr_module_is_set(s.get(), r, col)) continue;
      for (int dy = 0; dy < px; ++dy) {
        for (int dx = 0; dx < px; ++dx) {
          int gx = x + col * px + dx, gy = y + r * px + dy;
          if (gx >= 0 && gx < c->width && gy >= 0 && gy < c->height) c->grey[gy * c->width + gx] = 0;
        }
      }
    }
  }
  return s->width;
}

// The grey pixels of a JPEG, PNG or BMP file (blue channel, rows top-down)
// through the product's loader, which picture_file_test checks; 0 x 0 when
// unreadable. Callers link qrframe.
inline Canvas ReadGrey(const std::string& path) {
  BgrPicture p;
  std::string error;
  if (!LoadPicture(path, &p, &error)) return Canvas(0, 0);
  Canvas c(p.width, p.height);
  const size_t stride = static_cast<size_t>(p.width * 3 + 3) / 4 * 4;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      c.grey[static_cast<size_t>(y * p.width + x)] = p.rows[(p.height - 1 - y) * stride + 3 * x];
    }
  }
  return c;
}

}  // namespace testimage
