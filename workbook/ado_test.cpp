#include "workbook/ado.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "workbook/test_zip.h"
#include "workbook/xls_writer.h"

namespace {

const std::string kData = WORKBOOK_TESTDATA;

// The two connection strings the screens build, by extension.
std::string ImportConnection(const std::string& path, bool header = false) {
  bool xlsx = path.size() >= 5 && path.substr(path.size() - 5) == ".xlsx";
  std::string hdr = header ? "HDR=Yes" : "HDR=No";
  if (xlsx)
    return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path + ";Extended Properties=\"Excel 12.0;" + hdr +
           ";IMEX=1\"";
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Extended Properties=\"Excel 8.0;" + hdr +
         ";IMEX=1\"";
}

WorkbookConnectionOptions Quiet(std::ostream* dump = nullptr) {
  WorkbookConnectionOptions o;
  o.error_dump = dump;
  o.dump_to_stdout = false;
  return o;
}

// All records of an open recordset, fields joined by '|', records by '\n'.
std::string Records(CMyADORS& rs) {
  std::string out;
  while (!rs.IsEOF()) {
    for (int i = 0; i < rs.GetFieldCount(); ++i) out += (i ? "|" : "") + rs.GetFieldValue(i);
    out += "\n";
    rs.MoveNext();
  }
  return out;
}

std::string Fields(CMyADORS& rs) {
  std::string out;
  for (int i = 0; i < rs.GetFieldCount(); ++i) out += (i ? "|" : "") + rs.GetFieldName(i);
  return out;
}

class BothFormats : public ::testing::TestWithParam<const char*> {
 protected:
  std::string Path() const { return kData + "/" + GetParam(); }
  bool IsXls() const { return std::string(GetParam()).find(".xlsx") == std::string::npos; }
};

TEST_P(BothFormats, SchemaListsTheSheetsWithTheProvidersNames) {
  CMyADOConn conn(Quiet());
  ASSERT_EQ(conn.Open(ImportConnection(Path())), 1) << conn.GetErrorText();
  EXPECT_TRUE(conn.IsOpen());
  for (const char* type : {"TABLE", "all", "ALL"}) {
    CMyADORS rs(&conn);
    ASSERT_EQ(rs.OpenSchema(type), 1);
    std::string names;
    for (; !rs.IsEOF(); rs.MoveNext()) names += rs.GetFieldValue("TABLE_NAME") + ",";
    EXPECT_EQ(names, "Targets$,Empty$,'My Sheet$',") << type;
  }
  CMyADORS views(&conn);
  ASSERT_EQ(views.OpenSchema("VIEW"), 1);
  EXPECT_TRUE(views.IsEOF());
  conn.Close();
  EXPECT_FALSE(conn.IsOpen());
}

TEST_P(BothFormats, HeaderlessQueriesOfTheImport) {
  CMyADOConn conn(Quiet());
  ASSERT_EQ(conn.Open(ImportConnection(Path())), 1) << conn.GetErrorText();
  // The sample the sheet dialog shows: columns F1.., the header row is data.
  CMyADORS rs(&conn);
  ASSERT_EQ(rs.Open("select top 10 * from [Targets$] "), 1) << rs.GetErrorText();
  EXPECT_EQ(Fields(rs), "F1|F2|F3|F4");
  std::string d2 = IsXls() ? "0" : "홍길동님";  // see the fixture notes
  const std::string all =
      "전화번호|이름|메모|계산\n"
      "1012345678|홍길동|it's VIP|" + d2 + "\n"
      "01098765432|김철수|0.25|10123456781\n"
      "821055556666||2024-01-15|TRUE\n";
  EXPECT_EQ(Records(rs), all);
  ASSERT_EQ(rs.MoveFirst(), 1);  // the preview walks the sample again
  EXPECT_EQ(rs.GetFieldValue("f1"), "전화번호");
  EXPECT_EQ(Records(rs), all);
  EXPECT_EQ(rs.MoveNext(), 0);
  EXPECT_EQ(rs.GetErrorText().rfind("CMyADORS::MoveNext Error(", 0), 0u) << rs.GetErrorText();
  rs.Close();

  ASSERT_EQ(rs.Open("select count(*) from [Targets$] "), 1) << rs.GetErrorText();
  EXPECT_EQ(rs.GetFieldValue(0), "4");
  rs.Close();

  ASSERT_EQ(rs.Open("select top 2 * from [Targets$] "), 1);
  EXPECT_EQ(Records(rs), "전화번호|이름|메모|계산\n1012345678|홍길동|it's VIP|" + d2 + "\n");
  rs.Close();

  // The data query with two chosen columns and the placeholders.
  ASSERT_EQ(rs.Open("select F1 , F3 , 'DUMMY_CUST' as CUST_INFO , 'DUMMY_CUST2' as CUST_INFO2 , "
                    "'DUMMY_CUST3' as CUST_INFO3 from [Targets$]"),
            1)
      << rs.GetErrorText();
  EXPECT_EQ(Fields(rs), "F1|F3|CUST_INFO|CUST_INFO2|CUST_INFO3");
  EXPECT_EQ(Records(rs),
            "전화번호|메모|DUMMY_CUST|DUMMY_CUST2|DUMMY_CUST3\n"
            "1012345678|it's VIP|DUMMY_CUST|DUMMY_CUST2|DUMMY_CUST3\n"
            "01098765432|0.25|DUMMY_CUST|DUMMY_CUST2|DUMMY_CUST3\n"
            "821055556666|2024-01-15|DUMMY_CUST|DUMMY_CUST2|DUMMY_CUST3\n");
}

TEST_P(BothFormats, EmptySheetAndOffsetRange) {
  CMyADOConn conn(Quiet());
  ASSERT_EQ(conn.Open(ImportConnection(Path())), 1) << conn.GetErrorText();
  CMyADORS rs(&conn);
  ASSERT_EQ(rs.Open("select top 10 * from [Empty$] "), 1) << rs.GetErrorText();
  EXPECT_TRUE(rs.IsEOF());  // "the selected sheet has no data"
  EXPECT_EQ(Fields(rs), "F1");
  EXPECT_EQ(rs.GetFieldValue(0), "");
  rs.Close();
  ASSERT_EQ(rs.Open("select count(*) from [Empty$]"), 1);
  EXPECT_EQ(rs.GetFieldValue(0), "0");
  rs.Close();
  // The range starts at B2; the empty row inside it is a row of empty values.
  for (const char* sql : {"select * from ['My Sheet$'] ", "select * from [My Sheet$]"}) {
    ASSERT_EQ(rs.Open(sql), 1) << rs.GetErrorText();
    EXPECT_EQ(Fields(rs), "F1|F2");
    EXPECT_EQ(Records(rs), "a|-1.5\n|\nc|\n");
    rs.Close();
  }
}

TEST_P(BothFormats, HeaderRowNamesTheColumns) {
  CMyADOConn conn(Quiet());
  ASSERT_EQ(conn.Open(ImportConnection(Path(), true)), 1) << conn.GetErrorText();
  CMyADORS rs(&conn);
  ASSERT_EQ(rs.Open("select * from [Targets$] "), 1) << rs.GetErrorText();
  EXPECT_EQ(Fields(rs), "전화번호|이름|메모|계산");
  EXPECT_EQ(rs.GetFieldValue("이름"), "홍길동");
  EXPECT_EQ(rs.GetFieldValue("전화번호"), "1012345678");
  rs.Close();
  ASSERT_EQ(rs.Open("select count(*) from [Targets$]"), 1);
  EXPECT_EQ(rs.GetFieldValue(0), "3");
  rs.Close();
  ASSERT_EQ(rs.Open("select [메모], 이름 as name, 7 from [targets$]"), 1) << rs.GetErrorText();
  EXPECT_EQ(Fields(rs), "메모|name|Expr1000");
  EXPECT_EQ(Records(rs), "it's VIP|홍길동|7\n0.25|김철수|7\n2024-01-15||7\n");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, BothFormats, ::testing::Values("targets.xls", "targets.xlsx"));

TEST(Ado, StatementAndFieldErrors) {
  std::ostringstream dump;
  CMyADOConn conn(Quiet(&dump));
  ASSERT_EQ(conn.Open(ImportConnection(kData + "/targets.xlsx")), 1) << conn.GetErrorText();
  CMyADORS rs(&conn);
  struct Case {
    const char* sql;
    const char* in_error;
  } cases[] = {
      {"select * from [Nope$]", "cannot find the sheet 'Nope$'"},
      {"select * from [Targets]", "cannot find the sheet"},
      {"select F9 from [Targets$]", "unknown column 'F9'"},
      {"select * from [Targets$] where F1 = '1'", "near 'where'"},
      {"select * from [Targets$", "unclosed name"},
      {"delete from [Targets$]", "expected select"},
      {"select count(*), F1 from [Targets$]", "count(*) alone"},
      {"select top 10 percent * from [Targets$]", "percent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(rs.Open(c.sql), 0);
    EXPECT_FALSE(rs.IsOpen());
    const std::string& e = rs.GetErrorText();
    EXPECT_EQ(e.rfind(std::string("CMyADORS::Open:sql(") + c.sql + "),Error(", 0), 0u) << e;
    EXPECT_NE(e.find(c.in_error), std::string::npos) << e;
  }
  ASSERT_EQ(rs.Open("select * from [Targets$]"), 1);
  EXPECT_EQ(rs.Open("select * from [Targets$]"), 0);  // already open
  EXPECT_EQ(rs.GetFieldValue(9), "");
  EXPECT_EQ(rs.GetErrorText().rfind("CMyADORS::GetFieldValue,Error(", 0), 0u);
  EXPECT_EQ(rs.GetFieldValue("F7"), "");
  EXPECT_NE(rs.GetErrorText().find("'F7'"), std::string::npos);

  // The standard-output dump of one failure, exactly.
  dump.str("");
  CMyADORS other(&conn);
  ASSERT_EQ(other.Open("select * from [Nope$]"), 0);
  const std::string desc = other.GetErrorDescription();
  EXPECT_EQ(dump.str(), "\t Error number: 80040e37\t" + desc +
                            "\nError\n\tCode = 80040e37\n\tCode meaning = IDispatch error #3127\n"
                            "\tSource = Microsoft.ACE.OLEDB.12.0\n\tDescription = " + desc + "\n");
  EXPECT_EQ(conn.GetErrorCode(), "80040e37");
}

std::string TempFile(const std::string& name, const std::string& bytes) {
  std::string path = ::testing::TempDir() + "ado_" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(Ado, UnreadableWorkbooksFailToConnect) {
  std::string xlsx = ReadFile(kData + "/targets.xlsx");
  std::string xls = ReadFile(kData + "/targets.xls");
  // A copy of the .xls whose sector chains loop.
  std::string looped = xls;
  std::uint32_t fat0 = static_cast<unsigned char>(looped[76]) | static_cast<unsigned char>(looped[77]) << 8;
  std::size_t fat_off = (fat0 + 1) * 512;
  for (std::size_t e = fat_off; e < fat_off + 512; e += 4)  // every link points at its own sector
    if (static_cast<unsigned char>(looped[e + 3]) != 0xFF) {
      std::uint32_t self = static_cast<std::uint32_t>((e - fat_off) / 4);
      for (int k = 0; k < 4; ++k) looped[e + k] = static_cast<char>(self >> (8 * k));
    }
  struct Case {
    const char* name;
    std::string connection;
    const char* in_error;
  } cases[] = {
      {"xlsx named .xls", ImportConnection(TempFile("renamed.xls", xlsx)), "not an Excel 97-2003"},
      {"csv named .xlsx", ImportConnection(TempFile("text.xlsx", "010-1234-5678,abc\n")), "neither an .xls nor"},
      {"truncated xlsx", ImportConnection(TempFile("cut.xlsx", xlsx.substr(0, xlsx.size() - 200))), "expected format"},
      {"truncated xls", ImportConnection(TempFile("cut.xls", xls.substr(0, 1500))), "expected format"},
      {"sector loop", ImportConnection(TempFile("loop.xls", looped)), "loops"},
      {"missing file", ImportConnection(::testing::TempDir() + "none.xlsx"), "could not find file"},
      {"unknown provider", "Provider=SQLOLEDB;Data Source=x.xls", "provider cannot be found"},
      {"no excel format", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + kData + "/targets.xls;Extended Properties=\"HDR=No\"",
       "installable ISAM"},
      {"jet cannot read 12.0", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + kData +
                                   "/targets.xlsx;Extended Properties=\"Excel 12.0;HDR=No\"",
       "installable ISAM"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CMyADOConn conn(Quiet());
    EXPECT_EQ(conn.Open(c.connection), 0);
    EXPECT_FALSE(conn.IsOpen());
    EXPECT_NE(conn.GetErrorText().find(c.in_error), std::string::npos) << conn.GetErrorText();
    CMyADORS rs(&conn);
    EXPECT_EQ(rs.Open("select * from [Targets$]"), 0);
    EXPECT_EQ(rs.OpenSchema("TABLE"), 0);
    EXPECT_EQ(rs.GetErrorText().rfind("CMyADORS::OpenSchema Error(", 0), 0u);
  }
  // ACE reads an .xls too.
  CMyADOConn ace(Quiet());
  EXPECT_EQ(ace.Open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + kData +
                     "/targets.xls;Extended Properties=\"Excel 12.0;HDR=No;IMEX=1\""),
            1)
      << ace.GetErrorText();
}

TEST(Ado, LimitsApplyThroughTheConnection) {
  std::string rows;
  for (int i = 1; i <= 5000; ++i) rows += "<row r=\"" + std::to_string(i) + "\"><c><v>1</v></c></row>";
  std::string path = ::testing::TempDir() + "ado_bomb.xlsx";
  workbook::testing::WriteZip(path, workbook::testing::MinimalXlsx({{"S", rows}}));
  WorkbookConnectionOptions options = Quiet();
  options.limits.max_inflated_bytes = 16 * 1024;
  CMyADOConn conn(options);
  ASSERT_EQ(conn.Open(ImportConnection(path)), 1) << conn.GetErrorText();  // the sheet is read on demand
  CMyADORS rs(&conn);
  EXPECT_EQ(rs.Open("select count(*) from [S$]"), 0);
  EXPECT_NE(rs.GetErrorText().find("max_inflated_bytes"), std::string::npos) << rs.GetErrorText();
}

TEST(Ado, WriterOutputReadsBackThroughTheConnection) {
  workbook::XlsWriter w;
  w.AddSheet("P1");
  w.AppendRow({std::string("전화번호"), std::string("고객정보1")});
  for (int i = 0; i < 1000; ++i) w.AppendRow({1012340000.0 + i, std::string("고객 ") + std::to_string(i)});
  std::string path = ::testing::TempDir() + "ado_written.xls";
  w.SaveAs(path);
  CMyADOConn conn(Quiet());
  ASSERT_EQ(conn.Open(ImportConnection(path, true)), 1) << conn.GetErrorText();
  CMyADORS rs(&conn);
  ASSERT_EQ(rs.Open("select count(*) from [P1$]"), 1);
  EXPECT_EQ(rs.GetFieldValue(0), "1000");
  rs.Close();
  ASSERT_EQ(rs.Open("select 고객정보1, 전화번호 from [P1$]"), 1) << rs.GetErrorText();
  int n = 0;
  for (; !rs.IsEOF(); rs.MoveNext(), ++n) {
    ASSERT_EQ(rs.GetFieldValue("전화번호"), std::to_string(1012340000 + n));
    ASSERT_EQ(rs.GetFieldValue(0), "고객 " + std::to_string(n));
  }
  EXPECT_EQ(n, 1000);
}

TEST(Ado, MemoryOpen) {
  CMyADOConn conn(Quiet());
  ASSERT_EQ(conn.OpenMemory("Provider=Microsoft.ACE.OLEDB.12.0;Extended Properties=\"Excel 12.0;HDR=No\"",
                            ReadFile(kData + "/targets.xlsx")),
            1)
      << conn.GetErrorText();
  CMyADORS rs(&conn);
  ASSERT_EQ(rs.Open("select top 1 F2 from [Targets$]"), 1);
  EXPECT_EQ(rs.GetFieldValue(0), "이름");
}

}  // namespace

namespace {

TEST(Ado, RecordsetAfterItsConnectionClosed) {
  // The dialog's teardown closes the connection before the recordset.
  CMyADOConn conn(Quiet());
  ASSERT_EQ(conn.Open(ImportConnection(kData + "/targets.xlsx")), 1);
  CMyADORS rs(&conn);
  ASSERT_EQ(rs.Open("select * from [Targets$]"), 1);
  ASSERT_EQ(rs.MoveNext(), 1);
  conn.Close();
  EXPECT_EQ(rs.MoveNext(), 0);
  EXPECT_TRUE(rs.IsEOF());
  EXPECT_EQ(rs.GetFieldValue(0), "");
  rs.Close();
  EXPECT_EQ(rs.Open("select * from [Targets$]"), 0);
  EXPECT_NE(rs.GetErrorText().find("not open"), std::string::npos);
}

}  // namespace

namespace {

TEST(Ado, SurveySettingsWorkbookWithHeaderRows) {
  // The settings workbook of the survey analysis: Korean sheet and column names, HDR=Yes.
  workbook::XlsWriter w;
  w.AddSheet("설문조사");
  w.AppendRow({std::string("표본수"), std::string("유효답변수")});
  w.AppendRow({1000.0, 5.0});
  w.AddSheet("Q1");
  w.AppendRow({std::string("항목"), std::string("답변1"), std::string("답변2")});
  w.AppendRow({std::string("연령"), std::string("20대"), std::string("30대")});
  w.AppendRow({std::string("성별"), std::string("남"), std::string("여")});
  std::string path = ::testing::TempDir() + "ado_survey.xls";
  w.SaveAs(path);
  CMyADOConn conn(Quiet());
  ASSERT_EQ(conn.Open(ImportConnection(path, true)), 1) << conn.GetErrorText();
  CMyADORS schema(&conn);
  ASSERT_EQ(schema.OpenSchema("TABLE"), 1);
  std::string names;
  for (; !schema.IsEOF(); schema.MoveNext()) names += schema.GetFieldValue("TABLE_NAME") + ",";
  EXPECT_EQ(names, "설문조사$,Q1$,");
  CMyADORS rs(&conn);
  ASSERT_EQ(rs.Open("select * from [설문조사$] "), 1) << rs.GetErrorText();
  EXPECT_EQ(rs.GetFieldValue("표본수"), "1000");
  EXPECT_EQ(rs.GetFieldValue("유효답변수"), "5");
  rs.Close();
  ASSERT_EQ(rs.Open("select * from [Q1$] "), 1);
  EXPECT_EQ(Records(rs), "연령|20대|30대\n성별|남|여\n");
}

}  // namespace
