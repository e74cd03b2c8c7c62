#include "client/import/import_dlg.h"

#include "client/import/ask_once_dlg.h"
#include "client/import/import_test_fixture.h"
#include "client/import/select_sheet_dlg.h"
#include "platform/codepage.h"
#include "workbook/xlsx_writer.h"

namespace {

const std::string kData = IMPORT_TESTDATA;

class ImportTest : public ImportDialogTest {
 protected:
  // Runs the import dialog; act plays the user inside it.
  int Run(const std::function<void(CDlgImport&)>& act) {
    host_.AnswerDialog([&](ui::Dialog& d) {
      act(static_cast<CDlgImport&>(d));
      // A run that did not end the dialog leaves it idle: close it.
      if (!d.ended()) {
        EXPECT_FALSE(d.Get(CDlgImport::kStop).Visible());
        EXPECT_TRUE(host_.Click(d, ui::IDCANCEL));
      }
    });
    CDlgImport dlg(app_, env_, list_);
    dlg.m_pProfile = profile_.get();
    return dlg.DoModal();
  }
  // Types the path and presses import.
  void Import(CDlgImport& d, const std::string& path) {
    ASSERT_TRUE(host_.Type(d, CDlgImport::kFileName, path));
    ASSERT_TRUE(host_.Click(d, CDlgImport::kImport));
  }
  void SetUp() override {
    ImportDialogTest::SetUp();
    profile_ = std::make_unique<platform::ProfileStore>(dir_ + "/profile.ini");
  }
  std::unique_ptr<platform::ProfileStore> profile_;
};

TEST_F(ImportTest, TextFilesInBothEncodingsWithDuplicatesShortLinesAndTheLeadingZero) {
  const std::string text = "010-1234-5678,,홍길동\r\n01012345678,dup\r\n123456\r\n1098765432,it's\r\n";
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"cp949.csv", platform::Utf8ToCp949(text)},
      {"utf8.txt", text},
      {"bom.csv", "\xEF\xBB\xBF" + text},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteFile(c.name, c.bytes);
    const std::size_t before = host_.MessageBoxes().size();
    EXPECT_EQ(Run([&](CDlgImport& d) {
                host_.AnswerMessageBox(ui::IDYES);  // add the 0
                Import(d, path);
              }),
              ui::IDOK);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1|010-1234-5678|홍길동|||", "2|010-9876-5432|it s|||"}));
    const auto boxes = host_.MessageBoxes();
    ASSERT_EQ(boxes.size(), before + 2);
    EXPECT_EQ(boxes[before].text,
              "맨 앞자리 국번에 0 이 없는 데이터가 포함되어 있습니다.\r\n\r\n         강제로 0을 추가 하시겠습니까? ");
    EXPECT_EQ(boxes[before].caption, "확인");
    EXPECT_EQ(boxes[before].type & ui::MB_BUTTONMASK, ui::MB_YESNO);
    EXPECT_EQ(boxes[before + 1].text, "가져온 건수:2건 중복건수:1건\r\n");
    EXPECT_EQ(boxes[before + 1].caption, "확인");
    EXPECT_EQ(boxes[before + 1].type & ui::MB_ICONMASK, ui::MB_ICONINFORMATION);
  }
  // Without the exclusion both spellings of the number stay; no 0 added.
  const std::string path = WriteFile("again.csv", text);
  EXPECT_EQ(Run([&](CDlgImport& d) {
              host_.AnswerMessageBox(ui::IDNO);
              ASSERT_TRUE(host_.Click(d, CDlgImport::kExcludeDuplicates));
              Import(d, path);
            }),
            ui::IDOK);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1|010-1234-5678|홍길동|||", "2|010-1234-5678|dup|||",
                                              "3|109-876-5432|it s|||"}));
  EXPECT_EQ(host_.MessageBoxes().back().text, "가져온 건수:3건 중복건수:0건\r\n");
}

TEST_F(ImportTest, ChoosingAFileFillsThePathAndKeepsItsFolder) {
  const std::string path = WriteFile("list.csv", "0212345678,a\n");
  Run([&](CDlgImport& d) {
    host_.AnswerFileDialog({path});
    host_.AnswerFileDialog({});  // cancelled: the path stays
    ASSERT_TRUE(host_.Click(d, CDlgImport::kChooseFile));
    EXPECT_EQ(d.Get(CDlgImport::kFileName).Text(), path);
    ASSERT_TRUE(host_.Click(d, CDlgImport::kChooseFile));
    EXPECT_EQ(d.Get(CDlgImport::kFileName).Text(), path);
  });
  EXPECT_EQ(profile_->GetProfileString(platform::kProfileSection, kRecentFolderEntry), dir_);
  ASSERT_EQ(host_.modals().size(), 3u);
  EXPECT_EQ(host_.modals()[1].text, kImportFileFilter);
  EXPECT_TRUE(list_.ItemCount() == 0);
}

TEST_F(ImportTest, AFileThatCannotBeOpenedKeepsTheDialogOpenAndTheListEmpty) {
  list_.AppendRow({"1", "010-1111-2222", "", "", "", ""});
  const std::string path = dir_ + "/none.csv";
  EXPECT_EQ(Run([&](CDlgImport& d) {
              Import(d, path);
              EXPECT_FALSE(d.ended());
              EXPECT_TRUE(d.Get(CDlgImport::kImport).Enabled());
              EXPECT_TRUE(d.Get(ui::IDCANCEL).Enabled());
            }),
            ui::IDCANCEL);
  EXPECT_EQ(list_.ItemCount(), 0);
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  EXPECT_EQ(host_.MessageBoxes()[0].text, "화일 열기 실패(" + path + ")");
  EXPECT_EQ(host_.MessageBoxes()[0].caption, "에러");
}

TEST_F(ImportTest, StopAfterSomeRowsKeepsThemAndCompletesTheRun) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "0212" + std::to_string(100000 + i) + ",x\n";
  const std::string path = WriteFile("long.csv", text);
  bool running_look = false;
  EXPECT_EQ(Run([&](CDlgImport& d) {
              // The user presses stop once 300 rows are in the list.
              std::function<void()> watch = [&] {
                if (list_.ItemCount() < 300) {
                  app_.dispatcher().Post(watch);
                  return;
                }
                running_look = d.Get(CDlgImport::kProgress).Visible() && d.Get(CDlgImport::kStatus).Visible() &&
                               !d.Get(CDlgImport::kImport).Enabled() && !d.Get(ui::IDCANCEL).Enabled();
                EXPECT_EQ(d.Get(CDlgImport::kStatus).Text(), "가져온 건수:300건 중복건수:0건");
                EXPECT_EQ(d.Get<ui::Progress>(CDlgImport::kProgress).Pos(), 20);  // row 201 of 1000
                EXPECT_TRUE(host_.Click(d, CDlgImport::kStop));
              };
              app_.dispatcher().Post(watch);
              Import(d, path);
            }),
            ui::IDOK);
  EXPECT_TRUE(running_look);
  EXPECT_EQ(list_.ItemCount(), 300);
  EXPECT_EQ(host_.MessageBoxes().back().text, "가져온 건수:300건 중복건수:0건\r\n");
}

// A workbook import through the sheet dialog: sheet, phone and customer
// information columns, header row skipped.
TEST_F(ImportTest, WorkbooksThroughTheSheetDialog) {
  for (const char* file : {"targets.xlsx", "targets.xls"}) {
    SCOPED_TRACE(file);
    const std::size_t before = host_.MessageBoxes().size();
    EXPECT_EQ(Run([&](CDlgImport& d) {
                host_.AnswerDialog([&](ui::Dialog& s) {
                  host_.Advance(ui::TestHost::kMinTimerMs);
                  ASSERT_TRUE(host_.Select(s, CDlgSelectExcelSheet::kSheets, 0));
                  ASSERT_TRUE(host_.Select(s, CDlgSelectExcelSheet::kPhoneColumn, 0));
                  ASSERT_TRUE(host_.Select(s, CDlgSelectExcelSheet::kInfoColumns[0], 1));
                  ASSERT_TRUE(host_.Select(s, CDlgSelectExcelSheet::kInfoColumns[1], 2));
                  ASSERT_TRUE(host_.Click(s, CDlgSelectExcelSheet::kSkipFirstRow));
                  ASSERT_TRUE(host_.Click(s, ui::IDOK));
                  host_.AnswerMessageBox(ui::IDNO);  // no 0 added
                });
                Import(d, kData + "/" + file);
              }),
              ui::IDOK);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1|101-234-5678|홍길동|it s VIP||", "2|010-9876-5432|김철수|0.25||",
                                                "3|821055556666||2024-01-15||"}));
    const auto boxes = host_.MessageBoxes();
    ASSERT_EQ(boxes.size(), before + 2);
    EXPECT_EQ(boxes[before].caption, "확인");
    EXPECT_EQ(boxes[before + 1].text, "읽은건수:4, 가져온 건수:3건, 무시된 건수:1 중복건수:0건\r\n");
  }
  // A cancelled sheet choice leaves the import dialog open.
  EXPECT_EQ(Run([&](CDlgImport& d) {
              host_.AnswerDialog(ui::IDCANCEL);
              Import(d, kData + "/targets.xlsx");
              EXPECT_FALSE(d.ended());
            }),
            ui::IDCANCEL);
}

TEST_F(ImportTest, FieldChecksAskOnceOrEndTheRun) {
  const std::string path = dir_ + "/checks.xlsx";
  {
    workbook::XlsxWriter w;
    w.AddSheet("Sheet1");
    w.AppendRow({std::string("123456789012345"), std::string(120, 'x')});
    w.AppendRow({std::string("0212345678"), std::string("ok")});
    w.AppendRow({std::string("1234567890123456"), std::string("long")});
    w.AppendRow({std::string("0311234567"), std::string("last")});
    w.SaveAs(path);
  }
  auto choose = [&](ui::Dialog& s) {
    host_.Advance(ui::TestHost::kMinTimerMs);
    ASSERT_TRUE(host_.Select(s, CDlgSelectExcelSheet::kSheets, 0));
    ASSERT_TRUE(host_.Select(s, CDlgSelectExcelSheet::kPhoneColumn, 0));
    ASSERT_TRUE(host_.Select(s, CDlgSelectExcelSheet::kInfoColumns[0], 1));
    ASSERT_TRUE(host_.Click(s, ui::IDOK));
  };
  // Yes with do-not-ask-again: one question for three failed checks.
  EXPECT_EQ(Run([&](CDlgImport& d) {
              host_.AnswerDialog(choose);
              host_.AnswerDialog([&](ui::Dialog& a) {
                EXPECT_EQ(a.Caption(), "확인");
                EXPECT_EQ(a.Get(CDlgAskOnce::kMessage).Text(),
                          "전화번호 길이 오류(123456789012345). 길이는 3 ~ 14자 이하여야 합니다.\n무시하고 계속 진행 "
                          "하시겠습니까?");
                ASSERT_TRUE(host_.Click(a, CDlgAskOnce::kDontAskAgain));
                ASSERT_TRUE(host_.Click(a, ui::IDOK));
              });
              Import(d, path);
            }),
            ui::IDOK);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1|02-1234-5678|ok|||", "2|031-123-4567|last|||"}));
  EXPECT_EQ(host_.MessageBoxes().back().text, "읽은건수:4, 가져온 건수:2건, 무시된 건수:3 중복건수:0건\r\n");

  // No ends the run at once; the summary still comes and the dialog closes.
  EXPECT_EQ(Run([&](CDlgImport& d) {
              host_.AnswerDialog(choose);
              host_.AnswerDialog(ui::IDCANCEL);
              Import(d, path);
            }),
            ui::IDOK);
  EXPECT_EQ(list_.ItemCount(), 0);
  EXPECT_EQ(host_.MessageBoxes().back().text, "읽은건수:1, 가져온 건수:0건, 무시된 건수:1 중복건수:0건\r\n");
}

}  // namespace
