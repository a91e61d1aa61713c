// Grey conversion, DecodeFrame's result table and notifications, and
// WriteFrameBitmap.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <chrono>
#include <iterator>
#include <set>
#include <thread>

#include "capture/bmp_file.h"
#include "capture/decode_frame.h"
#include "capture/frame_grey.h"
#include "capture/picture_file.h"
#include "tests/support/grey_image.h"

namespace {

// One pixel (blue, green, red) converted.
uint8_t GreyOf(uint8_t b, uint8_t g, uint8_t r) {
  uint8_t px[4] = {b, g, r, 0};
  std::vector<uint8_t> grey;
  ConvertFrameToGrey(px, 1, 1, 24, &grey);
  return grey[0];
}

TEST(GreyConversion, TruncatesTheWeightedSum) {
  int oneLower = 0;
  for (int v = 0; v < 256; ++v) {
    uint8_t g = GreyOf(static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v));
    ASSERT_TRUE(g == v || g == v - 1) << v;
    if (g == v - 1) ++oneLower;
  }
  EXPECT_EQ(oneLower, 65);
  for (int v : {1, 2, 4, 8, 128}) EXPECT_EQ(GreyOf(v, v, v), v - 1) << v;
  EXPECT_EQ(GreyOf(255, 255, 255), 255);
  // Blue, green and red weigh 0.114, 0.587 and 0.299.
  EXPECT_EQ(GreyOf(255, 0, 0), 29);
  EXPECT_EQ(GreyOf(0, 255, 0), 149);
  EXPECT_EQ(GreyOf(0, 0, 255), 76);
}

TEST(GreyConversion, ThirtyTwoBitsIgnoreTheFourthByte) {
  // Three pixels of 4 bytes: black with a 255 fourth byte, white, mid grey.
  const uint8_t px[12] = {0, 0, 0, 255, 255, 255, 255, 0, 100, 100, 100, 7};
  std::vector<uint8_t> grey;
  ConvertFrameToGrey(px, 3, 1, 32, &grey);
  // The pad column after a pixel darker than its neighbours is their light level.
  EXPECT_EQ(grey, std::vector<uint8_t>({0, 255, GreyOf(100, 100, 100), 255}));
}

TEST(GreyConversion, StridesPadColumnsAndFlip) {
  // 101 x 3 picture, every byte (padding too) 0xFF except the row markers.
  const int w = 101, h = 3;
  ASSERT_EQ(FrameStride(w, 24), 304);
  ASSERT_EQ(GreyStride(w), 104);
  std::vector<uint8_t> px(304 * h, 0xFF);
  for (int y = 0; y < h; ++y) std::fill_n(px.begin() + 304 * y, 3, 50 * (y + 1));  // 50, 100, 150
  std::vector<uint8_t> grey;
  ConvertFrameToGrey(px.data(), w, h, 24, &grey);
  ASSERT_EQ(grey.size(), 104u * 3);
  for (int y = 0; y < h; ++y) {
    // The last row in memory (the picture's top) is row 0 of the grey image.
    const int v = 150 - 50 * y;
    EXPECT_EQ(grey[y * 104], GreyOf(v, v, v));
    // Pad columns continue a row that ends light.
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
  EXPECT_EQ(DecodeResultTable::Shared().Record(3).type, 0u);  // the rest of the table is zeroed

  Decode(PictureWithCodes({}), &notices);
  EXPECT_EQ(notices.seen[1], std::make_pair(DECODE_NOTHING_FOUND, size_t(0)));
  EXPECT_EQ(DecodeResultTable::Shared().Record(0).length, 0u);
}

TEST(DecodeFrame, TooLargeOrShortBuffersFindNothing) {
  Notices notices;
  // 1281 pixels wide: 1284 grey columns, over the reader's limit.
  std::vector<uint8_t> wide(static_cast<size_t>(FrameStride(1281, 24) * 2), 255);
  DecodeFrame(wide.data(), static_cast<int32_t>(wide.size()), 1281, 2, 24, notices.hook());
  // A byte count shorter than the rows is never read past.
  BgrPicture p = PictureWithCodes({"short"});
  Decode(p, &notices, static_cast<int32_t>(p.rows.size()) - 1);
  DecodeFrame(nullptr, 0, 10, 10, 24, notices.hook());
  ASSERT_EQ(notices.seen.size(), 3u);
  for (const auto& n : notices.seen) EXPECT_EQ(n.first, DECODE_NOTHING_FOUND);
}

uint32_t Le32(const std::string& b, size_t at) {
  auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])); };
  return u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
}

TEST(WriteFrameBitmap, WritesHeaderNotifiesSnapshotThenDecodes) {
  Notices notices;
  BgrPicture p = PictureWithCodes({"snapshot"}, 202, 150);
  std::filesystem::create_directories(QRTOOL_TEST_TMP);
  const std::string path = std::string(QRTOOL_TEST_TMP) + "/ph.bmp";
  const int32_t bytes = static_cast<int32_t>(p.rows.size());
  EXPECT_EQ(WriteFrameBitmap(p.rows.data(), bytes, p.width, p.height, path.c_str(), notices.hook()), 0);
  ASSERT_EQ(notices.seen.size(), 2u);
  EXPECT_EQ(notices.seen[0].first, DECODE_SNAPSHOT_WRITTEN);
  EXPECT_EQ(notices.seen[1], std::make_pair(DECODE_RESULTS_READY, size_t(1)));

  std::ifstream in(path, std::ios::binary);
  const std::string f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(f.size(), 54u + static_cast<size_t>(bytes));
  EXPECT_EQ(f.substr(0, 2), "BM");
  // Size, reserved, pixel offset, header size, width, height, planes 1 and
  // 24 bits, no compression, image size, then zeros.
  const uint32_t u = static_cast<uint32_t>(bytes);
  const uint32_t fields[] = {54 + u, 0, 54, 40, 202, 150, 1 | 24 << 16, 0, u, 0, 0, 0, 0};
  for (size_t i = 0; i < std::size(fields); ++i) EXPECT_EQ(Le32(f, 2 + 4 * i), fields[i]) << i;
  EXPECT_TRUE(std::equal(p.rows.begin(), p.rows.end(), f.begin() + 54,
                         [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));

  // A file that cannot be created: no notice, no decode, the count still cleared.
  notices.seen.clear();
  const std::string missing = std::string(QRTOOL_TEST_TMP) + "/no/such/dir/ph.bmp";
  EXPECT_EQ(WriteFrameBitmap(p.rows.data(), bytes, p.width, p.height, missing.c_str(), notices.hook()), 0);
  EXPECT_TRUE(notices.seen.empty());
  EXPECT_TRUE(DecodeResultTable::Shared().Snapshot().empty());
}

TEST(ReaderLock, HeldByOneHolderADecodeElsewhereWaits) {
  auto held = std::make_unique<ReaderLock>();
  std::atomic<bool> done{false};
  std::thread t([&] {
    std::vector<uint8_t> px(static_cast<size_t>(FrameStride(8, 24) * 8), 255);
    DecodeFrame(px.data(), static_cast<int32_t>(px.size()), 8, 8, 24, {});
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done.load());
  held.reset();
  t.join();
  EXPECT_TRUE(done.load());
}

}  // namespace
