#include "workbook/workbook.h"

#include <gtest/gtest.h>

#include <fstream>

#include "workbook/xls_writer.h"

namespace workbook {
namespace {

TEST(Workbook, FormatByContent) {
  EXPECT_EQ(DetectFormat(std::string("PK\x03\x04rest", 8)), Format::kXlsx);
  EXPECT_EQ(DetectFormat("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"), Format::kXls);
  EXPECT_EQ(DetectFormat("PK"), Format::kUnknown);
  EXPECT_EQ(DetectFormat("phone,name\n"), Format::kUnknown);

  XlsWriter w;
  w.AppendRow({std::string("x")});
  std::string path = ::testing::TempDir() + "workbook_named.xlsx";  // the extension does not matter
  w.SaveAs(path);
  auto wb = OpenWorkbookFile(path);
  EXPECT_EQ(wb->SheetNames(), std::vector<std::string>{"Sheet1"});
  EXPECT_THROW(OpenWorkbookFile(::testing::TempDir() + "workbook_missing.xls"), WorkbookError);
  EXPECT_THROW(OpenWorkbookMemory("not a workbook"), WorkbookError);
  Limits small;
  small.max_file_bytes = 100;
  EXPECT_THROW(OpenWorkbookFile(path, small), WorkbookError);
}

}  // namespace
}  // namespace workbook
