// Importing a 1,000,000-row CSV (10% repeated numbers) into the send list
// with duplicate removal, against `sort -u` of its phone column; the
// counters give the send list's and the number set's bytes per row and the
// process's peak resident size per row.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "client/dispatch/import.h"

namespace {

constexpr int kRows = 1000000;

const std::string& CsvPath() {
  static const std::string path = [] {
    std::string p = "/tmp/dispatch_import_bench_" + std::to_string(getpid()) + ".csv";
    std::ofstream f(p);
    std::mt19937 rng(42);
    for (int i = 0; i < kRows; ++i) {
      const unsigned n = (i % 10 == 9) ? rng() % i : static_cast<unsigned>(i);
      f << "010" << (10000000 + n * 7 % 90000000) << ",고객" << i << ",info" << (i % 97) << "\n";
    }
    return p;
  }();
  return path;
}

long PeakRssBytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss * 1024L;
}

// First, while the peak resident size is still low.
void BM_TelNoSetBytesPerEntry(benchmark::State& state) {
  for (auto _ : state) {
    const long before = PeakRssBytes();
    dispatch::CompactStringSet set;
    for (int i = 0; i < kRows; ++i) set.Insert("010-" + std::to_string(1000 + i % 9000) + "-" + std::to_string(1000 + i / 9000));
    state.counters["rss_bytes_per_entry"] = static_cast<double>(PeakRssBytes() - before) / kRows;
  }
}
BENCHMARK(BM_TelNoSetBytesPerEntry)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ImportCsv(benchmark::State& state) {
  const std::string& path = CsvPath();
  for (auto _ : state) {
    dispatch::SendList list;
    dispatch::CallTargetImporter imp(list);
    const long before = PeakRssBytes();
    dispatch::ImportResult r = imp.ImportTextFile(path);
    state.counters["rows"] = static_cast<double>(r.counts.imported);
    state.counters["list_bytes_per_row"] = static_cast<double>(list.MemoryBytes()) / r.counts.imported;
    state.counters["peak_rss_growth_per_row"] = static_cast<double>(PeakRssBytes() - before) / kRows;
  }
}
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SortUniqPhoneColumn(benchmark::State& state) {
  const std::string cmd = "cut -d, -f1 " + CsvPath() + " | LC_ALL=C sort -u > /dev/null";
  for (auto _ : state)
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("sort failed");
}
BENCHMARK(BM_SortUniqPhoneColumn)->Unit(benchmark::kMillisecond)->Iterations(1);


}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::remove(CsvPath().c_str());
  return 0;
}
