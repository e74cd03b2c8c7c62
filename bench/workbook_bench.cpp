// Reading a generated .xlsx of WORKBOOK_BENCH_ROWS rows (default 1,000,000)
// by 5 columns: the row cursor alone, the connection running count(*) and
// "select *", and, when LibreOffice is installed, its conversion of the same
// file to CSV. Each measurement runs in a child process so that its peak
// resident memory (counter peak_MB) is its own.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "workbook/ado.h"
#include "workbook/test_zip.h"
#include "workbook/xlsx_reader.h"

namespace {

long Rows() {
  const char* r = std::getenv("WORKBOOK_BENCH_ROWS");
  return r ? std::atol(r) : 1000000;
}

std::string Dir() {
  const char* d = std::getenv("WORKBOOK_BENCH_DIR");
  return d ? d : "/tmp";
}

// Runs fn in a child; returns its peak RSS in MB, or -1 when it failed.
double InChild(const std::function<int()>& fn) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) _exit(fn());
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

// Columns: a phone number as a number, a name from 1000 shared strings, a
// memo that is a distinct shared string per row, a decimal, a date.
const std::string& BenchFile() {
  static const std::string path = [] {
    std::string p = Dir() + "/workbook_bench_" + std::to_string(Rows()) + ".xlsx";
    if (access(p.c_str(), R_OK) == 0) return p;
    double mb = InChild([&] {
      long rows = Rows();
      std::string si, data;
      for (int i = 0; i < 1000; ++i) si += "<si><t>고객 " + std::to_string(i) + "</t></si>";
      data.reserve(static_cast<std::size_t>(rows) * 160);
      for (long r = 0; r < rows; ++r) {
        std::string n = std::to_string(r + 1);
        si += "<si><t>memo " + n + "</t></si>";
        data += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + std::to_string(1012345678L + r) + "</v></c><c r=\"B" + n +
                "\" t=\"s\"><v>" + std::to_string(r % 1000) + "</v></c><c r=\"C" + n + "\" t=\"s\"><v>" +
                std::to_string(1000 + r) + "</v></c><c r=\"D" + n + "\"><v>" + std::to_string(r % 977) +
                ".25</v></c><c r=\"E" + n + "\" s=\"1\"><v>" + std::to_string(40000 + r % 5000) + "</v></c></row>";
      }
      workbook::testing::WriteZip(
          p, workbook::testing::MinimalXlsx({{"Sheet1", data}}, si, "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>"));
      return 0;
    });
    if (mb < 0) std::abort();
    return p;
  }();
  return path;
}

void Report(benchmark::State& state, double mb) {
  if (mb < 0) state.SkipWithError("the child failed");
  state.counters["peak_MB"] = mb;
  state.counters["rows"] = static_cast<double>(Rows());
}

void BM_XlsxRowCursor(benchmark::State& state) {
  const std::string& file = BenchFile();
  for (auto _ : state) {
    double mb = InChild([&] {
      auto wb = workbook::OpenXlsxFile(file);
      auto cursor = wb->OpenSheet(0);
      workbook::Row row;
      std::size_t cells = 0;
      while (cursor->Next(row)) cells += row.cells.size();
      return cells == static_cast<std::size_t>(Rows()) * 5 ? 0 : 1;
    });
    Report(state, mb);
  }
}

void BM_ConnectionCountAndSelectAll(benchmark::State& state) {
  const std::string& file = BenchFile();
  for (auto _ : state) {
    double mb = InChild([&] {
      WorkbookConnectionOptions o;
      o.dump_to_stdout = false;
      CMyADOConn conn(o);
      if (!conn.Open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + file +
                     ";Extended Properties=\"Excel 12.0;HDR=No;IMEX=1\""))
        return 1;
      CMyADORS rs(&conn);
      if (!rs.Open("select count(*) from [Sheet1$] ") || rs.GetFieldValue(0) != std::to_string(Rows())) return 2;
      rs.Close();
      if (!rs.Open("select * from [Sheet1$] ")) return 3;
      long n = 0;
      std::size_t bytes = 0;
      for (; !rs.IsEOF(); rs.MoveNext(), ++n)
        for (int f = 0; f < 5; ++f) bytes += rs.GetFieldValue(f).size();
      return n == Rows() && bytes > 0 ? 0 : 4;
    });
    Report(state, mb);
  }
}

void BM_LibreOfficeToCsv(benchmark::State& state) {
  if (access("/usr/bin/soffice", X_OK) != 0) {
    state.SkipWithError("LibreOffice is not installed");
    return;
  }
  const std::string& file = BenchFile();
  std::string out = Dir() + "/workbook_bench_csv";
  for (auto _ : state) {
    double mb = InChild([&] {
      std::string profile = "-env:UserInstallation=file://" + Dir() + "/workbook_bench_lo";
      execl("/usr/bin/soffice", "soffice", profile.c_str(), "--headless", "--convert-to", "csv", "--outdir",
            out.c_str(), file.c_str(), static_cast<char*>(nullptr));
      return 127;
    });
    Report(state, mb);
  }
}

}  // namespace

BENCHMARK(BM_XlsxRowCursor)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConnectionCountAndSelectAll)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibreOfficeToCsv)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
