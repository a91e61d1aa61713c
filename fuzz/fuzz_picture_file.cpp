// Picture files as `qrtool decode` reads them: any bytes through the JPEG, PNG
// and BMP loaders (chosen by the first bytes), then the reduction for the
// reader. A loaded picture must hold exactly the rows its size needs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/picture_file.h"

namespace {

// Small enough for a million runs under the sanitizers (a JPEG header may
// claim any size and libjpeg then decodes that many pixels from nothing),
// large enough for a picture wider than the reader takes, so that the
// reduction runs too.
constexpr int64_t kFuzzMaxPixels = 64 * 1024;

size_t RowsBytes(const BgrPicture& p) {
  return (static_cast<size_t>(p.width) * 3 + 3) / 4 * 4 * static_cast<size_t>(p.height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> file(data, data + size);
  BgrPicture picture;
  std::string error;
  if (!LoadPictureBytes(file, &picture, &error, kFuzzMaxPixels)) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  if (picture.width <= 0 || picture.height <= 0) __builtin_trap();
  if (static_cast<int64_t>(picture.width) * picture.height > kFuzzMaxPixels) __builtin_trap();
  if (picture.rows.size() != RowsBytes(picture)) __builtin_trap();
  FitPictureForReader(&picture);
  if (picture.rows.size() != RowsBytes(picture)) __builtin_trap();
  return 0;
}
