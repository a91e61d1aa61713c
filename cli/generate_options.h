// What `qrtool encode` and `qrtool batch` share: the generation page's options,
// the text conversion to GBK, one encode, and the page's status text.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "encoder/qr_encoder.h"

namespace cli {

struct GenerateOptions {
  int versionIndex = 0;   // 0 automatic, else 1..40
  int levelIndex = 0;     // 0 automatic, 1 L, 2 M, 3 Q, 4 H
  int modulePixels = 5;   // 1..20
  bool hanzi = false;     // GB2312_MODE instead of DATA_MODE
  bool raw = false;       // pass the bytes as given instead of converting to GBK
  bool json = false;
};

enum class OptionResult { kNotMine, kTaken, kBad };

// Takes argv[*i] when it is one of --version, --level, --module-size, --hanzi,
// --raw or --json (advancing *i past a separate value). kBad: a message has
// been printed.
OptionResult TakeGenerateOption(int argc, char** argv, int* i, GenerateOptions* options);

// Help lines for the options above.
extern const char kGenerateOptionsHelp[];

// The bytes to encode: `text` as given with options.raw, else its GBK form.
// On a character GBK cannot represent, returns false with `problem` naming it.
bool TextToEncoderBytes(std::string_view text, const GenerateOptions& options,
                        std::string* bytes, std::string* problem);

struct SymbolDeleter {
  void operator()(QrSymbol* symbol) const { qr_delete_symbol(symbol); }
};
using SymbolPtr = std::unique_ptr<QrSymbol, SymbolDeleter>;

// One symbol from `bytes` with the options' version, level and input mode.
// `code` receives qr_encode's result (-1 when no record could be created).
SymbolPtr EncodeSymbol(std::string_view bytes, const GenerateOptions& options, int32_t* code);

// "L", "M", "Q" or "H" for ecLevel 1..4.
const char* LevelLetter(int32_t ecLevel);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace cli
