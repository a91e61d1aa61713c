#include "capture/picture_file.h"

#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "capture/decode_frame.h"

namespace {

int64_t RowStride(int32_t width) { return (static_cast<int64_t>(width) * 3 + 3) / 4 * 4; }

bool SizeAcceptable(int64_t width, int64_t height, int64_t maxPixels, std::string* error) {
  if (width <= 0 || height <= 0 || width * height > maxPixels) {
    *error = "picture size not supported";
    return false;
  }
  return true;
}

// --- JPEG (libjpeg; errors return through longjmp instead of exit()) ----------

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
  JpegError* err = reinterpret_cast<JpegError*>(info->err);
  info->err->format_message(info, err->message);
  std::longjmp(err->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

bool LoadJpeg(const std::vector<uint8_t>& file, int64_t maxPixels, BgrPicture* picture,
              std::string* error) {
  jpeg_decompress_struct info;
  JpegError err;
  info.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegSilence;
  // Everything the longjmp may skip over lives outside this frame's locals.
  std::vector<uint8_t> line;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    *error = std::string("bad JPEG file: ") + err.message;
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  // Before decompression starts: a progressive file's coefficient buffers for
  // the size its header claims are allocated there, gigabytes for a few bytes.
  if (!SizeAcceptable(info.image_width, info.image_height, maxPixels, error)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = info.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&info);
  const int32_t w = static_cast<int32_t>(info.output_width);
  const int32_t h = static_cast<int32_t>(info.output_height);
  const int comps = info.output_components;
  if (!SizeAcceptable(w, h, maxPixels, error) || (comps != 1 && comps != 3)) {
    jpeg_destroy_decompress(&info);
    if (error->empty()) *error = "unsupported JPEG colour format";
    return false;
  }
  picture->width = w;
  picture->height = h;
  picture->rows.assign(static_cast<size_t>(RowStride(w) * h), 0);
  line.resize(static_cast<size_t>(w) * static_cast<size_t>(comps));
  while (info.output_scanline < info.output_height) {
    const int32_t y = static_cast<int32_t>(info.output_scanline);  // from the top
    JSAMPROW row = line.data();
    jpeg_read_scanlines(&info, &row, 1);
    uint8_t* dst = picture->rows.data() + RowStride(w) * (h - 1 - y);
    for (int32_t x = 0; x < w; ++x, dst += 3) {
      const uint8_t* p = line.data() + static_cast<size_t>(x) * static_cast<size_t>(comps);
      dst[0] = p[comps == 3 ? 2 : 0];
      dst[1] = p[comps == 3 ? 1 : 0];
      dst[2] = p[0];
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

// --- PNG (libpng's simplified reader; transparency shows white) ----------------

bool LoadPng(const std::vector<uint8_t>& file, int64_t maxPixels, BgrPicture* picture,
             std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
    *error = std::string("bad PNG file: ") + image.message;
    return false;
  }
  if (!SizeAcceptable(image.width, image.height, maxPixels, error)) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGR;
  const int32_t w = static_cast<int32_t>(image.width);
  const int32_t h = static_cast<int32_t>(image.height);
  picture->width = w;
  picture->height = h;
  picture->rows.assign(static_cast<size_t>(RowStride(w) * h), 0);
  png_color white{255, 255, 255};
  // A negative stride stores the rows bottom-up; libpng finds the last row of
  // the buffer itself.
  if (!png_image_finish_read(&image, &white, picture->rows.data(),
                             -static_cast<png_int_32>(RowStride(w)),
                             nullptr)) {
    *error = std::string("bad PNG file: ") + image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

// The largest file a supported picture can need: the largest picture at 32
// bits per pixel plus headers. Anything longer is refused rather than read.
constexpr int64_t kMaxPictureFileBytes = 4 * kMaxPicturePixels + 65536;

// Reads a whole file. A folder opens like a file but fails on reading, so it
// is refused up front; a device that never ends stops at the size limit.
// Pipes are read, so that `qrtool decode <(command)` works.
bool ReadPictureFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = "it is a folder, not a picture file";
    return false;
  }
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) {
    *error = "cannot open the file";
    return false;
  }
  constexpr size_t kChunk = 65536;
  size_t used = 0, n = 0;
  do {
    bytes->resize(used + kChunk);
    n = std::fread(bytes->data() + used, 1, kChunk, in);
    used += n;
  } while (n == kChunk && static_cast<int64_t>(used) <= kMaxPictureFileBytes);
  bytes->resize(used);
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) *error = "cannot read the file";
  if (static_cast<int64_t>(bytes->size()) > kMaxPictureFileBytes) *error = "file too large";
  return error->empty();
}

}  // namespace

bool LoadPictureBytes(const std::vector<uint8_t>& file, BgrPicture* picture, std::string* error,
                      int64_t maxPixels) {
  error->clear();
  maxPixels = std::min(maxPixels, kMaxPicturePixels);
  if (file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF) {
    return LoadJpeg(file, maxPixels, picture, error);
  }
  if (file.size() >= 8 && std::memcmp(file.data(), "\x89PNG\r\n\x1a\n", 8) == 0) {
    return LoadPng(file, maxPixels, picture, error);
  }
  if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') {
    if (!ReadBmpFile(file, picture, error)) return false;
    return SizeAcceptable(picture->width, picture->height, maxPixels, error);
  }
  *error = "not a JPEG, PNG or BMP picture";
  return false;
}

bool LoadPicture(const std::string& path, BgrPicture* picture, std::string* error) {
  std::vector<uint8_t> file;
  error->clear();
  if (!ReadPictureFile(path, &file, error)) return false;
  return LoadPictureBytes(file, picture, error);
}

int FitPictureForReader(BgrPicture* picture) {
  int f = 1;
  auto fits = [&](int k) {
    int32_t w = picture->width / k;
    return (w + 3) / 4 * 4 <= QR_READ_MAX_WIDTH && picture->height / k <= QR_READ_MAX_HEIGHT;
  };
  while (!fits(f)) ++f;
  if (f == 1) return 1;
  const int32_t srcW = picture->width, srcH = picture->height;
  const int32_t w = std::max(1, srcW / f);
  const int32_t h = std::max(1, srcH / f);
  BgrPicture out;
  out.width = w;
  out.height = h;
  out.rows.assign(static_cast<size_t>(RowStride(w) * h), 0);
  const int64_t srcStride = RowStride(srcW);
  for (int32_t y = 0; y < h; ++y) {
    // Rows are bottom-up on both sides; the box of output row y starts at
    // source row y * f (leftover rows at the top are dropped). Boxes of a
    // picture thinner than the factor hold fewer pixels.
    const int32_t rows = std::min(f, srcH - y * f);
    uint8_t* dst = out.rows.data() + RowStride(w) * y;
    for (int32_t x = 0; x < w; ++x) {
      const int32_t cols = std::min(f, srcW - x * f);
      const int area = rows * cols;
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int dy = 0; dy < rows; ++dy) {
          const uint8_t* src = picture->rows.data() + srcStride * (y * f + dy) + 3 * x * f + c;
          for (int dx = 0; dx < cols; ++dx) sum += src[3 * dx];
        }
        dst[3 * x + c] = static_cast<uint8_t>((sum + area / 2) / area);
      }
    }
  }
  *picture = std::move(out);
  return f;
}

BgrPicture PictureFromGrey(const uint8_t* grey, int32_t width, int32_t height) {
  BgrPicture p;
  p.width = width;
  p.height = height;
  p.rows.assign(static_cast<size_t>(RowStride(width) * height), 0);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* dst = p.rows.data() + RowStride(width) * (height - 1 - y);
    const uint8_t* src = grey + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x) dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = src[x];
  }
  return p;
}

PictureDecode DecodePicture(const BgrPicture& picture) {
  PictureDecode out;
  DecodeFrame(picture.rows.data(), static_cast<int32_t>(picture.rows.size()), picture.width,
              picture.height, 24, [&out](int32_t code) { out.notifyCode = code; });
  out.results = DecodeResultTable::Shared().Snapshot();
  return out;
}
