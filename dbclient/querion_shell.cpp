// querion: a statement shell over libQuerion.
//
//   querion [-s ADDRESS] [-p PORT] [-d DATABASE] [-m MODE] [-v] [STATEMENT...]
//
// Statements come from the arguments, or else from standard input, one per
// line (a line ending in a backslash continues on the next). Text is UTF-8
// here and code page 949 on the wire. MODE picks the call:
//   auto   (default) queries for select/exec/call statements, execute otherwise
//   query  RDBBulkQueryRecord, rows to the record handler
//   first  RDBQueryFirstRecord
//   exec   RDBExecuteSQL
//   batch  all statements in RDBBulkExecuteSQL batches of up to 50000 characters
// Rows go to standard output, fields separated by a tab; the outcome of each
// statement (nCode, rows, errors) to standard error. The exit status is 1
// when any statement failed, 2 for bad usage.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "dbclient/querion.h"
#include "platform/codepage.h"

namespace {

constexpr std::size_t kBatchLimit = 50000;
constexpr char kSep[] = "~$#^@*";

long g_rows = 0;

int PrintRecord(RDB_HANDLE, int32_t, int32_t, const char* record) {
  std::string utf8 = platform::Cp949ToUtf8(record);
  std::string line;
  line.reserve(utf8.size());
  std::size_t pos = 0;
  bool first = true;
  for (;;) {
    std::size_t end = utf8.find(":;", pos);
    if (end == std::string::npos) break;
    if (!first) line += '\t';
    line.append(utf8, pos, end - pos);
    first = false;
    pos = end + 2;
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  ++g_rows;
  return 1;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsQuery(const std::string& sql) {
  std::size_t i = sql.find_first_not_of(" \t\r\n(");
  if (i == std::string::npos) return false;
  std::string head = Lower(sql.substr(i, 8));
  return head.rfind("select", 0) == 0 || head.rfind("exec", 0) == 0 || head.rfind("{", 0) == 0 ||
         head.rfind("with", 0) == 0;
}

void Report(const char* what, int result, const RDB_ERROR& err, long rows) {
  std::fprintf(stderr, "-- %s: result %d, nCode %d", what, result, err.nCode);
  if (rows >= 0) std::fprintf(stderr, ", %ld rows", rows);
  if (err.szMessage[0]) std::fprintf(stderr, ", %s", platform::Cp949ToUtf8(err.szMessage).c_str());
  std::fprintf(stderr, "\n");
}

void Usage() {
  std::fprintf(stderr,
               "usage: querion [-s ADDRESS] [-p PORT] [-d DATABASE] [-m auto|query|first|exec|batch] [-v] "
               "[STATEMENT...]\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1", port = "8907", database = "NEW_ORV", mode = "auto";
  bool verbose = false;
  int opt;
  while ((opt = getopt(argc, argv, "s:p:d:m:vh")) != -1) {
    switch (opt) {
      case 's': address = optarg; break;
      case 'p': port = optarg; break;
      case 'd': database = optarg; break;
      case 'm': mode = optarg; break;
      case 'v': verbose = true; break;
      default: Usage(); return 2;
    }
  }
  if (mode != "auto" && mode != "query" && mode != "first" && mode != "exec" && mode != "batch") {
    Usage();
    return 2;
  }
  std::vector<std::string> statements;
  for (int i = optind; i < argc; ++i) statements.push_back(argv[i]);
  if (statements.empty()) {
    std::string line, pending;
    while (std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line.back() == '\\') {
        pending += line.substr(0, line.size() - 1) + "\n";
        continue;
      }
      pending += line;
      if (pending.find_first_not_of(" \t") != std::string::npos) statements.push_back(pending);
      pending.clear();
    }
    if (!pending.empty()) statements.push_back(pending);
  }

  // The library traces the binding to standard output; keep it off the rows
  // (shown on standard error with -v).
  std::fflush(stdout);
  int saved = dup(1);
  int quiet = open(verbose ? "/dev/stderr" : "/dev/null", O_WRONLY);
  if (quiet >= 0) {
    dup2(quiet, 1);
    close(quiet);
  }
  RDB_HANDLE h = RDBServerOpen(address.c_str(), port.c_str());
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  if (h == 0) {
    std::fprintf(stderr, "querion: cannot bind to %s[%s]\n", address.c_str(), port.c_str());
    return 1;
  }
  RDBSetEventCallBackFN(&PrintRecord);
  std::string db = platform::Utf8ToCp949(database);
  int failures = 0;

  if (mode == "batch") {
    std::string batch;
    int32_t count = 0;
    long total = 0;
    auto flush = [&]() {
      if (count == 0) return;
      RDB_ERROR err{};
      int32_t executed = 0;
      int r = RDBBulkExecuteSQL(h, db.c_str(), count, batch.c_str(), &executed, &err);
      total += executed;
      if (r < 1) {
        Report("batch", r, err, executed);
        ++failures;
      }
      batch.clear();
      count = 0;
    };
    for (const std::string& s : statements) {
      std::string cp = platform::Utf8ToCp949(s);
      if (cp.size() + 6 > kBatchLimit) {
        std::fprintf(stderr, "querion: statement longer than a batch: %.40s...\n", s.c_str());
        ++failures;
        continue;
      }
      if (batch.size() + cp.size() + 6 > kBatchLimit) flush();
      batch += cp;
      batch += kSep;
      ++count;
    }
    flush();
    std::fprintf(stderr, "-- batch: %ld statements executed\n", total);
  } else {
    for (const std::string& s : statements) {
      std::string cp = platform::Utf8ToCp949(s);
      RDB_ERROR err{};
      std::string m = mode == "auto" ? (IsQuery(s) ? "query" : "exec") : mode;
      int r;
      if (m == "query") {
        g_rows = 0;
        int32_t rows = 0;
        r = RDBBulkQueryRecord(h, db.c_str(), 0, cp.c_str(), &rows, &err);
        Report("query", r, err, g_rows);
      } else if (m == "first") {
        char record[4096];
        r = RDBQueryFirstRecord(h, db.c_str(), cp.c_str(), record, &err);
        if (r >= 1 && err.nCode == 0) PrintRecord(h, 0, 0, record);
        Report("first", r, err, -1);
      } else {
        r = RDBExecuteSQL(h, db.c_str(), cp.c_str(), &err);
        Report("exec", r, err, -1);
      }
      if (r < 1) ++failures;
    }
  }
  std::fflush(stdout);
  return failures ? 1 : 0;
}
