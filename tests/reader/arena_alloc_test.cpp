// The reader's heap use per call: exactly the two arena blocks, obtained and
// released within the call. malloc is replaced for this whole program (the
// C++ allocation functions end in it too), counting while a call runs.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <tuple>

#include "reader/arena.h"
#include "reader/qr_reader.h"
#include "geom_render.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void __libc_free(void*);
}

namespace {

bool g_counting = false;
int g_allocs = 0;
int g_frees = 0;
size_t g_sizes[8];

void Note(size_t n) {
  if (!g_counting) return;
  if (g_allocs < 8) g_sizes[g_allocs] = n;
  ++g_allocs;
}

}  // namespace

extern "C" void* malloc(size_t n) {
  Note(n);
  return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t k) {
  Note(n * k);
  return __libc_calloc(n, k);
}
extern "C" void free(void* p) {
  if (g_counting && p != nullptr) ++g_frees;
  __libc_free(p);
}

namespace {

using geomtest::Grey;

int32_t CountedRead(const Grey& g, int width = 0) {
  DecodeResult results[4];
  g_allocs = g_frees = 0;
  g_counting = true;
  const int32_t n = qr_read_symbols(g.px.data(), width > 0 ? width : g.width, g.height, results, 4);
  g_counting = false;
  return n;
}

// A blank picture of the largest size, and one whose code and stray finder
// take every stage: exactly the two blocks, both given back.
TEST(ArenaAllocTest, EveryCallUsesTheTwoBlocksOnly) {
  Grey blank(1280, 1024), code(400, 300);
  ASSERT_GT(geomtest::DrawCode(&code, "heap use of one call", 40, 40, 4), 0);
  code.Finder(300, 200, 3);  // a stray finder: more triples to try
  for (const Grey* g : {&blank, &code}) {
    EXPECT_EQ(g == &code ? 1 : 0, CountedRead(*g));
    EXPECT_EQ(std::make_tuple(2, 2, size_t(qrread::kMainBlockBytes), size_t(qrread::kDecodeBlockBytes)),
              std::make_tuple(g_allocs, g_frees, g_sizes[0], g_sizes[1]));
  }
  // Too wide: refused, and whatever was taken is given back.
  EXPECT_EQ(QR_READ_TOO_LARGE, CountedRead(Grey(1, 1), 1281));
  EXPECT_EQ(g_allocs, g_frees);
}

}  // namespace
