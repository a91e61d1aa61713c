// Standard Windows BMP files (little-endian, uncompressed): the writer of the
// capture snapshots and a reader for pictures handed to `qrtool decode`.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Header fields of a BMP file to write. Pixel rows are given bottom-up, padded
// to 4 bytes, exactly `imageSize` bytes; the colour table has `colorsUsed`
// entries of 4 bytes (blue, green, red, 0).
struct BmpFields {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 1;
  uint16_t bitsPerPixel = 24;
  uint32_t imageSize = 0;
  uint32_t colorsUsed = 0;
};

// Writes "BM", file size = 54 + 4 * colorsUsed + imageSize, pixel offset =
// 54 + 4 * colorsUsed, the 40-byte information header (compression 0,
// resolutions 0, colours important 0), the colour table and the pixels,
// replacing an existing file. Stops at the first failed write.
constexpr int kBmpWritten = 0;
constexpr int kBmpCannotCreate = -1;  // nothing was written
constexpr int kBmpWriteFailed = -2;
int WriteBmpFile(const char* path, const BmpFields& fields, const uint8_t* palette,
                 const uint8_t* pixels);

// A picture as a camera delivers it: 24-bit (blue, green, red) rows,
// bottom-up, each padded to 4 bytes.
struct BgrPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rows;
};

// Reads an uncompressed BMP of 24 or 32 bits per pixel or 8-bit paletted
// (bottom-up or top-down) into a BgrPicture. Returns false with a short
// English reason in `error` for anything else or a damaged file.
bool ReadBmpFile(const std::vector<uint8_t>& file, BgrPicture* picture, std::string* error);
