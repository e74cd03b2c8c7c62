#include "client/dispatch/send_list.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace dispatch {

void SendList::Clear() {
  data_.clear();
  offsets_.clear();
  first_ = 0;
}

void SendList::Append(const SendRow& row) {
  offsets_.push_back(data_.size());
  for (const std::string& f : row) {
    const std::size_t n = std::min(f.size(), kMaxFieldBytes);
    data_.push_back(static_cast<char>(n & 0xff));
    data_.push_back(static_cast<char>(n >> 8));
    data_.append(f.data(), n);
  }
}

void SendList::AppendNumbered(std::string_view phone, const std::array<std::string_view, 4>& info) {
  offsets_.push_back(data_.size());
  const std::string number = std::to_string(size());
  auto put = [this](std::string_view f) {
    const std::size_t n = std::min(f.size(), kMaxFieldBytes);
    data_.push_back(static_cast<char>(n & 0xff));
    data_.push_back(static_cast<char>(n >> 8));
    data_.append(f.data(), n);
  };
  put(number);
  put(phone);
  for (std::string_view f : info) put(f);
}

std::string_view SendList::Get(std::size_t index, int column) const {
  assert(index < size() && column >= 0 && column < kSendColumns);
  std::size_t pos = offsets_[first_ + index];
  for (int c = 0;; ++c) {
    const std::size_t n = static_cast<unsigned char>(data_[pos]) | (static_cast<unsigned char>(data_[pos + 1]) << 8);
    if (c == column) return std::string_view(data_).substr(pos + 2, n);
    pos += 2 + n;
  }
}

SendRow SendList::GetRow(std::size_t index) const {
  SendRow row;
  for (int c = 0; c < kSendColumns; ++c) row[c] = std::string(Get(index, c));
  return row;
}

void SendList::Set(std::size_t index, int column, std::string_view value) {
  SendRow row = GetRow(index);
  row[column] = std::string(value);
  // Rewrites the row at the end of the arena; the old bytes are reclaimed by
  // the next compaction.
  const std::size_t slot = first_ + index;
  Append(row);
  offsets_[slot] = offsets_.back();
  offsets_.pop_back();
}

void SendList::RemoveFront(std::size_t n) {
  first_ += std::min(n, size());
  if (first_ == offsets_.size()) {
    Clear();
  } else if (first_ > 4096 && first_ * 2 > offsets_.size()) {
    Compact();
  }
}

void SendList::Remove(std::vector<std::size_t> indexes) {
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  std::vector<std::uint64_t> kept;
  kept.reserve(size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < size(); ++i) {
    if (k < indexes.size() && indexes[k] == i) {
      ++k;
      continue;
    }
    kept.push_back(offsets_[first_ + i]);
  }
  offsets_.swap(kept);
  first_ = 0;
  Compact();
}

void SendList::Compact() {
  std::string data;
  std::vector<std::uint64_t> offsets;
  offsets.reserve(size());
  for (std::size_t i = first_; i < offsets_.size(); ++i) {
    const std::size_t start = offsets_[i];
    std::size_t pos = start;
    for (int c = 0; c < kSendColumns; ++c)
      pos += 2 + (static_cast<unsigned char>(data_[pos]) | (static_cast<unsigned char>(data_[pos + 1]) << 8));
    offsets.push_back(data.size());
    data.append(data_, start, pos - start);
  }
  data_.swap(data);
  offsets_.swap(offsets);
  first_ = 0;
}

std::string_view CompactStringSet::Store(std::string_view text) {
  if (text.size() > kChunkBytes / 4) {
    // A long text gets a chunk of its own.
    chunks_.push_back(std::make_unique<char[]>(text.size() + 1));
    std::memcpy(chunks_.back().get(), text.data(), text.size());
    std::unique_ptr<char[]> own = std::move(chunks_.back());
    chunks_.pop_back();
    chunks_.insert(chunks_.begin(), std::move(own));
    return {chunks_.front().get(), text.size()};
  }
  if (chunk_used_ + text.size() > kChunkBytes) {
    chunks_.push_back(std::make_unique<char[]>(kChunkBytes));
    chunk_used_ = 0;
  }
  char* p = chunks_.back().get() + chunk_used_;
  std::memcpy(p, text.data(), text.size());
  chunk_used_ += text.size();
  return {p, text.size()};
}

bool CompactStringSet::Insert(std::string_view text) {
  auto it = set_.lower_bound(text);
  if (it != set_.end() && *it == text) return false;
  set_.insert(it, Store(text));
  return true;
}

void CompactStringSet::Clear() {
  set_.clear();
  chunks_.clear();
  chunk_used_ = kChunkBytes;
}

std::vector<std::string> CompactStringSet::Items() const { return {set_.begin(), set_.end()}; }

}  // namespace dispatch
