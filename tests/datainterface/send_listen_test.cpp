// `qrtool send` to `qrtool listen`, both run as programs over loopback.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string Cli() {
  const char* cli = std::getenv("QRTOOL_CLI");
  return cli != nullptr ? cli : "";
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the CLI with stdin/stdout/stderr redirected to files; returns the pid.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& in, const fs::path& out,
            const fs::path& err) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> all{Cli()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

// Exit status, or -1 when the program did not end within `seconds`.
int Wait(pid_t pid, int seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SendListenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Cli().empty()) GTEST_SKIP() << "QRTOOL_CLI is not set";
    dir_ = fs::path(QRTOOL_TEST_TMP) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "empty");
  }
  void TearDown() override {
    if (listener_ > 0) Wait(listener_, 1);
  }

  // Starts `qrtool listen` on a free loopback port and waits until it is ready.
  void StartListener(std::vector<std::string> extra) {
    std::vector<std::string> args{"listen", "--bind", "127.0.0.1", "--port", "0", "--timeout", "20"};
    args.insert(args.end(), extra.begin(), extra.end());
    listener_ = Spawn(args, dir_ / "empty", dir_ / "listen.out", dir_ / "listen.err");
    ASSERT_GT(listener_, 0);
    std::regex ready("listening on 127\\.0\\.0\\.1:([0-9]+)");
    for (int i = 0; i < 250 && port_.empty(); ++i) {
      std::smatch m;
      std::string err = Slurp(dir_ / "listen.err");
      if (std::regex_search(err, m, ready)) port_ = m[1];
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(port_.empty()) << Slurp(dir_ / "listen.err");
  }

  // Runs `qrtool send` to the listener; `input` feeds standard input.
  int Send(std::vector<std::string> args, const std::string& input = "") {
    std::ofstream(dir_ / "send.in", std::ios::binary) << input;
    std::vector<std::string> all{"send"};
    for (std::string& a : args) all.push_back(a == "DEST" ? "127.0.0.1:" + port_ : a);
    pid_t pid = Spawn(all, dir_ / "send.in", dir_ / "send.out", dir_ / "send.err");
    return Wait(pid, 10);
  }

  // The listener's exit status once it has stopped.
  int ListenerStatus() {
    int status = Wait(listener_, 25);
    listener_ = -1;
    return status;
  }

  fs::path dir_;
  pid_t listener_ = -1;
  std::string port_;
};

TEST_F(SendListenTest, TextsOfEveryFormArriveWhole) {
  StartListener({"--count", "4"});
  std::string longText;
  for (int i = 0; i < 2601; ++i) longText += static_cast<char>('0' + i % 10);
  EXPECT_EQ(Send({"DEST", "二维码 Velmora"}), 0);
  EXPECT_EQ(Send({"DEST", "-"}, longText), 0);
  EXPECT_EQ(Send({"DEST", "A"}), 0);
  // GBK bytes as given with --raw: "中" is D6 D0.
  EXPECT_EQ(Send({"--raw", "DEST", "\xD6\xD0"}), 0);
  EXPECT_EQ(ListenerStatus(), 0);
  EXPECT_EQ(Slurp(dir_ / "listen.out"), "二维码 Velmora\n" + longText + "\nA\n中\n");
}

TEST_F(SendListenTest, LongTextEndingOnAFullPieceIsPrintedAfterAPause) {
  StartListener({"--count", "1"});
  std::string text(2400, 'q');
  EXPECT_EQ(Send({"DEST", "-"}, text), 0);
  EXPECT_EQ(ListenerStatus(), 0);
  EXPECT_EQ(Slurp(dir_ / "listen.out"), text + "\n");
}

TEST_F(SendListenTest, RawListenerPrintsTheGbkBytes) {
  StartListener({"--count", "1", "--raw"});
  EXPECT_EQ(Send({"DEST", "中文"}), 0);
  EXPECT_EQ(ListenerStatus(), 0);
  EXPECT_EQ(Slurp(dir_ / "listen.out"), "\xD6\xD0\xCE\xC4\n");
}

TEST_F(SendListenTest, BadSendsAreRefusedWithAReason) {
  port_ = "9";
  EXPECT_EQ(Send({"DEST", ""}), 1);
  EXPECT_NE(Slurp(dir_ / "send.err").find("empty"), std::string::npos);
  EXPECT_EQ(Send({"127.0.0.1:70000", "x"}), 2);
  EXPECT_EQ(Send({"127.0.0.1", "x"}), 2);
  EXPECT_EQ(Send({"DEST"}), 2);
  // U+1F600 has no GBK form: refused rather than sent as '?'.
  EXPECT_EQ(Send({"DEST", "smile \xF0\x9F\x98\x80"}), 2);
  EXPECT_NE(Slurp(dir_ / "send.err").find("GBK"), std::string::npos);
}

TEST_F(SendListenTest, ListenerWithNothingReceivedEndsOnItsTimeout) {
  pid_t pid = Spawn({"listen", "--bind", "127.0.0.1", "--port", "0", "--timeout", "1"},
                    dir_ / "empty", dir_ / "listen.out", dir_ / "listen.err");
  EXPECT_EQ(Wait(pid, 10), 1);
  EXPECT_EQ(Slurp(dir_ / "listen.out"), "");
  EXPECT_EQ(Wait(Spawn({"listen", "--count", "0"}, dir_ / "empty", dir_ / "o", dir_ / "e"), 10), 2);
}

}  // namespace
