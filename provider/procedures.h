// The stored procedures of the reference database (docs/provider.md lists
// their arguments and result rows), and the small SQLite helpers that the
// procedures, the demo data and the call simulator share.
//
// Every procedure checks its arguments first and answers a wrong argument
// with code 201 (sqlcode::kProcedureArgument) and a text naming the
// procedure and the argument; the engine runs each call in one transaction,
// so a failing call leaves nothing half-written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "provider/sql/engine.h"

namespace provider {

struct ProcedureOptions {
  // Rows one call of P_ORV_DELETE_REQ_ORV or P_ORV_데이터삭제 deletes per
  // table before it answers with what is left.
  static constexpr int kDefaultDeleteChunk = 5000;
  int delete_chunk = kDefaultDeleteChunk;
};

// Registers every procedure on the engine (a later call replaces them).
void RegisterProcedures(Engine& engine, const ProcedureOptions& options = {});

// A value bound to a '?' of a SQLite statement.
using SqlValue = std::variant<std::nullptr_t, int64_t, std::string>;
using SqlRow = std::vector<std::string>;

// Runs one SQLite statement (native SQLite text, not the client's dialect)
// with the values bound in order; each result row goes to `row` (NULL as "").
ExecResult RunSqlite(sqlite3* db, std::string_view sql, const std::vector<SqlValue>& binds,
                     const std::function<void(const SqlRow&)>& row = {});
// The same on the engine's connection with the statement kept for the next
// run of the same text (Engine::Prepare): for SQL run once per request row.
ExecResult RunSqlite(Engine& engine, std::string_view sql, const std::vector<SqlValue>& binds,
                     const std::function<void(const SqlRow&)>& row = {});
// The first column of the first row as an integer (0 without a row).
int64_t QueryInt(sqlite3* db, std::string_view sql, const std::vector<SqlValue>& binds, ExecResult* result);
int64_t QueryInt(Engine& engine, std::string_view sql, const std::vector<SqlValue>& binds, ExecResult* result);

// "YYYY-MM-DD hh:mm:ss.mmm" (Engine::LocalNow) -> "yyyymmdd" and "hhmmss".
std::string DatePart(std::string_view local_now);
std::string TimePart(std::string_view local_now);

}  // namespace provider
