// The demo database served end to end through libQuerion: every client
// statement runs on it without a database error, a representative statement
// of each screen reads the rows it expects, and the simulator turns a sent
// batch into results and callbacks.
#include "provider/demo.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dbclient/querion.h"
#include "platform/codepage.h"
#include "provider/dbservice.h"
#include "provider/procedures.h"
#include "provider/simulator.h"
#include "provider/sql/functions.h"
#include "provider/sql/schema.h"

namespace provider {
namespace {

constexpr const char* kToday = "20261211";

class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/demo_test.XXXXXX";
    dir_ = mkdtemp(tmpl);
    path_ = dir_ + "/orv.db";
    std::string err;
    engine_ = Engine::Open(path_, &err);
    ASSERT_TRUE(engine_) << err;
    ASSERT_TRUE(ApplySchema(*engine_).ok());
    RegisterProcedures(*engine_);
    ExecResult r = CreateDemoData(*engine_, kToday);
    ASSERT_TRUE(r.ok()) << r.message;

    DbServiceOptions o;
    o.db_path = path_;
    o.configure = [](Engine& e) {
      RegisterServiceFunctions(e, nullptr);
      RegisterProcedures(e);
    };
    service_ = std::make_unique<DbService>(o);
    service_->RegisterOn(server_);
    ASSERT_TRUE(server_.Listen("127.0.0.1", "0", &err)) << err;
    h_ = RDBServerOpen("127.0.0.1", std::to_string(server_.port()).c_str());
  }
  void TearDown() override {
    RDBServerClose(h_);
    server_.Stop();
    engine_.reset();
    std::system(("rm -rf " + dir_).c_str());
  }
  // Rows as field lists; *result gets the library's answer.
  std::vector<std::vector<std::string>> Query(const std::string& sql, int* result = nullptr) {
    rows_.clear();
    RDBSetEventCallBackFN([](RDB_HANDLE, int32_t, int32_t, const char* rec) {
      std::string text = platform::Cp949ToUtf8(rec);
      std::vector<std::string> fields;
      for (std::size_t at; (at = text.find(":;")) != std::string::npos; text.erase(0, at + 2))
        fields.push_back(text.substr(0, at));
      rows_.push_back(fields);
      return 1;
    });
    RDB_ERROR err{};
    int32_t n = -1;
    const int r = RDBBulkQueryRecord(h_, "NEW_ORV", 0, platform::Utf8ToCp949(sql).c_str(), &n, &err);
    if (result) *result = r;
    message_ = platform::Cp949ToUtf8(err.szMessage);
    return rows_;
  }
  int Exec(const std::string& sql) {
    RDB_ERROR err{};
    const int r = RDBExecuteSQL(h_, "NEW_ORV", platform::Utf8ToCp949(sql).c_str(), &err);
    message_ = platform::Cp949ToUtf8(err.szMessage);
    return r;
  }
  std::string dir_, path_, message_;
  std::unique_ptr<Engine> engine_;
  rpc::Server server_;
  std::unique_ptr<DbService> service_;
  RDB_HANDLE h_ = 0;
  static inline std::vector<std::vector<std::string>> rows_;
};

TEST_F(DemoTest, EveryClientStatementRunsOnTheDemoDatabase) {
  std::ifstream in(PROVIDER_SQL_TESTDATA "/statements.txt");
  int walked = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    ++walked;
    const bool query = line.rfind("select", 0) == 0 || line.rfind("SELECT", 0) == 0 || line.find("call ") != std::string::npos;
    int r = 0;
    if (query) Query(line, &r);
    else r = Exec(line);
    EXPECT_EQ(r, 1) << line << "\n" << message_;
  }
  EXPECT_GT(walked, 100);
}

TEST_F(DemoTest, ScreensReadTheDemoRows) {
  // Login, service list, balance.
  auto login = Query("select USER_ID, USER_NM, '' as AGENT_NM, PASSWORD from USER_INFO where USER_ID = 'user01' "
                     "collate Korean_Wansung_BIN ");
  ASSERT_EQ(login.size(), 1u);
  EXPECT_EQ(login[0][3], kDemoPassword);
  auto services = Query("select SVC_ID, SVC_NM from SERVICE_INFO with(nolock)  where USER_ID = 'user01' and SVC_TYPE "
                        "in(0,4,5) and PROG_STAT <> '9' order by SVC_ID ");
  EXPECT_EQ(services.size(), 3u);
  // Pending requests per title: waiting and paused today, "총계" last.
  auto titles = Query("{call P_QUERY_REQ_ORV_BY_TITLE(1001,'" + std::string(kToday) + "','" + kToday + "')}");
  ASSERT_GE(titles.size(), 2u);
  EXPECT_EQ(titles.back()[0], "총계");
  bool found = false;
  for (const auto& t : titles)
    if (t[0] == "12월 안내") {
      found = true;
      EXPECT_EQ(t[1], "30");
      EXPECT_EQ(t[2], "10");
    }
  EXPECT_TRUE(found);
  // A week of results, callbacks and statistics.
  auto results = Query("select count(*) FROM V_RST_ORV a with(nolock) join SERVICE_INFO b with(nolock) on a.SVC_ID = "
                       "b.SVC_ID where a.USER_ID = 'user01'");
  ASSERT_EQ(results.size(), 1u);
  EXPECT_GT(std::stoi(results[0][0]), 100);
  auto callbacks = Query("select count(*) from CALLBACK_INFO c with(nolock) join V_RST_ORV r with(nolock) on c.ORV_ID "
                         "= r.ORV_ID where c.USER_ID = 'user01'");
  EXPECT_GT(std::stoi(callbacks.at(0).at(0)), 0);
  auto stats = Query("{call P_ORV_통보결과상세분석('user01', '20261205', '20261211', '1')} ");
  EXPECT_EQ(stats.size(), 14u);  // two dialling services, seven days
  auto survey = Query("{ call P_RESEARCH_SUMMERY_RST_ORV('user01','20261205','20261211', '0')}");
  ASSERT_FALSE(survey.empty());
  EXPECT_EQ(survey.back()[0], "총계");
  auto deny = Query("select C_TELNUM,TYPE,C_REGIST_DATE,C_COMMENT from V_DENY_INFO where C_USER_ID in('all', "
                    "'user01') and C_TELNUM like '%%' order by C_TELNUM");
  EXPECT_EQ(deny.size(), 4u);
  // Refreshing the demo keeps one copy of everything.
  ASSERT_TRUE(CreateDemoData(*engine_, kToday).ok());
  EXPECT_EQ(Query("select count(*) from SERVICE_INFO where USER_ID = 'user01'").at(0).at(0), "3");
  EXPECT_EQ(Query("select count(*) from USER_AGENT_INFO where USER_ID = 'user01'").at(0).at(0), "2");
}

TEST_F(DemoTest, SimulatorTurnsASentBatchIntoResultsAndCallbacks) {
  Exec("update SERVICE_INFO set PROG_STAT = '0' where SVC_ID = 1003");
  Exec("delete from REQ_ORV");
  std::string batch;
  const int n = 40;
  for (int i = 0; i < n; ++i)
    batch += "exec P_INSERT_REQ_ORV 'user01', 1001,'모의 발송','0105555" + std::to_string(1000 + i) +
             "','고객','','','','0212345678','000000000000','20261211','120000',1,1~$#^@*";
  RDB_ERROR err{};
  int32_t executed = 0;
  const std::string cp = platform::Utf8ToCp949(batch);
  ASSERT_EQ(RDBBulkExecuteSQL(h_, "NEW_ORV", n, cp.c_str(), &executed, &err), 1) << err.szMessage;
  EXPECT_EQ(executed, n);
  SimulatorOptions o;
  o.calls_per_step = 10;
  o.max_tries = 1;
  o.callback_percent = 50;
  Simulator sim(*engine_, o);
  DateTime now = *ParseDateTime("20261211120500");
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(sim.Step(now).ok());
  EXPECT_EQ(Query("select count(*) from REQ_ORV with(nolock) where SVC_ID = 1001").at(0).at(0), "0");
  EXPECT_EQ(Query("select count(*) from V_RST_ORV where TITLE = '모의 발송'").at(0).at(0), std::to_string(n));
  const int callbacks = std::stoi(Query("select count(*) from CALLBACK_INFO c join V_RST_ORV r on c.ORV_ID = "
                                        "r.ORV_ID where r.TITLE = '모의 발송' and IS_PRINT = 'N'")
                                      .at(0)
                                      .at(0));
  EXPECT_GT(callbacks, 0);
  auto slot = Query("select  sum(TOTAL_COUNT), sum(RES_CODE0) from RST_ORV_STATIS with(nolock) where SVC_ID = 1001 "
                    "and  SEND_DATE = '20261211' and SEND_HOUR = '12' and SEND_MINUTE = '0'  group by SVC_ID");
  ASSERT_EQ(slot.size(), 1u);
  EXPECT_EQ(slot[0][0], std::to_string(n));
  // The same batch sent again registers nothing.
  ASSERT_EQ(RDBBulkExecuteSQL(h_, "NEW_ORV", n, cp.c_str(), &executed, &err), 1) << err.szMessage;
  EXPECT_EQ(executed, n);
  EXPECT_EQ(Query("select count(*) from REQ_ORV with(nolock) where SVC_ID = 1001").at(0).at(0), "0");
}

// A service killed while it works loses no committed row: a child process
// runs simulator steps on the file and dies without closing it; the file
// then holds every request exactly once, waiting or as a result, and the
// simulator continues on it.
TEST_F(DemoTest, KilledServiceLosesNothingAndContinues) {
  auto count = [&](Engine& e, const char* sql) {
    std::vector<std::string> f;
    EXPECT_TRUE(e.ExecuteFirst(sql, &f).ok());
    return f.empty() ? -1 : std::stoi(f[0]);
  };
  const int total = count(*engine_, "select (select count(*) from REQ_ORV) + (select count(*) from V_RST_ORV)");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string err;
    auto e = Engine::Open(path_, &err);
    if (!e) _exit(1);
    Simulator sim(*e, {});
    DateTime now = *ParseDateTime("20261211130000");
    for (int i = 0; i < 3; ++i) sim.Step(now);
    e->ExecuteNative("BEGIN IMMEDIATE; UPDATE USER_INFO SET REMAIN_PAY = 0;");  // never committed
    _exit(0);  // no close, no checkpoint
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  std::string err;
  auto reopened = Engine::Open(path_, &err);
  ASSERT_TRUE(reopened) << err;
  EXPECT_EQ(count(*reopened, "select (select count(*) from REQ_ORV) + (select count(*) from V_RST_ORV)"), total);
  EXPECT_EQ(count(*reopened, "select count(*) from REQ_ORV r join V_RST_ORV v on v.ORV_ID = r.ORV_ID"), 0);
  EXPECT_GT(count(*reopened, "select REMAIN_PAY from USER_INFO where USER_ID = 'user01'"), 0);
  const int waiting = count(*reopened, "select count(*) from REQ_ORV where PROGRESS = '0'");
  Simulator sim(*reopened, {});
  ASSERT_TRUE(sim.Step(*ParseDateTime("20261211130100")).ok());
  EXPECT_LT(count(*reopened, "select count(*) from REQ_ORV where PROGRESS = '0'"), waiting);
}

}  // namespace
}  // namespace provider
