// Lack of memory inside an encode is reported, not thrown and not a crash.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "encoder/qr_encoder.h"

namespace {
bool g_failAllocations = false;
}  // namespace

// Every form of new and delete is replaced, so that all allocations pair
// malloc with free (the sanitizers check that pairing).
namespace {
void* Allocate(std::size_t size) {
  if (g_failAllocations) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}
void* AllocateOrThrow(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

TEST(Memory, CreateAndEncodeReportInsufficientMemory) {
  g_failAllocations = true;
  QrSymbol* none = qr_create_symbol();
  g_failAllocations = false;
  EXPECT_EQ(none, nullptr);
  QrSymbol* s = qr_create_symbol();
  ASSERT_NE(s, nullptr);
  s->symbology = QR_SYMBOLOGY_QRCODE;
  const std::string text(500, 'q');
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  g_failAllocations = true;
  const int32_t code = qr_encode(s, bytes, static_cast<int32_t>(text.size()));
  g_failAllocations = false;
  EXPECT_EQ(code, QR_ERROR_MEMORY);
  EXPECT_STREQ(s->errorText, "error: Insufficient memory");
  EXPECT_EQ(s->rows, 0);
  EXPECT_EQ(s->version, 0);
  // With memory back the same record encodes.
  EXPECT_EQ(qr_encode(s, bytes, static_cast<int32_t>(text.size())), QR_OK);
  qr_delete_symbol(s);
}

}  // namespace
