// The rules of generation that the single-code page, the batch page and
// `qrtool encode`/`batch` share: the character limit of a version/level
// choice, the checks made before anything is written, the message of each
// refusal, the batch file names and the status line. Plain C++; texts UTF-8.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int kBatchMaxLines = 500;         // more lines are refused

// Who generates. The pages keep the limits their users know; the command line
// takes any text a symbol can hold and leaves a text that does not fit the
// chosen version to the encoder's own refusal.
enum class Generator { kPage, kCommandLine };

// How long a text each generator accepts (GBK bytes).
struct LengthRules {
  Generator who;
  int32_t automaticLimit;  // limit when the version is automatic
  bool versionLimits;      // a chosen version has its own, smaller limit
  int32_t lineBytes;       // a batch line never holds more than this
};
extern const LengthRules kLengthRules[2];

// The character limit (GBK bytes) for the version list index (0 automatic, else
// the version 1..40) and level list index (0 automatic, 1 L, 2 M, 3 Q, 4 H):
// the generator's automatic limit, or with version limits the data codewords
// of that version at that level (L for automatic) div 2 - 2.
int32_t CharacterLimit(int versionIndex, int levelIndex, Generator who = Generator::kPage);

// Why a generation is refused before the encoder runs.
enum class Refusal {
  kNone,
  kTextEmpty,      // single text: nothing typed
  kTextTooLong,    // single text: over the limit (`allowed`)
  kNoPrefix,       // batch: no file prefix
  kBadPrefix,      // batch: the prefix holds a '/' (files would land outside the folder)
  kNoFolder,       // batch: no folder
  kBadFolder,      // batch: the folder does not exist
  kNoLines,        // batch: nothing typed
  kTooManyLines,   // batch: over kBatchMaxLines lines
  kLineTooLong,    // batch: line `line` holds `actual` bytes, over `allowed`
  kNoSymbolRecord, // single text: no encoder record could be had (out of memory)
  kNoBatchRecord,  // batch: likewise; the batch stops
};

// A check's verdict; `what` kNone means the check passed.
struct RuleVerdict {
  Refusal what = Refusal::kNone;
  int line = 0;        // 1-based, for kLineTooLong
  int32_t allowed = 0; // the limit, for kTextTooLong and kLineTooLong
  size_t actual = 0;   // the line's bytes, for kLineTooLong
  bool passed() const { return what == Refusal::kNone; }
};

// The message template of each refusal: %1.. stand for line, text, allowed,
// actual as RefusalText fills them in. One row per Refusal except kNone.
struct RefusalMessage {
  Refusal what;
  const char* text;
};
extern const RefusalMessage kRefusalMessages[11];

// The message for `verdict`; `lineText` is the refused line (kLineTooLong).
// Empty for a passed verdict.
std::string RefusalText(const RuleVerdict& verdict, std::string_view lineText = {});

// A single text of `gbk` bytes: over `limit` first, then empty.
RuleVerdict CheckSingleText(std::string_view gbk, int32_t limit);

// A batch's destination, in the page's order: prefix given, prefix without
// '/', folder, folder exists.
RuleVerdict CheckBatchDestination(std::string_view prefix, std::string_view folder,
                                  bool folderExists);

// A batch's size: nothing at all, then more than kBatchMaxLines lines.
RuleVerdict CheckBatchSize(bool empty, size_t lineCount);

// A batch's lines (GBK bytes) against min(limit, the generator's line bytes):
// the first longer line is refused, never cut, since a cut line would encode
// less than the user typed.
RuleVerdict CheckBatchLines(const std::vector<std::string>& lines, int32_t limit,
                            Generator who = Generator::kPage);

// The lines of a text box: split at "\r\n" or "\n"; the count is the number of
// line breaks plus one (an empty box has one empty line; a trailing break
// gives an empty last line).
std::vector<std::string> SplitBoxLines(std::string_view text);

// "<path>/<prefix><lineNumber>.jpg"; a path ending in '/' gets no second one.
std::string BatchFileName(std::string_view path, std::string_view prefix, int lineNumber);

// The single-code page's status line after a picture of `side` pixels was
// written for a symbol of `version` at `ecLevel` (1..4).
std::string GeneratedStatusText(int32_t ecLevel, int32_t version, int32_t side);

// The batch summary line.
std::string BatchSummaryText(int written);
