#include "provider/sql/engine.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "provider/sql/schema.h"

namespace provider {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EngineOptions options;
    options.local_now = [] { return std::string("2026-12-11 09:05:07.042"); };
    std::string error;
    engine_ = Engine::Open(":memory:", options, &error);
    ASSERT_TRUE(engine_) << error;
    ASSERT_TRUE(ApplySchema(*engine_).ok());
  }

  Rows Query(const std::string& sql) {
    Rows rows;
    const ExecResult r = engine_->Execute(sql, [&](const std::vector<std::string>& f) {
      rows.push_back(f);
      return true;
    });
    EXPECT_EQ(r.code, 0) << sql << ": " << r.message;
    EXPECT_EQ(r.rows, static_cast<int64_t>(rows.size()));
    return rows;
  }

  void Run(const std::string& sql) {
    const ExecResult r = engine_->Execute(sql, {});
    ASSERT_EQ(r.code, 0) << sql << ": " << r.message;
  }

  std::string One(const std::string& sql) {
    std::vector<std::string> f;
    const ExecResult r = engine_->ExecuteFirst(sql, &f);
    EXPECT_EQ(r.code, 0) << sql << ": " << r.message;
    return f.empty() ? "<none>" : f[0];
  }

  std::unique_ptr<Engine> engine_;
};

TEST_F(EngineTest, RowsAsTextWithNullAsEmpty) {
  Run("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('G', '1', '가나')");
  Run("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('G', '2', '')");
  const Rows rows = Query(
      "select CD_ID, CD_NM, NULL, 7, 2.5, 100.0, -0.0, 1e20, cast('A' as blob) from CODE_INFO with(nolock) where CD_GRP = 'G' "
      "order by CD_ID");
  const Rows expected = {{"1", "가나", "", "7", "2.5", "100", "0", "1e+20", "A"},
                         {"2", "", "", "7", "2.5", "100", "0", "1e+20", "A"}};
  EXPECT_EQ(rows, expected);
}

TEST_F(EngineTest, FirstRowOrNoRow) {
  Run("insert into USER_INFO (USER_ID, USER_NM, PASSWORD, REMAIN_PAY) values ('u1', '홍길동', 'pw', 5000)");
  std::vector<std::string> f;
  ExecResult r = engine_->ExecuteFirst("select USER_ID, USER_NM, '' as AGENT_NM, PASSWORD from USER_INFO where "
                                       "USER_ID = 'u1' collate Korean_Wansung_BIN ",
                                       &f);
  EXPECT_EQ(r.code, sqlcode::kOk);
  EXPECT_EQ(f, (std::vector<std::string>{"u1", "홍길동", "", "pw"}));
  // The collation makes the comparison exact, case included.
  r = engine_->ExecuteFirst("select USER_ID from USER_INFO where USER_ID = 'U1' collate Korean_Wansung_BIN", &f);
  EXPECT_EQ(r.code, sqlcode::kNoRow);
  EXPECT_EQ(r.message, "");
  // An aggregate always has a row.
  EXPECT_EQ(One("select count(*) CNT from USER_INFO where USER_ID = 'nobody'"), "0");
}

TEST_F(EngineTest, ErrorsCarryCodeSqliteTextAndStatement) {
  Run("insert into USER_INFO (USER_ID) values ('u1')");
  Run("create table CHK (A INTEGER CHECK (A > 0))");
  struct ErrorCase {
    const char* sql;
    int32_t code;
    const char* text;  // part of the message
  };
  const ErrorCase cases[] = {
      {"select * from NOPE", sqlcode::kNoSuchTable, "no such table: NOPE (statement: select * from NOPE)"},
      {"select NOPE from USER_INFO", sqlcode::kNoSuchColumn, "no such column: NOPE"},
      {"select NOSUCH(1)", sqlcode::kNoSuchFunction, "no such function: NOSUCH"},
      {"selec 1", sqlcode::kSyntax, "syntax error"},
      {"select 'abc", sqlcode::kSyntax, "unterminated string literal"},
      {"insert into USER_INFO (USER_ID) values ('u1')", sqlcode::kUnique, "UNIQUE constraint failed"},
      {"insert into USER_INFO (USER_ID) values (NULL)", sqlcode::kNotNull, "NOT NULL constraint failed"},
      {"insert into CHK values (0)", sqlcode::kConstraint, "CHECK constraint failed"},
      {"exec P_NOPE 'a'", sqlcode::kNoSuchProcedure, "could not find stored procedure 'P_NOPE'"},
      {"select 'abc' + 1", sqlcode::kConversion, "conversion failed"},
      {"select 9223372036854775807 + 1", sqlcode::kConversion, "arithmetic overflow"},
      {"select convert(varchar, getdate(), 999)", sqlcode::kOther, "convert style 999 is not supported"},
      {"select convert(datetime, '20261341')", sqlcode::kConversion, "to a date"},
  };
  for (const ErrorCase& c : cases) {
    const ExecResult r = engine_->Execute(c.sql, {});
    EXPECT_EQ(r.code, c.code) << c.sql << ": " << r.message;
    EXPECT_NE(r.message.find(c.text), std::string::npos) << c.sql << ": " << r.message;
  }
  EngineOptions small;
  small.limits.max_text_bytes = 16;
  std::string error;
  auto limited = Engine::Open(":memory:", small, &error);
  ASSERT_TRUE(limited) << error;
  EXPECT_EQ(limited->Execute("select 1, 2, 3, 4, 5, 6", {}).code, sqlcode::kLimit);
}

TEST(EngineLimits, EndlessStatementIsStoppedAndHugeValuesRefused) {
  EngineOptions options;
  options.statement_timeout_ms = 200;
  options.max_value_bytes = 1 << 20;
  std::string error;
  auto engine = Engine::Open(":memory:", options, &error);
  ASSERT_TRUE(engine) << error;
  ExecResult r = engine->Execute(
      "with c(x) as (select 1 union all select x + 1 from c) select count(*) from c", {});
  EXPECT_EQ(r.code, sqlcode::kLimit);
  EXPECT_NE(r.message.find("longer than 200 ms"), std::string::npos) << r.message;
  r = engine->Execute("select length(zeroblob(2000000))", {});
  EXPECT_EQ(r.code, sqlcode::kLimit) << r.message;
}

TEST_F(EngineTest, ChangedRowsAndStopAtFirstFailingStatement) {
  Run("insert into USER_INFO (USER_ID) values ('a'); insert into USER_INFO (USER_ID) values ('b')");
  ExecResult r = engine_->Execute("update USER_INFO set REMAIN_PAY = 10", {});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.rows, 2);
  r = engine_->Execute(
      "insert into USER_INFO (USER_ID) values ('c')\n"
      "insert into USER_INFO (USER_ID) values ('a')\n"
      "insert into USER_INFO (USER_ID) values ('d')",
      {});
  EXPECT_EQ(r.code, sqlcode::kUnique);
  EXPECT_EQ(Query("select USER_ID from USER_INFO order by USER_ID"), (Rows{{"a"}, {"b"}, {"c"}}));
}

TEST_F(EngineTest, BatchKeepsStatementsBeforeTheFailingOne) {
  const std::string batch =
      "insert into USER_INFO (USER_ID) values ('a')~$#^@*"
      // The failing statement text: its first insert must be undone with it.
      "insert into USER_INFO (USER_ID) values ('b'); insert into USER_INFO (USER_ID) values ('a')~$#^@*"
      "insert into USER_INFO (USER_ID) values ('c')~$#^@*";
  int32_t executed = -1;
  const ExecResult r = engine_->ExecuteBatch(batch, 3, &executed);
  EXPECT_EQ(r.code, sqlcode::kUnique) << r.message;
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(Query("select USER_ID from USER_INFO"), (Rows{{"a"}}));
  // The engine is usable afterwards, outside any transaction.
  Run("insert into USER_INFO (USER_ID) values ('z')");
  EXPECT_EQ(One("select count(*) from USER_INFO"), "2");
}

TEST_F(EngineTest, BatchCountAndTrailingText) {
  const std::string batch =
      "insert into USER_INFO (USER_ID) values ('a')~$#^@*"
      "insert into USER_INFO (USER_ID) values ('b')~$#^@*"
      "insert into USER_INFO (USER_ID) values ('c')~$#^@*"
      "insert into USER_INFO (USER_ID) values ('d')";  // no separator: ignored
  int32_t executed = -1;
  ExecResult r = engine_->ExecuteBatch(batch, 2, &executed);
  EXPECT_EQ(r.code, 0) << r.message;
  EXPECT_EQ(executed, 2);
  EXPECT_EQ(r.rows, 2);
  r = engine_->ExecuteBatch(
      "insert into USER_INFO (USER_ID) values ('c')~$#^@*insert into USER_INFO (USER_ID) values ('d')", 100,
      &executed);
  EXPECT_EQ(r.code, 0) << r.message;
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(Query("select USER_ID from USER_INFO order by 1"), (Rows{{"a"}, {"b"}, {"c"}}));
  r = engine_->ExecuteBatch("", 5, &executed);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(executed, 0);
}

// Plain inserts run through a reused prepared statement with their literals
// bound; what they store must be what the same literals store when SQLite
// parses them (a trailing comment keeps the second form on the parsed path).
TEST_F(EngineTest, PreparedInsertsStoreWhatLiteralsStore) {
  ASSERT_TRUE(engine_->ExecuteNative("create table P (K integer primary key, I integer, R real, T text, N numeric)").ok());
  const char* values[] = {
      "'123', '1.5', 42, '7'",  "-5, -2.5e3, 'it''s', '0012'",
      "12345678901234567890, -0, '홍길동', 1.0", "'abc', 'x', NULL, -9223372036854775808",
  };
  int key = 0;
  for (const char* v : values) {
    for (const char* tail : {"", " /* parsed */"}) {
      std::string sql = "insert into P (K, I, R, T, N) values (" + std::to_string(++key) + ", " + v + ")" + tail;
      ExecResult r = engine_->Execute(sql, {});
      ASSERT_EQ(r.code, 0) << sql << ": " << r.message;
      EXPECT_EQ(r.rows, 1);
    }
  }
  Rows rows = Query("select K, typeof(I), I, typeof(R), R, typeof(T), T, typeof(N), N from P order by K");
  ASSERT_EQ(rows.size(), 8u);
  for (std::size_t k = 0; k < rows.size(); k += 2) {
    std::vector<std::string> a(rows[k].begin() + 1, rows[k].end()), b(rows[k + 1].begin() + 1, rows[k + 1].end());
    EXPECT_EQ(a, b) << values[k / 2];
  }
  // Errors on the prepared path are the same errors, and the statement stays usable.
  ExecResult dup = engine_->Execute("insert into P (K, I) values (1, 1)", {});
  EXPECT_EQ(dup.code, sqlcode::kUnique) << dup.message;
  EXPECT_EQ(engine_->Execute("insert into P (K, I) values (100, 1)", {}).code, 0);
  EXPECT_EQ(engine_->Execute("insert into P (K, NOPE) values (101, 1)", {}).code,
            engine_->Execute("insert into P (K, NOPE) values (101, 1) /* parsed */", {}).code);
}

TEST_F(EngineTest, ProceduresInEveryCallForm) {
  std::vector<std::vector<std::string>> seen;
  std::vector<std::vector<bool>> nulls;
  engine_->RegisterProcedure("P_ORV_데이터삭제", [&](Engine& e, const std::vector<std::string>& args,
                                                     const RowSink& sink) {
    seen.push_back(args);
    nulls.push_back(e.current_call()->is_null);
    ExecResult r = e.Execute("insert into T_DENY_ORV (C_USER_ID, C_TELNUM, C_COMMENT) values ('" + args[0] +
                                 "', '" + std::to_string(seen.size()) + "', 'x')",
                             {});
    if (!r.ok()) return r;
    sink({args[0], std::to_string(seen.size())});
    return ExecResult{};
  });
  const char* forms[] = {
      "exec P_ORV_데이터삭제 'u1', '20260101', NULL",
      "execute dbo.P_ORV_데이터삭제 'u1','20260101', 7",
      "{call p_orv_데이터삭제('u1', '20260101', -1)}",
      "{ call P_ORV_데이터삭제 ('u1', '20260101', 'it''s') }",
  };
  for (const char* f : forms) {
    Rows rows;
    const ExecResult r = engine_->Execute(f, [&](const std::vector<std::string>& row) {
      rows.push_back(row);
      return true;
    });
    EXPECT_EQ(r.code, 0) << f << ": " << r.message;
    EXPECT_EQ(r.rows, 1) << f;
    ASSERT_EQ(rows.size(), 1u) << f;
    EXPECT_EQ(rows[0][1], std::to_string(seen.size()));
  }
  const Rows expected_args = {{"u1", "20260101", ""}, {"u1", "20260101", "7"}, {"u1", "20260101", "-1"},
                              {"u1", "20260101", "it's"}};
  EXPECT_EQ(seen, expected_args);
  EXPECT_EQ(nulls[0], (std::vector<bool>{false, false, true}));
  EXPECT_EQ(nulls[3], (std::vector<bool>{false, false, false}));
  EXPECT_EQ(engine_->current_call(), nullptr);
  EXPECT_EQ(One("select count(*) from T_DENY_ORV"), "4");
}

TEST_F(EngineTest, FailingProcedureUndoesItsWork) {
  engine_->RegisterProcedure("P_INSERT_DENY_LIST", [](Engine& e, const std::vector<std::string>& args, const RowSink&) {
    if (args.size() != 3) return ExecResult::Error(sqlcode::kProcedureArgument, "P_INSERT_DENY_LIST expects 3 arguments");
    ExecResult r = e.Execute("insert into T_DENY_ORV (C_USER_ID, C_TELNUM) values ('" + args[0] + "', '" + args[1] +
                                 "')",
                             {});
    if (!r.ok()) return r;
    if (args[2] == "throw") throw std::runtime_error("deny list is full");
    if (args[2] == "fail") return ExecResult::Error(sqlcode::kOther, "");
    return ExecResult{};
  });
  EXPECT_EQ(engine_->Execute("exec P_INSERT_DENY_LIST 'u', '0101'", {}).code, sqlcode::kProcedureArgument);
  ExecResult r = engine_->Execute("exec P_INSERT_DENY_LIST 'u', '0102', 'throw'", {});
  EXPECT_EQ(r.code, sqlcode::kOther);
  EXPECT_EQ(r.message, "deny list is full");
  r = engine_->Execute("exec P_INSERT_DENY_LIST 'u', '0103', 'fail'", {});
  EXPECT_EQ(r.code, sqlcode::kOther);
  EXPECT_NE(r.message, "");
  EXPECT_EQ(One("select count(*) from T_DENY_ORV"), "0");
  // Inside a batch: the failing call is undone, the call before it stays.
  int32_t executed = -1;
  r = engine_->ExecuteBatch(
      "exec P_INSERT_DENY_LIST 'u', '0104', 'ok'~$#^@*exec P_INSERT_DENY_LIST 'u', '0105', 'throw'~$#^@*"
      "exec P_INSERT_DENY_LIST 'u', '0106', 'ok'~$#^@*",
      3, &executed);
  EXPECT_EQ(r.code, sqlcode::kOther);
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(Query("select C_TELNUM from T_DENY_ORV"), (Rows{{"0104"}}));
}

TEST_F(EngineTest, KeptStatementIsReusedButNeverHandedOutWhileItSteps) {
  Run("insert into USER_INFO (USER_ID) values ('a'); insert into USER_INFO (USER_ID) values ('b')");
  const std::string text = "SELECT USER_ID FROM USER_INFO ORDER BY USER_ID";
  int rc = SQLITE_OK;
  sqlite3_stmt* kept = nullptr;
  {
    const PreparedStatement outer = engine_->Prepare(text, &rc);
    ASSERT_TRUE(outer) << rc;
    kept = outer.get();
    ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
    {
      // The same text while the kept one is in the middle of its rows.
      const PreparedStatement inner = engine_->Prepare(text, &rc);
      ASSERT_TRUE(inner);
      EXPECT_NE(inner.get(), kept);
      int rows = 0;
      while (sqlite3_step(inner.get()) == SQLITE_ROW) ++rows;
      EXPECT_EQ(rows, 2);
    }
    // More texts than are kept: the handed-out statement survives the clean-up.
    for (std::size_t i = 0; i <= Engine::kMaxKeptStatements; ++i)
      ASSERT_TRUE(engine_->Prepare("SELECT " + std::to_string(i), &rc));
    ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
    EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(outer.get(), 0)), std::string("b"));
    EXPECT_EQ(sqlite3_step(outer.get()), SQLITE_DONE);
  }
  // Handed back reset: the next use starts from the first row.
  const PreparedStatement again = engine_->Prepare(text, &rc);
  EXPECT_EQ(again.get(), kept);
  ASSERT_EQ(sqlite3_step(again.get()), SQLITE_ROW);
  EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(again.get(), 0)), std::string("a"));
  EXPECT_FALSE(engine_->Prepare("SELEC 1", &rc));
  EXPECT_EQ(rc, SQLITE_ERROR);
}

TEST_F(EngineTest, ArgumentCountsAreChecked) {
  int runs = 0;
  auto body = [&](Engine&, const std::vector<std::string>&, const RowSink&) {
    ++runs;
    return ExecResult{};
  };
  engine_->RegisterProcedure("P_THREE", body, {.min_args = 3, .max_args = 3});
  engine_->RegisterProcedure("P_SOME", body, {.min_args = 1});
  const std::pair<const char*, const char*> bad[] = {
      {"exec P_THREE 'a', 'b'", "procedure P_THREE expects 3 arguments, got 2"},
      {"{call P_THREE('a','b','c','d')}", "expects 3 arguments, got 4"},
      {"exec P_SOME", "procedure P_SOME expects at least 1 arguments, got 0"},
  };
  for (const auto& [sql, text] : bad) {
    const ExecResult r = engine_->Execute(sql, {});
    EXPECT_EQ(r.code, sqlcode::kProcedureArgument) << sql;
    EXPECT_NE(r.message.find(text), std::string::npos) << r.message;
  }
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(engine_->Execute("exec P_THREE 'a', 2, NULL", {}).code, 0);
  EXPECT_EQ(engine_->Execute("exec P_SOME 1, 2, 3, 4", {}).code, 0);
  EXPECT_EQ(runs, 2);
}

TEST_F(EngineTest, RecursiveProcedureIsBounded) {
  engine_->RegisterProcedure("P_LOOP", [](Engine& e, const std::vector<std::string>&, const RowSink& sink) {
    return e.Execute("exec P_LOOP", sink);
  });
  EXPECT_EQ(engine_->Execute("exec P_LOOP", {}).code, sqlcode::kLimit);
}

TEST_F(EngineTest, SinkReturningFalseStopsEarly) {
  for (int i = 0; i < 20; ++i) Run("insert into USER_INFO (USER_ID) values ('u" + std::to_string(i) + "')");
  int delivered = 0;
  const ExecResult r = engine_->Execute(
      "select USER_ID from USER_INFO; insert into USER_INFO (USER_ID) values ('late')",
      [&](const std::vector<std::string>&) { return ++delivered < 3; });
  EXPECT_EQ(r.code, 0) << r.message;
  EXPECT_EQ(r.rows, 3);
  EXPECT_EQ(delivered, 3);
  EXPECT_EQ(One("select count(*) from USER_INFO where USER_ID = 'late'"), "0");
}

TEST_F(EngineTest, DialectSemantics) {
  Run("insert into RST_ORV (ORV_ID, USER_ID, SVC_ID, RECV_PHONE, DIAL_DATE, DIAL_TIME, RES_REPLY, RES_CODE) "
      "values (1, 'u', 7, '0212345678', '20261211', '093000', '12  ', 0)");
  const Rows rows = Query(
      "select '1' + '2', 1 + 2, '1' + 2, 1.5 + 1, NULL + 'a', DIAL_DATE + DIAL_TIME, len(RES_REPLY), "
      "isnull(NULL, 'z'), convert(varchar, RES_CODE) + '.' + 'ok', getdate(), convert(varchar(8), getdate(), 112), "
      "convert(varchar, getdate(), 108), charindex('3', RECV_PHONE), substring(RECV_PHONE, 3, 2), "
      "left(RECV_PHONE, 2), right(N'가나다', 2), charindex('다', N'가나다', 2) "
      "from V_RST_ORV with(nolock) where DIAL_DATE+DIAL_TIME between '20261211090000' and '20261211099999'");
  const Rows expected = {{"12", "3", "3", "2.5", "", "20261211093000", "2", "z", "0.ok", "2026-12-11 09:05:07.042",
                          "20261211", "09:05:07", "5", "12", "02", "나다", "3"}};
  EXPECT_EQ(rows, expected);
  // top in a sub-select limits that sub-select.
  for (int i = 2; i <= 5; ++i)
    Run("insert into REQ_ORV (USER_ID, SVC_ID, TITLE, RECV_PHONE, REG_DATE, REG_TIME) values ('u', 7, 't', '010', "
        "'20261211', '0900" + std::to_string(i) + "0')");
  const ExecResult r = engine_->Execute(
      "update REQ_ORV with(rowlock) set PROGRESS = '9'  where ORV_ID in (select top 3 ORV_ID from REQ_ORV "
      "with(nolock) where SVC_ID = 7 and TITLE = 't' and PROGRESS = '0' ) ",
      {});
  EXPECT_EQ(r.rows, 3);
  EXPECT_EQ(One("select count(*) from REQ_ORV where PROGRESS = '9'"), "3");
  EXPECT_EQ(One("select top 1 REG_TIME from REQ_ORV order by REG_TIME desc"), "090050");
}

TEST_F(EngineTest, RepresentativeCorpusStatementsRun) {
  Run("insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, PROG_STAT) values (1001, 'user01', '안내', 0, '1')");
  Run("insert into CODE_INFO values ('PROG_STAT', '1', '진행')");
  Run("insert into USER_AGENT_INFO ( USER_ID, AGENT_NM, PASSWORD, DIST_COUNT ) values ( 'user01', '김상담', 'pw1234', 30 ) ");
  Run("update USER_AGENT_INFO set PASSWORD = 'pw5678', DIST_COUNT = 40 where SEQ_NO = 1 ");
  EXPECT_EQ(Query("select SEQ_NO, AGENT_NM, PASSWORD, DIST_COUNT from USER_AGENT_INFO where USER_ID = 'user01' "
                  "order by AGENT_NM"),
            (Rows{{"1", "김상담", "pw5678", "40"}}));
  EXPECT_EQ(Query("select a.SVC_ID, a.SVC_NM, a.PROG_STAT, c.CD_NM as PROG_STAT_NM \t\tfrom SERVICE_INFO a "
                  "with(nolock) \t\tleft join CODE_INFO c on a.PROG_STAT = c.CD_ID and CD_GRP = 'PROG_STAT' \t\twhere "
                  "USER_ID = 'user01' and SVC_TYPE in(0,4,5) and a.PROG_STAT <> '9' \t\torder by SVC_ID "),
            (Rows{{"1001", "안내", "1", "진행"}}));
  Run("insert into RST_ORV (ORV_ID, USER_ID, SVC_ID, RECV_PHONE, CALLER_ID, DIAL_DATE, DIAL_TIME, RES_CODE, "
      "RES_REPLY) values (5, 'user01', 1001, '01012345678', '0212345678', '20261211', '093000', 1, '3')");
  Run("insert into CALLBACK_INFO (ORV_ID, USER_ID, SVC_ID, DIAL_DATE) values (5, 'user01', 1001, '20261211')");
  EXPECT_EQ(Query("select top 30 c.ORV_ID, dbo.F_FMT_TEL(RECV_PHONE), dbo.F_FMT_TEL(CALLER_ID), "
                  "dbo.F_FMT_DATE(r.DIAL_DATE), IS_PRINT = case when(IS_PRINT='N') then '미처리' else '처리' end "
                  "from CALLBACK_INFO c with(nolock) join V_RST_ORV r with(nolock) on c.ORV_ID = r.ORV_ID join "
                  "SERVICE_INFO s with(nolock) on c.SVC_ID = s.SVC_ID where c.DIAL_DATE between '20261201' and "
                  "'20261211' and isnull(AGENT_NM,'') = '' and IS_PRINT = 'N' order by c.DIAL_DATE desc"),
            (Rows{{"5", "010-1234-5678", "02-1234-5678", "2026-12-11", "미처리"}}));
  Run("update CALLBACK_INFO set IS_PRINT = 'Y' where ORV_ID = 5 ");
  EXPECT_EQ(Query("SELECT ORV_ID, 통보결과 = case \twhen [RES_CODE] = '0' then '성공'\twhen [RES_CODE] = '1' then "
                  "'통화중' end FROM V_RST_ORV a with(nolock) join SERVICE_INFO b with(nolock) on a.SVC_ID = b.SVC_ID "
                  "where a.USER_ID = 'user01' and RECV_PHONE LIKE '0101234%' order by RECV_PHONE "),
            (Rows{{"5", "통화중"}}));
  Run("update USER_AGENT_INFO set LAST_DIST_DT = getdate() where USER_ID = 'user01' and AGENT_NM = '김상담'");
  EXPECT_EQ(One("select LAST_DIST_DT from USER_AGENT_INFO"), "2026-12-11 09:05:07.042");
  Run("delete from USER_AGENT_INFO where SEQ_NO = 1 ");
  EXPECT_EQ(One("select count(*) from USER_AGENT_INFO"), "0");
}

TEST_F(EngineTest, RegisteredFunctions) {
  ASSERT_TRUE(engine_->RegisterFunction("dbo.F_TWICE", 1, [](const std::vector<std::optional<std::string>>& a) {
    if (!a[0]) return std::optional<std::string>();
    if (*a[0] == "bad") throw std::runtime_error("F_TWICE cannot take 'bad'");
    return std::optional<std::string>(*a[0] + *a[0]);
  }));
  EXPECT_EQ(One("select dbo.F_TWICE('ab'), F_TWICE(NULL)"), "abab");
  const ExecResult r = engine_->Execute("select dbo.F_TWICE('bad')", {});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.message.find("F_TWICE cannot take 'bad'"), std::string::npos) << r.message;
}

TEST(EngineFile, TwoEnginesOnOneFileFromTwoThreads) {
  char dir_template[] = "/tmp/provider_sql_testXXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string path = std::string(dir_template) + "/db.sqlite";
  {
    std::string error;
    auto setup = Engine::Open(path, &error);
    ASSERT_TRUE(setup) << error;
    ASSERT_TRUE(ApplySchema(*setup).ok());
    std::vector<std::string> mode;
    ASSERT_EQ(setup->ExecuteFirst("PRAGMA journal_mode", &mode).code, 0);
    EXPECT_EQ(mode.at(0), "wal");
  }
  constexpr int kRows = 200;
  auto worker = [&](const std::string& user, ExecResult* failure) {
    std::string error;
    auto engine = Engine::Open(path, &error);
    if (!engine) {
      *failure = ExecResult::Error(-1, error);
      return;
    }
    for (int i = 0; i < kRows; ++i) {
      const std::string sql = "insert into T_DENY_ORV (C_USER_ID, C_TELNUM) values ('" + user + "', '" +
                              std::to_string(i) + "')";
      ExecResult r = i % 2 ? engine->Execute(sql, {}) : engine->ExecuteBatch(sql + "~$#^@*", 1, nullptr);
      if (!r.ok()) {
        *failure = r;
        return;
      }
      std::vector<std::string> f;
      r = engine->ExecuteFirst("select count(*) from T_DENY_ORV with(nolock) where C_USER_ID = '" + user + "'", &f);
      if (!r.ok() || f.at(0) != std::to_string(i + 1)) {
        *failure = ExecResult::Error(-2, "lost rows: " + (f.empty() ? std::string("none") : f[0]));
        return;
      }
    }
  };
  ExecResult fa, fb;
  std::thread a(worker, "a", &fa);
  std::thread b(worker, "b", &fb);
  a.join();
  b.join();
  EXPECT_EQ(fa.code, 0) << fa.message;
  EXPECT_EQ(fb.code, 0) << fb.message;
  std::string error;
  auto check = Engine::Open(path, &error);
  ASSERT_TRUE(check) << error;
  std::vector<std::string> f;
  ASSERT_EQ(check->ExecuteFirst("select count(*) from T_DENY_ORV", &f).code, 0);
  EXPECT_EQ(f[0], std::to_string(2 * kRows));
  check.reset();
  std::filesystem::remove_all(dir_template);
}

// A read-only procedure delivering rows does not hold up another connection's
// writes; a writing one holds the write lock until it ends.
TEST(EngineFile, ReadOnlyProcedureDoesNotBlockWriters) {
  char dir_template[] = "/tmp/provider_sql_testXXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string path = std::string(dir_template) + "/db.sqlite";
  EngineOptions fast;
  fast.busy_timeout_ms = 50;
  std::string error;
  auto reader = Engine::Open(path, fast, &error);
  auto writer = Engine::Open(path, fast, &error);
  ASSERT_TRUE(reader && writer) << error;
  ASSERT_TRUE(ApplySchema(*reader).ok());
  ASSERT_EQ(reader->Execute("insert into USER_INFO (USER_ID) values ('a')", {}).code, 0);
  ExecResult during;
  int writes = 0;
  auto body = [&](Engine& e, const std::vector<std::string>&, const RowSink& sink) {
    ExecResult r = e.Execute("select USER_ID from USER_INFO", sink);
    // Another connection writes while this procedure is still running.
    during = writer->Execute("insert into USER_INFO (USER_ID) values ('w" + std::to_string(++writes) + "')", {});
    return r;
  };
  reader->RegisterProcedure("P_READ", body, {.read_only = true});
  reader->RegisterProcedure("P_WRITE", body);
  ASSERT_EQ(reader->Execute("{call P_READ}", {}).code, 0);
  EXPECT_EQ(during.code, 0) << during.message;
  ASSERT_EQ(reader->Execute("{call P_WRITE}", {}).code, 0);
  EXPECT_EQ(during.code, sqlcode::kBusy) << during.message;
  reader.reset();
  writer.reset();
  std::filesystem::remove_all(dir_template);
}

TEST(EngineFile, OpenFailureIsReported) {
  std::string error;
  EXPECT_EQ(Engine::Open("/nonexistent-dir/x/y.sqlite", &error), nullptr);
  EXPECT_NE(error.find("cannot open database"), std::string::npos) << error;

  char dir_template[] = "/tmp/provider_sql_testXXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string garbage = std::string(dir_template) + "/garbage.sqlite";
  {
    std::ofstream out(garbage, std::ios::binary);
    out << std::string(4096, 'x');
  }
  error.clear();
  EXPECT_EQ(Engine::Open(garbage, &error), nullptr);
  EXPECT_NE(error.find("not a database"), std::string::npos) << error;
  std::filesystem::remove_all(dir_template);
}

}  // namespace
}  // namespace provider
