// `qrtool decode` reads back the JPEG pictures `qrtool encode` writes (through
// the camera path's grey conversion), in its three output encodings, with its
// exit statuses. Symbols of every size are read in the reader's own tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "capture/bmp_file.h"
#include "capture/picture_file.h"
#include "tests/support/process_runner.h"
#include "tests/support/test_dir.h"

namespace {

namespace fs = std::filesystem;

class CliDecodeTest : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& args) {
    return RunProcess(QrtoolPath(), args, "", dir_.string());
  }
  const fs::path dir_ = FreshTestDir();
};

TEST_F(CliDecodeTest, JsonEncodingsAndExitStatus) {
  ASSERT_EQ(Run({"encode", "--level", "M", "--output", "json.jpg", "--", "json 文字"}).status, 0);
  EXPECT_EQ(Run({"decode", "json.jpg"}).out, "解码信息 1 :\njson 文字\n");
  ProcessResult json = Run({"decode", "--json", "json.jpg"});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("\"text\": \"json 文字\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"bytes_hex\": \"6a736f6e20cec4d7d6\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"version\": 1,"), std::string::npos) << json.out;

  // GBK bytes read as UTF-8 are not valid: the display conversion shows '?'.
  ProcessResult utf8 = Run({"decode", "--encoding", "utf8", "json.jpg"});
  EXPECT_EQ(utf8.out.rfind("解码信息 1 :\njson ", 0), 0u) << utf8.out;
  EXPECT_NE(utf8.out.find('?'), std::string::npos) << utf8.out;
  // UTF-8 bytes in the code (--raw): "unicode" shows the text.
  ASSERT_EQ(Run({"encode", "--raw", "--output", "raw.jpg", "--", "raw 文字"}).status, 0);
  EXPECT_EQ(Run({"decode", "--encoding", "unicode", "raw.jpg"}).out, "解码信息 1 :\nraw 文字\n");

  // Nothing found: 1; unreadable input and bad usage: 2, with a message.
  std::vector<uint8_t> white(64 * 48, 255);
  BgrPicture blank = PictureFromGrey(white.data(), 64, 48);
  const BmpFields fields{.width = 64, .height = 48,
                         .imageSize = static_cast<uint32_t>(blank.rows.size())};
  ASSERT_EQ(WriteBmpFile((dir_ / "empty.bmp").c_str(), fields, nullptr, blank.rows.data()),
            kBmpWritten);
  std::ofstream(dir_ / "junk.png", std::ios::binary) << "\x89PNG\r\n\x1a\njunk";
  // A small progressive JPEG whose header claims 60000 x 60000 pixels: it must
  // be refused from its header, not after gigabytes of buffers for that size
  // (kept out of reach by a memory limit, which the sanitizers cannot run under).
  std::string huge = ReadFileText((dir_ / "json.jpg").string());
  const size_t frame = huge.find("\xFF\xC0"), scan = huge.find("\xFF\xDA");
  ASSERT_NE(frame, std::string::npos);
  ASSERT_NE(scan, std::string::npos);
  huge.replace(frame, 9, std::string("\xFF\xC2\x00\x0B\x08\xEA\x60\xEA\x60", 9));
  huge[scan + 8] = 0;  // spectral selection 0..0: a valid first progressive scan
  std::ofstream(dir_ / "huge.jpg", std::ios::binary) << huge;
#if defined(__SANITIZE_ADDRESS__)
  const std::string memoryLimit;
#else
  const std::string memoryLimit = "ulimit -v 1000000; ";
#endif
  const struct {
    std::vector<std::string> args;
    int status;
    std::string outHas;  // standard output and error together
  } cases[] = {
      {{"empty.bmp"}, 1, "无解码内容\n"},
      {{"junk.png"}, 2, "bad PNG file"},
      {{"."}, 2, "folder"},  // a stream reading a folder used to throw
      {{"huge.jpg"}, 2, "picture size not supported"},
      {{"--encoding", "latin1", "json.jpg"}, 2, "--encoding takes"},
      {{}, 2, "no picture given"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"-c", memoryLimit + "exec \"$0\" decode \"$@\"", QrtoolPath()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = RunProcess("/bin/sh", args, "", dir_.string());
    const std::string said = r.out + r.err;
    EXPECT_EQ(r.status, c.status) << said;
    EXPECT_NE(said.find(c.outHas), std::string::npos) << said;
  }
}

}  // namespace
