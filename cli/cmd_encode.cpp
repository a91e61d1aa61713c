// qrtool encode: one text into one QR code picture, as the single-code page does.
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

const char kEncodeHelp[] =
    "usage: qrtool encode [options] TEXT|-\n"
    "\n"
    "Encodes TEXT (or standard input for '-', one final line break dropped) into a\n"
    "QR code and writes it as a grey JPEG picture, or as PNG or SVG when the\n"
    "output name ends in .png or .svg.\n"
    "\n"
    "options:\n";

const char kEncodeHelpTail[] =
    "  --output FILE      picture file to write (default qr.jpg); FILE.png gives a\n"
    "                     lossless PNG, FILE.svg a scalable SVG of the same size\n"
    "  --terminal         also draw the symbol in the terminal with half blocks;\n"
    "                     dark modules are drawn as ink, so use a terminal with a\n"
    "                     light background (four light modules of margin)\n"
    "  -h, --help         show this help\n"
    "\n"
    "The text is counted in GBK bytes (a Chinese character counts 2). Any text a\n"
    "symbol can hold is accepted: up to 2953 bytes at version 40, level L (more\n"
    "when they are digits or capital letters). A text the chosen version and level\n"
    "cannot hold is refused with the encoder's reason (exit 1).\n"
    "\n"
    "Prints the version, error-correction level and picture size used, or with\n"
    "--json: {\"version\", \"level\", \"width_px\", \"file\"}.\n"
    "Exit status: 0 written, 1 the encoder refused the text or the file could not\n"
    "be written, 2 bad usage or input.\n";

constexpr int kTerminalMargin = 4;

struct EncodeArgs {
  cli::GenerateOptions options;
  std::string output = "qr.jpg";
  bool terminal = false;
  std::vector<std::string> positional;
};

// Returns -1 to go on, else the exit status.
int ParseEncodeArgs(int argc, char** argv, EncodeArgs* args) {
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
      std::cout << kEncodeHelp << cli::kGenerateOptionsHelp << kEncodeHelpTail;
      return cli::kExitOk;
    }
    if (arg == "--terminal") {
      args->terminal = true;
      continue;
    }
    std::string value;
    bool missing = false;
    if (cli::TakeOption(argc, argv, &i, "output", &value, &missing)) {
      if (missing || value.empty()) {
        cli::Error("--output needs a file name");
        return cli::kExitUsage;
      }
      args->output = value;
      continue;
    }
    cli::OptionResult r = cli::TakeGenerateOption(argc, argv, &i, &args->options);
    if (r == cli::OptionResult::kBad) return cli::kExitUsage;
    if (r == cli::OptionResult::kNotMine) {
      cli::Error("encode: unknown option '" + std::string(arg) + "' (see qrtool encode --help)");
      return cli::kExitUsage;
    }
  }
  if (args->positional.size() != 1) {
    cli::Error("encode needs exactly one TEXT or '-' (see qrtool encode --help)");
    return cli::kExitUsage;
  }
  return -1;
}

// Two module rows per text line: upper half block, lower half block, full block.
void DrawInTerminal(const QrSymbol& symbol, std::ostream& out) {
  int n = symbol.width;
  auto dark = [&](int r, int c) {
    r -= kTerminalMargin;
    c -= kTerminalMargin;
    return r >= 0 && r < n && c >= 0 && c < n && qr_module_is_set(&symbol, r, c) != 0;
  };
  int side = n + 2 * kTerminalMargin;
  for (int r = 0; r < side; r += 2) {
    std::string line;
    for (int c = 0; c < side; ++c) {
      bool top = dark(r, c), bottom = dark(r + 1, c);
      line += top ? (bottom ? "█" : "▀") : (bottom ? "▄" : " ");
    }
    out << line << '\n';
  }
}

std::optional<std::string> ReadText(const std::string& argument) {
  if (argument != "-") return argument;
  std::optional<std::string> text = cli::ReadStdin();
  if (!text) return std::nullopt;
  // `echo TEXT | qrtool encode -` should encode TEXT, not TEXT plus a line break.
  if (!text->empty() && text->back() == '\n') {
    text->pop_back();
    if (!text->empty() && text->back() == '\r') text->pop_back();
  }
  return text;
}

// The command line's length limit, checked once the encoder has accepted the
// text, so that a text the chosen version cannot hold gets the encoder's own
// reason. -1 when the text passes.
int CheckLimit(const std::string& bytes, const cli::GenerateOptions& options) {
  const RuleVerdict verdict =
      CheckSingleText(bytes, CharacterLimit(options.versionIndex, options.levelIndex,
                                            Generator::kCommandLine));
  if (verdict.passed()) return -1;
  cli::Error(RefusalText(verdict));
  return cli::kExitUsage;
}

void Report(const QrSymbol& symbol, int32_t side, const std::string& file, bool json) {
  if (json) {
    std::cout << "{\"version\": " << symbol.version << ", \"level\": \""
              << cli::LevelLetter(symbol.ecLevel) << "\", \"width_px\": " << side
              << ", \"file\": " << cli::JsonString(file) << "}\n";
  } else {
    std::cout << GeneratedStatusText(symbol.ecLevel, symbol.version, side)
              << '\n';
  }
}

}  // namespace

int RunEncode(int argc, char** argv) {
  EncodeArgs args;
  if (int status = ParseEncodeArgs(argc, argv, &args); status >= 0) return status;

  std::optional<std::string> text = ReadText(args.positional[0]);
  if (!text) {
    cli::Error("cannot read standard input");
    return cli::kExitUsage;
  }
  std::string bytes, problem;
  if (!cli::TextToEncoderBytes(*text, args.options, &bytes, &problem)) {
    cli::Error(problem);
    return cli::kExitUsage;
  }
  if (bytes.empty()) {
    cli::Error(RefusalText({Refusal::kTextEmpty}));
    return cli::kExitUsage;
  }

  int32_t code = 0;
  cli::SymbolPtr symbol = cli::EncodeSymbol(bytes, args.options, &code);
  if (!symbol) {
    cli::Error(RefusalText({Refusal::kNoSymbolRecord}));
    return cli::kExitNothing;
  }
  if (code != QR_OK) {
    cli::Error(symbol->errorText);
    return cli::kExitNothing;
  }
  if (int status = CheckLimit(bytes, args.options); status >= 0) return status;
  int32_t side = symbolfile::Save(symbolfile::FormatForName(args.output), symbol.get(),
                                  args.options.modulePixels, args.output.c_str());
  if (side == 0) {
    cli::Error("cannot write " + args.output);
    return cli::kExitNothing;
  }
  if (args.terminal) DrawInTerminal(*symbol, std::cout);
  Report(*symbol, side, args.output, args.options.json);
  return cli::kExitOk;
}
