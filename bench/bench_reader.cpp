// Decode time per picture, our reader (qr_read_symbols) against zxing-cpp
// (QR Code only) on the same grey buffers, and a decode-rate run over a
// generated stress set (fixed seed): rotation, perspective, blur, noise, low
// contrast, uneven light, 1.5 to 6 pixels per module, symbols from libqrencode.
#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "reader/qr_reader.h"

namespace {

// --- Scene rendering (test pictures only; the reader itself is integer-only) ----

struct Grey {
  int w, h;
  std::vector<uint8_t> px;
};

struct Code {
  std::string text;
  int side;
  std::vector<uint8_t> dark;  // side x side
};

Code MakeCode(const std::string& text, int version, QRecLevel level) {
  QRcode* q = QRcode_encodeString8bit(text.c_str(), version, level);
  Code c{text, q->width, std::vector<uint8_t>(static_cast<size_t>(q->width * q->width))};
  for (int i = 0; i < q->width * q->width; ++i) c.dark[i] = q->data[i] & 1;
  QRcode_free(q);
  return c;
}

// Projective map from module coordinates (u, v) to image pixels, given by the
// images of the four outer corners (-4, -4), (side+4, -4), (-4, side+4),
// (side+4, side+4) (the quiet zone included).
struct Placement {
  std::array<std::array<double, 2>, 4> corners;  // UL, UR, DL, DR
};

// Inverse bilinear is enough for the small perspective used here: solve for
// (s, t) in [0, 1]^2 by Newton steps.
bool ImageToUnit(const Placement& p, double x, double y, double* s, double* t) {
  const auto& c = p.corners;
  double u = 0.5, v = 0.5;
  for (int it = 0; it < 8; ++it) {
    double fx = (1 - u) * (1 - v) * c[0][0] + u * (1 - v) * c[1][0] + (1 - u) * v * c[2][0] + u * v * c[3][0] - x;
    double fy = (1 - u) * (1 - v) * c[0][1] + u * (1 - v) * c[1][1] + (1 - u) * v * c[2][1] + u * v * c[3][1] - y;
    double dxu = (1 - v) * (c[1][0] - c[0][0]) + v * (c[3][0] - c[2][0]);
    double dxv = (1 - u) * (c[2][0] - c[0][0]) + u * (c[3][0] - c[1][0]);
    double dyu = (1 - v) * (c[1][1] - c[0][1]) + v * (c[3][1] - c[2][1]);
    double dyv = (1 - u) * (c[2][1] - c[0][1]) + u * (c[3][1] - c[1][1]);
    double det = dxu * dyv - dxv * dyu;
    if (std::fabs(det) < 1e-12) return false;
    u -= (fx * dyv - fy * dxv) / det;
    v -= (fy * dxu - fx * dyu) / det;
  }
  *s = u;
  *t = v;
  return u >= 0 && u <= 1 && v >= 0 && v <= 1;
}

// Draws a code (dark = 0 ink on the given light level) with 3 x 3 supersampling.
void DrawCode(Grey* g, const Code& code, const Placement& p, double darkLevel, double lightLevel) {
  const double span = code.side + 8;
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  for (const auto& c : p.corners) {
    minX = std::min(minX, c[0]);
    maxX = std::max(maxX, c[0]);
    minY = std::min(minY, c[1]);
    maxY = std::max(maxY, c[1]);
  }
  for (int y = std::max(0, static_cast<int>(minY)); y < std::min(g->h, static_cast<int>(maxY) + 1); ++y) {
    for (int x = std::max(0, static_cast<int>(minX)); x < std::min(g->w, static_cast<int>(maxX) + 1); ++x) {
      double sum = 0;
      int n = 0;
      for (int sy = 0; sy < 3; ++sy) {
        for (int sx = 0; sx < 3; ++sx) {
          double s, t;
          if (!ImageToUnit(p, x + (sx + 0.5) / 3, y + (sy + 0.5) / 3, &s, &t)) continue;
          int u = static_cast<int>(std::floor(s * span)) - 4;
          int v = static_cast<int>(std::floor(t * span)) - 4;
          bool dark = u >= 0 && v >= 0 && u < code.side && v < code.side && code.dark[v * code.side + u];
          sum += dark ? darkLevel : lightLevel;
          ++n;
        }
      }
      if (n > 0) {
        double covered = n / 9.0;
        double old = g->px[static_cast<size_t>(y * g->w + x)];
        g->px[static_cast<size_t>(y * g->w + x)] =
            static_cast<uint8_t>(std::clamp(sum / n * covered + old * (1 - covered), 0.0, 255.0));
      }
    }
  }
}

Placement Place(double cx, double cy, double sizePx, double angleDeg, double perspective,
                std::mt19937* rng) {
  Placement p;
  const double a = angleDeg * M_PI / 180;
  const double h = sizePx / 2;
  const double offs[4][2] = {{-h, -h}, {h, -h}, {-h, h}, {h, h}};
  std::uniform_real_distribution<double> jitter(-perspective, perspective);
  for (int i = 0; i < 4; ++i) {
    double ox = offs[i][0] * (1 + (rng ? jitter(*rng) : 0));
    double oy = offs[i][1] * (1 + (rng ? jitter(*rng) : 0));
    p.corners[i] = {cx + ox * std::cos(a) - oy * std::sin(a), cy + ox * std::sin(a) + oy * std::cos(a)};
  }
  return p;
}

void BoxBlur(Grey* g, int radius) {
  if (radius <= 0) return;
  std::vector<uint8_t> tmp(g->px.size());
  for (int pass = 0; pass < 2; ++pass) {
    const int dx = pass == 0 ? 1 : 0, dy = 1 - dx;
    for (int y = 0; y < g->h; ++y) {
      for (int x = 0; x < g->w; ++x) {
        int sum = 0, n = 0;
        for (int k = -radius; k <= radius; ++k) {
          int xx = x + k * dx, yy = y + k * dy;
          if (xx < 0 || yy < 0 || xx >= g->w || yy >= g->h) continue;
          sum += g->px[static_cast<size_t>(yy * g->w + xx)];
          ++n;
        }
        tmp[static_cast<size_t>(y * g->w + x)] = static_cast<uint8_t>(sum / n);
      }
    }
    g->px.swap(tmp);
  }
}

void Noise(Grey* g, double amplitude, std::mt19937* rng) {
  std::normal_distribution<double> n(0, amplitude);
  for (auto& p : g->px) p = static_cast<uint8_t>(std::clamp(p + n(*rng), 0.0, 255.0));
}

// Light falling off from one side: factor from `low` to 1 across the picture.
void UnevenLight(Grey* g, double low, double angle) {
  const double cx = std::cos(angle), cy = std::sin(angle);
  for (int y = 0; y < g->h; ++y) {
    for (int x = 0; x < g->w; ++x) {
      double t = ((x - g->w / 2.0) * cx + (y - g->h / 2.0) * cy) / std::hypot(g->w, g->h) + 0.5;
      auto& p = g->px[static_cast<size_t>(y * g->w + x)];
      p = static_cast<uint8_t>(p * (low + (1 - low) * std::clamp(t, 0.0, 1.0)));
    }
  }
}

Grey Background(int w, int h, uint8_t level) { return Grey{w, h, std::vector<uint8_t>(static_cast<size_t>(w * h), level)}; }

// --- The two readers --------------------------------------------------------------

std::vector<std::string> OursRead(const Grey& g) {
  static std::vector<DecodeResult> results(8);
  int n = qr_read_symbols(g.px.data(), g.w, g.h, results.data(), 8);
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.emplace_back(reinterpret_cast<const char*>(results[i].data), results[i].length);
  return out;
}

std::vector<std::string> ZxingRead(const Grey& g) {
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  ZXing::ImageView view(g.px.data(), g.w, g.h, ZXing::ImageFormat::Lum);
  std::vector<std::string> out;
  for (const auto& r : ZXing::ReadBarcodes(view, hints)) {
    if (r.isValid()) out.emplace_back(r.bytes().begin(), r.bytes().end());
  }
  return out;
}

int CountFound(const std::vector<std::string>& got, const std::vector<std::string>& want) {
  int n = 0;
  for (const auto& w : want) n += std::find(got.begin(), got.end(), w) != got.end();
  return n;
}

// --- Benchmark scenes --------------------------------------------------------------

struct Scene {
  Grey grey;
  std::vector<std::string> texts;
};

Scene SceneA() {
  Scene s{Background(640, 480, 235), {"scene a: version 3, rotated 10 degrees"}};
  Code c = MakeCode(s.texts[0], 3, QR_ECLEVEL_M);
  DrawCode(&s.grey, c, Place(320, 240, (c.side + 8) * 4.0, 10, 0, nullptr), 25, 235);
  return s;
}

Scene SceneB() {
  Scene s{Background(1280, 1024, 230), {}};
  const int versions[4] = {2, 5, 7, 10};
  const double centres[4][2] = {{320, 256}, {960, 256}, {320, 768}, {960, 768}};
  for (int i = 0; i < 4; ++i) {
    std::string text = "scene b code " + std::to_string(i) + " version " + std::to_string(versions[i]);
    s.texts.push_back(text);
    Code c = MakeCode(text, versions[i], QR_ECLEVEL_Q);
    DrawCode(&s.grey, c, Place(centres[i][0], centres[i][1], (c.side + 8) * 5.0, 4.0 * i, 0, nullptr), 30, 230);
  }
  return s;
}

Scene SceneC() {
  Scene s{Background(1280, 1024, 0), {}};
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> n(-20, 20);
  for (int y = 0; y < 1024; ++y) {
    for (int x = 0; x < 1280; ++x) {
      s.grey.px[static_cast<size_t>(y * 1280 + x)] = static_cast<uint8_t>(std::clamp(40 + x * 150 / 1280 + y * 50 / 1024 + n(rng), 0, 255));
    }
  }
  return s;
}

Scene SceneD() {
  Scene s{Background(640, 480, 240), {"scene d: a version 25 code of a good size " + std::string(300, 'x')}};
  Code c = MakeCode(s.texts[0], 25, QR_ECLEVEL_L);
  DrawCode(&s.grey, c, Place(320, 240, (c.side + 8) * 3.5, 0, 0, nullptr), 20, 240);
  return s;
}

// A clean version 40 code with a short text from our own encoder, drawn as
// `qrtool encode --version 40 --module-size 3` draws it (quiet zone of a tenth
// of the side): 633 x 633.
Scene SceneE() {
  const std::string text = "scene e: version 40, short text";
  QrSymbol* q = qr_create_symbol();
  q->symbology = QR_SYMBOLOGY_QRCODE;
  q->version = 40;
  q->ecLevel = 1;
  qr_encode(q, reinterpret_cast<const uint8_t*>(text.data()), static_cast<int32_t>(text.size()));
  const int scale = 3, quiet = q->width / 10, side = (q->width + 2 * quiet) * scale;
  Scene s{Background(side, side, 255), {text}};
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const int r = y / scale - quiet, c = x / scale - quiet;
      if (r >= 0 && c >= 0 && r < q->width && c < q->width && qr_module_is_set(q, r, c)) {
        s.grey.px[static_cast<size_t>(y * side + x)] = 0;
      }
    }
  }
  qr_delete_symbol(q);
  return s;
}

// A camera-like frame: one rotated version 4 code on a smooth random texture
// (Gaussian-blurred noise stretched to grey 90..200).
Scene SceneF() {
  Scene s{Background(640, 480, 0), {"scene f: version 4 on texture"}};
  std::mt19937 rng(6);
  std::uniform_int_distribution<int> n(0, 255);
  for (auto& p : s.grey.px) p = static_cast<uint8_t>(n(rng));
  for (int k = 0; k < 4; ++k) BoxBlur(&s.grey, 4);  // four box passes: near Gaussian
  const auto [lo, hi] = std::minmax_element(s.grey.px.begin(), s.grey.px.end());
  const int l = *lo, range = std::max(1, *hi - *lo);
  for (auto& p : s.grey.px) p = static_cast<uint8_t>(90 + (p - l) * 110 / range);
  Code c = MakeCode(s.texts[0], 4, QR_ECLEVEL_M);
  DrawCode(&s.grey, c, Place(250, 260, (c.side + 8) * 4.0, 23, 0, nullptr), 35, 215);
  return s;
}

constexpr int kScenes = 6;

const Scene& GetScene(int i) {
  static const Scene scenes[kScenes] = {SceneA(), SceneB(), SceneC(), SceneD(), SceneE(), SceneF()};
  return scenes[i];
}

void BM_Ours(benchmark::State& state) {
  const Scene& s = GetScene(static_cast<int>(state.range(0)));
  int found = 0;
  for (auto _ : state) {
    auto r = OursRead(s.grey);
    found = CountFound(r, s.texts);
    benchmark::DoNotOptimize(r);
  }
  state.counters["found"] = found;
  state.counters["codes"] = static_cast<double>(s.texts.size());
}

void BM_Zxing(benchmark::State& state) {
  const Scene& s = GetScene(static_cast<int>(state.range(0)));
  int found = 0;
  for (auto _ : state) {
    auto r = ZxingRead(s.grey);
    found = CountFound(r, s.texts);
    benchmark::DoNotOptimize(r);
  }
  state.counters["found"] = found;
  state.counters["codes"] = static_cast<double>(s.texts.size());
}

// Scene index: 0 = (a) 640x480 v3 rotated, 1 = (b) 1280x1024 four codes,
// 2 = (c) 1280x1024 no code, 3 = (d) 640x480 v25, 4 = (e) 633x633 clean v40,
// 5 = (f) 640x480 v4 on texture.
BENCHMARK(BM_Ours)->DenseRange(0, kScenes - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zxing)->DenseRange(0, kScenes - 1)->Unit(benchmark::kMillisecond);

// --- Stress set ------------------------------------------------------------------------

struct StressCase {
  Grey grey;
  std::string text;
  std::string what;
};

StressCase MakeStressCase(std::mt19937* rng) {
  std::uniform_real_distribution<double> u01(0, 1);
  int version = 1 + static_cast<int>((*rng)() % 10);
  QRecLevel level = static_cast<QRecLevel>((*rng)() % 4);
  std::string text = "stress " + std::to_string((*rng)() % 100000);
  Code c = MakeCode(text, version, level);
  double px = 1.5 + 4.5 * u01(*rng);
  double size = (c.side + 8) * px;
  if (size > 440) {
    px = 440.0 / (c.side + 8);
    size = 440;
  }
  const double angle = 360 * u01(*rng);
  const double perspective = 0.12 * u01(*rng);
  const bool lowContrast = u01(*rng) < 0.25;
  const double dark = lowContrast ? 80 + 40 * u01(*rng) : 10 + 50 * u01(*rng);
  const double light = lowContrast ? dark + 40 + 30 * u01(*rng) : 190 + 60 * u01(*rng);
  StressCase sc{Background(640, 480, static_cast<uint8_t>(light)), text, {}};
  const double cx = 320 + (u01(*rng) - 0.5) * (640 - size * 1.2) * 0.5;
  const double cy = 240 + (u01(*rng) - 0.5) * (480 - size * 1.2) * 0.5;
  DrawCode(&sc.grey, c, Place(cx, cy, size, angle, perspective, rng), dark, light);
  const int blur = u01(*rng) < 0.3 ? 1 : 0;
  BoxBlur(&sc.grey, blur);
  const double noise = u01(*rng) < 0.5 ? 12 * u01(*rng) : 0;
  if (noise > 0) Noise(&sc.grey, noise, rng);
  const bool uneven = u01(*rng) < 0.3;
  if (uneven) UnevenLight(&sc.grey, 0.35 + 0.3 * u01(*rng), 6.28 * u01(*rng));
  char what[160];
  std::snprintf(what, sizeof what, "v%d %.1fpx %.0fdeg persp %.2f %s blur %d noise %.0f%s", version,
                px, angle, perspective, lowContrast ? "low-contrast" : "", blur, noise,
                uneven ? " uneven" : "");
  sc.what = what;
  return sc;
}

void RunStressSet(int count) {
  std::mt19937 rng(20240611);
  int ours = 0, zx = 0, both = 0;
  int bySize[3][2] = {};  // px < 2.5, < 4, >= 4: ours, zxing
  int sizeCount[3] = {};
  double oursMs = 0, zxMs = 0;
  for (int i = 0; i < count; ++i) {
    StressCase sc = MakeStressCase(&rng);
    auto t0 = std::chrono::steady_clock::now();
    bool a = CountFound(OursRead(sc.grey), {sc.text}) == 1;
    auto t1 = std::chrono::steady_clock::now();
    bool b = CountFound(ZxingRead(sc.grey), {sc.text}) == 1;
    auto t2 = std::chrono::steady_clock::now();
    oursMs += std::chrono::duration<double, std::milli>(t1 - t0).count();
    zxMs += std::chrono::duration<double, std::milli>(t2 - t1).count();
    ours += a;
    zx += b;
    both += a && b;
    double px = std::atof(sc.what.c_str() + sc.what.find(' ') + 1);
    int k = px < 2.5 ? 0 : px < 4 ? 1 : 2;
    ++sizeCount[k];
    bySize[k][0] += a;
    bySize[k][1] += b;
  }
  std::printf("stress set: %d pictures 640x480 (seed 20240611)\n", count);
  std::printf("  decoded: ours %d (%.1f%%), zxing-cpp %d (%.1f%%), both %d\n", ours, 100.0 * ours / count,
              zx, 100.0 * zx / count, both);
  const char* names[3] = {"1.5-2.5 px/module", "2.5-4 px/module", "4-6 px/module"};
  for (int k = 0; k < 3; ++k) {
    std::printf("  %-18s %3d pictures: ours %3d, zxing-cpp %3d\n", names[k], sizeCount[k], bySize[k][0],
                bySize[k][1]);
  }
  std::printf("  mean time per picture: ours %.2f ms, zxing-cpp %.2f ms\n", oursMs / count, zxMs / count);
}

// Side-by-side table of the scenes: median of 31 runs each, in processor time
// (the machines these run on are shared; wall time measures the neighbours).
void CompareScenes() {
  const char* names[kScenes] = {"(a) 640x480 v3 4px 10deg", "(b) 1280x1024 four codes v2-10",
                                "(c) 1280x1024 no code", "(d) 640x480 v25",
                                "(e) 633x633 clean v40 3px", "(f) 640x480 v4 on texture"};
  std::printf("%-32s %10s %10s %7s %8s %8s\n", "scene", "ours ms", "zxing ms", "ratio", "ours", "zxing");
  for (int i = 0; i < kScenes; ++i) {
    const Scene& s = GetScene(i);
    // The two readers take turns, so that a busy neighbour slows both alike.
    auto timed = [&](auto read, int* found) {
      const std::clock_t t0 = std::clock();
      *found = CountFound(read(s.grey), s.texts);
      return 1000.0 * static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
    };
    std::vector<double> ours, zxing;
    int fo = 0, fz = 0;
    for (int k = 0; k < 31; ++k) {
      ours.push_back(timed(OursRead, &fo));
      zxing.push_back(timed(ZxingRead, &fz));
    }
    std::sort(ours.begin(), ours.end());
    std::sort(zxing.begin(), zxing.end());
    const double o = ours[ours.size() / 2], z = zxing[zxing.size() / 2];
    std::printf("%-32s %10.2f %10.2f %7.2f %5d/%zu %5d/%zu\n", names[i], o, z, o / z, fo, s.texts.size(), fz,
                s.texts.size());
  }
}

}  // namespace

int main(int argc, char** argv) {
  // With a filter only the chosen benchmarks run (for profiling one scene).
  // --scenes prints the side-by-side table alone, --stress the stress set.
  bool filtered = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--scenes") {
      CompareScenes();
      return 0;
    }
    if (std::string(argv[i]) == "--stress") {
      RunStressSet(300);
      return 0;
    }
    filtered = filtered || std::string(argv[i]).rfind("--benchmark_filter", 0) == 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!filtered) {
    CompareScenes();
    RunStressSet(300);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
