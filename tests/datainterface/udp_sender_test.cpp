// The sender's datagrams as a loopback receiver sees them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "datainterface/udp_sender.h"
#include "tests/support/udp_receiver.h"

namespace {

using udptest::Receiver;

std::string Bytes(std::initializer_list<int> v) { return std::string(v.begin(), v.end()); }

// Every byte value but NUL, so bytes above 0x7F are seen to pass unchanged.
std::string TextOf(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(1 + i % 255);
  return s;
}

TEST(UdpSender, ShortFormUpTo1200BytesThenPieces) {
  const std::string t1200 = TextOf(1200), t1201 = TextOf(1201);
  const struct {
    std::string text;
    std::vector<std::string> datagrams;
  } cases[] = {
      {"A", {Bytes({0x42, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x41})}},
      {t1200, {Bytes({0x42, 0x01, 0x01, 0xB0, 0x04, 0x00, 0x00}) + t1200}},
      {t1201,
       {Bytes({0xB0, 0x04, 0x00, 0x00}) + t1201.substr(0, 1200) + Bytes({0, 0, 0}),
        Bytes({0x01, 0x00, 0x00, 0x00}) + t1201.substr(1200) + Bytes({0, 0, 0})}},
  };
  Receiver r;
  UdpSender sender;
  ASSERT_TRUE(sender.Open());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.size());
    EXPECT_EQ(sender.SendText(c.text.c_str(), "127.0.0.1", r.port()), 1);
    for (const std::string& d : c.datagrams) EXPECT_EQ(r.Next(), d);
    EXPECT_EQ(r.Next(200), "<none>");
  }
  // No text sends nothing; switched off, nothing is sent (main_window_test).
  EXPECT_EQ(sender.SendText("", "127.0.0.1", r.port()), -1);
  EXPECT_EQ(sender.SendText(nullptr, "127.0.0.1", r.port()), -1);
  EXPECT_EQ(r.Next(200), "<none>");
}

TEST(UdpSender, PortIsTakenModulo65536) {
  Receiver r(16959);
  if (!r.bound()) GTEST_SKIP() << "port 16959 is in use";
  UdpSender sender;
  ASSERT_TRUE(sender.Open());
  EXPECT_EQ(sender.SendText("port", "127.0.0.1", 999999), 1);
  EXPECT_EQ(r.Next().size(), 11u);
}

}  // namespace
