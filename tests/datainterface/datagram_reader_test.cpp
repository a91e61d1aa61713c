// Joining received datagrams back into texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datainterface/datagram_reader.h"

namespace {

using Clock = DatagramAssembler::Clock;
using Kind = DatagramAssembler::Kind;
using Texts = std::vector<std::string>;

const DatagramAssembler::Source kA{0x0100007F, 4000};
const DatagramAssembler::Source kB{0x0100007F, 4001};

std::string Le32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
std::string Short(const std::string& text) {
  return std::string("\x42\x01\x01", 3) + Le32(static_cast<uint32_t>(text.size())) + text;
}
std::string Piece(const std::string& bytes) {
  return Le32(static_cast<uint32_t>(bytes.size())) + bytes + std::string(3, '\0');
}

class AssemblerTest : public ::testing::Test {
 protected:
  Texts Take(const DatagramAssembler::Source& from, const std::string& d, Kind* kind = nullptr) {
    Kind k;
    Texts t = a_.Take(from, reinterpret_cast<const unsigned char*>(d.data()), d.size(), now_,
                      kind != nullptr ? kind : &k);
    return t;
  }
  DatagramAssembler a_;
  Clock::time_point now_ = Clock::time_point() + std::chrono::hours(1);
};

TEST_F(AssemblerTest, ShortFormIsAWholeText) {
  Kind kind;
  EXPECT_EQ(Take(kA, Short("A"), &kind), Texts{"A"});
  EXPECT_EQ(kind, Kind::Text);
  EXPECT_EQ(Take(kA, Short(std::string(1200, '\xB0'))), Texts{std::string(1200, '\xB0')});
  EXPECT_FALSE(a_.NextExpiry());
}

TEST_F(AssemblerTest, PiecesJoinUntilAShortOne) {
  std::string text(2500, 'x');
  text[1200] = 'y';
  Kind kind;
  EXPECT_EQ(Take(kA, Piece(text.substr(0, 1200)), &kind), Texts{});
  EXPECT_EQ(kind, Kind::Piece);
  EXPECT_EQ(Take(kA, Piece(text.substr(1200, 1200))), Texts{});
  EXPECT_EQ(Take(kA, Piece(text.substr(2400))), Texts{text});
  EXPECT_FALSE(a_.NextExpiry());
}

TEST_F(AssemblerTest, SendersAreKeptApart) {
  EXPECT_EQ(Take(kA, Piece(std::string(1200, 'a'))), Texts{});
  EXPECT_EQ(Take(kB, Piece(std::string(1200, 'b'))), Texts{});
  EXPECT_EQ(Take(kB, Piece("B")), Texts{std::string(1200, 'b') + "B"});
  EXPECT_EQ(Take(kA, Piece("A")), Texts{std::string(1200, 'a') + "A"});
}

TEST_F(AssemblerTest, TextEndingOnAFullPieceWaitsForQuietOrTheNextText) {
  EXPECT_EQ(Take(kA, Piece(std::string(1200, 'q'))), Texts{});
  ASSERT_TRUE(a_.NextExpiry());
  EXPECT_EQ(*a_.NextExpiry(), now_ + DatagramAssembler::kPieceIdle);
  EXPECT_EQ(a_.Expire(now_ + std::chrono::milliseconds(999), false), Texts{});
  EXPECT_EQ(a_.Expire(now_ + DatagramAssembler::kPieceIdle, false), Texts{std::string(1200, 'q')});

  // A short text from the same sender closes the pending one first.
  EXPECT_EQ(Take(kA, Piece(std::string(1200, 'r'))), Texts{});
  EXPECT_EQ(Take(kA, Short("next")), (Texts{std::string(1200, 'r'), "next"}));
}

TEST_F(AssemblerTest, ForeignDatagramsAreIgnored) {
  EXPECT_EQ(Take(kA, Piece(std::string(1200, 'p'))), Texts{});
  const std::string bad[] = {
      "",                                              // empty
      std::string("\x42\x01\x01\x05\0\0\0abc", 10),    // length says 5, has 3
      Le32(3) + "abc" + std::string("\0\0\x01", 3),    // tail not zero
      Le32(1201) + std::string(1201, 'z') + std::string(3, '\0'),  // piece too long
      Le32(0) + std::string(3, '\0'),                  // empty piece
      "hello world",
  };
  for (const std::string& d : bad) {
    Kind kind;
    EXPECT_EQ(Take(kA, d, &kind), Texts{});
    EXPECT_EQ(kind, Kind::Unknown);
  }
  // The pending text is untouched by them.
  EXPECT_EQ(Take(kA, Piece("end")), Texts{std::string(1200, 'p') + "end"});
}

TEST_F(AssemblerTest, ExpireAllHandsOutEverythingPending) {
  Take(kA, Piece(std::string(1200, 'a')));
  Take(kB, Piece(std::string(1200, 'b')));
  Texts all = a_.Expire(now_, true);
  EXPECT_EQ(all.size(), 2u);
  EXPECT_FALSE(a_.NextExpiry());
}

}  // namespace
