// The data interface's settings and their 24-byte file "pa.dat" in
// ModuleDirectory. Plain C++.
#pragma once
#include <cstdint>

struct InterfaceSettingsRecord {
  char SendAddress[16];     // dotted IPv4 text, NUL-terminated within 16 bytes
  int32_t SendPort;         // the sender uses the low 16 bits
  int32_t RepeatInterval;   // seconds, as typed (at most two digits)
};

extern InterfaceSettingsRecord InterfaceSettings;

// Sets "127.0.0.1", 9981, 1.
void SetDefaultSettings();

// 1 when read, 0 when the file exists but is not exactly 24 bytes (nothing is
// read), -1 when it cannot be opened.
int32_t LoadSettings();

// 1 when written (address 16 bytes, port, interval, little-endian), -1 when the
// file cannot be created or written.
int32_t SaveSettings();
