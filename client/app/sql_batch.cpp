#include "client/app/sql_batch.h"

#include "platform/codepage.h"

void CSQLBatch::Clear() {
  text_.clear();
  length_ = 0;
  count_ = 0;
}

bool CSQLBatch::Add(std::string_view statement) { return TryAdd(statement) == AddResult::kAdded; }

CSQLBatch::AddResult CSQLBatch::TryAdd(std::string_view statement) {
  if (statement.find(kSeparator) != std::string_view::npos) return AddResult::kInvalid;
  std::size_t len = platform::Cp949Length(statement);
  if (len + kSeparator.size() > kMaxLength) return AddResult::kTooLong;
  if (len + length_ + kSeparator.size() > kMaxLength) return AddResult::kFull;
  text_.append(statement);
  text_.append(kSeparator);
  length_ += len + kSeparator.size();
  ++count_;
  return AddResult::kAdded;
}
