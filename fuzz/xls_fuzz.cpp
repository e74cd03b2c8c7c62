// Feeds arbitrary bytes to the compound-file and BIFF8 readers in memory:
// any input must end in rows or in an error, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "workbook/cfb.h"
#include "workbook/xls_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  workbook::Limits limits;
  limits.max_cells_per_sheet = 100000;
  limits.max_string_bytes = 1 << 16;
  limits.max_shared_string_bytes = 1 << 22;
  limits.max_chain_sectors = 1 << 16;
  limits.max_sheets = 64;
  try {
    workbook::CfbReader cfb(bytes, limits);
    for (const std::string& name : cfb.StreamNames()) (void)cfb.ReadStream(name);
  } catch (const workbook::WorkbookError&) {
  }
  try {
    auto wb = workbook::OpenXlsMemory(std::move(bytes), limits);
    for (std::size_t i = 0; i < wb->SheetNames().size(); ++i) {
      try {
        auto cursor = wb->OpenSheet(i);
        workbook::Row row;
        while (cursor->Next(row)) {
        }
      } catch (const workbook::WorkbookError&) {
      }
    }
  } catch (const workbook::WorkbookError&) {
  }
  return 0;
}
