// The call simulator under a test clock: pending requests become results,
// paused ones stay, retries, callbacks, statistics per ten-minute slot,
// balance, sampling counts and the archive.
#include "provider/simulator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "provider/procedures.h"
#include "provider/sql/schema.h"

namespace provider {
namespace {

DateTime At(int day, int hour, int minute) {
  DateTime d;
  d.year = 2026;
  d.month = 12;
  d.day = day;
  d.hour = hour;
  d.minute = minute;
  return d;
}

class SimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string err;
    engine_ = Engine::Open(":memory:", &err);
    ASSERT_TRUE(engine_) << err;
    ASSERT_TRUE(ApplySchema(*engine_).ok());
    RegisterProcedures(*engine_);
    Exec("insert into USER_INFO (USER_ID, REMAIN_PAY) values ('u1', 10000)");
    Exec("insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, PROG_STAT, CALLBACK_DIGIT, START_TM, END_TM) "
         "values (1, 'u1', 'N', 0, '1', '9', '0900', '1800'), (2, 'u1', 'Stopped', 0, '0', '9', '0000', '2400'), "
         "(3, 'u1', 'Survey', 4, '1', '', '0000', '2400')");
  }
  void Exec(const std::string& sql) {
    ExecResult r = engine_->Execute(sql, {});
    ASSERT_TRUE(r.ok()) << sql << ": " << r.message;
  }
  std::string One(const std::string& sql) {
    std::string v = "<none>";
    engine_->Execute(sql, [&](const std::vector<std::string>& f) {
      v = f.empty() ? "" : f[0];
      return false;
    });
    return v;
  }
  void Requests(int svc, int count, const char* progress = "0") {
    for (int i = 0; i < count; ++i)
      Exec("insert into REQ_ORV (USER_ID, SVC_ID, TITLE, RECV_PHONE, PROGRESS, REG_DATE, REG_TIME) values ('u1', " +
           std::to_string(svc) + ", 'T', '0101234" + std::to_string(1000 + i) + "', '" + progress +
           "', '20261211', '090000')");
  }
  std::unique_ptr<Engine> engine_;
};

TEST_F(SimulatorTest, AnsweredCallsBecomeResultsWithCallbacksAndStatistics) {
  Requests(1, 4);
  Requests(1, 2, "9");  // paused
  Requests(2, 3);       // stopped service
  SimulatorOptions o;
  o.mix_answered = 1;
  o.mix_busy = o.mix_mailbox = o.mix_noanswer = o.mix_unassigned = o.mix_other = 0;
  o.callback_percent = 100;
  o.calls_per_step = 3;
  Simulator sim(*engine_, o);
  StepCounts c;
  ASSERT_TRUE(sim.Step(At(11, 10, 25), &c).ok());
  EXPECT_EQ(c.results, 3);
  EXPECT_EQ(c.callbacks, 3);
  ASSERT_TRUE(sim.Step(At(11, 10, 31), &c).ok());
  EXPECT_EQ(c.results, 1);
  ASSERT_TRUE(sim.Step(At(11, 10, 32), &c).ok());
  EXPECT_EQ(c.calls, 0);  // only paused rows are left

  EXPECT_EQ(One("select count(*) from REQ_ORV where SVC_ID = 1"), "2");
  EXPECT_EQ(One("select count(*) from REQ_ORV where SVC_ID = 1 and PROGRESS = '9'"), "2");
  EXPECT_EQ(One("select count(*) from REQ_ORV where SVC_ID = 2"), "3");
  EXPECT_EQ(One("select count(*) from V_RST_ORV where RES_CODE = 0 and RES_REPLY = '9' and DIAL_DATE = '20261211' "
                "and ANSWER_TIME = DIAL_TIME and COMM_TIME > 0 and USE_PAY = 50 and TRY_COUNT = 1"),
            "4");
  EXPECT_EQ(One("select count(*) from V_SELECT_RST_ORV where RES_CODE_NM = '' and DIAL_TIME_FMT = '10:25:00'"), "3");
  EXPECT_EQ(One("select count(*) from CALLBACK_INFO c join V_RST_ORV r on c.ORV_ID = r.ORV_ID where IS_PRINT = 'N' "
                "and c.DIAL_DATE = '20261211'"),
            "4");
  EXPECT_EQ(One("select REMAIN_PAY from USER_INFO"), "9800");
  // One statistics row per ten-minute slot.
  EXPECT_EQ(One("select group_concat(SEND_HOUR || SEND_MINUTE || ':' || TOTAL_COUNT || '/' || RES_CODE0, ',') from "
                "(select * from RST_ORV_STATIS order by SEND_MINUTE)"),
            "102:3/3,103:1/1");
}

TEST_F(SimulatorTest, ServiceHoursAndRetries) {
  Requests(1, 2);
  SimulatorOptions o;
  o.mix_answered = 0;
  o.mix_busy = 1;
  o.mix_mailbox = o.mix_noanswer = o.mix_unassigned = o.mix_other = 0;
  o.max_tries = 3;
  Simulator sim(*engine_, o);
  StepCounts c;
  ASSERT_TRUE(sim.Step(At(11, 8, 59), &c).ok());  // before the service hours
  EXPECT_EQ(c.calls, 0);
  ASSERT_TRUE(sim.Step(At(11, 9, 0), &c).ok());
  EXPECT_EQ(c.retries, 2);
  EXPECT_EQ(One("select group_concat(TRY_COUNT) from REQ_ORV"), "1,1");
  ASSERT_TRUE(sim.Step(At(11, 9, 1), &c).ok());
  ASSERT_TRUE(sim.Step(At(11, 9, 2), &c).ok());
  EXPECT_EQ(c.results, 2);  // third try: busy becomes the result
  EXPECT_EQ(One("select count(*) from REQ_ORV"), "0");
  EXPECT_EQ(One("select group_concat(RES_CODE || ':' || TRY_COUNT || ':' || USE_PAY) from RST_ORV"), "1:3:0,1:3:0");
  EXPECT_EQ(One("select TOTAL_COUNT || '/' || RES_CODE1 from RST_ORV_STATIS"), "6/6");
  EXPECT_EQ(One("select count(*) from CALLBACK_INFO"), "0");
  ASSERT_TRUE(sim.Step(At(11, 18, 0), &c).ok());  // end of hours
  EXPECT_EQ(c.calls, 0);
}

TEST_F(SimulatorTest, SurveyAnswersFillSamplingCountsAndArchive) {
  Exec("insert into QUESTION_INFO (SVC_ID, USER_ID, QUEST_NO) values (3, 'u1', 1), (3, 'u1', 2)");
  Exec("insert into QUEST_EX_INFO (SVC_ID, QUEST_NO, ANS_NO, COMMENT) values (3, 1, 1, 'a'), (3, 1, 2, 'b'), "
       "(3, 2, 1, 'x'), (3, 2, 2, 'y'), (3, 2, 3, 'z')");
  Exec("insert into AGE_SAMPLE_INFO (SVC_ID, IS_USE, COMPLETE_CNT, NO1_CNT, NO2_CNT) values (3, 1, 2, 0, 1)");
  Requests(3, 10);
  SimulatorOptions o;
  o.mix_answered = 1;
  o.mix_busy = o.mix_mailbox = o.mix_noanswer = o.mix_unassigned = o.mix_other = 0;
  o.calls_per_step = 10;
  Simulator sim(*engine_, o);
  ASSERT_TRUE(sim.Step(At(10, 12, 0)).ok());
  EXPECT_EQ(One("select count(*) from RST_ORV where length(RES_REPLY) = 2 and substr(RES_REPLY, 1, 1) in ('1','2') "
                "and substr(RES_REPLY, 2, 1) in ('1','2','3')"),
            "10");
  EXPECT_EQ(One("select count(*) from CALLBACK_INFO"), "0");
  const int ones = std::stoi(One("select count(*) from RST_ORV where RES_REPLY like '1%'"));
  const int twos = 10 - ones;
  EXPECT_EQ(One("select NO1_NOW from AGE_SAMPLE_INFO"), std::to_string(ones));  // no quota on key 1
  EXPECT_EQ(One("select NO2_NOW from AGE_SAMPLE_INFO"), std::to_string(twos > 0 ? 1 : 0));  // quota of 1

  // The next day's first step moves the results to the history table.
  StepCounts c;
  ASSERT_TRUE(sim.Step(At(11, 0, 5), &c).ok());
  EXPECT_EQ(c.archived, 10);
  EXPECT_EQ(One("select count(*) from RST_ORV"), "0");
  EXPECT_EQ(One("select count(*) from RST_ORV_HIST"), "10");
  EXPECT_EQ(One("select count(*) from V_RST_ORV"), "10");
}

TEST_F(SimulatorTest, NoCallsWithoutBalanceAndMixParsing) {
  Exec("update USER_INFO set REMAIN_PAY = 40");
  Requests(1, 2);
  Simulator sim(*engine_, {});
  StepCounts c;
  ASSERT_TRUE(sim.Step(At(11, 10, 0), &c).ok());
  EXPECT_EQ(c.calls, 0);

  SimulatorOptions o;
  EXPECT_TRUE(ParseMix("60,10,10,10,5,5", &o));
  EXPECT_EQ(o.mix_unassigned, 5);
  for (const char* bad : {"", "1,2,3", "1,2,3,4,5,x", "0,0,0,0,0,0", "1,2,3,4,5,6,7", "-1,2,3,4,5,6"})
    EXPECT_FALSE(ParseMix(bad, &o)) << bad;
}

}  // namespace
}  // namespace provider
