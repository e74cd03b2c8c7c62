// The SQL engine of the reference database service: runs the client's SQL
// Server-dialect statements (translated by translate.h) on a SQLite database,
// with stored procedures and scalar functions implemented in C++.
//
// One Engine serves one client connection on one thread; it is not safe to
// share an Engine between threads. Several Engines (each with its own thread)
// may open the same file: the database runs in WAL mode with a busy timeout.
//
// Result codes (ExecResult::code). Where SQL Server has an error number for
// the same condition, the code is that number, since the client shows it to
// the user next to the message:
//
//   code   meaning
//   -----  ---------------------------------------------------------------
//       0  success; for a first-row query: a row is present
//       1  no row (ExecuteFirst only)
//     102  syntax error: text that cannot be translated or that SQLite
//          cannot parse
//     195  no such function
//     201  procedure argument error (a procedure rejects its arguments)
//     207  no such column
//     208  no such table or view
//     515  NOT NULL constraint violated
//     547  CHECK or FOREIGN KEY constraint violated (other constraints too)
//    1222  the database stayed locked by another connection past the timeout
//    2627  PRIMARY KEY or UNIQUE constraint violated
//    2812  no such stored procedure
//    8115  arithmetic overflow, or a text that is not a number used as one
//   50000  any other database error, and errors a procedure raises
//   50001  a limit on the input was exceeded (text too long, nesting too deep)
//   50002  storage failure (I/O error, disk full, corrupt or read-only file)
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/sql/translate.h"

struct sqlite3;
struct sqlite3_stmt;

namespace provider {

namespace sqlcode {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kNoRow = 1;
inline constexpr int32_t kSyntax = 102;
inline constexpr int32_t kNoSuchFunction = 195;
inline constexpr int32_t kProcedureArgument = 201;
inline constexpr int32_t kNoSuchColumn = 207;
inline constexpr int32_t kNoSuchTable = 208;
inline constexpr int32_t kNotNull = 515;
inline constexpr int32_t kConstraint = 547;
inline constexpr int32_t kBusy = 1222;
inline constexpr int32_t kUnique = 2627;
inline constexpr int32_t kNoSuchProcedure = 2812;
inline constexpr int32_t kConversion = 8115;
inline constexpr int32_t kOther = 50000;
inline constexpr int32_t kLimit = 50001;
inline constexpr int32_t kStorage = 50002;
}  // namespace sqlcode

struct ExecResult {
  int32_t code = 0;     // see the table above
  std::string message;  // UTF-8 error text, empty on success
  int64_t rows = 0;     // rows delivered (queries) or changed (DML)

  bool ok() const { return code == sqlcode::kOk || code == sqlcode::kNoRow; }
  static ExecResult Error(int32_t code, std::string message) {
    ExecResult r;
    r.code = code;
    r.message = std::move(message);
    return r;
  }
};

// Receives each result row: fields as UTF-8 text in select-list order; SQL
// NULL -> "". Integers are written in decimal, floating-point values with up
// to 15 significant digits and without a fraction when they are whole.
// Returns false to stop the delivery: the call then ends early (later
// statements of the same text are not run) and this is not an error.
using RowSink = std::function<bool(const std::vector<std::string>& fields)>;

struct EngineOptions {
  // How long a statement waits for another connection's lock, in ms.
  int busy_timeout_ms = 10000;
  // Bounds on the statement texts.
  TranslateLimits limits;
  // Deepest nesting of procedure calls (a procedure running "exec ...").
  int max_procedure_depth = 16;
  // Longest time one statement may compute, in ms, not counting the time its
  // rows spend in the sink; 0 for no limit. A statement that runs longer is
  // stopped with code 50001 (e.g. an endless recursive query).
  int64_t statement_timeout_ms = 300000;
  // Largest text or blob value a statement may build, in bytes.
  int max_value_bytes = 64 << 20;
  // Pages the connection keeps in memory, in KiB (SQLite's default is 2 MiB).
  // A send of a million requests updates four indexes of REQ_ORV and looks
  // each number up in three tables: with too small a cache every row reads
  // index pages back from the file.
  int page_cache_kib = 64 << 10;
  // Local date and time for getdate(), "YYYY-MM-DD hh:mm:ss.mmm"; the
  // system's local clock when empty.
  std::function<std::string()> local_now;
};

// A native SQLite statement handed out by Engine::Prepare. A kept one goes
// back to the engine reset and without bindings when this ends; one
// prepared for this use alone is finalized. It must not outlive the engine.
class PreparedStatement {
 public:
  PreparedStatement() = default;
  PreparedStatement(PreparedStatement&& other) noexcept : stmt_(other.stmt_), handed_out_(other.handed_out_) {
    other.stmt_ = nullptr;
  }
  PreparedStatement& operator=(PreparedStatement&&) = delete;
  PreparedStatement(const PreparedStatement&) = delete;
  PreparedStatement& operator=(const PreparedStatement&) = delete;
  ~PreparedStatement();

  sqlite3_stmt* get() const { return stmt_; }
  explicit operator bool() const { return stmt_ != nullptr; }

 private:
  friend class Engine;
  // handed_out: the kept statement's mark, cleared when this ends; nullptr
  // for a statement of this use alone.
  PreparedStatement(sqlite3_stmt* stmt, bool* handed_out) : stmt_(stmt), handed_out_(handed_out) {}
  sqlite3_stmt* stmt_ = nullptr;
  bool* handed_out_ = nullptr;
};

class Engine {
 public:
  // Procedure arguments arrive parsed (quoted texts unquoted with '' -> ',
  // numbers as written, NULL as "": current_call() tells them apart). A
  // procedure may run SQL on the engine and emit rows to the sink. It runs
  // inside one transaction: a result whose code is not 0 or 1 (or an
  // exception) undoes everything it did.
  using Procedure =
      std::function<ExecResult(Engine&, const std::vector<std::string>& args, const RowSink& sink)>;
  // A scalar SQL function; arguments and result as text, std::nullopt for
  // NULL. Throwing std::exception makes the statement fail with its message.
  using ScalarFunction =
      std::function<std::optional<std::string>(const std::vector<std::optional<std::string>>& args)>;

  // Opens (creating when missing) the database file; ":memory:" for tests.
  // Returns nullptr with *error set on failure.
  static std::unique_ptr<Engine> Open(const std::string& path, std::string* error);
  static std::unique_ptr<Engine> Open(const std::string& path, const EngineOptions& options, std::string* error);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Runs one statement text (possibly several statements separated by ';' or
  // line breaks); every row of every result set goes to sink (which may be
  // empty to discard rows). Stops at the first failing statement; the ones
  // before it keep their effects.
  ExecResult Execute(std::string_view sql, const RowSink& sink);

  // Like Execute, but keeps only the first row: *fields receives it (code 0),
  // or code 1 when the text produced no row.
  ExecResult ExecuteFirst(std::string_view sql, std::vector<std::string>* fields);

  // Runs the statements of a batch text: each statement followed by the
  // separator "~$#^@*" (at most `count` statements; text after the last
  // separator is ignored). All in one transaction; on the first failing
  // statement, its effects are undone, the ones before it are committed,
  // *executed = how many succeeded, and its error is returned.
  ExecResult ExecuteBatch(std::string_view batch, int32_t count, int32_t* executed);

  struct ProcedureTraits {
    // A procedure that writes runs in a transaction that takes the write lock
    // at its start (so that its reads and writes see one state); a read_only
    // one reads a consistent snapshot without blocking writers while its rows
    // are delivered.
    bool read_only = false;
    // Accepted argument counts (max_args -1: no upper bound); a call outside
    // them fails with code 201 before the procedure runs.
    int min_args = 0;
    int max_args = -1;
  };
  // Procedure names compare case-insensitively (ASCII letters); a "dbo."
  // prefix is dropped. A later registration under the same name replaces it.
  void RegisterProcedure(std::string name, Procedure proc, ProcedureTraits traits);
  void RegisterProcedure(std::string name, Procedure proc) { RegisterProcedure(std::move(name), std::move(proc), {}); }

  // Registers a scalar function callable as name(...) and dbo.name(...).
  // arity -1 accepts any number of arguments. Returns false (with *error)
  // when SQLite refuses the registration.
  bool RegisterFunction(std::string name, int arity, ScalarFunction fn, std::string* error = nullptr);

  // Runs SQLite script text as it stands (no translation), e.g. a schema.
  ExecResult ExecuteNative(std::string_view sqlite_script);

  // While a procedure runs: its call as parsed (is_null tells NULL from an
  // empty text); nullptr otherwise.
  const ProcedureCall* current_call() const { return current_call_; }

  sqlite3* handle() { return db_; }

  // The native SQLite statement of `sqlite_sql` (one statement), prepared
  // once per connection and kept for the texts run again and again, like a
  // procedure's queries (at most kMaxKeptStatements of them; when more come,
  // the ones not handed out are dropped). The same text asked for while its
  // kept statement is handed out (from a row callback) gets a statement of
  // its own. Empty, with *rc set, when SQLite refuses the text.
  static constexpr std::size_t kMaxKeptStatements = 64;
  PreparedStatement Prepare(std::string_view sqlite_sql, int* rc);
  const EngineOptions& options() const { return options_; }

  // The local date and time used for getdate().
  std::string LocalNow() const;

 private:
  struct Impl;
  Engine(sqlite3* db, const EngineOptions& options);

  ExecResult RunStatement(const Statement& st, const RowSink& sink, bool* stopped);
  ExecResult RunSql(const Statement& st, const RowSink& sink, bool* stopped);
  ExecResult RunPrepared(const Statement& st);
  ExecResult RunCall(const Statement& st, const RowSink& sink, bool* stopped);
  ExecResult RunText(std::string_view sql, const RowSink& sink, bool* stopped);
  ExecResult RunTranslated(const Translation& t, const RowSink& sink, bool* stopped);
  // Transaction scopes: BEGIN IMMEDIATE (or BEGIN for readers) at the
  // outermost level, savepoints inside.
  ExecResult Begin(bool writer = true);
  ExecResult Commit();
  void Rollback();
  // Runs one of the fixed scope statements (BEGIN, SAVEPOINT, ...), each
  // prepared once; the SQLite code.
  int RunScopeStatement(const char* sql);

  sqlite3* db_ = nullptr;
  EngineOptions options_;
  std::unique_ptr<Impl> impl_;
  int call_depth_ = 0;
  int64_t deadline_ms_ = 0;  // of the running statement, steady clock; 0 none
  const ProcedureCall* current_call_ = nullptr;
};

// The SQLite error as an ExecResult: code from the table above, message with
// SQLite's text and the beginning of the statement.
ExecResult SqliteError(sqlite3* db, int rc, std::string_view statement);

}  // namespace provider
