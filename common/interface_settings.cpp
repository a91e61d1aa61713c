#include "common/interface_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr long kFileSize = 24;

std::string SettingsPath(const std::string& folder) { return folder + "/pa.dat"; }

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

std::string_view SendAddressText(const InterfaceSettings& settings) {
  return std::string_view(settings.sendAddress, strnlen(settings.sendAddress, 16));
}

void SetSendAddress(InterfaceSettings* settings, std::string_view dotted) {
  std::memset(settings->sendAddress, 0, sizeof settings->sendAddress);
  std::memcpy(settings->sendAddress, dotted.data(), std::min<size_t>(dotted.size(), 15));
}

int32_t LoadSettings(const std::string& folder, InterfaceSettings* settings) {
  std::FILE* f = std::fopen(SettingsPath(folder).c_str(), "rb");
  if (f == nullptr) return -1;
  unsigned char bytes[kFileSize + 1];
  // Reading one byte more than the record tells a 25-byte file from a 24-byte one.
  size_t n = std::fread(bytes, 1, sizeof bytes, f);
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError) return -1;
  if (n != static_cast<size_t>(kFileSize)) return 0;
  std::memcpy(settings->sendAddress, bytes, 16);
  settings->sendPort = ReadLe32(bytes + 16);
  settings->repeatInterval = ReadLe32(bytes + 20);
  return 1;
}

int32_t SaveSettings(const std::string& folder, const InterfaceSettings& settings) {
  unsigned char bytes[kFileSize] = {};
  // Only the text up to its NUL is meaningful; the rest of the 16 bytes is zero.
  std::string_view address = SendAddressText(settings);
  std::memcpy(bytes, address.data(), address.size());
  WriteLe32(bytes + 16, settings.sendPort);
  WriteLe32(bytes + 20, settings.repeatInterval);

  std::FILE* f = std::fopen(SettingsPath(folder).c_str(), "wb");
  if (f == nullptr) return -1;
  bool ok = std::fwrite(bytes, 1, sizeof bytes, f) == sizeof bytes;
  ok = std::fclose(f) == 0 && ok;
  return ok ? 1 : -1;
}
