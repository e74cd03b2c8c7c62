// A batch of statements for one bulk execution: the statements, each
// followed by the separator "~$#^@*", in at most 50000 bytes of code page
// 949 text (the form in which the batch travels), and their count.
//
//   | part       | bytes | meaning                                     |
//   |------------|-------|---------------------------------------------|
//   | statement  | n     | SQL text, never holding the separator       |
//   | "~$#^@*"   | 6     | ends the statement                          |
//   | ...        |       | once per statement; the total is <= 50000   |
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CSQLBatch {
 public:
  static constexpr std::size_t kMaxLength = 50000;
  static constexpr std::string_view kSeparator = "~$#^@*";

  enum class AddResult {
    kAdded,
    kFull,     // does not fit now; send the batch, clear it, add again
    kTooLong,  // would not fit even into an empty batch
    kInvalid,  // holds the separator, which would split it into two statements
  };

  CSQLBatch() = default;

  // Empties the text and zeroes the count.
  void Clear();
  // TRUE when appended; FALSE, with nothing changed, when it does not fit
  // (or can never be added: see TryAdd).
  bool Add(std::string_view statement);
  // Add that tells why a statement was not added.
  AddResult TryAdd(std::string_view statement);

  // UTF-8 text of the batch and its statement count, for the bulk call.
  const std::string& GetText() const { return text_; }
  int GetCount() const { return count_; }
  // Length of the text in code page 949 bytes.
  std::size_t GetLength() const { return length_; }

 private:
  std::string text_;
  std::size_t length_ = 0;
  int count_ = 0;
};
