// Scan lines in strips of sixteen: the smoothing of the edge scanner runs on
// all sixteen lines at once (the serial filter of one line would otherwise
// set the pace), and marks the pixels where an edge candidate may start. The
// edge scanner then visits only those pixels, line after line, in scan order.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qrread {

constexpr int kStripLines = 16;
constexpr int kStripLanes = 8;        // lines per group: even lines, odd lines
constexpr int kStripPadSteps = 2;     // smoothed steps kept before step 0
constexpr int kMaxStripLength = 1280;

// Work area of one strip (placed in the binarised image's bytes, which are
// free while the scan runs).
struct StripScratch {
  // smoothed[g][(k + kStripPadSteps) * 8 + lane]: smoothed value at scan step k
  // of lane `lane` in group g (0 even lines, scanned forward; 1 odd lines,
  // scanned backward); the two pad steps repeat step 0.
  alignas(16) int16_t smoothed[2][(kMaxStripLength + kStripPadSteps) * kStripLanes];
  // flags[g][k]: bit `lane` set when step k may hold an edge candidate (a zero
  // crossing of the second derivative and a first derivative of at least the
  // minimum threshold). Zero from `length` up to the next multiple of 64.
  alignas(16) uint8_t flags[2][kMaxStripLength + 64];
  // Sixteen lines gathered step-major: gathered[k * 16 + j] is pixel k (in
  // memory order) of line j.
  alignas(16) uint8_t gathered[kMaxStripLength * kStripLines];
};

// Smooths and flags the sixteen lines of a strip. Pixel k (memory order) of
// line j is src[k * stride + j], k = 0 .. length - 1, length 1 .. 1280. Even
// lines are scanned from k = 0 up, odd lines from length - 1 down.
void SmoothStrip(const uint8_t* src, ptrdiff_t stride, int32_t length, StripScratch* out);

// SmoothStrip of two strips of the same length and stride (faster than one
// after the other).
void SmoothTwoStrips(const uint8_t* srcA, const uint8_t* srcB, ptrdiff_t stride, int32_t length,
                     StripScratch* outA, StripScratch* outB);

// The same, one lane at a time in plain C++ (the fallback, and the reference
// the tests hold the vector form to).
void SmoothStripScalar(const uint8_t* src, ptrdiff_t stride, int32_t length, StripScratch* out);

// Copies `count` (1..16) lines of `length` pixels, line j starting at
// rows[j], into out->gathered; lines count .. 15 become 0.
void GatherRows(const uint8_t* const* rows, int32_t count, int32_t length, StripScratch* out);

// Copies `count` (1..16) lines stored step-major (pixel k of line j at
// src[k * stride + j]) into out->gathered; lines count .. 15 become 0.
void GatherColumns(const uint8_t* src, ptrdiff_t stride, int32_t count, int32_t length,
                   StripScratch* out);

// Bits 0..63: the flags of lane `lane` at steps k0 .. k0 + 63 (k0 a multiple
// of 64 below the strip's length).
inline uint64_t StripLaneFlags(const uint8_t* flags, int32_t k0, int lane) {
#if defined(__SSE2__)
  const __m128i shift = _mm_cvtsi32_si128(7 - lane);
  uint64_t bits = 0;
  for (int q = 0; q < 4; ++q) {
    const __m128i f = _mm_load_si128(reinterpret_cast<const __m128i*>(flags + k0 + 16 * q));
    // Bit `lane` of every byte moves to the byte's top bit.
    bits |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_sll_epi64(f, shift))))
            << (16 * q);
  }
  return bits;
#else
  uint64_t bits = 0;
  for (int i = 0; i < 64; ++i) bits |= static_cast<uint64_t>((flags[k0 + i] >> lane) & 1u) << i;
  return bits;
#endif
}

}  // namespace qrread
