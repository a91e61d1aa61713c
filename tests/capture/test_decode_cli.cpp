// Round trip through the command line: `qrtool decode` reads back the JPEG
// pictures `qrtool encode` writes, for every version and level, with and
// without Chinese compression, and prints the same text.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

#include "capture/picture_file.h"
#include "capture/text_codec.h"
#include "capture_test_util.h"
#include "encoder/qr_encoder.h"

namespace {

struct Outcome {
  int status;
  std::string out;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Outcome Shell(const std::string& command) {
  Outcome r{-1, {}};
  std::FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// A UTF-8 text whose GBK form has at most `maxBytes` bytes (no character cut).
std::string SampleText(size_t maxBytes) {
  const std::string utf8 = "二维码生成分析工具 qrtool 0123456789 读写测试 ABCDEFGHIJ 中文压缩";
  std::string gbk;
  textcodec::Utf8ToGbk(utf8, &gbk);
  std::string all;
  while (all.size() < maxBytes) all += gbk;
  all.resize(textcodec::GbkPrefixLength(all, maxBytes));
  while (!all.empty() && all.back() == ' ') all.pop_back();  // no trailing space to lose
  std::string out;
  textcodec::GbkToUtf8(all, &out);
  return out;
}

class DecodeCli : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* cli = std::getenv("QRTOOL_CLI");
    if (cli == nullptr) GTEST_SKIP() << "QRTOOL_CLI not set";
    cli_ = Quote(cli);
    dir_ = captest::TempDir("cli");
  }
  std::string cli_;
  std::string dir_;
};

TEST_F(DecodeCli, ReadsBackEveryVersionAndLevel) {
  const char* levels[4] = {"L", "M", "Q", "H"};
  int checked = 0;
  for (int version = 1; version <= 40; ++version) {
    int32_t capacity[4];
    ASSERT_EQ(qr_version_capacity(version, capacity), 0);
    for (int level = 0; level < 4; ++level) {
      // The generation rule: capacity / 2 - 2 bytes; long texts kept moderate.
      int limit = capacity[level] / 2 - 2;
      if (limit < 1) continue;
      const std::string text = SampleText(static_cast<size_t>(std::min(limit, 180)));
      for (bool hanzi : {false, true}) {
        const std::string file = dir_ + "/v" + std::to_string(version) + levels[level] +
                                 (hanzi ? "h" : "") + ".jpg";
        Outcome enc = Shell(cli_ + " encode --version " + std::to_string(version) + " --level " +
                        levels[level] + (hanzi ? " --hanzi" : "") + " --output " + Quote(file) +
                        " -- " + Quote(text));
        ASSERT_EQ(enc.status, 0) << "encode v" << version << levels[level] << " " << text;
        Outcome dec = Shell(cli_ + " decode " + Quote(file));
        EXPECT_EQ(dec.status, 0) << file;
        EXPECT_EQ(dec.out, "解码信息 1 :\n" + text + "\n") << file;
        ++checked;
      }
    }
  }
  EXPECT_GE(checked, 300);
}

TEST_F(DecodeCli, JsonEncodingsAndExitStatus) {
  const std::string file = dir_ + "/json.jpg";
  ASSERT_EQ(Shell(cli_ + " encode --level M --output " + Quote(file) + " -- 'json 文字'").status, 0);
  Outcome json = Shell(cli_ + " decode --json " + Quote(file));
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("\"text\": \"json 文字\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"bytes_hex\": \"6a736f6e20cec4d7d6\""), std::string::npos) << json.out;
  // The encoder may raise the level when the data leaves room, never lower it.
  EXPECT_EQ(json.out.find("\"level\": \"L\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"version\": 1,"), std::string::npos) << json.out;

  // The same GBK bytes read as UTF-8 are not valid: the display conversion
  // turns them into default characters.
  Outcome utf8 = Shell(cli_ + " decode --encoding utf8 " + Quote(file));
  EXPECT_EQ(utf8.status, 0);
  EXPECT_EQ(utf8.out.rfind("解码信息 1 :\njson ", 0), 0u) << utf8.out;
  EXPECT_NE(utf8.out.find('?'), std::string::npos) << utf8.out;

  // UTF-8 bytes in the code (--raw): "unicode" shows the text.
  const std::string raw = dir_ + "/raw.jpg";
  ASSERT_EQ(Shell(cli_ + " encode --raw --output " + Quote(raw) + " -- 'raw 文字'").status, 0);
  EXPECT_EQ(Shell(cli_ + " decode --encoding unicode " + Quote(raw)).out, "解码信息 1 :\nraw 文字\n");

  // Nothing found: 1; unreadable input and bad usage: 2, with a message.
  captest::Canvas blank(64, 48);
  const std::string empty = dir_ + "/empty.bmp";
  ASSERT_EQ(captest::WriteBmp(empty, PictureFromGrey(blank.grey.data(), 64, 48)), kBmpWritten);
  std::ofstream(dir_ + "/junk.png", std::ios::binary) << "\x89PNG\r\n\x1a\njunk";
  // A small progressive JPEG whose header claims 60000 x 60000 pixels: it must
  // be refused from its header, not after gigabytes of buffers for that size
  // (kept out of reach by a memory limit, which the sanitizers cannot run under).
  const std::vector<uint8_t> jpeg = captest::ReadAll(file);
  std::string huge(jpeg.begin(), jpeg.end());
  const size_t frame = huge.find("\xFF\xC0"), scan = huge.find("\xFF\xDA");
  ASSERT_NE(frame, std::string::npos);
  ASSERT_NE(scan, std::string::npos);
  huge.replace(frame, 9, std::string("\xFF\xC2\x00\x0B\x08\xEA\x60\xEA\x60", 9));
  huge[scan + 8] = 0;  // spectral selection 0..0: a valid first progressive scan
  std::ofstream(dir_ + "/huge.jpg", std::ios::binary) << huge;
#if defined(__SANITIZE_ADDRESS__)
  const std::string memoryLimit;
#else
  const std::string memoryLimit = "ulimit -v 1000000; ";
#endif
  const struct {
    std::string args;
    int status;
    std::string outHas;  // standard output and error together
  } cases[] = {
      {Quote(empty), 1, "无解码内容\n"},
      {Quote(dir_ + "/junk.png"), 2, "bad PNG file"},
      {Quote(dir_), 2, "folder"},  // a stream reading a folder used to throw
      {Quote(dir_ + "/huge.jpg"), 2, "picture size not supported"},
      {"--encoding latin1 " + Quote(file), 2, "--encoding takes"},
      {"", 2, "no picture given"},
  };
  for (const auto& c : cases) {
    Outcome r = Shell("sh -c " + Quote(memoryLimit + cli_ + " decode " + c.args + " 2>&1"));
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_NE(r.out.find(c.outHas), std::string::npos) << c.args << ": " << r.out;
  }
}

}  // namespace
