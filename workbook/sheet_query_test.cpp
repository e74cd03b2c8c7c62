#include "workbook/sheet_query.h"

#include <gtest/gtest.h>

#include "workbook/xls_writer.h"
#include "workbook/xls_reader.h"
#include "workbook/xlsx_reader.h"
#include "workbook/test_zip.h"

namespace workbook {
namespace {

// A parsed statement in one line: table, count/star/top, then the items.
std::string Describe(const SheetQuery& q) {
  std::string s = "[" + q.table + "]";
  if (q.count) s += " count" + (q.count_alias.empty() ? "" : " as " + q.count_alias);
  if (q.star) s += " *";
  if (q.top) s += " top " + std::to_string(*q.top);
  for (const auto& i : q.items)
    s += std::string(i.kind == SheetQuery::Item::kColumn ? " col:" : " lit:") + i.text +
         (i.alias.empty() ? "" : "=" + i.alias);
  return s;
}

TEST(SheetQuery, ParsesTheStatementsTheScreensSend) {
  struct Case {
    const char* sql;
    const char* parsed;
  } cases[] = {
      {"select count(*) from [Sheet1$] ", "[Sheet1$] count"},
      {"select top 10 * from [Sheet1$] ", "[Sheet1$] * top 10"},
      {"select * from [설문조사$] ", "[설문조사$] *"},
      {"select F1 , F3 , 'DUMMY_CUST' as CUST_INFO , 'DUMMY_CUST2' as CUST_INFO2 , 'DUMMY_CUST3' as CUST_INFO3 "
       "from [Sheet1$]",
       "[Sheet1$] col:F1 col:F3 lit:DUMMY_CUST=CUST_INFO lit:DUMMY_CUST2=CUST_INFO2 lit:DUMMY_CUST3=CUST_INFO3"},
      {"SELECT [전화 번호] AS phone, `b` c, 'it''s', 12 FROM ['My Sheet$'];",
       "['My Sheet$'] col:전화 번호=phone col:b=c lit:it's lit:12"},
      {"select count(*) as n from Sheet1$", "[Sheet1$] count as n"},
      {"select\n\tF2\nfrom\n[S$]", "[S$] col:F2"},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(ParseSheetQuery(c.sql)), c.parsed) << c.sql;
}

TEST(SheetQuery, RefusesWhatItDoesNotRun) {
  const char* bad[] = {"",
                       "select",
                       "select * from",
                       "select * from [S$] where F1 = 1",
                       "select * from [S$] order by F1",
                       "select F1 from [S$], [T$]",
                       "select distinct F1 from [S$]",
                       "select top x * from [S$]",
                       "select 'open from [S$]",
                       "select count(F1) from [S$]",
                       "update [S$] set F1 = 1",
                       "select * from [S$]; drop table x"};
  for (const char* sql : bad) {
    try {
      ParseSheetQuery(sql);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const QueryError& e) {
      EXPECT_EQ(e.code, kErrSyntax) << sql;
    }
  }
}

TEST(SheetQuery, DuplicateAndEmptyHeadersFallBackToPositions) {
  XlsWriter w;
  w.AddSheet("H");
  w.AppendRow({std::string("Name"), XlsValue(), std::string("name"), std::string("x")});
  w.AppendRow({std::string("a"), std::string("b"), std::string("c"), std::string("d")});
  auto db = SheetDatabase::Create(OpenXlsMemory(w.Finish()), true);
  auto rows = db->Execute("select * from [H$]");
  EXPECT_EQ(rows->fields(), (std::vector<std::string>{"Name", "F2", "F3", "x"}));
  std::vector<std::string> values;
  ASSERT_TRUE(rows->Fetch(values));
  EXPECT_EQ(values, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_FALSE(rows->Fetch(values));
  rows->Rewind();
  EXPECT_TRUE(rows->Fetch(values));
}

TEST(SheetQuery, StyledEmptyCellsAreNotPartOfTheTable) {
  // Writers leave formatted but empty cells and rows after the data; they
  // neither add rows to count(*) nor columns to "select *".
  std::string data =
      "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c><c r=\"F1\" s=\"1\"/></row>"
      "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t></t></is></c></row>"
      "<row r=\"3\"><c r=\"B3\"><v>3</v></c></row>"
      "<row r=\"4\" s=\"1\" customFormat=\"1\"><c r=\"A4\" s=\"1\"/></row><row r=\"1000\"/>";
  std::string path = ::testing::TempDir() + "sheet_query_styled.xlsx";
  testing::WriteZip(path, testing::MinimalXlsx({{"S", data}}));
  auto db = SheetDatabase::Create(OpenXlsxFile(path), false);
  auto count = db->Execute("select count(*) from [S$]");
  std::vector<std::string> v;
  ASSERT_TRUE(count->Fetch(v));
  EXPECT_EQ(v, std::vector<std::string>{"3"});
  auto all = db->Execute("select * from [S$]");
  EXPECT_EQ(all->fields(), (std::vector<std::string>{"F1", "F2"}));
  std::string got;
  while (all->Fetch(v)) got += v[0] + "|" + v[1] + "\n";
  EXPECT_EQ(got, "1|2\n|\n|3\n");
}

}  // namespace
}  // namespace workbook
