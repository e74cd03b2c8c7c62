// Translation of the SQL Server dialect that the client sends into SQL that
// SQLite runs, with the help of a few functions the Engine registers
// (tm_add, tm_getdate, tm_convert, tm_datetime, tm_charindex, tm_right,
// tm_dateadd, tm_datediff).
//
// The text is tokenized first (string literals with '' escapes, N'..'
// literals, [bracketed] and "quoted" names, -- and nested /* */ comments),
// so a keyword inside a literal or a name is never rewritten. Rewrites:
//
//   SQL Server                         SQLite
//   ---------------------------------  ----------------------------------------
//   T with(nolock), with (rowlock, ..)  T                  (table hints dropped)
//   from T (nolock)                    from T
//   select top N ... / top (N)         select ... LIMIT N (end of that select,
//                                      also inside sub-selects; a union member
//                                      is wrapped in select * from (...))
//   top 100 percent                    dropped; other percents are an error
//   [name], [a]]b]                     "name", "a]b"
//   N'text'                            'text'
//   alias = expr  (select item)        expr AS "alias"  ([alias] and 'alias' too)
//   a + b                              tm_add(a, b): both texts -> joined texts,
//                                      otherwise numeric addition, as SQL Server
//                                      decides by the operand types, here the
//                                      values' SQLite storage classes at run time
//   isnull(a, b)                       ifnull(a, b)
//   getdate(), current_timestamp       tm_getdate()  ("YYYY-MM-DD hh:mm:ss.mmm")
//   len(x)                             length(rtrim(x))
//   substring(x, s, n)                 substr(x, s, n)
//   left(x, n), right(x, n)            substr(x, 1, n), tm_right(x, n)
//   charindex(a, b [, s])              instr(b, a) / tm_charindex(a, b, s)
//   dateadd(day, n, d)                 tm_dateadd('day', n, d)
//   datediff(day, a, b)                tm_datediff('day', a, b)
//   convert(varchar[(n)], x [, st])    cast/tm_convert, cut to n (30 when no n)
//   convert(int|float|datetime, x)     cast(x as integer|real) / tm_datetime(x)
//   collate Korean_Wansung_BIN         collate BINARY (NOCASE for *_CI_* names)
//   dbo.F(x), db.dbo.T, db..T          F(x), T, T
//   delete T where ...                 delete from T where ...
//   insert T ...                       insert into T ...
//   !<  !>                             >=  <=
//   exec P a, b / execute P a, b       a procedure call (see Statement)
//   {call P(a, b)} / { call P (a) }    a procedure call
//
// A text may hold several statements separated by ';' or by a line break
// before a statement keyword (insert, update, delete, exec, execute, "{", and
// select when it does not continue a union, an insert without VALUES or a
// WITH clause). Variables (@x) and
// parameters (?, :x, $x) are rejected: SQLite would silently bind them to NULL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace provider {

// Bounds on untrusted input.
struct TranslateLimits {
  // Longest text accepted, in bytes (the client's batches stay below 50000).
  std::size_t max_text_bytes = 1 << 20;
  // Deepest nesting of parentheses and CASE expressions.
  int max_depth = 64;
  // Most '+' operators in one expression (each nests one function call).
  std::size_t max_plus_operators = 256;
  // Most statements in one text.
  std::size_t max_statements = 10000;
};

// A stored-procedure call: the name (schema prefixes dropped) and its
// arguments parsed: quoted texts unquoted ('' -> '), numbers as written,
// NULL as an empty text with is_null set.
struct ProcedureCall {
  std::string name;
  std::vector<std::string> args;
  std::vector<bool> is_null;  // one per argument
};

// A literal taken out of a statement to be bound as a parameter.
struct Param {
  enum Type { kText, kInteger, kReal, kNull } type = kText;
  std::string text;  // the value as written (texts unquoted)
};

struct Statement {
  std::string source;  // the statement as written (trimmed), for messages
  bool is_call = false;
  std::string sql;     // SQLite text when !is_call
  ProcedureCall call;  // when is_call
  // Plain inserts also come as a text with a ? for each literal, and the
  // literals, so that one prepared statement serves a whole batch of them.
  std::string param_sql;
  std::vector<Param> params;
};

struct Translation {
  std::vector<Statement> statements;
  std::string error;  // empty on success; names the offset and the problem
  bool limit_exceeded = false;  // the error is a TranslateLimits bound
  bool ok() const { return error.empty(); }
};

Translation Translate(std::string_view sqlserver, const TranslateLimits& limits = {});

// Convenience form: the SQLite texts of all statements joined by ";\n";
// a procedure call is rendered as "CALL name('arg', 1, NULL)". On failure
// returns "" and sets *error (when error is not null).
std::string TranslateDialect(std::string_view sqlserver, std::string* error);

// The first `max_bytes` bytes of a text cut at a UTF-8 character boundary,
// with "..." appended when it was cut; for error messages.
std::string TextBeginning(std::string_view text, std::size_t max_bytes = 100);

}  // namespace provider
