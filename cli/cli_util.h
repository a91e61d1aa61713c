// Small helpers shared by the subcommands.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitNothing = 1;
constexpr int kExitUsage = 2;

// A JSON string literal (quotes included) for UTF-8 text; invalid UTF-8 bytes
// are written as \u00XX escapes of the byte so the output stays valid JSON.
std::string JsonString(std::string_view utf8);

// Lower-case hex of the bytes, no separators.
std::string Hex(std::string_view bytes);

// Parses a whole decimal integer within [min, max]; nullopt otherwise.
std::optional<long> ParseInt(std::string_view text, long min, long max);

// Reads all of standard input / a file; nullopt when it cannot be read.
std::optional<std::string> ReadStdin();
std::optional<std::string> ReadFile(const std::string& path);

// True when `arg` is `--name` or starts with `--name=`; `value` receives what
// follows '=' or, else, the next argument (advancing i). Returns false when the
// option does not match; sets `missing` when it matches but has no value.
bool TakeOption(int argc, char** argv, int* i, std::string_view name, std::string* value,
                bool* missing);

// Prints "qrtool: <message>" to stderr.
void Error(std::string_view message);

}  // namespace cli
