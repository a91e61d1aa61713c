// The UDP sender of the data interface: one IPv4 datagram socket, texts sent to
// InterfaceSettings.SendAddress : SendPort. Plain C++ (POSIX sockets).
#pragma once
#include <cstdint>

// Socket-library start-up and shut-down steps; kept in their place, nothing in
// them can fail here.
int32_t UdpStartup();
void UdpCleanup();

// Creates the socket: 1 (the interface is ready), or -1 after reporting
// "端口创建失败，请检查端口是否被占用!" through the error reporter.
int32_t UdpOpen();
// Closes the socket; always 1.
int32_t UdpClose();
// True between a successful UdpOpen and UdpClose.
bool UdpIsReady();

// Sends a NUL-terminated text: short form (0x42 0x01 0x01, 32-bit length, text)
// up to 1200 bytes, else 1200-byte pieces (32-bit length, piece, three zero
// bytes). Returns 1 when off or after sending, -1 for an empty text.
int32_t UdpSendText(const char* text);

// Where UdpOpen's failure message goes (the desktop program shows a warning box).
using UdpErrorReporter = void (*)(const char* utf8Message);
void SetUdpErrorReporter(UdpErrorReporter reporter);
