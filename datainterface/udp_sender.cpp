#include "datainterface/udp_sender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>


namespace {

constexpr size_t kPieceSize = 1200;
constexpr size_t kHeaderSize = 7;
constexpr size_t kBufferSize = 1500;

void PutLe32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Text that is not a dotted IPv4 address gives 255.255.255.255.
sockaddr_in Destination(std::string_view address, int32_t port) {
  std::string text(address);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port & 0xFFFF));
  if (inet_pton(AF_INET, text.c_str(), &to.sin_addr) != 1) to.sin_addr.s_addr = INADDR_NONE;
  return to;
}

void SendDatagram(int socket, const unsigned char* bytes, size_t size, const sockaddr_in& to) {
  // Failures (unreachable host, broadcast without permission) are not reported.
  (void)sendto(socket, bytes, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
}

void SendShort(int socket, const char* text, size_t n, const sockaddr_in& to) {
  unsigned char buffer[kBufferSize] = {};
  buffer[0] = 0x42;
  buffer[1] = 0x01;
  buffer[2] = 0x01;
  PutLe32(buffer + 3, static_cast<uint32_t>(n));
  std::memcpy(buffer + kHeaderSize, text, n);
  SendDatagram(socket, buffer, n + kHeaderSize, to);
}

// Each piece: 32-bit length, the bytes, then three zero bytes (from the zeroed buffer).
void SendPieces(int socket, const char* text, size_t n, const sockaddr_in& to) {
  unsigned char buffer[kBufferSize];
  for (size_t offset = 0; offset < n; offset += kPieceSize) {
    size_t piece = n - offset < kPieceSize ? n - offset : kPieceSize;
    std::memset(buffer, 0, sizeof buffer);
    PutLe32(buffer, static_cast<uint32_t>(piece));
    std::memcpy(buffer + 4, text + offset, piece);
    SendDatagram(socket, buffer, piece + kHeaderSize, to);
  }
}

}  // namespace

int32_t UdpStartup() { return 1; }

void UdpCleanup() {}

bool UdpSender::Open() {
  // One socket at most: a second open replaces the first rather than leaking it.
  Close();
  socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  return socket_ >= 0;
}

void UdpSender::Close() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
}

int32_t UdpSender::SendText(const char* text, std::string_view address, int32_t port) const {
  if (!IsReady()) return 1;
  size_t n = text != nullptr ? std::strlen(text) : 0;
  if (n < 1) return -1;
  sockaddr_in to = Destination(address, port);
  if (n <= kPieceSize) {
    SendShort(socket_, text, n, to);
  } else {
    SendPieces(socket_, text, n, to);
  }
  return 1;
}
