// Which vector units the reader's hot loops may use. Every vector form gives
// the same results as the plain one.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QRREAD_AVX2 1
// A helper of the AVX2 forms, inlined into them.
#define QRREAD_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
#endif

namespace qrread {

// True when the processor has AVX2 and QRTOOL_NO_AVX2 is not set (the tests
// set it to run the SSE2 forms that older processors take).
bool UseAvx2();

}  // namespace qrread
