// BMP writing and reading, picture loading, and the reduction of large pictures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "capture/bmp_file.h"
#include "capture/picture_file.h"
#include "capture/decode_frame.h"
#include "generation/symbol_formats.h"
#include "generation/symbol_picture.h"
#include "tests/support/grey_image.h"
#include "tests/support/test_dir.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int WriteBmp(const std::string& path, const BgrPicture& p) {
  const BmpFields f{p.width, p.height, 1, 24, static_cast<uint32_t>(p.rows.size())};
  return WriteBmpFile(path.c_str(), f, nullptr, p.rows.data());
}

TEST(BmpFile, PalettedFileRoundTrip) {
  // 5 x 2 at 8 bits: rows of 8 bytes; palette of 4 colours (colours used 4).
  const uint8_t palette[16] = {0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 10, 20, 30, 0};
  const uint8_t pixels[16] = {0, 1, 2, 3, 0, 9, 9, 9, 3, 3, 2, 1, 0, 9, 9, 9};
  const std::string path = FreshTestDir() / "pal.bmp";
  ASSERT_EQ(WriteBmpFile(path.c_str(), BmpFields{5, 2, 1, 8, 16, 4}, palette, pixels), kBmpWritten);
  std::vector<uint8_t> file = ReadAll(path);
  ASSERT_EQ(file.size(), 54u + 16 + 16);
  // File size, pixel offset behind the colour table, colours used.
  EXPECT_EQ(std::vector<int>({file[2], file[10], file[46]}), std::vector<int>({86, 70, 4}));

  BgrPicture p;
  std::string error;
  ASSERT_TRUE(ReadBmpFile(file, &p, &error)) << error;
  ASSERT_EQ(p.width, 5);
  ASSERT_EQ(p.height, 2);
  ASSERT_EQ(p.rows.size(), 2u * 16);
  // Row 0 (bottom) pixel 3 = palette entry 3; row 1 pixel 2 = entry 2.
  EXPECT_EQ(std::vector<uint8_t>(p.rows.begin() + 9, p.rows.begin() + 12),
            std::vector<uint8_t>({10, 20, 30}));
  EXPECT_EQ(std::vector<uint8_t>(p.rows.begin() + 22, p.rows.begin() + 25),
            std::vector<uint8_t>({0, 255, 0}));
}

TEST(BmpFile, ThirtyTwoBitTopDownFile) {
  // 2 x 2, 32 bits, negative height (rows top-down).
  const uint8_t px[16] = {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99, 10, 11, 12, 99};
  const std::string path = FreshTestDir() / "top_down.bmp";
  ASSERT_EQ(WriteBmpFile(path.c_str(), BmpFields{2, -2, 1, 32, 16}, nullptr, px), kBmpWritten);
  BgrPicture p;
  std::string error;
  ASSERT_TRUE(ReadBmpFile(ReadAll(path), &p, &error)) << error;
  // Bottom-up result: the file's second (bottom) row comes first.
  const uint8_t expect[16] = {7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0};
  ASSERT_EQ(p.rows.size(), 16u);
  EXPECT_TRUE(std::equal(p.rows.begin(), p.rows.end(), expect));
}

TEST(BmpFile, DamagedOrUncreatableFilesAreRefused) {
  const std::string dir = FreshTestDir();
  EXPECT_EQ(WriteBmp(dir + "/none/x.bmp", BgrPicture()), kBmpCannotCreate);
  testimage::Canvas grey(30, 20);
  std::fill_n(grey.grey.begin(), 40, 128);
  const BgrPicture frame = PictureFromGrey(grey.grey.data(), 30, 20);
  ASSERT_EQ(WriteBmp(dir + "/ok.bmp", frame), kBmpWritten);
  const std::vector<uint8_t> good = ReadAll(dir + "/ok.bmp");
  BgrPicture p;
  std::string error;
  ASSERT_TRUE(ReadBmpFile(good, &p, &error));
  EXPECT_EQ(p.rows, frame.rows);

  EXPECT_FALSE(ReadBmpFile(std::vector<uint8_t>(good.begin(), good.end() - 1), &p, &error));
  EXPECT_FALSE(ReadBmpFile(std::vector<uint8_t>(10, 'B'), &p, &error));
  const struct {
    size_t at;
    uint8_t value;
  } damages[] = {{30, 1}, {28, 16}, {21, 0x7F}, {13, 0x40}};  // RLE, 16 bits, huge width, offset
  for (const auto& d : damages) {
    SCOPED_TRACE(d.at);
    std::vector<uint8_t> bad = good;
    bad[d.at] = d.value;
    EXPECT_FALSE(ReadBmpFile(bad, &p, &error));
  }
}

TEST(PictureFile, LoadsJpegBmpAndRefusesOthers) {
  const std::string dir = FreshTestDir();
  std::unique_ptr<QrSymbol, void (*)(QrSymbol*)> symbol(qr_create_symbol(), qr_delete_symbol);
  symbol->symbology = QR_SYMBOLOGY_QRCODE;
  ASSERT_EQ(qr_encode(symbol.get(), reinterpret_cast<const uint8_t*>("jpeg"), 4), QR_OK);
  const int32_t side = SaveSymbolPicture(symbol.get(), 3, (dir + "/c.jpg").c_str());
  ASSERT_GT(side, 0);
  BgrPicture p;
  std::string error;
  ASSERT_TRUE(LoadPicture(dir + "/c.jpg", &p, &error)) << error;
  EXPECT_EQ(p.width, side);
  EXPECT_EQ(p.height, side);
  PictureDecode d = DecodePicture(p);
  ASSERT_EQ(d.results.size(), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(d.results[0].data), d.results[0].length), "jpeg");
  EXPECT_EQ(d.notifyCode, DECODE_RESULTS_READY);

  ASSERT_GT(symbolfile::SavePng(symbol.get(), 3, (dir + "/c.png").c_str()), 0);
  ASSERT_TRUE(LoadPicture(dir + "/c.png", &p, &error)) << error;
  EXPECT_EQ(DecodePicture(p).results.size(), 1u);

  const BgrPicture frame = p;
  ASSERT_EQ(WriteBmp(dir + "/c.bmp", frame), kBmpWritten);
  ASSERT_TRUE(LoadPicture(dir + "/c.bmp", &p, &error)) << error;
  EXPECT_EQ(p.rows, frame.rows);

  std::ofstream(dir + "/t.txt") << "not a picture";
  EXPECT_FALSE(LoadPicture(dir + "/t.txt", &p, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(LoadPicture(dir + "/missing.png", &p, &error));
  std::vector<uint8_t> jpeg = ReadAll(dir + "/c.jpg");
  std::ofstream(dir + "/cut.jpg", std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), 200);
  EXPECT_FALSE(LoadPicture(dir + "/cut.jpg", &p, &error));
}

TEST(PictureFile, LargePicturesShrinkByTheSmallestWholeFactor) {
  auto factorFor = [](int w, int h) {
    BgrPicture p;
    p.width = w;
    p.height = h;
    p.rows.assign(static_cast<size_t>((w * 3 + 3) / 4 * 4) * static_cast<size_t>(h), 0);
    int f = FitPictureForReader(&p);
    EXPECT_LE((p.width + 3) / 4 * 4, 1280);
    EXPECT_LE(p.height, 1024);
    return f;
  };
  EXPECT_EQ(factorFor(1280, 1024), 1);
  EXPECT_EQ(factorFor(1277, 10), 1);
  EXPECT_EQ(factorFor(1278, 10), 1);  // 1280 grey columns after rounding
  EXPECT_EQ(factorFor(1281, 10), 2);
  EXPECT_EQ(factorFor(2600, 100), 3);
  EXPECT_EQ(factorFor(100, 3073), 3);
  EXPECT_EQ(factorFor(100, 3076), 4);
  EXPECT_EQ(factorFor(3000, 1), 3);   // never thinner than one row

  // Box average of a checkerboard: every 2 x 2 box holds two 255s and two 0s.
  BgrPicture p;
  p.width = 2560;
  p.height = 4;
  const size_t stride = 2560 * 3;
  p.rows.assign(stride * 4, 0);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 2560; ++x) {
      uint8_t v = ((x + y) % 2 == 0) ? 255 : 0;
      for (int c = 0; c < 3; ++c) p.rows[stride * y + 3 * x + c] = v;
    }
  }
  ASSERT_EQ(FitPictureForReader(&p), 2);
  ASSERT_EQ(p.width, 1280);
  ASSERT_EQ(p.height, 2);
  for (uint8_t v : p.rows) ASSERT_EQ(v, 128);
}

}  // namespace
