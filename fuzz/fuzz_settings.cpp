// The settings file pa.dat: any bytes as its content. Whatever was read must
// survive a save and a second load unchanged (the address up to its NUL, at
// most 16 bytes), and a file of any other length than 24 must leave the
// settings alone.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/interface_settings.h"

namespace {

// A private working folder for the whole run, under $TMPDIR (point it at a
// tmpfs such as /dev/shm: every run writes the file twice).
const std::string& WorkingFolder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                       "/qrtool-fuzz-settings-XXXXXX";
    if (mkdtemp(name.data()) == nullptr) std::abort();
    return name;
  }();
  return folder;
}

void WriteSettingsFile(const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen((WorkingFolder() + "/pa.dat").c_str(), "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
}

bool SameSettings(const InterfaceSettings& a, const InterfaceSettings& b) {
  return SendAddressText(a) == SendAddressText(b) && a.sendPort == b.sendPort &&
         a.repeatInterval == b.repeatInterval;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = WorkingFolder();
  const InterfaceSettings defaults;
  InterfaceSettings settings;
  WriteSettingsFile(data, size);
  const int32_t loaded = LoadSettings(folder, &settings);
  if (loaded != (size == 24 ? 1 : 0)) __builtin_trap();
  if (loaded != 1) {
    if (!SameSettings(settings, defaults)) __builtin_trap();
    return 0;
  }
  const InterfaceSettings first = settings;
  if (SaveSettings(folder, first) != 1) __builtin_trap();
  InterfaceSettings again;
  if (LoadSettings(folder, &again) != 1 || !SameSettings(again, first)) __builtin_trap();
  return 0;
}
