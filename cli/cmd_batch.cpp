// qrtool batch: every line of a file into a numbered QR code picture, with the
// batch page's checks, names and summary.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_util.h"
#include "cli/commands.h"
#include "cli/generate_options.h"
#include "generation/generation_rules.h"
#include "generation/symbol_formats.h"

namespace {

const char kBatchHelp[] =
    "usage: qrtool batch LINES_FILE --dir DIR [--prefix PREFIX] [options]\n"
    "\n"
    "Encodes every non-empty line of LINES_FILE ('-' for standard input) into\n"
    "DIR/PREFIX<line number>.jpg (.png, .svg with --format). The number is the\n"
    "line's position in the file, so empty or failed lines leave gaps.\n"
    "\n"
    "options:\n"
    "  --dir DIR          existing folder to write into (required)\n"
    "  --prefix PREFIX    file name prefix (default batqr; no '/')\n"
    "  --format FORMAT    jpg (default), png (lossless) or svg (scalable)\n";

const char kBatchHelpTail[] =
    "  -h, --help         show this help\n"
    "\n"
    "At most 500 lines (a final line break does not start another line). Every\n"
    "line is checked before anything is written: a line longer than the limit is\n"
    "refused, naming it: 7089 GBK bytes, the most any symbol holds. A line the\n"
    "encoder refuses (longer than the chosen version and level hold), or a file\n"
    "that cannot be written, is reported and the other lines go on.\n"
    "Exit status: 0 at least one file written, 1 none, 2 bad usage or input.\n";

struct BatchArgs {
  cli::GenerateOptions options;
  std::string prefix = "batqr";
  symbolfile::Format format = symbolfile::Format::kJpeg;
  std::optional<std::string> dir;
  std::vector<std::string> positional;
};

struct BatchLine {
  std::string text;   // as read, for messages
  std::string bytes;  // what is encoded
};

struct BatchResult {
  int written = 0;
  std::vector<std::string> files;
  std::vector<std::pair<int, std::string>> failures;  // line number, reason
};

// The file format named by --format; nullopt for a name it does not know.
std::optional<symbolfile::Format> ParseFormat(std::string_view name) {
  if (name == "jpg" || name == "jpeg") return symbolfile::Format::kJpeg;
  if (name == "png") return symbolfile::Format::kPng;
  if (name == "svg") return symbolfile::Format::kSvg;
  return std::nullopt;
}

// Returns -1 to go on, else the exit status.
int ParseBatchArgs(int argc, char** argv, BatchArgs* args) {
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (optionsEnded || arg == "-" || arg.substr(0, 1) != "-") {
      args->positional.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      std::cout << kBatchHelp << cli::kGenerateOptionsHelp << kBatchHelpTail;
      return cli::kExitOk;
    }
    std::string value;
    bool missing = false;
    bool isDir = cli::TakeOption(argc, argv, &i, "dir", &value, &missing);
    if (isDir || cli::TakeOption(argc, argv, &i, "prefix", &value, &missing)) {
      if (missing) {
        cli::Error("batch: " + std::string(arg) + " needs a value");
        return cli::kExitUsage;
      }
      if (isDir) {
        args->dir = value;
      } else {
        args->prefix = value;
      }
      continue;
    }
    if (cli::TakeOption(argc, argv, &i, "format", &value, &missing)) {
      std::optional<symbolfile::Format> format = ParseFormat(value);
      if (!format) {
        cli::Error("batch: --format takes jpg, png or svg");
        return cli::kExitUsage;
      }
      args->format = *format;
      continue;
    }
    cli::OptionResult r = cli::TakeGenerateOption(argc, argv, &i, &args->options);
    if (r == cli::OptionResult::kBad) return cli::kExitUsage;
    if (r == cli::OptionResult::kNotMine) {
      cli::Error("batch: unknown option '" + std::string(arg) + "' (see qrtool batch --help)");
      return cli::kExitUsage;
    }
  }
  if (args->positional.size() != 1) {
    cli::Error("batch needs exactly one LINES_FILE or '-' (see qrtool batch --help)");
    return cli::kExitUsage;
  }
  return -1;
}

// The page's prefix and folder checks, in its order. Files go inside the
// folder, so it has to be a folder, not just something that exists.
int CheckDestination(const BatchArgs& args) {
  const std::string dir = args.dir.value_or(std::string());
  std::error_code ec;
  const RuleVerdict verdict =
      CheckBatchDestination(args.prefix, dir, std::filesystem::is_directory(dir, ec));
  if (verdict.passed()) return -1;
  cli::Error(RefusalText(verdict));
  return cli::kExitUsage;
}

std::string ForTerminal(std::string_view message) {
  std::string out;
  for (char c : message) {
    if (c != '\r') out += c;
  }
  return out;
}

// Splits, converts and checks every line before anything is written.
// Returns -1 when all lines pass, else the exit status.
int PrepareLines(const std::string& content, const cli::GenerateOptions& options,
                 std::vector<BatchLine>* lines) {
  std::vector<std::string> texts = SplitBoxLines(content);
  // A text file's final line break ends its last line rather than opening another.
  if (texts.size() > 1 && texts.back().empty()) texts.pop_back();
  const RuleVerdict size = CheckBatchSize(content.empty(), texts.size());
  if (!size.passed()) {
    cli::Error(RefusalText(size));
    return cli::kExitUsage;
  }
  std::vector<std::string> bytes(texts.size());
  for (size_t k = 0; k < texts.size(); ++k) {
    std::string problem;
    if (!cli::TextToEncoderBytes(texts[k], options, &bytes[k], &problem)) {
      cli::Error(cli::Format("line %zu: ", k + 1) + problem);
      return cli::kExitUsage;
    }
    // Lines are checked in order, so a later line's conversion never hides an
    // earlier line's length.
    const RuleVerdict length = CheckBatchLines(
        {bytes[k]},
        CharacterLimit(options.versionIndex, options.levelIndex, Generator::kCommandLine),
        Generator::kCommandLine);
    if (!length.passed()) {
      RuleVerdict numbered = length;
      numbered.line = static_cast<int>(k + 1);
      cli::Error(ForTerminal(RefusalText(numbered, texts[k])));
      return cli::kExitUsage;
    }
  }
  for (size_t k = 0; k < texts.size(); ++k) lines->push_back({texts[k], bytes[k]});
  return -1;
}

class Progress {
 public:
  explicit Progress(int total) : total_(total), enabled_(isatty(STDERR_FILENO) == 1) {}
  void Show(int done) {
    if (!enabled_) return;
    constexpr int kBar = 30;
    int filled = total_ > 0 ? done * kBar / total_ : kBar;
    std::cerr << "\r[" << std::string(static_cast<size_t>(filled), '#')
              << std::string(static_cast<size_t>(kBar - filled), ' ') << "] " << done << '/'
              << total_ << std::flush;
  }
  // Clears the bar so that a message starts on a clean line.
  void Clear() {
    if (enabled_) std::cerr << "\r\033[K" << std::flush;
  }

 private:
  int total_;
  bool enabled_;
};

// The batch page's file name, with the extension of the chosen format.
std::string OutputName(const BatchArgs& args, int number) {
  std::string file = BatchFileName(*args.dir, args.prefix, number);
  if (args.format == symbolfile::Format::kJpeg) return file;
  file.resize(file.size() - std::string_view(".jpg").size());
  return file + (args.format == symbolfile::Format::kPng ? ".png" : ".svg");
}

// Encodes and writes one line; a failure is reported and recorded, never fatal.
// Returns false only when no symbol record can be had.
bool GenerateLine(const BatchArgs& args, const BatchLine& line, int number, Progress* progress,
                  BatchResult* result) {
  int32_t code = 0;
  cli::SymbolPtr symbol = cli::EncodeSymbol(line.bytes, args.options, &code);
  if (!symbol) return false;
  std::string reason;
  std::string file = OutputName(args, number);
  if (code != QR_OK) {
    reason = symbol->errorText;
    progress->Clear();
    cli::Error(ForTerminal(cli::Format("line %d: 创建二维码失败:\r\n二维码内容：%s\r\n错误原因：%s",
                                       number, line.text.c_str(), symbol->errorText)));
  } else if (symbolfile::Save(args.format, symbol.get(), args.options.modulePixels,
                              file.c_str()) == 0) {
    reason = "cannot write " + file;
    progress->Clear();
    cli::Error(cli::Format("line %d: ", number) + reason);
  } else {
    ++result->written;
    result->files.push_back(file);
    return true;
  }
  result->failures.emplace_back(number, reason);
  return true;
}

void PrintSummary(const BatchResult& result, bool json) {
  if (!json) {
    std::cout << BatchSummaryText(result.written) << '\n';
    return;
  }
  std::cout << "{\"written\": " << result.written << ", \"files\": [";
  for (size_t i = 0; i < result.files.size(); ++i) {
    std::cout << (i ? ", " : "") << cli::JsonString(result.files[i]);
  }
  std::cout << "], \"failed\": [";
  for (size_t i = 0; i < result.failures.size(); ++i) {
    std::cout << (i ? ", " : "") << "{\"line\": " << result.failures[i].first
              << ", \"error\": " << cli::JsonString(result.failures[i].second) << "}";
  }
  std::cout << "]}\n";
}

}  // namespace

int RunBatch(int argc, char** argv) {
  BatchArgs args;
  if (int status = ParseBatchArgs(argc, argv, &args); status >= 0) return status;
  if (int status = CheckDestination(args); status >= 0) return status;

  const std::string& source = args.positional[0];
  std::optional<std::string> content = source == "-" ? cli::ReadStdin() : cli::ReadFile(source);
  if (!content) {
    cli::Error("cannot read " + source);
    return cli::kExitUsage;
  }
  std::vector<BatchLine> lines;
  if (int status = PrepareLines(*content, args.options, &lines); status >= 0) return status;

  BatchResult result;
  Progress progress(static_cast<int>(lines.size()));
  for (size_t k = 0; k < lines.size(); ++k) {
    progress.Show(static_cast<int>(k));
    if (lines[k].bytes.empty()) continue;
    if (!GenerateLine(args, lines[k], static_cast<int>(k + 1), &progress, &result)) {
      progress.Clear();
      cli::Error(RefusalText({Refusal::kNoBatchRecord}));
      return cli::kExitNothing;
    }
  }
  progress.Show(static_cast<int>(lines.size()));
  progress.Clear();
  PrintSummary(result, args.options.json);
  return result.written > 0 ? cli::kExitOk : cli::kExitNothing;
}
