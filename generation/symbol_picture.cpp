#include "generation/symbol_picture.h"

#include <sys/stat.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>


namespace {

constexpr int kMinModules = 21;
constexpr int kMaxModules = 177;
constexpr int kMinModulePixels = 1;
constexpr int kMaxModulePixels = 20;
constexpr int kJpegQuality = 98;

// libjpeg's own handler calls exit(); ours returns to the setjmp point instead.
struct JumpingErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf back;
};

void JumpBack(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JumpingErrorManager*>(cinfo->err);
  std::longjmp(manager->back, 1);
}

// Warnings (e.g. corrupt data on reading) do not concern a writer; stay silent.
void IgnoreMessage(j_common_ptr, int) {}

bool ModuleIsDark(const QrSymbol& symbol, int row, int column) {
  return (symbol.modules[row][column / 7] >> (column % 7)) & 1;
}

// One pixel line of module row `row` (−q..N+q−1; outside the matrix is quiet zone).
void FillPictureLine(const QrSymbol& symbol, const PictureGeometry& g, int row, JSAMPLE* line) {
  std::memset(line, 255, static_cast<size_t>(g.side));
  if (row < 0 || row >= g.modules) return;
  JSAMPLE* out = line + g.quiet * g.scale;
  for (int c = 0; c < g.modules; ++c, out += g.scale) {
    if (ModuleIsDark(symbol, row, c)) std::memset(out, 0, static_cast<size_t>(g.scale));
  }
}

// Compresses the picture into `file`. Returns false when libjpeg reports a
// fatal error (including a failed write). No object with a destructor may live
// in this frame: longjmp skips destructors.
bool CompressPicture(const QrSymbol& symbol, const PictureGeometry& g, FILE* file, JSAMPLE* line,
                     JSAMPROW* rows) {
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);  // destroy must find no memory manager yet
  JumpingErrorManager error;
  cinfo.err = jpeg_std_error(&error.base);
  error.base.error_exit = JumpBack;
  error.base.emit_message = IgnoreMessage;
  if (setjmp(error.back) != 0) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(g.side);
  cinfo.image_height = static_cast<JDIMENSION>(g.side);
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, kJpegQuality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  // Each module row becomes s identical pixel lines: build it once and hand
  // the compressor s pointers to it.
  for (int i = 0; i < g.scale; ++i) rows[i] = line;
  for (int row = -g.quiet; row < g.modules + g.quiet; ++row) {
    FillPictureLine(symbol, g, row, line);
    JDIMENSION done = 0;
    while (done < static_cast<JDIMENSION>(g.scale)) {
      done += jpeg_write_scanlines(&cinfo, rows + done, static_cast<JDIMENSION>(g.scale) - done);
    }
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

bool PictureGeometryOf(const QrSymbol* symbol, int32_t modulePixels, PictureGeometry* g) {
  if (symbol == nullptr) return false;
  if (modulePixels < kMinModulePixels || modulePixels > kMaxModulePixels) return false;
  if (symbol->rows != symbol->width) return false;  // the picture is square
  if (symbol->width < kMinModules || symbol->width > kMaxModules) return false;
  g->modules = symbol->width;
  g->quiet = symbol->width / 10;
  g->scale = modulePixels;
  g->side = (g->modules + 2 * g->quiet) * g->scale;
  return true;
}

void RemovePartialPicture(const char* path) {
  struct stat info;
  if (stat(path, &info) == 0 && S_ISREG(info.st_mode)) std::remove(path);
}

int32_t SaveSymbolPicture(const QrSymbol* symbol, int32_t modulePixels, const char* path) {
  PictureGeometry g;
  if (path == nullptr || !PictureGeometryOf(symbol, modulePixels, &g)) return 0;
  const std::string fileName(path);

  auto* line = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(g.side)));
  auto* rows = static_cast<JSAMPROW*>(std::malloc(sizeof(JSAMPROW) * kMaxModulePixels));
  FILE* file = (line && rows) ? std::fopen(fileName.c_str(), "wb") : nullptr;
  bool ok = file != nullptr && CompressPicture(*symbol, g, file, line, rows);
  if (file != nullptr) {
    // A full disk may only show when the buffered tail is flushed.
    ok = (std::fflush(file) == 0) && !std::ferror(file) && ok;
    ok = (std::fclose(file) == 0) && ok;
  }
  std::free(rows);
  std::free(line);
  if (!ok) {
    if (file != nullptr) RemovePartialPicture(fileName.c_str());
    return 0;
  }
  return g.side;
}
