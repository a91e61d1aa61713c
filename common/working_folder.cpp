#include "common/working_folder.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

std::string UserDataDirectory() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/qrtool";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "/tmp") + "/.local/share/qrtool";
}

}  // namespace

std::string FindWorkingFolder() {
  char path[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string dir;
  if (n > 0) {
    path[n] = '\0';
    if (char* slash = std::strrchr(path, '/')) dir.assign(path, slash);
  }
  if (dir.empty() || access(dir.c_str(), W_OK) != 0) {
    dir = UserDataDirectory();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
  }
  return dir;
}
