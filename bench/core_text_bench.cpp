// Speed of the per-row text work of an import and a send: number
// formatting, record splitting and batch packing.
#include <benchmark/benchmark.h>

#include <string>

#include "client/app/rdb_record.h"
#include "client/app/sql_batch.h"
#include "client/app/text_util.h"

static void BM_FormatTelNo(benchmark::State& state) {
  for (auto _ : state) {
    std::string s = "010-1234-5678";
    benchmark::DoNotOptimize(FormatTelNo(s));
  }
}
BENCHMARK(BM_FormatTelNo);

static void BM_ParseRecord(benchmark::State& state) {
  std::string rec;
  for (int i = 0; i < 15; ++i) rec += "field value " + std::to_string(i) + ":;";
  CRDBRecord r;
  for (auto _ : state) benchmark::DoNotOptimize(r.Parse(rec));
}
BENCHMARK(BM_ParseRecord);

static void BM_BatchAdd(benchmark::State& state) {
  const std::string stmt =
      "{ call P_INSERT_REQ_ORV ('cust01', 1201, '01012345678', '홍길동', '', '', '', 1, 1) }";
  CSQLBatch b;
  for (auto _ : state) {
    if (!b.Add(stmt)) b.Clear();
  }
}
BENCHMARK(BM_BatchAdd);
