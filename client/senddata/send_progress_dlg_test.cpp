#include "client/senddata/send_progress_dlg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/testhost/test_host.h"

namespace {

TEST(SendProgressDlgTest, StopSetsTheFlagAndCloseWaitsForTheEndOfTheSend) {
  ui::TestHost host;
  ui::App app(host);
  int closed = 0;
  CDlgSendDataProgress dlg(app, [&] { ++closed; });
  ASSERT_TRUE(dlg.Create());
  EXPECT_EQ(dlg.Caption(), "서버로 데이터 전송");

  // While the worker runs the window cannot be closed, neither by the
  // button nor by Escape.
  EXPECT_FALSE(host.Click(dlg, CDlgSendDataProgress::kClose));
  host.PressEscape(dlg);
  EXPECT_TRUE(dlg.created());
  EXPECT_TRUE(host.Click(dlg, CDlgSendDataProgress::kStop));
  EXPECT_TRUE(dlg.StopRequested());

  // The worker updates the window and ends the send from its own thread.
  std::atomic<bool> done{false};
  std::thread worker([&] {
    dlg.SetStatus("3 건중 2 건 전송중...");
    dlg.SetPercent(66);
    dlg.SendEnded(true);
    done = true;
  });
  ASSERT_TRUE(host.PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(dlg.Get(CDlgSendDataProgress::kStatus).Text(), "3 건중 2 건 전송중...");
  EXPECT_EQ(dlg.Get<ui::Progress>(CDlgSendDataProgress::kProgress).Pos(), 66);
  EXPECT_FALSE(dlg.Get(CDlgSendDataProgress::kStop).Enabled());
  EXPECT_EQ(dlg.Focus(), CDlgSendDataProgress::kClose);

  EXPECT_TRUE(host.Click(dlg, CDlgSendDataProgress::kClose));
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(dlg.created());
  EXPECT_TRUE(host.faults().empty());
}

}  // namespace
