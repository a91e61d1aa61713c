// `qrtool send` to `qrtool listen`, both run as programs over loopback.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/test_dir.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) { return ReadFileText(p.string()); }

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

int ExitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

class SendListenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* cli = std::getenv("QRTOOL_CLI");
    if (cli == nullptr) GTEST_SKIP() << "QRTOOL_CLI is not set";
    cli_ = Quote(cli);
    dir_ = FreshTestDir();
  }
  void TearDown() override {
    if (listener_ != nullptr) StopListener();
  }
  std::string File(const char* name) const { return Quote((dir_ / name).string()); }

  // Starts `qrtool listen` on a free loopback port and waits until it is ready.
  void StartListener(const std::string& options, int timeout = 20) {
    listener_ =
        popen((cli_ + " listen --bind 127.0.0.1 --port 0 --timeout " + std::to_string(timeout) +
               " " + options + " </dev/null 2>" + File("listen.err"))
                  .c_str(),
              "r");
    ASSERT_NE(listener_, nullptr);
    std::regex ready("listening on 127\\.0\\.0\\.1:([0-9]+)");
    for (int i = 0; i < 250 && port_.empty(); ++i) {
      std::smatch m;
      std::string err = Slurp(dir_ / "listen.err");
      if (std::regex_search(err, m, ready)) port_ = m[1];
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(port_.empty()) << Slurp(dir_ / "listen.err");
  }

  // Runs `qrtool send` (DEST: the listener); `input` feeds standard input.
  int Send(const std::vector<std::string>& args, const std::string& input = "") {
    std::vector<std::string> full{"send"};
    for (const std::string& a : args) full.push_back(a == "DEST" ? "127.0.0.1:" + port_ : a);
    ProcessResult r = RunProcess(QrtoolPath(), full, input, dir_.string());
    sendErr_ = r.err;
    return r.status;
  }

  // Waits for the listener to end; its output goes to listened_.
  int StopListener() {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, listener_)) > 0) listened_.append(buf, n);
    int status = pclose(listener_);
    listener_ = nullptr;
    return ExitStatus(status);
  }

  std::string cli_;
  fs::path dir_;
  std::FILE* listener_ = nullptr;
  std::string port_;
  std::string listened_;
  std::string sendErr_;
};

TEST_F(SendListenTest, TextsOfEveryFormArriveWhole) {
  StartListener("--count 5");
  std::string longText;
  for (int i = 0; i < 2601; ++i) longText += static_cast<char>('0' + i % 10);
  const std::string fullPieces(2400, 'q');  // no closing piece: printed after a pause
  EXPECT_EQ(Send({"DEST", "二维码 Velmora"}), 0);
  EXPECT_EQ(Send({"DEST", "-"}, longText), 0);
  EXPECT_EQ(Send({"DEST", "A"}), 0);
  // GBK bytes as given with --raw: "中" is D6 D0.
  EXPECT_EQ(Send({"--raw", "DEST", "\xD6\xD0"}), 0);
  EXPECT_EQ(Send({"DEST", "-"}, fullPieces), 0);
  EXPECT_EQ(StopListener(), 0);
  EXPECT_EQ(listened_, "二维码 Velmora\n" + longText + "\nA\n中\n" + fullPieces + "\n");
}

TEST_F(SendListenTest, RawListenerPrintsTheGbkBytes) {
  StartListener("--count 1 --raw");
  EXPECT_EQ(Send({"DEST", "中文"}), 0);
  EXPECT_EQ(StopListener(), 0);
  EXPECT_EQ(listened_, "\xD6\xD0\xCE\xC4\n");
}

TEST_F(SendListenTest, BadSendsAreRefusedWithAReason) {
  port_ = "9";
  EXPECT_EQ(Send({"DEST", ""}), 1);
  EXPECT_NE(sendErr_.find("empty"), std::string::npos);
  EXPECT_EQ(Send({"127.0.0.1:70000", "x"}), 2);
  EXPECT_EQ(Send({"127.0.0.1", "x"}), 2);
  EXPECT_EQ(Send({"DEST"}), 2);
  // U+1F600 has no GBK form: refused rather than sent as '?'.
  EXPECT_EQ(Send({"DEST", "smile \xF0\x9F\x98\x80"}), 2);
  EXPECT_NE(sendErr_.find("GBK"), std::string::npos);
}

TEST_F(SendListenTest, ListenerWithNothingReceivedEndsOnItsTimeout) {
  StartListener("", 1);
  EXPECT_EQ(StopListener(), 1);
  EXPECT_EQ(listened_, "");
  const std::string badCount = cli_ + " listen --count 0 </dev/null >/dev/null 2>&1";
  EXPECT_EQ(ExitStatus(std::system(badCount.c_str())), 2);
}

}  // namespace
