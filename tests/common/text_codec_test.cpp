// The display conversions of the output encodings "UNICODE编码" and "UTF8编码".
#include <gtest/gtest.h>

#include <string>

#include "common/text_codec.h"

namespace {

using Conversion = int32_t (*)(const char*, char*, int32_t);

// Plain tests over both: a parameter printed as a function address gives test
// names that change with every build, which ctest then cannot find.
const Conversion kConversions[] = {&Utf8ToOemText, &Utf8ToAnsiText};

// Capacity 0 asks for the size (with the NUL); a failure gives 0 and writes
// nothing; characters GBK lacks and bytes that are not UTF-8 become '?'.
TEST(DisplayConversion, SizesTextsAndFailures) {
  const struct { const char* text; int32_t capacity, result; std::string out; } cases[] = {
      {"码A", 0, 4, "xxxxxxx"},  // GBK: two bytes for the character, one for A
      {"码A", 4, 4, "\xC2\xEB" "A"},
      {"码A", 3, 0, "xxxxxxx"},  // capacity one short
      {nullptr, 8, 0, "xxxxxxx"},
      {nullptr, 0, 0, "xxxxxxx"},
      {"a\xF0\x9F\x98\x80" "b", 8, 4, "a?b"},  // U+1F600 has no GBK form
      {"\xFF" "c", 8, 3, "?c"},
      {"\x80" "d", 8, 3, "?d"},  // a stray continuation byte
      {"", 8, 1, ""},
  };
  for (Conversion convert : kConversions) {
    for (const auto& c : cases) {
      char out[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', '\0'};
      EXPECT_EQ(convert(c.text, c.capacity > 0 ? out : nullptr, c.capacity), c.result) << c.out;
      EXPECT_EQ(std::string(out), c.out);
      if (c.capacity > 0 && c.result > 0) {
        EXPECT_EQ(out[c.result], 'x');  // nothing written behind the NUL
      }
    }
  }
}

}  // namespace
