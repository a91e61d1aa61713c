// The record, the encode entry and its choice of level and version.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "encoder/qr_encoder.h"
#include "encoder/qr_standard.h"

namespace {

struct Outcome {
  int32_t code;
  int32_t version;
  int32_t level;
  std::string error;
};

Outcome Encode(const std::string& text, int32_t level = 0, int32_t version = 0,
               int32_t mode = DATA_MODE) {
  QrSymbol* s = qr_create_symbol();
  s->symbology = QR_SYMBOLOGY_QRCODE;
  s->ecLevel = level;
  s->version = version;
  s->inputMode = mode;
  const int32_t code =
      qr_encode(s, reinterpret_cast<const uint8_t*>(text.data()), static_cast<int32_t>(text.size()));
  Outcome o{code, s->version, s->ecLevel, s->errorText};
  qr_delete_symbol(s);
  return o;
}

TEST(Record, CreatedWithDefaults) {
  QrSymbol* s = qr_create_symbol();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->symbology, 20);
  EXPECT_EQ(s->ecLevel, -1);
  EXPECT_EQ(s->version, 0);
  EXPECT_EQ(s->inputMode, DATA_MODE);
  EXPECT_EQ(s->rows, 0);
  EXPECT_EQ(s->errorText[0], '\0');
  for (int r = 0; r < QR_MATRIX_BYTES; ++r) {
    for (int c = 0; c < QR_MATRIX_BYTES; ++c) ASSERT_EQ(qr_module_is_set(s, r, c), 0);
  }
  qr_delete_symbol(s);
  qr_delete_symbol(nullptr);
}

TEST(Record, ModulesPackSevenPerByte) {
  QrSymbol* s = qr_create_symbol();
  qr_set_module(s, 176, 176);
  EXPECT_EQ(s->modules[176][25], 0x02);
  qr_set_module(s, 0, 6);
  qr_set_module(s, 0, 7);
  EXPECT_EQ(s->modules[0][0], 0x40);
  EXPECT_EQ(s->modules[0][1], 0x01);
  EXPECT_EQ(qr_module_is_set(s, 0, 7), 1);
  EXPECT_EQ(qr_module_is_set(s, 0, 8), 0);
  // Outside the matrix nothing is read or written.
  qr_set_module(s, -1, 0);
  qr_set_module(s, 0, 178);
  EXPECT_EQ(qr_module_is_set(s, 178, 0), 0);
  qr_delete_symbol(s);
}

TEST(Capacity, DataCodewordsPerLevel) {
  int32_t c[4] = {-7, -7, -7, -7};
  ASSERT_EQ(qr_version_capacity(1, c), 0);
  EXPECT_EQ(std::vector<int32_t>(c, c + 4), (std::vector<int32_t>{19, 16, 13, 9}));
  ASSERT_EQ(qr_version_capacity(40, c), 0);
  EXPECT_EQ(std::vector<int32_t>(c, c + 4), (std::vector<int32_t>{2956, 2334, 1666, 1276}));
  int32_t untouched[4] = {-7, -7, -7, -7};
  EXPECT_EQ(qr_version_capacity(41, untouched), -1);
  EXPECT_EQ(qr_version_capacity(0, untouched), -1);
  EXPECT_EQ(std::vector<int32_t>(untouched, untouched + 4), (std::vector<int32_t>{-7, -7, -7, -7}));
}

TEST(LevelAndVersion, WorkedExamples) {
  const std::string digits = "12345678901234567890";
  Outcome o = Encode(digits);
  EXPECT_EQ(o.code, QR_OK);
  EXPECT_EQ(o.version, 1);
  EXPECT_EQ(o.level, 3);  // Q holds 85 bits, H only 72
  o = Encode(digits, 0, 5);
  EXPECT_EQ(o.version, 5);  // a larger version than needed is kept
  EXPECT_EQ(o.level, 4);
  o = Encode("HELLO WORLD");
  EXPECT_EQ(o.version, 1);
  EXPECT_EQ(o.level, 3);
  o = Encode("hello world");
  EXPECT_EQ(o.version, 1);
  EXPECT_EQ(o.level, 2);

  const std::string forty(40, 'a');
  o = Encode(forty, 0, 2);
  EXPECT_EQ(o.code, QR_ERROR_TOO_LONG);
  EXPECT_EQ(o.error, "error: Input too long for selected version");
  EXPECT_EQ(o.version, 2);  // the caller's values stay
  EXPECT_EQ(o.level, 0);
  for (int32_t v : {3, 0}) {
    o = Encode(forty, 0, v);
    EXPECT_EQ(o.code, QR_OK);
    EXPECT_EQ(o.version, 3);
    EXPECT_EQ(o.level, 2);
  }

  const std::string long1300(1300, 'a');
  o = Encode(long1300, 4);
  EXPECT_EQ(o.code, QR_ERROR_TOO_LONG);
  EXPECT_EQ(o.error, "error: Input too long for selected error correction level");
  EXPECT_EQ(o.level, 4);
  o = Encode(long1300, 0);
  EXPECT_EQ(o.code, QR_OK);
  EXPECT_EQ(o.version, 26);
  EXPECT_EQ(o.level, 1);
}

TEST(LevelAndVersion, RequestedLevelIsNeverLowered) {
  // "hello world" (108 bits) fits version 1 at M but not Q: requesting H forces a
  // larger version that H can hold.
  Outcome o = Encode("hello world", 4);
  EXPECT_EQ(o.code, QR_OK);
  EXPECT_EQ(o.level, 4);
  EXPECT_EQ(o.version, 2);
  o = Encode("hello world", 3, 1);
  EXPECT_EQ(o.code, QR_ERROR_TOO_LONG);
  // Any value outside 1..4 starts from L; outside 1..40 means automatic.
  o = Encode("hello world", 9, -3);
  EXPECT_EQ(o.code, QR_OK);
  EXPECT_EQ(o.version, 1);
  EXPECT_EQ(o.level, 2);
  o = Encode("hello world", 0, 41);
  EXPECT_EQ(o.version, 1);
}

TEST(LevelAndVersion, CapacityLimitsAtVersionForty) {
  // 2953 bytes: 20 + 23624 = 23644 bits <= 23648 at version 40 L.
  Outcome o = Encode(std::string(2953, 'a'));
  EXPECT_EQ(o.code, QR_OK);
  EXPECT_EQ(o.version, 40);
  EXPECT_EQ(o.level, 1);
  o = Encode(std::string(2954, 'a'));
  EXPECT_EQ(o.code, QR_ERROR_TOO_LONG);
  EXPECT_EQ(o.error, "error: Input too long for selected error correction level");
  o = Encode(std::string(7089, '7'));
  EXPECT_EQ(o.code, QR_OK);
  EXPECT_EQ(o.version, 40);
  o = Encode(std::string(7090, '7'));
  EXPECT_EQ(o.code, QR_ERROR_TOO_LONG);
  o = Encode(std::string(5'000'000, '7'));  // refused without a long wait
  EXPECT_EQ(o.code, QR_ERROR_TOO_LONG);
}

TEST(Entry, EmptyInputAndLengthZero) {
  QrSymbol* s = qr_create_symbol();
  s->symbology = QR_SYMBOLOGY_QRCODE;
  EXPECT_EQ(qr_encode(s, reinterpret_cast<const uint8_t*>(""), 0), QR_ERROR_NO_INPUT);
  EXPECT_STREQ(s->errorText, "error: No input data");
  EXPECT_EQ(qr_encode(s, nullptr, 5), QR_ERROR_NO_INPUT);
  EXPECT_EQ(qr_encode(s, reinterpret_cast<const uint8_t*>("abc"), -1), QR_ERROR_NO_INPUT);
  EXPECT_EQ(qr_encode(nullptr, reinterpret_cast<const uint8_t*>("abc"), 3), QR_ERROR_NO_INPUT);
  for (int r = 0; r < QR_MATRIX_BYTES; ++r) {
    for (int c = 0; c < QR_MATRIX_BYTES; ++c) ASSERT_EQ(s->modules[r][c], 0);
  }
  // Length 0 takes the bytes up to the first NUL.
  EXPECT_EQ(qr_encode(s, reinterpret_cast<const uint8_t*>("HELLO WORLD\0xyz"), 0), QR_OK);
  QrSymbol* explicitLength = qr_create_symbol();
  explicitLength->symbology = QR_SYMBOLOGY_QRCODE;
  EXPECT_EQ(qr_encode(explicitLength, reinterpret_cast<const uint8_t*>("HELLO WORLD"), 11), QR_OK);
  EXPECT_EQ(std::memcmp(s->modules, explicitLength->modules, sizeof s->modules), 0);
  qr_delete_symbol(explicitLength);
  qr_delete_symbol(s);
}

TEST(Entry, OnlyQrCodeIsEncoded) {
  QrSymbol* s = qr_create_symbol();  // symbology left at 20
  EXPECT_EQ(qr_encode(s, reinterpret_cast<const uint8_t*>("abc"), 3), 8);
  EXPECT_STREQ(s->errorText, "error: Symbology not supported");
  EXPECT_EQ(s->rows, 0);
  qr_delete_symbol(s);
}

TEST(Entry, LoneLeadByteAtTheEndIsOneCharacter) {
  const Outcome o = Encode("\xC8", 0, 0, GB2312_MODE);
  EXPECT_EQ(o.code, QR_OK);
  EXPECT_EQ(o.version, 1);
  EXPECT_EQ(o.level, 4);
}

// Reads the first format copy out of the record: bits 0..14.
uint32_t RecordFormatWord(const QrSymbol* s) {
  const int cells[15][2] = {{0, 8}, {1, 8}, {2, 8}, {3, 8}, {4, 8}, {5, 8}, {7, 8}, {8, 8},
                            {8, 7}, {8, 5}, {8, 4}, {8, 3}, {8, 2}, {8, 1}, {8, 0}};
  uint32_t word = 0;
  for (int b = 0; b < 15; ++b) word |= static_cast<uint32_t>(qr_module_is_set(s, cells[b][0], cells[b][1])) << b;
  return word;
}

TEST(Entry, RecordHoldsTheFinishedSymbol) {
  QrSymbol* s = qr_create_symbol();
  s->symbology = QR_SYMBOLOGY_QRCODE;
  s->version = 40;
  s->ecLevel = 2;
  ASSERT_EQ(qr_encode(s, reinterpret_cast<const uint8_t*>("qrtool"), 6), QR_OK);
  EXPECT_EQ(s->rows, 177);
  EXPECT_EQ(s->width, 177);
  EXPECT_EQ(s->rowHeight[0], 1);
  EXPECT_EQ(s->rowHeight[176], 1);
  EXPECT_EQ(s->rowHeight[177], 0);
  EXPECT_EQ(qr_module_is_set(s, 176, 176), (s->modules[176][25] >> 1) & 1);
  for (int r = 0; r < QR_MATRIX_BYTES; ++r) {
    EXPECT_EQ(s->modules[r][25] & 0x80, 0);
    for (int c = 177; c < QR_MATRIX_BYTES; ++c) EXPECT_EQ(qr_module_is_set(s, r, c), 0);
  }
  // Finder corners, timing and the dark module as laid.
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(qr_module_is_set(s, 0, i), 1);
    EXPECT_EQ(qr_module_is_set(s, i, 176), 1);
    EXPECT_EQ(qr_module_is_set(s, 176, i), 1);
  }
  EXPECT_EQ(qr_module_is_set(s, 1, 1), 0);
  EXPECT_EQ(qr_module_is_set(s, 3, 3), 1);
  for (int i = 8; i < 169; ++i) EXPECT_EQ(qr_module_is_set(s, 6, i), i % 2 == 0 ? 1 : 0);
  EXPECT_EQ(qr_module_is_set(s, 169, 8), 1);
  // The format word names the level actually used (H: text this short is raised).
  EXPECT_EQ(s->ecLevel, 4);
  const uint32_t format = RecordFormatWord(s);
  int index = -1;
  for (int i = 0; i < 32; ++i) {
    if (qrstd::kFormatWords[i] == format) index = i;
  }
  ASSERT_GE(index, 0);
  EXPECT_EQ(index >> 3, qrstd::FormatLevelBits(qrstd::kLevelH));
  qr_delete_symbol(s);
}

TEST(Entry, RecordsOnSeveralThreadsDoNotMeet) {
  const std::vector<std::string> texts = {"https://example.com/a", std::string(300, 'x'),
                                          "12345678901234567890", "HELLO WORLD 2024"};
  auto encodeAll = [&](std::vector<std::vector<uint8_t>>* out) {
    for (int round = 0; round < 50; ++round) {
      for (const std::string& t : texts) {
        QrSymbol* s = qr_create_symbol();
        s->symbology = QR_SYMBOLOGY_QRCODE;
        qr_encode(s, reinterpret_cast<const uint8_t*>(t.data()), static_cast<int32_t>(t.size()));
        out->emplace_back(&s->modules[0][0], &s->modules[0][0] + sizeof s->modules);
        qr_delete_symbol(s);
      }
    }
  };
  std::vector<std::vector<uint8_t>> a, b, reference;
  std::thread ta(encodeAll, &a), tb(encodeAll, &b);
  ta.join();
  tb.join();
  encodeAll(&reference);
  EXPECT_TRUE(a == reference);
  EXPECT_TRUE(b == reference);
}

}  // namespace
