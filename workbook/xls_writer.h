// Writer of .xls workbooks (BIFF8 in a compound file) holding texts and
// numbers, for exports. At most 65536 rows and 256 columns per sheet; a
// caller that needs more starts further sheets.
//
// Globals written: BOF, CODEPAGE (1200), WINDOW1, DATEMODE (1900), four
// FONT, 15 style XF and one cell XF (index 15), STYLE (Normal), one
// BOUNDSHEET per sheet, SST (texts as UTF-16, split over CONTINUE records at
// 8224 bytes, a string crossing a record boundary resuming with its flags
// byte), EOF. Each sheet: BOF, DIMENSIONS, LABELSST / NUMBER cells, WINDOW2,
// EOF. The record layouts are those listed in xls_reader.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace workbook {

// A cell to write: nothing (blank), a UTF-8 text, or a number.
using XlsValue = std::variant<std::monostate, std::string, double>;

class XlsWriter {
 public:
  static constexpr std::size_t kMaxRows = 65536;
  static constexpr std::size_t kMaxColumns = 256;
  static constexpr std::size_t kMaxTextUnits = 32767;  // UTF-16 units in one cell

  // Starts a new sheet; the rows appended next go to it. The name must have
  // 1 to 31 characters, none of : \ / ? * [ ], and differ (ignoring ASCII
  // case) from the other sheets' names. Throws std::invalid_argument.
  void AddSheet(std::string_view name);

  // Appends a row to the current sheet (a sheet "Sheet1" is started when
  // none was). Throws std::invalid_argument beyond the row or column limit or
  // for a text longer than a cell holds.
  void AppendRow(const std::vector<XlsValue>& row);

  std::size_t SheetCount() const { return sheets_.size(); }
  // Rows of the current sheet.
  std::size_t RowCount() const { return sheets_.empty() ? 0 : sheets_.back().rows.size(); }

  // The workbook file.
  std::string Finish() const;
  // Writes the file; throws std::runtime_error when it cannot be written.
  void SaveAs(const std::string& path) const;

 private:
  struct Sheet {
    std::string name;
    std::vector<std::vector<XlsValue>> rows;
  };
  std::vector<Sheet> sheets_;
};

}  // namespace workbook
