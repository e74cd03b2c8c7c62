#include "workbook/sheet_query.h"

#include <algorithm>

#include "workbook/workbook.h"

namespace workbook {
namespace {

struct Token {
  enum Kind { kEnd, kWord, kQuotedName, kString, kNumber, kPunct } kind = kEnd;
  std::string text;
};

bool WordChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '#' || c >= 0x80;
}

std::vector<Token> Tokenize(const std::string& sql) {
  std::vector<Token> out;
  std::size_t i = 0;
  auto fail = [&](const std::string& why) {
    throw QueryError(kErrSyntax, "syntax error in statement: " + why + " at offset " + std::to_string(i));
  };
  while (i < sql.size()) {
    unsigned char c = static_cast<unsigned char>(sql[i]);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '[' || c == '`') {
      char close = c == '[' ? ']' : '`';
      std::size_t end = sql.find(close, i + 1);
      if (end == std::string::npos) fail("unclosed name");
      out.push_back({Token::kQuotedName, sql.substr(i + 1, end - i - 1)});
      i = end + 1;
    } else if (c == '\'' || c == '"') {
      std::string text;
      std::size_t j = i + 1;
      for (;;) {
        if (j >= sql.size()) fail("unclosed text literal");
        if (sql[j] == static_cast<char>(c)) {
          if (j + 1 < sql.size() && sql[j + 1] == static_cast<char>(c)) {
            text += static_cast<char>(c);
            j += 2;
            continue;
          }
          break;
        }
        text += sql[j++];
      }
      out.push_back({Token::kString, text});
      i = j + 1;
    } else if (c >= '0' && c <= '9') {
      std::size_t j = i;
      while (j < sql.size() && ((sql[j] >= '0' && sql[j] <= '9') || sql[j] == '.')) ++j;
      if (j < sql.size() && WordChar(static_cast<unsigned char>(sql[j]))) {
        while (j < sql.size() && WordChar(static_cast<unsigned char>(sql[j]))) ++j;
        out.push_back({Token::kWord, sql.substr(i, j - i)});
      } else {
        out.push_back({Token::kNumber, sql.substr(i, j - i)});
      }
      i = j;
    } else if (WordChar(c)) {
      std::size_t j = i;
      while (j < sql.size() && WordChar(static_cast<unsigned char>(sql[j]))) ++j;
      out.push_back({Token::kWord, sql.substr(i, j - i)});
      i = j;
    } else if (c > ' ' && c < 0x7F) {  // punctuation; the parser refuses what it does not know
      out.push_back({Token::kPunct, std::string(1, static_cast<char>(c))});
      ++i;
    } else {
      fail(std::string("unexpected character '") + static_cast<char>(c) + "'");
    }
  }
  out.push_back({Token::kEnd, ""});
  return out;
}

bool IsKeyword(const std::string& w) {
  static const char* const kWords[] = {"select", "from", "where", "order", "group", "by", "as", "top",
                                       "having", "union", "join", "into", "distinct", "and", "or"};
  for (const char* k : kWords)
    if (EqualsNoCaseAscii(w, k)) return true;
  return false;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> t) : t_(std::move(t)) {}

  SheetQuery Parse() {
    SheetQuery q;
    ExpectWord("select");
    if (IsWord("top")) {
      ++p_;
      if (t_[p_].kind != Token::kNumber || t_[p_].text.find('.') != std::string::npos) Fail("a row count after top");
      q.top = std::stoull(t_[p_].text.substr(0, 18));
      ++p_;
      if (IsWord("percent")) Fail("top ... percent is not supported;");
    }
    if (IsWord("distinct")) Fail("distinct is not supported;");
    if (IsPunct("*")) {
      q.star = true;
      ++p_;
    } else {
      for (;;) {
        if (IsWord("count") && t_[p_ + 1].kind == Token::kPunct && t_[p_ + 1].text == "(") {
          p_ += 2;
          ExpectPunct("*");
          ExpectPunct(")");
          q.count = true;
          q.count_alias = Alias();
        } else {
          SheetQuery::Item item;
          const Token& tok = t_[p_];
          if (tok.kind == Token::kQuotedName || (tok.kind == Token::kWord && !IsKeyword(tok.text))) {
            item.kind = SheetQuery::Item::kColumn;
          } else if (tok.kind == Token::kString || tok.kind == Token::kNumber) {
            item.kind = SheetQuery::Item::kLiteral;
          } else {
            Fail("a column, a text or a number");
          }
          item.text = tok.text;
          ++p_;
          item.alias = Alias();
          q.items.push_back(std::move(item));
        }
        if (!IsPunct(",")) break;
        ++p_;
      }
      if (q.count && !q.items.empty()) Fail("count(*) alone (no group by);");
    }
    ExpectWord("from");
    const Token& table = t_[p_];
    if (table.kind != Token::kQuotedName && table.kind != Token::kWord && table.kind != Token::kString)
      Fail("a sheet name");
    q.table = table.text;
    ++p_;
    if (IsPunct(";")) ++p_;
    if (t_[p_].kind != Token::kEnd)
      throw QueryError(kErrSyntax, "statement not supported on a sheet near '" + t_[p_].text +
                                       "': only select [top n] * | columns | count(*) from [sheet$]");
    return q;
  }

 private:
  [[noreturn]] void Fail(const std::string& expected) {
    std::string near = t_[p_].kind == Token::kEnd ? "the end" : "'" + t_[p_].text + "'";
    throw QueryError(kErrSyntax, "syntax error in statement: expected " + expected + " near " + near);
  }
  bool IsWord(const char* w) const { return t_[p_].kind == Token::kWord && EqualsNoCaseAscii(t_[p_].text, w); }
  bool IsPunct(const char* p) const { return t_[p_].kind == Token::kPunct && t_[p_].text == p; }
  void ExpectWord(const char* w) {
    if (!IsWord(w)) Fail(w);
    ++p_;
  }
  void ExpectPunct(const char* p) {
    if (!IsPunct(p)) Fail(std::string("'") + p + "'");
    ++p_;
  }
  std::string Alias() {
    if (IsWord("as")) {
      ++p_;
      const Token& a = t_[p_];
      if (a.kind != Token::kWord && a.kind != Token::kQuotedName && a.kind != Token::kString) Fail("a name after as");
      ++p_;
      return a.text;
    }
    if ((t_[p_].kind == Token::kWord && !IsKeyword(t_[p_].text)) || t_[p_].kind == Token::kQuotedName)
      return t_[p_++].text;
    return {};
  }

  std::vector<Token> t_;
  std::size_t p_ = 0;
};

std::string ColumnName(std::uint32_t pos) { return "F" + std::to_string(pos + 1); }

// Streams the rows of one sheet through a projection.
class SheetRows : public ResultRows {
 public:
  struct Source {
    bool literal;
    std::uint32_t column;
    std::string text;
  };
  SheetRows(std::shared_ptr<SheetDatabase> db, std::size_t sheet, std::vector<std::string> fields, std::vector<Source> sources,
            std::optional<std::uint64_t> top)
      : db_(std::move(db)), sheet_(sheet), shape_(db_->SheetShape(sheet)), sources_(std::move(sources)), top_(top) {
    fields_ = std::move(fields);
    Rewind();
  }

  void Rewind() override {
    cursor_.reset();
    have_pending_ = false;
    done_ = false;
    produced_ = 0;
    next_row_ = shape_.first_row + (db_->header() ? 1 : 0);
  }

  bool Fetch(std::vector<std::string>& values) override {
    if (shape_.empty || (top_ && produced_ >= *top_) || next_row_ > shape_.last_row) return false;
    if (!cursor_) cursor_ = db_->workbook().OpenSheet(sheet_, true);
    std::uint32_t r = next_row_++;
    while (!done_ && (!have_pending_ || pending_.index < r)) {
      have_pending_ = cursor_->Next(pending_);
      done_ = !have_pending_;
    }
    row_.assign(shape_.columns, std::string());
    if (have_pending_ && pending_.index == r) {
      for (auto& c : pending_.cells)
        if (c.col >= shape_.first_col && c.col - shape_.first_col < shape_.columns)
          row_[c.col - shape_.first_col] = std::move(c.text);
      have_pending_ = false;
    }
    values.resize(sources_.size());
    for (std::size_t i = 0; i < sources_.size(); ++i)
      values[i] = sources_[i].literal ? sources_[i].text : row_[sources_[i].column];
    ++produced_;
    return true;
  }

 private:
  std::shared_ptr<SheetDatabase> db_;
  std::size_t sheet_;
  const SheetDatabase::Shape& shape_;
  std::vector<Source> sources_;
  std::optional<std::uint64_t> top_;
  std::unique_ptr<RowCursor> cursor_;
  Row pending_;
  std::vector<std::string> row_;
  bool have_pending_ = false, done_ = false;
  std::uint64_t produced_ = 0;
  std::uint32_t next_row_ = 0;
};

bool PlainName(std::string_view name) {
  for (unsigned char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80))
      return false;
  return !name.empty();
}

}  // namespace

SheetQuery ParseSheetQuery(const std::string& sql) { return Parser(Tokenize(sql)).Parse(); }

FixedRows::FixedRows(std::vector<std::string> fields, std::vector<std::vector<std::string>> rows)
    : rows_(std::move(rows)) {
  fields_ = std::move(fields);
}

bool FixedRows::Fetch(std::vector<std::string>& values) {
  if (next_ >= rows_.size()) return false;
  values = rows_[next_++];
  return true;
}

SheetDatabase::SheetDatabase(Key, std::unique_ptr<Workbook> workbook, bool header)
    : workbook_(std::move(workbook)), header_(header) {}

std::vector<std::string> SheetDatabase::TableNames() const {
  std::vector<std::string> out;
  for (const std::string& name : workbook_->SheetNames()) {
    if (PlainName(name)) {
      out.push_back(name + "$");
    } else {
      std::string q = "'";
      for (char c : name) q += c == '\'' ? std::string("''") : std::string(1, c);
      out.push_back(q + "$'");
    }
  }
  return out;
}

std::size_t SheetDatabase::FindSheet(const std::string& table) const {
  std::string name = table;
  if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') {
    std::string inner;
    for (std::size_t i = 1; i + 1 < name.size(); ++i) {
      inner += name[i];
      if (name[i] == '\'' && name[i + 1] == '\'') ++i;
    }
    name = inner;
  }
  if (!name.empty() && name.back() == '$') {
    name.pop_back();
    const auto& names = workbook_->SheetNames();
    for (std::size_t i = 0; i < names.size(); ++i)
      if (EqualsNoCaseAscii(names[i], name)) return i;
  }
  throw QueryError(kErrNoTable, "cannot find the sheet '" + table +
                                    "': name a sheet with a trailing $, as the table list gives it (e.g. [Sheet1$])");
}

const SheetDatabase::Shape& SheetDatabase::SheetShape(std::size_t sheet) {
  auto it = shapes_.find(sheet);
  if (it != shapes_.end()) return it->second;
  Shape s;
  {
    auto cursor = workbook_->OpenSheet(sheet, false);
    Row row;
    std::uint32_t max_col = 0;
    while (cursor->Next(row)) {
      if (row.cells.empty()) continue;
      if (s.empty) {
        s.empty = false;
        s.first_row = row.index;
        s.first_col = row.cells.front().col;
      }
      s.last_row = row.index;
      s.first_col = std::min(s.first_col, row.cells.front().col);
      max_col = std::max(max_col, row.cells.back().col);
    }
    if (!s.empty) s.columns = max_col - s.first_col + 1;
  }
  s.names.resize(s.columns);
  for (std::uint32_t k = 0; k < s.columns; ++k) s.names[k] = ColumnName(k);
  if (header_ && !s.empty) {
    auto cursor = workbook_->OpenSheet(sheet, true);
    Row first;
    if (cursor->Next(first)) {
      for (auto& c : first.cells) {
        if (c.col < s.first_col || c.col - s.first_col >= s.columns) continue;
        std::uint32_t k = c.col - s.first_col;
        bool taken = false;
        for (std::uint32_t j = 0; j < s.columns; ++j)
          if (j != k && EqualsNoCaseAscii(s.names[j], c.text)) taken = true;
        if (!c.text.empty() && !taken) s.names[k] = c.text;
      }
    }
  }
  return shapes_.emplace(sheet, std::move(s)).first->second;
}

std::unique_ptr<ResultRows> SheetDatabase::Execute(const std::string& sql) {
  SheetQuery q = ParseSheetQuery(sql);
  std::size_t sheet = FindSheet(q.table);
  const Shape* shape;
  try {
    shape = &SheetShape(sheet);
  } catch (const WorkbookError& e) {
    throw QueryError(kErrUnspecified, e.what());
  }
  if (q.count) {
    std::uint64_t rows = shape->empty ? 0 : shape->last_row - shape->first_row + 1;
    if (header_ && rows > 0) --rows;
    return std::make_unique<FixedRows>(std::vector<std::string>{q.count_alias.empty() ? "Expr1000" : q.count_alias},
                                       std::vector<std::vector<std::string>>{{std::to_string(rows)}});
  }
  std::vector<std::string> fields;
  std::vector<SheetRows::Source> sources;
  if (q.star) {
    for (std::uint32_t k = 0; k < shape->columns; ++k) {
      fields.push_back(shape->names[k]);
      sources.push_back({false, k, {}});
    }
  } else {
    int expr = 1000;
    for (auto& item : q.items) {
      if (item.kind == SheetQuery::Item::kLiteral) {
        fields.push_back(item.alias.empty() ? "Expr" + std::to_string(expr++) : item.alias);
        sources.push_back({true, 0, item.text});
        continue;
      }
      std::optional<std::uint32_t> col;
      for (std::uint32_t k = 0; k < shape->columns && !col; ++k)
        if (EqualsNoCaseAscii(shape->names[k], item.text)) col = k;
      if (!col)
        throw QueryError(kErrNoValue, "no value given for one or more required parameters: unknown column '" +
                                          item.text + "' in [" + q.table + "]");
      fields.push_back(item.alias.empty() ? shape->names[*col] : item.alias);
      sources.push_back({false, *col, {}});
    }
  }
  return std::make_unique<SheetRows>(shared_from_this(), sheet, std::move(fields), std::move(sources), q.top);
}

}  // namespace workbook
