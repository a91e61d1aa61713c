// `qrtool encode` and `qrtool batch` run as a user runs them: the built binary
// in a scratch folder, its output, exit status and files checked, and the
// pictures read back with an independent QR reader.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include "tests/generation/read_jpeg.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string out, err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* cli = std::getenv("QRTOOL_CLI");
    ASSERT_NE(cli, nullptr) << "QRTOOL_CLI is not set";
    cli_ = cli;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(QRTOOL_TEST_TMP) / (std::string(info->test_suite_name()) + "." + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "io");
  }

  // Runs qrtool with `args` in the scratch folder, `input` on standard input.
  RunResult Run(const std::vector<std::string>& args, const std::string& input = "") {
    fs::path in = dir_ / "io/stdin", out = dir_ / "io/stdout", err = dir_ / "io/stderr";
    std::ofstream(in, std::ios::binary) << input;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{cli_.data()};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    RunResult result;
    if (posix_spawn(&pid, cli_.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
      int wstatus = 0;
      waitpid(pid, &wstatus, 0);
      result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
  }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  void WriteFile(const std::string& name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }

  // The picture's content as read by zxing-cpp; empty when unreadable.
  std::string ReadBack(const std::string& name, testjpeg::Picture* picture = nullptr) const {
    testjpeg::Picture local;
    testjpeg::Picture& p = picture != nullptr ? *picture : local;
    testjpeg::ReadPicture(Path(name).string(), &p);
    if (!p.ok) return "";
    ZXing::ImageView view(p.pixels.data(), p.width, p.height, ZXing::ImageFormat::Lum);
    ZXing::Result result =
        ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode));
    if (!result.isValid()) return "";
    return std::string(result.bytes().begin(), result.bytes().end());
  }

  std::string cli_;
  fs::path dir_;
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// ---- encode ---------------------------------------------------------------

TEST_F(CliTest, EncodeJsonReportsVersionLevelAndSize) {
  RunResult r = Run({"encode", "--json", "HELLO WORLD"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "{\"version\": 1, \"level\": \"Q\", \"width_px\": 125, \"file\": \"qr.jpg\"}\n");
  EXPECT_EQ(r.err, "");
  testjpeg::Picture picture;
  EXPECT_EQ(ReadBack("qr.jpg", &picture), "HELLO WORLD");
  EXPECT_EQ(picture.width, 125);
}

TEST_F(CliTest, EncodePrintsThePageStatusText) {
  RunResult r = Run({"encode", "--module-size", "1", "--output", "small.jpg", "HELLO WORLD"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "二维码生成成功 使用版本：1   使用纠错级别： 强   图像尺寸: 25 X 25\n");
  EXPECT_EQ(ReadBack("small.jpg"), "HELLO WORLD");
  EXPECT_FALSE(fs::exists(Path("qr.jpg")));

  // Level L asked for and raised by the encoder: the status names the level used.
  r = Run({"encode", "--level", "L", "--version=5", "--output=v5.jpg", "12345678901234567890"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "二维码生成成功 使用版本：5   使用纠错级别： 高   图像尺寸: 215 X 215\n");
}

TEST_F(CliTest, EncodeConvertsUtf8ToGbk) {
  ASSERT_EQ(Run({"encode", "中文ABC"}).status, 0);
  EXPECT_EQ(ReadBack("qr.jpg"), "\xD6\xD0\xCE\xC4" "ABC");
  // --raw keeps the UTF-8 bytes.
  ASSERT_EQ(Run({"encode", "--raw", "--output", "raw.jpg", "中文ABC"}).status, 0);
  EXPECT_EQ(ReadBack("raw.jpg"), "中文ABC");
  // Hanzi mode reads back as the same GB 2312 bytes, in a smaller symbol.
  RunResult r = Run({"encode", "--hanzi", "--level", "H", "--json", "--output", "hz.jpg",
                     Repeat("二维码生成", 4)});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBack("hz.jpg"), Repeat("\xB6\xFE\xCE\xAC\xC2\xEB\xC9\xFA\xB3\xC9", 4));
  EXPECT_NE(r.out.find("\"version\": 4,"), std::string::npos) << r.out;
  r = Run({"encode", "--level", "H", "--json", "--output", "bytes.jpg", Repeat("二维码生成", 4)});
  EXPECT_NE(r.out.find("\"version\": 5,"), std::string::npos) << r.out;
}

TEST_F(CliTest, EncodeRefusesCharactersGbkLacks) {
  RunResult r = Run({"encode", "a😀b"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("😀"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("qr.jpg")));
  r = Run({"encode", "--raw", "a😀b"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBack("qr.jpg"), "a😀b");
}

TEST_F(CliTest, EncoderFailureWritesNothing) {
  RunResult r = Run({"encode", "--version", "2", Repeat("a", 40)});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error: Input too long for selected version"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(Path("qr.jpg")));
  r = Run({"encode", "--version", "3", Repeat("a", 40)});
  EXPECT_EQ(r.status, 2) << "fits version 3 but is over the page's limit of 42";
}

TEST_F(CliTest, EncodeAppliesThePageLimit) {
  RunResult r = Run({"encode", Repeat("a", 301)});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("您输入的内容过长，请输入 300 个字符以内的内容！"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("qr.jpg")));
  EXPECT_EQ(Run({"encode", Repeat("a", 300)}).status, 0);

  // Version 2 at level L: 34 codewords / 2 - 2 = 15 bytes; a Chinese character counts 2.
  r = Run({"encode", "--version", "2", "--output", "cn.jpg", "一二三四五六七八"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("请输入 15 个字符以内"), std::string::npos) << r.err;
  EXPECT_EQ(Run({"encode", "--version", "2", "--output", "cn.jpg", "一二三四五六七"}).status, 0);
}

TEST_F(CliTest, EncodeReadsStandardInput) {
  RunResult r = Run({"encode", "--json", "-"}, "HELLO WORLD\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"level\": \"Q\""), std::string::npos) << "line break not dropped";
  EXPECT_EQ(ReadBack("qr.jpg"), "HELLO WORLD");
  r = Run({"encode", "-"}, "two\nlines\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBack("qr.jpg"), "two\nlines");
  r = Run({"encode", "-"}, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("请输入二维码内容！"), std::string::npos);
}

TEST_F(CliTest, EncodeUsageErrors) {
  EXPECT_EQ(Run({"encode"}).status, 2);
  EXPECT_EQ(Run({"encode", "a", "b"}).status, 2);
  EXPECT_EQ(Run({"encode", "--module-size", "21", "a"}).status, 2);
  EXPECT_EQ(Run({"encode", "--module-size", "0", "a"}).status, 2);
  EXPECT_EQ(Run({"encode", "--version", "41", "a"}).status, 2);
  EXPECT_EQ(Run({"encode", "--level", "X", "a"}).status, 2);
  EXPECT_EQ(Run({"encode", "--bogus", "a"}).status, 2);
  EXPECT_EQ(Run({"encode", "a", "--output"}).status, 2);
  EXPECT_FALSE(fs::exists(Path("qr.jpg")));
  RunResult help = Run({"encode", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: qrtool encode"), std::string::npos);
  // After "--" a leading dash is text.
  EXPECT_EQ(Run({"encode", "--", "--json"}).status, 0);
  EXPECT_EQ(ReadBack("qr.jpg"), "--json");
}

TEST_F(CliTest, EncodeUnwritableOutputFails) {
  RunResult r = Run({"encode", "--output", "no/such/dir/x.jpg", "HELLO"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot write"), std::string::npos);
  EXPECT_EQ(r.out, "");
}

// Half blocks back to modules: must match the picture written in the same run.
TEST_F(CliTest, TerminalDrawingMatchesThePicture) {
  RunResult r = Run({"encode", "--terminal", "--module-size", "1", "Terminal test 123"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::vector<bool>> rows;  // dark modules, margin included
  for (std::string line; std::getline(lines, line) && line.rfind("二维码", 0) != 0;) {
    std::vector<bool> top, bottom;
    for (size_t i = 0; i < line.size();) {
      bool t = false, b = false;
      if (line[i] == ' ') {
        i += 1;
      } else {
        std::string glyph = line.substr(i, 3);
        t = glyph == "█" || glyph == "▀";
        b = glyph == "█" || glyph == "▄";
        ASSERT_TRUE(t || b) << "unexpected glyph in " << line;
        i += 3;
      }
      top.push_back(t);
      bottom.push_back(b);
    }
    rows.push_back(top);
    rows.push_back(bottom);
  }
  testjpeg::Picture picture;
  ASSERT_EQ(ReadBack("qr.jpg", &picture), "Terminal test 123");
  int n = picture.width * 10 / 12;  // width = N + 2 (N div 10), N 21..177
  while (n + 2 * (n / 10) != picture.width) ++n;
  int q = n / 10, margin = 4;
  ASSERT_GE(rows.size(), static_cast<size_t>(n + 2 * margin));
  for (int r2 = 0; r2 < n + 2 * margin; ++r2) {
    ASSERT_EQ(rows[r2].size(), static_cast<size_t>(n + 2 * margin)) << "row " << r2;
    for (int c = 0; c < n + 2 * margin; ++c) {
      int mr = r2 - margin, mc = c - margin;
      bool dark = mr >= 0 && mr < n && mc >= 0 && mc < n &&
                  picture.pixels[static_cast<size_t>(mr + q) * picture.width + mc + q] < 128;
      ASSERT_EQ(rows[r2][c], dark) << "module (" << mr << ", " << mc << ")";
    }
  }
}

// ---- batch ----------------------------------------------------------------

TEST_F(CliTest, BatchSkipsEmptyLinesAndNumbersByPosition) {
  WriteFile("lines.txt", "a\n\nb\n");
  fs::create_directories(Path("out"));
  RunResult r = Run({"batch", "lines.txt", "--dir", "out"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "二维码批量生成成功，共生成: 2 个有效二维码文件\n");
  EXPECT_EQ(r.err, "") << "no progress bar when stderr is not a terminal";
  EXPECT_EQ(ReadBack("out/batqr1.jpg"), "a");
  EXPECT_FALSE(fs::exists(Path("out/batqr2.jpg")));
  EXPECT_EQ(ReadBack("out/batqr3.jpg"), "b");
  EXPECT_FALSE(fs::exists(Path("out/batqr4.jpg")));

  // Windows line breaks, a prefix, options, standard input.
  r = Run({"batch", "-", "--dir", "out", "--prefix", "p_", "--module-size", "2", "--json"},
          "甲\r\nB2\r\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBack("out/p_1.jpg"), "\xBC\xD7");
  EXPECT_EQ(ReadBack("out/p_2.jpg"), "B2");
  EXPECT_NE(r.out.find("\"written\": 2"), std::string::npos) << r.out;
}

TEST_F(CliTest, BatchLineCountLimit) {
  fs::create_directories(Path("out"));
  std::string lines;
  for (int i = 1; i <= 501; ++i) lines += "L" + std::to_string(i) + "\n";
  WriteFile("501.txt", lines);
  RunResult r = Run({"batch", "501.txt", "--dir", "out"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("您最多可输入500行编码内容，请重新输入！"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(Path("out")));

  WriteFile("500.txt", lines.substr(0, lines.find("L501")));
  r = Run({"batch", "500.txt", "--dir", "out", "--module-size", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "二维码批量生成成功，共生成: 500 个有效二维码文件\n");
  EXPECT_EQ(ReadBack("out/batqr500.jpg"), "L500");
  EXPECT_FALSE(fs::exists(Path("out/batqr501.jpg")));
}

TEST_F(CliTest, BatchLineLimitStopsBeforeAnyFile) {
  fs::create_directories(Path("out"));
  WriteFile("lines.txt", "ab\nxyz\nc\n");
  // Version 1 at level H: 9 codewords / 2 - 2 = 2 bytes per line.
  RunResult r = Run({"batch", "lines.txt", "--dir", "out", "--version", "1", "--level", "H"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("第 2 行数据出错!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("出错内容：xyz!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("只允许输入 2 个字符，您输入了 3 个字符!"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(Path("out")));

  // Lines over 300 bytes are refused, not cut, even where the version would allow more.
  WriteFile("long.txt", "short\n" + Repeat("x", 301) + "\n");
  r = Run({"batch", "long.txt", "--dir", "out", "--version", "40"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("第 2 行数据出错!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("只允许输入 300 个字符，您输入了 301 个字符!"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(Path("out")));

  // A character GBK lacks names its line, before anything is written.
  WriteFile("emoji.txt", "fine\nbad 😀\n");
  r = Run({"batch", "emoji.txt", "--dir", "out"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(Path("out")));
}

TEST_F(CliTest, BatchReportsUnwritableFilesAndGoesOn) {
  fs::create_directories(Path("out/batqr2.jpg"));  // a folder where a file should go
  WriteFile("lines.txt", "one\ntwo\nthree\n");
  RunResult r = Run({"batch", "lines.txt", "--dir", "out", "--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("line 2: cannot write"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("\"written\": 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"line\": 2"), std::string::npos) << r.out;
  EXPECT_EQ(ReadBack("out/batqr1.jpg"), "one");
  EXPECT_EQ(ReadBack("out/batqr3.jpg"), "three");

  // Nothing written at all: exit 1.
  WriteFile("two.txt", "\ntwo\n");
  r = Run({"batch", "two.txt", "--dir", "out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("共生成: 0 个"), std::string::npos) << r.out;
}

TEST_F(CliTest, BatchChecksItsInputsInThePageOrder) {
  WriteFile("lines.txt", "a\n");
  WriteFile("empty.txt", "");
  fs::create_directories(Path("out"));
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"batch", "lines.txt", "--dir", "out", "--prefix", ""}, "请输入文件前缀！"},
      {{"batch", "lines.txt"}, "请选择文件保存路径！"},
      {{"batch", "lines.txt", "--dir", ""}, "请选择文件保存路径！"},
      {{"batch", "lines.txt", "--dir", "missing"}, "文件保存路径无效，请重新输入！"},
      {{"batch", "lines.txt", "--dir", "lines.txt"}, "文件保存路径无效，请重新输入！"},
      {{"batch", "empty.txt", "--dir", "out"}, "请输入编码内容！"},
      {{"batch", "missing.txt", "--dir", "out"}, "cannot read missing.txt"},
      {{"batch", "lines.txt", "--dir", "out", "--terminal"}, "unknown option"},
      {{"batch", "--dir", "out"}, "LINES_FILE"},
  };
  for (const Case& c : cases) {
    RunResult r = Run(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_TRUE(fs::is_empty(Path("out")));
  EXPECT_EQ(Run({"batch", "--help"}).status, 0);
}

}  // namespace
