// `qrtool encode` and `qrtool batch` run as a user runs them: the built binary
// in a scratch folder, its output, exit status and files checked, and the
// pictures read back with an independent QR reader.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>
#include <png.h>

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

// Grey pixels of a PNG file through libpng; out->ok stays false when unreadable.
void ReadPng(const std::string& path, testjpeg::Picture* out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return;
  image.format = PNG_FORMAT_GRAY;
  out->pixels.resize(PNG_IMAGE_SIZE(image));
  const png_color white{255, 255, 255};
  if (!png_image_finish_read(&image, &white, out->pixels.data(), 0, nullptr)) return;
  out->width = static_cast<int>(image.width);
  out->height = static_cast<int>(image.height);
  out->ok = true;
}

std::string LowerExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Pixels of a JPEG, PNG or SVG picture (the SVG rasterised at its own size by
// rsvg-convert, an independent renderer).
void ReadAnyPicture(const fs::path& path, testjpeg::Picture* out) {
  const std::string ext = LowerExtension(path);
  if (ext == ".png") return ReadPng(path.string(), out);
  if (ext != ".svg") return testjpeg::ReadPicture(path.string(), out);
  const fs::path raster = path.string() + ".png";
  const std::string command = "rsvg-convert -o '" + raster.string() + "' '" + path.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  ReadPng(raster.string(), out);
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
    ReadAnyPicture(Path(name), &p);
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

// ---- encode ----------------------------------------------------------------

// Accepted encodes: exact output where given (`out`), else text it contains
// (`outHas`), and the picture read back.
TEST_F(CliTest, EncodeWritesWhatWasAskedFor) {
  const struct {
    std::vector<std::string> args;
    std::string input, out, outHas, file, content;
  } cases[] = {
      {{"encode", "--module-size", "1", "--output", "small.jpg", "HELLO WORLD"}, "",
       "二维码生成成功 使用版本：1   使用纠错级别： 强   图像尺寸: 25 X 25\n", "", "small.jpg",
       "HELLO WORLD"},
      // Level L asked for and raised by the encoder: the status names the level used.
      {{"encode", "--level", "L", "--version=5", "--output=v5.jpg", "12345678901234567890"}, "",
       "二维码生成成功 使用版本：5   使用纠错级别： 高   图像尺寸: 215 X 215\n", "", "v5.jpg",
       "12345678901234567890"},
      {{"encode", "--output", "gbk.jpg", "中文ABC"}, "", "", "", "gbk.jpg", "\xD6\xD0\xCE\xC4" "ABC"},
      {{"encode", "--raw", "--output", "raw.jpg", "中文ABC"}, "", "", "", "raw.jpg", "中文ABC"},
      {{"encode", "--raw", "--output", "emoji.jpg", "a😀b"}, "", "", "", "emoji.jpg", "a😀b"},
      // Hanzi mode reads back as the same GB 2312 bytes, in a smaller symbol.
      {{"encode", "--hanzi", "--level", "H", "--json", "--output", "hz.jpg", Repeat("二维码生成", 4)},
       "", "", "\"version\": 4,", "hz.jpg", Repeat("\xB6\xFE\xCE\xAC\xC2\xEB\xC9\xFA\xB3\xC9", 4)},
      {{"encode", "--level", "H", "--json", "--output", "bytes.jpg", Repeat("二维码生成", 4)}, "", "",
       "\"version\": 5,", "bytes.jpg", Repeat("\xB6\xFE\xCE\xAC\xC2\xEB\xC9\xFA\xB3\xC9", 4)},
      {{"encode", "--output", "300.jpg", Repeat("a", 300)}, "", "", "", "300.jpg", Repeat("a", 300)},
      // Version 2 at level L: 34 codewords / 2 - 2 = 15 bytes; a Chinese character counts 2.
      {{"encode", "--version", "2", "--output", "cn.jpg", "一二三四五六七"}, "", "", "", "cn.jpg",
       "\xD2\xBB\xB6\xFE\xC8\xFD\xCB\xC4\xCE\xE5\xC1\xF9\xC6\xDF"},
      // Standard input loses its last line break only.
      {{"encode", "--json", "--output", "in.jpg", "-"}, "HELLO WORLD\n", "", "\"level\": \"Q\"",
       "in.jpg", "HELLO WORLD"},
      {{"encode", "--output", "two.jpg", "-"}, "two\nlines\n", "", "", "two.jpg", "two\nlines"},
      {{"encode", "--output", "dash.jpg", "--", "--json"}, "", "", "", "dash.jpg", "--json"},
      {{"encode", "--json", "HELLO WORLD"}, "",
       "{\"version\": 1, \"level\": \"Q\", \"width_px\": 125, \"file\": \"qr.jpg\"}\n", "", "qr.jpg",
       "HELLO WORLD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const RunResult r = Run(c.args, c.input);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    if (!c.out.empty()) {
      EXPECT_EQ(r.out, c.out);
    }
    EXPECT_NE(r.out.find(c.outHas), std::string::npos) << r.out;
    EXPECT_EQ(ReadBack(c.file), c.content);
    if (c.file != "qr.jpg") {
      EXPECT_FALSE(fs::exists(Path("qr.jpg"))) << "--output also wrote the default file";
    }
  }
  testjpeg::Picture picture;
  ReadBack("qr.jpg", &picture);
  EXPECT_EQ(picture.width, 125);
  const RunResult help = Run({"encode", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: qrtool encode"), std::string::npos);
}

// Each format, chosen by the output name in any case, read back by zxing-cpp.
// PNG holds exactly the grey picture the JPEG approximates; the rasterised SVG
// covers the same pixels; --json reports the same width for all three.
TEST_F(CliTest, EveryFormatHoldsTheSamePicture) {
  const struct {
    std::string version, name;
  } cases[] = {{"1", "v1.png"}, {"1", "v1.svg"}, {"10", "v10.PNG"}, {"10", "v10.Svg"},
               {"40", "v40.png"}, {"40", "v40.svg"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = c.name;  // at most 7 bytes: version 1 takes no more
    const std::vector<std::string> args{"encode", "--json", "--module-size", "3", "--version",
                                        c.version, "--output"};
    std::vector<std::string> jpegArgs = args, otherArgs = args;
    jpegArgs.insert(jpegArgs.end(), {"ref.jpg", text});
    otherArgs.insert(otherArgs.end(), {c.name, text});
    const RunResult jpeg = Run(jpegArgs), other = Run(otherArgs);
    ASSERT_EQ(other.status, 0) << other.err;
    testjpeg::Picture reference, picture;
    ASSERT_EQ(ReadBack("ref.jpg", &reference), text);
    ASSERT_EQ(ReadBack(c.name, &picture), text);
    EXPECT_EQ(other.out.substr(0, other.out.find(", \"file\"")),
              jpeg.out.substr(0, jpeg.out.find(", \"file\"")));
    ASSERT_EQ(picture.width, reference.width);
    ASSERT_EQ(picture.pixels.size(), reference.pixels.size());
    const bool lossless = LowerExtension(c.name) == ".png";
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
      const bool dark = reference.pixels[i] < 128;
      if (lossless) {
        ASSERT_EQ(picture.pixels[i], dark ? 0 : 255) << "pixel " << i;
      } else {
        ASSERT_EQ(picture.pixels[i] < 128, dark) << "pixel " << i;
      }
    }
  }
  WriteFile("lines.txt", "first\nsecond\n");
  fs::create_directories(Path("out"));
  for (const std::string format : {"png", "svg"}) {
    const RunResult r = Run({"batch", "lines.txt", "--dir", "out", "--format", format});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBack("out/batqr2." + format), "second");
  }
  EXPECT_FALSE(fs::exists(Path("out/batqr1.jpg")));
}

// Refused encodes: exit status, the message, no output and no picture.
TEST_F(CliTest, EncodeRefusalsWriteNothing) {
  const struct {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string errHas;
  } cases[] = {
      {{"encode", "a😀b"}, "", 2, "😀"},  // GBK lacks it
      {{"encode", "--version", "2", Repeat("a", 40)}, "", 1,
       "error: Input too long for selected version"},
      // Fits version 3, but over the page's limit of 55 / 2 - 2 = 25 bytes there.
      {{"encode", "--version", "3", Repeat("a", 40)}, "", 2, "请输入 25 个字符以内"},
      {{"encode", Repeat("a", 301)}, "", 2, "您输入的内容过长，请输入 300 个字符以内的内容！"},
      {{"encode", "--version", "2", "一二三四五六七八"}, "", 2, "请输入 15 个字符以内"},
      {{"encode", "-"}, "", 2, "请输入二维码内容！"},
      {{"encode", "--output", "no/such/dir/x.jpg", "HELLO"}, "", 1, "cannot write"},
      {{"encode", "--output", "no/such/dir/x.png", "HELLO"}, "", 1, "cannot write"},
      {{"encode", "--output", "no/such/dir/x.svg", "HELLO"}, "", 1, "cannot write"},
      {{"encode"}, "", 2, ""},
      {{"encode", "a", "b"}, "", 2, ""},
      {{"encode", "--module-size", "21", "a"}, "", 2, ""},
      {{"encode", "--module-size", "0", "a"}, "", 2, ""},
      {{"encode", "--version", "41", "a"}, "", 2, ""},
      {{"encode", "--level", "X", "a"}, "", 2, ""},
      {{"encode", "--bogus", "a"}, "", 2, ""},
      {{"encode", "a", "--output"}, "", 2, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back().substr(0, 20) + " in " + std::to_string(c.args.size()) + " arguments");
    const RunResult r = Run(c.args, c.input);
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
    const RunResult r = Run({"encode", "--version", "40", "--module-size", "20", "--output",
                             name, "a"});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_FALSE(fs::exists(Path(name))) << name;
  }
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
}

// Half blocks back to modules: must match the picture written in the same run.
TEST_F(CliTest, TerminalDrawingMatchesThePicture) {
  const RunResult r = Run({"encode", "--terminal", "--module-size", "1", "Terminal test 123"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::vector<bool>> rows;  // dark modules, margin included
  for (std::string line; std::getline(lines, line) && line.rfind("二维码", 0) != 0;) {
    std::vector<bool> top, bottom;
    for (size_t i = 0, n = 0; i < line.size(); i += n) {
      n = line[i] == ' ' ? 1 : 3;
      const std::string glyph = line.substr(i, n);
      ASSERT_TRUE(glyph == " " || glyph == "█" || glyph == "▀" || glyph == "▄") << line;
      top.push_back(glyph == "█" || glyph == "▀");
      bottom.push_back(glyph == "█" || glyph == "▄");
    }
    rows.push_back(top);
    rows.push_back(bottom);
  }
  testjpeg::Picture picture;
  ASSERT_EQ(ReadBack("qr.jpg", &picture), "Terminal test 123");
  int n = 21;  // width = N + 2 (N div 10)
  while (n + 2 * (n / 10) < picture.width) n += 4;
  ASSERT_EQ(n + 2 * (n / 10), picture.width);
  const int q = n / 10, margin = 4, side = n + 2 * margin;
  ASSERT_GE(rows.size(), static_cast<size_t>(side));
  for (int y = 0; y < side; ++y) {
    ASSERT_EQ(rows[y].size(), static_cast<size_t>(side)) << "row " << y;
    for (int x = 0; x < side; ++x) {
      const int mr = y - margin, mc = x - margin;
      const bool dark = mr >= 0 && mr < n && mc >= 0 && mc < n &&
                        picture.pixels[static_cast<size_t>(mr + q) * picture.width + mc + q] < 128;
      ASSERT_EQ(rows[y][x], dark) << "module (" << mr << ", " << mc << ")";
    }
  }
}

// ---- batch -----------------------------------------------------------------

TEST_F(CliTest, BatchSkipsEmptyLinesAndNumbersByPosition) {
  WriteFile("lines.txt", "a\n\nb\n");
  fs::create_directories(Path("out"));
  RunResult r = Run({"batch", "lines.txt", "--dir", "out"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "二维码批量生成成功，共生成: 2 个有效二维码文件\n");
  EXPECT_EQ(r.err, "") << "no progress bar when stderr is not a terminal";
  EXPECT_EQ(ReadBack("out/batqr1.jpg"), "a");
  EXPECT_EQ(ReadBack("out/batqr3.jpg"), "b");
  EXPECT_EQ(std::distance(fs::directory_iterator(Path("out")), fs::directory_iterator()), 2);

  // Windows line breaks, a prefix, options, standard input.
  r = Run({"batch", "-", "--dir", "out", "--prefix", "p_", "--module-size", "2", "--json"},
          "甲\r\nB2\r\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBack("out/p_1.jpg"), "\xBC\xD7");
  EXPECT_EQ(ReadBack("out/p_2.jpg"), "B2");
  EXPECT_NE(r.out.find("\"written\": 2"), std::string::npos) << r.out;

  // 500 lines are the most.
  std::string lines;
  for (int i = 1; i <= 500; ++i) lines += "L" + std::to_string(i) + "\n";
  WriteFile("500.txt", lines);
  r = Run({"batch", "500.txt", "--dir", "out", "--module-size", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "二维码批量生成成功，共生成: 500 个有效二维码文件\n");
  EXPECT_EQ(ReadBack("out/batqr500.jpg"), "L500");
  EXPECT_FALSE(fs::exists(Path("out/batqr501.jpg")));
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

// Every check in the page's order, and line errors, stop before any file.
TEST_F(CliTest, BatchRefusalsWriteNothing) {
  std::string lines501;
  for (int i = 1; i <= 501; ++i) lines501 += "L" + std::to_string(i) + "\n";
  WriteFile("501.txt", lines501);
  WriteFile("lines.txt", "a\n");
  WriteFile("empty.txt", "");
  WriteFile("three.txt", "ab\nxyz\nc\n");
  WriteFile("long.txt", "short\n" + Repeat("x", 301) + "\n");
  WriteFile("emoji.txt", "fine\nbad 😀\n");
  fs::create_directories(Path("out"));
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> messages;
  } cases[] = {
      {{"batch", "lines.txt", "--dir", "out", "--prefix", ""}, {"请输入文件前缀！"}},
      {{"batch", "lines.txt"}, {"请选择文件保存路径！"}},
      {{"batch", "lines.txt", "--dir", ""}, {"请选择文件保存路径！"}},
      {{"batch", "lines.txt", "--dir", "missing"}, {"文件保存路径无效，请重新输入！"}},
      {{"batch", "lines.txt", "--dir", "lines.txt"}, {"文件保存路径无效，请重新输入！"}},
      {{"batch", "empty.txt", "--dir", "out"}, {"请输入编码内容！"}},
      {{"batch", "501.txt", "--dir", "out"}, {"您最多可输入500行编码内容，请重新输入！"}},
      {{"batch", "missing.txt", "--dir", "out"}, {"cannot read missing.txt"}},
      {{"batch", "out", "--dir", "out"}, {"cannot read out"}},  // a folder used to abort
      {{"batch", "lines.txt", "--dir", "out", "--terminal"}, {"unknown option"}},
      {{"batch", "lines.txt", "--dir", "out", "--format", "gif"}, {"--format takes"}},
      {{"batch", "--dir", "out"}, {"LINES_FILE"}},
      // Version 1 at level H: 9 codewords / 2 - 2 = 2 bytes per line.
      {{"batch", "three.txt", "--dir", "out", "--version", "1", "--level", "H"},
       {"第 2 行数据出错!", "出错内容：xyz!", "只允许输入 2 个字符，您输入了 3 个字符!"}},
      // Lines over 300 bytes are refused, not cut, even where the version allows more.
      {{"batch", "long.txt", "--dir", "out", "--version", "40"},
       {"第 2 行数据出错!", "只允许输入 300 个字符，您输入了 301 个字符!"}},
      {{"batch", "emoji.txt", "--dir", "out"}, {"line 2", "😀"}},  // GBK lacks it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.messages.front());
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.status, 2);
    for (const std::string& m : c.messages) EXPECT_NE(r.err.find(m), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(Path("out")));
  }
  EXPECT_EQ(Run({"batch", "--help"}).status, 0);
}

}  // namespace
