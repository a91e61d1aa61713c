#include "reader/vector_units.h"

#include <cstdlib>

namespace qrread {

bool UseAvx2() {
#if defined(QRREAD_AVX2)
  static const bool use = __builtin_cpu_supports("avx2") && std::getenv("QRTOOL_NO_AVX2") == nullptr;
  return use;
#else
  return false;
#endif
}

}  // namespace qrread
