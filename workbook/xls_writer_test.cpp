#include "workbook/xls_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "workbook/xls_reader.h"

namespace workbook {
namespace {

std::vector<Row> ReadAll(Workbook& wb, std::size_t sheet) {
  std::vector<Row> rows;
  auto c = wb.OpenSheet(sheet);
  Row r;
  while (c->Next(r)) rows.push_back(r);
  return rows;
}

TEST(XlsWriter, RoundTripThroughTheReader) {
  XlsWriter w;
  w.AddSheet("P1");
  w.AppendRow({std::string("전화번호"), std::string("고객정보1"), std::string("it's")});
  w.AppendRow({1012345678.0, std::string("홍길동"), XlsValue(), -0.5});
  w.AppendRow({});
  w.AppendRow({std::string("010-1234-5678"), std::string("😀 café")});
  w.AddSheet("빈 시트");
  w.AddSheet("P3");
  // Long and many texts force the shared string table over CONTINUE records.
  std::string long_text(9000, 'x');
  long_text += "끝";
  w.AppendRow({long_text});
  for (int i = 0; i < 3000; ++i) w.AppendRow({std::string("row ") + std::to_string(i), static_cast<double>(i)});

  auto wb = OpenXlsMemory(w.Finish());
  ASSERT_EQ(wb->SheetNames(), (std::vector<std::string>{"P1", "빈 시트", "P3"}));
  auto p1 = ReadAll(*wb, 0);
  ASSERT_EQ(p1.size(), 3u);
  EXPECT_EQ(p1[0].cells[2].text, "it's");
  EXPECT_EQ(p1[1].cells[0].text, "1012345678");
  EXPECT_EQ(p1[1].cells[1].text, "홍길동");
  EXPECT_EQ(p1[1].cells[2].col, 3u);  // the blank is skipped
  EXPECT_EQ(p1[1].cells[2].text, "-0.5");
  EXPECT_EQ(p1[2].index, 3u);  // the empty row keeps its place
  EXPECT_EQ(p1[2].cells[1].text, "😀 café");
  EXPECT_TRUE(ReadAll(*wb, 1).empty());
  auto p3 = ReadAll(*wb, 2);
  ASSERT_EQ(p3.size(), 3001u);
  EXPECT_EQ(p3[0].cells[0].text, long_text);
  EXPECT_EQ(p3[3000].cells[0].text, "row 2999");
  EXPECT_EQ(p3[3000].cells[1].text, "2999");
}

TEST(XlsWriter, SixtyThousandRowsPerSheet) {
  XlsWriter w;
  for (int s = 0; s < 2; ++s) {
    w.AddSheet("P" + std::to_string(s + 1));
    for (int i = 0; i < 60000; ++i)
      w.AppendRow({std::string("010") + std::to_string(10000000 + i), std::string("고객") + std::to_string(i % 97)});
  }
  std::string bytes = w.Finish();
  auto wb = OpenXlsMemory(bytes);
  auto rows = ReadAll(*wb, 1);
  ASSERT_EQ(rows.size(), 60000u);
  EXPECT_EQ(rows[59999].cells[0].text, "01010059999");
  EXPECT_EQ(rows[59999].cells[1].text, "고객" + std::to_string(59999 % 97));
}

TEST(XlsWriter, RefusesWhatTheFormatCannotHold) {
  XlsWriter w;
  EXPECT_THROW(w.AddSheet(""), std::invalid_argument);
  EXPECT_THROW(w.AddSheet("a/b"), std::invalid_argument);
  EXPECT_THROW(w.AddSheet(std::string(32, 'a')), std::invalid_argument);
  w.AddSheet("Data");
  EXPECT_THROW(w.AddSheet("DATA"), std::invalid_argument);
  EXPECT_THROW(w.AppendRow(std::vector<XlsValue>(257, 1.0)), std::invalid_argument);
  EXPECT_THROW(w.AppendRow({std::string(32768, 'a')}), std::invalid_argument);
  for (std::size_t i = 0; i < XlsWriter::kMaxRows; ++i) w.AppendRow({});
  EXPECT_THROW(w.AppendRow({}), std::invalid_argument);
}

// LibreOffice as an independent reader: a workbook big enough to need DIFAT
// sectors (over 7 MB), texts crossing CONTINUE records, Korean and emoji.
// Skipped where LibreOffice is not installed.
TEST(XlsWriter, LibreOfficeReadsTheOutput) {
  if (access("/usr/bin/soffice", X_OK) != 0) GTEST_SKIP() << "LibreOffice is not installed";
  XlsWriter w;
  const std::string pad(60, 'p');
  for (int s = 1; s <= 2; ++s) {
    w.AddSheet("P" + std::to_string(s));
    w.AppendRow({std::string("전화번호"), std::string("고객정보1"), std::string("n")});
    for (int i = 0; i < 60000; ++i)
      w.AppendRow({std::string("010") + std::to_string(10000000 + i), "고객 " + std::to_string(i) + " it's 😀 " + pad,
                   i * 0.5});
  }
  w.AddSheet("Long");
  w.AppendRow({std::string(9000, 'x') + "끝"});
  const std::string dir = ::testing::TempDir() + "xls_lo";
  const std::string file = dir + ".xls";
  std::string bytes = w.Finish();
  ASSERT_GT(bytes.size(), 109u * 128 * 512);  // more FAT sectors than the header lists
  std::ofstream(file, std::ios::binary) << bytes;
  // Filter options: comma, double quote, UTF-8, ..., every sheet to its own file.
  std::string cmd = "soffice -env:UserInstallation=file://" + dir + "_profile --headless --convert-to "
                    "'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1' --outdir " +
                    dir + " " + file + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  auto read = [&](const std::string& sheet) {
    std::ifstream in(dir + "/xls_lo-" + sheet + ".csv", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  };
  auto p2 = read("P2");
  ASSERT_EQ(p2.size(), 60001u);
  EXPECT_EQ(p2[0], "전화번호,고객정보1,n");
  EXPECT_EQ(p2[60000], "01010059999,고객 59999 it's 😀 " + pad + ",29999.5");
  auto lng = read("Long");
  ASSERT_EQ(lng.size(), 1u);
  EXPECT_EQ(lng[0], std::string(9000, 'x') + "끝");
}

}  // namespace
}  // namespace workbook
