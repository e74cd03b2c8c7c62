// Reader of .xls workbooks (BIFF8 records in the "Workbook" stream of a
// compound file). Cached formula results are kept as the cell's value.
//
// Record: type (0, 2), length (2, 2), data (4, length <= 8224). Records used:
//
// | type   | record      | data read                                              |
// |--------|-------------|--------------------------------------------------------|
// | 0x0809 | BOF         | version (0, 2) must be 0x0600; kind (2, 2)             |
// | 0x002F | FILEPASS    | the workbook is encrypted: refused                     |
// | 0x0022 | DATEMODE    | 1904 system flag (0, 2)                                |
// | 0x041E | FORMAT      | format id (0, 2), code: string with 2-byte length      |
// | 0x00E0 | XF          | format id (2, 2), in record order                      |
// | 0x0085 | BOUNDSHEET  | BOF offset (0, 4), kind (5, 1), name: 1-byte length    |
// | 0x00FC | SST         | total (0, 4), unique (4, 4), strings; CONTINUE 0x003C  |
// | 0x00FD | LABELSST    | row (0, 2), col (2, 2), xf (4, 2), string index (6, 4) |
// | 0x0204 | LABEL       | row, col, xf, string with 2-byte length (6)            |
// | 0x00D6 | RSTRING     | as LABEL                                               |
// | 0x0203 | NUMBER      | row, col, xf, IEEE double (6, 8)                       |
// | 0x027E | RK          | row, col, xf, RK number (6, 4)                         |
// | 0x00BD | MULRK       | row, first col, (xf 2, RK 4) each, last col (len-2, 2) |
// | 0x0205 | BOOLERR     | row, col, xf, value (6, 1), is error (7, 1)            |
// | 0x0006 | FORMULA     | row, col, xf, cached result (6, 8): a double, or when  |
// |        |             | bytes 12-13 are FFFF, kind at 6: 0 text (in the next   |
// |        |             | STRING 0x0207), 1 boolean, 2 error (value at 8), 3 ""  |
// | 0x000A | EOF         | end of the globals or of a sheet                       |
//
// Strings: character count, flags (bit 0: UTF-16, else one byte per
// character holding U+0000..U+00FF; bit 2: phonetic block size follows as
// 4 bytes; bit 3: rich text run count follows as 2 bytes), characters, runs
// (4 bytes each), phonetic block. A string that crosses into a CONTINUE
// record starts that record's characters with a new flags byte.
#pragma once

#include <memory>
#include <string>

#include "workbook/workbook.h"

namespace workbook {

// Opens an .xls from bytes in memory; throws WorkbookError.
std::unique_ptr<Workbook> OpenXlsMemory(std::string bytes, const Limits& limits = {});

}  // namespace workbook
