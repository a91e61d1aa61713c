#include "app/module_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

char ModuleDirectory[kModuleDirectorySize] = "";

namespace {

std::string UserDataDirectory() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/qrtool";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "/tmp") + "/.local/share/qrtool";
}

}  // namespace

void SetModuleDirectory(const char* directory) {
  std::strncpy(ModuleDirectory, directory, kModuleDirectorySize - 1);
  ModuleDirectory[kModuleDirectorySize - 1] = '\0';
}

void GetModuleDir() {
  char path[kModuleDirectorySize] = {};
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string dir;
  if (n > 0) {
    path[n] = '\0';
    if (char* slash = std::strrchr(path, '/')) dir.assign(path, slash);
  }
  // An installed copy lives in a folder the user cannot write to; its working
  // files then go to the per-user data directory.
  if (dir.empty() || access(dir.c_str(), W_OK) != 0) {
    dir = UserDataDirectory();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
  }
  SetModuleDirectory(dir.c_str());
}
