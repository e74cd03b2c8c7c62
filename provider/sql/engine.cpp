#include "provider/sql/engine.h"

#include <sqlite3.h>
#include <time.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <list>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <unordered_map>
#include <utility>

#include "provider/sql/functions.h"

namespace provider {
namespace {

constexpr std::string_view kBatchSeparator = "~$#^@*";

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Drops "dbo." (any case) in front of a procedure or function name.
std::string WithoutSchema(std::string name) {
  if (name.size() > 4 && LowerAscii(name.substr(0, 4)) == "dbo.") name.erase(0, 4);
  return name;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string FormatReal(double d) {
  char buf[64];
  if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", d == 0 ? 0.0 : d);
  } else {
    std::snprintf(buf, sizeof buf, "%.15g", d);
  }
  return buf;
}

std::string ColumnText(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_column_int64(stmt, i));
    case SQLITE_FLOAT:
      return FormatReal(sqlite3_column_double(stmt, i));
    default: {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, i));
      const int n = sqlite3_column_bytes(stmt, i);
      return p ? std::string(p, static_cast<std::size_t>(n)) : std::string();
    }
  }
}

std::string ValueText(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return FormatReal(sqlite3_value_double(v));
    default: {
      const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
      const int n = sqlite3_value_bytes(v);
      return p ? std::string(p, static_cast<std::size_t>(n)) : std::string();
    }
  }
}

struct StmtDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

// ---- functions the translated SQL relies on ----

// a + b with SQL Server's rule: two texts are joined; otherwise both operands
// are numbers (a text operand is converted, and must be a number).
void TmAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* a = argv[0];
  sqlite3_value* b = argv[1];
  const int ta = sqlite3_value_type(a);
  const int tb = sqlite3_value_type(b);
  if (ta == SQLITE_NULL || tb == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const bool text_a = ta == SQLITE_TEXT || ta == SQLITE_BLOB;
  const bool text_b = tb == SQLITE_TEXT || tb == SQLITE_BLOB;
  if (text_a && text_b) {
    std::string s = ValueText(a);
    s += ValueText(b);
    sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return;
  }
  struct Num {
    bool is_int = true;
    sqlite3_int64 i = 0;
    double d = 0;
  };
  auto number = [&](sqlite3_value* v, Num* out) -> bool {
    int t = sqlite3_value_type(v);
    if (t == SQLITE_TEXT || t == SQLITE_BLOB) {
      const std::string s = ValueText(v);
      if (s.find_first_not_of(" \t") == std::string::npos) {  // '' counts as 0
        out->i = 0;
        return true;
      }
      t = sqlite3_value_numeric_type(v);
      if (t != SQLITE_INTEGER && t != SQLITE_FLOAT) {
        const std::string msg = "conversion failed when converting the text '" + TextBeginning(s, 40) + "' to a number";
        sqlite3_result_error(ctx, msg.c_str(), -1);
        return false;
      }
    }
    if (t == SQLITE_INTEGER) {
      out->i = sqlite3_value_int64(v);
    } else {
      out->is_int = false;
      out->d = sqlite3_value_double(v);
    }
    return true;
  };
  Num x, y;
  if (!number(a, &x) || !number(b, &y)) return;
  if (x.is_int && y.is_int) {
    sqlite3_int64 r;
    if (__builtin_add_overflow(x.i, y.i, &r)) {
      sqlite3_result_error(ctx, "arithmetic overflow in '+'", -1);
      return;
    }
    sqlite3_result_int64(ctx, r);
    return;
  }
  const double dx = x.is_int ? static_cast<double>(x.i) : x.d;
  const double dy = y.is_int ? static_cast<double>(y.i) : y.d;
  sqlite3_result_double(ctx, dx + dy);
}

void TmGetdate(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto* engine = static_cast<const Engine*>(sqlite3_user_data(ctx));
  const std::string now = engine->LocalNow();
  sqlite3_result_text64(ctx, now.data(), now.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// convert(varchar, value, style): a date or date-time text in the style.
void TmConvert(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string text = ValueText(argv[0]);
  const int style = sqlite3_value_int(argv[1]);
  const std::optional<DateTime> dt = ParseDateTime(text);
  if (!dt) {  // not a date: the style does not apply
    sqlite3_result_text64(ctx, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return;
  }
  const std::optional<std::string> out = FormatDateStyle(*dt, style);
  if (!out) {
    const std::string msg = "convert style " + std::to_string(style) + " is not supported";
    sqlite3_result_error(ctx, msg.c_str(), -1);
    return;
  }
  sqlite3_result_text64(ctx, out->data(), out->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// convert(datetime, value) / convert(date, value).
void TmDatetime(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string text = ValueText(argv[0]);
  const std::optional<DateTime> dt = ParseDateTime(text);
  if (!dt) {
    const std::string msg = "conversion failed when converting '" + TextBeginning(text, 40) + "' to a date";
    sqlite3_result_error(ctx, msg.c_str(), -1);
    return;
  }
  const std::string out = *FormatDateStyle(*dt, sqlite3_value_int(argv[1]) ? 23 : 121);
  sqlite3_result_text64(ctx, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// charindex(needle, haystack, start): 1-based character position, 0 when absent.
void TmCharindex(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
  const std::string needle = ValueText(argv[0]);
  const std::string hay = ValueText(argv[1]);
  sqlite3_int64 start = sqlite3_value_int64(argv[2]);
  if (start < 1) start = 1;
  // Byte offset of character `start`.
  std::size_t pos = 0;
  sqlite3_int64 ch = 1;
  while (ch < start && pos < hay.size()) {
    ++pos;
    while (pos < hay.size() && (static_cast<unsigned char>(hay[pos]) & 0xC0) == 0x80) ++pos;
    ++ch;
  }
  const std::size_t found = needle.empty() ? std::string::npos : hay.find(needle, pos);
  if (found == std::string::npos) {
    sqlite3_result_int64(ctx, 0);
    return;
  }
  sqlite3_int64 index = 1;
  for (std::size_t k = 0; k < found; ++k)
    if ((static_cast<unsigned char>(hay[k]) & 0xC0) != 0x80) ++index;
  sqlite3_result_int64(ctx, index);
}

// right(text, n): the last n characters.
void TmRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string text = ValueText(argv[0]);
  const sqlite3_int64 n = sqlite3_value_int64(argv[1]);
  if (n < 0) {
    sqlite3_result_error(ctx, "invalid length passed to right", -1);
    return;
  }
  std::size_t pos = text.size();
  for (sqlite3_int64 k = 0; k < n && pos > 0; ++k) {
    --pos;
    while (pos > 0 && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) --pos;
  }
  sqlite3_result_text64(ctx, text.data() + pos, text.size() - pos, SQLITE_TRANSIENT, SQLITE_UTF8);
}

std::optional<DateTime> DateArg(sqlite3_context* ctx, sqlite3_value* v) {
  const std::string text = ValueText(v);
  std::optional<DateTime> dt = ParseDateTime(text);
  if (!dt) {
    const std::string msg = "conversion failed when converting '" + TextBeginning(text, 40) + "' to a date";
    sqlite3_result_error(ctx, msg.c_str(), -1);
  }
  return dt;
}

void TmDateadd(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::optional<DateTime> dt = DateArg(ctx, argv[2]);
  if (!dt) return;
  const std::string part = ValueText(argv[0]);
  const std::optional<DateTime> r = DateAdd(part, sqlite3_value_int64(argv[1]), *dt);
  if (!r) {
    const std::string msg = "arithmetic overflow in dateadd(" + part + ", ...), or an unknown date part";
    sqlite3_result_error(ctx, msg.c_str(), -1);
    return;
  }
  const std::string out = *FormatDateStyle(*r, 121);
  sqlite3_result_text64(ctx, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void TmDatediff(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::optional<DateTime> a = DateArg(ctx, argv[1]);
  if (!a) return;
  const std::optional<DateTime> b = DateArg(ctx, argv[2]);
  if (!b) return;
  const std::string part = ValueText(argv[0]);
  const std::optional<long long> r = DateDiff(part, *a, *b);
  if (!r) {
    const std::string msg = "datediff: unknown date part '" + TextBeginning(part, 20) + "'";
    sqlite3_result_error(ctx, msg.c_str(), -1);
    return;
  }
  sqlite3_result_int64(ctx, *r);
}

void CallScalar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto* fn = static_cast<const Engine::ScalarFunction*>(sqlite3_user_data(ctx));
  std::vector<std::optional<std::string>> args;
  args.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
      args.emplace_back();
    } else {
      args.emplace_back(ValueText(argv[i]));
    }
  }
  try {
    const std::optional<std::string> r = (*fn)(args);
    if (r) {
      sqlite3_result_text64(ctx, r->data(), r->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else {
      sqlite3_result_null(ctx);
    }
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  } catch (...) {
    sqlite3_result_error(ctx, "function failed", -1);
  }
}

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string SystemLocalNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t{};
  localtime_r(&ts.tv_sec, &t);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
  return buf;
}

}  // namespace

ExecResult SqliteError(sqlite3* db, int rc, std::string_view statement) {
  const int primary = rc & 0xff;
  const int ext = db ? sqlite3_extended_errcode(db) : rc;
  const std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  int32_t code = sqlcode::kOther;
  switch (primary) {
    case SQLITE_CONSTRAINT:
      if (ext == SQLITE_CONSTRAINT_PRIMARYKEY || ext == SQLITE_CONSTRAINT_UNIQUE) {
        code = sqlcode::kUnique;
      } else if (ext == SQLITE_CONSTRAINT_NOTNULL) {
        code = sqlcode::kNotNull;
      } else {
        code = sqlcode::kConstraint;
      }
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      code = sqlcode::kBusy;
      break;
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CORRUPT:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_PERM:
    case SQLITE_NOMEM:
      code = sqlcode::kStorage;
      break;
    case SQLITE_TOOBIG:
      code = sqlcode::kLimit;
      break;
    default:
      if (StartsWith(msg, "no such table") || StartsWith(msg, "no such view")) {
        code = sqlcode::kNoSuchTable;
      } else if (StartsWith(msg, "no such column")) {
        code = sqlcode::kNoSuchColumn;
      } else if (StartsWith(msg, "no such function") || StartsWith(msg, "wrong number of arguments to function")) {
        code = sqlcode::kNoSuchFunction;
      } else if (msg.find("syntax error") != std::string::npos || StartsWith(msg, "incomplete input") ||
                 StartsWith(msg, "unrecognized token")) {
        code = sqlcode::kSyntax;
      } else if (StartsWith(msg, "conversion failed") || StartsWith(msg, "arithmetic overflow")) {
        code = sqlcode::kConversion;
      } else if (msg.find("too large") != std::string::npos || msg.find("too many") != std::string::npos) {
        code = sqlcode::kLimit;
      }
  }
  return ExecResult::Error(code, msg + " (statement: " + TextBeginning(statement) + ")");
}

struct Engine::Impl {
  struct Registered {
    Procedure proc;
    ProcedureTraits traits;
  };
  std::map<std::string, Registered> procedures;  // by lower-case name
  std::list<ScalarFunction> functions;          // stable addresses for SQLite
  std::vector<bool> tx_outer;                   // per open scope: BEGIN (true) or SAVEPOINT
  // Kept statements by their native text: the plain inserts of a batch
  // (thousands of one shape) and the procedures' queries. Parsing each once
  // for all of its runs is most of the cost saved.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  struct Kept {
    sqlite3_stmt* stmt = nullptr;
    bool handed_out = false;
  };
  std::unordered_map<std::string, Kept, TextHash, std::equal_to<>> prepared;
  // The transaction-scope statements, prepared on first use.
  std::map<std::string_view, sqlite3_stmt*> scope_statements;
};

Engine::Engine(sqlite3* db, const EngineOptions& options)
    : db_(db), options_(options), impl_(std::make_unique<Impl>()) {}

Engine::~Engine() {
  for (auto& [text, kept] : impl_->prepared) {
    assert(!kept.handed_out);
    sqlite3_finalize(kept.stmt);
  }
  for (auto& [text, stmt] : impl_->scope_statements) sqlite3_finalize(stmt);
  if (db_) sqlite3_close_v2(db_);
}

PreparedStatement::~PreparedStatement() {
  if (!stmt_) return;
  if (handed_out_) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    *handed_out_ = false;
  } else {
    sqlite3_finalize(stmt_);
  }
}

PreparedStatement Engine::Prepare(std::string_view sql, int* rc) {
  *rc = SQLITE_OK;
  auto it = impl_->prepared.find(sql);
  if (it != impl_->prepared.end() && !it->second.handed_out) {
    it->second.handed_out = true;
    return {it->second.stmt, &it->second.handed_out};
  }
  sqlite3_stmt* stmt = nullptr;
  *rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (*rc != SQLITE_OK || !stmt) {
    sqlite3_finalize(stmt);
    if (*rc == SQLITE_OK) *rc = SQLITE_MISUSE;  // no statement in the text
    return {};
  }
  if (it != impl_->prepared.end()) return {stmt, nullptr};  // the kept one is in use
  if (impl_->prepared.size() >= kMaxKeptStatements) {
    for (auto k = impl_->prepared.begin(); k != impl_->prepared.end();) {
      if (k->second.handed_out) {
        ++k;
      } else {
        sqlite3_finalize(k->second.stmt);
        k = impl_->prepared.erase(k);
      }
    }
  }
  Impl::Kept& kept = impl_->prepared.emplace(std::string(sql), Impl::Kept{stmt, true}).first->second;
  return {stmt, &kept.handed_out};
}

ExecResult Engine::RunPrepared(const Statement& st) {
  int rc = SQLITE_OK;
  const PreparedStatement prepared = Prepare(st.param_sql, &rc);
  if (!prepared) return SqliteError(db_, rc, st.source);
  sqlite3_stmt* stmt = prepared.get();
  for (std::size_t i = 0; i < st.params.size() && rc == SQLITE_OK; ++i) {
    const Param& p = st.params[i];
    const int index = static_cast<int>(i) + 1;
    switch (p.type) {
      case Param::kText:
        rc = sqlite3_bind_text(stmt, index, p.text.data(), static_cast<int>(p.text.size()), SQLITE_TRANSIENT);
        break;
      case Param::kInteger: {
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(p.text.c_str(), &end, 10);
        // A literal too large for 64 bits is a real number, as SQLite reads it.
        rc = (errno == ERANGE || (end && *end)) ? sqlite3_bind_double(stmt, index, std::strtod(p.text.c_str(), nullptr))
                                                 : sqlite3_bind_int64(stmt, index, v);
        break;
      }
      case Param::kReal:
        rc = sqlite3_bind_double(stmt, index, std::strtod(p.text.c_str(), nullptr));
        break;
      case Param::kNull:
        rc = sqlite3_bind_null(stmt, index);
        break;
    }
  }
  const int64_t outer_deadline = deadline_ms_;
  deadline_ms_ = options_.statement_timeout_ms > 0 ? SteadyMs() + options_.statement_timeout_ms : 0;
  int s = rc == SQLITE_OK ? sqlite3_step(stmt) : rc;
  while (s == SQLITE_ROW) s = sqlite3_step(stmt);
  deadline_ms_ = outer_deadline;
  ExecResult result;
  if (s == SQLITE_DONE) {
    result.rows = sqlite3_changes64(db_);
  } else {
    result = SqliteError(db_, s, st.source);
  }
  return result;
}

std::unique_ptr<Engine> Engine::Open(const std::string& path, std::string* error) {
  return Open(path, EngineOptions{}, error);
}

std::unique_ptr<Engine> Engine::Open(const std::string& path, const EngineOptions& options, std::string* error) {
  sqlite3* db = nullptr;
  // One engine serves one thread, so the connection needs none of SQLite's
  // own locking (it costs a mutex pair per call).
  const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
  if (rc != SQLITE_OK) {
    if (error) *error = "cannot open database '" + path + "': " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    return nullptr;
  }
  std::unique_ptr<Engine> engine(new Engine(db, options));
  sqlite3_busy_timeout(db, options.busy_timeout_ms);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, options.max_value_bytes);
  // Stops a statement past its deadline (checked every few thousand steps).
  sqlite3_progress_handler(
      db, 4096,
      [](void* self) -> int {
        const auto* e = static_cast<const Engine*>(self);
        return e->deadline_ms_ != 0 && SteadyMs() > e->deadline_ms_ ? 1 : 0;
      },
      engine.get());
  ExecResult r = engine->ExecuteNative("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; "
                                       "PRAGMA cache_size=-" +
                                       std::to_string(std::max(options.page_cache_kib, 64)) + ";");
  if (!r.ok()) {
    if (error) *error = "cannot set up database '" + path + "': " + r.message;
    return nullptr;
  }
  struct Builtin {
    const char* name;
    int arity;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    int flags;
  };
  const Builtin builtins[] = {
      {"tm_add", 2, TmAdd, SQLITE_DETERMINISTIC},
      {"tm_getdate", 0, TmGetdate, 0},
      {"tm_convert", 2, TmConvert, SQLITE_DETERMINISTIC},
      {"tm_datetime", 2, TmDatetime, SQLITE_DETERMINISTIC},
      {"tm_charindex", 3, TmCharindex, SQLITE_DETERMINISTIC},
      {"tm_right", 2, TmRight, SQLITE_DETERMINISTIC},
      {"tm_dateadd", 3, TmDateadd, SQLITE_DETERMINISTIC},
      {"tm_datediff", 3, TmDatediff, SQLITE_DETERMINISTIC},
  };
  for (const Builtin& b : builtins) {
    if (sqlite3_create_function_v2(db, b.name, b.arity, SQLITE_UTF8 | b.flags, engine.get(), b.fn, nullptr, nullptr,
                                   nullptr) != SQLITE_OK) {
      if (error) *error = std::string("cannot register function ") + b.name + ": " + sqlite3_errmsg(db);
      return nullptr;
    }
  }
  std::string fn_error;
  if (!RegisterServiceFunctions(*engine, &fn_error)) {
    if (error) *error = fn_error;
    return nullptr;
  }
  return engine;
}

std::string Engine::LocalNow() const { return options_.local_now ? options_.local_now() : SystemLocalNow(); }

void Engine::RegisterProcedure(std::string name, Procedure proc, ProcedureTraits traits) {
  impl_->procedures[LowerAscii(WithoutSchema(std::move(name)))] = Impl::Registered{std::move(proc), traits};
}

bool Engine::RegisterFunction(std::string name, int arity, ScalarFunction fn, std::string* error) {
  name = WithoutSchema(std::move(name));
  impl_->functions.push_back(std::move(fn));
  const int rc = sqlite3_create_function_v2(db_, name.c_str(), arity, SQLITE_UTF8, &impl_->functions.back(),
                                            CallScalar, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    if (error) *error = "cannot register function " + name + ": " + sqlite3_errmsg(db_);
    impl_->functions.pop_back();
    return false;
  }
  return true;
}

ExecResult Engine::ExecuteNative(std::string_view script) {
  const char* p = script.data();
  const char* end = p + script.size();
  ExecResult result;
  while (p < end) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_, p, static_cast<int>(end - p), &raw, &tail);
    if (rc != SQLITE_OK) return SqliteError(db_, rc, std::string_view(p, static_cast<std::size_t>(end - p)));
    StmtPtr stmt(raw);
    const char* begin = p;
    p = tail;
    if (!stmt) continue;
    int s;
    while ((s = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    if (s != SQLITE_DONE) return SqliteError(db_, s, std::string_view(begin, static_cast<std::size_t>(tail - begin)));
  }
  return result;
}

int Engine::RunScopeStatement(const char* sql) {
  sqlite3_stmt*& stmt = impl_->scope_statements[sql];
  if (!stmt) {
    const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      stmt = nullptr;
      impl_->scope_statements.erase(sql);
      return rc;
    }
  }
  int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

ExecResult Engine::Begin(bool writer) {
  const bool outer = sqlite3_get_autocommit(db_) != 0;
  const char* sql = !outer ? "SAVEPOINT tm_scope" : writer ? "BEGIN IMMEDIATE" : "BEGIN";
  const int rc = RunScopeStatement(sql);
  if (rc != SQLITE_OK) return SqliteError(db_, rc, sql);
  impl_->tx_outer.push_back(outer);
  return {};
}

ExecResult Engine::Commit() {
  assert(!impl_->tx_outer.empty());
  const bool outer = impl_->tx_outer.back();
  impl_->tx_outer.pop_back();
  if (outer && sqlite3_get_autocommit(db_)) return {};  // nothing left to commit
  const char* sql = outer ? "COMMIT" : "RELEASE tm_scope";
  const int rc = RunScopeStatement(sql);
  if (rc != SQLITE_OK) {
    ExecResult err = SqliteError(db_, rc, sql);
    if (outer && !sqlite3_get_autocommit(db_)) RunScopeStatement("ROLLBACK");
    return err;
  }
  return {};
}

void Engine::Rollback() {
  assert(!impl_->tx_outer.empty());
  const bool outer = impl_->tx_outer.back();
  impl_->tx_outer.pop_back();
  if (sqlite3_get_autocommit(db_)) return;  // SQLite already rolled the transaction back
  if (outer) {
    RunScopeStatement("ROLLBACK");
  } else {
    RunScopeStatement("ROLLBACK TO tm_scope");
    RunScopeStatement("RELEASE tm_scope");
  }
}

ExecResult Engine::RunSql(const Statement& st, const RowSink& sink, bool* stopped) {
  if (!st.param_sql.empty()) return RunPrepared(st);
  ExecResult result;
  const char* p = st.sql.c_str();
  const char* end = p + st.sql.size();
  std::vector<std::string> fields;
  while (p < end && !*stopped) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_, p, static_cast<int>(end - p), &raw, &tail);
    if (rc != SQLITE_OK) return SqliteError(db_, rc, st.source);
    StmtPtr stmt(raw);
    p = tail;
    if (!stmt) continue;
    const int columns = sqlite3_column_count(stmt.get());
    const sqlite3_int64 changes_before = sqlite3_total_changes64(db_);
    const int64_t outer_deadline = deadline_ms_;  // a procedure's statement nests in a call
    deadline_ms_ = options_.statement_timeout_ms > 0 ? SteadyMs() + options_.statement_timeout_ms : 0;
    int s;
    while ((s = sqlite3_step(stmt.get())) == SQLITE_ROW) {
      if (columns == 0) continue;
      fields.resize(static_cast<std::size_t>(columns));
      for (int i = 0; i < columns; ++i) fields[static_cast<std::size_t>(i)] = ColumnText(stmt.get(), i);
      ++result.rows;
      if (sink) {
        const int64_t before = SteadyMs();
        const bool more = sink(fields);
        if (deadline_ms_ != 0) deadline_ms_ += SteadyMs() - before;  // the sink's time does not count
        if (!more) {
          *stopped = true;
          break;
        }
      }
    }
    deadline_ms_ = outer_deadline;
    if (!*stopped && s == SQLITE_INTERRUPT)
      return ExecResult::Error(sqlcode::kLimit, "statement stopped after running longer than " +
                                                    std::to_string(options_.statement_timeout_ms) +
                                                    " ms (statement: " + TextBeginning(st.source) + ")");
    if (!*stopped && s != SQLITE_DONE) return SqliteError(db_, s, st.source);
    if (columns == 0 && sqlite3_total_changes64(db_) != changes_before) result.rows += sqlite3_changes64(db_);
  }
  return result;
}

ExecResult Engine::RunCall(const Statement& st, const RowSink& sink, bool* stopped) {
  const std::string key = LowerAscii(WithoutSchema(st.call.name));
  const auto it = impl_->procedures.find(key);
  if (it == impl_->procedures.end())
    return ExecResult::Error(sqlcode::kNoSuchProcedure, "could not find stored procedure '" + st.call.name + "'");
  if (call_depth_ >= options_.max_procedure_depth)
    return ExecResult::Error(sqlcode::kLimit, "procedures nested deeper than " +
                                                  std::to_string(options_.max_procedure_depth) + " levels (statement: " +
                                                  TextBeginning(st.source) + ")");
  const ProcedureTraits& traits = it->second.traits;
  const int argc = static_cast<int>(st.call.args.size());
  if (argc < traits.min_args || (traits.max_args >= 0 && argc > traits.max_args)) {
    const std::string expected = traits.min_args == traits.max_args ? std::to_string(traits.min_args)
                                 : traits.max_args < 0
                                     ? "at least " + std::to_string(traits.min_args)
                                     : std::to_string(traits.min_args) + " to " + std::to_string(traits.max_args);
    return ExecResult::Error(sqlcode::kProcedureArgument, "procedure " + st.call.name + " expects " + expected +
                                                              " arguments, got " + std::to_string(argc));
  }
  ExecResult begun = Begin(!traits.read_only);
  if (!begun.ok()) return begun;
  int64_t delivered = 0;
  const RowSink counting = [&](const std::vector<std::string>& fields) {
    ++delivered;
    if (sink && !sink(fields)) {
      *stopped = true;
      return false;
    }
    return true;
  };
  ExecResult r;
  ++call_depth_;
  const ProcedureCall* outer_call = current_call_;
  current_call_ = &st.call;
  try {
    const Procedure proc = it->second.proc;  // a copy: the procedure may register others
    r = proc(*this, st.call.args, counting);
  } catch (const std::exception& e) {
    r = ExecResult::Error(sqlcode::kOther, e.what());
  } catch (...) {
    r = ExecResult::Error(sqlcode::kOther, "procedure failed");
  }
  current_call_ = outer_call;
  --call_depth_;
  if (!r.ok()) {
    Rollback();
    if (r.message.empty()) r.message = "procedure " + st.call.name + " failed";
    return r;
  }
  ExecResult committed = Commit();
  if (!committed.ok()) return committed;
  r.code = sqlcode::kOk;
  r.message.clear();
  if (r.rows == 0) r.rows = delivered;
  return r;
}

ExecResult Engine::RunStatement(const Statement& st, const RowSink& sink, bool* stopped) {
  return st.is_call ? RunCall(st, sink, stopped) : RunSql(st, sink, stopped);
}

ExecResult Engine::RunText(std::string_view sql, const RowSink& sink, bool* stopped) {
  const Translation t = Translate(sql, options_.limits);
  if (!t.ok()) return ExecResult::Error(t.limit_exceeded ? sqlcode::kLimit : sqlcode::kSyntax, t.error);
  return RunTranslated(t, sink, stopped);
}

ExecResult Engine::RunTranslated(const Translation& t, const RowSink& sink, bool* stopped) {
  ExecResult total;
  for (const Statement& st : t.statements) {
    ExecResult r = RunStatement(st, sink, stopped);
    if (!r.ok()) {
      r.rows = total.rows;
      return r;
    }
    total.rows += r.rows;
    if (*stopped) break;
  }
  return total;
}

ExecResult Engine::Execute(std::string_view sql, const RowSink& sink) {
  bool stopped = false;
  return RunText(sql, sink, &stopped);
}

ExecResult Engine::ExecuteFirst(std::string_view sql, std::vector<std::string>* fields) {
  bool got = false;
  std::vector<std::string> first;
  bool stopped = false;
  ExecResult r = RunText(
      sql,
      [&](const std::vector<std::string>& row) {
        first = row;
        got = true;
        return false;
      },
      &stopped);
  if (!r.ok()) return r;
  if (fields) *fields = std::move(first);
  r.code = got ? sqlcode::kOk : sqlcode::kNoRow;
  return r;
}

ExecResult Engine::ExecuteBatch(std::string_view batch, int32_t count, int32_t* executed) {
  int32_t done = 0;
  if (executed) *executed = 0;
  if (batch.size() > options_.limits.max_text_bytes)
    return ExecResult::Error(sqlcode::kLimit, "batch text of " + std::to_string(batch.size()) +
                                                  " bytes is longer than the limit of " +
                                                  std::to_string(options_.limits.max_text_bytes));
  std::vector<std::string_view> pieces;
  std::size_t pos = 0;
  while (static_cast<int32_t>(pieces.size()) < count) {
    const std::size_t f = batch.find(kBatchSeparator, pos);
    if (f == std::string_view::npos) break;
    pieces.push_back(batch.substr(pos, f - pos));
    pos = f + kBatchSeparator.size();
  }
  if (pieces.empty()) return {};
  ExecResult begun = Begin();
  if (!begun.ok()) return begun;
  ExecResult total;
  for (std::string_view piece : pieces) {
    // A piece that is one statement needs no savepoint of its own: SQLite
    // undoes a failing plain statement by itself and keeps the transaction,
    // and a procedure call runs in a savepoint of its own. Several
    // statements get a savepoint so that a failure undoes all of the piece.
    const Translation t = Translate(piece, options_.limits);
    const bool single = t.ok() && t.statements.size() == 1;
    ExecResult scope = single ? ExecResult{} : Begin();
    ExecResult r = scope.ok() ? ExecResult{} : scope;
    if (r.ok()) {
      bool stopped = false;
      if (!t.ok()) {
        r = ExecResult::Error(t.limit_exceeded ? sqlcode::kLimit : sqlcode::kSyntax, t.error);
      } else if (single) {
        r = RunStatement(t.statements[0], {}, &stopped);
      } else {
        r = RunTranslated(t, {}, &stopped);
      }
    }
    if (!r.ok()) {
      if (scope.ok() && !single) Rollback();
      if (sqlite3_get_autocommit(db_)) {  // SQLite gave up the whole transaction
        impl_->tx_outer.pop_back();
        r.message += " (the whole batch was rolled back)";
        return r;
      }
      ExecResult committed = Commit();
      if (!committed.ok()) return committed;
      if (executed) *executed = done;
      r.rows = total.rows;
      return r;
    }
    if (!single) {
      ExecResult released = Commit();
      if (!released.ok()) {
        Rollback();
        return released;
      }
    }
    ++done;
    total.rows += r.rows;
  }
  ExecResult committed = Commit();
  if (!committed.ok()) return committed;
  if (executed) *executed = done;
  return total;
}

}  // namespace provider
