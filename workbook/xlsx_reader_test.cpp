#include "workbook/xlsx_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "workbook/test_zip.h"

namespace workbook {
namespace {

using testing::MinimalXlsx;
using testing::Parts;
using testing::WriteZip;

std::string TempPath(const std::string& name) { return ::testing::TempDir() + "xlsx_" + name; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Every row of a sheet as "row:col=text|col=text" lines (0-based numbers).
std::string Dump(Workbook& wb, std::size_t sheet) {
  std::string out;
  auto cursor = wb.OpenSheet(sheet);
  Row row;
  while (cursor->Next(row)) {
    out += std::to_string(row.index) + ":";
    for (std::size_t i = 0; i < row.cells.size(); ++i)
      out += (i ? "|" : "") + std::to_string(row.cells[i].col) + "=" + row.cells[i].text;
    out += "\n";
  }
  return out;
}

std::unique_ptr<Workbook> Build(const std::string& name, const Parts& parts, const Limits& limits = {}) {
  std::string path = TempPath(name + ".xlsx");
  WriteZip(path, parts);
  return OpenXlsxFile(path, limits);
}

TEST(XlsxReader, CellKindsAndStrings) {
  const std::string si =
      "<si><t>plain</t></si>"
      "<si><r><rPr><b/></rPr><t>rich </t></r><r><t xml:space=\"preserve\">text</t></r>"
      "<rPh sb=\"0\" eb=\"1\"><t>PHONETIC</t></rPh></si>"
      "<si><t>line_x000D__x000A_two</t></si>"
      "<si><t></t></si>"
      "<si><t>전화번호</t></si>";
  const std::string styles =
      "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy\\-mm\\-dd\"/></numFmts>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
      "<cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"49\"/></cellXfs>";
  const std::string data =
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
      "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"s\"><v>3</v></c><c r=\"E1\" t=\"s\"><v>4</v></c></row>"
      "<row r=\"2\"><c r=\"A2\"><v>1012345678</v></c><c r=\"B2\" s=\"1\"><v>45306</v></c>"
      "<c r=\"C2\" t=\"b\"><v>1</v></c><c r=\"D2\" t=\"e\"><v>#N/A</v></c>"
      "<c r=\"E2\" t=\"str\"><f>A2&amp;\"x\"</f><v>1012345678x</v></c>"
      "<c r=\"F2\" t=\"inlineStr\"><is><r><t>in</t></r><r><t>line</t></r></is></c>"
      "<c r=\"G2\" s=\"2\"><v>1.5E+3</v></c><c r=\"H2\" s=\"1\"/><c r=\"I2\" t=\"d\"><v>2024-01-15T13:45:00</v></c></row>"
      "<row r=\"5\"><c r=\"C5\"><f>1+1</f><v>2</v></c></row>";
  auto wb = Build("kinds", MinimalXlsx({{"Sheet1", data}}, si, styles));
  ASSERT_EQ(wb->SheetNames(), std::vector<std::string>{"Sheet1"});
  EXPECT_EQ(Dump(*wb, 0),
            "0:0=plain|1=rich text|2=line\r\ntwo|4=전화번호\n"
            "1:0=1012345678|1=2024-01-15|2=TRUE|3=#N/A|4=1012345678x|5=inline|6=1500|8=2024-01-15 13:45:00\n"
            "4:2=2\n");
}

TEST(XlsxReader, MissingReferencesPrefixesAnd1904) {
  // No r attributes, a namespace prefix on every element, the 1904 date system.
  Parts parts = MinimalXlsx({{"S", ""}}, "", "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>",
                            "date1904=\"1\"");
  for (auto& [name, body] : parts)
    if (name == "xl/worksheets/sheet1.xml")
      body =
          "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:sheetData>"
          "<x:row><x:c><x:v>1</x:v></x:c><x:c t=\"inlineStr\"><x:is><x:t>b</x:t></x:is></x:c></x:row>"
          "<x:row><x:c s=\"1\"><x:v>0</x:v></x:c></x:row>"
          "<x:row r=\"7\"><x:c r=\"C7\"><x:v>3</x:v></x:c><x:c><x:v>4</x:v></x:c></x:row>"
          "</x:sheetData></x:worksheet>";
  auto wb = Build("prefixed", parts);
  EXPECT_EQ(Dump(*wb, 0), "0:0=1|1=b\n1:0=1904-01-01\n6:2=3|3=4\n");
}

TEST(XlsxReader, SheetOrderNamesAndChartSheetsSkipped) {
  Parts parts = MinimalXlsx({{"첫째", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"}, {"My Sheet", ""}, {"C", ""}});
  for (auto& [name, body] : parts)
    if (name == "xl/_rels/workbook.xml.rels") {
      std::string from = "relationships/worksheet\" Target=\"worksheets/sheet3.xml\"";
      body.replace(body.find(from), from.size(), "relationships/chartsheet\" Target=\"chartsheets/sheet3.xml\"");
    }
  auto wb = Build("order", parts);
  EXPECT_EQ(wb->SheetNames(), (std::vector<std::string>{"첫째", "My Sheet"}));
  EXPECT_EQ(Dump(*wb, 1), "");
}

TEST(XlsxReader, LongSharedStringRepeatedInManyRows) {
  // 200 rows of 100 KB each from a few hundred bytes of XML: the reader
  // pauses the parse while rows wait, and every row still comes through.
  std::string big(100000, 'y');
  std::string rows;
  for (int i = 1; i <= 200; ++i) rows += "<row r=\"" + std::to_string(i) + "\"><c t=\"s\"><v>0</v></c><c><v>" +
                                         std::to_string(i) + "</v></c></row>";
  auto wb = Build("amplified", MinimalXlsx({{"S", rows}}, "<si><t>" + big + "</t></si>"));
  auto cursor = wb->OpenSheet(0);
  Row row;
  int n = 0;
  while (cursor->Next(row)) {
    ++n;
    ASSERT_EQ(row.index, static_cast<std::uint32_t>(n - 1));
    ASSERT_EQ(row.cells.size(), 2u);
    ASSERT_EQ(row.cells[0].text, big);
    ASSERT_EQ(row.cells[1].text, std::to_string(n));
  }
  EXPECT_EQ(n, 200);
}

TEST(XlsxReader, MemoryOpenMatchesFileOpen) {
  std::string path = TempPath("memory.xlsx");
  WriteZip(path, MinimalXlsx({{"A", "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>x</t></is></c></row>"}}));
  auto wb = OpenXlsxMemory(ReadFile(path));
  EXPECT_EQ(Dump(*wb, 0), "1:1=x\n");
}

struct BadCase {
  const char* name;
  std::string sheet_data;
  std::string shared;
  const char* message;  // part of the error text
};

TEST(XlsxReader, MalformedSheetsGiveErrors) {
  const BadCase cases[] = {
      {"sst_index", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>5</v></c></row>", "<si><t>a</t></si>", "out of range"},
      {"bad_ref", "<row r=\"1\"><c r=\"1A\"><v>5</v></c></row>", "", "bad cell reference"},
      {"bad_row", "<row r=\"0\"><c><v>5</v></c></row>", "", "bad row number"},
      {"order", "<row r=\"3\"><c><v>5</v></c></row><row r=\"2\"><c><v>5</v></c></row>", "", "out of order"},
      {"xml", "<row r=\"1\"><c><v>5</c></row>", "", "malformed XML"},
      {"big_col", "<row r=\"1\"><c r=\"XFE1\"><v>5</v></c></row>", "", "bad cell reference"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto wb = Build(c.name, MinimalXlsx({{"S", c.sheet_data}}, c.shared));
    try {
      Dump(*wb, 0);
      ADD_FAILURE() << "no error";
    } catch (const WorkbookError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(XlsxReader, HostileArchivesGiveErrors) {
  std::string good_path = TempPath("good.xlsx");
  WriteZip(good_path, MinimalXlsx({{"S", "<row r=\"1\"><c><v>1</v></c></row>"}}));
  std::string good = ReadFile(good_path);

  // Truncated archive: the central directory is gone.
  EXPECT_THROW(OpenXlsxMemory(good.substr(0, good.size() / 2)), WorkbookError);
  // Not a zip at all.
  EXPECT_THROW(OpenXlsxMemory("name,phone\n"), WorkbookError);
  // A zip without a workbook part.
  {
    std::string p = TempPath("noworkbook.xlsx");
    WriteZip(p, {{"hello.txt", "hi"}});
    EXPECT_THROW(OpenXlsxFile(p), WorkbookError);
  }
  // Entity declarations (billion laughs and friends) are refused.
  {
    Parts parts = MinimalXlsx({{"S", ""}});
    for (auto& [name, body] : parts)
      if (name == "xl/workbook.xml")
        body.insert(body.find("<workbook"), "<!DOCTYPE w [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>");
    try {
      Build("entities", parts);
      ADD_FAILURE() << "no error";
    } catch (const WorkbookError& e) {
      EXPECT_NE(std::string(e.what()).find("entity"), std::string::npos) << e.what();
    }
  }
  // A part that inflates beyond the limit (a small zip bomb against a small limit).
  {
    std::string rows;
    for (int i = 1; i <= 20000; ++i) rows += "<row r=\"" + std::to_string(i) + "\"><c><v>1</v></c></row>";
    Limits limits;
    limits.max_inflated_bytes = 64 * 1024;
    auto wb = Build("bomb", MinimalXlsx({{"S", rows}}), limits);
    try {
      Dump(*wb, 0);
      ADD_FAILURE() << "no error";
    } catch (const WorkbookError& e) {
      EXPECT_NE(std::string(e.what()).find("max_inflated_bytes"), std::string::npos) << e.what();
    }
  }
  // Endless nesting.
  {
    std::string deep;
    for (int i = 0; i < 1000; ++i) deep += "<a>";
    auto wb = Build("deep", MinimalXlsx({{"S", deep}}));
    try {
      Dump(*wb, 0);
      ADD_FAILURE() << "no error";
    } catch (const WorkbookError& e) {
      EXPECT_NE(std::string(e.what()).find("max_xml_depth"), std::string::npos) << e.what();
    }
  }
  // One endless attribute.
  {
    Limits limits;
    limits.max_xml_token_bytes = 100000;
    auto wb = Build("token", MinimalXlsx({{"S", "<row r=\"1\" x=\"" + std::string(300000, 'a') + "\"/>"}}), limits);
    try {
      Dump(*wb, 0);
      ADD_FAILURE() << "no error";
    } catch (const WorkbookError& e) {
      EXPECT_NE(std::string(e.what()).find("max_xml_token_bytes"), std::string::npos) << e.what();
    }
  }
  // Cell and string limits.
  {
    Limits limits;
    limits.max_cells_per_sheet = 2;
    auto wb = Build("cells", MinimalXlsx({{"S", "<row><c><v>1</v></c><c><v>2</v></c><c><v>3</v></c></row>"}}), limits);
    EXPECT_THROW(Dump(*wb, 0), WorkbookError);
    limits = Limits();
    limits.max_string_bytes = 4;
    EXPECT_THROW(Build("strings", MinimalXlsx({{"S", ""}}, "<si><t>too long</t></si>"), limits), WorkbookError);
    // One shared string repeated across a row.
    limits = Limits();
    limits.max_row_bytes = 1000;
    std::string row = "<row>";
    for (int i = 0; i < 20; ++i) row += "<c t=\"s\"><v>0</v></c>";
    auto wide = Build("rowbytes", MinimalXlsx({{"S", row + "</row>"}}, "<si><t>" + std::string(100, 'x') + "</t></si>"), limits);
    EXPECT_THROW(Dump(*wide, 0), WorkbookError);
  }
}

TEST(XlsxReader, LibreOfficeFixture) {
  auto wb = OpenXlsxFile(std::string(WORKBOOK_TESTDATA) + "/targets.xlsx");
  EXPECT_EQ(wb->SheetNames(), (std::vector<std::string>{"Targets", "Empty", "My Sheet"}));
  EXPECT_EQ(Dump(*wb, 0),
            "0:0=전화번호|1=이름|2=메모|3=계산\n"
            "1:0=1012345678|1=홍길동|2=it's VIP|3=홍길동님\n"
            "2:0=01098765432|1=김철수|2=0.25|3=10123456781\n"
            "3:0=821055556666|2=2024-01-15|3=TRUE\n");
  EXPECT_EQ(Dump(*wb, 1), "");
  EXPECT_EQ(Dump(*wb, 2), "1:1=a|2=-1.5\n3:1=c\n");
}

}  // namespace
}  // namespace workbook
