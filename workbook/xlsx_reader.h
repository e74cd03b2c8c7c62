// Streaming reader of .xlsx workbooks (Office Open XML spreadsheets): a zip
// archive (libzip) of XML parts read with expat, one buffer at a time; no
// document tree is built, so memory stays flat however long the sheet is.
//
// Parts read, in order (paths resolved through the relationship parts, part
// names compared without case; element names matched by local name, so any
// namespace prefix and the strict namespaces work):
//
// | part                         | what is taken                                      |
// |------------------------------|----------------------------------------------------|
// | _rels/.rels                  | target of the officeDocument relationship          |
// | xl/_rels/workbook.xml.rels   | Id -> Target, and the sharedStrings/styles targets |
// | xl/workbook.xml              | workbookPr@date1904, sheets/sheet@name, @r:id      |
// | xl/styles.xml (optional)     | numFmts/numFmt@numFmtId,@formatCode; cellXfs/xf@numFmtId |
// | xl/sharedStrings.xml (opt.)  | si: t text, r/t runs concatenated, rPh skipped     |
// | xl/worksheets/sheetN.xml     | sheetData/row@r, c@r,@t,@s, c/v, c/is              |
//
// Cell types: t="s" shared string index, "inlineStr" (is), "str" (formula
// text result), "b" boolean, "e" error, "d" ISO date, otherwise a number
// (a date when its style's number format is a date format). A formula cell's
// cached value in v is its value. Missing r attributes continue from the
// previous row or cell. _xHHHH_ escapes are decoded.
#pragma once

#include <memory>
#include <string>

#include "workbook/workbook.h"

namespace workbook {

// Opens an .xlsx from a file or from bytes in memory; throws WorkbookError.
std::unique_ptr<Workbook> OpenXlsxFile(const std::string& path, const Limits& limits = {});
std::unique_ptr<Workbook> OpenXlsxMemory(std::string bytes, const Limits& limits = {});

}  // namespace workbook
