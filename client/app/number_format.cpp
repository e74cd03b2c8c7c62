#include "client/app/number_format.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Adds one to a run of decimal digits ("" counts as 0).
std::string IncrementDigits(std::string digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return digits;
    }
    digits[i] = '0';
  }
  return "1" + digits;
}

}  // namespace

std::string FormatThousands(std::string_view text) {
  text = Trim(text);
  std::string out;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    out += text.front();
    text.remove_prefix(1);
  }
  std::size_t digits = 0;
  while (digits < text.size() && IsDigit(text[digits])) ++digits;
  for (std::size_t i = 0; i < digits; ++i) {
    if (i > 0 && (digits - i) % 3 == 0) out += ',';
    out += text[i];
  }
  out.append(text.substr(digits));
  return out;
}

std::string FormatThousands(long long number) { return FormatThousands(std::to_string(number)); }

std::string FormatAmount(std::string_view text, int decimals) {
  text = Trim(text);
  if (decimals < 0) decimals = 0;
  std::size_t dot = text.size() > 1 ? text.find('.', 1) : std::string_view::npos;
  if (dot == std::string_view::npos) return FormatThousands(text);
  std::string_view integer = text.substr(0, dot);
  std::string_view fraction = text.substr(dot + 1);
  const std::size_t keep = static_cast<std::size_t>(decimals);
  if (fraction.size() <= keep) return FormatThousands(integer) + "." + std::string(fraction);

  std::string frac(fraction.substr(0, keep));
  bool carry = false;
  if (fraction[keep] >= '5' && fraction[keep] <= '9') {
    // Round the kept digits up; a carry out of them goes to the integer.
    std::size_t i = frac.size();
    carry = true;
    while (carry && i-- > 0) {
      if (!IsDigit(frac[i])) {
        carry = false;  // not a number: nothing to round
        break;
      }
      if (frac[i] == '9') {
        frac[i] = '0';
      } else {
        ++frac[i];
        carry = false;
      }
    }
  }
  std::string int_text(integer);
  if (carry) {
    std::string sign;
    std::string_view body = Trim(integer);
    if (!body.empty() && (body.front() == '-' || body.front() == '+')) {
      sign = std::string(1, body.front());
      body.remove_prefix(1);
    }
    std::size_t digits = 0;
    while (digits < body.size() && IsDigit(body[digits])) ++digits;
    int_text = sign + IncrementDigits(std::string(body.substr(0, digits))) + std::string(body.substr(digits));
  }
  std::string out = FormatThousands(int_text);
  if (keep > 0) out += "." + frac;
  return out;
}

std::string RoundAt(std::string_view text, int n) {
  if (n < 0) n = 0;
  const std::size_t keep = static_cast<std::size_t>(n);
  if (text.size() <= keep) return std::string(text);
  std::string head(text.substr(0, keep));
  errno = 0;
  long value = std::strtol(head.c_str(), nullptr, 10);
  char next = text[keep];
  if (next >= '5' && next <= '9' && value < LONG_MAX) ++value;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%ld", value);
  return buf;
}
