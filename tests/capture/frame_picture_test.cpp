// Camera frames: grey conversion, DecodeFrame's result table and
// notifications, WriteFrameBitmap; picture files: BMP writing and reading,
// loading, and the reduction of large pictures.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <thread>

#include "capture/bmp_file.h"
#include "capture/decode_frame.h"
#include "capture/frame_grey.h"
#include "capture/picture_file.h"
#include "generation/symbol_picture.h"
#include "tests/support/grey_image.h"
#include "tests/support/test_dir.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}


// One pixel (blue, green, red) converted.
uint8_t GreyOf(uint8_t b, uint8_t g, uint8_t r) {
  uint8_t px[4] = {b, g, r, 0};
  std::vector<uint8_t> grey;
  ConvertFrameToGrey(px, 1, 1, 24, &grey);
  return grey[0];
}

TEST(GreyConversion, WeightsStridesPadColumnsAndFlip) {
  // Blue, green and red weigh 0.114, 0.587 and 0.299, summed in double
  // precision and truncated: white stays 255, (1, 1, 1) falls to 0.
  EXPECT_EQ(std::vector<int>({GreyOf(255, 0, 0), GreyOf(0, 255, 0), GreyOf(0, 0, 255), GreyOf(1, 1, 1),
                              GreyOf(255, 255, 255)}),
            std::vector<int>({29, 149, 76, 0, 255}));
  // 32 bits: the fourth byte is ignored. The pad column after a pixel darker
  // than its neighbours is their light level.
  const uint8_t px32[12] = {0, 0, 0, 255, 255, 255, 255, 0, 100, 100, 100, 7};
  std::vector<uint8_t> grey;
  ConvertFrameToGrey(px32, 3, 1, 32, &grey);
  EXPECT_EQ(grey, std::vector<uint8_t>({0, 255, GreyOf(100, 100, 100), 255}));
  // 101 x 3 at 24 bits, every byte (padding too) 0xFF but the rows' first pixels.
  ASSERT_EQ(FrameStride(101, 24), 304);
  std::vector<uint8_t> px(304 * 3, 0xFF);
  for (int y = 0; y < 3; ++y) std::fill_n(px.begin() + 304 * y, 3, 50 * (y + 1));  // 50, 100, 150
  ConvertFrameToGrey(px.data(), 101, 3, 24, &grey);
  ASSERT_EQ(grey.size(), 104u * 3);
  for (int y = 0; y < 3; ++y) {
    // The last row in memory (the picture's top) is row 0; pad columns continue a light row.
    EXPECT_EQ(grey[y * 104], GreyOf(150 - 50 * y, 150 - 50 * y, 150 - 50 * y));
    for (int x = 100; x < 104; ++x) EXPECT_EQ(grey[y * 104 + x], 255) << x;
  }
}

// A picture with `texts.size()` codes in a row, as camera rows.
BgrPicture PictureWithCodes(const std::vector<std::string>& texts, int32_t w = 640, int32_t h = 240) {
  testimage::Canvas canvas(w, h);
  int x = 16;
  for (const std::string& t : texts) {
    int side = testimage::DrawCode(&canvas, t, x, 40, 4);
    EXPECT_GT(side, 0);
    x += (side + 8) * 4;
  }
  return PictureFromGrey(canvas.grey.data(), w, h);
}

// The codes a decode notified, each with the table's count at that moment.
struct Notices {
  std::vector<std::pair<int32_t, size_t>> seen;
  DecodeNotify hook() {
    return [this](int32_t code) { seen.emplace_back(code, DecodeResultTable::Shared().Snapshot().size()); };
  }
};

int32_t Decode(const BgrPicture& p, Notices* notices, int32_t byteCount = -1) {
  return DecodeFrame(p.rows.data(), byteCount >= 0 ? byteCount : static_cast<int32_t>(p.rows.size()),
                     p.width, p.height, 24, notices->hook());
}

TEST(DecodeFrame, PublishesTheTableBeforeNotifyingAndClearsItWhenNothingIsFound) {
  Notices notices;
  EXPECT_EQ(Decode(PictureWithCodes({"first", "second", "third"}), &notices), 1);
  ASSERT_EQ(notices.seen.size(), 1u);
  EXPECT_EQ(notices.seen[0], std::make_pair(DECODE_RESULTS_READY, size_t(3)));
  std::set<std::string> texts;
  for (const DecodeResult& r : DecodeResultTable::Shared().Snapshot()) {
    EXPECT_EQ(r.type, QR_SYMBOL_TYPE_QRCODE);
    texts.insert(std::string(reinterpret_cast<const char*>(r.data), r.length));
  }
  EXPECT_EQ(texts, (std::set<std::string>{"first", "second", "third"}));

  Decode(PictureWithCodes({}), &notices);
  EXPECT_EQ(notices.seen[1], std::make_pair(DECODE_NOTHING_FOUND, size_t(0)));
  // A byte count shorter than the rows is never read past.
  const BgrPicture p = PictureWithCodes({"short"});
  Decode(p, &notices, static_cast<int32_t>(p.rows.size()) - 1);
  EXPECT_EQ(notices.seen.at(2), std::make_pair(DECODE_NOTHING_FOUND, size_t(0)));
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST(WriteFrameBitmap, WritesHeaderNotifiesSnapshotThenDecodes) {
  Notices notices;
  BgrPicture p = PictureWithCodes({"snapshot"}, 202, 150);
  const std::string path = FreshTestDir() / "ph.bmp";
  const int32_t bytes = static_cast<int32_t>(p.rows.size());
  EXPECT_EQ(WriteFrameBitmap(p.rows.data(), bytes, p.width, p.height, path.c_str(), notices.hook()), 0);
  ASSERT_EQ(notices.seen.size(), 2u);
  EXPECT_EQ(notices.seen[0].first, DECODE_SNAPSHOT_WRITTEN);
  EXPECT_EQ(notices.seen[1], std::make_pair(DECODE_RESULTS_READY, size_t(1)));

  const std::vector<uint8_t> f = ReadAll(path);
  ASSERT_EQ(f.size(), 54u + static_cast<size_t>(bytes));
  EXPECT_TRUE(f[0] == 'B' && f[1] == 'M');
  // Size, reserved, pixel offset, header size, width, height, planes 1 and
  // 24 bits, no compression, image size, then zeros.
  const uint32_t u = static_cast<uint32_t>(bytes);
  const uint32_t fields[] = {54 + u, 0, 54, 40, 202, 150, 1 | 24 << 16, 0, u, 0, 0, 0, 0};
  for (size_t i = 0; i < std::size(fields); ++i) EXPECT_EQ(Le32(f, 2 + 4 * i), fields[i]) << i;
  EXPECT_TRUE(std::equal(p.rows.begin(), p.rows.end(), f.begin() + 54));

  // A file that cannot be created: no notice, no decode, the count still cleared.
  notices.seen.clear();
  const std::string missing = path + "/ph.bmp";  // below a file
  EXPECT_EQ(WriteFrameBitmap(p.rows.data(), bytes, p.width, p.height, missing.c_str(), notices.hook()), 0);
  EXPECT_TRUE(notices.seen.empty());
  EXPECT_TRUE(DecodeResultTable::Shared().Snapshot().empty());
}

TEST(ReaderLock, HeldByOneHolderADecodeElsewhereWaits) {
  auto held = std::make_unique<ReaderLock>();
  std::atomic<bool> done{false};
  std::thread t([&] {
    DecodeFrame(nullptr, 0, 8, 8, 24, {});  // still clears and reads the table
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done.load());
  held.reset();
  t.join();
  EXPECT_TRUE(done.load());
}


// Rows written with `f` (and `palette`), read back: bottom-up, 24 bits. The
// file's bytes go to `file`.
std::vector<uint8_t> RoundTrip(const BmpFields& f, const uint8_t* palette, const uint8_t* pixels,
                               std::vector<uint8_t>* file = nullptr) {
  const std::string path = FreshTestDir() / "rt.bmp";
  EXPECT_EQ(WriteBmpFile(path.c_str(), f, palette, pixels), kBmpWritten);
  BgrPicture p;
  std::string error;
  std::vector<uint8_t> bytes = ReadAll(path);
  EXPECT_TRUE(ReadBmpFile(bytes, &p, &error)) << error;
  if (file != nullptr) {
    *file = std::move(bytes);
  }
  return p.rows;
}

TEST(BmpFile, PalettedAndTopDownFilesRead) {
  // 5 x 2 at 8 bits: rows of 8 bytes; palette of 4 colours (colours used 4).
  const uint8_t palette[16] = {0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 10, 20, 30, 0};
  const uint8_t pixels[16] = {0, 1, 2, 3, 0, 9, 9, 9, 3, 3, 2, 1, 0, 9, 9, 9};
  const std::vector<uint8_t> rows = RoundTrip(BmpFields{5, 2, 1, 8, 16, 4}, palette, pixels);
  ASSERT_EQ(rows.size(), 2u * 16);
  // Row 0 (bottom) pixel 3 = palette entry 3; row 1 pixel 2 = entry 2.
  EXPECT_EQ(std::vector<uint8_t>(rows.begin() + 9, rows.begin() + 12), std::vector<uint8_t>({10, 20, 30}));
  EXPECT_EQ(std::vector<uint8_t>(rows.begin() + 22, rows.begin() + 25), std::vector<uint8_t>({0, 255, 0}));
  // 2 x 2 at 32 bits, negative height (rows top-down): the file's bottom row comes first.
  const uint8_t px[16] = {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99, 10, 11, 12, 99};
  EXPECT_EQ(RoundTrip(BmpFields{2, -2, 1, 32, 16}, nullptr, px),
            std::vector<uint8_t>({7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0}));
}

TEST(BmpFile, DamagedFilesAreRefused) {
  testimage::Canvas grey(30, 20);
  std::fill_n(grey.grey.begin(), 40, 128);
  const BgrPicture frame = PictureFromGrey(grey.grey.data(), 30, 20);
  std::vector<uint8_t> good;
  const BmpFields f{.width = 30, .height = 20, .imageSize = static_cast<uint32_t>(frame.rows.size())};
  EXPECT_EQ(RoundTrip(f, nullptr, frame.rows.data(), &good), frame.rows);
  BgrPicture p;
  std::string error;

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

// Loading good files is checked through testimage::ReadGrey and the command line.
TEST(PictureFile, RefusesOtherAndCutFiles) {
  const std::string dir = FreshTestDir();
  std::unique_ptr<QrSymbol, void (*)(QrSymbol*)> symbol(qr_create_symbol(), qr_delete_symbol);
  symbol->symbology = QR_SYMBOLOGY_QRCODE;
  ASSERT_EQ(qr_encode(symbol.get(), reinterpret_cast<const uint8_t*>("jpeg"), 4), QR_OK);
  ASSERT_GT(SaveSymbolPicture(symbol.get(), 3, (dir + "/c.jpg").c_str()), 0);
  BgrPicture p;
  std::string error;
  std::ofstream(dir + "/t.txt") << "not a picture";
  EXPECT_FALSE(LoadPicture(dir + "/t.txt", &p, &error));
  EXPECT_FALSE(error.empty());
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
  EXPECT_EQ(factorFor(1281, 10), 2);
  EXPECT_EQ(factorFor(100, 3073), 3);
  EXPECT_EQ(factorFor(100, 3076), 4);
  EXPECT_EQ(factorFor(3000, 1), 3);   // never thinner than one row

  // Box average of a checkerboard: every 2 x 2 box holds two 255s and two 0s.
  BgrPicture p;
  p.width = 2560;
  p.height = 4;
  for (int i = 0; i < 2560 * 3 * 4; ++i) p.rows.push_back((i / 3 + i / (2560 * 3)) % 2 ? 0 : 255);
  ASSERT_EQ(FitPictureForReader(&p), 2);
  ASSERT_EQ(p.width, 1280);
  ASSERT_EQ(p.height, 2);
  for (uint8_t v : p.rows) ASSERT_EQ(v, 128);
}

}  // namespace
