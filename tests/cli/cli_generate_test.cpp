// `qrtool encode` and `qrtool batch` run as a user runs them: the built binary
// in a scratch folder, its output, exit status and files checked, and the
// pictures read back with an independent QR reader. The rules themselves are
// tested once, in generation_rules_test; here each is wired once.
#include <gtest/gtest.h>
#include <strings.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/oracle_read.h"
#include "tests/support/process_runner.h"
#include "tests/support/test_dir.h"

namespace {

namespace fs = std::filesystem;
using testimage::Canvas;

// Pixels of a JPEG or PNG picture, or of an SVG one rasterised at its own size
// by rsvg-convert (an independent renderer).
Canvas ReadAnyPicture(const fs::path& path) {
  if (strcasecmp(path.extension().c_str(), ".svg") != 0) return testimage::ReadGrey(path.string());
  const std::string raster = path.string() + ".png";
  const std::string command = "rsvg-convert -o '" + raster + "' '" + path.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return testimage::ReadGrey(raster);
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "out"); }
  ProcessResult Run(const std::vector<std::string>& args, const std::string& input = "") {
    return RunProcess(QrtoolPath(), args, input, dir_.string());
  }
  fs::path Path(const std::string& name) const { return dir_ / name; }
  void WriteFile(const std::string& name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }
  // The picture's data bytes as zxing-cpp reads them; empty when unreadable.
  std::string ReadBack(const std::string& name, Canvas* picture = nullptr) const {
    Canvas local = ReadAnyPicture(Path(name));
    const std::string text = testimage::ReadQr(local);
    if (picture != nullptr) *picture = std::move(local);
    return text;
  }

  const fs::path dir_ = FreshTestDir();
};

TEST_F(CliTest, EncodeWritesWhatWasAskedFor) {
  const struct {
    std::vector<std::string> args;
    std::string input, out, file, content;
  } cases[] = {
      // Level L asked for and raised by the encoder: the status names the level used.
      {{"encode", "--level", "L", "--version=5", "--output=v5.jpg", "12345678901234567890"}, "",
       "二维码生成成功 使用版本：5   使用纠错级别： 高   图像尺寸: 215 X 215\n", "v5.jpg",
       "12345678901234567890"},
      {{"encode", "--raw", "--output", "raw.jpg", "a😀b"}, "", "", "raw.jpg", "a😀b"},
      // Hanzi mode reads back as the same GB 2312 bytes.
      {{"encode", "--hanzi", "--output", "hz.jpg", "二维"}, "", "", "hz.jpg", "\xB6\xFE\xCE\xAC"},
      // Standard input loses its last line break only.
      {{"encode", "--output", "two.jpg", "-"}, "two\nlines\n", "", "two.jpg", "two\nlines"},
      // Over the page's 300 bytes: the command line takes what a symbol holds.
      {{"encode", "--json", std::string(1300, 'a')}, "",
       "{\"version\": 26, \"level\": \"L\", \"width_px\": 725, \"file\": \"qr.jpg\"}\n",
       "qr.jpg", std::string(1300, 'a')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ProcessResult r = Run(c.args, c.input);
    ASSERT_EQ(r.status, 0) << r.err;
    if (!c.out.empty()) {
      EXPECT_EQ(r.out, c.out);
    }
    EXPECT_EQ(ReadBack(c.file), c.content);
  }
}

// Each format, chosen by the output name in any case, read back by zxing-cpp,
// covers the JPEG's pixels (the SVG rasterised; PNG's exact greys are checked
// in symbol_picture_test); --json reports the same width for all three.
TEST_F(CliTest, EveryFormatHoldsTheSamePicture) {
  const struct {
    std::string version, name;
  } cases[] = {{"1", "v1.svg"}, {"10", "v10.PNG"}, {"40", "v40.Svg"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = c.name;  // at most 7 bytes: version 1 takes no more
    auto encode = [&](const std::string& name) {
      return Run({"encode", "--json", "--module-size", "3", "--version", c.version, "--output", name, text});
    };
    const ProcessResult jpeg = encode("ref.jpg"), other = encode(c.name);
    ASSERT_EQ(other.status, 0) << other.err;
    Canvas reference(0, 0), picture(0, 0);
    ASSERT_EQ(ReadBack("ref.jpg", &reference), text);
    ASSERT_EQ(ReadBack(c.name, &picture), text);
    EXPECT_EQ(other.out.substr(0, other.out.find(", \"file\"")),
              jpeg.out.substr(0, jpeg.out.find(", \"file\"")));
    ASSERT_EQ(picture.width, reference.width);
    ASSERT_EQ(picture.grey.size(), reference.grey.size());
    for (size_t i = 0; i < picture.grey.size(); ++i) {
      ASSERT_EQ(picture.grey[i] < 128, reference.grey[i] < 128) << "pixel " << i;
    }
  }
  WriteFile("lines.txt", "first\nsecond\n");
  ASSERT_EQ(Run({"batch", "lines.txt", "--dir", "out", "--format", "svg"}).status, 0);
  EXPECT_EQ(ReadBack("out/batqr2.svg"), "second");
}

TEST_F(CliTest, EncodeRefusalsWriteNothing) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::string errHas;
  } cases[] = {
      {{"encode", "a😀b"}, 2, "😀"},  // GBK lacks it
      {{"encode", "--version", "2", std::string(40, 'a')}, 1, "error: Input too long for selected version"},
      {{"encode", "-"}, 2, "请输入二维码内容！"},
      {{"encode", "--output", "no/such/dir/x.svg", "HELLO"}, 1, "cannot write"},
      {{"encode", "--module-size", "21", "a"}, 2, "--module-size"},
      {{"encode", "a", "b"}, 2, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.errHas);
    const ProcessResult r = Run(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(Path("qr.jpg")));
  }
  // A write that fails part-way (here at the file size limit, which every
  // format's version-40 picture passes) leaves no partial file behind.
  rlimit old{}, small{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  small = {16 * 1024, old.rlim_max};
  std::signal(SIGXFSZ, SIG_IGN);  // a failed write instead of a killed process
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  for (const std::string name : {"big.jpg", "big.png", "big.svg"}) {
    const ProcessResult r =
        Run({"encode", "--version", "40", "--module-size", "20", "--output", name, "a"});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_FALSE(fs::exists(Path(name))) << name;
  }
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
}

// The half-block drawing, turned back into pixels, is a code that reads.
TEST_F(CliTest, TerminalDrawingReads) {
  const ProcessResult r = Run({"encode", "--terminal", "--module-size", "1", "Terminal test 123"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::string> rows;  // one string of '#' and ' ' per module row
  for (std::string line; std::getline(lines, line) && line.rfind("二维码", 0) != 0;) {
    std::string top, bottom;
    for (size_t i = 0, n = 0; i < line.size(); i += n) {
      n = line[i] == ' ' ? 1 : 3;
      const std::string glyph = line.substr(i, n);
      top += glyph == "█" || glyph == "▀" ? '#' : ' ';
      bottom += glyph == "█" || glyph == "▄" ? '#' : ' ';
    }
    rows.insert(rows.end(), {top, bottom});
  }
  const int px = 4, side = static_cast<int>(rows.size()) * px;
  Canvas drawing(side, side);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side && x / px < static_cast<int>(rows[y / px].size()); ++x) {
      drawing.grey[static_cast<size_t>(y) * side + x] = rows[y / px][x / px] == '#' ? 0 : 255;
    }
  }
  EXPECT_EQ(testimage::ReadQr(drawing), "Terminal test 123");
}

TEST_F(CliTest, BatchNumbersByPositionAndGoesOnPastUnwritableFiles) {
  WriteFile("lines.txt", "a\n\nb\n");
  ProcessResult r = Run({"batch", "lines.txt", "--dir", "out"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "二维码批量生成成功，共生成: 2 个有效二维码文件\n");
  EXPECT_EQ(r.err, "") << "no progress bar when stderr is not a terminal";
  EXPECT_EQ(ReadBack("out/batqr3.jpg"), "b");

  fs::create_directories(Path("out/p_2.jpg"));  // a folder where a file should go
  r = Run({"batch", "-", "--dir", "out", "--prefix", "p_", "--json"}, "甲\r\nB2\r\nC3");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("line 2: cannot write"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("\"written\": 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"line\": 2"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBack("out/p_1.jpg"), "\xBC\xD7");

  r = Run({"batch", "-", "--dir", "out", "--prefix", "p_"}, "\nB2\n");  // nothing written: 1
  EXPECT_EQ(r.status, 1);
}

TEST_F(CliTest, BatchRefusalsWriteNothing) {
  WriteFile("lines.txt", "a\n");
  WriteFile("three.txt", "ab\n" + std::string(7090, '9') + "\nc\n");
  WriteFile("emoji.txt", "fine\nbad 😀\n");
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"batch", "lines.txt", "--dir", "lines.txt"}, "文件保存路径无效，请重新输入！"},
      {{"batch", "missing.txt", "--dir", "out"}, "cannot read missing.txt"},
      {{"batch", "lines.txt", "--dir", "out", "--terminal"}, "unknown option"},
      {{"batch", "out", "--dir", "out"}, "cannot read out"},  // a folder used to abort
      {{"batch", "lines.txt", "--dir", "out", "--format", "gif"}, "--format takes"},
      // No symbol holds more than 7089 bytes; the message has no CR.
      {{"batch", "three.txt", "--dir", "out"},
       "第 2 行数据出错!\n出错内容：" + std::string(7090, '9') +
           "!\n\n错误原因:\n您选择的二维码版本只允许输入 7089 个字符，您输入了 7090 个字符!\n"
           "请检查后重新输入!"},
      {{"batch", "emoji.txt", "--dir", "out"}, "line 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message.substr(0, 80));
    const ProcessResult r = Run(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(Path("out")));
  }
}

}  // namespace
