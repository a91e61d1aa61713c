#include "capture/ui/screen_bitmap.h"

#include <QFile>
#include <cstring>

#include "capture/bmp_file.h"
#include "capture/decode_frame.h"

namespace {

uint16_t RoundedDepth(int depth) {
  if (depth <= 1) return 1;
  if (depth <= 4) return 4;
  if (depth <= 8) return 8;
  if (depth <= 16) return 16;
  if (depth <= 24) return 24;
  return 32;
}

// Bottom-up rows of `info`'s stride; only 24 and 32 bits per pixel are laid out
// here (ScreenBitmap guarantees one of them).
bool ReadRows(const QImage& bitmap, const BitmapInfo& info, std::vector<uint8_t>* pixels) {
  if (info.bitCount != 24 && info.bitCount != 32) return false;
  QImage source = bitmap.convertToFormat(info.bitCount == 24 ? QImage::Format_BGR888
                                                             : QImage::Format_RGB32);
  const size_t stride = info.sizeImage / static_cast<uint32_t>(info.height);
  const size_t rowBytes = static_cast<size_t>(info.width) * info.bitCount / 8;
  pixels->assign(info.sizeImage, 0);
  for (int y = 0; y < info.height; ++y) {
    std::memcpy(pixels->data() + stride * static_cast<size_t>(info.height - 1 - y),
                source.constScanLine(y), rowBytes);
  }
  return true;
}

}  // namespace

QImage ScreenBitmap(const QImage& picture) {
  if (picture.isNull()) return picture;
  if (picture.depth() == 24) return picture.convertToFormat(QImage::Format_BGR888);
  return picture.convertToFormat(QImage::Format_RGB32);
}

std::unique_ptr<BitmapInfo> CreateBitmapInfo(const QImage& bitmap) {
  if (bitmap.isNull()) return nullptr;
  auto info = std::make_unique<BitmapInfo>();
  const uint16_t c = RoundedDepth(bitmap.depth());
  info->width = bitmap.width();
  info->height = bitmap.height();
  info->bitCount = static_cast<uint16_t>(bitmap.depth());
  info->sizeImage = static_cast<uint32_t>(info->height) *
                    ((static_cast<uint32_t>(info->width) * c + 31) / 32 * 4);
  if (c < 16) {
    info->coloursUsed = 1u << c;
    info->colourTable.assign(info->coloursUsed, 0);
  }
  return info;
}

bool SaveBitmapToFile(const QString& path, const BitmapInfo& info, const QImage& bitmap,
                      const DecodeNotify& notify) {
  std::vector<uint8_t> pixels;
  if (info.width <= 0 || info.height <= 0 || !ReadRows(bitmap, info, &pixels)) return false;

  BmpFields fields;
  fields.width = info.width;
  fields.height = info.height;
  fields.planes = info.planes;
  fields.bitsPerPixel = info.bitCount;
  fields.imageSize = info.sizeImage;
  fields.colorsUsed = info.coloursUsed;
  const uint8_t* palette = info.colourTable.empty()
                               ? nullptr
                               : reinterpret_cast<const uint8_t*>(info.colourTable.data());
  const QByteArray file = QFile::encodeName(path);
  if (WriteBmpFile(file.constData(), fields, palette, pixels.data()) != kBmpWritten) return false;
  DecodeFrame(pixels.data(), static_cast<int32_t>(pixels.size()), info.width, info.height,
              info.bitCount, notify);
  return true;
}
