// The sample dialog driven through the test host: scripted modal answers,
// timers on the test clock, and a worker whose control calls the
// user-interface thread carries out while the test pumps.
#include "ui/testhost/test_host.h"

#include <gtest/gtest.h>

#include "ui/testhost/sample_dialog.h"

namespace ui {
namespace {

struct SampleTest : ::testing::Test {
  TestHost host;
  App app{host};
};

TEST_F(SampleTest, ModalRunWithScriptedQuestionAndLimitedTyping) {
  SampleDialog dlg(app);
  host.AnswerDialog([&](Dialog& d) {
    EXPECT_EQ(d.Focus(), SampleDialog::kName);
    // The limit of the exchange holds typing to 10 bytes: 5 Hangul syllables.
    host.Type(d, SampleDialog::kName, "홍길동전입니다");
    EXPECT_EQ(d.Get(SampleDialog::kName).Text(), "홍길동전입");
    host.Click(d, SampleDialog::kAsk);
    EXPECT_EQ(d.Get(SampleDialog::kStatus).Text(), "저장했습니다.");
    host.Click(d, SampleDialog::kAsk);
    EXPECT_EQ(d.Get(SampleDialog::kStatus).Text(), "취소했습니다.");
    d.UserFocus(SampleDialog::kName);
    host.PressEnter(d);  // from the edit: the default button
  });
  host.AnswerMessageBox(IDYES).AnswerMessageBox(IDNO);
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.name, "홍길동전입");
  ASSERT_EQ(host.modals().size(), 3u);
  EXPECT_EQ(host.modals()[0].kind, TestHost::ModalKind::Dialog);
  EXPECT_EQ(host.modals()[0].caption, "샘플 대화상자");
  EXPECT_EQ(host.modals()[0].result, IDOK);
  EXPECT_EQ(host.modals()[1].text, "저장하시겠습니까?");
  EXPECT_EQ(host.modals()[1].caption, "확인");
  EXPECT_EQ(host.modals()[1].type, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(host.ScriptLeft(), 0u);
  EXPECT_TRUE(host.faults().empty());
}

TEST_F(SampleTest, CountdownRunsOnTheTestClock) {
  SampleDialog dlg(app);
  ASSERT_TRUE(dlg.Create());
  auto& countdown = dlg.Get(SampleDialog::kCountdown);
  EXPECT_EQ(countdown.Text(), "5초 남음");
  host.Advance(999);
  EXPECT_EQ(countdown.Text(), "5초 남음");
  host.Advance(1);
  EXPECT_EQ(countdown.Text(), "4초 남음");
  host.Advance(10000);
  EXPECT_EQ(countdown.Text(), "0초 남음");
  EXPECT_TRUE(host.Timers(dlg).empty());
  dlg.Destroy();
}

TEST_F(SampleTest, WorkerFillsListAndProgressWhileTheTestPumps) {
  const int rows = 5000;
  SampleDialog dlg(app, rows);
  ASSERT_TRUE(dlg.Create());
  ASSERT_TRUE(host.Click(dlg, SampleDialog::kStart));
  // While the worker runs, cancel is disabled and Escape cannot close.
  EXPECT_FALSE(dlg.Get(IDCANCEL).Enabled());
  EXPECT_TRUE(host.PumpUntil([&] { return dlg.worker_done.load(); }));
  dlg.JoinWorker();
  host.Pump();

  auto& list = dlg.Get<ReportList>(SampleDialog::kList);
  EXPECT_FALSE(dlg.readback_wrong);
  EXPECT_EQ(list.ItemCount(), rows);
  EXPECT_EQ(list.ItemText(rows - 1, 1), "010-0000-4999");
  EXPECT_EQ(list.ItemText(0, 2), "고객 1");
  EXPECT_EQ(dlg.Get<Progress>(SampleDialog::kProgress).Pos(), 100);
  EXPECT_EQ(dlg.Get(SampleDialog::kStatus).Text(), "5000 건 처리 완료");
  EXPECT_TRUE(dlg.Get(IDCANCEL).Enabled());
  EXPECT_FALSE(host.wait_cursor());
  // The worker's notice was shown by the user-interface thread.
  ASSERT_EQ(host.MessageBoxes().size(), 1u);
  EXPECT_EQ(host.MessageBoxes()[0].text, "처리가 끝났습니다.");
  EXPECT_EQ(host.MessageBoxes()[0].caption, "알림");
  EXPECT_EQ(host.MessageBoxes()[0].type, MB_OK | MB_ICONINFORMATION);

  // Header clicks sort inside the list: first descending, then ascending.
  host.ClickHeader(dlg, SampleDialog::kList, 1);
  EXPECT_EQ(list.ItemText(0, 1), "010-0000-4999");
  host.ClickHeader(dlg, SampleDialog::kList, 2);
  EXPECT_EQ(list.ItemText(0, 2), "고객 1");
  EXPECT_EQ(list.ItemText(1, 2), "고객 10");
  EXPECT_TRUE(host.faults().empty());
  dlg.Destroy();
}

TEST_F(SampleTest, FileDialogAnswersAndFilterCheck) {
  FileDialogSpec spec;
  spec.title = "파일 열기";
  spec.filter = "CSV 파일 (*.csv)|*.csv|모든 파일 (*.*)|*.*||";
  host.AnswerFileDialog({"/tmp/list.csv"}).AnswerFileDialog({});
  EXPECT_EQ(app.FileDialog(nullptr, spec), (std::vector<std::string>{"/tmp/list.csv"}));
  EXPECT_EQ(app.FileDialog(nullptr, spec), std::nullopt);
  EXPECT_TRUE(host.faults().empty());
  spec.filter = "CSV|";
  host.AnswerFileDialog({});
  app.FileDialog(nullptr, spec);
  EXPECT_EQ(host.faults().size(), 1u);
}

}  // namespace
}  // namespace ui
