// The database service end to end: libQuerion against the service on a
// real database file, over loopback.
#include "provider/dbservice.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "dbclient/querion.h"
#include "platform/codepage.h"
#include "provider/sql/engine.h"

namespace {

class DbServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/dbservice_test.XXXXXX";
    dir_ = mkdtemp(tmpl);
    provider::DbServiceOptions o;
    o.db_path = dir_ + "/orv.db";
    o.batch_rows = 7;  // small batches, so that a query spans several deliveries
    o.configure = [](provider::Engine& e) {
      e.RegisterProcedure("P_TEST_ECHO", [](provider::Engine&, const std::vector<std::string>& args,
                                            const provider::RowSink& sink) {
        for (const std::string& a : args) sink({a});
        return provider::ExecResult{};
      });
    };
    service_ = std::make_unique<provider::DbService>(o);
    service_->RegisterOn(server_);
    std::string err;
    ASSERT_TRUE(server_.Listen("127.0.0.1", "0", &err)) << err;
    h_ = RDBServerOpen("127.0.0.1", std::to_string(server_.port()).c_str());
    Exec("create table T (ID int primary key, NAME varchar(20), REG_DATE char(8))");
  }
  void TearDown() override {
    RDBServerClose(h_);
    server_.Stop();
    std::system(("rm -rf " + dir_).c_str());
  }
  int Exec(const std::string& sql) {
    RDB_ERROR err{};
    int r = RDBExecuteSQL(h_, "NEW_ORV", platform::Utf8ToCp949(sql).c_str(), &err);
    last_code_ = err.nCode;
    last_message_ = platform::Cp949ToUtf8(err.szMessage);
    return r;
  }
  std::vector<std::string> Query(const std::string& sql, int* result = nullptr) {
    rows_.clear();
    RDBSetEventCallBackFN([](RDB_HANDLE, int32_t, int32_t, const char* rec) {
      rows_.push_back(platform::Cp949ToUtf8(rec));
      return static_cast<int>(rows_.size()) == stop_at_ ? 0 : 1;
    });
    RDB_ERROR err{};
    int32_t n = -1;
    int r = RDBBulkQueryRecord(h_, "NEW_ORV", 1, platform::Utf8ToCp949(sql).c_str(), &n, &err);
    if (result) *result = r;
    last_code_ = err.nCode;
    reported_rows_ = n;
    return rows_;
  }

  std::string dir_;
  rpc::Server server_;
  std::unique_ptr<provider::DbService> service_;
  RDB_HANDLE h_ = 0;
  int32_t last_code_ = 0;
  std::string last_message_;
  int32_t reported_rows_ = 0;
  static inline std::vector<std::string> rows_;
  static inline int stop_at_ = -1;
};

TEST_F(DbServiceTest, StatementsQueriesAndFirstRecords) {
  EXPECT_EQ(Exec("insert into T values (1, '홍길동', '20261211')"), 1);
  EXPECT_EQ(Exec("insert into T values (2, null, '20261210')"), 1);
  auto rows = Query("select ID, NAME, REG_DATE from T with(nolock) order by ID");
  EXPECT_EQ(rows, (std::vector<std::string>{"1:;홍길동:;20261211:;", "2:;:;20261210:;"}));
  EXPECT_EQ(reported_rows_, 2);
  EXPECT_EQ(last_code_, 0);

  char rec[4096];
  RDB_ERROR err{};
  EXPECT_EQ(RDBQueryFirstRecord(h_, "NEW_ORV", "select top 1 NAME from T where ID = 1", rec, &err), 1);
  EXPECT_EQ(err.nCode, 0);
  EXPECT_EQ(platform::Cp949ToUtf8(rec), "홍길동:;");
  EXPECT_EQ(RDBQueryFirstRecord(h_, "NEW_ORV", "select NAME from T where ID = 99", rec, &err), 1);
  EXPECT_EQ(err.nCode, 1);  // no row

  EXPECT_EQ(Exec("insert into T values (1, 'again', '20261211')"), 0);  // duplicate key
  EXPECT_NE(last_code_, 0);
  EXPECT_FALSE(last_message_.empty());
  EXPECT_EQ(Exec("select frobnicate from nowhere"), 0);
  EXPECT_FALSE(last_message_.empty());
}

TEST_F(DbServiceTest, QueriesSpanManyDeliveriesAndStopOnRequest) {
  std::string batch;
  for (int i = 0; i < 100; ++i) batch += "insert into T values (" + std::to_string(i) + ", 'n', '20261211')~$#^@*";
  RDB_ERROR err{};
  int32_t executed = 0;
  EXPECT_EQ(RDBBulkExecuteSQL(h_, "NEW_ORV", 100, batch.c_str(), &executed, &err), 1);
  EXPECT_EQ(executed, 100);

  auto rows = Query("select ID from T order by ID");
  ASSERT_EQ(rows.size(), 100u);
  EXPECT_EQ(rows[99], "99:;");
  stop_at_ = 10;
  rows = Query("select ID from T order by ID");
  stop_at_ = -1;
  EXPECT_EQ(rows.size(), 10u);  // stopped inside the second delivery of 7
  EXPECT_EQ(last_code_, 0);
}

TEST_F(DbServiceTest, BatchStopsAtTheFailingStatementAndKeepsTheOnesBefore) {
  std::string batch = "insert into T values (1, 'a', '1')~$#^@*insert into T values (2, 'b', '2')~$#^@*"
                      "insert into T values (1, 'dup', '3')~$#^@*insert into T values (4, 'd', '4')~$#^@*";
  RDB_ERROR err{};
  int32_t executed = -1;
  EXPECT_EQ(RDBBulkExecuteSQL(h_, "NEW_ORV", 4, batch.c_str(), &executed, &err), 0);
  EXPECT_EQ(executed, 2);
  EXPECT_NE(err.nCode, 0);
  EXPECT_EQ(Query("select ID from T order by ID"), (std::vector<std::string>{"1:;", "2:;"}));
}

TEST_F(DbServiceTest, ProceduresInBothCallForms) {
  for (const char* call : {"exec P_TEST_ECHO 'it''s', 42", "{call P_TEST_ECHO('it''s', 42)}",
                           "{ call P_TEST_ECHO ('it''s',42) }"}) {
    EXPECT_EQ(Query(call), (std::vector<std::string>{"it's:;", "42:;"})) << call;
  }
}

TEST_F(DbServiceTest, ConnectionsRunSideBySide) {
  std::vector<std::thread> threads;
  std::atomic<int> ok{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      RDB_HANDLE h = RDBServerOpen("127.0.0.1", std::to_string(server_.port()).c_str());
      for (int i = 0; i < 25; ++i) {
        RDB_ERROR err{};
        std::string sql = "insert into T values (" + std::to_string(t * 1000 + i) + ", 'x', '1')";
        if (RDBExecuteSQL(h, "NEW_ORV", sql.c_str(), &err) == 1) ++ok;
      }
      RDBServerClose(h);
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(ok.load(), 100);
  char rec[4096];
  RDB_ERROR err{};
  RDBQueryFirstRecord(h_, "NEW_ORV", "select count(*) from T", rec, &err);
  EXPECT_STREQ(rec, "100:;");
}

}  // namespace
