// Compact storage of a report list: the columns, and per row its cell texts,
// image, item data and selection state.
//
// All cell texts of a row form one block in a chunked text buffer (cells
// separated by NUL), so a row costs one small record plus its text, whatever
// the number of columns. Rewriting a cell appends a new block and leaves the
// old one as garbage; the buffer is compacted when garbage outweighs live
// text. Texts are cut at their first NUL character, as C strings would be.
//
// Block layout (inside one chunk; offsets relative to the block start):
//   offset  size            field
//   0       len(cell 0)     text of cell 0
//   ...     1               NUL
//   ...     len(cell k)     text of cell k, k < cells
// The last cell has no NUL after it; the block size gives its end.
//
// Not thread-safe: the report-list control guards it with its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

enum class Align { Left, Center, Right };

struct ReportColumn {
  std::string header;
  int width = 0;  // pixels; 0 hides the column
  Align align = Align::Left;
};

class ReportStore {
 public:
  // Size of one buffer chunk; a row block larger than this gets a chunk of its own.
  static constexpr std::size_t kChunkSize = 4u << 20;
  // Most cells a row can hold.
  static constexpr int kMaxColumns = 1024;

  ReportStore() = default;

  // Columns. Inserting or deleting a column shifts the cells of every row
  // with it. Returns the new column's index, or -1.
  int InsertColumn(int index, ReportColumn column);
  bool DeleteColumn(int index);
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  const ReportColumn& Column(int index) const { return columns_.at(static_cast<std::size_t>(index)); }
  bool SetColumnWidth(int index, int width);

  // Rows. InsertRow places a row with text in column 0 at index (clamped to
  // the row count, as the list control does) and returns its index; -1 when
  // index is negative.
  int RowCount() const { return static_cast<int>(rows_.size()); }
  int InsertRow(int index, std::string_view text, int image = -1, std::intptr_t data = 0);
  // The same with every cell at once (one block, no rewrite).
  int InsertRow(int index, const std::vector<std::string_view>& cells, int image = -1, std::intptr_t data = 0);
  bool SetText(int row, int column, std::string_view text);
  // View into the buffer; valid until the next change of the store.
  std::string_view Text(int row, int column) const;
  bool DeleteRow(int row);
  bool DeleteRows(int first, int count);
  void Clear();

  bool SetImage(int row, int image);
  int Image(int row) const;
  bool SetData(int row, std::intptr_t data);
  std::intptr_t Data(int row) const;
  int FindData(std::intptr_t data, int start = 0) const;

  bool SetSelected(int row, bool selected);
  bool Selected(int row) const;
  int SelectedCount() const { return selected_count_; }
  // Index of the first selected row after `after` (-1 to start), or -1.
  int NextSelected(int after) const;
  std::vector<int> SelectedRows() const;
  // Selects or deselects every row; returns the rows whose state changed.
  std::vector<int> SelectAll(bool selected);

  // Sorts the rows by the text of one column, comparing bytes as unsigned
  // characters (no locale, no case folding). Stable: equal texts keep order.
  void SortByText(int column, bool descending);
  // Sorts with a comparison of item data, as a screen's callback would:
  // cmp(a, b) < 0 puts a first. Stable.
  void SortByData(const std::function<int(std::intptr_t, std::intptr_t)>& cmp);

  // Bytes held: row records, buffer chunks and columns.
  std::size_t MemoryUsed() const;
  std::size_t GarbageBytes() const { return garbage_; }

 private:
  struct Row {
    std::uint64_t block = 0;  // chunk index << 32 | offset in chunk
    std::intptr_t data = 0;
    std::uint32_t size = 0;   // bytes of the block
    std::uint16_t cells = 0;  // cells in the block
    std::int16_t image = -1;
    bool selected = false;
  };
  struct Chunk {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };

  bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
  const char* BlockPtr(const Row& r) const;
  std::vector<std::string_view> Cells(const Row& r) const;
  // Writes the cells as a new block and points r at it (old block -> garbage).
  void WriteBlock(Row& r, const std::vector<std::string_view>& cells);
  // Appends cell `column` in place when r's block is the last one written
  // and the chunk has room (a row being filled cell by cell); else false.
  bool ExtendTail(Row& r, int column, std::string_view text);
  void MaybeCompact();
  void Compact();

  std::vector<ReportColumn> columns_;
  std::deque<Row> rows_;
  std::vector<Chunk> chunks_;
  std::size_t garbage_ = 0;
  std::size_t live_ = 0;
  int selected_count_ = 0;
};

}  // namespace ui
