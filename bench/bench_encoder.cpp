// Symbols per second on a fixed mixed workload, our encoder against libqrencode
// on the same inputs: 1000 short URLs, 1000 twenty-digit numbers, 500 texts of
// 300 bytes and 500 GBK texts of 20 Chinese characters (Hanzi compression for
// us, 8-bit mode for libqrencode). Automatic version; level L requested.
#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <time.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"

namespace {

struct Input {
  std::string bytes;
  bool gbk;
};

std::vector<Input> MakeWorkload() {
  std::mt19937 rng(0x5EED);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<Input> inputs;
  for (int i = 0; i < 1000; ++i) {
    std::string url = "https://www.example.com/";
    while (url.size() < 32) url += static_cast<char>('a' + pick(26));
    url += "?id=" + std::to_string(1000 + pick(9000));
    inputs.push_back({url, false});
  }
  for (int i = 0; i < 1000; ++i) {
    std::string digits;
    for (int k = 0; k < 20; ++k) digits += static_cast<char>('0' + pick(10));
    inputs.push_back({digits, false});
  }
  for (int i = 0; i < 500; ++i) {
    std::string text;
    for (int k = 0; k < 300; ++k) text += static_cast<char>(' ' + pick(95));
    inputs.push_back({text, false});
  }
  for (int i = 0; i < 500; ++i) {
    std::string text;
    for (int k = 0; k < 20; ++k) {
      text += static_cast<char>(0xB0 + pick(0xF7 - 0xB0 + 1));
      text += static_cast<char>(0xA1 + pick(0xFE - 0xA1 + 1));
    }
    inputs.push_back({text, true});
  }
  return inputs;
}

const std::vector<Input>& Workload() {
  static const std::vector<Input> inputs = MakeWorkload();
  return inputs;
}

double g_oursRate = 0;
double g_libqrencodeRate = 0;

// CPU time of this thread: the build machines are shared, wall time is noisy.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs `encodeAll` once per iteration and reports symbols per second of CPU time.
template <typename F>
void Measure(benchmark::State& state, double* rate, F encodeAll) {
  const auto n = static_cast<double>(Workload().size());
  int64_t iterations = 0;
  const double start = ThreadSeconds();
  for (auto _ : state) {
    encodeAll();
    ++iterations;
  }
  *rate = n * static_cast<double>(iterations) / (ThreadSeconds() - start);
  state.SetItemsProcessed(static_cast<int64_t>(n) * iterations);
  state.counters["symbols_per_s"] = benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Ours(benchmark::State& state) {
  QrSymbol* symbol = qr_create_symbol();
  Measure(state, &g_oursRate, [symbol] {
    for (const Input& in : Workload()) {
      *symbol = QrSymbol{};  // a fresh record per code, without the allocator
      symbol->symbology = QR_SYMBOLOGY_QRCODE;
      symbol->ecLevel = 1;
      symbol->inputMode = in.gbk ? GB2312_MODE : DATA_MODE;
      const int32_t code = qr_encode(symbol, reinterpret_cast<const uint8_t*>(in.bytes.data()),
                                     static_cast<int32_t>(in.bytes.size()));
      benchmark::DoNotOptimize(code);
    }
  });
  qr_delete_symbol(symbol);
}

void BM_OursWithRecordPerCode(benchmark::State& state) {
  double rate = 0;
  Measure(state, &rate, [] {
    for (const Input& in : Workload()) {
      QrSymbol* symbol = qr_create_symbol();
      symbol->symbology = QR_SYMBOLOGY_QRCODE;
      symbol->ecLevel = 1;
      symbol->inputMode = in.gbk ? GB2312_MODE : DATA_MODE;
      benchmark::DoNotOptimize(qr_encode(symbol, reinterpret_cast<const uint8_t*>(in.bytes.data()),
                                         static_cast<int32_t>(in.bytes.size())));
      qr_delete_symbol(symbol);
    }
  });
}

void BM_Libqrencode(benchmark::State& state) {
  Measure(state, &g_libqrencodeRate, [] {
    for (const Input& in : Workload()) {
      QRcode* code =
          in.gbk ? QRcode_encodeData(static_cast<int>(in.bytes.size()),
                                     reinterpret_cast<const unsigned char*>(in.bytes.data()), 0,
                                     QR_ECLEVEL_L)
                 : QRcode_encodeString(in.bytes.c_str(), 0, QR_ECLEVEL_L, QR_MODE_8, 1);
      benchmark::DoNotOptimize(code);
      QRcode_free(code);
    }
  });
}

void BM_Ratio(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(g_oursRate);
  state.counters["ours_per_s"] = g_oursRate;
  state.counters["libqrencode_per_s"] = g_libqrencodeRate;
  state.counters["ratio"] = g_libqrencodeRate > 0 ? g_oursRate / g_libqrencodeRate : 0;
}

BENCHMARK(BM_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursWithRecordPerCode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libqrencode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Ratio)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_libqrencodeRate > 0 && g_oursRate > 0) {
    std::printf("ours %.0f symbols/s, libqrencode %.0f symbols/s, ratio %.2f\n", g_oursRate,
                g_libqrencodeRate, g_oursRate / g_libqrencodeRate);
  }
  return 0;
}
