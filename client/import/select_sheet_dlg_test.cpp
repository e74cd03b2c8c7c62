#include "client/import/select_sheet_dlg.h"

#include "client/import/import_test_fixture.h"

namespace {

const std::string kData = IMPORT_TESTDATA;

TEST(WorkbookConnectionStringTest, AceForXlsxJetOtherwise) {
  EXPECT_EQ(dispatch::WorkbookConnectionString("/d/a.XLSX"),
            "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/a.XLSX;Extended Properties=\"Excel 12.0;HDR=No;IMEX=1\"");
  EXPECT_EQ(dispatch::WorkbookConnectionString("/d/a.xls"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/a.xls;Extended Properties=\"Excel 8.0;HDR=No;IMEX=1\"");
}

using SelectSheetTest = ImportDialogTest;

std::vector<std::string> ListRows(const ui::ReportList& l) {
  std::vector<std::string> out;
  for (int r = 0; r < l.ItemCount(); ++r) {
    std::string row;
    for (int c = 0; c < l.ColumnCount(); ++c) row += (c ? "|" : "") + l.ItemText(r, c);
    out.push_back(row);
  }
  return out;
}

// The whole choice on both fixtures: the sheet list after the start timer,
// an empty sheet, the sample, OK without a phone column, the preview with
// and without the first row.
TEST_F(SelectSheetTest, ListsSheetsSamplesPreviewsAndNeedsAPhoneColumn) {
  for (const char* file : {"targets.xlsx", "targets.xls"}) {
    SCOPED_TRACE(file);
    const bool xls = std::string(file) == "targets.xls";
    const std::string d2 = xls ? "0" : "홍길동님";  // the cached text formula (see the fixture notes)
    const std::size_t boxes_before = host_.MessageBoxes().size();
    host_.AnswerDialog([&](ui::Dialog& dlg) {
      auto& d = static_cast<CDlgSelectExcelSheet&>(dlg);
      EXPECT_EQ(d.Get<ui::ComboBox>(CDlgSelectExcelSheet::kSheets).Count(), 0);  // nothing before it is painted
      host_.Advance(0);
      EXPECT_EQ(d.Get<ui::ComboBox>(CDlgSelectExcelSheet::kSheets).Count(), 0);
      host_.Advance(ui::TestHost::kMinTimerMs);
      EXPECT_TRUE(host_.Timers(d).empty());
      EXPECT_EQ(d.Get<ui::ComboBox>(CDlgSelectExcelSheet::kSheets).Items(),
                (std::vector<std::string>{"Targets$", "Empty$", "'My Sheet$'"}));
      ASSERT_TRUE(host_.Select(d, CDlgSelectExcelSheet::kSheets, 0));
      const ui::ReportList& sample = d.Get<ui::ReportList>(CDlgSelectExcelSheet::kSample);
      ASSERT_EQ(sample.ColumnCount(), 5);
      EXPECT_EQ(sample.Column(0).header, "NO");
      EXPECT_EQ(sample.Column(4).header, "F4");
      EXPECT_EQ(ListRows(sample), (std::vector<std::string>{"1|전화번호|이름|메모|계산",
                                                            "2|1012345678|홍길동|it's VIP|" + d2,
                                                            "3|01098765432|김철수|0.25|10123456781",
                                                            "4|821055556666||2024-01-15|TRUE"}));
      EXPECT_EQ(d.Get<ui::ComboBox>(1205).Items(), (std::vector<std::string>{"F1", "F2", "F3", "F4"}));

      // The empty sheet keeps the lists as they are.
      ASSERT_TRUE(host_.Select(d, CDlgSelectExcelSheet::kSheets, 1));
      EXPECT_EQ(d.Get<ui::ComboBox>(CDlgSelectExcelSheet::kPhoneColumn).Count(), 4);
      ASSERT_TRUE(host_.Select(d, CDlgSelectExcelSheet::kSheets, 0));

      ASSERT_TRUE(host_.Select(d, 1188, 2));  // customer information 1: F3
      ASSERT_TRUE(host_.Click(d, ui::IDOK));
      EXPECT_FALSE(d.ended());  // no phone column yet
      ASSERT_TRUE(host_.Select(d, CDlgSelectExcelSheet::kPhoneColumn, 0));
      const ui::ReportList& preview = d.Get<ui::ReportList>(CDlgSelectExcelSheet::kPreview);
      EXPECT_EQ(ListRows(preview), (std::vector<std::string>{"1|전화번호|메모|||", "2|1012345678|it's VIP|||",
                                                             "3|01098765432|0.25|||", "4|821055556666|2024-01-15|||"}));
      ASSERT_TRUE(host_.Click(d, CDlgSelectExcelSheet::kSkipFirstRow));
      EXPECT_EQ(ListRows(preview), (std::vector<std::string>{"1|1012345678|it's VIP|||", "2|01098765432|0.25|||",
                                                             "3|821055556666|2024-01-15|||"}));
      ASSERT_TRUE(host_.Click(d, ui::IDOK));
    });
    CDlgSelectExcelSheet dlg(app_, env_);
    dlg.m_strFilePath = kData + "/" + file;
    ASSERT_EQ(dlg.DoModal(), ui::IDOK);
    const dispatch::WorkbookSelection s = dlg.Selection();
    EXPECT_EQ(s.sheet, "Targets$");
    EXPECT_EQ(s.phone_column, "F1");
    EXPECT_EQ(s.info_columns[0], "F3");
    EXPECT_EQ(s.info_columns[1], "");
    EXPECT_TRUE(s.skip_first_row);
    EXPECT_TRUE(dlg.Connection().IsOpen());  // the caller runs its statements on it
    const auto boxes = host_.MessageBoxes();
    ASSERT_EQ(boxes.size(), boxes_before + 2);
    EXPECT_EQ(boxes[boxes_before].text, "선택한 시트에는 데이터가 없습니다.");
    EXPECT_EQ(boxes[boxes_before].caption, "알림");
    EXPECT_EQ(boxes[boxes_before + 1].text, "전호번호가 선택되지 않았습니다.");
  }
}

TEST_F(SelectSheetTest, AWorkbookThatCannotBeOpenedCancelsAfterTheMessage) {
  struct Case {
    std::string path;
    const char* prefix;
  } cases[] = {
      {WriteFile("list.xlsx", "010-1234-5678,abc\n"), "excel 파일 연결 오류("},
      {dir_ + "/missing.xls", "excel 파일 연결 오류("},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    host_.AnswerDialog([&](ui::Dialog& d) {
      host_.Advance(ui::TestHost::kMinTimerMs);
      EXPECT_TRUE(d.ended());
    });
    CDlgSelectExcelSheet dlg(app_, env_);
    dlg.m_strFilePath = c.path;
    EXPECT_EQ(dlg.DoModal(), ui::IDCANCEL);
    ASSERT_FALSE(host_.MessageBoxes().empty());
    EXPECT_EQ(host_.MessageBoxes().back().text.rfind(c.prefix, 0), 0u) << host_.MessageBoxes().back().text;
  }
}

}  // namespace
