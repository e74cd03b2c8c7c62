// One result record of the database service split into its fields.
//
// Record format (text, no length prefixes):
//
//   | part        | bytes | meaning                                   |
//   |-------------|-------|-------------------------------------------|
//   | field text  | n     | any bytes except the terminator           |
//   | ":;"        | 2     | ends the field                            |
//   | ...         |       | repeated once per field                   |
//   | trailing    | rest  | text after the last terminator: ignored   |
//
// A record without a terminator has no fields. At most kMaxFields fields
// are kept; the rest of a longer record is ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CRDBRecord {
 public:
  static constexpr int kMaxFields = 100;
  static constexpr std::string_view kTerminator = ":;";

  // Splits the record, replacing what an earlier call held; returns the
  // number of fields.
  int Parse(std::string_view record);
  int GetCount() const { return static_cast<int>(fields_.size()); }
  // The field text, or null when the index is not below the count.
  const char* GetField(int index) const;
  // The same as a view; empty when the index is out of range.
  std::string_view Field(int index) const;
  // Whether fields beyond kMaxFields were dropped by the last Parse.
  bool WasCut() const { return cut_; }

 private:
  std::vector<std::string> fields_;
  bool cut_ = false;
};

// Builds a record from fields (each followed by the terminator): what the
// service sends, for tests and for the reference provider.
std::string MakeRDBRecord(const std::vector<std::string>& fields);
