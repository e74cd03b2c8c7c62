// Speed of the SQL engine: translating the client's statements, and running
// the statement batches the client sends when it registers call requests.
#include <benchmark/benchmark.h>

#include <string>

#include "provider/sql/engine.h"
#include "provider/sql/schema.h"
#include "provider/sql/translate.h"

namespace {

const char* const kListQuery =
    "SELECT ORV_ID, \ta.SVC_ID, SVC_NM, \tdbo.F_FMT_TEL(RECV_PHONE), CUST_INFO, \t통보결과 = case \twhen [RES_CODE] = "
    "'0' then '성공'\twhen [RES_CODE] = '1' then '통화중' end,\tCOMM_TIME, RES_REPLY FROM V_RST_ORV a with(nolock) "
    "join SERVICE_INFO b with(nolock) on a.SVC_ID = b.SVC_ID where ((DIAL_DATE between '20261201' and '20261211' )"
    "\t\tand (DIAL_DATE+DIAL_TIME between '202612010000' and '20261211239999'))  and a.USER_ID = 'user01'  order by "
    "orv_id ";

void BM_TranslateListQuery(benchmark::State& state) {
  for (auto _ : state) {
    provider::Translation t = provider::Translate(kListQuery);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_TranslateListQuery);

// One batch of 500 inserts, as the deny-list registration sends them.
void BM_ExecuteBatchOfInserts(benchmark::State& state) {
  std::string error;
  auto engine = provider::Engine::Open(":memory:", &error);
  provider::ApplySchema(*engine);
  int64_t n = 0;
  for (auto _ : state) {
    std::string batch;
    for (int i = 0; i < 500; ++i, ++n)
      batch += "insert into T_DENY_ORV (C_USER_ID, C_TELNUM, C_COMMENT) values ('u', '" + std::to_string(n) +
               "', '메모')~$#^@*";
    int32_t executed = 0;
    engine->ExecuteBatch(batch, 500, &executed);
    benchmark::DoNotOptimize(executed);
  }
  state.SetItemsProcessed(n);
}
BENCHMARK(BM_ExecuteBatchOfInserts);

// Delivery of query rows to the sink.
void BM_QueryRows(benchmark::State& state) {
  std::string error;
  auto engine = provider::Engine::Open(":memory:", &error);
  provider::ApplySchema(*engine);
  engine->ExecuteNative(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
      "INSERT INTO T_DENY_ORV (C_USER_ID, C_TELNUM) SELECT 'u', printf('010%08d', i) FROM n");
  int64_t rows = 0;
  for (auto _ : state) {
    provider::ExecResult r = engine->Execute(
        "select C_TELNUM, dbo.F_FMT_TEL(C_TELNUM), C_REGIST_DATE + C_COMMENT from T_DENY_ORV with(nolock)",
        [](const std::vector<std::string>&) { return true; });
    rows += r.rows;
  }
  state.SetItemsProcessed(rows);
}
BENCHMARK(BM_QueryRows);

}  // namespace
