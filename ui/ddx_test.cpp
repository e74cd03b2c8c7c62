#include "ui/ddx.h"

#include <gtest/gtest.h>

#include "ui/testhost/test_host.h"

namespace ui {
namespace {

// A dialog whose exchange the test chooses.
struct ExchangeDialog : Dialog {
  explicit ExchangeDialog(App& app) : Dialog(app, "설정", Rect{0, 0, 100, 60}) {
    AddEdit(1101, {});
    AddEdit(1102, {});
    AddCheckBox(1103, "체크", {});
    AddRadio(1104, "가", {}, kGroup);
    AddRadio(1105, "나", {});
    AddComboBox(1106, {});
    AddButton(IDOK, "설정", {}, kDefault);
    AddButton(IDCANCEL, "취소", {});
    Get<ComboBox>(1106).AddString("하나");
    Get<ComboBox>(1106).AddString("둘");
  }
  std::string address = "127.0.0.1";
  int count = 5;
  int check = 1;
  int radio = 1;
  std::string choice = "둘";
  void DoDataExchange(DataExchange& dx) override {
    DDX_Text(dx, 1101, address);
    DDV_MaxChars(dx, address, 50);
    DDX_Text(dx, 1102, count);
    DDV_MinMaxInt(dx, count, 1, 100);
    DDX_Check(dx, 1103, check);
    DDX_Radio(dx, 1104, radio);
    DDX_CBString(dx, 1106, choice);
  }
};

struct DdxTest : ::testing::Test {
  TestHost host;
  App app{host};
};

TEST_F(DdxTest, LoadFillsControlsAndSetsTheLimit) {
  ExchangeDialog d(app);
  host.AnswerDialog([&](Dialog& dlg) {
    EXPECT_EQ(dlg.Get(1101).Text(), "127.0.0.1");
    EXPECT_EQ(dlg.Get<Edit>(1101).Limit(), 50);
    EXPECT_EQ(dlg.Get(1102).Text(), "5");
    EXPECT_EQ(dlg.Get<Button>(1103).Check(), 1);
    EXPECT_EQ(dlg.Get<Button>(1105).Check(), 1);
    EXPECT_EQ(dlg.Get<ComboBox>(1106).CurSel(), 1);
    host.Type(dlg, 1102, "42");
    host.Click(dlg, 1104);
    host.Select(dlg, 1106, 0);
    host.Click(dlg, IDOK);
  });
  EXPECT_EQ(d.DoModal(), IDOK);
  EXPECT_EQ(d.count, 42);
  EXPECT_EQ(d.radio, 0);
  EXPECT_EQ(d.choice, "하나");
  EXPECT_TRUE(host.faults().empty());
}

TEST_F(DdxTest, FailedChecksShowTheirMessageAndKeepTheDialogOpen) {
  struct Case {
    const char* name;
    const char* address;
    const char* count;
    const char* message;
    int focus;
  };
  const Case cases[] = {
      {"too long in bytes", "가나다라마바사아자차카타파하가나다라마바사아자차카타", "5",
       "50바이트 이내로 입력하십시오.", 1101},
      {"not a number", "a", "12x", "정수를 입력하십시오.", 1102},
      {"empty number", "a", "", "정수를 입력하십시오.", 1102},
      {"out of range", "a", "101", "1에서 100 사이의 정수를 입력하십시오.", 1102},
      {"beyond int", "a", "99999999999", "-2147483648에서 2147483647 사이의 정수를 입력하십시오.", 1102},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestHost h;
    App a(h);
    ExchangeDialog d(a);
    h.AnswerDialog([&](Dialog& dlg) {
      dlg.Get(1101).SetText(c.address);  // programmatic: not held to the limit
      dlg.Get(1102).SetText(c.count);
      h.Click(dlg, IDOK);
      EXPECT_FALSE(dlg.ended());
      EXPECT_EQ(dlg.Focus(), c.focus);
      h.PressEscape(dlg);
    });
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    ASSERT_EQ(h.MessageBoxes().size(), 1u);
    EXPECT_EQ(h.MessageBoxes()[0].text, c.message);
    EXPECT_EQ(h.MessageBoxes()[0].caption, "Tellomar");
    EXPECT_EQ(h.MessageBoxes()[0].type & MB_ICONMASK, MB_ICONWARNING);
  }
}

TEST_F(DdxTest, ValueBeforeTheFailingCheckIsAlreadyTaken) {
  ExchangeDialog d(app);
  host.AnswerDialog([&](Dialog& dlg) {
    dlg.Get(1101).SetText(std::string(60, 'x'));
    EXPECT_FALSE(static_cast<ExchangeDialog&>(dlg).UpdateData(true));
    dlg.EndDialog(IDCANCEL);
  });
  d.DoModal();
  EXPECT_EQ(d.address, std::string(60, 'x'));
}

}  // namespace
}  // namespace ui
