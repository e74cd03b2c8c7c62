#include "workbook/workbook.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "workbook/xls_reader.h"
#include "workbook/xlsx_reader.h"

namespace workbook {

Format DetectFormat(std::string_view b) {
  if (b.size() >= 4 && b.substr(0, 4) == std::string_view("PK\x03\x04", 4)) return Format::kXlsx;
  if (b.size() >= 8 && b.substr(0, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) return Format::kXls;
  return Format::kUnknown;
}

namespace {

std::string ReadAll(const std::string& path, std::uint64_t max) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw WorkbookError("cannot open '" + path + "': " + std::strerror(errno));
  std::string out;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    out.append(buf, n);
    if (out.size() > max) {
      std::fclose(f);
      throw WorkbookError("'" + path + "' is larger than the limit max_file_bytes");
    }
  }
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) throw WorkbookError("cannot read '" + path + "'");
  return out;
}

}  // namespace

std::unique_ptr<Workbook> OpenWorkbookFile(const std::string& path, const Limits& limits) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw WorkbookError("cannot open '" + path + "': " + std::strerror(errno));
  char head[8] = {};
  std::size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  switch (DetectFormat(std::string_view(head, n))) {
    case Format::kXlsx:
      return OpenXlsxFile(path, limits);
    case Format::kXls:
      return OpenXlsMemory(ReadAll(path, limits.max_file_bytes), limits);
    default:
      throw WorkbookError("'" + path + "' is neither an .xlsx nor an .xls workbook");
  }
}

std::unique_ptr<Workbook> OpenWorkbookMemory(std::string bytes, const Limits& limits) {
  switch (DetectFormat(bytes)) {
    case Format::kXlsx:
      return OpenXlsxMemory(std::move(bytes), limits);
    case Format::kXls:
      if (bytes.size() > limits.max_file_bytes) throw WorkbookError("workbook larger than the limit max_file_bytes");
      return OpenXlsMemory(std::move(bytes), limits);
    default:
      throw WorkbookError("neither an .xlsx nor an .xls workbook");
  }
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace workbook
