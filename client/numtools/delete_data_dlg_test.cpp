#include "client/numtools/delete_data_dlg.h"

#include <gtest/gtest.h>

#include "client/frame/frame_fixture.h"

namespace {

TEST(DeleteDataTextTest, StatementAndDates) {
  EXPECT_EQ(StmtDeleteOldData("u'1", "20260101", "20260301"),
            "{ call P_ORV_데이터삭제('u''1','20260101','20260301')}");
  const struct {
    ui::DateTime day;
    int n;
    const char* want;
  } cases[] = {{{2026, 3, 1}, 1, "20260228"},
               {{2024, 3, 1}, 1, "20240229"},
               {{2026, 1, 15}, 120, "20250917"},
               {{2026, 12, 11}, 0, "20261211"}};
  for (const auto& c : cases) EXPECT_EQ(DaysBefore(c.day, c.n).Format("%Y%m%d"), c.want);
}

class DeleteDataTest : public ProcedureFrameFixture {
 protected:
  // n results of u1 dialled on day, through the service's own file.
  void AddResults(const std::string& user, const std::string& day, int n) {
    auto& s = service_with_procedures_;
    s.Exec("insert into RST_ORV (USER_ID, SVC_ID, RECV_PHONE, DIAL_DATE, DIAL_TIME) values ('" + user + "', 7, '0101', '" +
           day + "', '120000')");
    for (int have = 1; have < n; have *= 2)
      s.Exec("insert into RST_ORV (USER_ID, SVC_ID, RECV_PHONE, DIAL_DATE, DIAL_TIME) select USER_ID, SVC_ID, "
             "RECV_PHONE, DIAL_DATE, DIAL_TIME from RST_ORV where USER_ID = '" + user + "' and DIAL_DATE = '" + day +
             "' limit " + std::to_string(n - have));
    ASSERT_EQ(s.error(), "");
  }
  std::string Count(const std::string& where) {
    return service_with_procedures_.Value("select count(*) from RST_ORV where " + where);
  }
  std::vector<std::string> Log(ui::Dialog& d) {
    std::vector<std::string> out;
    for (const auto& line : d.Get<ui::ComboBox>(CDlgDeleteData::kLog).Items()) {
      // "(hh:mm:ss:mmm)text"
      EXPECT_EQ(line.size() > 14 ? line.substr(0, 1) + line.substr(13, 1) : line, "()");
      out.push_back(line.size() > 14 ? line.substr(14) : line);
    }
    return out;
  }
  const ui::DateTime today_{2026, 12, 11};
};

TEST_F(DeleteDataTest, DatesFollowTheConfiguredDaysAndRecentDataIsRefused) {
  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('DELETE_OLD_DATA_DAYS', '60', '')");
  CDlgDeleteData dlg(app_, env_, [this] { return today_; });
  host_.AnswerDialog([&](ui::Dialog& d) {
    EXPECT_EQ(d.Get<ui::DateTimePicker>(CDlgDeleteData::kFrom).Value().Format("%Y%m%d"), "20260813");
    EXPECT_EQ(d.Get<ui::DateTimePicker>(CDlgDeleteData::kTo).Value().Format("%Y%m%d"), "20261012");
    host_.SetDate(d, CDlgDeleteData::kTo, {2026, 12, 10});
    host_.Click(d, CDlgDeleteData::kDelete);
    host_.SetDate(d, CDlgDeleteData::kTo, {2026, 8, 1});
    host_.Click(d, CDlgDeleteData::kDelete);
    host_.SetDate(d, CDlgDeleteData::kTo, {2026, 10, 12});
    host_.AnswerMessageBox(ui::IDNO);
    host_.Click(d, CDlgDeleteData::kDelete);
    EXPECT_FALSE(dlg.Deleting());
    host_.PressEscape(d);
  });
  dlg.DoModal();
  std::vector<std::string> want = {"60일이 지나지 않은 데이터는 삭제할 수 없습니다.", "날짜 선택이 잘못 되었습니다.",
                                   "선택된 기간의 데이터를 삭제 하시겠습니까 ?"};
  EXPECT_EQ(BoxTexts(), want);
  EXPECT_EQ(host_.MessageBoxes()[0].caption, "알림");
  EXPECT_TRUE(host_.faults().empty()) << host_.faults().front();
}

TEST_F(DeleteDataTest, ADeletionInSeveralChunks) {
  // Without a configured number of days the default 60 holds.
  AddResults("u1", "20260901", 12000);
  AddResults("u1", "20261201", 3);  // too recent: kept
  AddResults("u2", "20260901", 2);  // another customer's
  CDlgDeleteData dlg(app_, env_, [this] { return today_; });
  std::vector<std::string> log;
  host_.AnswerDialog([&](ui::Dialog& d) {
    host_.AnswerMessageBox(ui::IDYES);
    host_.Click(d, CDlgDeleteData::kDelete);
    EXPECT_FALSE(d.Get<ui::Button>(CDlgDeleteData::kDelete).Enabled());
    EXPECT_TRUE(host_.PumpUntil([&] { return !dlg.Deleting(); }));
    host_.Pump();
    EXPECT_TRUE(d.Get<ui::Button>(CDlgDeleteData::kDelete).Enabled());
    log = Log(d);
    host_.PressEscape(d);
  });
  dlg.DoModal();
  EXPECT_EQ(log, (std::vector<std::string>{"삭제중입니다.", "남은 건수:7000건", "남은 건수:2000건"}));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"선택된 기간의 데이터를 삭제 하시겠습니까 ?", "데이터가 삭제 되었습니다"}));
  EXPECT_EQ(Count("USER_ID = 'u1'"), "3");
  EXPECT_EQ(Count("USER_ID = 'u2'"), "2");
  EXPECT_FALSE(host_.wait_cursor());
}

TEST_F(DeleteDataTest, ClosingDuringTheDeletionEndsItAfterTheCurrentCall) {
  AddResults("u1", "20260901", 12000);
  CDlgDeleteData dlg(app_, env_, [this] { return today_; });
  host_.AnswerDialog([&](ui::Dialog& d) {
    host_.AnswerMessageBox(ui::IDYES);
    host_.Click(d, CDlgDeleteData::kDelete);
    host_.PressEscape(d);  // waits, pumping, for the worker
    EXPECT_FALSE(dlg.Deleting());
  });
  EXPECT_EQ(dlg.DoModal(), ui::IDCANCEL);
  const std::string left = Count("USER_ID = 'u1'");
  EXPECT_TRUE(left == "12000" || left == "7000") << left;
}

TEST_F(DeleteDataTest, ACountThatNoLongerFallsEndsTheDeletion) {
  // A result whose callback is dated outside the period is never deleted:
  // the service answers the same count on every call.
  AddResults("u1", "20260901", 1);
  service_with_procedures_.Exec(
      "insert into CALLBACK_INFO (ORV_ID, USER_ID, SVC_ID, DIAL_DATE) select ORV_ID, USER_ID, SVC_ID, '20261201' from "
      "RST_ORV");
  ASSERT_EQ(service_with_procedures_.error(), "");
  CDlgDeleteData dlg(app_, env_, [this] { return today_; });
  std::vector<std::string> log;
  host_.AnswerDialog([&](ui::Dialog& d) {
    host_.AnswerMessageBox(ui::IDYES);
    host_.Click(d, CDlgDeleteData::kDelete);
    EXPECT_TRUE(host_.PumpUntil([&] { return !dlg.Deleting(); }, std::chrono::seconds(10)));
    log = Log(d);
    host_.PressEscape(d);
  });
  dlg.DoModal();
  EXPECT_EQ(log.size(), 1u + CDlgDeleteData::kMaxRoundsWithoutProgress + 1);
  EXPECT_EQ(log.back(), "남은 건수:1건");
  ASSERT_EQ(host_.MessageBoxes().size(), 2u);
  EXPECT_EQ(host_.MessageBoxes()[1].text, "삭제가 진행되지 않습니다. 남은 건수:1건");
  EXPECT_EQ(host_.MessageBoxes()[1].caption, "에러");
  EXPECT_EQ(Count("USER_ID = 'u1'"), "1");
}

TEST_F(DeleteDataTest, AServiceThatStopsAnsweringEndsTheDeletion) {
  CDlgDeleteData dlg(app_, env_, [this] { return today_; });
  std::vector<std::string> log;
  host_.AnswerDialog([&](ui::Dialog& d) {
    // A service that stops answering: the environment reports the failure.
    AddResults("u1", "20260901", 5001);
    service_with_procedures_.Stop();
    host_.AnswerMessageBox(ui::IDYES);
    host_.Click(d, CDlgDeleteData::kDelete);
    EXPECT_TRUE(host_.PumpUntil([&] { return !dlg.Deleting(); }));
    log = Log(d);
    host_.PressEscape(d);
  });
  dlg.DoModal();
  EXPECT_EQ(log, std::vector<std::string>{"삭제중입니다."});
  ASSERT_EQ(host_.MessageBoxes().size(), 2u);
  EXPECT_EQ(host_.MessageBoxes()[1].caption, "에러");
}

}  // namespace
