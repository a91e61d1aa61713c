// Grey conversion, DecodeFrame's result table and notifications, and
// WriteFrameBitmap.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iterator>
#include <set>
#include <thread>

#include "capture/frame_grey.h"
#include "capture/picture_file.h"
#include "capture_test_util.h"

namespace {

using captest::Notices;
using captest::NoticeScope;

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
  const int64_t stride = FrameStride(w, 24);
  EXPECT_EQ(stride, 304);
  std::vector<uint8_t> px(static_cast<size_t>(stride * h), 0xFF);
  for (int y = 0; y < h; ++y) {
    uint8_t v = static_cast<uint8_t>(50 * (y + 1));  // memory rows 50, 100, 150
    px[static_cast<size_t>(stride * y)] = px[static_cast<size_t>(stride * y + 1)] =
        px[static_cast<size_t>(stride * y + 2)] = v;
  }
  std::vector<uint8_t> grey;
  ConvertFrameToGrey(px.data(), w, h, 24, &grey);
  ASSERT_EQ(GreyStride(w), 104);
  ASSERT_EQ(grey.size(), 104u * 3);
  // The last row in memory (the picture's top) is row 0 of the grey image.
  EXPECT_EQ(grey[0], GreyOf(150, 150, 150));
  EXPECT_EQ(grey[104], GreyOf(100, 100, 100));
  EXPECT_EQ(grey[208], GreyOf(50, 50, 50));
  for (int y = 0; y < h; ++y) {
    EXPECT_EQ(grey[y * 104 + 100], 255);
    // Pad columns continue a row that ends light.
    for (int x = 101; x < 104; ++x) EXPECT_EQ(grey[y * 104 + x], 255) << x;
  }
}

// A picture with `texts.size()` codes in a row, as camera rows.
BgrPicture PictureWithCodes(const std::vector<std::string>& texts, int32_t w = 640, int32_t h = 240) {
  captest::Canvas canvas(w, h);
  int x = 16;
  for (const std::string& t : texts) {
    int side = captest::DrawCode(&canvas, t, x, 40, 4);
    EXPECT_GT(side, 0);
    x += (side + 8) * 4;
  }
  return PictureFromGrey(canvas.grey.data(), w, h);
}

TEST(DecodeFrame, PublishesCountBeforeNotifying) {
  NoticeScope scope;
  BgrPicture p = PictureWithCodes({"first", "second", "third"});
  EXPECT_EQ(DecodeFrame(p.rows.data(), static_cast<int32_t>(p.rows.size()), p.width, p.height, 24), 1);
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(Notices()[0].code, DECODE_RESULTS_READY);
  EXPECT_EQ(Notices()[0].countAtNotice, 3);
  EXPECT_EQ(g_decodeCount, 3);
  std::set<std::string> texts;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(g_decodeResults[i].type, QR_SYMBOL_TYPE_QRCODE);
    texts.insert(std::string(reinterpret_cast<char*>(g_decodeResults[i].data), g_decodeResults[i].length));
  }
  EXPECT_EQ(texts, (std::set<std::string>{"first", "second", "third"}));
  EXPECT_EQ(g_decodeResults[3].type, 0u);  // the rest of the table is zeroed
}

TEST(DecodeFrame, NothingFoundClearsTheTable) {
  NoticeScope scope;
  BgrPicture p = PictureWithCodes({"stale"});
  DecodeFrame(p.rows.data(), static_cast<int32_t>(p.rows.size()), p.width, p.height, 24);
  ASSERT_EQ(g_decodeCount, 1);
  BgrPicture blank = PictureWithCodes({});
  DecodeFrame(blank.rows.data(), static_cast<int32_t>(blank.rows.size()), blank.width, blank.height, 24);
  ASSERT_EQ(Notices().size(), 2u);
  EXPECT_EQ(Notices()[1].code, DECODE_NOTHING_FOUND);
  EXPECT_EQ(g_decodeCount, 0);
  EXPECT_EQ(g_decodeResults[0].type, 0u);
  EXPECT_EQ(g_decodeResults[0].length, 0u);
}

TEST(DecodeFrame, TooLargeOrShortBuffersFindNothing) {
  NoticeScope scope;
  // 1281 pixels wide: 1284 grey columns, over the reader's limit.
  std::vector<uint8_t> wide(static_cast<size_t>(FrameStride(1281, 24) * 2), 255);
  DecodeFrame(wide.data(), static_cast<int32_t>(wide.size()), 1281, 2, 24);
  // 1277 wide rounds up to exactly 1280 and is accepted (nothing on it).
  std::vector<uint8_t> edge(static_cast<size_t>(FrameStride(1277, 24) * 2), 255);
  DecodeFrame(edge.data(), static_cast<int32_t>(edge.size()), 1277, 2, 24);
  // A byte count shorter than the rows is never read past.
  BgrPicture p = PictureWithCodes({"short"});
  DecodeFrame(p.rows.data(), static_cast<int32_t>(p.rows.size()) - 1, p.width, p.height, 24);
  DecodeFrame(nullptr, 0, 10, 10, 24);
  ASSERT_EQ(Notices().size(), 4u);
  for (const auto& n : Notices()) EXPECT_EQ(n.code, DECODE_NOTHING_FOUND);
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST(WriteFrameBitmap, WritesHeaderNotifiesSnapshotThenDecodes) {
  NoticeScope scope;
  BgrPicture p = PictureWithCodes({"snapshot"}, 202, 150);
  const std::string path = captest::TempDir("frame") + "/ph.bmp";
  const int32_t bytes = static_cast<int32_t>(p.rows.size());
  EXPECT_EQ(WriteFrameBitmap(p.rows.data(), bytes, p.width, p.height, path.c_str()), 0);
  ASSERT_EQ(Notices().size(), 2u);
  EXPECT_EQ(Notices()[0].code, DECODE_SNAPSHOT_WRITTEN);
  EXPECT_EQ(Notices()[1].code, DECODE_RESULTS_READY);
  EXPECT_EQ(Notices()[1].countAtNotice, 1);

  std::vector<uint8_t> f = captest::ReadAll(path);
  ASSERT_EQ(f.size(), 54u + static_cast<size_t>(bytes));
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  // Size, reserved, pixel offset, header size, width, height, planes 1 and
  // 24 bits, no compression, image size, then zeros.
  const uint32_t u = static_cast<uint32_t>(bytes);
  const uint32_t fields[] = {54 + u, 0, 54, 40, 202, 150, 1 | 24 << 16, 0, u, 0, 0, 0, 0};
  for (size_t i = 0; i < std::size(fields); ++i) EXPECT_EQ(Le32(f, 2 + 4 * i), fields[i]) << i;
  EXPECT_TRUE(std::equal(p.rows.begin(), p.rows.end(), f.begin() + 54));
}

TEST(WriteFrameBitmap, UncreatableFileDoesNothingElse) {
  NoticeScope scope;
  BgrPicture p = PictureWithCodes({"kept"});
  DecodeFrame(p.rows.data(), static_cast<int32_t>(p.rows.size()), p.width, p.height, 24);
  Notices().clear();
  const std::string path = captest::TempDir("frame") + "/no/such/dir/ph.bmp";
  EXPECT_EQ(WriteFrameBitmap(p.rows.data(), static_cast<int32_t>(p.rows.size()), p.width, p.height,
                             path.c_str()),
            0);
  EXPECT_TRUE(Notices().empty());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(g_decodeCount, 0);  // the count is cleared first, as ever
}

TEST(ReaderLock, IsOneProcessWideMutex) {
  EXPECT_EQ(&ReaderLock(), &ReaderLock());
  // Held by a presenter, a decode on another thread waits for it.
  std::unique_lock<std::mutex> held(ReaderLock());
  std::atomic<bool> done{false};
  std::thread t([&] {
    std::vector<uint8_t> px(static_cast<size_t>(FrameStride(8, 24) * 8), 255);
    DecodeFrame(px.data(), static_cast<int32_t>(px.size()), 8, 8, 24);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done.load());
  held.unlock();
  t.join();
  EXPECT_TRUE(done.load());
}

}  // namespace
