// Reads a grey JPEG file back through libjpeg for the tests.
#pragma once
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace testjpeg {

struct Picture {
  bool ok = false;
  int width = 0, height = 0, components = 0;
  J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
  bool progressive = false;
  int maxQuant = 0;
  std::vector<uint8_t> pixels;
};

struct TestErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf back;
};

inline void TestJumpBack(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<TestErrorManager*>(cinfo->err)->back, 1);
}

// Decodes `path` into `out`; out->ok stays false when libjpeg cannot read it.
inline void ReadPicture(const std::string& path, Picture* out) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return;
  jpeg_decompress_struct cinfo;
  TestErrorManager error;
  cinfo.err = jpeg_std_error(&error.base);
  error.base.error_exit = TestJumpBack;
  if (setjmp(error.back) != 0) {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  out->colorSpace = cinfo.jpeg_color_space;
  out->components = cinfo.num_components;
  out->progressive = cinfo.progressive_mode;
  for (int i = 0; i < NUM_QUANT_TBLS; ++i) {
    if (cinfo.quant_tbl_ptrs[i] == nullptr) continue;
    for (int k = 0; k < DCTSIZE2; ++k) {
      out->maxQuant = std::max<int>(out->maxQuant, cinfo.quant_tbl_ptrs[i]->quantval[k]);
    }
  }
  jpeg_start_decompress(&cinfo);
  out->width = static_cast<int>(cinfo.output_width);
  out->height = static_cast<int>(cinfo.output_height);
  out->pixels.resize(static_cast<size_t>(out->width) * out->height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out->pixels.data() + static_cast<size_t>(cinfo.output_scanline) * out->width;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
  out->ok = true;
}

}  // namespace testjpeg
