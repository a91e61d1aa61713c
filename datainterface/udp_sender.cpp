#include "datainterface/udp_sender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/settings.h"

namespace {

constexpr size_t kPieceSize = 1200;
constexpr size_t kHeaderSize = 7;
constexpr size_t kBufferSize = 1500;

int g_socket = -1;
bool g_ready = false;

void ReportToStderr(const char* utf8Message) { std::fprintf(stderr, "%s\n", utf8Message); }

UdpErrorReporter g_reporter = ReportToStderr;

void PutLe32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// The configured destination. The address text ends at its first NUL or after
// 16 bytes (a file may hold 16 bytes without a NUL); text that is not a dotted
// IPv4 address gives 255.255.255.255.
sockaddr_in Destination() {
  std::string text(InterfaceSettings.SendAddress, strnlen(InterfaceSettings.SendAddress, 16));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(InterfaceSettings.SendPort & 0xFFFF));
  if (inet_pton(AF_INET, text.c_str(), &to.sin_addr) != 1) to.sin_addr.s_addr = INADDR_NONE;
  return to;
}

void SendDatagram(const unsigned char* bytes, size_t size, const sockaddr_in& to) {
  // Failures (unreachable host, broadcast without permission) are not reported.
  (void)sendto(g_socket, bytes, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
}

void SendShort(const char* text, size_t n, const sockaddr_in& to) {
  unsigned char buffer[kBufferSize] = {};
  buffer[0] = 0x42;
  buffer[1] = 0x01;
  buffer[2] = 0x01;
  PutLe32(buffer + 3, static_cast<uint32_t>(n));
  std::memcpy(buffer + kHeaderSize, text, n);
  SendDatagram(buffer, n + kHeaderSize, to);
}

// Each piece: 32-bit length, the bytes, then three zero bytes (from the zeroed buffer).
void SendPieces(const char* text, size_t n, const sockaddr_in& to) {
  unsigned char buffer[kBufferSize];
  for (size_t offset = 0; offset < n; offset += kPieceSize) {
    size_t piece = n - offset < kPieceSize ? n - offset : kPieceSize;
    std::memset(buffer, 0, sizeof buffer);
    PutLe32(buffer, static_cast<uint32_t>(piece));
    std::memcpy(buffer + 4, text + offset, piece);
    SendDatagram(buffer, piece + kHeaderSize, to);
  }
}

}  // namespace

int32_t UdpStartup() { return 1; }

void UdpCleanup() { UdpClose(); }

int32_t UdpOpen() {
  // One socket at most: a second open replaces the first rather than leaking it.
  if (g_socket >= 0) UdpClose();
  g_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (g_socket < 0) {
    g_ready = false;
    g_reporter("端口创建失败，请检查端口是否被占用!");
    return -1;
  }
  g_ready = true;
  return 1;
}

int32_t UdpClose() {
  if (g_socket >= 0) close(g_socket);
  g_socket = -1;
  g_ready = false;
  return 1;
}

bool UdpIsReady() { return g_ready; }

int32_t UdpSendText(const char* text) {
  if (!g_ready) return 1;
  size_t n = text != nullptr ? std::strlen(text) : 0;
  if (n < 1) return -1;
  sockaddr_in to = Destination();
  if (n <= kPieceSize) {
    SendShort(text, n, to);
  } else {
    SendPieces(text, n, to);
  }
  return 1;
}

void SetUdpErrorReporter(UdpErrorReporter reporter) {
  g_reporter = reporter != nullptr ? reporter : ReportToStderr;
}
