#include "reader/sampling.h"

#include <cstring>

#include "qrcore/qr_standard.h"
#include "reader/alignment.h"
#include "reader/decode_stages.h"
#include "reader/locate_scratch.h"

namespace qrread {

namespace {

constexpr int kGridSearchRadius = 2;

// Pixel test of the module `du`, `dv` modules away from the finder's centre.
int ModuleNear(const FinderRole& f, int du, int dv, const ProjMap& hom, const BinaryImage& im) {
  int32_t p[2];
  ProjMapProject(hom, f.o[0] + du * f.size[0], f.o[1] + dv * f.size[1], p);
  return PixelDark(im, p[0], p[1]);
}

}  // namespace

int ReadFormatInfo(const FinderRole& ul, const FinderRole& ur, const FinderRole& dl,
                   const ProjMap& hom, const BinaryImage& im, bool transposed) {
  // du, dv: column and row offsets in the code's own orientation.
  auto near = [&](const FinderRole& f, int du, int dv) {
    return uint32_t(transposed ? ModuleNear(f, dv, du, hom, im) : ModuleNear(f, du, dv, hom, im));
  };
  // Offsets from the finder centres at modules (3, 3), (N - 4, 3), (3, N - 4).
  uint32_t copy1 = 0, copy2 = 0;
  int bit = 0;
  for (int v = 0; v <= 8; v++) {
    if (v == 6) continue;  // timing row
    copy1 |= near(ul, 8 - 3, v - 3) << bit++;
  }
  for (int u = 7; u >= 0; u--) {
    if (u == 6) continue;  // timing column
    copy1 |= near(ul, u - 3, 8 - 3) << bit++;
  }
  for (int k = 0; k < 8; k++) copy2 |= near(ur, 3 - k, 5) << k;
  for (int k = 0; k < 7; k++) copy2 |= near(dl, 5, k - 3) << (8 + k);
  return DecodeFormatInfo(copy1, copy2);
}

void TransposeSamples(int n, uint32_t* samples, uint32_t* spare) {
  const int stride = GridStride(n);
  std::memset(spare, 0, sizeof(uint32_t) * stride * n);
  for (int r = 0; r < n; r++) {
    for (int c = 0; c < n; c++) {
      if ((samples[c * stride + (r >> 5)] >> (r & 31)) & 1) {
        spare[r * stride + (c >> 5)] |= uint32_t(1) << (c & 31);
      }
    }
  }
  std::memcpy(samples, spare, sizeof(uint32_t) * stride * n);
}

uint32_t SampleVersionInfo(const FinderRole& f, const ProjMap& hom, const BinaryImage& im,
                           int side) {
  uint32_t bits = 0;
  for (int a = 0; a < 6; a++) {      // along the finder's side
    for (int b = 0; b < 3; b++) {    // across, away from the finder
      int dark = side == 0 ? ModuleNear(f, b - 7, a - 3, hom, im)
                           : ModuleNear(f, a - 3, b - 7, hom, im);
      bits |= uint32_t(dark) << (3 * a + b);
    }
  }
  return bits;
}

int ReadVersionInfo(const FinderRole& f, const ProjMap& hom, const BinaryImage& im, int side) {
  return DecodeVersionInfo(SampleVersionInfo(f, hom, im, side));
}

namespace {

struct Grid {
  int n;                        // side in modules
  int count;                    // grid points per axis (alignment coordinates)
  int32_t coord[kMaxAlignCoords];
  int32_t (*img)[2];            // image position of grid point (i, j) at i * count + j
};

// Module position (quarter modules) of grid point (i, j): the alignment
// coordinates, except the three finder corners, which sit at the finder centres.
void GridModule(const Grid& g, int i, int j, int32_t out[2]) {
  int last = g.count - 1;
  int32_t mu = g.coord[j], mv = g.coord[i];
  if (i == 0 && j == 0) mu = mv = 3;
  if (i == 0 && j == last) { mu = g.n - 4; mv = 3; }
  if (i == last && j == 0) { mu = 3; mv = g.n - 4; }
  out[0] = ModuleCentre(mu);
  out[1] = ModuleCentre(mv);
}

// Predicts grid point (i, j) from its three settled neighbours (an affine cell
// of the neighbourhood), or from the base map on the first row and column.
int PredictionMap(const Grid& g, int i, int j, const ProjMap& base, ProjMap* map) {
  // With only the three finders settled (versions 2-6) their parallelogram
  // misses the one pattern by modules under perspective; the outline does not.
  if (i == 0 || j == 0 || g.count == 2) {
    *map = base;
    return 0;
  }
  int32_t src[4][2], dst[4][2];
  const int idx[3][2] = {{i - 1, j - 1}, {i - 1, j}, {i, j - 1}};
  for (int k = 0; k < 3; k++) {
    GridModule(g, idx[k][0], idx[k][1], src[k]);
    const int32_t* p = g.img[idx[k][0] * g.count + idx[k][1]];
    dst[k][0] = p[0];
    dst[k][1] = p[1];
  }
  for (int c = 0; c < 2; c++) {
    src[3][c] = src[1][c] + src[2][c] - src[0][c];
    dst[3][c] = dst[1][c] + dst[2][c] - dst[0][c];
  }
  return ProjMapFromQuads(map, src, dst);
}

int SettleGrid(Grid* g, const int32_t finders[3][2], const ProjMap& base, const BinaryImage& im,
               int64_t* probes) {
  int last = g->count - 1;
  for (int s = 0; s <= 2 * last; s++) {
    for (int i = 0; i <= last; i++) {
      int j = s - i;
      if (j < 0 || j > last) continue;
      int32_t* p = g->img[i * g->count + j];
      if (i == 0 && j == 0) { p[0] = finders[0][0]; p[1] = finders[0][1]; continue; }
      if (i == 0 && j == last) { p[0] = finders[1][0]; p[1] = finders[1][1]; continue; }
      if (i == last && j == 0) { p[0] = finders[2][0]; p[1] = finders[2][1]; continue; }
      ProjMap map;
      if (PredictionMap(*g, i, j, base, &map) < 0) map = base;
      if (FindAlignment(map, g->coord[j], g->coord[i], kGridSearchRadius, im, p, probes) < 0) {
        ProjMapProject(map, ModuleCentre(g->coord[j]), ModuleCentre(g->coord[i]), p);
      }
    }
  }
  return 0;
}

int BuildCellMaps(const Grid& g, ProjMap* maps) {
  int regions = g.count - 1;
  for (int ri = 0; ri < regions; ri++) {
    for (int rj = 0; rj < regions; rj++) {
      int32_t src[4][2], dst[4][2];
      const int idx[4][2] = {{ri, rj}, {ri, rj + 1}, {ri + 1, rj}, {ri + 1, rj + 1}};
      for (int k = 0; k < 4; k++) {
        GridModule(g, idx[k][0], idx[k][1], src[k]);
        const int32_t* p = g.img[idx[k][0] * g.count + idx[k][1]];
        dst[k][0] = p[0];
        dst[k][1] = p[1];
      }
      if (ProjMapFromQuads(&maps[ri * regions + rj], src, dst) < 0) return -1;
    }
  }
  return 0;
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

int BuildSamplingGrid(int version, const int32_t finders[3][2], const int32_t corners[4][2],
                      const BinaryImage& im, LocateScratch* scratch, int32_t outline[4][2],
                      SamplingGrid* out) {
  Grid g;
  g.n = qrstd::SymbolSize(version);
  const uint8_t* align = qrstd::kAlignmentPositions[version - 1];
  int32_t first = ModuleCentre(0), lastCentre = ModuleCentre(g.n - 1);
  const int32_t baseSrc[4][2] = {
      {first, first}, {lastCentre, first}, {first, lastCentre}, {lastCentre, lastCentre}};
  ProjMap* maps = scratch->cellMaps;
  if (ProjMapFromQuads(&maps[0], baseSrc, corners) < 0) return -1;

  // Region boundaries per axis: 0, the inner alignment coordinates, N.
  int regions = 1;
  int32_t bounds[kMaxAlignCoords + 1] = {0, g.n};
  if (align[0] >= 2) {
    g.count = align[0];
    for (int k = 0; k < g.count; k++) g.coord[k] = align[1 + k];
    g.img = scratch->gridPoints;
    ProjMap base = maps[0];
    SettleGrid(&g, finders, base, im, &scratch->probes);
    if (BuildCellMaps(g, maps) < 0) return -1;
    regions = g.count - 1;
    for (int k = 1; k < regions; k++) bounds[k] = g.coord[k];
    bounds[regions] = g.n;
  }
  out->n = g.n;
  out->regions = regions;
  out->maps = maps;
  for (int m = 0, r = 0; m < g.n; m++) {
    while (m >= bounds[r + 1]) r++;
    out->regionOf[m] = static_cast<uint8_t>(r);
  }

  const int32_t edge[2] = {0, 4 * g.n};  // outer module boundaries, quarter modules
  for (int k = 0; k < 4; k++) {
    int cu = k & 1, cv = k >> 1;
    const ProjMap& map = maps[(cv ? regions - 1 : 0) * regions + (cu ? regions - 1 : 0)];
    int32_t p[2];
    ProjMapProject(map, edge[cu], edge[cv], p);
    outline[k][0] = Clamp(p[0], -4 * im.width, 8 * im.width);
    outline[k][1] = Clamp(p[1], -4 * im.height, 8 * im.height);
  }
  return 0;
}

namespace {

// Bilinear grey value at a quarter-pixel position (pixel x spans 4x .. 4x + 3).
int GreyAt(const uint8_t* grey, int32_t width, int32_t height, const int32_t p[2]) {
  const int32_t fx = p[0] - 2, fy = p[1] - 2;
  const int32_t wx = fx & 3, wy = fy & 3;
  auto cx = [&](int32_t x) { return x < 0 ? 0 : (x >= width ? width - 1 : x); };
  auto cy = [&](int32_t y) { return y < 0 ? 0 : (y >= height ? height - 1 : y); };
  const int32_t x0 = cx(fx >> 2), x1 = cx((fx >> 2) + 1);
  const int64_t r0 = int64_t(cy(fy >> 2)) * width, r1 = int64_t(cy((fy >> 2) + 1)) * width;
  const int sum = (4 - wx) * (4 - wy) * grey[r0 + x0] + wx * (4 - wy) * grey[r0 + x1] +
                  (4 - wx) * wy * grey[r1 + x0] + wx * wy * grey[r1 + x1];
  return (sum + 8) >> 4;
}

}  // namespace

int SampleCode(int version, const int32_t finders[3][2], const int32_t corners[4][2],
               const BinaryImage& im, LocateScratch* scratch, int32_t outline[4][2]) {
  SamplingGrid grid;
  if (BuildSamplingGrid(version, finders, corners, im, scratch, outline, &grid) < 0) return -1;
  const int n = grid.n;
  int stride = GridStride(n);
  uint32_t* mask = scratch->functionMask;
  uint32_t* samples = scratch->samples;
  BuildFunctionMask(version, mask);
  scratch->probes += int64_t(n) * n;
  int32_t row[kMaxGridRows + 2][2];
  for (int v = 0; v < n; v++) {
    grid.ProjectRow(0, n, v, row);
    // A word of 32 modules at a time, without a branch on the (random)
    // module values.
    for (int u0 = 0; u0 < n; u0 += 32) {
      const int u1 = u0 + 32 < n ? u0 + 32 : n;
      uint32_t bits = 0;
      for (int u = u0; u < u1; u++) {
        bits |= uint32_t(PixelDark(im, row[u][0], row[u][1])) << (u & 31);
      }
      samples[v * stride + (u0 >> 5)] = bits & ~mask[v * stride + (u0 >> 5)];
    }
  }
  return 0;
}

void SampleGreyGrid(const SamplingGrid& grid, const BinaryImage& im, const uint8_t* grey,
                    uint8_t invert, LocateScratch* scratch, uint8_t* greys, int du, int dv) {
  const int side = grid.n + 2;
  scratch->probes += int64_t(side) * side;
  int32_t row[kMaxGridRows + 2][2];
  for (int v = -1; v <= grid.n; v++) {
    grid.ProjectRow(-1, grid.n + 1, v, row, du, dv);
    for (int u = -1; u <= grid.n; u++) {
      greys[(v + 1) * side + u + 1] =
          static_cast<uint8_t>(GreyAt(grey, im.width, im.height, row[u + 1]) ^ invert);
    }
  }
}

void ThresholdGreyModules(int n, const uint8_t* greys, int sharpen, uint32_t* samples) {
  const int side = n + 2;
  // Blur pulls a module towards its neighbours: push it back by `sharpen`
  // halves of its difference from their mean (values in eighths).
  auto value = [&](int u, int v) {
    const uint8_t* c = greys + (v + 1) * side + u + 1;
    const int sum8 = c[-side - 1] + c[-side] + c[-side + 1] + c[-1] + c[1] + c[side - 1] +
                     c[side] + c[side + 1];
    return 8 * c[0] + sharpen * (8 * c[0] - sum8) / 2;
  };
  // Two means over the code's own modules.
  int64_t total = 0;
  for (int v = 0; v < n; v++) {
    for (int u = 0; u < n; u++) total += value(u, v);
  }
  int64_t t = total / (int64_t(n) * n);
  for (int round = 0; round < 8; round++) {
    int64_t lo = 0, hi = 0, nlo = 0, nhi = 0;
    for (int v = 0; v < n; v++) {
      for (int u = 0; u < n; u++) {
        const int x = value(u, v);
        if (x < t) {
          lo += x;
          nlo++;
        } else {
          hi += x;
          nhi++;
        }
      }
    }
    if (nlo == 0 || nhi == 0) break;
    const int64_t next = (lo / nlo + hi / nhi + 1) / 2;
    if (next == t) break;
    t = next;
  }
  const int stride = GridStride(n);
  std::memset(samples, 0, sizeof(uint32_t) * stride * n);
  for (int v = 0; v < n; v++) {
    for (int u = 0; u < n; u++) {
      if (value(u, v) < t) samples[v * stride + (u >> 5)] |= uint32_t(1) << (u & 31);
    }
  }
}

}  // namespace qrread
