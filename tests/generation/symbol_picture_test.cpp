// SaveSymbolPicture: geometry, pixels and JPEG format read back, refusals;
// the PNG beside it.
#include "generation/symbol_picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "generation/symbol_formats.h"
#include "tests/support/grey_image.h"
#include "tests/support/process_runner.h"

namespace {

namespace fs = std::filesystem;
using testimage::Canvas;
using testimage::ReadGrey;

std::string TempDir() {
  fs::create_directories(QRTOOL_TEST_TMP);
  return QRTOOL_TEST_TMP;
}

// A square symbol of n modules with a fixed-seed pattern of dark modules,
// set straight into the packed matrix (seven modules per byte).
std::unique_ptr<QrSymbol> PatternSymbol(int n, unsigned seed) {
  auto symbol = std::make_unique<QrSymbol>();
  symbol->rows = symbol->width = n;
  std::mt19937 random(seed);
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      if (random() & 1) symbol->modules[r][c / 7] |= static_cast<uint8_t>(1u << (c % 7));
    }
  }
  return symbol;
}

bool Dark(const QrSymbol& symbol, int r, int c) {
  return (symbol.modules[r][c / 7] >> (c % 7)) & 1;
}

// Every pixel of every module block, and the whole quiet zone, must land on
// the right side of mid-grey.
void ExpectPixelsMatch(const QrSymbol& symbol, int scale, const Canvas& picture) {
  const int n = symbol.width, q = n / 10;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const int r = y / scale - q, c = x / scale - q;
      const bool dark = r >= 0 && r < n && c >= 0 && c < n && Dark(symbol, r, c);
      const uint8_t v = picture.grey[static_cast<size_t>(y) * picture.width + x];
      ASSERT_EQ(dark, v < 128) << "pixel (" << x << ", " << y << ") = " << int(v) << ", module ("
                               << r << ", " << c << ")";
    }
  }
}

// Quiet zone N div 10: 21 -> 2, 29 -> 2, 33 -> 3, 57 -> 5, 177 -> 17.
TEST(SymbolPicture, WidthHeightAndPixelsFollowTheMatrix) {
  const struct { int modules, scale, side; } cases[] = {
      {21, 5, 125}, {29, 2, 66}, {33, 3, 117}, {57, 5, 335}, {177, 1, 211}, {177, 20, 4220}};
  for (const auto& p : cases) {
    SCOPED_TRACE(std::to_string(p.modules) + " modules at " + std::to_string(p.scale));
    auto symbol = PatternSymbol(p.modules, 1000u + p.modules * 31u + p.scale);
    const std::string path = TempDir() + "/size.jpg";
    ASSERT_EQ(SaveSymbolPicture(symbol.get(), p.scale, path.c_str()), p.side);
    const Canvas picture = ReadGrey(path);
    EXPECT_EQ(picture.height, p.side);
    ASSERT_EQ(picture.width, p.side);
    ExpectPixelsMatch(*symbol, p.scale, picture);
  }
}

TEST(SymbolPicture, GreyBaselineHighQualityJfif) {
  auto symbol = PatternSymbol(25, 7);
  std::string path = TempDir() + "/format.jpg";
  ASSERT_GT(SaveSymbolPicture(symbol.get(), 4, path.c_str()), 0);
  const std::string bytes = ReadFileText(path);
  const size_t frame = bytes.find("\xFF\xC0", 0, 2), table = bytes.find("\xFF\xDB", 0, 2);
  ASSERT_NE(frame, std::string::npos) << "no baseline frame header";
  EXPECT_EQ(bytes[frame + 9], 1) << "components";
  EXPECT_EQ(bytes.substr(6, 4), "JFIF");
  // Quality 98 scales the standard tables to 4 %: 8-bit steps of 1 to 5.
  ASSERT_NE(table, std::string::npos);
  EXPECT_EQ(bytes[table + 4] >> 4, 0);
  for (int k = 0; k < 64; ++k) EXPECT_TRUE(bytes[table + 5 + k] >= 1 && bytes[table + 5 + k] <= 5) << k;
}

// The PNG holds the JPEG's picture without loss; names choose the format by
// their extension alone.
TEST(SymbolPicture, PngIsLosslessAndNamesChooseTheFormat) {
  auto symbol = PatternSymbol(29, 9);
  const std::string path = TempDir() + "/lossless.png";
  ASSERT_EQ(symbolfile::Save(symbolfile::Format::kPng, symbol.get(), 3, path.c_str()), 99);
  const Canvas picture = ReadGrey(path);
  ASSERT_EQ(picture.width, 99);
  ExpectPixelsMatch(*symbol, 3, picture);
  for (uint8_t v : picture.grey) ASSERT_TRUE(v == 0 || v == 255) << int(v);
  using symbolfile::Format;
  const std::pair<const char*, Format> names[] = {{"a.PNG", Format::kPng}, {".png", Format::kPng},
      {"x.Svg", Format::kSvg}, {"png", Format::kJpeg}, {"a.png.jpg", Format::kJpeg}};
  for (const auto& [name, format] : names) EXPECT_EQ(symbolfile::FormatForName(name), format) << name;
  EXPECT_EQ(symbolfile::FormatForName(std::string_view("x.svgX", 5)), Format::kSvg);  // not NUL-ended
}

// Refused arguments and failed writes return 0 and create nothing; the
// argument limits themselves are accepted.
TEST(SymbolPicture, RefusalsAndFailedWritesReportZero) {
  auto symbol = PatternSymbol(21, 4), notSquare = PatternSymbol(21, 4);
  notSquare->width = 25;
  auto tooSmall = PatternSymbol(17, 6), largest = PatternSymbol(177, 6);
  const std::string ok = TempDir() + "/ok.jpg", directory = TempDir() + "/a_directory";
  fs::create_directories(directory);
  const struct { const char* name; const QrSymbol* symbol; int scale; std::string path; } cases[] = {
      {"scale 0", symbol.get(), 0, ok}, {"scale 21", symbol.get(), 21, ok},
      {"no symbol", nullptr, 5, ok},    {"not square", notSquare.get(), 5, ok},
      {"no path", symbol.get(), 5, ""},
      {"17 modules", tooSmall.get(), 5, ok}, {"a folder", symbol.get(), 5, directory},
      {"full device", largest.get(), 5, "/dev/full"},
  };
  for (const auto& c : cases) {
    fs::remove(ok);
    EXPECT_EQ(SaveSymbolPicture(c.symbol, c.scale, c.path.empty() ? nullptr : c.path.c_str()), 0)
        << c.name;
    EXPECT_FALSE(fs::exists(ok)) << c.name;
  }
  EXPECT_TRUE(fs::is_directory(directory));
  EXPECT_EQ(SaveSymbolPicture(largest.get(), 1, ok.c_str()), 211);
  EXPECT_EQ(SaveSymbolPicture(symbol.get(), 20, ok.c_str()), 500);
}

}  // namespace
