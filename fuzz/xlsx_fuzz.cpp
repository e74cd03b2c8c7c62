// Feeds arbitrary bytes to the sheet SQL parser, to the .xlsx reader as an
// archive in memory, and through the workbook connection with the queries
// the screens run: any input must end in rows or in an error, never a crash
// or a hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "workbook/ado.h"
#include "workbook/xlsx_reader.h"

namespace {

workbook::Limits SmallLimits() {
  workbook::Limits l;
  l.max_cells_per_sheet = 100000;
  l.max_string_bytes = 1 << 16;
  l.max_shared_string_bytes = 1 << 22;
  l.max_inflated_bytes = 1 << 24;
  l.max_sheets = 64;
  return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // The same bytes as a statement for the sheet SQL parser.
  try {
    (void)workbook::ParseSheetQuery(bytes);
  } catch (const workbook::QueryError&) {
  }
  try {
    auto wb = workbook::OpenXlsxMemory(bytes, SmallLimits());
    for (std::size_t i = 0; i < wb->SheetNames().size(); ++i) {
      for (bool texts : {false, true}) {
        try {
          auto cursor = wb->OpenSheet(i, texts);
          workbook::Row row;
          while (cursor->Next(row)) {
          }
        } catch (const workbook::WorkbookError&) {
        }
      }
    }
  } catch (const workbook::WorkbookError&) {
  }
  WorkbookConnectionOptions options;
  options.limits = SmallLimits();
  options.dump_to_stdout = false;
  CMyADOConn conn(options);
  if (conn.OpenMemory("Provider=Microsoft.ACE.OLEDB.12.0;Extended Properties=\"Excel 12.0;HDR=Yes;IMEX=1\"",
                      std::move(bytes)) != 1)
    return 0;
  CMyADORS schema(&conn);
  if (schema.OpenSchema("TABLE") != 1) return 0;
  for (; !schema.IsEOF(); schema.MoveNext()) {
    std::string table = schema.GetFieldValue("TABLE_NAME");
    for (const char* sql : {"select count(*) from [%s] ", "select top 10 * from [%s] ", "select * from [%s] "}) {
      std::string q = sql;
      q.replace(q.find("%s"), 2, table);
      CMyADORS rs(&conn);
      if (rs.Open(q) != 1) continue;
      for (; !rs.IsEOF(); rs.MoveNext())
        for (int f = 0; f < rs.GetFieldCount(); ++f) (void)rs.GetFieldValue(rs.GetFieldName(f));
    }
  }
  return 0;
}
