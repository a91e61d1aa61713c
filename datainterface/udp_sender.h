// The UDP sender of the data interface: one IPv4 datagram socket; each text
// goes to the address and port it is sent with. Plain C++ (POSIX sockets).
#pragma once
#include <cstdint>
#include <string_view>

// Socket-library start-up and shut-down steps; kept in their place, nothing in
// them can fail here.
int32_t UdpStartup();
void UdpCleanup();

// What the user is told when the socket cannot be created.
inline constexpr char kUdpOpenFailedText[] = "端口创建失败，请检查端口是否被占用!";

class UdpSender {
 public:
  UdpSender() = default;
  ~UdpSender() { Close(); }
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  // Creates the socket (replacing an open one): true when the interface is
  // ready; false when no socket could be had (show kUdpOpenFailedText).
  bool Open();
  // Closes the socket.
  void Close();
  // True between a successful Open and Close.
  bool IsReady() const { return socket_ >= 0; }

  // Sends a NUL-terminated text to `address` (dotted IPv4; anything else means
  // 255.255.255.255) and the low 16 bits of `port`: short form (0x42 0x01 0x01,
  // 32-bit length, text) up to 1200 bytes, else 1200-byte pieces (32-bit
  // length, piece, three zero bytes). Returns 1 when closed or after sending
  // (delivery failures are not reported), -1 for an empty text.
  int32_t SendText(const char* text, std::string_view address, int32_t port) const;

 private:
  int socket_ = -1;
};
