// Rules the single-code page, the batch page and `qrtool batch` share: the
// character limit of a version/level choice, how a text box splits into lines,
// and the batch file names. Plain C++.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int32_t kAutomaticLimit = 300;    // limit when the version is automatic
constexpr size_t kBatchLineBytes = 300;     // at most this much of a line is read
constexpr int kBatchMaxLines = 500;         // more lines are refused

// The character limit (GBK bytes) for the version list index (0 automatic, else
// the version 1..40) and level list index (0 automatic, 1 L, 2 M, 3 Q, 4 H):
// 300 for automatic, else the data codewords of that version at that level
// (L for automatic) div 2 - 2.
int32_t CharacterLimit(int versionIndex, int levelIndex);

// The lines of a text box: split at "\r\n" or "\n"; the count is the number of
// line breaks plus one (an empty box has one empty line; a trailing break
// gives an empty last line).
std::vector<std::string> SplitBoxLines(std::string_view text);

// "<path>/<prefix><lineNumber>.jpg"; a path ending in '/' gets no second one.
std::string BatchFileName(std::string_view path, std::string_view prefix, int lineNumber);
