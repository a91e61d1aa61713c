#include "generation/symbol_formats.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "generation/symbol_picture.h"

namespace symbolfile {

namespace {

constexpr uint8_t kDark = 0;
constexpr uint8_t kLight = 255;

bool ModuleIsDark(const QrSymbol& symbol, int row, int column) {
  return (symbol.modules[row][column / 7] >> (column % 7)) & 1;
}

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  std::string_view tail = name.substr(name.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// Closes `file` after writing; a full disk may only show when the buffered
// tail is flushed. On any failure the partial file goes. Returns `side` when
// everything was written, else 0.
int32_t FinishFile(std::FILE* file, const char* path, bool written, int32_t side) {
  bool ok = written && std::fflush(file) == 0 && !std::ferror(file);
  ok = std::fclose(file) == 0 && ok;
  if (ok) return side;
  RemovePartialPicture(path);
  return 0;
}

// The whole picture, rows top-down, one grey byte per pixel; null when memory
// cannot be had.
std::unique_ptr<uint8_t[]> RenderPixels(const QrSymbol& symbol, const PictureGeometry& g) {
  const size_t side = static_cast<size_t>(g.side);
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[side * side]);
  if (!pixels) return nullptr;
  std::memset(pixels.get(), kLight, side * side);
  for (int r = 0; r < g.modules; ++r) {
    uint8_t* line = pixels.get() + static_cast<size_t>((r + g.quiet) * g.scale) * side;
    for (int c = 0; c < g.modules; ++c) {
      if (ModuleIsDark(symbol, r, c)) {
        std::memset(line + (c + g.quiet) * g.scale, kDark, static_cast<size_t>(g.scale));
      }
    }
    // The other pixel lines of this module row are copies of the first.
    for (int i = 1; i < g.scale; ++i) std::memcpy(line + i * side, line, side);
  }
  return pixels;
}

// libpng's simplified writer: its errors come back as a 0 result, never
// through a jump out of this frame.
bool WritePng(const uint8_t* pixels, const PictureGeometry& g, std::FILE* file) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(g.side);
  image.height = static_cast<png_uint_32>(g.side);
  image.format = PNG_FORMAT_GRAY;
  bool ok = png_image_write_to_stdio(&image, file, 0, pixels, 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

// Each run of dark modules in a row becomes one rectangle of the path, in
// module units with the quiet zone as the origin's offset.
void WriteSvgRuns(const QrSymbol& symbol, const PictureGeometry& g, std::FILE* file) {
  for (int r = 0; r < g.modules; ++r) {
    for (int c = 0; c < g.modules;) {
      if (!ModuleIsDark(symbol, r, c)) {
        ++c;
        continue;
      }
      int end = c;
      while (end < g.modules && ModuleIsDark(symbol, r, end)) ++end;
      std::fprintf(file, "M%d %dh%dv1h-%dz", c + g.quiet, r + g.quiet, end - c, end - c);
      c = end;
    }
    std::fputc('\n', file);
  }
}

void WriteSvg(const QrSymbol& symbol, const PictureGeometry& g, std::FILE* file) {
  const int units = g.modules + 2 * g.quiet;
  std::fprintf(file,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%d\" "
               "height=\"%d\" viewBox=\"0 0 %d %d\" shape-rendering=\"crispEdges\">\n"
               "<rect width=\"%d\" height=\"%d\" fill=\"#fff\"/>\n<path fill=\"#000\" d=\"\n",
               g.side, g.side, units, units, units, units);
  WriteSvgRuns(symbol, g, file);
  std::fputs("\"/>\n</svg>\n", file);
}

}  // namespace

Format FormatForName(std::string_view name) {
  if (EndsWithNoCase(name, ".png")) return Format::kPng;
  if (EndsWithNoCase(name, ".svg")) return Format::kSvg;
  return Format::kJpeg;
}

int32_t SavePng(const QrSymbol* symbol, int32_t modulePixels, const char* path) {
  PictureGeometry g;
  if (path == nullptr || !PictureGeometryOf(symbol, modulePixels, &g)) return 0;
  std::unique_ptr<uint8_t[]> pixels = RenderPixels(*symbol, g);
  if (!pixels) return 0;
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return 0;
  return FinishFile(file, path, WritePng(pixels.get(), g, file), g.side);
}

int32_t SaveSvg(const QrSymbol* symbol, int32_t modulePixels, const char* path) {
  PictureGeometry g;
  if (path == nullptr || !PictureGeometryOf(symbol, modulePixels, &g)) return 0;
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return 0;
  WriteSvg(*symbol, g, file);
  return FinishFile(file, path, true, g.side);
}

int32_t Save(Format format, const QrSymbol* symbol, int32_t modulePixels, const char* path) {
  switch (format) {
    case Format::kPng:
      return SavePng(symbol, modulePixels, path);
    case Format::kSvg:
      return SaveSvg(symbol, modulePixels, path);
    case Format::kJpeg:
      break;
  }
  return SaveSymbolPicture(symbol, modulePixels, path);
}

}  // namespace symbolfile
