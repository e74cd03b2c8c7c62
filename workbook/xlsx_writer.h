// Writer of .xlsx workbooks holding texts and numbers, for exports of long
// lists (up to 1,048,576 rows and 16,384 columns a sheet). Rows are streamed
// to a temporary file per sheet, so memory stays flat; texts are written as
// inline strings, XML-escaped, control characters and any literal "_xHHHH_"
// as _xHHHH_ escapes so that they read back as written.
//
// Parts: [Content_Types].xml, _rels/.rels, xl/workbook.xml,
// xl/_rels/workbook.xml.rels, xl/styles.xml (one default cell format),
// xl/worksheets/sheetN.xml (sheetData/row@r, c@r with v or
// t="inlineStr"/is/t).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/xls_writer.h"  // XlsValue

namespace workbook {

class XlsxWriter {
 public:
  static constexpr std::size_t kMaxRows = 1048576;
  static constexpr std::size_t kMaxColumns = 16384;

  XlsxWriter() = default;
  ~XlsxWriter();
  XlsxWriter(const XlsxWriter&) = delete;
  XlsxWriter& operator=(const XlsxWriter&) = delete;

  // As XlsWriter::AddSheet. Throws std::invalid_argument, or
  // std::runtime_error when no temporary file can be made.
  void AddSheet(std::string_view name);
  // Appends a row to the current sheet ("Sheet1" when none was started).
  // Throws std::invalid_argument beyond the row or column limit.
  void AppendRow(const std::vector<XlsValue>& row);
  std::size_t RowCount() const { return sheets_.empty() ? 0 : sheets_.back().rows; }

  // Writes the workbook, once: the sheets' temporary files go into the
  // archive. Throws std::runtime_error when it cannot.
  void SaveAs(const std::string& path);

 private:
  struct Sheet {
    std::string name;
    std::FILE* data = nullptr;  // the sheetData content so far
    std::size_t rows = 0, columns = 0;
  };
  std::vector<Sheet> sheets_;
  bool saved_ = false;
};

// A text escaped for OOXML element content (see above).
std::string EscapeXlsxText(std::string_view text);

}  // namespace workbook
