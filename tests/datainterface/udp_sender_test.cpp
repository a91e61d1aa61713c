// The sender's datagrams as a loopback receiver sees them.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "datainterface/udp_sender.h"

namespace {

using Bytes = std::vector<unsigned char>;

class Receiver {
 public:
  // Binds 127.0.0.1:port (0: any free port).
  explicit Receiver(uint16_t port = 0) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~Receiver() { close(fd_); }
  bool bound() const { return bound_; }
  uint16_t port() const { return port_; }
  std::optional<Bytes> Next(int timeoutMs = 2000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) != 1) return std::nullopt;
    Bytes b(65536);
    ssize_t n = recv(fd_, b.data(), b.size(), 0);
    if (n < 0) return std::nullopt;
    b.resize(static_cast<size_t>(n));
    return b;
  }

 private:
  int fd_ = -1;
  bool bound_ = false;
  uint16_t port_ = 0;
};

Bytes B(std::initializer_list<int> v) { return Bytes(v.begin(), v.end()); }
Bytes Head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<long>(n)); }
Bytes Tail(const Bytes& b, size_t n) { return Bytes(b.end() - static_cast<long>(n), b.end()); }

std::string TextOf(size_t n) {
  std::string s(n, '\0');
  // Every byte value but NUL, so bytes above 0x7F are seen to pass unchanged.
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(1 + i % 255);
  return s;
}

std::vector<std::string> g_reported;
void Record(const char* message) { g_reported.emplace_back(message); }

size_t OpenDescriptors() {
  size_t n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

class UdpSenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_reported.clear();
    SetUdpErrorReporter(Record);
    SetDefaultSettings();
  }
  void TearDown() override {
    UdpClose();
    SetUdpErrorReporter(nullptr);
  }
  void OpenTo(uint16_t port, int32_t configuredPort = -1) {
    std::strcpy(InterfaceSettings.SendAddress, "127.0.0.1");
    InterfaceSettings.SendPort = configuredPort >= 0 ? configuredPort : port;
    ASSERT_EQ(UdpOpen(), 1);
    ASSERT_TRUE(UdpIsReady());
  }
};

TEST_F(UdpSenderTest, OneByteTextIsOneEightByteDatagram) {
  Receiver r;
  OpenTo(r.port());
  EXPECT_EQ(UdpSendText("A"), 1);
  EXPECT_EQ(r.Next(), B({0x42, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x41}));
  EXPECT_FALSE(r.Next(200));
}

TEST_F(UdpSenderTest, TwelveHundredBytesStillGoInOneShortDatagram) {
  Receiver r;
  OpenTo(r.port());
  std::string text = TextOf(1200);
  EXPECT_EQ(UdpSendText(text.c_str()), 1);
  std::optional<Bytes> d = r.Next();
  ASSERT_TRUE(d);
  ASSERT_EQ(d->size(), 1207u);
  EXPECT_EQ(Head(*d, 7), B({0x42, 0x01, 0x01, 0xB0, 0x04, 0x00, 0x00}));
  EXPECT_EQ(std::string(d->begin() + 7, d->end()), text);
  EXPECT_FALSE(r.Next(200));
}

TEST_F(UdpSenderTest, TwelveHundredAndOneBytesGoAsTwoPieces) {
  Receiver r;
  OpenTo(r.port());
  std::string text = TextOf(1201);
  EXPECT_EQ(UdpSendText(text.c_str()), 1);
  std::optional<Bytes> first = r.Next();
  ASSERT_TRUE(first);
  ASSERT_EQ(first->size(), 1207u);
  EXPECT_EQ(Head(*first, 4), B({0xB0, 0x04, 0x00, 0x00}));
  EXPECT_EQ(std::string(first->begin() + 4, first->end() - 3), text.substr(0, 1200));
  EXPECT_EQ(Tail(*first, 3), B({0, 0, 0}));
  std::optional<Bytes> second = r.Next();
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, B({0x01, 0x00, 0x00, 0x00, static_cast<unsigned char>(text.back()), 0, 0, 0}));
  EXPECT_FALSE(r.Next(200));
}

TEST_F(UdpSenderTest, EmptyTextSendsNothingAndReturnsMinusOne) {
  Receiver r;
  OpenTo(r.port());
  EXPECT_EQ(UdpSendText(""), -1);
  EXPECT_EQ(UdpSendText(nullptr), -1);
  EXPECT_FALSE(r.Next(200));
}

TEST_F(UdpSenderTest, PortIsTakenModulo65536) {
  Receiver r(16959);
  if (!r.bound()) GTEST_SKIP() << "port 16959 is in use";
  OpenTo(r.port(), 999999);
  EXPECT_EQ(UdpSendText("port"), 1);
  std::optional<Bytes> d = r.Next();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->size(), 11u);
}

TEST_F(UdpSenderTest, NothingIsSentWhileOff) {
  Receiver r;
  InterfaceSettings.SendPort = r.port();
  EXPECT_FALSE(UdpIsReady());
  EXPECT_EQ(UdpSendText("before"), 1);
  OpenTo(r.port());
  EXPECT_EQ(UdpClose(), 1);
  EXPECT_FALSE(UdpIsReady());
  EXPECT_EQ(UdpSendText("after"), 1);
  EXPECT_EQ(UdpSendText(""), 1);  // off wins over the empty-text check
  EXPECT_FALSE(r.Next(200));
}

TEST_F(UdpSenderTest, ReopeningDoesNotLeakTheSocket) {
  size_t before = OpenDescriptors();
  ASSERT_EQ(UdpOpen(), 1);
  ASSERT_EQ(UdpOpen(), 1);
  EXPECT_EQ(UdpClose(), 1);
  EXPECT_EQ(UdpClose(), 1);
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(UdpSenderTest, OpenFailureIsReportedAndLeavesTheInterfaceOff) {
  // With no descriptor left, socket() fails.
  int lowest = dup(0);
  ASSERT_GE(lowest, 0);
  close(lowest);
  rlimit old{};
  getrlimit(RLIMIT_NOFILE, &old);
  rlimit tight = old;
  tight.rlim_cur = static_cast<rlim_t>(lowest);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  int32_t result = UdpOpen();
  setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_EQ(result, -1);
  EXPECT_FALSE(UdpIsReady());
  ASSERT_EQ(g_reported.size(), 1u);
  EXPECT_EQ(g_reported[0], "端口创建失败，请检查端口是否被占用!");
}

}  // namespace
