// zxing-cpp, the independent reader, reading a grey picture.
#pragma once
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include <string>

#include "tests/support/grey_image.h"

namespace testimage {

// The data bytes of the QR code zxing-cpp finds in `c` (the text instead with
// `asText`, for Hanzi segments), "" when none; `level` receives its level letter.
inline std::string ReadQr(const Canvas& c, std::string* level = nullptr, bool asText = false) {
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  hints.setTryRotate(false);
  hints.setTryDownscale(false);
  const ZXing::Result r = ZXing::ReadBarcode(
      ZXing::ImageView(c.grey.data(), c.width, c.height, ZXing::ImageFormat::Lum), hints);
  if (level != nullptr) *level = r.ecLevel();
  if (!r.isValid()) return "";
  return asText ? r.text() : std::string(r.bytes().begin(), r.bytes().end());
}

}  // namespace testimage
