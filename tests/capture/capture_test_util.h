// Helpers of the capture tests: symbols from our encoder drawn into grey
// pictures, and a notification recorder.
#pragma once
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <fstream>
#include <iterator>

#include "capture/bmp_file.h"
#include "capture/decode_frame.h"
#include "encoder/qr_encoder.h"

namespace captest {

// A grey canvas (rows top-down), white.
struct Canvas {
  int32_t width, height;
  std::vector<uint8_t> grey;
  Canvas(int32_t w, int32_t h) : width(w), height(h), grey(static_cast<size_t>(w * h), 255) {}
};

using SymbolPtr = std::unique_ptr<QrSymbol, void (*)(QrSymbol*)>;

// Our encoder's symbol for `text` (bytes as given); null when encoding failed.
inline SymbolPtr Encode(const std::string& text, int version = 0, int level = 2) {
  SymbolPtr s(qr_create_symbol(), qr_delete_symbol);
  s->symbology = QR_SYMBOLOGY_QRCODE;
  s->ecLevel = level;
  s->version = version;
  if (qr_encode(s.get(), reinterpret_cast<const uint8_t*>(text.data()),
                static_cast<int32_t>(text.size())) != QR_OK) {
    s.reset();
  }
  return s;
}

// Encodes `text` and draws it at (x, y) with `px` pixels per module; returns
// the symbol side in modules, 0 when encoding failed.
inline int DrawCode(Canvas* c, const std::string& text, int x, int y, int px, int version = 0,
                    int level = 2) {
  SymbolPtr s = Encode(text, version, level);
  if (!s) return 0;
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

// Records the notifications with the count of the result table at that moment.
struct Notice {
  int32_t code;
  int32_t countAtNotice;
};

inline std::vector<Notice>& Notices() {
  static std::vector<Notice> notices;
  return notices;
}

inline void RecordNotice(int32_t code) { Notices().push_back({code, g_decodeCount}); }

// Installs the recorder for one test.
struct NoticeScope {
  NoticeScope() {
    Notices().clear();
    SetDecodeNotifyHook(RecordNotice);
  }
  ~NoticeScope() { SetDecodeNotifyHook(nullptr); }
};

inline std::string TempDir(const std::string& name) {
  std::string dir = std::string(QRTOOL_TEST_TMP) + "/" + name;
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes camera rows as a 24-bit BMP file.
inline int WriteBmp(const std::string& path, const BgrPicture& p) {
  BmpFields f;
  f.width = p.width;
  f.height = p.height;
  f.imageSize = static_cast<uint32_t>(p.rows.size());
  return WriteBmpFile(path.c_str(), f, nullptr, p.rows.data());
}

}  // namespace captest
