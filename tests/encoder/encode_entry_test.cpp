// The record, the encode entry and its choice of level and version.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "encoder/qr_encoder.h"
#include "tests/encoder/encoder_test_util.h"

namespace {

using enctest::Encode;
using enctest::NewSymbol;

TEST(Record, CreatedWithDefaultsAndModuleReadsStayInside) {
  QrSymbol* s = qr_create_symbol();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ((std::vector<int32_t>{s->symbology, s->ecLevel, s->version, s->inputMode, s->rows,
                                  s->errorText[0]}),
            (std::vector<int32_t>{20, -1, 0, DATA_MODE, 0, 0}));
  // Outside the matrix nothing is read (the packing inside is read back
  // through every picture of oracle_test and the terminal drawing).
  EXPECT_EQ(qr_module_is_set(s, 178, 0), 0);
  qr_delete_symbol(s);
  qr_delete_symbol(nullptr);
  // Capacities per level are checked through the character limits of the pages.
  int32_t untouched[4] = {-7, -7, -7, -7};
  EXPECT_EQ(qr_version_capacity(41, untouched) + qr_version_capacity(0, untouched), -2);
  EXPECT_EQ(untouched[0] + untouched[3], -14);
}

// Requested level and version in, code, version and level used (or kept) out.
TEST(LevelAndVersion, ChosenOrRefused) {
  const char* kVersion = "error: Input too long for selected version";
  const char* kLevel = "error: Input too long for selected error correction level";
  const std::string digits = "12345678901234567890", forty(40, 'a'), long1300(1300, 'a');
  const struct {
    std::string text;
    int32_t level, version, mode;
    int32_t code, usedVersion, usedLevel;
    const char* error;
  } cases[] = {
      {digits, 0, 0, DATA_MODE, QR_OK, 1, 3, ""},  // Q holds 104 bits, H only 72
      {forty, 0, 2, DATA_MODE, QR_ERROR_TOO_LONG, 2, 0, kVersion},  // the caller's values stay
      {forty, 0, 3, DATA_MODE, QR_OK, 3, 2, ""},
      {long1300, 4, 0, DATA_MODE, QR_ERROR_TOO_LONG, 0, 4, kLevel},
      {long1300, 0, 0, DATA_MODE, QR_OK, 26, 1, ""},
      // The requested level is never lowered: H forces a larger version.
      {"hello world", 4, 0, DATA_MODE, QR_OK, 2, 4, ""},
      {"hello world", 3, 1, DATA_MODE, QR_ERROR_TOO_LONG, 1, 3, kVersion},
      // A level outside 1..4 starts from L; a version outside 1..40 means automatic.
      {"hello world", 9, -3, DATA_MODE, QR_OK, 1, 2, ""},
      {"hello world", 0, 41, DATA_MODE, QR_OK, 1, 2, ""},
      // Capacity at version 40: 2953 bytes are 23644 bits of 23648 at L.
      {std::string(2953, 'a'), 0, 0, DATA_MODE, QR_OK, 40, 1, ""},
      {std::string(2954, 'a'), 0, 0, DATA_MODE, QR_ERROR_TOO_LONG, 0, 0, kLevel},
      {std::string(7089, '7'), 0, 0, DATA_MODE, QR_OK, 40, 1, ""},
      {std::string(7090, '7'), 0, 0, DATA_MODE, QR_ERROR_TOO_LONG, 0, 0, kLevel},
      {std::string(5'000'000, '7'), 0, 0, DATA_MODE, QR_ERROR_TOO_LONG, 0, 0, kLevel},  // no long wait
      {"\xC8", 0, 0, GB2312_MODE, QR_OK, 1, 4, ""},  // a lone lead byte at the end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20) + " length " + std::to_string(c.text.size()) + " level " +
                 std::to_string(c.level) + " version " + std::to_string(c.version));
    auto s = NewSymbol(c.level, c.version, c.mode);
    EXPECT_EQ(Encode(s.get(), c.text), c.code);
    EXPECT_EQ(s->version, c.usedVersion);
    EXPECT_EQ(s->ecLevel, c.usedLevel);
    EXPECT_STREQ(s->errorText, c.error);
    EXPECT_EQ(s->rows, c.code == QR_OK ? 17 + 4 * c.usedVersion : 0);
    EXPECT_EQ(s->width, s->rows);
  }
}

TEST(Entry, RefusedInputsLeaveTheMatrixEmpty) {
  auto s = NewSymbol();
  EXPECT_EQ(Encode(s.get(), ""), QR_ERROR_NO_INPUT);
  EXPECT_STREQ(s->errorText, "error: No input data");
  EXPECT_EQ(qr_encode(s.get(), nullptr, 5), QR_ERROR_NO_INPUT);
  EXPECT_EQ(qr_encode(s.get(), reinterpret_cast<const uint8_t*>("abc"), -1), QR_ERROR_NO_INPUT);
  EXPECT_EQ(qr_encode(nullptr, reinterpret_cast<const uint8_t*>("abc"), 3), QR_ERROR_NO_INPUT);
  const QrSymbol zero{};
  EXPECT_EQ(std::memcmp(s->modules, zero.modules, sizeof s->modules), 0);

  QrSymbol* other = qr_create_symbol();  // symbology left at 20
  EXPECT_EQ(qr_encode(other, reinterpret_cast<const uint8_t*>("abc"), 3), 8);
  EXPECT_STREQ(other->errorText, "error: Symbology not supported");
  EXPECT_EQ(other->rows, 0);
  qr_delete_symbol(other);

  // Length 0 takes the bytes up to the first NUL.
  EXPECT_EQ(qr_encode(s.get(), reinterpret_cast<const uint8_t*>("HELLO WORLD\0xyz"), 0), QR_OK);
  auto explicitLength = NewSymbol();
  EXPECT_EQ(Encode(explicitLength.get(), "HELLO WORLD"), QR_OK);
  EXPECT_EQ(std::memcmp(s->modules, explicitLength->modules, sizeof s->modules), 0);
}

}  // namespace
