// Arbitrary grey images into the whole reader: the first four bytes choose the
// width and height (1..160 each: small enough for a million runs under the
// sanitizers, large enough for several binarisation windows), the rest are
// pixels (repeated to fill).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reader/qr_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int width = 1 + (data[0] | (data[1] << 8)) % 160;
  const int height = 1 + (data[2] | (data[3] << 8)) % 160;
  const uint8_t* pixels = data + 4;
  const size_t count = size - 4;
  std::vector<uint8_t> grey(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = pixels[i % count];
  static DecodeResult results[8];
  int n = qr_read_symbols(grey.data(), width, height, results, 8);
  if (n < 0 || n > 8) __builtin_trap();
  for (int i = 0; i < n; ++i) {
    if (results[i].length >= sizeof results[i].data || results[i].data[results[i].length] != 0) {
      __builtin_trap();
    }
  }
  return 0;
}
