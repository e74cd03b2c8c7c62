#include "client/app/sql_builder.h"

#include <cstdarg>
#include <cstdio>

#include "client/app/sql_text.h"
#include "platform/codepage.h"

CSQLBuilder::CSQLBuilder(Kind kind, std::string_view name) : kind_(kind), name_(name) {}

bool CSQLBuilder::Add(std::string_view column, std::string_view value) {
  if (platform::Cp949Length(column) > kMaxColumnLength) {
    error_ = "column name longer than 50 bytes: " + std::string(column);
    return false;
  }
  if (platform::Cp949Length(value) > kMaxValueLength) {
    error_ = "value of column " + std::string(column) + " longer than 2047 bytes";
    return false;
  }
  items_.push_back({std::string(column), std::string(value)});
  return true;
}

bool CSQLBuilder::AddText(std::string_view column, std::string_view value) { return Add(column, SqlQuote(value)); }

bool CSQLBuilder::AddFormat(std::string_view column, const char* format, ...) {
  char buf[kFormatBufferSize];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof buf) {
    error_ = "formatted value of column " + std::string(column) + " does not fit 4096 bytes";
    return false;
  }
  return Add(column, std::string_view(buf, static_cast<std::size_t>(n)));
}

void CSQLBuilder::Clear() {
  items_.clear();
  condition_.clear();
  tail_.clear();
  error_.clear();
}

std::string CSQLBuilder::Build() const {
  if (!IsValid()) return {};
  auto join = [&](auto piece) {
    std::string out;
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (i) out += ", ";
      out += piece(items_[i]);
    }
    return out;
  };
  auto column = [](const Item& it) { return it.column; };
  auto value = [](const Item& it) { return it.value; };
  std::string sql;
  switch (kind_) {
    case kInsert:
      sql = "insert into " + name_ + " ( " + join(column) + " ) values ( " + join(value) + " ) ";
      break;
    case kUpdate:
      sql = "update " + name_ + " set " + join([](const Item& it) { return it.column + " = " + it.value; });
      break;
    case kCall:
      sql = "{ call " + name_ + " (" + join(value) + ") }";
      break;
    case kExecute:
      sql = "execute " + name_ + " " + join(value);
      break;
  }
  if (!condition_.empty()) sql += " where " + condition_ + " ";
  sql += tail_;
  return sql;
}
