#include "client/dispatch/report_target_list.h"

#include <gtest/gtest.h>

#include "client/dispatch/import.h"
#include "ui/testhost/test_host.h"
#include "ui/window.h"

namespace dispatch {
namespace {

struct ListDialog : ui::Dialog {
  explicit ListDialog(ui::App& app) : Dialog(app, "list", {0, 0, 200, 100}) {
    list = &AddReportList(1006, {0, 0, 200, 100});
    for (int c = 0; c < kSendColumns; ++c) list->InsertColumn(c, std::string(kSendColumnHeaders[c]), 50);
  }
  ui::ReportList* list;
};

TEST(ReportTargetListTest, ImportFillsTheControlAndRowsLeaveFromTheFront) {
  ui::TestHost host;
  ui::App app(host);
  ListDialog dlg(app);
  ReportTargetList rows(*dlg.list);
  CallTargetImporter importer(rows);
  const ImportResult r = importer.ImportTextBytes("01012345678,kim's,x\n0212345678,,lee\n01012345678,dup\n");
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.counts.imported, 2);
  EXPECT_EQ(r.counts.duplicates, 1);
  ASSERT_EQ(dlg.list->ItemCount(), 2);
  EXPECT_EQ(dlg.list->ItemText(0, 0), "1");
  EXPECT_EQ(dlg.list->ItemText(0, 1), "010-1234-5678");
  EXPECT_EQ(dlg.list->ItemText(0, 2), "kim s");
  EXPECT_EQ(dlg.list->ItemText(1, 0), "2");
  EXPECT_EQ(dlg.list->ItemText(1, 2), "lee");

  rows.RemoveFront(1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.Cell(0, 0), "2");  // numbers stay as they were given
  EXPECT_TRUE(dlg.list->Redraw());
  rows.RemoveFront(5);
  EXPECT_TRUE(rows.empty());
}

}  // namespace
}  // namespace dispatch
