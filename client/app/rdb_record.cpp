#include "client/app/rdb_record.h"

int CRDBRecord::Parse(std::string_view record) {
  fields_.clear();
  cut_ = false;
  std::size_t pos = 0;
  while (record.size() - pos >= kTerminator.size()) {
    std::size_t end = record.find(kTerminator, pos);
    if (end == std::string_view::npos) break;
    if (fields_.size() == static_cast<std::size_t>(kMaxFields)) {
      cut_ = true;
      break;
    }
    fields_.emplace_back(record.substr(pos, end - pos));
    pos = end + kTerminator.size();
  }
  return GetCount();
}

const char* CRDBRecord::GetField(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return fields_[static_cast<std::size_t>(index)].c_str();
}

std::string_view CRDBRecord::Field(int index) const {
  if (index < 0 || index >= GetCount()) return {};
  return fields_[static_cast<std::size_t>(index)];
}

std::string MakeRDBRecord(const std::vector<std::string>& fields) {
  std::string out;
  for (const auto& f : fields) {
    out += f;
    out += CRDBRecord::kTerminator;
  }
  return out;
}
