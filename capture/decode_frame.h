// Frame conversion and decode dispatch: a bottom-up 24/32-bit picture becomes
// the top-down grey image the reader takes; results go to the process-wide
// result table and the decode page is told through a notification hook
// (the desktop program posts WM_DECODE_DONE from it). Plain C++, no Qt.
#pragma once
#include <cstdint>
#include <mutex>

#include "reader/qr_reader.h"

// Codes passed to the notification hook (lParam of WM_DECODE_DONE).
constexpr int32_t DECODE_NOTHING_FOUND = 1;
constexpr int32_t DECODE_RESULTS_READY = 2;
constexpr int32_t DECODE_SNAPSHOT_WRITTEN = 3;
constexpr int32_t DECODE_SHOW_WINDOW = 99;

constexpr int kDecodeTableSize = 8;

// The result table: records and count of the most recent decode.
extern DecodeResult g_decodeResults[kDecodeTableSize];
extern int32_t g_decodeCount;

// Serialises every qr_read_symbols call of the process; also held by the
// decode page while it copies the result table.
std::mutex& ReaderLock();

// Called with DECODE_* codes, from whatever thread decoded. Must only post.
using DecodeNotifyHook = void (*)(int32_t code);
void SetDecodeNotifyHook(DecodeNotifyHook hook);
void NotifyDecodePage(int32_t code);

// Converts (blue, green, red[, x]) bottom-up rows (stride padded to 4 bytes;
// 4 bytes per pixel when bitsPerPixel is 32, else 3) to grey, decodes with room
// for 8 results, publishes the table and notifies 1 or 2. Always returns 1.
int32_t DecodeFrame(const uint8_t* pixels, int32_t byteCount, int32_t width,
                    int32_t height, int32_t bitsPerPixel);

// Writes a 24-bit camera frame as a BMP file, notifies 3, then decodes it.
// Returns 0 (also when the file cannot be created: then nothing else happens).
int32_t WriteFrameBitmap(const uint8_t* pixels, int32_t byteCount, int32_t width,
                         int32_t height, const char* path);
