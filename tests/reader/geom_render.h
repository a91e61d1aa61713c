// Test-only rendering of encoded symbols into grey images, with rotation,
// perspective, contrast and noise, for the locating half's tests. Floating
// point is fine here: only the reader itself is integer-only.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "reader/arena.h"
#include "reader/edge_scanner.h"
#include "reader/qr_reader.h"
#include "reader/reader_entry.h"

namespace geomtest {

struct Grey {
  int width = 0, height = 0;
  std::vector<uint8_t> px;
  Grey() = default;
  Grey(int w, int h, uint8_t fill = 230) : width(w), height(h), px(size_t(w) * h, fill) {}
  uint8_t& at(int x, int y) { return px[size_t(y) * width + x]; }
  void Fill(int x0, int y0, int w, int h, uint8_t v) {
    for (int y = std::max(y0, 0); y < std::min(y0 + h, height); ++y)
      for (int x = std::max(x0, 0); x < std::min(x0 + w, width); ++x) at(x, y) = v;
  }
  // A 7 x 7 module finder pattern with its upper-left corner at (x, y).
  void Finder(int x, int y, int module, uint8_t dark = 20, uint8_t light = 230) {
    Fill(x, y, 7 * module, 7 * module, dark);
    Fill(x + module, y + module, 5 * module, 5 * module, light);
    Fill(x + 2 * module, y + 2 * module, 3 * module, 3 * module, dark);
  }
};

// An arena holding the scan of `g`'s finder lines; closed with the object.
struct ScanTestPicture {
  qrread::ReaderArena* arena = qrread::ArenaOpen();
  explicit ScanTestPicture(const Grey& g) {
    arena->image = qrread::ReaderImage{qrread::kFormatY800, g.width, g.height, {}, g.px.data(), nullptr};
    qrread::ScanImage(arena);
  }
  ~ScanTestPicture() { qrread::ArenaClose(arena); }
};

// The finder lines of a plain scan: every pixel through EdgeScannerPixel, rows
// then columns, odd lines backwards as the reader scans them. Test pictures
// stay under the reader's list capacities, so nothing is dropped.
constexpr int32_t kPlainCapacity = 8192;

struct PlainScan {
  std::vector<qrread::FinderLine> lines[2] = {std::vector<qrread::FinderLine>(kPlainCapacity), std::vector<qrread::FinderLine>(kPlainCapacity)};
  qrread::ScanSink sink{};

  explicit PlainScan(const Grey& g) {
    sink.lines[0] = lines[0].data();
    sink.lines[1] = lines[1].data();
    sink.capacity = kPlainCapacity;
    qrread::EdgeScanner scanner;
    qrread::EdgeScannerInit(&scanner, &sink);
    qrread::EdgeScannerNewLine(&scanner);
    for (int vertical = 0; vertical < 2; ++vertical) {
      const int nlines = vertical ? g.width : g.height, length = vertical ? g.height : g.width;
      sink.vertical = vertical;
      for (int i = 0; i < nlines; ++i) {
        const bool backward = (i & 1) != 0;
        sink.lineIndex = i;
        sink.lineStart = backward ? length : 0;
        sink.direction = backward ? -1 : 1;
        for (int k = 0; k < length; ++k) {
          const int m = backward ? length - 1 - k : k;
          qrread::EdgeScannerPixel(&scanner, g.px[vertical ? size_t(m) * g.width + i : size_t(i) * g.width + m]);
        }
        qrread::EdgeScannerFlush(&scanner);
        qrread::EdgeScannerFlush(&scanner);
        qrread::EdgeScannerNewLine(&scanner);
      }
    }
  }
};

// A module matrix: side n, dark[r * n + c].
struct Modules {
  int n = 0, version = 0, level = 0;  // level 0 L .. 3 H
  std::vector<uint8_t> dark;
  bool at(int r, int c) const { return dark[size_t(r) * n + c] != 0; }
};

// Encodes `text` with our encoder at `version` (0 = automatic) and level
// 0..3. Returns n = 0 on failure.
inline Modules Encode(const std::string& text, int version, int level) {
  Modules m;
  QrSymbol* s = qr_create_symbol();
  s->symbology = QR_SYMBOLOGY_QRCODE;
  s->ecLevel = level + 1;
  s->version = version;
  s->inputMode = DATA_MODE;
  if (qr_encode(s, reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size())) == QR_OK) {
    m.n = s->rows;
    m.version = s->version;
    m.level = s->ecLevel - 1;
    m.dark.resize(size_t(m.n) * m.n);
    for (int r = 0; r < m.n; r++)
      for (int c = 0; c < m.n; c++) m.dark[size_t(r) * m.n + c] = uint8_t(qr_module_is_set(s, r, c));
  }
  qr_delete_symbol(s);
  return m;
}

// Draws `text` at (x, y) with `module` pixels per module, dark 20 on light
// 230; returns the side in modules, 0 when it could not be encoded.
inline int DrawCode(Grey* g, const std::string& text, int x, int y, int module, int version = 0,
                    int level = 1) {
  Modules m = Encode(text, version, level);
  for (int r = 0; r < m.n; r++)
    for (int c = 0; c < m.n; c++)
      g->Fill(x + c * module, y + r * module, module, module, m.at(r, c) ? 20 : 230);
  return m.n;
}

struct RenderOptions {
  double modulePx = 4.0;      // pixels per module
  double angleDeg = 0.0;      // rotation about the code's centre
  double perspective = 0.0;   // keystone: how much wider the lower right is than the upper left
  int quiet = 4;              // quiet zone, modules
  int margin = 2;             // extra background, pixels
  uint8_t darkLevel = 0;
  uint8_t lightLevel = 255;
  double noise = 0.0;         // amplitude of uniform noise, grey levels
  uint32_t seed = 1;
  int width = 0, height = 0;  // canvas; 0 = fit the code
  double offsetX = 0, offsetY = 0;  // code centre offset from the canvas centre
};

// Renders with 3 x 3 supersampling per pixel. Each sample goes back onto the
// module grid: turned about the code's centre, then divided by a weight
// linear in position, which makes the map projective.
inline Grey Render(const Modules& m, const RenderOptions& o) {
  Grey g;
  const double a = o.angleDeg * M_PI / 180.0, half = m.n * o.modulePx / 2;
  double extent = (m.n + 2 * o.quiet) * o.modulePx * (1.0 + 2 * o.perspective) *
                  (std::fabs(std::sin(2 * a)) * 0.42 + 1.0);
  g.width = o.width > 0 ? o.width : int(std::ceil(extent)) + 2 * o.margin;
  g.height = o.height > 0 ? o.height : g.width;
  g.px.assign(size_t(g.width) * g.height, o.lightLevel);
  const double cx = g.width / 2.0 + o.offsetX, cy = g.height / 2.0 + o.offsetY;
  std::mt19937 rng(o.seed);
  std::uniform_real_distribution<double> noise(-o.noise, o.noise);
  for (int y = 0; y < g.height; y++) {
    for (int x = 0; x < g.width; x++) {
      int dark = 0;
      for (int k = 0; k < 9; k++) {
        const double dx = x + (k % 3 + 0.5) / 3 - cx, dy = y + (k / 3 + 0.5) / 3 - cy;
        const double u = dx * std::cos(a) + dy * std::sin(a), v = dy * std::cos(a) - dx * std::sin(a);
        const double w = 1 + o.perspective * (0.5 * u + v) / half;
        const int c = int(std::floor((u / w + half) / o.modulePx)), r = int(std::floor((v / w + half) / o.modulePx));
        dark += r >= 0 && c >= 0 && r < m.n && c < m.n && m.at(r, c);
      }
      double level = o.lightLevel + (double(o.darkLevel) - o.lightLevel) * dark / 9.0;
      if (o.noise > 0) level += noise(rng);
      g.at(x, y) = uint8_t(std::lround(std::fmin(255.0, std::fmax(0.0, level))));
    }
  }
  return g;
}

// Runs the reader; returns the decoded texts with their versions and levels.
struct ReadResult {
  int count = 0;
  std::vector<std::string> texts;
  std::vector<int> versions, levels;
};

inline ReadResult Read(const Grey& g, int maxResults = 8) {
  ReadResult r;
  std::vector<DecodeResult> res(size_t(std::max(maxResults, 1)));
  r.count = qr_read_symbols(g.px.data(), g.width, g.height, res.data(), maxResults);
  for (int i = 0; i < r.count; i++) {
    r.texts.emplace_back(reinterpret_cast<const char*>(res[i].data), res[i].length);
    r.versions.push_back(res[i].version);
    r.levels.push_back(res[i].ecLevel);
  }
  return r;
}

// Deterministic text of `len` bytes drawn from `alphabet`.
inline std::string Text(size_t len, uint32_t seed, const char* alphabet) {
  std::mt19937 rng(seed);
  std::string s(len, ' ');
  for (char& c : s) c = alphabet[rng() % std::strlen(alphabet)];
  return s;
}

}  // namespace geomtest
