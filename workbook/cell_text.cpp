#include "workbook/cell_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace workbook {

bool FormatNumberText(std::string_view t, std::string& out) {
  // Plain decimal: [-]digits[.digits], at most 15 significant digits.
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && t[i] == '-') negative = true, ++i;
  std::size_t int_begin = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  std::size_t int_end = i, frac_begin = i, frac_end = i;
  if (i < t.size() && t[i] == '.') {
    frac_begin = ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    frac_end = i;
  }
  if (i != t.size() || (int_end == int_begin && frac_end == frac_begin)) return false;
  while (int_begin < int_end && t[int_begin] == '0') ++int_begin;
  while (frac_end > frac_begin && t[frac_end - 1] == '0') --frac_end;
  std::size_t significant = (int_end - int_begin) + (frac_end - frac_begin);
  if (int_begin == int_end) {  // 0.000ddd: leading fraction zeros do not count
    std::size_t k = frac_begin;
    while (k < frac_end && t[k] == '0') ++k;
    significant = frac_end - k;
  }
  if (significant > 15) return false;
  std::string r;
  if (significant == 0) {
    out.assign(1, '0');
    return true;
  }
  if (negative) r += '-';
  if (int_begin == int_end) r += '0';
  else r.append(t.data() + int_begin, int_end - int_begin);
  if (frac_end > frac_begin) {
    r += '.';
    r.append(t.data() + frac_begin, frac_end - frac_begin);
  }
  out = std::move(r);
  return true;
}

std::string FormatNumber(double value) {
  if (std::isnan(value)) return "#NUM!";
  if (std::isinf(value)) return value > 0 ? "#NUM!" : "-#NUM!";
  if (value == 0) return "0";
  // 15 significant digits in scientific form, then laid out in plain notation.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", value);
  std::string s(buf);
  bool negative = s[0] == '-';
  if (negative) s.erase(0, 1);
  std::size_t e = s.find('e');
  int exponent = std::atoi(s.c_str() + e + 1);
  std::string digits;
  for (std::size_t i = 0; i < e; ++i)
    if (s[i] != '.') digits += s[i];
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  int point = exponent + 1;  // digits before the decimal point
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out += digits;
  } else if (static_cast<std::size_t>(point) >= digits.size()) {
    out += digits;
    out.append(static_cast<std::size_t>(point) - digits.size(), '0');
  } else {
    out += digits.substr(0, static_cast<std::size_t>(point));
    out += '.';
    out += digits.substr(static_cast<std::size_t>(point));
  }
  return out;
}

namespace {

// Days from 0001-01-01 (proleptic Gregorian) to y-m-d; inverse below.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;  // days since 1970-01-01
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

}  // namespace

std::string FormatSerialDate(double serial, bool date1904) {
  if (!std::isfinite(serial) || serial < 0 || serial > 3e6) return FormatNumber(serial);
  std::int64_t seconds = std::llround(serial * 86400.0);
  std::int64_t day = seconds / 86400;
  std::int64_t secs = seconds % 86400;
  std::int64_t y;
  unsigned m, d;
  if (date1904) {
    CivilFromDays(DaysFromCivil(1904, 1, 1) + day, y, m, d);
  } else if (day == 60) {
    y = 1900, m = 2, d = 29;  // the day Excel's 1900 system counts but the calendar lacks
  } else {
    CivilFromDays(DaysFromCivil(1899, 12, 31) + day - (day > 60 ? 1 : 0), y, m, d);
  }
  if (y > 9999) return FormatNumber(serial);
  char buf[48];
  bool has_date = date1904 || day != 0;
  if (secs == 0 && has_date) {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
  } else if (!has_date) {
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
  } else {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(y), m,
                  d, static_cast<long long>(secs / 3600), static_cast<long long>(secs / 60 % 60),
                  static_cast<long long>(secs % 60));
  }
  return buf;
}

bool IsDateFormat(std::uint32_t id, std::string_view code) {
  if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
      (id >= 50 && id <= 58))
    return true;
  if (code.empty()) return false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == '"') {
      std::size_t close = code.find('"', i + 1);
      if (close == std::string_view::npos) return false;
      i = close;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;  // the next character is literal (or a padding character)
    } else if (c == '[') {
      std::size_t close = code.find(']', i + 1);
      if (close == std::string_view::npos) return false;
      std::string_view inner = code.substr(i + 1, close - i - 1);
      // [h], [mm], [ss]: elapsed time; anything else is colour, locale or condition.
      if (!inner.empty() && (inner[0] == 'h' || inner[0] == 'H' || inner[0] == 'm' ||
                             inner[0] == 'M' || inner[0] == 's' || inner[0] == 'S'))
        return true;
      i = close;
    } else if ((c == 'G' || c == 'g') && code.size() - i >= 7 &&
               (code.substr(i, 7) == "General" || code.substr(i, 7) == "general")) {
      i += 6;
    } else if (c == ';') {
      return false;  // only the first section decides
    } else {
      switch (c) {
        case 'd': case 'D': case 'm': case 'M': case 'y': case 'Y':
        case 'h': case 'H': case 's': case 'S':
          return true;
        default:
          break;
      }
    }
  }
  return false;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

// Reads "_xHHHH_" at text[i]; returns the code unit or -1.
int EscapeAt(std::string_view text, std::size_t i) {
  if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return -1;
  int v = 0;
  for (std::size_t k = i + 2; k < i + 6; ++k) {
    char c = text[k];
    int h = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (h < 0) return -1;
    v = v * 16 + h;
  }
  return v;
}

}  // namespace

std::string DecodeXmlEscapes(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    int unit = EscapeAt(text, i);
    if (unit < 0) {
      out += text[i++];
      continue;
    }
    i += 7;
    std::uint32_t cp = static_cast<std::uint32_t>(unit);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      int low = EscapeAt(text, i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
        i += 7;
      }
    }
    AppendUtf8(out, cp);
  }
  return out;
}

bool ParseColumnLetters(std::string_view ref, std::uint32_t& col, std::uint32_t& row1) {
  std::size_t i = 0;
  std::uint32_t c = 0;
  while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
    if (i >= 3) return false;  // beyond XFD
    c = c * 26 + static_cast<std::uint32_t>((ref[i] | 0x20) - 'a' + 1);
    ++i;
  }
  if (i == 0) return false;
  col = c - 1;
  std::uint32_t r = 0;
  std::size_t digits = 0;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') {
    if (++digits > 7) return false;
    r = r * 10 + static_cast<std::uint32_t>(ref[i] - '0');
    ++i;
  }
  if (i != ref.size()) return false;
  row1 = r;  // 0 when the reference has no row part
  return true;
}

}  // namespace workbook
