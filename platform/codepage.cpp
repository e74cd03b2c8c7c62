#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace platform {
namespace {

// One iconv conversion with a replacement for input it cannot convert.
// iconv descriptors are not thread-safe, so each call opens its own; the
// cost is small next to what the callers do with the text.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view replacement,
                    std::size_t bad_input_skip) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv_open failed for ") + from + " -> " + to);
  }
  std::string out;
  out.reserve(in.size() * 3 / 2 + 8);
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char buf[4096];
  while (src_left > 0) {
    char* dst = buf;
    std::size_t dst_left = sizeof buf;
    std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buf, dst - buf);
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end): replace and skip.
      out.append(replacement);
      std::size_t skip = bad_input_skip;
      if (from[0] == 'U') {
        // Skip one whole UTF-8 sequence when its lead byte says how long it is.
        unsigned char c = static_cast<unsigned char>(*src);
        skip = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        for (std::size_t i = 1; i < skip && i < src_left; ++i) {
          if ((static_cast<unsigned char>(src[i]) & 0xC0) != 0x80) { skip = i; break; }
        }
      }
      if (skip > src_left) skip = src_left;
      src += skip;
      src_left -= skip;
    }
  }
  char* dst = buf;
  std::size_t dst_left = sizeof buf;
  iconv(cd, nullptr, nullptr, &dst, &dst_left);
  out.append(buf, dst - buf);
  iconv_close(cd);
  return out;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string Utf8ToCp949(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Convert("CP949", "UTF-8", utf8, "?", 1);
}

std::string Cp949ToUtf8(std::string_view cp949) {
  if (IsAscii(cp949)) return std::string(cp949);
  return Convert("UTF-8", "CP949", cp949, "\xEF\xBF\xBD", 1);
}

std::size_t Cp949Length(std::string_view utf8) {
  if (IsAscii(utf8)) return utf8.size();
  return Utf8ToCp949(utf8).size();
}

std::string Cp949Truncate(std::string_view utf8, std::size_t max_bytes) {
  if (utf8.size() <= max_bytes) return std::string(utf8);
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + n > utf8.size()) n = utf8.size() - i;
    std::size_t width = n == 1 ? 1 : Utf8ToCp949(utf8.substr(i, n)).size();
    if (used + width > max_bytes) break;
    used += width;
    i += n;
  }
  return std::string(utf8.substr(0, i));
}

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) n = 1;
    else if (c >= 0xE0 && c <= 0xEF) n = 2;
    else if (c >= 0xF0 && c <= 0xF4) n = 3;
    else return false;
    for (std::size_t k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
    if (c == 0xE0 && c1 < 0xA0) return false;   // overlong
    if (c == 0xED && c1 > 0x9F) return false;   // surrogates
    if (c == 0xF0 && c1 < 0x90) return false;   // overlong
    if (c == 0xF4 && c1 > 0x8F) return false;   // above U+10FFFF
    i += n + 1;
  }
  return true;
}

}  // namespace platform
