#include "ui/controls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/testhost/test_host.h"
#include "ui/window.h"

namespace ui {
namespace {

struct Fixture : ::testing::Test {
  TestHost host;
  App app{host};
  Dialog dlg{app, "시험", Rect{0, 0, 100, 100}};
  std::vector<NotifyInfo> seen;
  void Record(int id, Notify code) {
    dlg.On(id, code, [this](const NotifyInfo& n) { seen.push_back(n); });
  }
};

using EditTest = Fixture;

TEST_F(EditTest, TypingKeepsToLimitInCodePage949Bytes) {
  struct Case {
    const char* name;
    std::uint32_t style;
    int limit;
    const char* typed;
    const char* kept;
  };
  const Case cases[] = {
      {"ascii within limit", 0, 5, "abc", "abc"},
      {"ascii cut at limit", 0, 5, "abcdefg", "abcde"},
      {"hangul counts two", 0, 5, "가나다", "가나"},
      {"mixed fills exactly", 0, 5, "a가나", "a가나"},
      {"no limit", 0, 0, "가나다라마바사", "가나다라마바사"},
      {"number keeps digits", kNumber, 0, "12a-3가4", "1234"},
      {"single line drops breaks", 0, 0, "a\r\nb", "ab"},
      {"multi-line keeps breaks", kMultiline, 0, "a\r\nb", "a\r\nb"},
  };
  int id = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Edit& e = dlg.AddEdit(id, {}, c.style);
    e.SetLimit(c.limit);
    EXPECT_EQ(e.UserType(c.typed), c.kept);
    EXPECT_EQ(e.Text(), c.kept);
    ++id;
  }
}

TEST_F(EditTest, ChangeRaisedBySetTextAndTypingButNotWhenUnchanged) {
  Edit& e = dlg.AddEdit(10, {});
  Record(10, Notify::Change);
  e.SetText("a");
  e.SetText("a");
  e.UserType("ab");
  EXPECT_EQ(seen.size(), 2u);
  // Programmatic text is not held to the typing limit.
  e.SetLimit(1);
  e.SetText("long");
  EXPECT_EQ(e.Text(), "long");
  e.SetReadOnly(true);
  EXPECT_EQ(e.UserType("x"), "long");
}

using ButtonTest = Fixture;

TEST_F(ButtonTest, CheckBoxTogglesAndRadioClearsOnlyItsGroup) {
  Button& box = dlg.AddCheckBox(1, "상자", {});
  Button& a1 = dlg.AddRadio(2, "가", {}, kGroup);
  Button& a2 = dlg.AddRadio(3, "나", {});
  dlg.AddStatic(IDC_STATIC, "label", {});  // not a radio: stays outside
  Button& a3 = dlg.AddRadio(4, "다", {});
  Button& b1 = dlg.AddRadio(5, "라", {}, kGroup);
  Record(1, Notify::Clicked);
  box.UserClick();
  EXPECT_EQ(box.Check(), 1);
  box.UserClick();
  EXPECT_EQ(box.Check(), 0);
  EXPECT_EQ(seen.size(), 2u);
  b1.UserClick();
  a2.UserClick();
  EXPECT_EQ(a2.Check(), 1);
  a3.UserClick();
  EXPECT_EQ(a1.Check() + a2.Check(), 0);
  EXPECT_EQ(a3.Check(), 1);
  EXPECT_EQ(b1.Check(), 1);
  EXPECT_EQ(dlg.RadioGroup(3).size(), 3u);
  box.Enable(false);
  box.UserClick();
  EXPECT_EQ(box.Check(), 0);
  EXPECT_EQ(seen.size(), 2u);
}

using ComboTest = Fixture;

TEST_F(ComboTest, SortedInsertAndSelectionFollowsItsItem) {
  ComboBox& cb = dlg.AddComboBox(1, {}, kDropDownList | kSorted);
  for (const char* s : {"b", "가", "A", "c"}) cb.AddString(s);
  EXPECT_EQ(cb.Items(), (std::vector<std::string>{"A", "b", "c", "가"}));
  EXPECT_TRUE(cb.SetCurSel(1));
  cb.AddString("a0");  // lands before "b"
  EXPECT_EQ(cb.CurSel(), 2);
  EXPECT_EQ(cb.SelectedText(), "b");
  cb.DeleteString(0);
  EXPECT_EQ(cb.SelectedText(), "b");
  cb.DeleteString(1);
  EXPECT_EQ(cb.CurSel(), -1);
  EXPECT_EQ(cb.SelectedText(), "");
  EXPECT_FALSE(cb.SetCurSel(9));
  EXPECT_EQ(cb.FindStringExact("가"), 2);
  EXPECT_EQ(cb.FindStringExact("가", 2), 2);  // wraps round
  EXPECT_EQ(cb.FindStringExact("x"), ComboBox::kError);
}

TEST_F(ComboTest, UnsortedKeepsOrderAndUserSelectNotifies) {
  ComboBox& cb = dlg.AddComboBox(1, {});
  cb.AddString("99999999.전체");
  cb.InsertString(0, "1001.서비스");
  Record(1, Notify::SelChange);
  Record(1, Notify::DropDown);
  cb.UserDropDown();
  cb.UserSelect(1);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].code, Notify::DropDown);
  EXPECT_EQ(seen[1].item, 1);
  EXPECT_EQ(cb.SelectedText(), "99999999.전체");
  cb.SetCurSel(0);  // programmatic: no notification
  EXPECT_EQ(seen.size(), 2u);
}

using ReportListTest = Fixture;

TEST_F(ReportListTest, UserClicksSelectAndRaiseItemChanged) {
  ReportList& l = dlg.AddReportList(1, {}, kMultiSelect);
  l.InsertColumn(0, "NO", 40);
  for (int i = 0; i < 4; ++i) l.InsertItem(i, std::to_string(i));
  Record(1, Notify::ItemChanged);
  Record(1, Notify::Clicked);
  l.UserClickRow(1);
  l.UserClickRow(3, true);
  EXPECT_EQ(l.SelectedRows(), (std::vector<int>{1, 3}));
  l.UserClickRow(2);  // plain click: only that row
  EXPECT_EQ(l.SelectedRows(), (std::vector<int>{2}));
  // Events: sel 1, click, sel 3, click, desel 1, desel 3, sel 2, click.
  std::vector<std::pair<int, bool>> changes;
  for (auto& n : seen)
    if (n.code == Notify::ItemChanged) changes.emplace_back(n.item, n.selected);
  EXPECT_EQ(changes, (std::vector<std::pair<int, bool>>{{1, true}, {3, true}, {1, false}, {3, false}, {2, true}}));
  seen.clear();
  l.SelectAll(true);
  EXPECT_EQ(l.SelectedCount(), 4);
  EXPECT_EQ(seen.size(), 3u);  // rows 0, 1, 3 changed
}

TEST_F(ReportListTest, SingleSelectionListKeepsOneRow) {
  ReportList& l = dlg.AddReportList(1, {});
  for (int i = 0; i < 3; ++i) l.InsertItem(i, std::to_string(i));
  l.SetSelected(0, true);
  l.SetSelected(2, true);
  EXPECT_EQ(l.SelectedRows(), (std::vector<int>{2}));
  l.UserClickRow(1, true);
  EXPECT_EQ(l.SelectedRows(), (std::vector<int>{1}));
  l.SelectAll(true);
  EXPECT_EQ(l.SelectedCount(), 1);
}

TEST_F(ReportListTest, HostLearnsAppendsApartFromOtherChanges) {
  ReportList& l = dlg.AddReportList(1, {});
  l.InsertColumn(0, "NO", 40);
  l.TakeRowChanges();
  l.InsertItem(0, "a");
  l.InsertItem(1, "b");
  l.SetItemText(1, 0, "bb");  // a new row: no extra notice
  auto c = l.TakeRowChanges();
  EXPECT_FALSE(c.reset);
  EXPECT_EQ(c.appended_from, 0);
  EXPECT_FALSE(c.data_changed);
  EXPECT_EQ(c.row_count, 2);
  l.SetItemText(0, 0, "aa");
  c = l.TakeRowChanges();
  EXPECT_TRUE(c.data_changed);
  EXPECT_EQ(c.appended_from, -1);
  l.InsertItem(0, "top");
  EXPECT_TRUE(l.TakeRowChanges().reset);
  l.DeleteItem(0);
  EXPECT_TRUE(l.TakeRowChanges().reset);
}

TEST_F(ReportListTest, WorkerAppendsNeedNoThreadSwitchAndAreShownOnce) {
  ReportList& l = dlg.AddReportList(1, {});
  Progress& p = dlg.AddProgress(2, {});
  Static& s = dlg.AddStatic(3, "", {});
  ASSERT_TRUE(dlg.Create());
  host.Pump();
  const int rows = 20000;
  bool wrong = false;
  // The user-interface thread does not pump meanwhile: the worker finishes
  // only because these operations do not wait for it.
  std::thread worker([&] {
    for (int i = 0; i < rows; ++i) {
      l.AppendRow({std::to_string(i), "x"});
      l.SetItemText(i, 2, "y");
      p.SetPos(i * 100 / rows);
      s.SetText(std::to_string(i));
      if (l.ItemCount() != i + 1 || l.ItemText(i, 2) != "y") wrong = true;
    }
  });
  worker.join();
  EXPECT_FALSE(wrong);
  EXPECT_EQ(l.ItemCount(), rows);
  EXPECT_EQ(s.Text(), std::to_string(rows - 1));
  const int before = host.refreshes();
  host.Pump();
  // One refresh per control shows everything the worker did.
  EXPECT_EQ(host.refreshes(l), 1);
  EXPECT_EQ(host.refreshes() - before, 3);
  auto c = l.TakeRowChanges();
  EXPECT_EQ(c.row_count, rows);
  EXPECT_EQ(c.appended_from, -1);  // taken by the refresh
}

TEST(TreeTest, InsertOrderDeleteWithChildrenAndSelection) {
  TestHost host;
  App app(host);
  Dialog dlg(app, "", {});
  Tree& t = dlg.AddTree(1, {});
  auto a = t.InsertItem("a");
  auto c = t.InsertItem("c");
  auto b = t.InsertItem("b", Tree::kRoot, a);
  auto a1 = t.InsertItem("a1", a);
  auto a2 = t.InsertItem("a2", a);
  EXPECT_EQ(t.Children(Tree::kRoot), (std::vector<Tree::Handle>{a, b, c}));
  EXPECT_EQ(t.Parent(a2), a);
  EXPECT_EQ(t.InsertItem("x", 999), 0);
  int changes = 0;
  dlg.On(1, Notify::SelChange, [&] { ++changes; });
  t.UserSelect(a2);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(t.DeleteItem(a));
  EXPECT_EQ(t.Selected(), 0);
  EXPECT_EQ(t.Count(), 2);
  EXPECT_EQ(t.ItemText(a1), "");
  EXPECT_FALSE(t.Select(a1));
  EXPECT_EQ(t.Children(Tree::kRoot), (std::vector<Tree::Handle>{b, c}));
}

TEST(DateTimeTest, ValidityAndFormat) {
  struct Case {
    DateTime v;
    bool valid;
  };
  const Case cases[] = {
      {{2024, 2, 29, 0, 0, 0}, true},  {{2023, 2, 29, 0, 0, 0}, false}, {{1900, 2, 29, 0, 0, 0}, false},
      {{2000, 2, 29, 0, 0, 0}, true},  {{2006, 13, 1, 0, 0, 0}, false}, {{2006, 4, 31, 0, 0, 0}, false},
      {{2006, 1, 1, 24, 0, 0}, false}, {{2006, 1, 1, 23, 59, 59}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.v.Valid(), c.valid) << c.v.Format("%Y-%m-%d %H:%M:%S");
  EXPECT_EQ((DateTime{2006, 1, 1, 9, 5, 7}).Format("%Y%m%d|%H%M%S|%%|%q"), "20060101|090507|%|%q");
}

TEST(SpinTest, StepsClampAndFillTheBuddy) {
  TestHost host;
  App app(host);
  Dialog dlg(app, "", {});
  Edit& e = dlg.AddEdit(1, {});
  Spin& s = dlg.AddSpin(2, {});
  s.SetRange(0, 3);
  s.SetBuddy(1);
  s.SetPos(2);
  s.UserStep(1);
  s.UserStep(1);
  EXPECT_EQ(s.Pos(), 3);
  EXPECT_EQ(e.Text(), "3");
  s.SetRange(10, 0);  // reversed: the up arrow counts down
  s.SetPos(5);
  s.UserStep(1);
  EXPECT_EQ(s.Pos(), 4);
}

TEST(ImageListTest, StripSplitsAndMasks) {
  const std::uint32_t W = 0xFFFFFF, R = 0xFF0000;
  std::vector<std::uint32_t> strip = {W, R, R, W,   // row 0 of two 2x2 images
                                      R, W, W, R};
  ImageList l = ImageList::FromStrip(2, 2, strip, 4, Rgb(255, 255, 255));
  ASSERT_EQ(l.images.size(), 2u);
  EXPECT_EQ(l.images[0], (std::vector<std::uint32_t>{0, 0xFFFF0000u, 0xFFFF0000u, 0}));
  EXPECT_EQ(l.images[1], (std::vector<std::uint32_t>{0xFFFF0000u, 0, 0, 0xFFFF0000u}));
  EXPECT_TRUE(ImageList::FromStrip(2, 2, {W}, 4, Rgb(0, 0, 0)).images.empty());
}

}  // namespace
}  // namespace ui
