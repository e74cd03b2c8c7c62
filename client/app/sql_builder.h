// Builder of insert, update, procedure-call and execute statements from
// column/value items, an optional condition and a tail.
//
//   insert:  insert into T ( c1, c2 ) values ( v1, v2 )
//   update:  update T set c1 = v1, c2 = v2
//   call:    { call P (v1, v2) }
//   execute: execute P v1, v2
//
// followed by " where <condition> " when a condition is set, then the tail.
// Values are inserted as given by Add; AddText makes a text literal of a
// value (apostrophes doubled). An item whose column name is longer than 50
// bytes or whose value is longer than 2047 bytes (code page 949) is refused:
// the builder is then marked failed and Build() gives an empty text, since a
// statement with a cut or missing value would not be the one meant.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class CSQLBuilder {
 public:
  enum Kind { kInsert = 0, kUpdate = 1, kCall = 2, kExecute = 3 };
  static constexpr std::size_t kMaxColumnLength = 50;
  static constexpr std::size_t kMaxValueLength = 2047;
  static constexpr std::size_t kFormatBufferSize = 4096;

  explicit CSQLBuilder(Kind kind = kInsert, std::string_view name = {});

  void SetKind(Kind kind) { kind_ = kind; }
  void SetName(std::string_view table_or_procedure) { name_ = std::string(table_or_procedure); }
  void SetCondition(std::string_view condition) { condition_ = std::string(condition); }
  void SetTail(std::string_view tail) { tail_ = std::string(tail); }

  // Value as given.
  bool Add(std::string_view column, std::string_view value);
  // Value as a text literal: '...' with apostrophes doubled. Pass the value
  // as typed; it must not have gone through SqlText already.
  bool AddText(std::string_view column, std::string_view value);
  // Value formatted printf-style (through a 4096-byte buffer; a longer
  // result is refused).
  bool AddFormat(std::string_view column, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // Removes the items, the condition and the tail, and clears a failure.
  void Clear();

  // The statement; empty when an item was refused.
  std::string Build() const;
  bool IsValid() const { return error_.empty(); }
  const std::string& GetError() const { return error_; }
  int GetCount() const { return static_cast<int>(items_.size()); }

 private:
  struct Item {
    std::string column;
    std::string value;
  };
  Kind kind_;
  std::string name_;
  std::vector<Item> items_;
  std::string condition_;
  std::string tail_;
  std::string error_;
};
