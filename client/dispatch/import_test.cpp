#include "client/dispatch/import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "workbook/xlsx_writer.h"

namespace dispatch {
namespace {

std::vector<std::string> Rows(const SendList& l) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < l.size(); ++i) {
    std::string r;
    for (int c = 0; c < kSendColumns; ++c) r += (c ? "|" : "") + std::string(l.Get(i, c));
    out.push_back(r);
  }
  return out;
}

TEST(StrTokenizerTest, SplitsAtEveryDelimiterKeepingEmptyTokens) {
  CStrTokenizer t("a\t\tb\t");
  EXPECT_EQ(t.NextToken("\t"), "a");
  EXPECT_EQ(t.NextToken("\t"), "");
  EXPECT_EQ(t.NextToken("\t"), "b");
  EXPECT_TRUE(t.IsEmpty());  // the trailing delimiter leaves nothing
  CStrTokenizer u("x::y");
  EXPECT_EQ(u.NextToken("::"), "x");
  EXPECT_EQ(u.NextToken("::"), "y");
  EXPECT_TRUE(u.IsEmpty());
}

struct TextCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> rows;
  long duplicates, ignored;
};

TEST(ImportTextTest, LinesBecomeRowsAsTheRulesSay) {
  const std::string long_info(200, 'i');
  const std::vector<TextCase> cases = {
      {"empty field collapses", "01012345678,,abc\n", {"1|010-1234-5678|abc|||"}, 0, 0},
      {"six bytes are skipped", "123456\n0212345678\n", {"1|02-1234-5678||||"}, 0, 0},
      {"only commas is ignored", ",,,,,,,,\n", {}, 0, 1},
      {"letters only is ignored", "abcdefgh,x\n", {}, 0, 1},
      {"letters inside a number are dropped", "010-12ab-5678\n", {"1|01-012-5678||||"}, 0, 0},
      {"invalid numbers stay as digits", "010123456789\n", {"1|010123456789||||"}, 0, 0},
      {"dashes and digits are one number", "010-1234-5678\r\n01012345678\r\n", {"1|010-1234-5678||||"}, 1, 0},
      {"apostrophes become blanks", "0212345678,O'Brien,a'b\n", {"1|02-1234-5678|O Brien|a b||"}, 0, 0},
      {"no length check on this path", "0212345678," + long_info + "\n", {"1|02-1234-5678|" + long_info + "|||"}, 0, 0},
      {"fifth field and beyond dropped", "0212345678,a,b,c,d,e\n", {"1|02-1234-5678|a|b|c|d"}, 0, 0},
      {"last line without line feed", "0212345678\n0311234567", {"1|02-1234-5678||||", "2|031-123-4567||||"}, 0, 0},
      // 홍길동 in code page 949 (C8AB B1E6 B5BF) and the same in UTF-8, with and without BOM.
      {"cp949", "0212345678,\xC8\xAB\xB1\xE6\xB5\xBF\n", {"1|02-1234-5678|홍길동|||"}, 0, 0},
      {"utf-8", "0212345678,홍길동\n", {"1|02-1234-5678|홍길동|||"}, 0, 0},
      {"utf-8 with bom", "\xEF\xBB\xBF" "0212345678,홍길동\n", {"1|02-1234-5678|홍길동|||"}, 0, 0},
      // Lines are measured in 949 bytes: 가나다 is 6 (9 in UTF-8) and skipped, 가나다라 is 8.
      {"length counted in cp949", "가나다\n가나다라\n", {}, 0, 1},
  };
  for (const auto& tc : cases) {
    SendList list;
    CallTargetImporter imp(list);
    const ImportResult r = imp.ImportTextBytes(tc.bytes);
    EXPECT_TRUE(r.completed) << tc.name;
    EXPECT_EQ(Rows(list), tc.rows) << tc.name;
    EXPECT_EQ(r.counts.duplicates, tc.duplicates) << tc.name;
    EXPECT_EQ(r.counts.ignored, tc.ignored) << tc.name;
    EXPECT_EQ(r.counts.imported, static_cast<long>(tc.rows.size())) << tc.name;
  }
}

TEST(ImportTextTest, DuplicatesKeptWhenExclusionIsOff) {
  SendList list;
  ImportOptions o;
  o.exclude_duplicates = false;
  CallTargetImporter imp(list, o);
  const ImportResult r = imp.ImportTextBytes("010-1234-5678\n01012345678\n");
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(r.counts.duplicates, 0);
  EXPECT_EQ(r.message, "가져온 건수:2건 중복건수:0건\r\n");
}

TEST(ImportTextTest, LeadingZeroIsAddedOnlyWhenAnsweredYes) {
  for (bool yes : {false, true}) {
    SendList list;
    std::vector<std::string> asked;
    ImportCallbacks cb;
    cb.ask_add_zero = [&](const std::string& m) {
      asked.push_back(m);
      return yes;
    };
    CallTargetImporter imp(list, {}, cb);
    imp.ImportTextBytes("1012345678\n0212345678\n");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], msg::kAddZero);
    EXPECT_EQ(list.Get(0, 1), yes ? "010-1234-5678" : "101-234-5678");
    EXPECT_EQ(list.Get(1, 1), "02-1234-5678");
  }
  SendList list;
  bool asked = false;
  ImportCallbacks cb;
  cb.ask_add_zero = [&](const std::string&) { return asked = true; };
  CallTargetImporter(list, {}, cb).ImportTextBytes("0212345678\n");
  EXPECT_FALSE(asked);
}

TEST(ImportTextTest, StopKeepsTheRowsSoFarAndBadFilesGetMessages) {
  SendList list;
  int polls = 0;
  ImportCallbacks cb;
  cb.stop = [&] { return ++polls > 300; };
  CallTargetImporter imp(list, {}, cb);
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "0101234" + std::to_string(1000 + i) + "\n";
  const ImportResult r = imp.ImportTextBytes(text);
  EXPECT_TRUE(r.completed && r.stopped);
  EXPECT_EQ(r.counts.imported, 300);
  EXPECT_EQ(r.message, "가져온 건수:300건 중복건수:0건\r\n");

  const ImportResult missing = imp.ImportTextFile("/nonexistent/list.csv");
  EXPECT_FALSE(missing.completed);
  EXPECT_EQ(missing.message, "화일 열기 실패(/nonexistent/list.csv)");
  EXPECT_EQ(list.size(), 0u);
  // A directory opens but cannot be read: the same failure, not an empty list.
  const ImportResult directory = imp.ImportTextFile("/tmp");
  EXPECT_FALSE(directory.completed);
  EXPECT_EQ(directory.message, "화일 열기 실패(/tmp)");

  const ImportResult binary = imp.ImportTextBytes(std::string("PK\x03\x04\0\0garbage", 13));
  EXPECT_FALSE(binary.completed);
  EXPECT_FALSE(binary.message.empty());
}

TEST(ImportPasteTest, TabsKeepEmptyCellsAndLengthErrorsStopTheRun) {
  SendList list;
  CallTargetImporter imp(list);
  ImportResult r = imp.ApplyPastedText("01012345678\t\tabc\r\nnot a number\t1\n0212345678\tO'K\n0311234567");
  EXPECT_TRUE(r.completed);
  EXPECT_EQ(Rows(list), (std::vector<std::string>{"1|010-1234-5678||abc||", "2|02-1234-5678|O K|||",
                                                  "3|031-123-4567||||"}));
  r = imp.ApplyPastedText("0212345678\n");
  EXPECT_EQ(list.size(), 1u);

  const std::string info(101, 'a');
  r = imp.ApplyPastedText("0212345678\tok\n0311234567\tx\t" + std::string(51, 'b') + "\n0411234567\n");
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.message.substr(0, r.message.find('\n')),
            "라인(2) 고객정보2(" + std::string(51, 'b') + ")은 영문 50자 이내이어야 합니다.");
  EXPECT_EQ(Rows(list), (std::vector<std::string>{"1|02-1234-5678|ok|||", "2|031-123-4567|x|||"}));
  // 51 bytes of Hangul-free text fail; 25 Hangul syllables (50 bytes in 949) pass.
  std::string hangul;
  for (int i = 0; i < 25; ++i) hangul += "가";
  r = imp.ApplyPastedText("0212345678\tx\t" + hangul);
  EXPECT_TRUE(r.completed);
}

class ImportExcelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/dispatch_import_test.XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    dir_ = tmpl;
    path_ = dir_ + "/targets.xlsx";
    workbook::XlsxWriter w;
    w.AddSheet("Sheet1");
    w.AppendRow({std::string("전화번호"), std::string("이름"), std::string("메모")});
    w.AppendRow({1012345678.0, std::string("홍길동"), std::string("a'b")});
    w.AppendRow({std::string("123456789012345"), std::string(120, 'x'), std::string("")});
    w.AppendRow({std::string("101-234-5678"), std::string("dup"), std::string("")});
    w.AppendRow({std::string("0212345678"), std::string(""), std::string(51, 'm')});
    w.AddSheet("Empty");
    w.SaveAs(path_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_, path_;
};

TEST_F(ImportExcelTest, ChecksAskInOrderCountIgnoredAndSkipTheHeader) {
  SendList list;
  std::vector<std::string> asked;
  ImportCallbacks cb;
  cb.ask_once = [&](const std::string& m) {
    asked.push_back(m);
    return AskOnceAnswer{true, false};
  };
  cb.ask_add_zero = [](const std::string&) { return true; };
  CallTargetImporter imp(list, {}, cb);
  WorkbookSelection s;
  s.sheet = "Sheet1$";
  s.phone_column = "F1";
  s.info_columns[0] = "F2";
  s.info_columns[1] = "F3";
  s.skip_first_row = true;
  const ImportResult r = imp.ImportExcelFile(path_, s);
  ASSERT_TRUE(r.completed) << r.message;
  EXPECT_EQ(Rows(list), (std::vector<std::string>{"1|010-1234-5678|홍길동|a b||"}));
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], "전화번호 길이 오류(123456789012345). 길이는 3 ~ 14자 이하여야 합니다.\n무시하고 계속 진행 하시겠습니까?");
  EXPECT_EQ(asked[1], FormatMessage(msg::kInfoLength[0], {std::string(120, 'x')}));
  EXPECT_EQ(asked[2], FormatMessage(msg::kInfoLength[1], {std::string(51, 'm')}));
  // read 5 (header included); ignored 2 + 1 + header; 101-234-5678 repeats the first row before its 0 is added.
  EXPECT_EQ(r.message, "읽은건수:5, 가져온 건수:1건, 무시된 건수:4 중복건수:1건\r\n");
}

TEST_F(ImportExcelTest, NoEndsTheRunDoNotAskSilencesAndErrorsHaveMessages) {
  SendList list;
  int asked = 0;
  ImportCallbacks cb;
  cb.ask_once = [&](const std::string&) {
    ++asked;
    return AskOnceAnswer{false, false};
  };
  CallTargetImporter imp(list, {}, cb);
  WorkbookSelection s{"Sheet1$", "F1", {"F2", "", "", ""}, true};
  ImportResult r = imp.ImportExcelFile(path_, s);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(list.size(), 1u);  // the row before stays
  EXPECT_EQ(r.counts.read, 3);

  asked = 0;
  cb.ask_once = [&](const std::string&) {
    ++asked;
    return AskOnceAnswer{true, true};
  };
  CallTargetImporter quiet(list, {}, cb);
  r = quiet.ImportExcelFile(path_, s);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(r.counts.ignored, 3);  // two checks of one row and the header

  r = quiet.ImportExcelFile(path_, WorkbookSelection{"Empty$", "F1", {}, false});
  EXPECT_TRUE(r.completed) << r.message;
  EXPECT_EQ(r.counts.read, 0);
  r = quiet.ImportExcelFile(path_, WorkbookSelection{"Nope$", "F1", {}, false});
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.message.rfind("excel 파일 열기 오류(", 0), 0u) << r.message;
  std::ofstream(dir_ + "/fake.xlsx") << "0212345678,abc\n";
  r = quiet.ImportExcelFile(dir_ + "/fake.xlsx", s);
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.message.rfind("excel 파일 열기 오류(", 0), 0u) << r.message;
}

TEST(WorkbookQueryTest, UnchosenColumnsGetPlaceholders) {
  WorkbookSelection s{"Sheet1$", "F1", {"F3", "", "", ""}, false};
  EXPECT_EQ(WorkbookDataQuery(s),
            "select F1 , F3 , 'DUMMY_CUST' as CUST_INFO , 'DUMMY_CUST2' as CUST_INFO2 , 'DUMMY_CUST3' as CUST_INFO3 "
            "from [Sheet1$]");
}

}  // namespace
}  // namespace dispatch
