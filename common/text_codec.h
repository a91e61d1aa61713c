// Conversions between UTF-8 and the Chinese code page (GBK, CP936), with iconv.
// Plain C++; safe from any thread.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Convert a NUL-terminated UTF-8 string to the OEM / ANSI code page (both GBK
// here). With a null destination: the size needed, NUL included. With a
// destination: writes the terminated text and returns its size, or 0 when
// `capacity` is too small. 0 for a null source and on any failure.
int32_t Utf8ToOemText(const char* source, char* destination, int32_t capacity);
int32_t Utf8ToAnsiText(const char* source, char* destination, int32_t capacity);

namespace textcodec {

// UTF-8 -> GBK. Returns false when the text is not valid UTF-8 or holds a
// character GBK cannot represent; `bad` then receives that character (as
// UTF-8) or the offending bytes. Nothing is ever replaced by '?'.
bool Utf8ToGbk(std::string_view utf8, std::string* gbk, std::string* bad = nullptr);

// GBK -> UTF-8. Bytes that are not valid GBK become U+FFFD, so display never
// fails; returns false when that happened.
bool GbkToUtf8(std::string_view gbk, std::string* utf8);

// The longest prefix of `gbk` of at most `maxBytes` bytes that does not cut a
// double-byte character in two.
size_t GbkPrefixLength(std::string_view gbk, size_t maxBytes);

}  // namespace textcodec
