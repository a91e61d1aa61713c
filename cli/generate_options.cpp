#include "cli/generate_options.h"

#include <cstdarg>
#include <cstdio>

#include "common/text_codec.h"
#include "cli/cli_util.h"

namespace cli {

namespace {

std::optional<int> ParseLevel(std::string_view text) {
  if (text == "auto" || text == "AUTO") return 0;
  if (text.size() != 1) return std::nullopt;
  switch (text[0]) {
    case 'L': case 'l': return 1;
    case 'M': case 'm': return 2;
    case 'Q': case 'q': return 3;
    case 'H': case 'h': return 4;
    default: return std::nullopt;
  }
}

// Code point of a complete UTF-8 sequence, or -1.
long DecodeUtf8(std::string_view s) {
  if (s.empty()) return -1;
  unsigned char lead = static_cast<unsigned char>(s[0]);
  size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (n == 0 || n != s.size()) return -1;
  long cp = n == 1 ? lead : lead & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    unsigned char c = static_cast<unsigned char>(s[k]);
    if ((c & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (c & 0x3F);
  }
  return cp;
}

}  // namespace

const char kGenerateOptionsHelp[] =
    "  --version N        symbol version 1..40, 0 = automatic (default 0)\n"
    "  --level L          error correction auto|L|M|Q|H (default auto); the level\n"
    "                     used may be higher when the data leaves room\n"
    "  --module-size N    pixels per module 1..20 (default 5)\n"
    "  --hanzi            Chinese compression: GB 2312 characters in Hanzi mode\n"
    "  --raw              encode the bytes as given (default: convert UTF-8 to GBK)\n"
    "  --json             print the result as JSON\n";

OptionResult TakeGenerateOption(int argc, char** argv, int* i, GenerateOptions* options) {
  std::string_view arg = argv[*i];
  if (arg == "--hanzi") return options->hanzi = true, OptionResult::kTaken;
  if (arg == "--raw") return options->raw = true, OptionResult::kTaken;
  if (arg == "--json") return options->json = true, OptionResult::kTaken;
  struct Numeric {
    const char* name;
    int* target;
    long min, max;
  } numeric[] = {{"version", &options->versionIndex, 0, 40},
                 {"module-size", &options->modulePixels, 1, 20}};
  std::string value;
  bool missing = false;
  for (const Numeric& n : numeric) {
    if (!TakeOption(argc, argv, i, n.name, &value, &missing)) continue;
    std::optional<long> parsed = missing ? std::nullopt : ParseInt(value, n.min, n.max);
    if (!parsed) {
      Error(Format("--%s needs a number from %ld to %ld", n.name, n.min, n.max));
      return OptionResult::kBad;
    }
    *n.target = static_cast<int>(*parsed);
    return OptionResult::kTaken;
  }
  if (TakeOption(argc, argv, i, "level", &value, &missing)) {
    std::optional<int> level = missing ? std::nullopt : ParseLevel(value);
    if (!level) {
      Error("--level needs auto, L, M, Q or H");
      return OptionResult::kBad;
    }
    options->levelIndex = *level;
    return OptionResult::kTaken;
  }
  return OptionResult::kNotMine;
}

bool TextToEncoderBytes(std::string_view text, const GenerateOptions& options,
                        std::string* bytes, std::string* problem) {
  if (options.raw) {
    bytes->assign(text);
    return true;
  }
  std::string bad;
  if (textcodec::Utf8ToGbk(text, bytes, &bad)) return true;
  long cp = DecodeUtf8(bad);
  if (cp >= 0) {
    *problem = Format("the character '%s' (U+%04lX) cannot be written in GBK", bad.c_str(), cp);
  } else {
    *problem = "the text is not valid UTF-8 (bytes " + Hex(bad) + ")";
  }
  *problem += "; use --raw to encode the bytes as given";
  return false;
}

SymbolPtr EncodeSymbol(std::string_view bytes, const GenerateOptions& options, int32_t* code) {
  SymbolPtr symbol(qr_create_symbol());
  if (!symbol) {
    *code = -1;
    return symbol;
  }
  symbol->symbology = QR_SYMBOLOGY_QRCODE;
  symbol->inputMode = options.hanzi ? GB2312_MODE : DATA_MODE;
  symbol->ecLevel = options.levelIndex;
  symbol->version = options.versionIndex;
  *code = qr_encode(symbol.get(), reinterpret_cast<const uint8_t*>(bytes.data()),
                    static_cast<int32_t>(bytes.size()));
  return symbol;
}

const char* LevelLetter(int32_t ecLevel) {
  switch (ecLevel) {
    case 1: return "L";
    case 2: return "M";
    case 3: return "Q";
    default: return "H";
  }
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
  va_end(args);
  return out;
}

}  // namespace cli
