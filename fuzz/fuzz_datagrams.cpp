// Received datagrams: any bytes, from two senders, in any order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "datainterface/datagram_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DatagramAssembler assembler;
  auto now = DatagramAssembler::Clock::time_point();
  size_t in = 0, out = 0;
  // Each record: sender (1 byte), length (2 bytes), datagram.
  while (size >= 3) {
    DatagramAssembler::Source from{data[0] & 1u, 9981};
    size_t n = (static_cast<size_t>(data[1]) | static_cast<size_t>(data[2]) << 8) % 1500;
    data += 3;
    size -= 3;
    if (n > size) n = size;
    DatagramAssembler::Kind kind;
    for (const std::string& t : assembler.Take(from, data, n, now, &kind)) out += t.size();
    in += n;
    data += n;
    size -= n;
    now += std::chrono::milliseconds(400);
    for (const std::string& t : assembler.Expire(now, false)) out += t.size();
  }
  for (const std::string& t : assembler.Expire(now, true)) out += t.size();
  if (out > in) std::abort();  // texts are never longer than what arrived
  return 0;
}
