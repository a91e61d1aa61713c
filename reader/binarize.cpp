#include "reader/binarize.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include "reader/vector_units.h"

#if defined(QRREAD_AVX2)
#include <immintrin.h>
#endif

namespace qrread {

int BinarizeWindowLog2(int extent) {
  const int need = (extent + 7) >> 3;
  for (int a = 4; a <= 8; ++a) {
    if ((1 << a) >= need) return a;
  }
  return 8;
}

namespace {

inline int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

constexpr int kMaxBinarizeWidth = 1280;
constexpr int kMaxBinarizeHalf = 128;  // half of the widest window

// Column sums over rows y - half .. y + half - 1, rows outside the image
// replaced by the nearest row.
void InitColumnSums(const uint8_t* grey, int width, int height, int y, int half, uint32_t* sums) {
  for (int x = 0; x < width; ++x) sums[x] = 0;
  for (int r = y - half; r < y + half; ++r) {
    const uint8_t* row = grey + static_cast<size_t>(Clamp(r, 0, height - 1)) * width;
    for (int x = 0; x < width; ++x) sums[x] += row[x];
  }
}

// 255 (dark) when grey + 3, scaled by the window's area, lies below the
// window sum.
inline uint8_t DarkPixel(uint32_t grey, uint32_t window, int shift) {
  return ((grey + 3u) << shift) < window ? 255 : 0;
}

// The window sum carried along the row (for rows wider than the prefix
// buffer, which the reader never passes).
void BinarizeRowCarried(const uint8_t* grey, uint8_t* out, int width, const uint32_t* sums,
                        int logA, int shift) {
  const int half = 1 << (logA - 1);
  uint32_t m = sums[0] * static_cast<uint32_t>(half);
  for (int c = 0; c < half; ++c) m += sums[Clamp(c, 0, width - 1)];
  const int last = width - 1;
  for (int x = 0; x < width; ++x) {
    out[x] = DarkPixel(grey[x], m, shift);
    m += sums[x + half < last ? x + half : last];
    m -= sums[x - half > 0 ? x - half : 0];
  }
}

// dst[i] = total + src[0] + .. + src[i] for i < n; returns the last one
// (total when n is 0). Four lanes at a time, as the serial sum would be the
// slowest step of the binarisation.
uint32_t RunningSums(const uint32_t* src, int n, uint32_t total, uint32_t* dst) {
  int i = 0;
#if defined(__SSE2__)
  __m128i carry = _mm_set1_epi32(static_cast<int>(total));
  for (; i + 4 <= n; i += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
    v = _mm_add_epi32(v, _mm_slli_si128(v, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_add_epi32(v, carry));
    // The carry chain is one addition per four sums.
    carry = _mm_add_epi32(carry, _mm_shuffle_epi32(v, 0xFF));
  }
  total = static_cast<uint32_t>(_mm_cvtsi128_si32(carry));
#endif
  for (; i < n; ++i) dst[i] = total += src[i];
  return total;
}

// The prefix sums of a row's column sums with `half` copies of the end
// columns either side, into prefix[0 .. width + 2 half]; `running` makes the
// middle part. The window sum at x is then ahead[x] - prefix[x], ahead =
// prefix + 2 half: a difference free of any carried state, so the
// comparison vectorises.
using RunningSumsFn = uint32_t (*)(const uint32_t* src, int n, uint32_t total, uint32_t* dst);

void WindowPrefix(const uint32_t* sums, int width, int half, RunningSumsFn running,
                  uint32_t* prefix) {
  uint32_t* p = prefix;
  *p++ = 0;
  // The end runs repeat one column: their running sums are multiples.
  for (int i = 0; i < half; ++i) p[i] = static_cast<uint32_t>(i + 1) * sums[0];
  p += half;
  const uint32_t total = running(sums, width, p[-1], p);
  p += width;
  for (int i = 0; i < half; ++i) p[i] = total + static_cast<uint32_t>(i + 1) * sums[width - 1];
}

constexpr int kPrefixSize = kMaxBinarizeWidth + 2 * kMaxBinarizeHalf + 8;

void BinarizeRow(const uint8_t* grey, uint8_t* out, int width, const uint32_t* sums,
                 int logA, int shift) {
  const int half = 1 << (logA - 1);
  if (width > kMaxBinarizeWidth || half > kMaxBinarizeHalf) {
    BinarizeRowCarried(grey, out, width, sums, logA, shift);
    return;
  }
  uint32_t prefix[kPrefixSize];
  WindowPrefix(sums, width, half, RunningSums, prefix);
  const uint32_t* ahead = prefix + 2 * half;
  for (int x = 0; x < width; ++x) out[x] = DarkPixel(grey[x], ahead[x] - prefix[x], shift);
}

}  // namespace

#if defined(QRREAD_AVX2)

namespace {

// 0xFFFFFFFF where pixel x .. x + 7 is dark: (g + 3) << shift below the window
// sum. Both sides stay below 2^31, so the signed comparison is exact.
QRREAD_AVX2_INLINE __m256i DarkMask8(const uint8_t* grey, const uint32_t* prefix,
                                     const uint32_t* ahead, int x, __m128i shift) {
  const __m256i g = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(grey + x)));
  const __m256i window =
      _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ahead + x)),
                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prefix + x)));
  return _mm256_cmpgt_epi32(window,
                            _mm256_sll_epi32(_mm256_add_epi32(g, _mm256_set1_epi32(3)), shift));
}

QRREAD_AVX2_INLINE void SlideSums8(uint32_t* sums, const uint8_t* add, const uint8_t* remove) {
  const __m256i a = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(add)));
  const __m256i r = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(remove)));
  __m256i* s = reinterpret_cast<__m256i*>(sums);
  _mm256_storeu_si256(s, _mm256_add_epi32(_mm256_loadu_si256(s), _mm256_sub_epi32(a, r)));
}

// The row of BinarizeRow and the column sums' slide to the next row, eight
// columns at a time (same results).
// RunningSums eight lanes at a time.
__attribute__((target("avx2"))) uint32_t RunningSumsAvx2(const uint32_t* src, int n, uint32_t total,
                                                         uint32_t* dst) {
  int i = 0;
  __m256i carry = _mm256_set1_epi32(static_cast<int>(total));
  const __m256i last = _mm256_set1_epi32(7);
  for (; i + 8 <= n; i += 8) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    v = _mm256_add_epi32(v, _mm256_slli_si256(v, 4));
    v = _mm256_add_epi32(v, _mm256_slli_si256(v, 8));
    // The upper four take the lower four's total.
    const __m256i low = _mm256_shuffle_epi32(v, 0xFF);
    v = _mm256_add_epi32(v, _mm256_permute2x128_si256(low, low, 0x08));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_add_epi32(v, carry));
    carry = _mm256_add_epi32(carry, _mm256_permutevar8x32_epi32(v, last));
  }
  total = static_cast<uint32_t>(_mm256_cvtsi256_si32(carry));
  for (; i < n; ++i) dst[i] = total += src[i];
  return total;
}

// The row of BinarizeRow and the column sums' slide to the next row, eight
// columns at a time (same results).
__attribute__((target("avx2"))) void BinarizeRowAvx2(const uint8_t* grey, uint8_t* out, int width,
                                                     uint32_t* sums, int logA, int shift,
                                                     const uint8_t* add, const uint8_t* remove) {
  const int half = 1 << (logA - 1);
  alignas(32) uint32_t prefix[kPrefixSize];
  WindowPrefix(sums, width, half, RunningSumsAvx2, prefix);
  const uint32_t* ahead = prefix + 2 * half;
  const __m128i count = _mm_cvtsi32_si128(shift);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m256i m01 = _mm256_packs_epi32(DarkMask8(grey, prefix, ahead, x, count),
                                           DarkMask8(grey, prefix, ahead, x + 8, count));
    const __m256i m23 = _mm256_packs_epi32(DarkMask8(grey, prefix, ahead, x + 16, count),
                                           DarkMask8(grey, prefix, ahead, x + 24, count));
    // The packs work within 128-bit halves: put the quarters back in order.
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packs_epi16(m01, m23), order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), bytes);
    for (int k = 0; k < 32; k += 8) SlideSums8(sums + x + k, add + x + k, remove + x + k);
  }
  for (; x < width; ++x) {
    out[x] = DarkPixel(grey[x], ahead[x] - prefix[x], shift);
    sums[x] += static_cast<uint32_t>(add[x]) - remove[x];
  }
}

}  // namespace

#endif

namespace {

// Rows y0 .. y1 - 1 of Binarize, the column sums holding row y0's window;
// they are left holding row y1's.
void BinarizeRows(const uint8_t* grey, int width, int height, uint8_t* binary,
                  uint32_t* columnSums, int y0, int y1) {
  const int logA = BinarizeWindowLog2(width);
  const int logB = BinarizeWindowLog2(height);
  const int halfB = 1 << (logB - 1);
  const size_t stride = static_cast<size_t>(width);
#if defined(QRREAD_AVX2)
  const bool avx2 = width <= kMaxBinarizeWidth && (1 << (logA - 1)) <= kMaxBinarizeHalf && UseAvx2();
#endif
  for (int y = y0; y < y1; ++y) {
    // The rows leaving and entering the window for the next row.
    const uint8_t* remove = grey + static_cast<size_t>(y - halfB > 0 ? y - halfB : 0) * stride;
    const uint8_t* add =
        grey + static_cast<size_t>(y + halfB < height - 1 ? y + halfB : height - 1) * stride;
#if defined(QRREAD_AVX2)
    if (avx2) {
      BinarizeRowAvx2(grey + y * stride, binary + y * stride, width, columnSums, logA, logA + logB,
                      add, remove);
      continue;
    }
#endif
    BinarizeRow(grey + y * stride, binary + y * stride, width, columnSums, logA, logA + logB);
    for (int x = 0; x < width; ++x) columnSums[x] += static_cast<uint32_t>(add[x]) - remove[x];
  }
}

// Flips rows y0 .. y1 - 1 of a binarised image.
void InvertRows(uint8_t* binary, int width, int y0, int y1) {
  uint8_t* p = binary + static_cast<size_t>(y0) * width;
  for (size_t i = 0, n = static_cast<size_t>(y1 - y0) * width; i < n; ++i) p[i] ^= 0xFF;
}

}  // namespace

void Binarize(const uint8_t* grey, int width, int height, uint8_t* binary,
              uint32_t* columnSums) {
  if (width < 1 || height < 1) return;
  InitColumnSums(grey, width, height, 0, 1 << (BinarizeWindowLog2(height) - 1), columnSums);
  BinarizeRows(grey, width, height, binary, columnSums, 0, height);
}

void LazyBinaryInit(LazyBinary* lazy, const uint8_t* grey, int width, int height, uint8_t* binary,
                    uint32_t* columnSums) {
  lazy->grey = grey;
  lazy->width = width;
  lazy->height = height;
  lazy->binary = binary;
  lazy->columnSums = columnSums;
  lazy->nextRow = -1;
  lazy->invert = 0;
  std::memset(lazy->ready, 0, sizeof(lazy->ready));
}

namespace {

// Rows y0 .. y1 - 1 of band `band`.
void BandRows(const LazyBinary& lazy, int32_t band, int* y0, int* y1) {
  *y0 = band * kLazyBandRows;
  *y1 = *y0 + kLazyBandRows < lazy.height ? *y0 + kLazyBandRows : lazy.height;
}

}  // namespace

void LazyBinaryMake(LazyBinary* lazy, int32_t band) {
  int y0, y1;
  BandRows(*lazy, band, &y0, &y1);
  if (lazy->nextRow != y0) {
    InitColumnSums(lazy->grey, lazy->width, lazy->height, y0,
                   1 << (BinarizeWindowLog2(lazy->height) - 1), lazy->columnSums);
  }
  BinarizeRows(lazy->grey, lazy->width, lazy->height, lazy->binary, lazy->columnSums, y0, y1);
  lazy->nextRow = y1;
  if (lazy->invert != 0) InvertRows(lazy->binary, lazy->width, y0, y1);
  lazy->ready[band] = 1;
}

void LazyBinaryInvert(LazyBinary* lazy) {
  lazy->invert ^= 0xFF;
  for (int32_t b = 0; b * kLazyBandRows < lazy->height; ++b) {
    if (lazy->ready[b] == 0) continue;
    int y0, y1;
    BandRows(*lazy, b, &y0, &y1);
    InvertRows(lazy->binary, lazy->width, y0, y1);
  }
}

void RethresholdInit(RethresholdState* state, int x0, int x1, int y0, int y1) {
  std::memset(state, 0, sizeof(*state));
  state->x0 = x0;
  state->x1 = x1;
  state->y0 = y0;
  state->y1 = y1;
}

namespace {

void BuildHistogram(const uint8_t* grey, int width, RethresholdState* s) {
  std::memset(s->histogram, 0, sizeof(s->histogram));
  for (int y = s->y0; y < s->y1; ++y) {
    const uint8_t* row = grey + static_cast<size_t>(y) * width;
    for (int x = s->x0; x < s->x1; ++x) ++s->histogram[row[x] ^ s->invert];
  }
  s->pixelCount = (s->x1 - s->x0) * (s->y1 - s->y0);
  const uint32_t half = static_cast<uint32_t>(s->pixelCount) / 2;
  uint32_t sum = 0;
  int level = 0;
  for (; level < 255; ++level) {
    sum += s->histogram[level];
    if (sum >= half) break;
  }
  s->threshold = level;
  s->firstThreshold = level;
  s->stepBudget = static_cast<int32_t>(half >> 6);
  s->built = 1;
}

// Moves the threshold down for a later attempt; false when it cannot move.
bool LowerThreshold(RethresholdState* s) {
  const uint32_t budget = static_cast<uint32_t>(s->stepBudget);
  uint32_t sum = 0;
  int level = s->threshold - 1;
  for (; level > 0; --level) {
    sum += s->histogram[level];
    if (sum > budget || (sum > 0 && s->threshold - level > 20)) {
      s->step = level - s->threshold;
      break;
    }
  }
  if (level < 0) level = 0;
  // The stopping level is counted again, as the walk resumes from it.
  for (; level >= 0; --level) sum += s->histogram[level];
  if (sum < static_cast<uint32_t>(s->pixelCount) >> 5) return false;
  s->threshold += s->step;
  return s->step != 0;
}

}  // namespace

int Rethreshold(const uint8_t* grey, int width, int height, uint8_t* binary,
                RethresholdState* s) {
  s->x0 = Clamp(s->x0, 0, width);
  s->x1 = Clamp(s->x1, 0, width);
  s->y0 = Clamp(s->y0, 0, height);
  s->y1 = Clamp(s->y1, 0, height);
  if (s->x1 <= s->x0 || s->y1 <= s->y0) return -1;
  if (s->built == 0) {
    BuildHistogram(grey, width, s);
  } else if (!LowerThreshold(s)) {
    return -1;
  }
  if (s->threshold < 1) s->threshold = 1;
  const uint8_t thr = static_cast<uint8_t>(s->threshold > 255 ? 255 : s->threshold);
  for (int y = s->y0; y < s->y1; ++y) {
    const size_t row = static_cast<size_t>(y) * width;
    for (int x = s->x0; x < s->x1; ++x) binary[row + x] = (grey[row + x] ^ s->invert) < thr ? 255 : 0;
  }
  return 0;
}

void BinarizeBox(const uint8_t* grey, int width, int height, uint8_t* binary, int x0, int x1,
                 int y0, int y1, int half, uint8_t invert, uint32_t* columnSums, bool smooth) {
  x0 = Clamp(x0, 0, width);
  x1 = Clamp(x1, 0, width);
  y0 = Clamp(y0, 0, height);
  y1 = Clamp(y1, 0, height);
  if (x1 <= x0 || y1 <= y0 || half < 1) return;
  const int xa = x0 - half > 0 ? x0 - half : 0;
  const int xb = x1 + half < width ? x1 + half : width;
  int ra = y0 - half > 0 ? y0 - half : 0;
  int rb = y0 + half < height - 1 ? y0 + half : height - 1;  // rows ra .. rb
  for (int x = xa; x < xb; ++x) {
    uint32_t sum = 0;
    for (int r = ra; r <= rb; ++r) sum += grey[static_cast<size_t>(r) * width + x];
    columnSums[x] = sum;
  }
  for (int y = y0; y < y1; ++y) {
    const uint8_t* row = grey + static_cast<size_t>(y) * width;
    uint8_t* out = binary + static_cast<size_t>(y) * width;
    const uint8_t* up = y > 0 ? row - width : row;
    const uint8_t* down = y + 1 < height ? row + width : row;
    const uint32_t rows = static_cast<uint32_t>(rb - ra + 1);
    int ca = x0 - half > xa ? x0 - half : xa;
    int cb = x0 + half < xb - 1 ? x0 + half : xb - 1;  // columns ca .. cb
    uint32_t sum = 0;
    for (int c = ca; c <= cb; ++c) sum += columnSums[c];
    for (int x = x0; x < x1; ++x) {
      const uint32_t count = rows * static_cast<uint32_t>(cb - ca + 1);
      const uint32_t total = invert != 0 ? 255 * count - sum : sum;
      uint32_t g = row[x];
      if (smooth) {
        const int left = x > 0 ? x - 1 : x;
        const int right = x + 1 < width ? x + 1 : x;
        g = (4u * g + row[left] + row[right] + up[x] + down[x] + 4u) >> 3;
      }
      out[x] = ((g ^ invert) + 3u) * count < total ? 255 : 0;
      if (x - half >= ca) sum -= columnSums[ca++];
      if (x + half + 1 < xb) sum += columnSums[++cb];
    }
    // Slide the column sums one row down.
    if (y + 1 < y1) {
      const int nra = y + 1 - half > 0 ? y + 1 - half : 0;
      const int nrb = y + 1 + half < height - 1 ? y + 1 + half : height - 1;
      for (int x = xa; x < xb; ++x) {
        uint32_t v = columnSums[x];
        if (nra > ra) v -= grey[static_cast<size_t>(ra) * width + x];
        if (nrb > rb) v += grey[static_cast<size_t>(nrb) * width + x];
        columnSums[x] = v;
      }
      ra = nra;
      rb = nrb;
    }
  }
}

}  // namespace qrread
