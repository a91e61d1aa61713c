#include "datainterface/datagram_reader.h"

namespace {

constexpr size_t kPieceSize = 1200;
constexpr size_t kHeaderSize = 7;

uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool IsShortForm(const unsigned char* d, size_t size) {
  return size >= kHeaderSize && d[0] == 0x42 && d[1] == 0x01 && d[2] == 0x01 &&
         Le32(d + 3) == size - kHeaderSize;
}

// A piece's length field equals its size and can never match a short form's
// first bytes (that would be a length above 16 MB), so the two never mix up.
bool IsPiece(const unsigned char* d, size_t size) {
  return size > kHeaderSize && size - kHeaderSize <= kPieceSize &&
         Le32(d) == size - kHeaderSize && d[size - 1] == 0 && d[size - 2] == 0 &&
         d[size - 3] == 0;
}

}  // namespace

std::vector<std::string> DatagramAssembler::Take(const Source& from, const unsigned char* data,
                                                 size_t size, Clock::time_point now,
                                                 Kind* kind) {
  std::vector<std::string> done;
  if (IsShortForm(data, size)) {
    *kind = Kind::Text;
    Flush(from, &done);
    done.emplace_back(reinterpret_cast<const char*>(data + kHeaderSize), size - kHeaderSize);
    return done;
  }
  if (IsPiece(data, size)) {
    *kind = Kind::Piece;
    size_t n = size - kHeaderSize;
    Pending& p = pending_[from];
    p.text.append(reinterpret_cast<const char*>(data + 4), n);
    p.last = now;
    if (n < kPieceSize) Flush(from, &done);
    return done;
  }
  *kind = Kind::Unknown;
  return done;
}

std::vector<std::string> DatagramAssembler::Expire(Clock::time_point now, bool all) {
  std::vector<std::string> done;
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (all || now - it->second.last >= kPieceIdle) {
      done.push_back(std::move(it->second.text));
      it = pending_.erase(it);
    } else {
      ++it;
    }
  }
  return done;
}

std::optional<DatagramAssembler::Clock::time_point> DatagramAssembler::NextExpiry() const {
  std::optional<Clock::time_point> next;
  for (const auto& entry : pending_) {
    Clock::time_point t = entry.second.last + kPieceIdle;
    if (!next || t < *next) next = t;
  }
  return next;
}

void DatagramAssembler::Flush(const Source& from, std::vector<std::string>* done) {
  auto it = pending_.find(from);
  if (it == pending_.end()) return;
  done->push_back(std::move(it->second.text));
  pending_.erase(it);
}
