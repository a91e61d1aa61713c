// Frame conversion and decode dispatch: a bottom-up 24/32-bit picture becomes
// the top-down grey image the reader takes; results go to the process-wide
// result table and the caller is told through a notification callback (the
// desktop program posts a DecodeDoneEvent from it). Plain C++, no Qt.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "reader/qr_reader.h"

// Codes passed to the notification callback (and carried by DecodeDoneEvent).
constexpr int32_t DECODE_NOTHING_FOUND = 1;
constexpr int32_t DECODE_RESULTS_READY = 2;
constexpr int32_t DECODE_SNAPSHOT_WRITTEN = 3;
constexpr int32_t DECODE_SHOW_WINDOW = 99;

constexpr int kDecodeTableSize = 8;

// Holds the process's reader lock while alive. Every qr_read_symbols call of
// the process runs under it: the camera decodes on a worker thread while the
// page reads the result table on the UI thread.
class ReaderLock {
 public:
  ReaderLock() : hold_(Mutex()) {}

 private:
  static std::mutex& Mutex();
  std::lock_guard<std::mutex> hold_;
};

// The records and count of the most recent decode. There is one per process,
// because the camera worker fills it and the page reads it; every access takes
// the reader lock.
class DecodeResultTable {
 public:
  static DecodeResultTable& Shared();

  // Forgets the previous results (count 0; the records stay until the next decode).
  void Clear();
  // Zeroes the records and reads `grey` (may be null: nothing is read) into
  // them; the count becomes what was found when anything was. Returns the count found.
  int32_t Read(const uint8_t* grey, int32_t stride, int32_t height);
  // A copy of the current results, so a new decode can refill the table meanwhile.
  std::vector<DecodeResult> Snapshot() const;
  // Replaces the results (tests of the pages; at most kDecodeTableSize records).
  void Publish(const std::vector<DecodeResult>& records);
  // The raw records, zeroed past the count (tests).
  DecodeResult Record(int index) const;

 private:
  DecodeResult records_[kDecodeTableSize] = {};
  int32_t count_ = 0;
};

// Receives DECODE_* codes, from whatever thread decoded. Must only post; may be empty.
using DecodeNotify = std::function<void(int32_t code)>;

// Converts (blue, green, red[, x]) bottom-up rows (stride padded to 4 bytes;
// 4 bytes per pixel when bitsPerPixel is 32, else 3) to grey, decodes with room
// for 8 results, publishes the table and notifies 1 or 2. Always returns 1.
int32_t DecodeFrame(const uint8_t* pixels, int32_t byteCount, int32_t width,
                    int32_t height, int32_t bitsPerPixel, const DecodeNotify& notify);

// Writes a 24-bit camera frame as a BMP file, notifies 3, then decodes it.
// Returns 0 (also when the file cannot be created: then nothing else happens).
int32_t WriteFrameBitmap(const uint8_t* pixels, int32_t byteCount, int32_t width,
                         int32_t height, const char* path, const DecodeNotify& notify);
