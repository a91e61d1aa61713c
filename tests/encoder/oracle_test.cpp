// Independent check: every symbol we write, rendered to a JPEG file by the
// product's own renderer and read back with libjpeg, must be decoded by
// zxing-cpp to exactly our input bytes at the level we report.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "encoder/qr_encoder.h"
#include "qrcore/qr_standard.h"
#include "generation/symbol_picture.h"
#include "tests/encoder/encoder_test_util.h"
#include "tests/support/oracle_read.h"
#include "tests/support/test_dir.h"

namespace {

using enctest::Encode;
using enctest::NewSymbol;

enum class Content { kNumeric, kAlphanumeric, kByte, kMixed, kHanzi, kGbk };
const char* const kContentNames[] = {"numeric", "alphanumeric", "byte", "mixed", "hanzi", "gbk"};

// A text of `kind` that needs about `bits` bits of data.
std::string MakeText(Content kind, int bits, std::mt19937& rng) {
  static const char kAlnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
  static const int kSixthsOfABitPerByte[] = {20, 33, 48, 42, 36, 42};
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto pair = [&](int lead, int leads, int trail, int trails) {
    return std::string{static_cast<char>(lead + pick(leads)), static_cast<char>(trail + pick(trails))};
  };
  std::string text;
  while (text.empty() ||
         static_cast<int>(text.size()) * kSixthsOfABitPerByte[static_cast<int>(kind)] < 6 * bits) {
    switch (kind) {
      case Content::kNumeric: text += static_cast<char>('0' + pick(10)); break;
      case Content::kAlphanumeric: text += kAlnum[pick(45)]; break;
      case Content::kByte: text += static_cast<char>(pick(256)); break;
      case Content::kMixed: {  // runs of digits, alphanumerics and lower case
        const int run = pick(3);
        for (int n = 1 + pick(12); n > 0; --n) {
          text += run == 0 ? '0' + pick(10) : run == 1 ? kAlnum[pick(45)] : 'a' + pick(26);
        }
        break;
      }
      case Content::kHanzi:  // GB 2312 characters with some ASCII between them
        text += pick(5) == 0 ? std::string(1, static_cast<char>('a' + pick(26)))
                             : pair(0xB0, 0x48, 0xA1, 0x5E);
        break;
      case Content::kGbk:  // GBK characters outside GB 2312 (sent as bytes) and Hanzi
        text += pick(2) == 0 ? pair(0x81, 0x20, 0x40, 0x3F) : pair(0xB0, 0x40, 0xA1, 0x5E);
        break;
    }
  }
  if (kind == Content::kGbk) text += '\xC8';  // a lead byte with nothing to pair with
  return text;
}

// A text of `kind` that nearly fills `version` at `level` (without a level raise).
std::string FillingText(Content kind, int32_t version, int32_t level, int32_t mode,
                        std::mt19937& rng) {
  int bits = 8 * qrstd::DataCodewords(version, level - 1);
  for (;;) {
    std::string text = MakeText(kind, bits, rng);
    auto s = NewSymbol(level, version, mode);
    const int32_t code = Encode(s.get(), text);
    if (code == QR_OK && s->ecLevel == level) return text;
    bits = code == QR_OK ? bits * 33 / 32 : bits * 15 / 16;  // raised: too short
  }
}

class OracleTest : public ::testing::Test {
 protected:
  // One folder per test: ctest runs the tests of this program side by side.
  void SetUp() override { path_ = (FreshTestDir() / "c.jpg").string(); }

  // Encodes `text`, writes and reads back the picture and checks zxing's reading.
  void Check(const std::string& text, int32_t level, int32_t version, int32_t mode,
             const std::string& label) {
    SCOPED_TRACE(label);
    auto symbol = NewSymbol(level, version, mode);
    ASSERT_EQ(Encode(symbol.get(), text), QR_OK) << symbol->errorText;
    const int modulePixels = 3;  // zxing's detector misses some version-40 symbols at 2
    ASSERT_GT(SaveSymbolPicture(symbol.get(), modulePixels, path_.c_str()), 0);
    std::string letter;
    ASSERT_EQ(testimage::ReadQr(testimage::ReadGrey(path_), &letter), text)
        << "version " << symbol->version;
    EXPECT_EQ(letter, std::string(1, "LMQH"[symbol->ecLevel - 1]));
    ++checked_;
  }

  std::string path_;
  int checked_ = 0;
};

int32_t InputModeFor(Content kind) {
  return kind == Content::kHanzi || kind == Content::kGbk ? GB2312_MODE : DATA_MODE;
}

// Requested versions 1..40 at every level with every content kind nearly
// filling the symbol (every block layout and matrix size), then the automatic
// choice of version and level over every content kind and a range of lengths.
TEST_F(OracleTest, EverySymbolDecodesToTheInput) {
  std::mt19937 rng(20240601);
  for (int32_t version = 1; version <= 40; ++version) {
    for (int32_t level = 1; level <= 4; ++level) {
      for (int k = 0; k <= static_cast<int>(Content::kHanzi); ++k) {
        const auto kind = static_cast<Content>(k);
        Check(FillingText(kind, version, level, InputModeFor(kind), rng), level, version,
              InputModeFor(kind), std::string(kContentNames[k]) + " v" + std::to_string(version) +
                                      " level " + std::to_string(level));
        if (HasFatalFailure()) return;
      }
    }
  }
  for (int k = 0; k <= static_cast<int>(Content::kGbk); ++k) {
    for (int bits : {20, 150, 900, 4000, 12000}) {
      const auto kind = static_cast<Content>(k);
      Check(MakeText(kind, bits, rng), 0, 0, InputModeFor(kind),
            std::string(kContentNames[k]) + " auto " + std::to_string(bits));
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_EQ(checked_, 160 * 5 + 6 * 5);
}

}  // namespace
