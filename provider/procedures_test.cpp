// The stored procedures on an in-memory database: the rows and counts the
// client reads, the deny-list flags, the re-send rule, chunked deletes and
// argument errors.
#include "provider/procedures.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "provider/sql/schema.h"

namespace provider {
namespace {

class ProceduresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EngineOptions o;
    o.local_now = [] { return std::string("2026-12-11 10:00:00.000"); };
    std::string err;
    engine_ = Engine::Open(":memory:", o, &err);
    ASSERT_TRUE(engine_) << err;
    ASSERT_TRUE(ApplySchema(*engine_).ok());
    ProcedureOptions po;
    po.delete_chunk = 4;
    RegisterProcedures(*engine_, po);
    Exec("insert into USER_INFO (USER_ID, PASSWORD, REMAIN_PAY) values ('u1', 'pw', 1000)");
    Exec("insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, PROG_STAT) values (1, 'u1', 'S1', 0, '1'), "
         "(2, 'u1', 'Survey', 4, '1')");
  }
  void Exec(const std::string& sql) {
    ExecResult r = engine_->Execute(sql, {});
    ASSERT_TRUE(r.ok()) << sql << ": " << r.message;
  }
  std::vector<std::vector<std::string>> Rows(const std::string& sql, ExecResult* out = nullptr) {
    std::vector<std::vector<std::string>> rows;
    ExecResult r = engine_->Execute(sql, [&](const std::vector<std::string>& f) {
      rows.push_back(f);
      return true;
    });
    if (out) *out = r;
    else EXPECT_TRUE(r.ok()) << sql << ": " << r.message;
    return rows;
  }
  std::string One(const std::string& sql) {
    auto rows = Rows(sql);
    return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
  }
  std::string Insert(const std::string& phone, int common, int user, const std::string& time = "093000") {
    return "exec P_INSERT_REQ_ORV 'u1', 1,'T1','" + phone + "','a','b','c','d','0212345678','000000000000','20261211','" +
           time + "'," + std::to_string(common) + "," + std::to_string(user);
  }
  // Adds a result row as the dialler writes it.
  void Result(int id, int svc, const std::string& title, const std::string& date, const std::string& time, int code,
              const std::string& reply, const std::string& table = "RST_ORV", const std::string& phone = "01011112222",
              int pay = 0) {
    Exec("insert into " + table +
         " (ORV_ID, USER_ID, SVC_ID, TITLE, RECV_PHONE, RES_CODE, RES_REPLY, DIAL_DATE, DIAL_TIME, USE_PAY, REG_DATE, "
         "REG_TIME) values (" +
         std::to_string(id) + ", 'u1', " + std::to_string(svc) + ", '" + title + "', '" + phone + "', " +
         std::to_string(code) + ", '" + reply + "', '" + date + "', '" + time + "', " + std::to_string(pay) +
         ", '" + date + "', '090000')");
  }
  std::unique_ptr<Engine> engine_;
};

TEST_F(ProceduresTest, InsertReqOrvHonoursDenyFlags) {
  Exec("insert into T_DENY_ORV (C_USER_ID, C_TELNUM) values ('u1', '01000000001'), ('all', '01000000002'), "
       "('u2', '01000000003')");
  struct Case {
    const char* phone;
    int common, user;
    bool registered;
  } cases[] = {
      {"01000000001", 0, 0, true},  {"01000000001", 1, 0, true},  {"01000000001", 0, 1, false},
      {"01000000002", 0, 1, true},  {"01000000002", 1, 0, false}, {"01000000003", 1, 1, true},  // another user's list
      {"01000000009", 1, 1, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string time = "09" + std::to_string(1000 + n++).substr(0, 4);
    ExecResult r = engine_->Execute(Insert(c.phone, c.common, c.user, time), {});
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(One("select count(*) from REQ_ORV where RECV_PHONE = '" + std::string(c.phone) + "' and REG_TIME = '" +
                  time + "'"),
              c.registered ? "1" : "0")
        << c.phone << " common " << c.common << " user " << c.user;
  }
  auto row = Rows("select USER_ID, SVC_ID, TITLE, CUST_INFO4, CALLER_ID, RESERVE_INFO, PROGRESS, TRY_COUNT, REG_DATE "
                  "from REQ_ORV order by ORV_ID limit 1");
  ASSERT_EQ(row.size(), 1u);
  EXPECT_EQ(row[0], (std::vector<std::string>{"u1", "1", "T1", "d", "0212345678", "000000000000", "0", "0", "20261211"}));
}

TEST_F(ProceduresTest, ResentRowsRegisterNothingNew) {
  // A batch executed whose answer was lost comes again: every call succeeds
  // and nothing is added, also after the dialler took a row meanwhile.
  std::string batch;
  for (const char* p : {"01011110001", "01011110002", "01011110003"}) batch += Insert(p, 1, 1) + "~$#^@*";
  int32_t executed = 0;
  ASSERT_TRUE(engine_->ExecuteBatch(batch, 3, &executed).ok());
  Exec("insert into RST_ORV select ORV_ID, USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, CUST_INFO2, CUST_INFO3, "
       "CUST_INFO4, CALLER_ID, 0, 10, '', '20261211', '100000', '', 1, 0, REG_DATE, REG_TIME, '0' from REQ_ORV where "
       "RECV_PHONE = '01011110001'");
  Exec("delete from REQ_ORV where RECV_PHONE = '01011110001'");
  executed = 0;
  ExecResult r = engine_->ExecuteBatch(batch, 3, &executed);
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(executed, 3);
  EXPECT_EQ(One("select count(*) from REQ_ORV"), "2");
  // The same number in another send (another time or title) is a new request.
  Exec(Insert("01011110002", 1, 1, "093001"));
  EXPECT_EQ(One("select count(*) from REQ_ORV"), "3");
}

TEST_F(ProceduresTest, BadArgumentsAreErrorsAndWriteNothing) {
  const std::string good_tail = "'a','b','c','d','0212345678','000000000000','20261211','093000',1,0";
  struct Case {
    std::string sql;
    const char* mentions;
  } cases[] = {
      {"exec P_INSERT_REQ_ORV 'u1', 'x','T','01012345678'," + good_tail, "service ID"},
      {"exec P_INSERT_REQ_ORV 'u1', 1,'T','010-1234'," + good_tail, "phone"},
      {"exec P_INSERT_REQ_ORV 'u1', 9,'T','01012345678'," + good_tail, "service 9"},
      {"exec P_INSERT_REQ_ORV 'u1', 1,'T','01012345678','a','b','c','d','02','000000000000','2026121','093000',1,0",
       "registration date"},
      {"exec P_INSERT_REQ_ORV 'u1', 1,'T','01012345678','a','b','c','d','02','000000000000','20261211','093000',2,0",
       "0 or 1"},
      {"exec P_INSERT_REQ_ORV 'u1', 1,'T'", "argument"},
      {"{call P_ORV_통보결과상세분석('u1', '20261201', '20261211', '3')}", "mode"},
      {"{call P_QUERY_REQ_ORV_BY_TITLE(1,'2026-12-01','20261211')}", "from date"},
      {"exec P_INSERT_DENY_LIST 'u1', 'abc', 'x'", "digits"},
  };
  for (const Case& c : cases) {
    ExecResult r = engine_->Execute(c.sql, {});
    EXPECT_EQ(r.code, sqlcode::kProcedureArgument) << c.sql << ": " << r.message;
    EXPECT_NE(r.message.find(c.mentions), std::string::npos) << r.message;
  }
  EXPECT_EQ(One("select count(*) from REQ_ORV"), "0");
  EXPECT_EQ(One("select count(*) from T_DENY_ORV"), "0");
}

TEST_F(ProceduresTest, DenyListKeepsDigitsOnce) {
  Exec("exec P_INSERT_DENY_LIST 'u1', '010-1234-5678','first'");
  Exec("{ call P_INSERT_DENY_LIST ('u1', '01012345678', 'second') }");
  Exec("execute P_INSERT_DENY_LIST 'u2', '01012345678', 'other user'");
  auto rows = Rows("select C_USER_ID, C_TELNUM, C_REGIST_DATE, C_COMMENT from T_DENY_ORV order by C_USER_ID");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"u1", "01012345678", "20261211", "first"}));
  EXPECT_EQ(rows[1][0], "u2");
}

TEST_F(ProceduresTest, ChunkedDeletesReturnWhatIsLeft) {
  for (int i = 0; i < 10; ++i)
    Exec("insert into REQ_ORV (USER_ID, SVC_ID, RECV_PHONE, PROGRESS, REG_DATE, REG_TIME) values ('u1', 1, '010', '" +
         std::string(i < 7 ? "0" : "9") + "', '20261211', '090000')");
  Exec("insert into REQ_ORV (USER_ID, SVC_ID, RECV_PHONE, REG_DATE, REG_TIME) values ('u1', 2, '010', '20261211', '1')");
  std::vector<std::string> left;
  for (int i = 0; i < 5; ++i) {
    left.push_back(One("{ call P_ORV_DELETE_REQ_ORV(1)}"));
    if (left.back() == "0") break;
  }
  EXPECT_EQ(left, (std::vector<std::string>{"6", "2", "0"}));
  EXPECT_EQ(One("select count(*) from REQ_ORV"), "1");  // the other service keeps its row

  for (int i = 1; i <= 12; ++i) Result(i, 1, "T", "20260105", "100000", 0, "9", i % 2 ? "RST_ORV" : "RST_ORV_HIST");
  Result(99, 1, "T", "20260801", "100000", 0, "");  // outside the period
  for (int i = 1; i <= 6; ++i)
    Exec("insert into CALLBACK_INFO (ORV_ID, USER_ID, SVC_ID, DIAL_DATE) values (" + std::to_string(i) +
         ", 'u1', 1, '20260105')");
  std::vector<std::vector<std::string>> counts;
  for (int i = 0; i < 5; ++i) {
    auto rows = Rows("{ call P_ORV_데이터삭제('u1','20260101','20260630')}");
    ASSERT_EQ(rows.size(), 1u);
    counts.push_back(rows[0]);
    if (rows[0] == std::vector<std::string>{"0", "0"}) break;
  }
  ASSERT_GE(counts.size(), 2u);
  EXPECT_EQ(counts[0], (std::vector<std::string>{"4", "2"}));  // results 4 per table, callbacks 4 per call
  EXPECT_EQ(counts.back(), (std::vector<std::string>{"0", "0"}));
  EXPECT_EQ(One("select count(*) from V_RST_ORV"), "1");
}

TEST_F(ProceduresTest, CountsPerTitleWithTotal) {
  Exec("insert into REQ_ORV (USER_ID, SVC_ID, TITLE, RECV_PHONE, PROGRESS, REG_DATE, REG_TIME) values "
       "('u1', 1, 'A', '1', '0', '20261205', '1'), ('u1', 1, 'A', '2', '9', '20261205', '1'), "
       "('u1', 1, 'B', '3', '0', '20261205', '1'), ('u1', 1, 'B', '4', '0', '20261120', '1'), "
       "('u1', 2, 'A', '5', '0', '20261205', '1')");
  Result(100, 1, "A", "20261205", "100000", 0, "");
  Result(101, 1, "A", "20261205", "100000", 3, "", "RST_ORV_HIST");
  Result(102, 1, "A", "20261205", "100000", 0, "");
  Result(103, 1, "A", "20261205", "100000", 1, "");
  auto rows = Rows("{call P_QUERY_REQ_ORV_BY_TITLE(1,'20261201','20261211')}");
  const std::vector<std::vector<std::string>> want = {
      {"A", "1", "1", "4", "2", "50.0"},
      {"B", "1", "0", "0", "0", "0.0"},
      {"총계", "2", "1", "4", "2", "50.0"},
  };
  EXPECT_EQ(rows, want);
  EXPECT_TRUE(Rows("{call P_QUERY_REQ_ORV_BY_TITLE(1,'20250101','20250102')}").empty());
}

TEST_F(ProceduresTest, ResultAnalysisPerDayAndHour) {
  Result(1, 1, "T", "20261201", "091000", 0, "");
  Result(2, 1, "T", "20261201", "093000", 1, "");
  Result(3, 1, "T", "20261202", "091500", 2, "", "RST_ORV_HIST");
  Result(4, 1, "T", "20261202", "141500", 11, "");
  Result(5, 1, "T", "20261130", "141500", 0, "");  // outside
  auto day = Rows("{call P_ORV_통보결과상세분석('u1', '20261201', '20261211', '1')} ");
  const std::vector<std::vector<std::string>> want_day = {
      {"1", "S1", "2026-12-01", "2", "1", "50.0", "1", "0", "0", "0", "0"},
      {"1", "S1", "2026-12-02", "2", "0", "0.0", "0", "1", "0", "0", "1"},
  };
  EXPECT_EQ(day, want_day);
  auto hour = Rows("{call P_ORV_통보결과상세분석('u1', '20261201', '20261211', '2')} ");
  const std::vector<std::vector<std::string>> want_hour = {
      {"1", "S1", "09", "3", "1", "33.3", "1", "1", "0", "0", "0"},
      {"1", "S1", "14", "1", "0", "0.0", "0", "0", "0", "0", "1"},
  };
  EXPECT_EQ(hour, want_hour);
}

TEST_F(ProceduresTest, CallbackRateAndCharges) {
  Result(1, 1, "T", "20261201", "091000", 0, "9", "RST_ORV", "01012345678", 50);
  Result(2, 1, "T", "20261201", "092000", 0, "", "RST_ORV", "0212345678", 30);
  Result(3, 1, "T", "20261201", "093000", 3, "", "RST_ORV", "01012345679", 0);
  Result(4, 1, "T", "20261201", "101000", 0, "9", "RST_ORV", "01012345670", 50);
  Exec("insert into CALLBACK_INFO (ORV_ID, USER_ID, SVC_ID, DIAL_DATE) values (1, 'u1', 1, '20261201'), "
       "(4, 'u1', 1, '20261201')");
  const std::vector<std::vector<std::string>> rate = {{"S1", "09", "2", "1", "50.0"}, {"S1", "10", "1", "1", "100.0"}};
  EXPECT_EQ(Rows("{call P_ORV_콜백률조회('u1','20261201','20261211')}"), rate);
  const std::vector<std::vector<std::string>> pay = {{"1", "S1", "2026-12-01", "2", "100", "1", "30"}};
  EXPECT_EQ(Rows("{call P_ORV_전화요금계산('u1','20261201','20261211')}"), pay);
}

TEST_F(ProceduresTest, SurveySummaryStatisticsAndDeletion) {
  Result(1, 2, "Q", "20261201", "090000", 0, "312");
  Result(2, 2, "Q", "20261201", "090000", 0, "11");
  Result(3, 2, "Q", "20261202", "090000", 1, "", "RST_ORV_HIST");
  Result(4, 2, "R", "20261202", "090000", 0, "2");
  Result(5, 1, "Q", "20261202", "090000", 0, "9");  // not a survey service
  const std::vector<std::vector<std::string>> by_date = {
      {"20261201", "2", "Survey", "2", "2", "0", "0", "0", "0", "0", "0"},
      {"소계", "", "", "2", "2", "0", "0", "0", "0", "0", "0"},
      {"20261202", "2", "Survey", "2", "1", "1", "1", "0", "0", "0", "0"},
      {"소계", "", "", "2", "1", "1", "1", "0", "0", "0", "0"},
      {"총계", "", "", "4", "3", "1", "1", "0", "0", "0", "0"},
  };
  EXPECT_EQ(Rows("{ call P_RESEARCH_SUMMERY_RST_ORV('u1','20261201','20261211', '0')}"), by_date);
  auto by_title = Rows("{ call P_RESEARCH_SUMMERY_RST_ORV('u1','20261201','20261211', '1')}");
  ASSERT_EQ(by_title.size(), 5u);
  EXPECT_EQ(by_title[0][0], "Q");
  EXPECT_EQ(by_title[0][3], "3");

  auto stat = Rows("{call P_RESEARCH_STATIS_SIMPLE_DATE('u1',2,'20261201',2)}");
  ASSERT_EQ(stat.size(), 1u);
  ASSERT_EQ(stat[0].size(), 90u);
  EXPECT_EQ(stat[0][0 * 9 + 2], "1");  // question 1 answered 3 by "312"
  EXPECT_EQ(stat[0][0 * 9 + 0], "1");  // question 1 answered 1 by "11"
  EXPECT_EQ(stat[0][1 * 9 + 0], "2");  // question 2 answered 1 twice
  EXPECT_EQ(stat[0][2 * 9 + 1], "1");  // question 3 answered 2
  int64_t sum = 0;
  for (const std::string& v : stat[0]) sum += std::stoll(v);
  EXPECT_EQ(sum, 5);
  auto min3 = Rows("{call P_RESEARCH_STATIS_SIMPLE_TITLE('u1',2,'20261201','20261211','Q', 3)}");
  ASSERT_EQ(min3.size(), 1u);
  EXPECT_EQ(min3[0][2], "1");

  auto overview = Rows("{call P_ELEC_RESEARCH_SUMMERY('u1',2,'20261201','20261211','Q',3)}");
  ASSERT_EQ(overview.size(), 2u);
  EXPECT_EQ(overview[0], (std::vector<std::string>{"건수", "3", "1", "0", "1", "1"}));

  EXPECT_EQ(One("execute P_RESEARCH_DELETE_TITLE_RST_ORV 'u1', 2, '20261201', '20261211', 'Q', '1'"), "3");
  EXPECT_EQ(One("select count(*) from V_RST_ORV where DELETE_FLAG = '1'"), "3");
  EXPECT_EQ(One("execute P_RESEARCH_DELETE_TITLE_RST_ORV 'u1', 2, '20261202', '20261202', '', '0'"), "1");
  EXPECT_TRUE(Rows("{ call P_RESEARCH_SUMMERY_RST_ORV('u1','20261201','20261211', '0')}").empty());
}

TEST_F(ProceduresTest, ReqTmpRowsForAgents) {
  const std::string call =
      "exec P_INSERT_REQ_TMP 'u1', 2,'설문','01012345678','홍길동','','','','0212345678','20261211','093000',0,1";
  Exec(call);
  Exec(call);  // sent again: kept once
  Exec("insert into T_DENY_ORV (C_USER_ID, C_TELNUM) values ('u1', '01099999999')");
  Exec("exec P_INSERT_REQ_TMP 'u1', 2,'설문','01099999999','','','','','02','20261211','093000',0,1");
  auto rows = Rows("select USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, AGENT_NM from REQ_TMP");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"u1", "2", "설문", "01012345678", "홍길동", ""}));
}

}  // namespace
}  // namespace provider
