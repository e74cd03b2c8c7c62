#include "workbook/xlsx_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "workbook/xlsx_reader.h"

namespace workbook {
namespace {

std::vector<Row> ReadAll(Workbook& wb, std::size_t sheet) {
  std::vector<Row> rows;
  auto c = wb.OpenSheet(sheet);
  Row r;
  while (c->Next(r)) rows.push_back(r);
  return rows;
}

TEST(XlsxWriter, RoundTripThroughTheReader) {
  const std::string tricky[] = {"a & b < c > d \"q\" 'a'", "line\r\nbreak\ttab", "_x0041_ stays", "\x01 bell",
                                "홍길동 😀", "  spaces  "};
  XlsxWriter w;
  w.AddSheet("Q&A <1>");
  for (const auto& t : tricky) w.AppendRow({t});
  w.AddSheet("Numbers");
  w.AppendRow({1012345678.0, 0.1, -2.5, XlsValue(), 1e-7, std::string("x")});
  std::string path = ::testing::TempDir() + "xlsx_writer.xlsx";
  w.SaveAs(path);
  EXPECT_THROW(w.SaveAs(path), std::logic_error);

  auto wb = OpenXlsxFile(path);
  ASSERT_EQ(wb->SheetNames(), (std::vector<std::string>{"Q&A <1>", "Numbers"}));
  auto rows = ReadAll(*wb, 0);
  ASSERT_EQ(rows.size(), std::size(tricky));
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].cells.at(0).text, tricky[i]);
  auto nums = ReadAll(*wb, 1);
  ASSERT_EQ(nums.size(), 1u);
  std::vector<std::string> got;
  for (auto& c : nums[0].cells) got.push_back(std::to_string(c.col) + "=" + c.text);
  EXPECT_EQ(got, (std::vector<std::string>{"0=1012345678", "1=0.1", "2=-2.5", "4=0.0000001", "5=x"}));
}

TEST(XlsxWriter, Limits) {
  XlsxWriter w;
  EXPECT_THROW(w.AddSheet("a[b]"), std::invalid_argument);
  EXPECT_THROW(w.AppendRow(std::vector<XlsValue>(16385, 1.0)), std::invalid_argument);
  EXPECT_THROW(w.AppendRow({std::numeric_limits<double>::infinity()}), std::invalid_argument);
}

// LibreOffice as an independent reader of what the writer makes.
TEST(XlsxWriter, LibreOfficeReadsTheOutput) {
  if (access("/usr/bin/soffice", X_OK) != 0) GTEST_SKIP() << "LibreOffice is not installed";
  XlsxWriter w;
  w.AddSheet("목록");
  w.AppendRow({std::string("전화번호"), std::string("메모")});
  for (int i = 0; i < 1000; ++i) w.AppendRow({1012340000.0 + i, "a & b <" + std::to_string(i) + ">"});
  const std::string dir = ::testing::TempDir() + "xlsx_lo";
  w.SaveAs(dir + ".xlsx");
  std::string cmd = "soffice -env:UserInstallation=file://" + dir + "_profile --headless --convert-to "
                    "'csv:Text - txt - csv (StarCalc):44,34,76' --outdir " + dir + " " + dir + ".xlsx >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(dir + "/xlsx_lo.csv");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 1001u);
  EXPECT_EQ(lines[0], "전화번호,메모");
  EXPECT_EQ(lines[1000], "1012340999,a & b <999>");
}

}  // namespace
}  // namespace workbook
