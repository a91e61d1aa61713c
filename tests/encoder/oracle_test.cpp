// Independent check: every symbol we write, rendered to a JPEG file by the
// product's own renderer and read back with libjpeg, must be decoded by
// zxing-cpp to exactly our input bytes at the level we report.
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "qrcore/qr_standard.h"
#include "generation/symbol_picture.h"
#include "tests/encoder/encoder_test_util.h"
#include "tests/generation/read_jpeg.h"

namespace {

using enctest::Encode;
using enctest::NewSymbol;

enum class Content { kNumeric, kAlphanumeric, kByte, kMixed, kHanzi, kGbk };
const char* const kContentNames[] = {"numeric", "alphanumeric", "byte", "mixed", "hanzi", "gbk"};

// A text of `kind` that needs about `bits` bits of data.
std::string MakeText(Content kind, int bits, std::mt19937& rng) {
  static const char kAlnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
  std::string text;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  switch (kind) {
    case Content::kNumeric:
      for (int i = 0; i < std::max(1, bits * 3 / 10); ++i) text.push_back('0' + pick(10));
      break;
    case Content::kAlphanumeric:
      for (int i = 0; i < std::max(6, bits * 2 / 11); ++i) text.push_back(kAlnum[pick(45)]);
      break;
    case Content::kByte:
      for (int i = 0; i < std::max(1, bits / 8); ++i) text.push_back(static_cast<char>(pick(256)));
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
          text.push_back(static_cast<char>(0xB0 + pick(0xF7 - 0xB0 + 1)));
          text.push_back(static_cast<char>(0xA1 + pick(0xFE - 0xA1 + 1)));
        }
      }
      break;
    case Content::kGbk:
      // Double-byte GBK characters outside GB 2312 (sent as bytes), Hanzi, and a
      // lead byte at the very end with nothing to pair with.
      while (static_cast<int>(text.size()) * 7 < bits) {
        const bool outside = pick(2) == 0;
        text.push_back(static_cast<char>(outside ? 0x81 + pick(0x20) : 0xB0 + pick(0x40)));
        text.push_back(static_cast<char>(outside ? 0x40 + pick(0x3F) : 0xA1 + pick(0x5E)));
      }
      text.push_back('\xC8');
      break;
  }
  return text;
}

// A text of `kind` that nearly fills `version` at `level` (without a level raise).
std::string FillingText(Content kind, int32_t version, int32_t level, int32_t mode,
                        std::mt19937& rng) {
  int bits = 8 * qrstd::DataCodewords(version, level - 1);
  for (;;) {
    std::string text = MakeText(kind, bits, rng);
    auto s = NewSymbol(level, version, mode);
    if (Encode(s.get(), text) == QR_OK && s->ecLevel == level) return text;
    bits = bits * 15 / 16;
  }
}

class OracleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(QRTOOL_TEST_TMP);
    // One file per test: ctest runs the tests of this program side by side.
    path_ = std::string(QRTOOL_TEST_TMP) + "/" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".jpg";
  }

  // Encodes `text`, writes and reads back the picture and checks zxing's reading.
  void Check(const std::string& text, int32_t level, int32_t version, int32_t mode,
             const std::string& label) {
    SCOPED_TRACE(label);
    auto symbol = NewSymbol(level, version, mode);
    ASSERT_EQ(Encode(symbol.get(), text), QR_OK) << symbol->errorText;
    if (version != 0) {
      EXPECT_EQ(symbol->version, version);
    }
    const int modulePixels = 3;  // zxing's detector misses some version-40 symbols at 2
    ASSERT_GT(SaveSymbolPicture(symbol.get(), modulePixels, path_.c_str()), 0);
    testjpeg::Picture picture;
    testjpeg::ReadPicture(path_, &picture);
    ASSERT_TRUE(picture.ok);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryRotate(false);
    hints.setTryDownscale(false);
    const ZXing::Result result = ZXing::ReadBarcode(
        ZXing::ImageView(picture.pixels.data(), picture.width, picture.height,
                         ZXing::ImageFormat::Lum),
        hints);
    ASSERT_TRUE(result.isValid()) << "version " << symbol->version;
    EXPECT_EQ(result.ecLevel(), std::string(1, "LMQH"[symbol->ecLevel - 1]));
    EXPECT_EQ(std::string(result.bytes().begin(), result.bytes().end()), text);
    ++checked_;
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
        Check(FillingText(kind, version, level, mode, rng), level, version, mode,
              std::string(kContentNames[static_cast<int>(kind)]) + " v" +
                  std::to_string(version) + " level " + std::to_string(level));
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
      Check(MakeText(kind, bits, rng), 0, 0, InputModeFor(kind),
            std::string(kContentNames[static_cast<int>(kind)]) + " auto " + std::to_string(bits));
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
