#include "ui/report_store.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <numeric>

namespace ui {

namespace {

std::string_view CutAtNul(std::string_view s) {
  auto p = s.find('\0');
  return p == std::string_view::npos ? s : s.substr(0, p);
}

constexpr std::uint64_t MakeBlock(std::size_t chunk, std::size_t offset) {
  return (static_cast<std::uint64_t>(chunk) << 32) | static_cast<std::uint64_t>(offset);
}

}  // namespace

const char* ReportStore::BlockPtr(const Row& r) const {
  const Chunk& c = chunks_[static_cast<std::size_t>(r.block >> 32)];
  return c.bytes.get() + (r.block & 0xFFFFFFFFu);
}

std::vector<std::string_view> ReportStore::Cells(const Row& r) const {
  std::vector<std::string_view> cells;
  if (r.cells == 0) return cells;
  cells.reserve(r.cells);
  const char* p = BlockPtr(r);
  const char* end = p + r.size;
  for (int i = 0; i < r.cells; ++i) {
    const char* nul = static_cast<const char*>(std::memchr(p, '\0', static_cast<std::size_t>(end - p)));
    const char* stop = nul ? nul : end;
    cells.emplace_back(p, static_cast<std::size_t>(stop - p));
    p = nul ? nul + 1 : end;
  }
  return cells;
}

void ReportStore::WriteBlock(Row& r, const std::vector<std::string_view>& in) {
  std::size_t n = in.size();
  while (n > 0 && in[n - 1].empty()) --n;  // trailing empty cells cost nothing
  assert(n <= static_cast<std::size_t>(kMaxColumns));
  std::size_t size = 0;
  for (std::size_t i = 0; i < n; ++i) size += in[i].size() + (i + 1 < n ? 1 : 0);

  garbage_ += r.size;
  live_ -= r.size;
  r.size = 0;
  r.cells = 0;
  r.block = 0;
  if (n == 0) return;

  if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < size) {
    Chunk c;
    c.capacity = std::max(kChunkSize, size);
    c.bytes = std::make_unique_for_overwrite<char[]>(c.capacity);
    chunks_.push_back(std::move(c));
  }
  Chunk& c = chunks_.back();
  char* dst = c.bytes.get() + c.used;
  for (std::size_t i = 0; i < n; ++i) {
    std::memcpy(dst, in[i].data(), in[i].size());
    dst += in[i].size();
    if (i + 1 < n) *dst++ = '\0';
  }
  r.block = MakeBlock(chunks_.size() - 1, c.used);
  r.size = static_cast<std::uint32_t>(size);
  r.cells = static_cast<std::uint16_t>(n);
  c.used += size;
  live_ += size;
}

void ReportStore::MaybeCompact() {
  if (garbage_ > (1u << 20) && garbage_ > live_) Compact();
}

void ReportStore::Compact() {
  std::vector<Chunk> old;
  old.swap(chunks_);
  const std::vector<Chunk>& src = old;
  garbage_ = 0;
  live_ = 0;
  for (Row& r : rows_) {
    if (r.size == 0) continue;
    const Chunk& c = src[static_cast<std::size_t>(r.block >> 32)];
    std::string_view block(c.bytes.get() + (r.block & 0xFFFFFFFFu), r.size);
    // Re-split so that WriteBlock copies from the old chunks.
    std::vector<std::string_view> cells;
    std::size_t pos = 0;
    for (int i = 0; i < r.cells; ++i) {
      std::size_t nul = block.find('\0', pos);
      std::size_t stop = nul == std::string_view::npos ? block.size() : nul;
      cells.push_back(block.substr(pos, stop - pos));
      pos = nul == std::string_view::npos ? block.size() : nul + 1;
    }
    r.size = 0;  // the old block is dropped with the old chunks, not garbage
    WriteBlock(r, cells);
  }
  garbage_ = 0;
}

int ReportStore::InsertColumn(int index, ReportColumn column) {
  if (index < 0 || ColumnCount() >= kMaxColumns) return -1;
  index = std::min(index, ColumnCount());
  columns_.insert(columns_.begin() + index, std::move(column));
  for (Row& r : rows_) {
    if (r.cells <= index) continue;
    auto cells = Cells(r);
    cells.insert(cells.begin() + index, std::string_view());
    WriteBlock(r, cells);
  }
  MaybeCompact();
  return index;
}

bool ReportStore::DeleteColumn(int index) {
  if (index < 0 || index >= ColumnCount()) return false;
  columns_.erase(columns_.begin() + index);
  for (Row& r : rows_) {
    if (r.cells <= index) continue;
    auto cells = Cells(r);
    cells.erase(cells.begin() + index);
    WriteBlock(r, cells);
  }
  MaybeCompact();
  return true;
}

bool ReportStore::SetColumnWidth(int index, int width) {
  if (index < 0 || index >= ColumnCount()) return false;
  columns_[static_cast<std::size_t>(index)].width = std::max(0, width);
  return true;
}

int ReportStore::InsertRow(int index, std::string_view text, int image, std::intptr_t data) {
  return InsertRow(index, std::vector<std::string_view>{text}, image, data);
}

int ReportStore::InsertRow(int index, const std::vector<std::string_view>& cells, int image, std::intptr_t data) {
  if (index < 0 || cells.size() > static_cast<std::size_t>(kMaxColumns)) return -1;
  index = std::min(index, RowCount());
  Row r;
  r.image = static_cast<std::int16_t>(std::clamp(image, -1, 32767));
  r.data = data;
  std::vector<std::string_view> cut;
  cut.reserve(cells.size());
  for (std::string_view c : cells) cut.push_back(CutAtNul(c));
  WriteBlock(r, cut);
  if (index == RowCount()) {
    rows_.push_back(r);
  } else {
    rows_.insert(rows_.begin() + index, r);
  }
  return index;
}

bool ReportStore::ExtendTail(Row& r, int column, std::string_view text) {
  if (r.cells == 0 || column < r.cells || chunks_.empty()) return false;
  const std::size_t chunk = static_cast<std::size_t>(r.block >> 32);
  const std::size_t offset = static_cast<std::size_t>(r.block & 0xFFFFFFFFu);
  Chunk& c = chunks_.back();
  if (chunk != chunks_.size() - 1 || offset + r.size != c.used) return false;
  const std::size_t nuls = static_cast<std::size_t>(column - r.cells) + 1;
  const std::size_t add = nuls + text.size();
  if (c.capacity - c.used < add || r.size + add > 0xFFFFFFFFu) return false;
  char* dst = c.bytes.get() + c.used;
  std::memset(dst, 0, nuls);
  std::memcpy(dst + nuls, text.data(), text.size());
  c.used += add;
  r.size += static_cast<std::uint32_t>(add);
  r.cells = static_cast<std::uint16_t>(column + 1);
  live_ += add;
  return true;
}

bool ReportStore::SetText(int row, int column, std::string_view text) {
  if (!ValidRow(row) || column < 0 || column >= kMaxColumns) return false;
  Row& r = rows_[static_cast<std::size_t>(row)];
  text = CutAtNul(text);
  if (column >= r.cells) {
    if (text.empty()) return true;
    if (ExtendTail(r, column, text)) return true;
  } else if (Text(row, column) == text) {
    return true;
  }
  auto cells = Cells(r);
  if (column >= static_cast<int>(cells.size())) cells.resize(static_cast<std::size_t>(column) + 1);
  cells[static_cast<std::size_t>(column)] = text;
  WriteBlock(r, cells);
  MaybeCompact();
  return true;
}

std::string_view ReportStore::Text(int row, int column) const {
  if (!ValidRow(row) || column < 0) return {};
  const Row& r = rows_[static_cast<std::size_t>(row)];
  if (column >= r.cells) return {};
  const char* p = BlockPtr(r);
  const char* end = p + r.size;
  for (int i = 0; i < column; ++i) {
    p = static_cast<const char*>(std::memchr(p, '\0', static_cast<std::size_t>(end - p))) + 1;
  }
  const char* nul = static_cast<const char*>(std::memchr(p, '\0', static_cast<std::size_t>(end - p)));
  return {p, static_cast<std::size_t>((nul ? nul : end) - p)};
}

bool ReportStore::DeleteRow(int row) { return DeleteRows(row, 1); }

bool ReportStore::DeleteRows(int first, int count) {
  if (count <= 0 || !ValidRow(first) || count > RowCount() - first) return false;
  auto b = rows_.begin() + first;
  auto e = b + count;
  for (auto it = b; it != e; ++it) {
    garbage_ += it->size;
    live_ -= it->size;
    if (it->selected) --selected_count_;
  }
  rows_.erase(b, e);
  if (rows_.empty()) {
    Clear();
  } else {
    MaybeCompact();
  }
  return true;
}

void ReportStore::Clear() {
  rows_.clear();
  rows_.shrink_to_fit();
  chunks_.clear();
  garbage_ = 0;
  live_ = 0;
  selected_count_ = 0;
}

bool ReportStore::SetImage(int row, int image) {
  if (!ValidRow(row)) return false;
  rows_[static_cast<std::size_t>(row)].image = static_cast<std::int16_t>(std::clamp(image, -1, 32767));
  return true;
}

int ReportStore::Image(int row) const {
  return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].image : -1;
}

bool ReportStore::SetData(int row, std::intptr_t data) {
  if (!ValidRow(row)) return false;
  rows_[static_cast<std::size_t>(row)].data = data;
  return true;
}

std::intptr_t ReportStore::Data(int row) const {
  return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].data : 0;
}

int ReportStore::FindData(std::intptr_t data, int start) const {
  for (int i = std::max(0, start); i < RowCount(); ++i) {
    if (rows_[static_cast<std::size_t>(i)].data == data) return i;
  }
  return -1;
}

bool ReportStore::SetSelected(int row, bool selected) {
  if (!ValidRow(row)) return false;
  Row& r = rows_[static_cast<std::size_t>(row)];
  if (r.selected != selected) {
    r.selected = selected;
    selected_count_ += selected ? 1 : -1;
  }
  return true;
}

bool ReportStore::Selected(int row) const {
  return ValidRow(row) && rows_[static_cast<std::size_t>(row)].selected;
}

int ReportStore::NextSelected(int after) const {
  if (selected_count_ == 0) return -1;
  for (int i = std::max(-1, after) + 1; i < RowCount(); ++i) {
    if (rows_[static_cast<std::size_t>(i)].selected) return i;
  }
  return -1;
}

std::vector<int> ReportStore::SelectedRows() const {
  std::vector<int> out;
  out.reserve(static_cast<std::size_t>(selected_count_));
  for (int i = NextSelected(-1); i >= 0; i = NextSelected(i)) out.push_back(i);
  return out;
}

std::vector<int> ReportStore::SelectAll(bool selected) {
  std::vector<int> changed;
  for (int i = 0; i < RowCount(); ++i) {
    Row& r = rows_[static_cast<std::size_t>(i)];
    if (r.selected != selected) {
      r.selected = selected;
      changed.push_back(i);
    }
  }
  selected_count_ = selected ? RowCount() : 0;
  return changed;
}

void ReportStore::SortByText(int column, bool descending) {
  std::vector<std::pair<std::string_view, std::uint32_t>> keys;
  keys.reserve(rows_.size());
  for (std::uint32_t i = 0; i < rows_.size(); ++i) {
    keys.emplace_back(Text(static_cast<int>(i), column), i);
  }
  // string_view compares like memcmp: bytes as unsigned characters.
  if (descending) {
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return b.first < a.first; });
  } else {
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  std::deque<Row> sorted;
  for (const auto& k : keys) sorted.push_back(rows_[k.second]);
  rows_.swap(sorted);
}

void ReportStore::SortByData(const std::function<int(std::intptr_t, std::intptr_t)>& cmp) {
  std::stable_sort(rows_.begin(), rows_.end(), [&](const Row& a, const Row& b) { return cmp(a.data, b.data) < 0; });
}

std::size_t ReportStore::MemoryUsed() const {
  std::size_t n = rows_.size() * sizeof(Row) + columns_.capacity() * sizeof(ReportColumn);
  for (const Chunk& c : chunks_) n += c.capacity;
  for (const ReportColumn& c : columns_) n += c.header.capacity();
  return n;
}

}  // namespace ui
