// The screen path's picture file: the captured picture described by a BMP
// information header, written as "cs.bmp" and decoded.
#pragma once
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/decode_frame.h"

// The 40-byte information header of a BMP file and its colour table.
struct BitmapInfo {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 1;
  uint16_t bitCount = 0;       // as the picture states it
  uint32_t compression = 0;
  uint32_t sizeImage = 0;      // height x DWORD-aligned row bytes
  uint32_t coloursUsed = 0;    // 2^c below 16 bits per pixel, else 0
  std::vector<uint32_t> colourTable;  // coloursUsed entries
};

// The picture in a layout the decoder takes: 24-bit pictures stay 24-bit
// (blue, green, red), everything else becomes 32-bit.
QImage ScreenBitmap(const QImage& picture);

// The header for `bitmap` (its colour depth rounded up to 1, 4, 8, 16, 24 or
// 32); null for a null picture.
std::unique_ptr<BitmapInfo> CreateBitmapInfo(const QImage& bitmap);

// Writes `bitmap` as a BMP file at `path` in the layout `info` describes
// (rows bottom-up, 4-byte aligned), then decodes the same pixels. Returns
// false, without decoding, when the pixels cannot be had or the file cannot be
// written.
bool SaveBitmapToFile(const QString& path, const BitmapInfo& info, const QImage& bitmap,
                      const DecodeNotify& notify);
