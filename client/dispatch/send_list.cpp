#include "client/dispatch/send_list.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstring>
#include <new>

namespace dispatch {

void SendList::Clear() {
  data_.clear();
  offsets_.clear();
  first_ = 0;
}

void SendList::Reserve(std::size_t rows, std::size_t text_bytes) {
  // Each row adds its number and the six length prefixes to its text.
  offsets_.reserve(offsets_.size() + rows);
  data_.reserve(data_.size() + text_bytes + rows * (2 * kSendColumns + 7));
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
  char number[24];
  const std::size_t number_size =
      static_cast<std::size_t>(std::to_chars(number, number + sizeof number, size()).ptr - number);
  const std::array<std::string_view, kSendColumns> fields = {
      std::string_view(number, number_size), phone, info[0], info[1], info[2], info[3]};
  // A row of the usual size is put together on the stack and appended at once.
  char row[512];
  std::size_t used = 0;
  for (std::string_view f : fields) {
    const std::size_t n = std::min(f.size(), kMaxFieldBytes);
    if (used + 2 + n > sizeof row) {
      data_.append(row, used);
      used = 0;
      if (2 + n > sizeof row) {
        data_.push_back(static_cast<char>(n & 0xff));
        data_.push_back(static_cast<char>(n >> 8));
        data_.append(f.data(), n);
        continue;
      }
    }
    row[used] = static_cast<char>(n & 0xff);
    row[used + 1] = static_cast<char>(n >> 8);
    if (n != 0) std::memcpy(row + used + 2, f.data(), n);  // an empty view may have no data
    used += 2 + n;
  }
  data_.append(row, used);
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

CompactStringSet::Key::Key(std::string_view inline_text) {
  assert(inline_text.size() <= kInlineBytes);
  std::memset(raw_, 0, sizeof raw_);
  std::memcpy(raw_, inline_text.data(), inline_text.size());
  raw_[15] = static_cast<char>(inline_text.size());
}

CompactStringSet::Key::Key(const char* stored, std::uint32_t size) {
  std::memcpy(raw_, &stored, sizeof stored);
  std::memcpy(raw_ + sizeof stored, &size, sizeof size);
  raw_[15] = static_cast<char>(kExternal);
}

std::string_view CompactStringSet::Key::view() const {
  const auto last = static_cast<unsigned char>(raw_[15]);
  if (last != kExternal) return {raw_, last};
  const char* stored;
  std::uint32_t size;
  std::memcpy(&stored, raw_, sizeof stored);
  std::memcpy(&size, raw_ + sizeof stored, sizeof size);
  return {stored, size};
}

namespace {

// Up to 8 bytes as a big-endian number, zero-filled: comparing two of them
// orders their bytes as memcmp does.
inline std::uint64_t Word(const char* p, std::size_t n) {
  std::uint64_t w = 0;
  if (n == 8) {
    std::memcpy(&w, p, 8);
  } else {
    for (std::size_t i = 0; i < n; ++i) w |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  }
  return __builtin_bswap64(w);
}

}  // namespace

bool CompactStringSet::Before(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; i += 8) {
    const std::size_t n = std::min<std::size_t>(8, common - i);
    const std::uint64_t wa = Word(a.data() + i, n);
    const std::uint64_t wb = Word(b.data() + i, n);
    if (wa != wb) return wa < wb;
  }
  return a.size() < b.size();
}

CompactStringSet::CompactStringSet() : pool_(kFirstPoolBytes) {}

int CompactStringSet::LowerBound(const Node& node, std::string_view text) {
  int lo = 0, hi = node.count;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (Before(node.keys[mid].view(), text)) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

CompactStringSet::Node* CompactStringSet::NewNode(bool leaf) {
  Node* node;
  if (leaf) {
    node = new (pool_.allocate(sizeof(Node), alignof(Node))) Node;  // keys left unset
  } else {
    node = new (pool_.allocate(sizeof(Inner), alignof(Inner))) Inner;
    node->leaf = false;
  }
  return node;
}

void CompactStringSet::SplitChild(Inner& parent, int i) {
  Node* full = parent.children[i];
  assert(full->count == kMaxKeys);
  Node* right = NewNode(full->leaf);
  constexpr int t = kMinDegree;
  right->count = t - 1;
  for (int k = 0; k < t - 1; ++k) right->keys[k] = full->keys[t + k];
  if (!full->leaf)
    for (int k = 0; k < t; ++k) AsInner(right).children[k] = AsInner(full).children[t + k];
  full->count = t - 1;
  for (int k = parent.count; k > i; --k) {
    parent.keys[k] = parent.keys[k - 1];
    parent.children[k + 1] = parent.children[k];
  }
  parent.keys[i] = full->keys[t - 1];
  parent.children[i + 1] = right;
  ++parent.count;
}

const char* CompactStringSet::Store(std::string_view text) {
  if (text.size() > kChunkBytes / 4) {
    // A long text gets a chunk of its own.
    auto own = std::make_unique<char[]>(text.size());
    std::memcpy(own.get(), text.data(), text.size());
    chunks_.insert(chunks_.begin(), std::move(own));
    return chunks_.front().get();
  }
  if (chunk_used_ + text.size() > kChunkBytes) {
    chunks_.push_back(std::make_unique<char[]>(kChunkBytes));
    chunk_used_ = 0;
  }
  char* p = chunks_.back().get() + chunk_used_;
  std::memcpy(p, text.data(), text.size());
  chunk_used_ += text.size();
  return p;
}

CompactStringSet::Key CompactStringSet::MakeKey(std::string_view text) {
  if (text.size() <= Key::kInlineBytes) return Key(text);
  // Texts come from lines and cells limited far below 4 GiB.
  assert(text.size() <= UINT32_MAX);
  return Key(Store(text), static_cast<std::uint32_t>(text.size()));
}

bool CompactStringSet::Insert(std::string_view text) {
  if (!root_) root_ = NewNode(true);
  if (root_->count == kMaxKeys) {
    Node* top = NewNode(false);
    AsInner(top).children[0] = root_;
    root_ = top;
    SplitChild(AsInner(top), 0);
  }
  // Down from the root, splitting each full node before entering it, so
  // that the leaf reached has room.
  Node* node = root_;
  for (;;) {
    int i = LowerBound(*node, text);
    if (i < node->count && node->keys[i].view() == text) return false;
    if (node->leaf) {
      for (int k = node->count; k > i; --k) node->keys[k] = node->keys[k - 1];
      node->keys[i] = MakeKey(text);
      ++node->count;
      ++size_;
      return true;
    }
    Inner& inner = AsInner(node);
    if (inner.children[i]->count == kMaxKeys) {
      SplitChild(inner, i);
      const std::string_view middle = inner.keys[i].view();
      if (middle == text) return false;
      if (Before(middle, text)) ++i;
    }
    node = inner.children[i];
  }
}

bool CompactStringSet::Contains(std::string_view text) const {
  const Node* node = root_;
  while (node) {
    const int i = LowerBound(*node, text);
    if (i < node->count && node->keys[i].view() == text) return true;
    if (node->leaf) return false;
    node = AsInner(node).children[i];
  }
  return false;
}

void CompactStringSet::Clear() {
  root_ = nullptr;
  size_ = 0;
  pool_.release();
  chunks_.clear();
  chunk_used_ = kChunkBytes;
}

void CompactStringSet::Collect(const Node* node, std::vector<std::string>& out) {
  for (int k = 0; k < node->count; ++k) {
    if (!node->leaf) Collect(AsInner(node).children[k], out);
    out.emplace_back(node->keys[k].view());
  }
  if (!node->leaf) Collect(AsInner(node).children[node->count], out);
}

std::vector<std::string> CompactStringSet::Items() const {
  std::vector<std::string> out;
  out.reserve(size_);
  if (root_) Collect(root_, out);
  return out;
}

}  // namespace dispatch
