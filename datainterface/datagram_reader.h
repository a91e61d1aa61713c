// The receiving side of the sender's format: classifies datagrams and joins the
// pieces of long texts, per sender. Plain C++.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class DatagramAssembler {
 public:
  using Clock = std::chrono::steady_clock;
  // A sender: IPv4 address and port, as received.
  using Source = std::pair<uint32_t, uint16_t>;
  enum class Kind { Text, Piece, Unknown };

  // How long a long text waits for its next piece before it counts as complete
  // (a text whose last piece is a full 1200 bytes has no closing piece).
  static constexpr std::chrono::milliseconds kPieceIdle{1000};

  // Classifies one datagram of `size` bytes from `from` and returns the texts it
  // completes, in order (possibly none). A short-form datagram (42 01 01, length,
  // text) is a whole text and also closes a long text pending from the same
  // sender; a piece (length, bytes, three zero bytes, at most 1200 bytes) starts
  // or continues one, and a piece under 1200 bytes ends it. Anything else is
  // Unknown and changes nothing.
  std::vector<std::string> Take(const Source& from, const unsigned char* data, size_t size,
                                Clock::time_point now, Kind* kind);

  // Pending texts whose senders have been quiet for kPieceIdle, or all of them
  // with `all`; they are handed out as they stand.
  std::vector<std::string> Expire(Clock::time_point now, bool all);

  // The earliest moment a pending text expires; nullopt when none is pending.
  std::optional<Clock::time_point> NextExpiry() const;

 private:
  struct Pending {
    std::string text;
    Clock::time_point last;
  };
  void Flush(const Source& from, std::vector<std::string>* done);

  std::map<Source, Pending> pending_;
};
