#include "reader/scan_strip.h"

#include <cstring>

#include "reader/edge_scanner.h"

#include "reader/vector_units.h"

#if defined(QRREAD_AVX2)
#include <immintrin.h>
#endif

namespace qrread {

namespace {

int32_t RoundUp64(int32_t n) { return (n + 63) & ~63; }

void ClearFlags(int32_t length, StripScratch* out) {
  for (auto& f : out->flags) std::memset(f, 0, static_cast<size_t>(RoundUp64(length)));
}

}  // namespace

void SmoothStripScalar(const uint8_t* src, ptrdiff_t stride, int32_t length, StripScratch* out) {
  ClearFlags(length, out);
  for (int g = 0; g < 2; ++g) {
    for (int lane = 0; lane < kStripLanes; ++lane) {
      const int j = 2 * lane + g;
      auto pixel = [&](int32_t k) -> int32_t {
        const int32_t m = g == 0 ? k : length - 1 - k;
        return src[m * stride + j];
      };
      int16_t* s = out->smoothed[g] + kStripPadSteps * kStripLanes + lane;
      int32_t s1 = pixel(0), s2 = s1, s3 = s1;
      s[-2 * kStripLanes] = s[-kStripLanes] = s[0] = static_cast<int16_t>(s1);
      for (int32_t k = 1; k < length; ++k) {
        const int32_t s0 = s1 + (((pixel(k) - s1) * 25) >> 5);
        const int32_t a = s0 - 2 * s1 + s2, b = s1 - 2 * s2 + s3;
        const int32_t d1 = s1 - s2, d2 = s2 - s3;
        const int32_t ad1 = d1 < 0 ? -d1 : d1, ad2 = d2 < 0 ? -d2 : d2;
        const bool crossing = a == 0 || (a > 0 && b < 0) || (a < 0 && b > 0);
        const bool same = (d1 >= 0) == (d2 >= 0);
        const int32_t steep = same && ad2 > ad1 ? ad2 : ad1;
        if (crossing && steep >= kEdgeMinThreshold) {
          out->flags[g][k] = static_cast<uint8_t>(out->flags[g][k] | (1u << lane));
        }
        s[k * kStripLanes] = static_cast<int16_t>(s0);
        s3 = s2;
        s2 = s1;
        s1 = s0;
      }
    }
  }
}

#if defined(__SSE2__)

namespace {

// One group's filter state: the last three smoothed values per lane.
struct GroupState {
  __m128i s1, s2, s3;
};

inline __m128i Lanes(__m128i bytes, int g) {
  return g == 0 ? _mm_and_si128(bytes, _mm_set1_epi16(0xFF)) : _mm_srli_epi16(bytes, 8);
}

inline __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

// One step of one group: the new smoothed values and the flag byte.
inline uint8_t Step(GroupState* st, __m128i v, int16_t* store) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i s0 = _mm_add_epi16(
      st->s1, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(v, st->s1), _mm_set1_epi16(25)), 5));
  const __m128i d0 = _mm_sub_epi16(s0, st->s1);
  const __m128i d1 = _mm_sub_epi16(st->s1, st->s2);
  const __m128i d2 = _mm_sub_epi16(st->s2, st->s3);
  const __m128i a = _mm_sub_epi16(d0, d1);
  const __m128i b = _mm_sub_epi16(d1, d2);
  // a = 0, or a and b of strictly opposite signs.
  const __m128i opposite =
      _mm_andnot_si128(_mm_cmpeq_epi16(b, zero), _mm_srai_epi16(_mm_xor_si128(a, b), 15));
  const __m128i crossing = _mm_or_si128(_mm_cmpeq_epi16(a, zero), opposite);
  const __m128i same = _mm_cmpgt_epi16(_mm_xor_si128(d1, d2), _mm_set1_epi16(-1));
  const __m128i minus = _mm_set1_epi16(kEdgeMinThreshold - 1);
  const __m128i steep = _mm_or_si128(
      _mm_cmpgt_epi16(Abs16(d1), minus), _mm_and_si128(same, _mm_cmpgt_epi16(Abs16(d2), minus)));
  const __m128i flag = _mm_and_si128(crossing, steep);
  _mm_store_si128(reinterpret_cast<__m128i*>(store), s0);
  st->s3 = st->s2;
  st->s2 = st->s1;
  st->s1 = s0;
  return static_cast<uint8_t>(_mm_movemask_epi8(_mm_packs_epi16(flag, zero)));
}

inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

#if defined(QRREAD_AVX2)

namespace {

// Even bytes into the lower half's words, odd bytes into the upper half's.
QRREAD_AVX2_INLINE __m256i LoadBoth(const uint8_t* e, const uint8_t* o) {
  const __m256i pick = _mm256_setr_epi8(0, -1, 2, -1, 4, -1, 6, -1, 8, -1, 10, -1, 12, -1, 14, -1,
                                        1, -1, 3, -1, 5, -1, 7, -1, 9, -1, 11, -1, 13, -1, 15, -1);
  const __m256i both = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(e))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(o)), 1);
  return _mm256_shuffle_epi8(both, pick);
}

// One strip's filter: both groups at once, the even lines in the lower half
// of each register, the odd lines in the upper half. Besides the newest
// smoothed value it carries what the next step would compute again: the last
// two first differences, the last second difference, and whether the older
// first difference was steep.
struct StripFilter {
  const uint8_t* pe;
  const uint8_t* po;
  int16_t* se;
  int16_t* so;
  uint8_t* fe;
  uint8_t* fo;
  __m256i s1, d1, d2, b, steep1;
};

QRREAD_AVX2_INLINE void StartFilter(StripFilter* f, const uint8_t* src, ptrdiff_t stride,
                                    int32_t length, StripScratch* out) {
  f->se = out->smoothed[0] + kStripPadSteps * kStripLanes;
  f->so = out->smoothed[1] + kStripPadSteps * kStripLanes;
  f->pe = src;
  f->po = src + (length - 1) * stride;
  f->fe = out->flags[0];
  f->fo = out->flags[1];
  f->s1 = LoadBoth(f->pe, f->po);
  f->d1 = f->d2 = f->b = f->steep1 = _mm256_setzero_si256();
  for (int k = -2; k <= 0; ++k) {
    _mm_store_si128(reinterpret_cast<__m128i*>(f->se + k * kStripLanes), _mm256_castsi256_si128(f->s1));
    _mm_store_si128(reinterpret_cast<__m128i*>(f->so + k * kStripLanes), _mm256_extracti128_si256(f->s1, 1));
  }
}

QRREAD_AVX2_INLINE void FilterStep(StripFilter* f, ptrdiff_t stride, int32_t k) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i minus = _mm256_set1_epi16(kEdgeMinThreshold - 1);
  f->pe += stride;
  f->po -= stride;
  const __m256i v = LoadBoth(f->pe, f->po);
  const __m256i s1 = f->s1;
  const __m256i s0 = _mm256_add_epi16(
      s1, _mm256_srai_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(v, s1), _mm256_set1_epi16(25)), 5));
  // d0 = s0 - s1 is the next step's d1, a = d0 - d1 its b.
  const __m256i d0 = _mm256_sub_epi16(s0, s1);
  const __m256i a = _mm256_sub_epi16(d0, f->d1);
  const __m256i b = f->b;
  // a = 0, or a and b of strictly opposite signs.
  const __m256i opposite = _mm256_andnot_si256(_mm256_cmpeq_epi16(b, zero),
                                               _mm256_srai_epi16(_mm256_xor_si256(a, b), 15));
  const __m256i crossing = _mm256_or_si256(_mm256_cmpeq_epi16(a, zero), opposite);
  const __m256i same = _mm256_cmpgt_epi16(_mm256_xor_si256(f->d1, f->d2), _mm256_set1_epi16(-1));
  const __m256i steep0 = _mm256_cmpgt_epi16(_mm256_abs_epi16(d0), minus);
  const __m256i steep1 = f->steep1;
  const __m256i steep2 = _mm256_cmpgt_epi16(_mm256_abs_epi16(f->d2), minus);
  const __m256i steep = _mm256_or_si256(steep1, _mm256_and_si256(same, steep2));
  const __m256i flag = _mm256_and_si256(crossing, steep);
  _mm_store_si128(reinterpret_cast<__m128i*>(f->se + k * kStripLanes), _mm256_castsi256_si128(s0));
  _mm_store_si128(reinterpret_cast<__m128i*>(f->so + k * kStripLanes), _mm256_extracti128_si256(s0, 1));
  const uint32_t bits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_packs_epi16(flag, zero)));
  f->fe[k] = static_cast<uint8_t>(bits);
  f->fo[k] = static_cast<uint8_t>(bits >> 16);
  f->s1 = s0;
  f->d2 = f->d1;
  f->d1 = d0;
  f->b = a;
  f->steep1 = steep0;
}

__attribute__((target("avx2"))) void SmoothStripAvx2(const uint8_t* src, ptrdiff_t stride,
                                                     int32_t length, StripScratch* out) {
  StripFilter f;
  StartFilter(&f, src, stride, length, out);
  for (int32_t k = 1; k < length; ++k) FilterStep(&f, stride, k);
}

// Two strips' filters are independent chains: interleaved, each step of one
// runs while the other's waits on its multiply.
__attribute__((target("avx2"))) void SmoothTwoStripsAvx2(const uint8_t* srcA, const uint8_t* srcB,
                                                         ptrdiff_t stride, int32_t length,
                                                         StripScratch* outA, StripScratch* outB) {
  StripFilter fa, fb;
  StartFilter(&fa, srcA, stride, length, outA);
  StartFilter(&fb, srcB, stride, length, outB);
  for (int32_t k = 1; k < length; ++k) {
    FilterStep(&fa, stride, k);
    FilterStep(&fb, stride, k);
  }
}

}  // namespace

#endif

void SmoothStrip(const uint8_t* src, ptrdiff_t stride, int32_t length, StripScratch* out) {
  ClearFlags(length, out);
#if defined(QRREAD_AVX2)
  if (UseAvx2()) {
    SmoothStripAvx2(src, stride, length, out);
    return;
  }
#endif
  int16_t* se = out->smoothed[0] + kStripPadSteps * kStripLanes;
  int16_t* so = out->smoothed[1] + kStripPadSteps * kStripLanes;
  const uint8_t* pe = src;
  const uint8_t* po = src + (length - 1) * stride;
  GroupState even, odd;
  even.s1 = even.s2 = even.s3 = Lanes(Load16(pe), 0);
  odd.s1 = odd.s2 = odd.s3 = Lanes(Load16(po), 1);
  for (int k = -2; k <= 0; ++k) {
    _mm_store_si128(reinterpret_cast<__m128i*>(se + k * kStripLanes), even.s1);
    _mm_store_si128(reinterpret_cast<__m128i*>(so + k * kStripLanes), odd.s1);
  }
  uint8_t* fe = out->flags[0];
  uint8_t* fo = out->flags[1];
  // The two groups are independent chains, interleaved for the pipeline.
  for (int32_t k = 1; k < length; ++k) {
    pe += stride;
    po -= stride;
    fe[k] = Step(&even, Lanes(Load16(pe), 0), se + k * kStripLanes);
    fo[k] = Step(&odd, Lanes(Load16(po), 1), so + k * kStripLanes);
  }
}

#else

void SmoothStrip(const uint8_t* src, ptrdiff_t stride, int32_t length, StripScratch* out) {
  SmoothStripScalar(src, stride, length, out);
}

#endif

void SmoothTwoStrips(const uint8_t* srcA, const uint8_t* srcB, ptrdiff_t stride, int32_t length,
                     StripScratch* outA, StripScratch* outB) {
#if defined(QRREAD_AVX2)
  if (UseAvx2()) {
    ClearFlags(length, outA);
    ClearFlags(length, outB);
    SmoothTwoStripsAvx2(srcA, srcB, stride, length, outA, outB);
    return;
  }
#endif
  SmoothStrip(srcA, stride, length, outA);
  SmoothStrip(srcB, stride, length, outB);
}

#if defined(__SSE2__)

namespace {

// Transposes the 16 x 16 bytes at rows[i] + k0 into 16 rows of 16 at dst:
// four rounds of the perfect shuffle.
inline void Transpose16(const uint8_t* const* rows, int32_t k0, uint8_t* dst) {
  __m128i a[16], b[16];
  for (int i = 0; i < 16; ++i) a[i] = Load16(rows[i] + k0);
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < 8; ++i) {
      b[2 * i] = _mm_unpacklo_epi8(a[i], a[i + 8]);
      b[2 * i + 1] = _mm_unpackhi_epi8(a[i], a[i + 8]);
    }
    for (int i = 0; i < 16; ++i) a[i] = b[i];
  }
  for (int i = 0; i < 16; ++i) _mm_store_si128(reinterpret_cast<__m128i*>(dst + 16 * i), a[i]);
}

}  // namespace

#endif

void GatherRows(const uint8_t* const* rows, int32_t count, int32_t length, StripScratch* out) {
  uint8_t* g = out->gathered;
  if (count < kStripLines) std::memset(g, 0, static_cast<size_t>(length) * kStripLines);
  int32_t k0 = 0;
#if defined(__SSE2__)
  if (count == kStripLines) {
    for (; k0 + 16 <= length; k0 += 16) Transpose16(rows, k0, g + k0 * kStripLines);
  }
#endif
  // Blocks of 16 x 16 keep both sides in cache lines.
  for (; k0 < length; k0 += 16) {
    const int32_t k1 = k0 + 16 < length ? k0 + 16 : length;
    for (int32_t j = 0; j < count; ++j) {
      const uint8_t* line = rows[j];
      for (int32_t k = k0; k < k1; ++k) g[k * kStripLines + j] = line[k];
    }
  }
}

void GatherColumns(const uint8_t* src, ptrdiff_t stride, int32_t count, int32_t length,
                   StripScratch* out) {
  uint8_t* g = out->gathered;
  for (int32_t k = 0; k < length; ++k) {
    const uint8_t* row = src + k * stride;
    int32_t j = 0;
    for (; j < count; ++j) g[k * kStripLines + j] = row[j];
    for (; j < kStripLines; ++j) g[k * kStripLines + j] = 0;
  }
}

}  // namespace qrread
