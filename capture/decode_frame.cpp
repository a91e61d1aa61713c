// Frame conversion and decode dispatch: grey conversion, the reader call under
// the process-wide lock, the result table and the page notification.
#include "capture/decode_frame.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "capture/bmp_file.h"
#include "capture/frame_grey.h"

std::mutex& ReaderLock::Mutex() {
  static std::mutex lock;
  return lock;
}

DecodeResultTable& DecodeResultTable::Shared() {
  static DecodeResultTable table;
  return table;
}

void DecodeResultTable::Clear() {
  ReaderLock hold;
  count_ = 0;
}

int32_t DecodeResultTable::Read(const uint8_t* grey, int32_t stride, int32_t height) {
  ReaderLock hold;
  std::memset(records_, 0, sizeof records_);
  int32_t found = grey != nullptr ? qr_read_symbols(grey, stride, height, records_, kDecodeTableSize) : 0;
  if (found >= 1) count_ = found;
  return found;
}

std::vector<DecodeResult> DecodeResultTable::Snapshot() const {
  ReaderLock hold;
  int32_t count = count_ < 0 ? 0 : count_ > kDecodeTableSize ? kDecodeTableSize : count_;
  return std::vector<DecodeResult>(records_, records_ + count);
}

void DecodeResultTable::Publish(const std::vector<DecodeResult>& records) {
  ReaderLock hold;
  std::memset(records_, 0, sizeof records_);
  count_ = static_cast<int32_t>(std::min<size_t>(records.size(), kDecodeTableSize));
  std::copy(records.begin(), records.begin() + count_, records_);
}

DecodeResult DecodeResultTable::Record(int index) const {
  ReaderLock hold;
  return records_[index];
}

// The pad columns continue the row without adding an edge of their own: a
// finder cut by the right border ends at the border (a dark pad would widen
// its last module), and a light quiet zone is not stepped up to white (the
// edge scanner would take the step for the module's edge). So: below the
// mean of the row's last 8 pixels, their lightest; otherwise the last pixel.
namespace {

uint8_t PadValue(const uint8_t* row, int32_t width) {
  const int32_t n = width < 8 ? width : 8;
  int32_t sum = 0, lightest = 0;
  for (int32_t x = width - n; x < width; ++x) {
    sum += row[x];
    if (row[x] > lightest) lightest = row[x];
  }
  const int32_t last = row[width - 1];
  return static_cast<uint8_t>(last * n < sum ? lightest : last);
}

}  // namespace

void ConvertFrameToGrey(const uint8_t* pixels, int32_t width, int32_t height,
                        int32_t bitsPerPixel, std::vector<uint8_t>* grey) {
  const int64_t srcStride = FrameStride(width, bitsPerPixel);
  const int bytesPerPixel = bitsPerPixel == 32 ? 4 : 3;
  const int32_t stride = GreyStride(width);
  // Converted in source order first, then flipped: the source is bottom-up.
  std::vector<uint8_t> bottomUp(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = pixels + y * srcStride;
    uint8_t* dst = bottomUp.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int32_t x = 0; x < width; ++x, src += bytesPerPixel) {
      double v = ((src[1] * 0.587) + (src[2] * 0.299)) + (src[0] * 0.114);
      dst[x] = static_cast<uint8_t>(static_cast<int>(v));
    }
    std::memset(dst + width, PadValue(dst, width), static_cast<size_t>(stride - width));
  }
  grey->assign(bottomUp.size(), 0);
  for (int32_t i = 0; i < height; ++i) {
    std::memcpy(grey->data() + static_cast<size_t>(height - 1 - i) * static_cast<size_t>(stride),
                bottomUp.data() + static_cast<size_t>(i) * static_cast<size_t>(stride),
                static_cast<size_t>(stride));
  }
}

int32_t DecodeFrame(const uint8_t* pixels, int32_t byteCount, int32_t width, int32_t height,
                    int32_t bitsPerPixel, const DecodeNotify& notify) {
  DecodeResultTable& table = DecodeResultTable::Shared();
  table.Clear();
  // A picture the reader would refuse (over 1280 x 1024 grey pixels) is not
  // converted at all; a buffer shorter than its rows is never read past its end.
  const bool usable = pixels != nullptr && width > 0 && height > 0 &&
                      GreyStride(width) <= QR_READ_MAX_WIDTH && height <= QR_READ_MAX_HEIGHT &&
                      byteCount >= FrameStride(width, bitsPerPixel) * height;
  std::vector<uint8_t> grey;
  if (usable) ConvertFrameToGrey(pixels, width, height, bitsPerPixel, &grey);
  const int32_t found = table.Read(usable ? grey.data() : nullptr, GreyStride(width), height);
  if (notify) notify(found >= 1 ? DECODE_RESULTS_READY : DECODE_NOTHING_FOUND);
  return 1;
}

int32_t WriteFrameBitmap(const uint8_t* pixels, int32_t byteCount, int32_t width, int32_t height,
                         const char* path, const DecodeNotify& notify) {
  DecodeResultTable::Shared().Clear();
  if (path == nullptr || pixels == nullptr || byteCount < 0) return 0;
  BmpFields fields;
  fields.width = width;
  fields.height = height;
  fields.bitsPerPixel = 24;
  fields.imageSize = static_cast<uint32_t>(byteCount);
  int written = WriteBmpFile(path, fields, nullptr, pixels);
  if (written == kBmpCannotCreate) return 0;  // nothing else happens
  // A snapshot that could not be written completely is not announced as
  // written; the frame is decoded all the same.
  if (written == kBmpWritten && notify) notify(DECODE_SNAPSHOT_WRITTEN);
  DecodeFrame(pixels, byteCount, width, height, 24, notify);
  return 0;
}
