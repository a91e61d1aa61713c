// Independent check: every symbol we write, rendered to a JPEG file by the
// product's own renderer and read back with libjpeg, must be decoded by
// zxing-cpp to exactly our input bytes at the level we report.
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "encoder/qr_standard.h"
#include "generation/symbol_picture.h"

namespace {

struct GreyPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

GreyPicture ReadJpeg(const std::string& path) {
  GreyPicture picture;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return picture;
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&cinfo);
  picture.width = static_cast<int>(cinfo.output_width);
  picture.height = static_cast<int>(cinfo.output_height);
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = picture.pixels.data() + static_cast<size_t>(cinfo.output_scanline) * picture.width;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
  return picture;
}

struct Decoded {
  bool ok = false;
  std::vector<uint8_t> bytes;
  std::string level;
};

Decoded DecodeWithZxing(const GreyPicture& picture) {
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  hints.setTryRotate(false);
  hints.setTryDownscale(false);
  const ZXing::ImageView view(picture.pixels.data(), picture.width, picture.height,
                              ZXing::ImageFormat::Lum);
  const ZXing::Result result = ZXing::ReadBarcode(view, hints);
  Decoded d;
  d.ok = result.isValid();
  d.bytes.assign(result.bytes().begin(), result.bytes().end());
  d.level = result.ecLevel();
  return d;
}

const char* LevelName(int32_t recordLevel) {
  static const char* const kNames[] = {"L", "M", "Q", "H"};
  return kNames[recordLevel - 1];
}

enum class Content { kNumeric, kAlphanumeric, kByte, kMixed, kHanzi, kGbk };

const char* ContentName(Content c) {
  switch (c) {
    case Content::kNumeric: return "numeric";
    case Content::kAlphanumeric: return "alphanumeric";
    case Content::kByte: return "byte";
    case Content::kMixed: return "mixed";
    case Content::kHanzi: return "hanzi";
    case Content::kGbk: return "gbk";
  }
  return "?";
}

// A text of `kind` that needs about `bits` bits of data.
std::vector<uint8_t> MakeText(Content kind, int bits, std::mt19937& rng) {
  static const char kAlnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
  std::vector<uint8_t> text;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  switch (kind) {
    case Content::kNumeric:
      for (int i = 0; i < std::max(1, bits * 3 / 10); ++i) text.push_back('0' + pick(10));
      break;
    case Content::kAlphanumeric:
      for (int i = 0; i < std::max(6, bits * 2 / 11); ++i) text.push_back(kAlnum[pick(45)]);
      break;
    case Content::kByte:
      for (int i = 0; i < std::max(1, bits / 8); ++i) text.push_back(static_cast<uint8_t>(pick(256)));
      break;
    case Content::kMixed:
      while (static_cast<int>(text.size()) * 7 < bits) {
        const int n = 1 + pick(12);
        const int run = pick(3);
        for (int i = 0; i < n; ++i) {
          text.push_back(run == 0 ? '0' + pick(10)
                         : run == 1 ? kAlnum[pick(45)]
                                    : 'a' + pick(26));
        }
      }
      break;
    case Content::kHanzi:
      // GB 2312 characters with some ASCII between them.
      while (static_cast<int>(text.size()) * 6 < bits) {
        if (pick(5) == 0) {
          text.push_back('a' + pick(26));
        } else {
          text.push_back(static_cast<uint8_t>(0xB0 + pick(0xF7 - 0xB0 + 1)));
          text.push_back(static_cast<uint8_t>(0xA1 + pick(0xFE - 0xA1 + 1)));
        }
      }
      break;
    case Content::kGbk:
      // Double-byte GBK characters outside GB 2312 (sent as bytes), Hanzi, and a
      // lead byte at the very end with nothing to pair with.
      while (static_cast<int>(text.size()) * 7 < bits) {
        const bool outside = pick(2) == 0;
        text.push_back(static_cast<uint8_t>(outside ? 0x81 + pick(0x20) : 0xB0 + pick(0x40)));
        text.push_back(static_cast<uint8_t>(outside ? 0x40 + pick(0x3F) : 0xA1 + pick(0x5E)));
      }
      text.push_back(0xC8);
      break;
  }
  return text;
}

bool Fits(const std::vector<uint8_t>& text, int32_t version, int32_t level, int32_t mode) {
  QrSymbol* symbol = qr_create_symbol();
  symbol->symbology = QR_SYMBOLOGY_QRCODE;
  symbol->ecLevel = level;
  symbol->version = version;
  symbol->inputMode = mode;
  const bool fits = qr_encode(symbol, text.data(), static_cast<int32_t>(text.size())) == QR_OK &&
                    symbol->ecLevel == level;
  qr_delete_symbol(symbol);
  return fits;
}

// A text of `kind` that nearly fills `version` at `level` (without a level raise).
std::vector<uint8_t> FillingText(Content kind, int32_t version, int32_t level, int32_t mode,
                                 std::mt19937& rng) {
  int bits = 8 * qrstd::DataCodewords(version, level - 1);
  for (;;) {
    std::vector<uint8_t> text = MakeText(kind, bits, rng);
    if (Fits(text, version, level, mode)) return text;
    bits = bits * 15 / 16;
  }
}

class OracleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(QRTOOL_TEST_TMP);
    path_ = std::string(QRTOOL_TEST_TMP) + "/oracle.jpg";
  }

  // Encodes `text`, writes and reads back the picture and checks zxing's reading.
  void Check(const std::vector<uint8_t>& text, int32_t level, int32_t version, int32_t mode,
             bool compareBytes, const std::string& label) {
    QrSymbol* symbol = qr_create_symbol();
    ASSERT_NE(symbol, nullptr);
    symbol->symbology = QR_SYMBOLOGY_QRCODE;
    symbol->ecLevel = level;
    symbol->version = version;
    symbol->inputMode = mode;
    const int32_t code = qr_encode(symbol, text.data(), static_cast<int32_t>(text.size()));
    ASSERT_EQ(code, QR_OK) << label << ": " << symbol->errorText;
    if (version != 0) {
      EXPECT_EQ(symbol->version, version) << label;
    }
    const int modulePixels = 3;  // zxing's detector misses some version-40 symbols at 2
    ASSERT_EQ(SaveSymbolPicture(symbol, modulePixels, path_.c_str()), 1) << label;
    const Decoded d = DecodeWithZxing(ReadJpeg(path_));
    ASSERT_TRUE(d.ok) << label << " version " << symbol->version;
    EXPECT_EQ(d.level, LevelName(symbol->ecLevel)) << label;
    if (compareBytes) {
      EXPECT_EQ(d.bytes, text) << label;
    }
    ++checked_;
    qr_delete_symbol(symbol);
  }

  std::string path_;
  int checked_ = 0;
};

int32_t InputModeFor(Content kind) {
  return kind == Content::kHanzi || kind == Content::kGbk ? GB2312_MODE : DATA_MODE;
}

// Requested versions 1..40 at every level with every content kind nearly
// filling the symbol: every block layout and matrix size is read back.
TEST_F(OracleTest, EveryVersionLevelAndContentDecodesToTheInput) {
  std::mt19937 rng(20240601);
  const Content kinds[] = {Content::kNumeric, Content::kAlphanumeric, Content::kByte,
                           Content::kMixed, Content::kHanzi};
  for (int32_t version = 1; version <= 40; ++version) {
    for (int32_t level = 1; level <= 4; ++level) {
      for (Content kind : kinds) {
        const int32_t mode = InputModeFor(kind);
        const std::vector<uint8_t> text = FillingText(kind, version, level, mode, rng);
        Check(text, level, version, mode, true,
              std::string(ContentName(kind)) + " v" + std::to_string(version) + " level " +
                  std::to_string(level));
        if (HasFatalFailure()) return;
      }
    }
  }
  EXPECT_EQ(checked_, 160 * 5);
}

// Automatic version and level over every content kind and a range of lengths.
TEST_F(OracleTest, AutomaticChoiceDecodesToTheInput) {
  std::mt19937 rng(7);
  const Content kinds[] = {Content::kNumeric, Content::kAlphanumeric, Content::kByte,
                           Content::kMixed, Content::kHanzi, Content::kGbk};
  for (Content kind : kinds) {
    for (int bits : {20, 150, 900, 4000, 12000}) {
      const std::vector<uint8_t> text = MakeText(kind, bits, rng);
      const int32_t mode = InputModeFor(kind);
      Check(text, 0, 0, mode, true, std::string(ContentName(kind)) + " auto " + std::to_string(bits));
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
