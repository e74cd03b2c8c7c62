#include "client/deny/regist_deny_dlg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "client/frame/frame_fixture.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(DenyNumberOfLineTest, FirstFieldDigitsOfSevenToTwenty) {
  struct Case {
    const char* line;
    const char* want;
  } cases[] = {
      {"010-1234-5678,친구 요청\r\n", "01012345678"},
      {"123456\n", ""},                        // six digits: skipped
      {"1234567\n", "1234567"},
      {"02-555-1234,010-9999-8888,비고\n", "025551234"},  // only the first field
      {"(031) 777 8888\r\n", "0317778888"},
      {"0101234567890123456789999\n", "01012345678901234567"},  // cut to 20
      {"\r\n", ""},
      {",01012345678\n", ""},
      {"\xEF\xBB\xBF" "01012345678", "01012345678"},  // a BOM is no digit
  };
  for (const Case& c : cases) EXPECT_EQ(DenyNumberOfLine(c.line), c.want) << c.line;
}

TEST(DenyStatementTest, TypedValuesCannotLeaveTheirLiterals) {
  EXPECT_EQ(StmtInsertDenyList("u1", "01012345678", "it's"),
            "exec P_INSERT_DENY_LIST 'u1', '01012345678','it''s'");
  EXPECT_EQ(StmtDeleteDeny("u'1", "010"), "delete from T_DENY_ORV where C_USER_ID = 'u''1' and C_TELNUM = '010' ");
  EXPECT_EQ(StmtDeleteAllDeny("u'1"), "delete from T_DENY_ORV where C_USER_ID = 'u''1'");
  EXPECT_EQ(StmtLookupDeny("u1", "010", true),
            "select C_TELNUM,TYPE,C_REGIST_DATE,C_COMMENT from V_DENY_INFO where C_USER_ID in('all', 'u1') and "
            "C_TELNUM like '%010%' order by C_TELNUM");
  EXPECT_EQ(StmtLookupDeny("u1", "0'1", false),
            "select C_TELNUM, '사용자수신거부' as TYPE,C_REGIST_DATE,C_COMMENT from T_DENY_ORV where C_USER_ID = "
            "'u1' and C_TELNUM like '%0''1%' order by C_TELNUM");
  EXPECT_EQ(DenyLikeText("1%2_3[4]'"), "1[%]2[_]3[[]4]''");
}

class RegistDenyTest : public ProcedureFrameFixture {
 protected:
  void SetUp() override {
    ProcedureFrameFixture::SetUp();
    CDlgRegistDeny::s_nSortDirection = 1;
  }
  // Runs the dialog; act plays the user inside it, then the dialog is closed.
  void Run(const std::function<void(CDlgRegistDeny&)>& act) {
    host_.AnswerDialog([&](ui::Dialog& d) {
      auto& dlg = static_cast<CDlgRegistDeny&>(d);
      act(dlg);
      host_.Click(dlg, ui::IDCANCEL);
    });
    CDlgRegistDeny dlg(app_, env_, &the_app_.Profile());
    dlg.DoModal(nullptr);
    EXPECT_TRUE(host_.faults().empty()) << host_.faults().front();
  }
  Rows Query(const std::string& sql) {
    Rows rows;
    CTellomarEnv::RecordHandler previous =
        CTellomarEnv::SetRecordHandler([&rows](std::int32_t, std::int32_t, std::string_view record) {
          CRDBRecord r;
          r.Parse(record);
          std::vector<std::string> row;
          for (int i = 0; i < r.GetCount(); ++i) row.emplace_back(r.Field(i));
          rows.push_back(std::move(row));
          return 1;
        });
    long n = 0;
    EXPECT_EQ(env_.QueryRecord(1, sql, &n), 1) << sql;
    CTellomarEnv::SetRecordHandler(std::move(previous));
    return rows;
  }
  Rows DenyRows(const std::string& user) {
    return Query("select C_TELNUM, C_COMMENT from T_DENY_ORV where C_USER_ID = '" + user + "' order by C_TELNUM");
  }
  std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  // Registers a file through the file dialog and waits for the worker.
  void RegisterFile(CDlgRegistDeny& d, const std::string& path, const std::string& description) {
    host_.AnswerFileDialog({path});
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kChooseFile));
    ASSERT_TRUE(host_.Type(d, CDlgRegistDeny::kDescription, description));
    host_.AnswerMessageBox(ui::IDYES);
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kAddFromFile));
    ASSERT_TRUE(host_.PumpUntil([&] { return !d.Registering(); }, std::chrono::seconds(60)));
  }
  std::vector<std::string> Column(CDlgRegistDeny& d, int column) {
    auto& list = d.Get<ui::ReportList>(CDlgRegistDeny::kList);
    std::vector<std::string> out;
    for (int i = 0; i < list.ItemCount(); ++i) out.push_back(list.ItemText(i, column));
    return out;
  }
  void Lookup(CDlgRegistDeny& d, const std::string& text, bool common) {
    ASSERT_TRUE(host_.Type(d, CDlgRegistDeny::kLookupNumber, text));
    d.Get<ui::Button>(CDlgRegistDeny::kIncludeCommon).SetCheck(common ? 1 : 0);
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kLookup));
  }

  void AddDeny(const std::string& user, const std::string& number, const std::string& comment) {
    Exec("insert into T_DENY_ORV (C_USER_ID, C_TELNUM, C_REGIST_DATE, C_COMMENT) values ('" + user + "', '" +
         number + "', '20261201', '" + comment + "')");
  }
};

TEST_F(RegistDenyTest, FileLinesRegisterTheirFirstFieldDigitsWithTheDescription) {
  std::string text =
      "010-1234-5678,친구 요청\r\n"
      "123456\r\n"
      "02-555-1234,010-9999-8888,비고\r\n";
  // A long line's tail is no number of its own.
  text += "0311112222," + std::string(5000, 'x') + "0109998888,z\r\n";
  text += "\xC8\xAB\xB1\xE6\xB5\xBF 010 7777 6666\n";  // a name in code page 949 first
  const std::string path = WriteFile("deny.csv", text);
  Run([&](CDlgRegistDeny& d) { RegisterFile(d, path, "고객's 요청"); });

  EXPECT_EQ(DenyRows("u1"), (Rows{{"01012345678", "고객's 요청"},
                                  {"01077776666", "고객's 요청"},
                                  {"025551234", "고객's 요청"},
                                  {"0311112222", "고객's 요청"}}));
  const auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, kDenyAskAddText);
  EXPECT_EQ(boxes[0].caption, "확인");
  EXPECT_EQ(boxes[0].type, ui::MB_YESNO | ui::MB_ICONQUESTION);
  EXPECT_EQ(boxes[1].text, kDenyAddDoneText);
  EXPECT_EQ(boxes[1].type, ui::MB_OK | ui::MB_ICONINFORMATION);
  EXPECT_EQ(the_app_.GetProfileString(kRecentFolderEntry), dir_.string());
  EXPECT_FALSE(host_.wait_cursor());
}

TEST_F(RegistDenyTest, LargeFileGoesInSeveralBatchesAndReportsItsProgress) {
  std::string text;
  constexpr int kLines = 2500;  // about 115000 bytes of statements: three batches
  for (int i = 0; i < kLines; ++i) text += "010" + std::to_string(20000000 + i) + ",x\n";
  const std::string path = WriteFile("big.txt", text);
  std::string status;
  Run([&](CDlgRegistDeny& d) {
    RegisterFile(d, path, "대량");
    status = d.Get<ui::Static>(CDlgRegistDeny::kStatus).Text();
  });
  EXPECT_EQ(Query("select count(*) from T_DENY_ORV where C_USER_ID = 'u1'"), (Rows{{"2500"}}));
  EXPECT_EQ(status, "2500 건중 2500 건 추가중...");
}

TEST_F(RegistDenyTest, ClosingDuringARegistrationAsksThenStopsTheWorker) {
  std::string text;
  constexpr int kLines = 20000;
  for (int i = 0; i < kLines; ++i) text += "010" + std::to_string(30000000 + i) + "\n";
  const std::string path = WriteFile("close.txt", text);
  host_.AnswerDialog([&](ui::Dialog& dlg) {
    auto& d = static_cast<CDlgRegistDeny&>(dlg);
    host_.AnswerFileDialog({path});
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kChooseFile));
    ASSERT_TRUE(host_.Type(d, CDlgRegistDeny::kDescription, "닫기"));
    host_.AnswerMessageBox(ui::IDYES);
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kAddFromFile));
    // The worker cannot end before the user-interface thread serves it.
    ASSERT_TRUE(d.Registering());
    host_.AnswerMessageBox(ui::IDNO);
    ASSERT_TRUE(host_.Click(d, ui::IDCANCEL));
    EXPECT_FALSE(d.ended());
    host_.AnswerMessageBox(ui::IDYES);
    ASSERT_TRUE(host_.Click(d, ui::IDCANCEL));
    EXPECT_TRUE(d.ended());
    EXPECT_FALSE(d.Registering());
  });
  CDlgRegistDeny dlg(app_, env_, &the_app_.Profile());
  EXPECT_EQ(dlg.DoModal(nullptr), ui::IDCANCEL);
  EXPECT_TRUE(host_.faults().empty());
  EXPECT_FALSE(host_.wait_cursor());
  EXPECT_EQ(host_.MessageBoxes().at(1).text, kDenyAskStopText);
  EXPECT_LE(std::stoi(Query("select count(*) from T_DENY_ORV where C_USER_ID = 'u1'").at(0).at(0)), kLines);
}

TEST_F(RegistDenyTest, FileRegistrationRefusesMissingInputAndUnreadableFiles) {
  Run([&](CDlgRegistDeny& d) {
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kAddFromFile));
    EXPECT_EQ(d.Focus(), CDlgRegistDeny::kChooseFile);
    host_.AnswerFileDialog({(dir_ / "missing.csv").string()});
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kChooseFile));
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kAddFromFile));
    EXPECT_EQ(d.Focus(), CDlgRegistDeny::kDescription);
    ASSERT_TRUE(host_.Type(d, CDlgRegistDeny::kDescription, "a~$#^@*b"));
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kAddFromFile));
    ASSERT_TRUE(host_.Type(d, CDlgRegistDeny::kDescription, "설명"));
    host_.AnswerMessageBox(ui::IDYES);
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kAddFromFile));
    ASSERT_TRUE(host_.PumpUntil([&] { return !d.Registering(); }));
    EXPECT_TRUE(d.Get(CDlgRegistDeny::kAddFromFile).Enabled());
  });
  std::vector<std::string> texts;
  for (const auto& b : host_.MessageBoxes()) texts.push_back(b.caption + ":" + b.text);
  EXPECT_EQ(texts, (std::vector<std::string>{std::string("에러:") + kDenyNoFileText,
                                             std::string("에러:") + kDenyNoDescriptionText,
                                             std::string("에러:") + kDenyBadDescriptionText,
                                             std::string("확인:") + kDenyAskAddText,
                                             std::string("에러:") + kDenyOpenFailedText}));
  EXPECT_TRUE(DenyRows("u1").empty());
}

TEST_F(RegistDenyTest, DirectRegistrationNeedsMoreThanEightCharacters) {
  Run([&](CDlgRegistDeny& d) {
    ASSERT_TRUE(host_.Type(d, CDlgRegistDeny::kNumber, "1234567"));
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kAddOne));
    EXPECT_EQ(d.Focus(), CDlgRegistDeny::kNumber);
    ASSERT_TRUE(host_.Type(d, CDlgRegistDeny::kNumber, "12-345-67"));
    ASSERT_TRUE(host_.Type(d, CDlgRegistDeny::kComment, "본인 요청'"));
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kAddOne));
  });
  const auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, kDenyBadNumberText);
  EXPECT_EQ(boxes[0].caption, "확인");
  EXPECT_EQ(boxes[0].type, ui::MB_OK | ui::MB_ICONERROR);
  EXPECT_EQ(boxes[1].text, kDenyAddedText);
  // The service keeps the digits of the number as typed.
  EXPECT_EQ(DenyRows("u1"), (Rows{{"1234567", "본인 요청'"}}));
}

TEST_F(RegistDenyTest, LookupAsksForShortTextsAndListsTheCommonRowsOnRequest) {
  AddDeny("u1", "01012340001", "own");
  AddDeny("u1", "0299990000", "own2");
  AddDeny("all", "01012340002", "common");
  AddDeny("u2", "01012340003", "other");
  std::vector<std::vector<std::string>> own, both;
  Run([&](CDlgRegistDeny& d) {
    host_.AnswerMessageBox(ui::IDNO);
    Lookup(d, "010", false);  // asks; No ends it
    EXPECT_EQ(d.Get<ui::ReportList>(CDlgRegistDeny::kList).ItemCount(), 0);
    Lookup(d, "01012", false);  // does not ask
    own = {Column(d, 0), Column(d, 1), Column(d, 2), Column(d, 4)};
    Lookup(d, "01012", true);
    both = {Column(d, 0), Column(d, 1), Column(d, 2), Column(d, 4)};
    Lookup(d, "010_2", true);  // "_" is no pattern: no number holds "010_2"
    EXPECT_EQ(d.Get<ui::ReportList>(CDlgRegistDeny::kList).ItemCount(), 0);
  });
  EXPECT_EQ(own, (std::vector<std::vector<std::string>>{
                     {"1"}, {"01012340001"}, {"사용자수신거부"}, {"own"}}));
  EXPECT_EQ(both, (std::vector<std::vector<std::string>>{{"1", "2"},
                                                          {"01012340001", "01012340002"},
                                                          {"사용자수신거부", "전체수신거부"},
                                                          {"own", "common"}}));
  std::vector<std::string> texts;
  for (const auto& b : host_.MessageBoxes()) texts.push_back(b.caption + ":" + b.text);
  EXPECT_EQ(texts, (std::vector<std::string>{std::string("경고:") + kDenyAskLongLookupText,
                                             "알림:1 건의 자료가 조회 되었습니다.",
                                             "알림:2 건의 자료가 조회 되었습니다.",
                                             std::string("알림:") + kDenyNothingFoundText}));
}

TEST_F(RegistDenyTest, DeleteRemovesTheSelectedRowsHereAndOnTheService) {
  for (const char* n : {"01011110001", "01011110002", "01011110003", "01011110004"}) AddDeny("u1", n, "c");
  bool progress_shown = true;
  Run([&](CDlgRegistDeny& d) {
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kDelete));  // nothing selected
    Lookup(d, "0101111", false);
    ASSERT_TRUE(host_.ClickRow(d, CDlgRegistDeny::kList, 1));
    ASSERT_TRUE(host_.ClickRow(d, CDlgRegistDeny::kList, 3, true));
    host_.AnswerMessageBox(ui::IDYES);
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kDelete));
    EXPECT_EQ(Column(d, 1), (std::vector<std::string>{"01011110001", "01011110003"}));
    progress_shown = d.Get(CDlgRegistDeny::kProgress).Visible();
    EXPECT_EQ(d.Get<ui::Progress>(CDlgRegistDeny::kProgress).Pos(), 99);  // 100 held to the range 0..99
  });
  EXPECT_FALSE(progress_shown);
  EXPECT_EQ(DenyRows("u1"), (Rows{{"01011110001", "c"}, {"01011110003", "c"}}));
  std::vector<std::string> texts;
  for (const auto& b : host_.MessageBoxes()) texts.push_back(b.text);
  EXPECT_EQ(texts, (std::vector<std::string>{kDenyNoSelectionText, "4 건의 자료가 조회 되었습니다.",
                                             kDenyAskDeleteText, kDenyDeletedText}));
}

TEST_F(RegistDenyTest, HeaderClicksSortDescendingThenAscendingAndRenumber) {
  AddDeny("u1", "01022220002", "b");
  AddDeny("u1", "01022220001", "c");
  AddDeny("u1", "01022220003", "a");
  Run([&](CDlgRegistDeny& d) {
    Lookup(d, "0102222", false);
    ASSERT_TRUE(host_.ClickHeader(d, CDlgRegistDeny::kList, 4));
    EXPECT_EQ(Column(d, 4), (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(Column(d, 0), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Column(d, 1), (std::vector<std::string>{"01022220001", "01022220002", "01022220003"}));
    ASSERT_TRUE(host_.ClickHeader(d, CDlgRegistDeny::kList, 4));
    EXPECT_EQ(Column(d, 4), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Column(d, 0), (std::vector<std::string>{"1", "2", "3"}));
  });
}

TEST_F(RegistDenyTest, ClearingRemovesOnlyTheUsersOwnList) {
  AddDeny("u1", "01033330001", "own");
  AddDeny("all", "01033330002", "common");
  AddDeny("u2", "01033330003", "other");
  Run([&](CDlgRegistDeny& d) {
    host_.AnswerMessageBox(ui::IDYES);
    ASSERT_TRUE(host_.Click(d, CDlgRegistDeny::kClearAll));
  });
  EXPECT_TRUE(DenyRows("u1").empty());
  EXPECT_EQ(DenyRows("all").size(), 1u);
  EXPECT_EQ(DenyRows("u2").size(), 1u);
  const auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, "경고");
  EXPECT_EQ(boxes[1].text, kDenyClearedText);
}

}  // namespace
