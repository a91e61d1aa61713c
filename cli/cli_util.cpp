#include "cli/cli_util.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

namespace cli {

namespace {

// Length of a valid UTF-8 sequence at s[i], or 0.
size_t ValidUtf8At(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                        : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  char buf[8];
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    size_t n = ValidUtf8At(utf8, i);
    if (n == 0) {
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      ++i;
      continue;
    }
    if (n > 1) {
      out.append(utf8.substr(i, n));
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
    i += n;
  }
  out += '"';
  return out;
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::optional<long> ParseInt(std::string_view text, long min, long max) {
  long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < min || value > max) return std::nullopt;
  return value;
}

std::optional<std::string> ReadStdin() {
  std::ostringstream ss;
  ss << std::cin.rdbuf();
  if (std::cin.bad()) return std::nullopt;
  return ss.str();
}

std::optional<std::string> ReadFile(const std::string& path) {
  // A folder opens like a file and then fails on reading (a stream would throw).
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return std::nullopt;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return std::nullopt;
  std::string data;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) data.append(chunk, n);
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) return std::nullopt;
  return data;
}

bool TakeOption(int argc, char** argv, int* i, std::string_view name, std::string* value,
                bool* missing) {
  std::string_view arg = argv[*i];
  if (arg.substr(0, 2) != "--" || arg.substr(2, name.size()) != name) return false;
  std::string_view rest = arg.substr(2 + name.size());
  if (!rest.empty() && rest[0] == '=') {
    value->assign(rest.substr(1));
    return true;
  }
  if (!rest.empty()) return false;
  if (*i + 1 >= argc) {
    *missing = true;
    return true;
  }
  ++*i;
  value->assign(argv[*i]);
  return true;
}

void Error(std::string_view message) {
  std::cerr << "qrtool: " << message << '\n';
}

}  // namespace cli
