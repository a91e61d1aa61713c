#include "common/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace {

// One iconv conversion descriptor per call: iconv_t is not safe to share
// between threads, and opening one costs microseconds.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// Converts with iconv; an input sequence that cannot be converted is handled by
// `onBad(bytes, length, out)`, which returns false to give up.
template <typename OnBad>
bool Convert(const char* to, const char* from, std::string_view in, std::string* out,
             OnBad onBad, size_t (*badLength)(std::string_view)) {
  Iconv cd(to, from);
  if (!cd.ok()) return false;
  out->clear();
  char buffer[1024];
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    size_t r = iconv(cd.get(), &src, &left, &dst, &room);
    out->append(buffer, static_cast<size_t>(dst - buffer));
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ (not representable / invalid) or EINVAL (cut off at the end).
    size_t n = std::min(left, badLength(std::string_view(src, left)));
    if (!onBad(std::string_view(src, n), out)) return false;
    src += n;
    left -= n;
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
  }
  return true;
}

size_t Utf8BadLength(std::string_view s) {
  size_t n = Utf8SequenceLength(static_cast<unsigned char>(s[0]));
  // A stray continuation byte or a short sequence counts one byte at a time.
  for (size_t i = 1; i < n; ++i) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

size_t GbkBadLength(std::string_view s) {
  unsigned char lead = static_cast<unsigned char>(s[0]);
  return (lead >= 0x81 && lead <= 0xFE && s.size() >= 2) ? 2 : 1;
}

// UTF-8 to GBK the way the display conversions do it: what GBK lacks, and
// bytes that are not UTF-8, become the code page's default character '?'.
int32_t Utf8ToCp936Display(const char* source, char* destination, int32_t capacity) {
  if (source == nullptr) return 0;
  std::string out;
  bool ok = Convert(
      "CP936", "UTF-8", std::string_view(source), &out,
      [](std::string_view, std::string* o) {
        o->push_back('?');
        return true;
      },
      Utf8BadLength);
  if (!ok) return 0;
  int32_t size = static_cast<int32_t>(out.size()) + 1;
  if (destination == nullptr) return size;
  if (capacity < size) return 0;
  std::memcpy(destination, out.c_str(), static_cast<size_t>(size));
  return size;
}

}  // namespace

int32_t Utf8ToOemText(const char* source, char* destination, int32_t capacity) {
  return Utf8ToCp936Display(source, destination, capacity);
}

int32_t Utf8ToAnsiText(const char* source, char* destination, int32_t capacity) {
  return Utf8ToCp936Display(source, destination, capacity);
}

namespace textcodec {

bool Utf8ToGbk(std::string_view utf8, std::string* gbk, std::string* bad) {
  return Convert(
      "CP936", "UTF-8", utf8, gbk,
      [bad](std::string_view seq, std::string*) {
        if (bad) bad->assign(seq);
        return false;
      },
      Utf8BadLength);
}

bool GbkToUtf8(std::string_view gbk, std::string* utf8) {
  bool clean = true;
  bool ok = Convert(
      "UTF-8", "CP936", gbk, utf8,
      [&clean](std::string_view, std::string* o) {
        o->append("\xEF\xBF\xBD");
        clean = false;
        return true;
      },
      GbkBadLength);
  return ok && clean;
}

size_t GbkPrefixLength(std::string_view gbk, size_t maxBytes) {
  size_t i = 0;
  while (i < gbk.size()) {
    unsigned char c = static_cast<unsigned char>(gbk[i]);
    size_t n = (c >= 0x81 && i + 1 < gbk.size()) ? 2 : 1;
    if (i + n > maxBytes) break;
    i += n;
  }
  return i;
}

}  // namespace textcodec
