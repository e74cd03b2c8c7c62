#include "client/frame/notice_thread.h"

#include <gtest/gtest.h>

#include <thread>

#include "client/frame/frame_fixture.h"

namespace {

TEST(NoticeTextTest, StatementsAndTexts) {
  EXPECT_EQ(StmtPasswordCheck("u'1", ""), "select PASSWORD from USER_INFO with(nolock) where USER_ID = 'u''1' ");
  EXPECT_EQ(StmtPasswordCheck("u1", "kim"),
            "select PASSWORD from USER_AGENT_INFO with(nolock) where USER_ID = 'u1' and AGENT_NM = 'kim' ");
  EXPECT_EQ(StmtRemainPay("u1"), "select REMAIN_PAY from USER_INFO with(nolock) where USER_ID = 'u1' ");
  EXPECT_EQ(StmtPreCharge("u1"),
            "select sum(AMMOUNT) from RECEIPT_INFO with(nolock) where USER_ID = 'u1' and RECEIPT_NAME = '선충전' ");
  EXPECT_EQ(RemainCashText(99999), "\n충전 잔액이 99,999원 남았습니다.\n충전을 하여 주십시오");
  EXPECT_EQ(PreCashText(1234567).rfind("\n선 충전 후 입금되지 않은 금액이 1,234,567원 있습니다.\n\n", 0), 0u);
}

class NoticeTest : public FrameFixture {
 protected:
  void SetUp() override {
    FrameFixture::SetUp();
    StartUp();
    env_.m_strUserID = "user1";
    env_.m_strPassword = "pw";
    clock_.SetLocal(platform::SystemTime{2026, 12, 5, 11, 9, 0, 0, 0});
  }
  CNoticeThread::Options Opts(std::chrono::milliseconds interval = kDefaultNoticeInterval) {
    CNoticeThread::Options o;
    o.interval = interval;
    o.clock = &clock_;
    return o;
  }
  // One round on a thread of its own while this thread answers its dialogs.
  bool Round() {
    CNoticeThread notice(the_app_, nullptr, [this](int code) { ended_with_ = code; }, Opts());
    std::atomic<bool> done{false};
    bool result = false;
    std::thread t([&] {
      result = notice.RunRound();
      done = true;
    });
    EXPECT_TRUE(host_.PumpUntil([&] { return done.load(); }));
    t.join();
    return result;
  }
  std::vector<std::string> Dialogs() const {
    std::vector<std::string> out;
    for (const auto& m : host_.modals())
      if (m.kind == ui::TestHost::ModalKind::Dialog) out.push_back(m.caption);
    return out;
  }
  void AddReceipt(const std::string& name, long long amount) {
    Exec("insert into RECEIPT_INFO (USER_ID, AMMOUNT, RECEIPT_NAME, REGIST_DATE, REGIST_TIME) values ('user1', " +
         std::to_string(amount) + ", '" + name + "', '20261201', '120000')");
  }

  platform::ManualClock clock_;
  int ended_with_ = -1;
};

TEST_F(NoticeTest, BalanceBelowTheThresholdIsShown) {
  struct Case {
    long long remain;
    int threshold;  // profile value, 0 = none
    bool shown;
  } cases[] = {
      {99999, 0, true}, {100000, 0, false}, {0, 0, true}, {150000, 200000, true}, {99999, 50000, false},
  };
  AddUser("user1", "pw");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remain);
    Exec("update USER_INFO set REMAIN_PAY = " + std::to_string(c.remain) + " where USER_ID = 'user1'");
    the_app_.WriteProfileInt(kRemainCashEntry, c.threshold);
    const std::size_t before = Dialogs().size();
    std::string text;
    std::string edit;
    if (c.shown) host_.AnswerDialog([&](ui::Dialog& d) {
      text = d.Get<ui::Static>(CDlgRemainCash::kText).Text();
      edit = d.Get<ui::Edit>(CDlgRemainCash::kThreshold).Text();
      d.EndDialog(ui::IDOK);
    });
    EXPECT_TRUE(Round());
    EXPECT_EQ(Dialogs().size(), before + (c.shown ? 1 : 0));
    if (c.shown) {
      EXPECT_EQ(Dialogs().back(), "충전 잔액 부족 알림");
      EXPECT_EQ(text, RemainCashText(c.remain));
      EXPECT_EQ(edit, std::to_string(c.threshold ? c.threshold : 100000));
    }
  }
  EXPECT_TRUE(host_.faults().empty());
}

TEST_F(NoticeTest, TickedBoxSilencesTheBalanceUntilTheNextDay) {
  AddUser("user1", "pw", 99999);
  host_.AnswerDialog([&](ui::Dialog& d) {
    EXPECT_EQ(d.Get<ui::Static>(CDlgRemainCash::kText).font(), (ui::Font{"굴림체", 14, 700}));
    EXPECT_EQ(d.Get<ui::Button>(CDlgRemainCash::kNoMore).Text(), "오늘은 다시 알리지 않음");
    host_.Type(d, CDlgRemainCash::kThreshold, "50000");
    host_.Click(d, CDlgRemainCash::kChange);
    host_.Click(d, CDlgRemainCash::kNoMore);
    host_.Click(d, ui::IDOK);
  });
  EXPECT_TRUE(Round());
  EXPECT_EQ(the_app_.GetProfileInt(kRemainCashEntry, 0), 50000);
  EXPECT_EQ(the_app_.GetProfileString(kRemainCashTodayEntry), "20261211");
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  EXPECT_EQ(host_.MessageBoxes()[0].text, "변경 되었습니다.");
  EXPECT_EQ(host_.MessageBoxes()[0].caption, "확인");
  // Later the same day: nothing, even with the balance under the new threshold.
  Exec("update USER_INFO set REMAIN_PAY = 100 where USER_ID = 'user1'");
  clock_.AdvanceMilliseconds(14ull * 3600 * 1000);  // 23:00
  EXPECT_TRUE(Round());
  EXPECT_EQ(Dialogs().size(), 1u);
  // The next day it comes again.
  clock_.AdvanceMilliseconds(2ull * 3600 * 1000);
  host_.AnswerDialog(ui::IDOK);
  EXPECT_TRUE(Round());
  EXPECT_EQ(Dialogs().size(), 2u);
  EXPECT_TRUE(host_.faults().empty());
}

TEST_F(NoticeTest, PreChargesOfMoreThanZeroAreShownUntilTicked) {
  AddUser("user1", "pw");
  EXPECT_TRUE(Round());  // no receipts at all
  AddReceipt("선충전", 0);
  AddReceipt("입금", 70000);
  EXPECT_TRUE(Round());  // a sum of 0
  EXPECT_TRUE(Dialogs().empty());
  AddReceipt("선충전", 30000);
  AddReceipt("선충전", 1000);
  host_.AnswerDialog([&](ui::Dialog& d) {
    auto& s = d.Get<ui::Static>(CDlgPreCash::kText);
    EXPECT_EQ(s.Text(), PreCashText(31000));
    EXPECT_EQ(s.back_color(), ui::Rgb(0, 206, 209));
    EXPECT_EQ(s.font().weight, 700);
    host_.Click(d, ui::IDOK);  // not ticked
  });
  host_.AnswerDialog([&](ui::Dialog& d) {
    host_.Click(d, CDlgPreCash::kNoMore);
    host_.Click(d, ui::IDOK);
  });
  EXPECT_TRUE(Round());
  EXPECT_TRUE(Round());
  EXPECT_TRUE(Round());
  EXPECT_EQ(Dialogs(), (std::vector<std::string>{"선충전 미 입금내역 알림", "선충전 미 입금내역 알림"}));
  EXPECT_EQ(the_app_.GetProfileString(kPreCashTodayEntry), "20261211");
}

TEST_F(NoticeTest, PasswordChangedOnTheServerEndsTheProgram) {
  AddUser("user1", "pw");
  AddAgent("user1", "kim", "apw");
  env_.m_strAgentName = "kim";
  env_.m_strPassword = "apw";
  CNoticeThread notice(the_app_, nullptr, [this](int code) { ended_with_ = code; }, Opts(std::chrono::milliseconds(20)));
  notice.Start();
  ASSERT_TRUE(host_.PumpUntil([&] { return notice.rounds() >= 2; }));
  EXPECT_EQ(ended_with_, -1);
  // The customer's password does not concern the agent.
  Exec("update USER_INFO set PASSWORD = 'new' where USER_ID = 'user1'");
  ASSERT_TRUE(host_.PumpUntil([&] { return notice.rounds() >= 4; }));
  EXPECT_EQ(ended_with_, -1);
  Exec("update USER_AGENT_INFO set PASSWORD = 'APW' where USER_ID = 'user1'");
  ASSERT_TRUE(host_.PumpUntil([&] { return ended_with_ == 1; }));
  notice.Stop();
  auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "\n비밀번호 오류 입니다.\n프로그램을 종료 합니다.");
  EXPECT_EQ(boxes[0].caption, "에러");
  EXPECT_EQ(boxes[0].type, ui::MB_OK | ui::MB_ICONERROR);
}

TEST_F(NoticeTest, StopWakesTheSleepingThread) {
  AddUser("user1", "pw");
  CNoticeThread notice(the_app_, nullptr, [this](int code) { ended_with_ = code; }, Opts());
  notice.Start();
  ASSERT_TRUE(host_.PumpUntil([&] { return notice.rounds() >= 1; }));
  notice.Stop();  // does not wait out the ten minutes
  EXPECT_FALSE(notice.running());
  EXPECT_EQ(notice.rounds(), 1);
}

}  // namespace
