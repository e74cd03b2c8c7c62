#include "client/dispatch/send.h"

#include <gtest/gtest.h>

#include <set>

#include "client/dispatch/import.h"
#include "client/dispatch/test_service.h"

namespace dispatch {
namespace {

SendParams Params() {
  SendParams p;
  p.user_id = "u1";
  p.service_id = "7";
  p.title = "O'Neil 발송";
  p.callback = "02-555-1234";
  p.reg_date = "20261211";
  p.reg_time = "093000";
  p.ministry_flag = 1;
  p.user_flag = 0;
  return p;
}

TEST(SendStatementTest, HasTheRequestFormatWithTypedValuesQuoted) {
  SendList list;
  list.AppendNumbered("010-1234-5678", {"a'b", "", "c", "d"});
  EXPECT_EQ(BuildReqOrvStatement(Params(), list, 0),
            "exec P_INSERT_REQ_ORV 'u1', 7,'O''Neil 발송','01012345678','a''b','','c','d','025551234',"
            "'000000000000','20261211','093000',1,0");
  EXPECT_EQ(CountSentQuery(Params()),
            "select count(*) from REQ_ORV with(nolock) where SVC_ID = 7 and REG_DATE = '20261211' and REG_TIME = '093000' "
            "and TITLE = 'O''Neil 발송' ");
  SendParams bad = Params();
  bad.service_id = "7; drop table REQ_ORV";
  EXPECT_FALSE(CheckSendParams(bad).empty());
  EXPECT_TRUE(CheckSendParams(Params()).empty());
}

// Forwards to the service; before batch `stop_before` it stops the service
// (the transport fails), or after batch `lose_after` executed it stops the
// service and reports the call failed (the answer was lost).
class FaultyTarget : public SendTarget {
 public:
  FaultyTarget(SendTarget& real, TestService& svc, int stop_before, int lose_after)
      : real_(real), svc_(svc), stop_before_(stop_before), lose_after_(lose_after) {}
  int BulkExecute(const CSQLBatch& b, std::int32_t* executed, std::string* error) override {
    ++calls_;
    if (calls_ == stop_before_) svc_.Stop();
    const int r = real_.BulkExecute(b, executed, error);
    if (calls_ == lose_after_) {
      svc_.Stop();
      *executed = 0;
      *error = "answer lost";
      return -1726;
    }
    return r;
  }
  bool QueryFirstValue(const std::string& sql, std::string* v) override { return real_.QueryFirstValue(sql, v); }
  int calls_ = 0;

 private:
  SendTarget& real_;
  TestService& svc_;
  int stop_before_, lose_after_;
};

struct FaultCase {
  const char* name;
  int stop_before, lose_after;
};

TEST(SendTest, EveryRowIsRegisteredOnceAcrossInterruptions) {
  const std::vector<FaultCase> cases = {
      {"no fault", 0, 0}, {"service stopped before batch 3", 3, 0}, {"answer of batch 2 lost", 0, 2},
      {"first batch fails", 1, 0}};
  for (const auto& fc : cases) {
    TestService svc;
    ASSERT_TRUE(svc.error().empty() && svc.Start()) << svc.error();
    // The user denies one number; the send asks to exclude it.
    svc.Exec("insert into T_DENY_ORV (C_USER_ID, C_TELNUM) values ('u1', '01000001234')");
    SendList list;
    const int kRows = 3000;
    for (int i = 0; i < kRows; ++i)
      list.AppendNumbered("010-" + std::to_string(10000000 + i * 7).insert(4, "-"), {"고객'" + std::to_string(i), "", "", ""});
    list.Set(5, 1, "010-0000-1234");
    SendParams p = Params();
    p.user_flag = 1;
    SendSession session;
    session.Begin(p, list.size());

    RDB_HANDLE h = RDBServerOpen("127.0.0.1", svc.port().c_str());
    QuerionSendTarget real(h, "NEW_ORV");
    FaultyTarget faulty(real, svc, fc.stop_before, fc.lose_after);
    SendOutcome o = session.Run(list, faulty);
    int runs = 1;
    while (o.failed) {
      ASSERT_LT(runs, 3) << fc.name << ": " << o.error;
      EXPECT_TRUE(session.pending());
      ASSERT_TRUE(svc.Start()) << svc.error();  // same file, same port
      RDB_HANDLE h2 = RDBServerOpen("127.0.0.1", svc.port().c_str());
      QuerionSendTarget again(h2, "NEW_ORV");
      o = session.Run(list, again);
      ++runs;
    }
    EXPECT_EQ(runs, fc.stop_before || fc.lose_after ? 2 : 1) << fc.name;
    EXPECT_FALSE(session.pending());
    EXPECT_TRUE(list.empty()) << fc.name;
    EXPECT_EQ(svc.Value("select count(*) from REQ_ORV"), std::to_string(kRows - 1)) << fc.name;
    EXPECT_EQ(svc.Value("select count(distinct RECV_PHONE) from REQ_ORV"), std::to_string(kRows - 1)) << fc.name;
    EXPECT_EQ(svc.Value("select count(*) from REQ_ORV where TITLE <> 'O''Neil 발송' or REG_TIME <> '093000'"), "0");
    EXPECT_EQ(svc.Value("select CUST_INFO from REQ_ORV where RECV_PHONE = '01010000000'"), "고객'0");
    EXPECT_EQ(o.stored, kRows - 1);
    EXPECT_EQ(o.summary, FormatMessage(kSendSummary, {std::to_string(kRows), "1"})) << fc.name;
  }
}

TEST(SendTest, StopSendsTheBatchSoFarAndEmptyListsSummarise) {
  TestService svc;
  ASSERT_TRUE(svc.error().empty() && svc.Start()) << svc.error();
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", svc.port().c_str());
  QuerionSendTarget target(h, "NEW_ORV");
  SendList list;
  for (int i = 0; i < 2000; ++i) list.AppendNumbered("0212" + std::to_string(100000 + i), {});
  std::atomic<bool> stop{false};
  SendCallbacks cb;
  cb.progress = [&](long current, long) {
    if (current == 1000) stop = true;
  };
  SendOutcome o = RunSend(list, Params(), target, &stop, cb);
  EXPECT_TRUE(o.stopped);
  EXPECT_EQ(o.processed, 1000);
  EXPECT_EQ(list.size(), 1000u);
  EXPECT_EQ(list.Get(0, 0), "1001");
  EXPECT_EQ(svc.Value("select count(*) from REQ_ORV"), "1000");

  SendList empty;
  o = RunSend(empty, Params(), target);
  EXPECT_FALSE(o.failed);
  EXPECT_EQ(o.processed, 0);

  // A refused service: the batch fails, no row leaves the list.
  SendParams other = Params();
  other.service_id = "99";
  o = RunSend(list, other, target);
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(list.size(), 1000u);
  RDBServerClose(h);
}

TEST(SendTest, TwoSendsInOneSecondCountOnlyTheirOwnRows) {
  TestService svc;
  ASSERT_TRUE(svc.error().empty() && svc.Start()) << svc.error();
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", svc.port().c_str());
  QuerionSendTarget target(h, "NEW_ORV");
  SendList first, second;
  for (int i = 0; i < 3; ++i) first.AppendNumbered("0212" + std::to_string(100000 + i), {});
  for (int i = 0; i < 2; ++i) second.AppendNumbered("0213" + std::to_string(100000 + i), {});
  SendParams other = Params();
  other.title = "second";
  const SendOutcome a = RunSend(first, Params(), target);
  const SendOutcome b = RunSend(second, other, target);  // same registration date and time
  EXPECT_EQ(a.stored, 3);
  EXPECT_EQ(b.stored, 2);
  EXPECT_EQ(b.summary, "2 건 전송 완료 / 0 건 수신 거부 또는 통보완료...");
  RDBServerClose(h);
}

}  // namespace
}  // namespace dispatch
