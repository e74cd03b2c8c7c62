// The sheet SQL of the workbook providers, run directly on the streaming
// readers: a sheet is a table named by its sheet name with '$' appended,
// its columns are the used columns of the sheet, its rows every row from the
// first to the last row with a value (rows without values inside that range
// are rows of empty values).
//
// Statements understood (keywords in any case, names in [brackets], in
// `backquotes` or bare; a table name may be the quoted form 'My Sheet$'):
//
//   select [top N] * from [Sheet1$]
//   select [top N] item, item ... from [Sheet1$]
//        item: column [[as] alias] | 'text' [[as] alias] | number [[as] alias]
//   select count(*) [[as] alias] from [Sheet1$]
//
// Anything else (where, order by, joins ...) is refused with a syntax error.
// "select *" and "top N" stream the sheet; count(*) and the column names come
// from one pass over the sheet that is remembered per sheet.
//
// Columns: with header off (HDR=No) they are F1, F2, ... counted from the
// first used column; with header on (HDR=Yes) the first row of the range
// names them (an empty or repeated name falls back to F<position>) and is not
// a data row. Names compare without ASCII case. An empty sheet has the one
// column F1 and no rows. Unnamed expressions are named Expr1000, Expr1001 ...
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "workbook/workbook.h"

namespace workbook {

// A failure as the providers report it: an HRESULT-style code and a
// description with context.
struct QueryError : std::runtime_error {
  QueryError(std::uint32_t code, const std::string& what) : std::runtime_error(what), code(code) {}
  std::uint32_t code;
};

// Codes used in QueryError.
inline constexpr std::uint32_t kErrUnspecified = 0x80004005;   // bad or unreadable workbook
inline constexpr std::uint32_t kErrSyntax = 0x80040E14;        // statement not understood
inline constexpr std::uint32_t kErrNoValue = 0x80040E10;       // unknown column
inline constexpr std::uint32_t kErrNoTable = 0x80040E37;       // no such sheet

// Parsed statement.
struct SheetQuery {
  struct Item {
    enum Kind { kColumn, kLiteral } kind = kColumn;
    std::string text;   // column name or literal value
    std::string alias;  // empty: the column's own name, or ExprNNNN
  };
  std::string table;  // as written, without brackets
  bool count = false;
  std::string count_alias;
  bool star = false;
  std::vector<Item> items;
  std::optional<std::uint64_t> top;
};

// Parses one statement; throws QueryError(kErrSyntax, ...).
SheetQuery ParseSheetQuery(const std::string& sql);

// The rows of an executed statement.
class ResultRows {
 public:
  virtual ~ResultRows() = default;
  const std::vector<std::string>& fields() const { return fields_; }
  // Next record into values (one text per field); false at the end.
  virtual bool Fetch(std::vector<std::string>& values) = 0;
  // Back to before the first record (the statement runs again).
  virtual void Rewind() = 0;

 protected:
  std::vector<std::string> fields_;
};

// Fixed rows (schema lists, counts).
class FixedRows : public ResultRows {
 public:
  FixedRows(std::vector<std::string> fields, std::vector<std::vector<std::string>> rows);
  bool Fetch(std::vector<std::string>& values) override;
  void Rewind() override { next_ = 0; }

 private:
  std::vector<std::vector<std::string>> rows_;
  std::size_t next_ = 0;
};

// A workbook opened for queries.
// Held through std::shared_ptr: the rows of a statement keep the workbook
// open, so a recordset outliving its connection's Close stays safe.
class SheetDatabase : public std::enable_shared_from_this<SheetDatabase> {
  struct Key {};

 public:
  static std::shared_ptr<SheetDatabase> Create(std::unique_ptr<Workbook> workbook, bool header) {
    return std::make_shared<SheetDatabase>(Key{}, std::move(workbook), header);
  }
  // Through Create only (the key is private).
  SheetDatabase(Key, std::unique_ptr<Workbook> workbook, bool header);

  // Table names as the providers list them: "Sheet1$", or 'My Sheet$' in
  // apostrophes when the name holds characters other than letters, digits
  // and underscores (apostrophes in it doubled).
  std::vector<std::string> TableNames() const;

  // Runs a statement; throws QueryError (WorkbookError from the readers is
  // turned into QueryError(kErrUnspecified)).
  std::unique_ptr<ResultRows> Execute(const std::string& sql);

  // What the one pass over a sheet learns.
  struct Shape {
    bool empty = true;
    std::uint32_t first_row = 0, last_row = 0, first_col = 0, columns = 1;
    std::vector<std::string> names;  // column names
  };
  const Shape& SheetShape(std::size_t sheet);
  Workbook& workbook() { return *workbook_; }
  bool header() const { return header_; }

 private:
  std::size_t FindSheet(const std::string& table) const;

  std::unique_ptr<Workbook> workbook_;
  bool header_;
  std::map<std::size_t, Shape> shapes_;
};

}  // namespace workbook
