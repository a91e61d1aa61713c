#include "app/settings.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/module_dir.h"

InterfaceSettingsRecord InterfaceSettings = {"127.0.0.1", 9981, 1};

namespace {

constexpr long kFileSize = 24;

std::string SettingsPath() { return std::string(ModuleDirectory) + "/pa.dat"; }

// The file's integers are little-endian whatever the host's order.
int32_t ReadLe32(const unsigned char* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

void WriteLe32(unsigned char* p, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

void SetDefaultSettings() {
  std::memset(InterfaceSettings.SendAddress, 0, sizeof InterfaceSettings.SendAddress);
  std::strcpy(InterfaceSettings.SendAddress, "127.0.0.1");
  InterfaceSettings.SendPort = 9981;
  InterfaceSettings.RepeatInterval = 1;
}

int32_t LoadSettings() {
  std::FILE* f = std::fopen(SettingsPath().c_str(), "rb");
  if (f == nullptr) return -1;
  unsigned char bytes[kFileSize + 1];
  // Reading one byte more than the record tells a 25-byte file from a 24-byte one.
  size_t n = std::fread(bytes, 1, sizeof bytes, f);
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError) return -1;
  if (n != static_cast<size_t>(kFileSize)) return 0;
  std::memcpy(InterfaceSettings.SendAddress, bytes, 16);
  InterfaceSettings.SendPort = ReadLe32(bytes + 16);
  InterfaceSettings.RepeatInterval = ReadLe32(bytes + 20);
  return 1;
}

int32_t SaveSettings() {
  unsigned char bytes[kFileSize] = {};
  // Only the text up to its NUL is meaningful; the rest of the 16 bytes is zero.
  size_t len = strnlen(InterfaceSettings.SendAddress, 16);
  std::memcpy(bytes, InterfaceSettings.SendAddress, len);
  WriteLe32(bytes + 16, InterfaceSettings.SendPort);
  WriteLe32(bytes + 20, InterfaceSettings.RepeatInterval);

  std::FILE* f = std::fopen(SettingsPath().c_str(), "wb");
  if (f == nullptr) return -1;
  bool ok = std::fwrite(bytes, 1, sizeof bytes, f) == sizeof bytes;
  ok = std::fclose(f) == 0 && ok;
  return ok ? 1 : -1;
}
