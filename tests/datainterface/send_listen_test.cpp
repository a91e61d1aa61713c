// `qrtool send` to `qrtool listen`, both run as programs over loopback; the
// datagrams themselves are checked in udp_sender_test and datagram_reader_test.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/test_dir.h"

namespace {

class SendListenTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (listener_ != nullptr) Stop();
  }
  // Starts `qrtool listen` on a free loopback port and waits until it names it.
  void Listen(const std::string& options) {
    const std::string err = (dir_ / "listen.err").string();
    listener_ = popen(("'" + QrtoolPath() + "' listen --bind 127.0.0.1 --port 0 " + options +
                       " </dev/null 2>'" + err + "'").c_str(), "r");
    ASSERT_NE(listener_, nullptr);
    const std::regex ready("listening on 127\\.0\\.0\\.1:([0-9]+)");
    for (int i = 0; i < 250 && port_.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const std::string said = ReadFileText(err);
      std::smatch m;
      if (std::regex_search(said, m, ready)) port_ = m[1];
    }
    ASSERT_FALSE(port_.empty()) << ReadFileText(err);
  }
  // Runs `qrtool send`, DEST standing for the listener; `input` feeds standard input.
  int Send(std::vector<std::string> args, const std::string& input = "") {
    for (std::string& a : args) a = a == "DEST" ? "127.0.0.1:" + port_ : a;
    args.insert(args.begin(), "send");
    const ProcessResult r = RunProcess(QrtoolPath(), args, input, dir_.string());
    said_ = r.err;
    return r.status;
  }
  // Waits for the listener to end: its exit status; its output goes to heard_.
  int Stop() {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, listener_)) > 0;) heard_.append(buf, n);
    const int status = pclose(listener_);
    listener_ = nullptr;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::filesystem::path dir_ = FreshTestDir();
  std::FILE* listener_ = nullptr;
  std::string port_ = "9", heard_, said_;
};

TEST_F(SendListenTest, TextsOfEveryFormArriveWhole) {
  port_.clear();
  Listen("--count 4 --timeout 20");
  std::string longText;
  for (int i = 0; i < 2601; ++i) longText += static_cast<char>('0' + i % 10);
  const std::string fullPieces(2400, 'q');  // no closing piece: printed after a pause
  EXPECT_EQ(Send({"DEST", "二维码 Velmora"}), 0);
  EXPECT_EQ(Send({"DEST", "-"}, longText), 0);
  EXPECT_EQ(Send({"--raw", "DEST", "\xD6\xD0"}), 0);  // GBK bytes as given: "中"
  EXPECT_EQ(Send({"DEST", "-"}, fullPieces), 0);
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(heard_, "二维码 Velmora\n" + longText + "\n中\n" + fullPieces + "\n");
}

// --raw prints the GBK bytes; the timeout ends the listener, with 1 when
// nothing came.
TEST_F(SendListenTest, RawListenerAndItsTimeout) {
  port_.clear();
  Listen("--raw --timeout 1");
  EXPECT_EQ(Send({"DEST", "中文"}), 0);
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(heard_, "\xD6\xD0\xCE\xC4\n");
  port_.clear();
  Listen("--timeout 1");
  EXPECT_EQ(Stop(), 1);
  EXPECT_EQ(RunProcess(QrtoolPath(), {"listen", "--count", "0"}, "", dir_.string()).status, 2);
}

TEST_F(SendListenTest, BadSendsAreRefused) {
  const struct { std::vector<std::string> args; int status; const char* saidHas; } cases[] = {
      {{"DEST", ""}, 1, "empty"}, {{"127.0.0.1:70000", "x"}, 2, ""}, {{"127.0.0.1", "x"}, 2, ""},
      {{"DEST"}, 2, ""},
      {{"DEST", "smile \xF0\x9F\x98\x80"}, 2, "GBK"},  // refused rather than sent as '?'
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Send(c.args), c.status) << c.args.back();
    EXPECT_NE(said_.find(c.saidHas), std::string::npos) << said_;
  }
}

}  // namespace
