#include "client/import/paste_data_dlg.h"

#include "client/dispatch/import.h"
#include "client/import/import_test_fixture.h"

namespace {

class PasteTest : public ImportDialogTest {
 protected:
  int Run(const std::function<void(CDlgPasteData&)>& act) {
    host_.AnswerDialog([&](ui::Dialog& d) {
      act(static_cast<CDlgPasteData&>(d));
      if (!d.ended()) {
        EXPECT_TRUE(host_.Click(d, ui::IDCANCEL));
      }
    });
    CDlgPasteData dlg(app_, env_, list_);
    return dlg.DoModal();
  }
};

TEST_F(PasteTest, TabsSplitCellsAndTheLastLineNeedsNoLineBreak) {
  struct Case {
    std::string text;
    const char* count;
    std::vector<std::string> rows;
    const char* summary;
  } cases[] = {
      {"01012345678\t\tabc\r\nnot a number\t1\n0212345678\tO'K\n0311234567", "(3)건",
       {"1|010-1234-5678||abc||", "2|02-1234-5678|O K|||", "3|031-123-4567||||"}, "가져온 건수:3건 중복건수:0건\r\n"},
      {"0212345678\ta\tb\tc\td\textra\n02-1234-5678\tdup\n", "(2)건", {"1|02-1234-5678|a|b|c|d"},
       "가져온 건수:1건 중복건수:1건\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Run([&](CDlgPasteData& d) {
                EXPECT_EQ(d.Get(CDlgPasteData::kCount).Text(), "(0)건");
                ASSERT_TRUE(host_.Type(d, CDlgPasteData::kText, c.text));
                EXPECT_EQ(d.Get(CDlgPasteData::kCount).Text(), c.count);
                host_.PressEnter(d);  // outside the text Enter ends nothing
                EXPECT_FALSE(d.ended());
                ASSERT_TRUE(host_.Click(d, CDlgPasteData::kApply));
              }),
              ui::IDOK);
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(host_.MessageBoxes().back().text, c.summary);
    EXPECT_EQ(host_.MessageBoxes().back().caption, "확인");
  }
}

TEST_F(PasteTest, ALengthErrorKeepsTheDialogAndItsTextAndClearAllEmptiesIt) {
  // The first number lost its leading zero: the length error comes first,
  // then the leading-zero question (answered no), then the summary.
  const std::string text = "1012345678\tok\n0311234567\tx\t" + std::string(51, 'b') + "\n0411234567\n";
  EXPECT_EQ(Run([&](CDlgPasteData& d) {
              ASSERT_TRUE(host_.Type(d, CDlgPasteData::kText, text));
              host_.AnswerMessageBox(ui::IDOK).AnswerMessageBox(ui::IDNO);
              ASSERT_TRUE(host_.Click(d, CDlgPasteData::kApply));
              EXPECT_FALSE(d.ended());
              EXPECT_EQ(d.Get(CDlgPasteData::kText).Text(), text);
              ASSERT_TRUE(host_.Click(d, CDlgPasteData::kClearAll));
              EXPECT_EQ(d.Get(CDlgPasteData::kText).Text(), "");
              EXPECT_EQ(d.Get(CDlgPasteData::kCount).Text(), "(0)건");
            }),
            ui::IDCANCEL);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1|101-234-5678|ok|||", "2|031-123-4567|x|||"}));
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "알림: 라인(2) 고객정보2(" + std::string(51, 'b') + ")은 영문 50자 이내이어야 합니다.",
                            std::string("확인: ") + dispatch::msg::kAddZero,
                            "확인: 가져온 건수:2건 중복건수:0건\r\n"}));
}

}  // namespace
