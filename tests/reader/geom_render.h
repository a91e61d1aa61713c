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
#include "reader/qr_reader.h"

namespace geomtest {

struct Grey {
  int width = 0;
  int height = 0;
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

// A module matrix: side n, dark[r * n + c].
struct Modules {
  int n = 0;
  int version = 0;
  int level = 0;  // 0 L .. 3 H
  std::vector<uint8_t> dark;
  bool at(int r, int c) const { return dark[size_t(r) * n + c] != 0; }
};

// Encodes `text` with our encoder at `version` (0 = automatic) and level
// 0..3. Returns n = 0 on failure.
inline Modules Encode(const std::string& text, int version, int level) {
  Modules m;
  QrSymbol* s = qr_create_symbol();
  if (s == nullptr) return m;
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
  double perspective = 0.0;   // keystone: corner displacement as a fraction of the side
  int quiet = 4;              // quiet zone, modules
  int margin = 2;             // extra background, pixels
  uint8_t darkLevel = 0;
  uint8_t lightLevel = 255;
  double noise = 0.0;         // amplitude of uniform noise, grey levels
  uint32_t seed = 1;
  int width = 0, height = 0;  // canvas; 0 = fit the code
  double offsetX = 0, offsetY = 0;  // code centre offset from the canvas centre
  int blur = 0;               // box blur radius, pixels (out of focus, shaken)
};

// Homography from the unit square (corners (0,0),(1,0),(0,1),(1,1)) to a quad.
struct Homog {
  double m[9];
  void Map(double u, double v, double* x, double* y) const {
    double w = m[6] * u + m[7] * v + m[8];
    *x = (m[0] * u + m[1] * v + m[2]) / w;
    *y = (m[3] * u + m[4] * v + m[5]) / w;
  }
};

inline Homog SquareToQuad(const double q[4][2]) {
  double x0 = q[0][0], y0 = q[0][1], x1 = q[1][0], y1 = q[1][1];
  double x2 = q[2][0], y2 = q[2][1], x3 = q[3][0], y3 = q[3][1];
  double dx1 = x1 - x3, dx2 = x2 - x3, sx = x0 - x1 - x2 + x3;
  double dy1 = y1 - y3, dy2 = y2 - y3, sy = y0 - y1 - y2 + y3;
  double d = dx1 * dy2 - dx2 * dy1;
  double g = (sx * dy2 - dx2 * sy) / d, h = (dx1 * sy - sx * dy1) / d;
  return Homog{{x1 - x0 + g * x1, x2 - x0 + h * x2, x0, y1 - y0 + g * y1, y2 - y0 + h * y2, y0,
                g, h, 1.0}};
}

inline Homog Invert(const Homog& a) {
  const double* m = a.m;
  Homog r;
  r.m[0] = m[4] * m[8] - m[5] * m[7];
  r.m[1] = m[2] * m[7] - m[1] * m[8];
  r.m[2] = m[1] * m[5] - m[2] * m[4];
  r.m[3] = m[5] * m[6] - m[3] * m[8];
  r.m[4] = m[0] * m[8] - m[2] * m[6];
  r.m[5] = m[2] * m[3] - m[0] * m[5];
  r.m[6] = m[3] * m[7] - m[4] * m[6];
  r.m[7] = m[1] * m[6] - m[0] * m[7];
  r.m[8] = m[0] * m[4] - m[1] * m[3];
  return r;
}

// The image quad of the code's outer square (module edges 0 and n).
inline void CodeQuad(const Modules& m, const RenderOptions& o, double cx, double cy,
                     double q[4][2]) {
  const double half = m.n * o.modulePx / 2;
  const double a = o.angleDeg * M_PI / 180.0;
  const double base[4][2] = {{-half, -half}, {half, -half}, {-half, half}, {half, half}};
  // Perspective: the lower edge narrower than the upper one, a little skewed.
  const double p = o.perspective * 2 * half;
  const double warp[4][2] = {{-p * 0.5, 0}, {p * 0.5, p * 0.3}, {p * 0.5, -p * 0.2}, {-p * 0.5, p * 0.4}};
  for (int k = 0; k < 4; k++) {
    double x = base[k][0] + warp[k][0], y = base[k][1] + warp[k][1];
    q[k][0] = cx + x * std::cos(a) - y * std::sin(a);
    q[k][1] = cy + x * std::sin(a) + y * std::cos(a);
  }
}

// Renders with 3 x 3 supersampling per pixel.
inline Grey Render(const Modules& m, const RenderOptions& o) {
  Grey g;
  double extent = (m.n + 2 * o.quiet) * o.modulePx * (1.0 + 2 * o.perspective) *
                  (std::fabs(std::sin(2 * o.angleDeg * M_PI / 180.0)) * 0.42 + 1.0);
  g.width = o.width > 0 ? o.width : int(std::ceil(extent)) + 2 * o.margin;
  g.height = o.height > 0 ? o.height : g.width;
  g.px.assign(size_t(g.width) * g.height, o.lightLevel);
  double q[4][2];
  CodeQuad(m, o, g.width / 2.0 + o.offsetX, g.height / 2.0 + o.offsetY, q);
  Homog inv = Invert(SquareToQuad(q));
  std::mt19937 rng(o.seed);
  std::uniform_real_distribution<double> noise(-o.noise, o.noise);
  for (int y = 0; y < g.height; y++) {
    for (int x = 0; x < g.width; x++) {
      int dark = 0;
      for (int sy = 0; sy < 3; sy++) {
        for (int sx = 0; sx < 3; sx++) {
          double u, v;
          inv.Map(x + (sx + 0.5) / 3, y + (sy + 0.5) / 3, &u, &v);
          int c = int(std::floor(u * m.n)), r = int(std::floor(v * m.n));
          if (r >= 0 && c >= 0 && r < m.n && c < m.n && m.at(r, c)) dark++;
        }
      }
      double level = o.lightLevel + (double(o.darkLevel) - o.lightLevel) * dark / 9.0;
      if (o.noise > 0) level += noise(rng);
      g.at(x, y) = uint8_t(std::lround(std::fmin(255.0, std::fmax(0.0, level))));
    }
  }
  if (o.blur > 0) {
    const Grey sharp = g;
    for (int y = 0; y < g.height; y++) {
      for (int x = 0; x < g.width; x++) {
        int sum = 0, count = 0;
        for (int b = std::max(0, y - o.blur); b <= std::min(g.height - 1, y + o.blur); b++) {
          for (int a = std::max(0, x - o.blur); a <= std::min(g.width - 1, x + o.blur); a++) {
            sum += sharp.px[size_t(b) * g.width + a];
            count++;
          }
        }
        g.at(x, y) = uint8_t(sum / count);
      }
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
  size_t k = std::strlen(alphabet);
  std::string s;
  for (size_t i = 0; i < len; i++) s += alphabet[rng() % k];
  return s;
}

}  // namespace geomtest
