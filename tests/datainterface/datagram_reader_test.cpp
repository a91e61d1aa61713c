// Joining received datagrams back into texts. Whole texts of every form over
// real sockets are send_listen_test's; here what one program run cannot show:
// interleaved senders, the idle limit's edge and datagrams of other formats.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datainterface/datagram_reader.h"

namespace {

using Kind = DatagramAssembler::Kind;
using Texts = std::vector<std::string>;

const DatagramAssembler::Source kA{0x0100007F, 4000};
const DatagramAssembler::Source kB{0x0100007F, 4001};

std::string Le32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
std::string Piece(const std::string& bytes) {
  return Le32(static_cast<uint32_t>(bytes.size())) + bytes + std::string(3, '\0');
}
std::string Full(char c) { return std::string(1200, c); }

class AssemblerTest : public ::testing::Test {
 protected:
  // Texts completed by `d`; its classification goes to kind_.
  Texts Take(const DatagramAssembler::Source& from, const std::string& d) {
    return a_.Take(from, reinterpret_cast<const unsigned char*>(d.data()), d.size(), now_, &kind_);
  }
  DatagramAssembler a_;
  Kind kind_ = Kind::Unknown;
  DatagramAssembler::Clock::time_point now_ =
      DatagramAssembler::Clock::time_point() + std::chrono::hours(1);
};

TEST_F(AssemblerTest, SendersAreKeptApartAndAFullLastPieceWaitsForQuiet) {
  EXPECT_EQ(Take(kA, Piece(Full('a'))), Texts{});
  EXPECT_EQ(Take(kB, Piece(Full('b'))), Texts{});
  EXPECT_EQ(Take(kB, Piece("B")), Texts{Full('b') + "B"});
  EXPECT_EQ(*a_.NextExpiry(), now_ + DatagramAssembler::kPieceIdle);
  EXPECT_EQ(a_.Expire(now_ + std::chrono::milliseconds(999), false), Texts{});
  EXPECT_EQ(a_.Expire(now_ + DatagramAssembler::kPieceIdle, false), Texts{Full('a')});
  EXPECT_FALSE(a_.NextExpiry());
  // A short text from the same sender closes the pending one first.
  EXPECT_EQ(Take(kA, Piece(Full('r'))), Texts{});
  EXPECT_EQ(Take(kA, std::string("\x42\x01\x01\x04\0\0\0next", 11)), (Texts{Full('r'), "next"}));
  EXPECT_EQ(kind_, Kind::Text);
  EXPECT_EQ(Take(kB, Piece(Full('c'))), Texts{});
  EXPECT_EQ(Take(kA, Piece(Full('d'))), Texts{});
  EXPECT_EQ(a_.Expire(now_, true), (Texts{Full('d'), Full('c')}));
}

TEST_F(AssemblerTest, ForeignDatagramsAreIgnored) {
  EXPECT_EQ(Take(kA, Piece(Full('p'))), Texts{});
  EXPECT_EQ(kind_, Kind::Piece);
  const std::string bad[] = {
      "",
      std::string("\x42\x01\x01\x05\0\0\0abc", 10),                // length says 5, has 3
      Le32(3) + "abc" + std::string("\0\0\x01", 3),                // tail not zero
      Le32(1201) + std::string(1201, 'z') + std::string(3, '\0'),  // piece too long
      Le32(0) + std::string(3, '\0'),                              // empty piece
      "hello world",
  };
  for (const std::string& d : bad) {
    SCOPED_TRACE(d.size());
    EXPECT_EQ(Take(kA, d), Texts{});
    EXPECT_EQ(kind_, Kind::Unknown);
  }
  // The pending text is untouched by them.
  EXPECT_EQ(Take(kA, Piece("end")), Texts{Full('p') + "end"});
}

}  // namespace
