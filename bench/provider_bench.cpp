// The pending-requests and results list statements and the count statements
// on a database of 1,000,000 requests and 1,000,000 results: through the
// service (libQuerion in-process, over loopback) against the translated
// text run directly on an SQLite connection of the same file.
//
// The database is built once in $TMPDIR/provider_bench.db (kept between runs).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "dbclient/querion.h"
#include "provider/dbservice.h"
#include "provider/procedures.h"
#include "provider/sql/engine.h"
#include "provider/sql/functions.h"
#include "provider/sql/schema.h"
#include "provider/sql/translate.h"
#include "platform/codepage.h"

namespace {

constexpr int kRows = 1000000;

// 10 services of user01 (1001..1010), 100 registration/dial days from
// 20260901, 10000 rows a day.
const char* const kBuild = R"(
BEGIN;
INSERT OR IGNORE INTO USER_INFO (USER_ID, PASSWORD) VALUES ('user01', 'pw');
WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s WHERE i < 9)
INSERT OR IGNORE INTO SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, PROG_STAT) SELECT 1001 + i, 'user01', 'svc' || i, '1' FROM s;
WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s WHERE i < 999999)
INSERT INTO REQ_ORV (USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, CALLER_ID, PROGRESS, REG_DATE, REG_TIME)
SELECT 'user01', 1001 + i % 10, 'title' || (i / 10000 % 7), printf('010%08d', i), 'cust' || i, '0212345678',
       CASE WHEN i % 13 = 0 THEN '9' ELSE '0' END,
       strftime('%Y%m%d', '2026-09-01', '+' || (i / 10000) || ' days'), printf('%06d', 90000 + i % 1000) FROM s;
WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s WHERE i < 999999)
INSERT INTO RST_ORV_HIST (ORV_ID, USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, CALLER_ID, RES_CODE, COMM_TIME,
       RES_REPLY, DIAL_DATE, DIAL_TIME, TRY_COUNT, USE_PAY, REG_DATE, REG_TIME)
SELECT 2000000 + i, 'user01', 1001 + i % 10, 'title' || (i / 10000 % 7), printf('010%08d', i), 'cust' || i,
       '0212345678', CASE WHEN i % 5 = 0 THEN 3 ELSE 0 END, 30, CASE WHEN i % 7 = 0 THEN '1' ELSE '12' END,
       strftime('%Y%m%d', '2026-09-01', '+' || (i / 10000) || ' days'), printf('%06d', 100000 + i % 1000), 1, 50,
       strftime('%Y%m%d', '2026-09-01', '+' || (i / 10000) || ' days'), '090000' FROM s;
COMMIT;
)";

// Dates 20261201..20261211 are days 91..100 of the range: about 100000 rows
// of which one service holds 10000.
const char* const kPendingList =
    "select ORV_ID, a.SVC_ID, SVC_NM, TITLE,  RECV_PHONE, CUST_INFO, CUST_INFO2, CUST_INFO3, CUST_INFO4,  a.CALLER_ID,  "
    "[진행상태] = case \twhen [PROGRESS] = '0' then '미처리' \twhen [PROGRESS] = '1' then '진행중' end,  [TRY_COUNT] as "
    "[현재재시도],  REG_DATE, REG_TIME   FROM REQ_ORV a with(nolock) join SERVICE_INFO b with(nolock) on a.SVC_ID = "
    "b.SVC_ID  where REG_DATE between '20261201' and '20261211' and a.USER_ID = 'user01'  and a.SVC_ID = 1001     order "
    "by ORV_ID ";
const char* const kPendingCount =
    "select count(*) as CNT from REQ_ORV with(nolock) where REG_DATE between '20261201' and '20261211'  and SVC_ID = "
    "1001  ";
const char* const kResultList =
    "SELECT ORV_ID, \ta.SVC_ID, SVC_NM, \tdbo.F_FMT_TEL(RECV_PHONE), CUST_INFO, \t통보결과 = case \twhen [RES_CODE] = "
    "'0' then '성공'\twhen [RES_CODE] = '1' then '통화중'\twhen [RES_CODE] = '2' then '자동응답기'\twhen [RES_CODE] = '3' "
    "then '무응답'\twhen [RES_CODE] = '4' then '결번'\twhen [RES_CODE] = '11' then '기타' end,\tCOMM_TIME, RES_REPLY, "
    "\tdbo.F_FMT_TEL(CALLER_ID), dbo.F_FMT_DATE(DIAL_DATE), dbo.F_FMT_TIME(DIAL_TIME), \tTRY_COUNT, USE_PAY, CUST_INFO2, "
    "CUST_INFO3, CUST_INFO4, TITLE, dbo.F_FMT_DATE(REG_DATE), dbo.F_FMT_TIME(REG_TIME)  FROM V_RST_ORV a with(nolock) "
    "join SERVICE_INFO b with(nolock) on a.SVC_ID = b.SVC_ID where ((DIAL_DATE between '20261201' and '20261211' )\t\tand "
    "(DIAL_DATE+DIAL_TIME between '202612010900' and '20261211189999'))  and a.USER_ID = 'user01'  and a.SVC_ID = 1001 "
    "order by orv_id  ";
const char* const kResultCount =
    "select count(*) FROM V_RST_ORV a with(nolock) join SERVICE_INFO b with(nolock) on a.SVC_ID = b.SVC_ID where "
    "((DIAL_DATE between '20261201' and '20261211' )\t\tand (DIAL_DATE+DIAL_TIME between '202612010900' and "
    "'20261211189999'))  and a.USER_ID = 'user01'  and a.SVC_ID = 1001 ";

struct World {
  std::string path;
  std::unique_ptr<provider::Engine> direct;
  rpc::Server server;
  std::unique_ptr<provider::DbService> service;
  RDB_HANDLE h = 0;
};

World& GetWorld() {
  static World* w = [] {
    auto* world = new World;
    const char* tmp = std::getenv("TMPDIR");
    world->path = std::string(tmp ? tmp : "/tmp") + "/provider_bench.db";
    struct stat st{};
    const bool exists = stat(world->path.c_str(), &st) == 0;
    std::string err;
    world->direct = provider::Engine::Open(world->path, &err);
    if (!world->direct) {
      std::fprintf(stderr, "%s\n", err.c_str());
      std::exit(1);
    }
    provider::ApplySchema(*world->direct);
    if (!exists) {
      std::fprintf(stderr, "building %s (%d requests, %d results)...\n", world->path.c_str(), kRows, kRows);
      provider::ExecResult r = world->direct->ExecuteNative(kBuild);
      if (!r.ok()) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        std::exit(1);
      }
      world->direct->ExecuteNative("ANALYZE");
    }
    provider::DbServiceOptions o;
    o.db_path = world->path;
    o.configure = [](provider::Engine& e) {
      provider::RegisterServiceFunctions(e, nullptr);
      provider::RegisterProcedures(e);
    };
    world->service = std::make_unique<provider::DbService>(o);
    world->service->RegisterOn(world->server);
    world->server.Listen("127.0.0.1", "0", &err);
    world->h = RDBServerOpen("127.0.0.1", std::to_string(world->server.port()).c_str());
    return world;
  }();
  return *w;
}

int64_t g_rows = 0;

// Through libQuerion: every row crosses the RPC callback.
void ThroughService(benchmark::State& state, const char* sql) {
  World& w = GetWorld();
  const std::string cp = platform::Utf8ToCp949(sql);
  for (auto _ : state) {
    g_rows = 0;
    RDBSetEventCallBackFN([](RDB_HANDLE, int32_t, int32_t, const char*) {
      ++g_rows;
      return 1;
    });
    RDB_ERROR err{};
    int32_t n = 0;
    if (RDBBulkQueryRecord(w.h, "NEW_ORV", 0, cp.c_str(), &n, &err) < 1) state.SkipWithError(err.szMessage);
  }
  state.counters["rows"] = static_cast<double>(g_rows);
}

// The translated text on an SQLite connection of the same file.
void Direct(benchmark::State& state, const char* sql) {
  World& w = GetWorld();
  const provider::Translation t = provider::Translate(sql);
  const std::string native = t.statements.at(0).sql;
  sqlite3* db = w.direct->handle();
  for (auto _ : state) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, native.c_str(), -1, &stmt, nullptr);
    int64_t rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) benchmark::DoNotOptimize(sqlite3_column_text(stmt, i));
      ++rows;
    }
    sqlite3_finalize(stmt);
    g_rows = rows;
  }
  state.counters["rows"] = static_cast<double>(g_rows);
}

BENCHMARK_CAPTURE(ThroughService, pending_list, kPendingList)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Direct, pending_list, kPendingList)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThroughService, pending_count, kPendingCount)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Direct, pending_count, kPendingCount)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThroughService, result_list, kResultList)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Direct, result_list, kResultList)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThroughService, result_count, kResultCount)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Direct, result_count, kResultCount)->Unit(benchmark::kMillisecond);

}  // namespace
