// The data interface's settings and their 24-byte file "pa.dat" in the
// working folder. Plain C++.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The record as the file holds it; the member initialisers are the defaults.
struct InterfaceSettings {
  char sendAddress[16] = "127.0.0.1";  // dotted IPv4 text, NUL-terminated within 16 bytes
  int32_t sendPort = 9981;             // the sender uses the low 16 bits
  int32_t repeatInterval = 1;          // seconds, as typed (at most two digits)
};

// The address text: up to its first NUL, at most 16 bytes (a file may hold 16
// bytes without a NUL).
std::string_view SendAddressText(const InterfaceSettings& settings);
// Stores `dotted` (at most 15 bytes are kept) with the rest of the field zeroed.
void SetSendAddress(InterfaceSettings* settings, std::string_view dotted);

// Reads `folder`/pa.dat into `settings`: 1 when read, 0 when the file exists
// but is not exactly 24 bytes (nothing is read), -1 when it cannot be opened.
int32_t LoadSettings(const std::string& folder, InterfaceSettings* settings);

// Writes `folder`/pa.dat (address 16 bytes, port, interval, little-endian):
// 1 when written, -1 when the file cannot be created or written.
int32_t SaveSettings(const std::string& folder, const InterfaceSettings& settings);
