// Picture files (JPEG, PNG, BMP) turned into the bottom-up 24-bit rows a camera
// delivers, and decoded through DecodeFrame: what `qrtool decode` and the
// black-box tests share, so both see the camera path's grey image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "capture/bmp_file.h"
#include "reader/qr_reader.h"

// Pictures with more pixels than this are refused rather than loaded.
constexpr int64_t kMaxPicturePixels = 64LL * 1024 * 1024;

// Loads a JPEG, PNG or BMP file (chosen by its first bytes). Returns false
// with a short English reason in `error` when the path is a folder, the file
// cannot be read, is longer than any supported picture can be or is not one.
bool LoadPicture(const std::string& path, BgrPicture* picture, std::string* error);

// As LoadPicture, for the bytes of a picture file already in memory; pictures
// with more than `maxPixels` pixels (at most kMaxPicturePixels) are refused
// before they are decoded.
bool LoadPictureBytes(const std::vector<uint8_t>& file, BgrPicture* picture, std::string* error,
                      int64_t maxPixels = kMaxPicturePixels);

// When the grey image of `picture` (width rounded up to 4) would exceed
// 1280 x 1024, shrinks it by the smallest whole factor that fits, averaging
// each factor x factor box. Returns the factor used (1 = unchanged).
int FitPictureForReader(BgrPicture* picture);

// A grey image (rows top-down, `width` bytes each) as camera rows (bottom-up,
// blue = green = red = the grey value).
BgrPicture PictureFromGrey(const uint8_t* grey, int32_t width, int32_t height);

// The outcome of decoding one picture through DecodeFrame.
struct PictureDecode {
  std::vector<DecodeResult> results;  // copies of the result table records
  int32_t notifyCode = 0;             // the code DecodeFrame notified (1 or 2)
};

// Decodes `picture` exactly as a camera frame of 24 bits per pixel.
PictureDecode DecodePicture(const BgrPicture& picture);
