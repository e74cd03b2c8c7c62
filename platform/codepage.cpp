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

// The modern Hangul syllables U+AC00..U+D7A3: code page 949 holds every one
// of them in two bytes.
constexpr char32_t kFirstSyllable = 0xAC00;
constexpr std::size_t kSyllables = 11172;

// The syllable at utf8[i] (a three-byte sequence), or 0.
char32_t SyllableAt(std::string_view utf8, std::size_t i) {
  const auto c0 = static_cast<unsigned char>(utf8[i]);
  if (c0 < 0xEA || c0 > 0xED || i + 2 >= utf8.size()) return 0;
  const auto c1 = static_cast<unsigned char>(utf8[i + 1]);
  const auto c2 = static_cast<unsigned char>(utf8[i + 2]);
  if ((c1 & 0xC0) != 0x80 || (c2 & 0xC0) != 0x80) return 0;
  const char32_t cp = (static_cast<char32_t>(c0 & 0x0F) << 12) | (static_cast<char32_t>(c1 & 0x3F) << 6) | (c2 & 0x3F);
  return cp >= kFirstSyllable && cp < kFirstSyllable + kSyllables ? cp : 0;
}

// The code page 949 bytes of every syllable, converted once by iconv (a
// constant table; empty when iconv does not give two bytes for each).
const std::string& SyllableTable() {
  static const std::string table = [] {
    std::string all;
    all.reserve(kSyllables * 3);
    for (char32_t cp = kFirstSyllable; cp < kFirstSyllable + kSyllables; ++cp) {
      all += static_cast<char>(0xE0 | (cp >> 12));
      all += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      all += static_cast<char>(0x80 | (cp & 0x3F));
    }
    std::string cp949 = Convert("CP949", "UTF-8", all, "?", 1);
    return cp949.size() == kSyllables * 2 ? cp949 : std::string();
  }();
  return table;
}

}  // namespace

std::string Utf8ToCp949(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  // Text of ASCII and Hangul syllables (almost every text here) goes through
  // the table; anything else through iconv.
  const std::string& table = SyllableTable();
  if (!table.empty()) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      if (c < 0x80) {
        out += static_cast<char>(c);
        ++i;
      } else if (const char32_t cp = SyllableAt(utf8, i)) {
        out.append(table, (cp - kFirstSyllable) * 2, 2);
        i += 3;
      } else {
        break;
      }
    }
    if (i == utf8.size()) return out;
  }
  return Convert("CP949", "UTF-8", utf8, "?", 1);
}

std::string Cp949ToUtf8(std::string_view cp949) {
  if (IsAscii(cp949)) return std::string(cp949);
  return Convert("UTF-8", "CP949", cp949, "\xEF\xBF\xBD", 1);
}

std::size_t Cp949Length(std::string_view utf8) {
  // ASCII is one byte, a Hangul syllable two; other text is converted.
  std::size_t n = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ++n;
      ++i;
    } else if (SyllableAt(utf8, i)) {
      n += 2;
      i += 3;
    } else {
      return Utf8ToCp949(utf8).size();
    }
  }
  return n;
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
