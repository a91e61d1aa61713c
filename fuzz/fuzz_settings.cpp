// The settings file pa.dat: any bytes as its content. Whatever was read must
// survive a save and a second load unchanged (the address up to its NUL, at
// most 16 bytes), and a file of any other length than 24 must leave the
// settings alone.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/module_dir.h"
#include "app/settings.h"

namespace {

// A private working folder for the whole run, under $TMPDIR (point it at a
// tmpfs such as /dev/shm: every run writes the file twice).
const std::string& WorkingFolder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                       "/qrtool-fuzz-settings-XXXXXX";
    if (mkdtemp(name.data()) == nullptr) std::abort();
    SetModuleDirectory(name.c_str());
    return name;
  }();
  return folder;
}

void WriteSettingsFile(const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen((WorkingFolder() + "/pa.dat").c_str(), "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
}

bool SameSettings(const InterfaceSettingsRecord& a, const InterfaceSettingsRecord& b) {
  const size_t length = strnlen(a.SendAddress, sizeof a.SendAddress);
  return length == strnlen(b.SendAddress, sizeof b.SendAddress) &&
         std::memcmp(a.SendAddress, b.SendAddress, length) == 0 && a.SendPort == b.SendPort &&
         a.RepeatInterval == b.RepeatInterval;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WorkingFolder();
  SetDefaultSettings();
  const InterfaceSettingsRecord defaults = InterfaceSettings;
  WriteSettingsFile(data, size);
  const int32_t loaded = LoadSettings();
  if (loaded != (size == 24 ? 1 : 0)) __builtin_trap();
  if (loaded != 1) {
    if (!SameSettings(InterfaceSettings, defaults)) __builtin_trap();
    return 0;
  }
  const InterfaceSettingsRecord first = InterfaceSettings;
  if (SaveSettings() != 1) __builtin_trap();
  SetDefaultSettings();
  if (LoadSettings() != 1 || !SameSettings(InterfaceSettings, first)) __builtin_trap();
  return 0;
}
