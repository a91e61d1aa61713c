// SaveSymbolPicture: a version-10 symbol at the page default of 5 pixels per
// module, and the largest picture (version 40 at 20 pixels, 4220 x 4220).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "generation/symbol_picture.h"

namespace {

// Fixed-seed module pattern: about half the modules dark, like a masked symbol.
std::unique_ptr<QrSymbol> PatternSymbol(int version) {
  auto symbol = std::make_unique<QrSymbol>();
  int n = 17 + 4 * version;
  symbol->rows = symbol->width = n;
  symbol->version = version;
  std::mt19937 random(20240u + static_cast<unsigned>(version));
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      if (random() & 1) symbol->modules[r][c / 7] |= static_cast<uint8_t>(1u << (c % 7));
    }
  }
  return symbol;
}

void BM_SaveSymbolPicture(benchmark::State& state) {
  int version = static_cast<int>(state.range(0));
  int pixels = static_cast<int>(state.range(1));
  auto symbol = PatternSymbol(version);
  std::string path = (std::filesystem::temp_directory_path() /
                      ("bench_picture_" + std::to_string(version) + ".jpg")).string();
  int32_t side = 0;
  for (auto _ : state) {
    side = SaveSymbolPicture(symbol.get(), pixels, path.c_str());
    if (side == 0) {
      state.SkipWithError("SaveSymbolPicture failed");
      break;
    }
  }
  state.counters["side_px"] = side;
  state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
  std::remove(path.c_str());
}

BENCHMARK(BM_SaveSymbolPicture)->Args({10, 5})->Args({40, 20})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
