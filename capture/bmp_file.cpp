#include "capture/bmp_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get16(const uint8_t* p) { return p[0] | (p[1] << 8); }

uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint32_t kHeadersSize = 14 + 40;

}  // namespace

int WriteBmpFile(const char* path, const BmpFields& f, const uint8_t* palette,
                 const uint8_t* pixels) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return kBmpCannotCreate;
  const uint32_t tableSize = 4 * f.colorsUsed;
  uint8_t h[kHeadersSize] = {};
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, kHeadersSize + tableSize + f.imageSize);
  Put32(h + 10, kHeadersSize + tableSize);
  Put32(h + 14, 40);
  Put32(h + 18, static_cast<uint32_t>(f.width));
  Put32(h + 22, static_cast<uint32_t>(f.height));
  Put16(h + 26, f.planes);
  Put16(h + 28, f.bitsPerPixel);
  Put32(h + 34, f.imageSize);
  Put32(h + 46, f.colorsUsed);
  bool ok = std::fwrite(h, 1, sizeof h, file) == sizeof h;
  if (ok && tableSize > 0) {
    ok = palette != nullptr && std::fwrite(palette, 1, tableSize, file) == tableSize;
  }
  if (ok && f.imageSize > 0) ok = std::fwrite(pixels, 1, f.imageSize, file) == f.imageSize;
  ok = std::fclose(file) == 0 && ok;
  return ok ? kBmpWritten : kBmpWriteFailed;
}

bool ReadBmpFile(const std::vector<uint8_t>& file, BgrPicture* picture, std::string* error) {
  auto fail = [error](const char* why) {
    *error = why;
    return false;
  };
  if (file.size() < kHeadersSize || file[0] != 'B' || file[1] != 'M') return fail("not a BMP file");
  const uint8_t* d = file.data();
  const uint32_t offset = Get32(d + 10);
  const uint32_t infoSize = Get32(d + 14);
  if (infoSize < 40 || 14 + static_cast<uint64_t>(infoSize) > file.size()) {
    return fail("unsupported BMP header");
  }
  const int32_t width = static_cast<int32_t>(Get32(d + 18));
  const int32_t rawHeight = static_cast<int32_t>(Get32(d + 22));
  const uint32_t bits = Get16(d + 28);
  const uint32_t compression = Get32(d + 30);
  uint32_t colors = Get32(d + 46);
  if (compression != 0) return fail("compressed BMP files are not supported");
  if (bits != 8 && bits != 24 && bits != 32) return fail("only 8, 24 and 32-bit BMP files are supported");
  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || width > 65535 ||
      rawHeight > 65535 || rawHeight < -65535) {
    return fail("bad BMP picture size");
  }
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;
  const uint64_t srcStride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  if (offset > file.size() || srcStride * static_cast<uint64_t>(height) > file.size() - offset) {
    return fail("BMP file is cut short");
  }
  const uint8_t* table = d + 14 + infoSize;
  if (bits == 8) {
    if (colors == 0 || colors > 256) colors = 256;
    if (14 + static_cast<uint64_t>(infoSize) + 4 * colors > offset) return fail("BMP colour table is cut short");
  }

  const uint64_t dstStride = (static_cast<uint64_t>(width) * 3 + 3) / 4 * 4;
  picture->width = width;
  picture->height = height;
  picture->rows.assign(dstStride * static_cast<uint64_t>(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    // Bottom-up in the result whatever the file's order.
    const uint8_t* src = d + offset + srcStride * static_cast<uint64_t>(topDown ? height - 1 - y : y);
    uint8_t* dst = picture->rows.data() + dstStride * static_cast<uint64_t>(y);
    for (int32_t x = 0; x < width; ++x, dst += 3) {
      const uint8_t* p = bits == 8 ? table + 4 * std::min<uint32_t>(src[x], colors - 1)
                                   : src + static_cast<size_t>(x) * (bits / 8);
      std::memcpy(dst, p, 3);
    }
  }
  return true;
}
