#include "client/app/sql_text.h"

std::string SqlText(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 8);
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string SqlQuote(std::string_view value) { return "'" + SqlText(value) + "'"; }
