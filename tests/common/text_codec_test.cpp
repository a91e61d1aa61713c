// The display conversions of the output encodings "UNICODE编码" and "UTF8编码".
#include <gtest/gtest.h>

#include <string>

#include "common/text_codec.h"

namespace {

using Conversion = int32_t (*)(const char*, char*, int32_t);

// Plain tests over both: a parameter printed as a function address gives test
// names that change with every build, which ctest then cannot find.
const Conversion kConversions[] = {&Utf8ToOemText, &Utf8ToAnsiText};

TEST(DisplayConversion, SizeQueryThenConversion) {
  for (Conversion convert : kConversions) {
    const char* text = "码A";  // GBK: two bytes for the character, one for A
    int32_t size = convert(text, nullptr, 0);
    ASSERT_EQ(size, 4);  // 2 + 1 + NUL
    char out[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(convert(text, out, size), size);
    EXPECT_EQ(std::string(out), "\xC2\xEB" "A");
    EXPECT_EQ(out[4], 'x');  // nothing written behind the terminator
  }
}

TEST(DisplayConversion, FailuresGiveZero) {
  for (Conversion convert : kConversions) {
    char out[8] = {};
    EXPECT_EQ(convert(nullptr, out, 8), 0);
    EXPECT_EQ(convert(nullptr, nullptr, 0), 0);
    EXPECT_EQ(convert("码A", out, 3), 0);  // capacity one short
    EXPECT_EQ(out[0], 0);                   // and nothing written
  }
}

TEST(DisplayConversion, MissingCharactersBecomeTheDefaultCharacter) {
  for (Conversion convert : kConversions) {
    char out[16] = {};
    // U+1F600 has no GBK form; a lone 0xFF is not UTF-8.
    EXPECT_EQ(convert("a\xF0\x9F\x98\x80" "b", out, sizeof out), 4);
    EXPECT_EQ(std::string(out), "a?b");
    EXPECT_EQ(convert("\xFF" "c", out, sizeof out), 3);
    EXPECT_EQ(std::string(out), "?c");
    EXPECT_EQ(convert("\x80" "d", out, sizeof out), 3);  // a stray continuation byte
    EXPECT_EQ(std::string(out), "?d");
    EXPECT_EQ(convert("", out, sizeof out), 1);
    EXPECT_EQ(out[0], 0);
  }
}

}  // namespace
