// Common types of the workbook readers: the limits applied to untrusted
// workbooks, the error they raise on bad input, and the row cursor through
// which a sheet is read one row at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

// Limits on what a workbook may make us allocate or do. Every reader checks
// them while it reads; exceeding one is a WorkbookError naming the limit.
struct Limits {
  // Cells with a value in one sheet (1,000,000 x 5 fits with room to spare).
  std::uint64_t max_cells_per_sheet = 50'000'000;
  // Bytes of one cell text after decoding (Excel holds 32767 UTF-16 units).
  std::size_t max_string_bytes = 1u << 20;
  // Text bytes of one row (one long shared string repeated in every cell of
  // a row would otherwise multiply).
  std::size_t max_row_bytes = 64u << 20;
  // Text bytes of one .xls sheet, which is read whole.
  std::uint64_t max_sheet_bytes = 1ull << 30;
  // Total bytes of the shared string table after decoding.
  std::size_t max_shared_string_bytes = 512u << 20;
  // Inflated bytes of one part of an .xlsx archive (zip bomb guard).
  std::uint64_t max_inflated_bytes = 2ull << 30;
  // Bytes of XML between two '>' in an .xlsx part: the XML parser holds a
  // whole tag in memory, so one endless attribute is refused here.
  std::size_t max_xml_token_bytes = 16u << 20;
  // Nesting depth of XML elements (workbook parts nest a dozen deep).
  std::size_t max_xml_depth = 256;
  // Bytes of a compound file (.xls) read into memory.
  std::uint64_t max_file_bytes = 512ull << 20;
  // Sectors in one compound-file chain (a loop or an endless chain stops here
  // even below the number of sectors in the file).
  std::uint64_t max_chain_sectors = 1u << 22;
  // Sheets in a workbook.
  std::size_t max_sheets = 4096;
};

// Bad, truncated or hostile input; what() says what and where.
class WorkbookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One cell with a value: 0-based column and its text as the provider would
// deliver it with every cell read as text.
struct Cell {
  std::uint32_t col = 0;
  std::string text;
};

// One row that has at least one cell with a value; cells ascend by column.
struct Row {
  std::uint32_t index = 0;  // 0-based sheet row
  std::vector<Cell> cells;
};

// Reads a sheet front to back. Rows ascend by index; rows without any value
// are not delivered.
class RowCursor {
 public:
  virtual ~RowCursor() = default;
  // Fills the next row and returns true, or returns false at the end.
  // Throws WorkbookError on malformed input.
  virtual bool Next(Row& row) = 0;
};

// An open workbook (either format).
class Workbook {
 public:
  virtual ~Workbook() = default;
  // Sheet names as the workbook holds them (no trailing '$'), in workbook order.
  virtual const std::vector<std::string>& SheetNames() const = 0;
  // A cursor over sheet `index` (0-based, < SheetNames().size()). With
  // `texts` false the cells are found but their text may be left empty,
  // which is enough to learn the shape of the sheet and is cheaper.
  virtual std::unique_ptr<RowCursor> OpenSheet(std::size_t index, bool texts = true) = 0;
};

enum class Format { kUnknown, kXlsx, kXls };

// The format of a file from its first bytes (zip archive or compound file).
Format DetectFormat(std::string_view first_bytes);

// Opens a workbook from a file or from bytes in memory, by its content.
// Throws WorkbookError when it is neither format or cannot be read.
std::unique_ptr<Workbook> OpenWorkbookFile(const std::string& path, const Limits& limits = {});
std::unique_ptr<Workbook> OpenWorkbookMemory(std::string bytes, const Limits& limits = {});

// Equality with ASCII letters compared without case: how Excel compares
// sheet names and how compound files compare stream names.
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);

}  // namespace workbook
