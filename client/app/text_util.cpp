#include "client/app/text_util.h"

std::string GetDigits(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c >= '0' && c <= '9' && out.size() < kMaxDigits) out += c;
  }
  return out;
}

void StripNonDigits(std::string& text) { text = GetDigits(text); }

int FormatTelNo(std::string& text) {
  text = GetDigits(text);
  const std::size_t n = text.size();
  if ((n != 9 && n != 10 && n != 11) || text.compare(0, 2, "00") == 0) return 0;
  std::size_t first = 3, second = 3;
  if (n == 9) {
    first = 2;
  } else if (n == 10) {
    if (text.compare(0, 2, "02") == 0) {
      first = 2;
      second = 4;
    }
  } else {
    second = 4;
  }
  text = text.substr(0, first) + "-" + text.substr(first, second) + "-" + text.substr(first + second);
  return 1;
}

std::string GetCode(std::string_view code_and_name) {
  std::size_t dot = code_and_name.find('.');
  if (dot == std::string_view::npos) return {};
  return std::string(code_and_name.substr(0, dot));
}
