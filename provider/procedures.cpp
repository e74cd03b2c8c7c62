#include "provider/procedures.h"

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <map>
#include <stdexcept>

namespace provider {

namespace {

void Bind(sqlite3_stmt* stmt, const std::vector<SqlValue>& binds) {
  for (std::size_t i = 0; i < binds.size(); ++i) {
    const int at = static_cast<int>(i + 1);
    if (const auto* n = std::get_if<int64_t>(&binds[i])) sqlite3_bind_int64(stmt, at, *n);
    else if (const auto* s = std::get_if<std::string>(&binds[i]))
      sqlite3_bind_text(stmt, at, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    else sqlite3_bind_null(stmt, at);
  }
}

ExecResult Step(sqlite3* db, sqlite3_stmt* stmt, std::string_view sql, const std::function<void(const SqlRow&)>& row) {
  ExecResult result;
  SqlRow fields;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (!row) continue;
    const int n = sqlite3_column_count(stmt);
    fields.assign(static_cast<std::size_t>(n), std::string());
    for (int i = 0; i < n; ++i) {
      const unsigned char* text = sqlite3_column_text(stmt, i);
      if (text) fields[static_cast<std::size_t>(i)].assign(reinterpret_cast<const char*>(text),
                                                           static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
    }
    row(fields);
    ++result.rows;
  }
  if (rc != SQLITE_DONE) {
    result = SqliteError(db, rc, sql);
  } else if (!row) {
    result.rows = sqlite3_changes(db);
  }
  return result;
}

}  // namespace

ExecResult RunSqlite(sqlite3* db, std::string_view sql, const std::vector<SqlValue>& binds,
                     const std::function<void(const SqlRow&)>& row) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) return SqliteError(db, rc, sql);
  Bind(stmt, binds);
  ExecResult result = Step(db, stmt, sql, row);
  sqlite3_finalize(stmt);
  return result;
}

ExecResult RunSqlite(Engine& engine, std::string_view sql, const std::vector<SqlValue>& binds,
                     const std::function<void(const SqlRow&)>& row) {
  int rc = SQLITE_OK;
  const PreparedStatement stmt = engine.Prepare(sql, &rc);
  if (!stmt) return SqliteError(engine.handle(), rc, sql);
  Bind(stmt.get(), binds);
  return Step(engine.handle(), stmt.get(), sql, row);
}

namespace {

template <typename Db>
int64_t FirstInt(Db& db, std::string_view sql, const std::vector<SqlValue>& binds, ExecResult* result) {
  int64_t value = 0;
  *result = RunSqlite(db, sql, binds, [&](const SqlRow& r) {
    if (!r.empty()) value = std::strtoll(r[0].c_str(), nullptr, 10);
  });
  return value;
}

}  // namespace

int64_t QueryInt(sqlite3* db, std::string_view sql, const std::vector<SqlValue>& binds, ExecResult* result) {
  return FirstInt(db, sql, binds, result);
}

int64_t QueryInt(Engine& engine, std::string_view sql, const std::vector<SqlValue>& binds, ExecResult* result) {
  return FirstInt(engine, sql, binds, result);
}

std::string DatePart(std::string_view now) {
  if (now.size() < 10) return {};
  return std::string(now.substr(0, 4)) + std::string(now.substr(5, 2)) + std::string(now.substr(8, 2));
}

std::string TimePart(std::string_view now) {
  if (now.size() < 19) return {};
  return std::string(now.substr(11, 2)) + std::string(now.substr(14, 2)) + std::string(now.substr(17, 2));
}

namespace {

// A procedure's failure: the first error stops it and the engine undoes the
// call's transaction.
struct Failure {
  ExecResult result;
};

class Args {
 public:
  Args(std::string proc, const std::vector<std::string>& args) : proc_(std::move(proc)), args_(args) {}

  const std::string& Text(std::size_t i) const { return args_.at(i); }

  int64_t Int(std::size_t i, const char* what) const {
    const std::string& s = args_.at(i);
    std::size_t at = 0;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) at = 1;
    bool ok = at < s.size() && s.size() - at <= 18;
    for (std::size_t k = at; ok && k < s.size(); ++k) ok = s[k] >= '0' && s[k] <= '9';
    if (!ok) Fail(i, what, "is not a whole number");
    return std::strtoll(s.c_str(), nullptr, 10);
  }

  // 0 or 1.
  int64_t Flag(std::size_t i, const char* what) const {
    const int64_t v = Int(i, what);
    if (v != 0 && v != 1) Fail(i, what, "must be 0 or 1");
    return v;
  }

  // A yyyymmdd text.
  const std::string& Date(std::size_t i, const char* what) const { return Digits(i, what, 8); }
  // A hhmmss text.
  const std::string& Time(std::size_t i, const char* what) const { return Digits(i, what, 6); }

  const std::string& Digits(std::size_t i, const char* what, std::size_t len) const {
    const std::string& s = args_.at(i);
    bool ok = s.size() == len;
    for (char c : s) ok = ok && c >= '0' && c <= '9';
    if (!ok) Fail(i, what, ("must be " + std::to_string(len) + " digits").c_str());
    return s;
  }

  // A telephone number: 1 to 20 digits.
  const std::string& Phone(std::size_t i, const char* what) const {
    const std::string& s = args_.at(i);
    bool ok = !s.empty() && s.size() <= 20;
    for (char c : s) ok = ok && c >= '0' && c <= '9';
    if (!ok) Fail(i, what, "must be 1 to 20 digits");
    return s;
  }

  [[noreturn]] void Fail(std::size_t i, const char* what, const char* problem) const {
    throw Failure{ExecResult::Error(sqlcode::kProcedureArgument, proc_ + ": argument " + std::to_string(i + 1) +
                                                                     " (" + what + ") " + problem + ": '" +
                                                                     args_.at(i) + "'")};
  }
  [[noreturn]] void Refuse(const std::string& text) const {
    throw Failure{ExecResult::Error(sqlcode::kProcedureArgument, proc_ + ": " + text)};
  }

 private:
  std::string proc_;
  const std::vector<std::string>& args_;
};

// Runs SQL and turns a failure into a Failure.
void Run(Engine& db, std::string_view sql, const std::vector<SqlValue>& binds,
         const std::function<void(const SqlRow&)>& row = {}) {
  ExecResult r = RunSqlite(db, sql, binds, row);
  if (!r.ok()) throw Failure{r};
}

int64_t Int(Engine& db, std::string_view sql, const std::vector<SqlValue>& binds) {
  ExecResult r;
  const int64_t v = QueryInt(db, sql, binds, &r);
  if (!r.ok()) throw Failure{r};
  return v;
}

int64_t Changes(Engine& db, std::string_view sql, const std::vector<SqlValue>& binds) {
  ExecResult r = RunSqlite(db, sql, binds);
  if (!r.ok()) throw Failure{r};
  return r.rows;
}

// part / whole as a percentage with one decimal ("0.0" when whole is 0).
std::string Percent(int64_t part, int64_t whole) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
  return buf;
}

using Body = std::function<void(Engine&, const Args&, const RowSink&)>;

void Register(Engine& engine, const std::string& name, int nargs, bool read_only, Body body) {
  Engine::ProcedureTraits traits;
  traits.read_only = read_only;
  traits.min_args = nargs;
  traits.max_args = nargs;
  engine.RegisterProcedure(
      name,
      [name, body = std::move(body)](Engine& e, const std::vector<std::string>& args, const RowSink& sink) {
        try {
          body(e, Args(name, args), sink);
        } catch (const Failure& f) {
          return f.result;
        }
        return ExecResult{};
      },
      traits);
}

void Emit(const RowSink& sink, const SqlRow& row) {
  if (sink) sink(row);
}

// The deny-list rule shared by the two request procedures: with the common
// flag set a number on the common list (user 'all') is declined, with the
// user flag set a number on the user's own list.
bool Denied(Engine& db, const std::string& user, const std::string& phone, int64_t common_flag, int64_t user_flag) {
  if (common_flag && Int(db, "SELECT count(*) FROM T_DENY_ORV WHERE C_USER_ID = 'all' AND C_TELNUM = ?", {phone}))
    return true;
  if (user_flag && Int(db, "SELECT count(*) FROM T_DENY_ORV WHERE C_USER_ID = ? AND C_TELNUM = ?", {user, phone}))
    return true;
  return false;
}

void CheckService(Engine& db, const Args& a, const std::string& user, int64_t svc) {
  if (!Int(db, "SELECT count(*) FROM SERVICE_INFO WHERE SVC_ID = ? AND USER_ID = ?", {svc, user}))
    a.Refuse("service " + std::to_string(svc) + " of user '" + user + "' does not exist");
}

// exec P_INSERT_REQ_ORV user, svc, title, phone, info1..4, callback,
//   reserve, reg_date, reg_time, common_flag, user_flag
void InsertReqOrv(Engine& e, const Args& a, const RowSink&) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  const int64_t svc = a.Int(1, "service ID");
  const std::string& title = a.Text(2);
  const std::string& phone = a.Phone(3, "phone number");
  const std::string& reg_date = a.Date(10, "registration date");
  const std::string& reg_time = a.Time(11, "registration time");
  const int64_t common_flag = a.Flag(12, "common deny list flag");
  const int64_t user_flag = a.Flag(13, "user deny list flag");
  CheckService(db, a, user, svc);
  if (Denied(db, user, phone, common_flag, user_flag)) return;
  // A row that the same send registered already (a batch sent again after
  // its answer was lost) is not registered twice, whether it still waits or
  // has been called meanwhile.
  if (Int(db,
          "SELECT EXISTS (SELECT 1 FROM REQ_ORV WHERE SVC_ID = ?1 AND REG_DATE = ?2 AND REG_TIME = ?3 AND RECV_PHONE = ?4 "
          "AND TITLE = ?5) OR EXISTS (SELECT 1 FROM RST_ORV WHERE SVC_ID = ?1 AND REG_DATE = ?2 AND REG_TIME = ?3 AND "
          "RECV_PHONE = ?4 AND TITLE = ?5) OR EXISTS (SELECT 1 FROM RST_ORV_HIST WHERE SVC_ID = ?1 AND REG_DATE = ?2 AND "
          "REG_TIME = ?3 AND RECV_PHONE = ?4 AND TITLE = ?5)",
          {svc, reg_date, reg_time, phone, title}))
    return;
  Run(db,
      "INSERT INTO REQ_ORV (USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, CUST_INFO2, CUST_INFO3, CUST_INFO4, "
      "CALLER_ID, RESERVE_INFO, PROGRESS, TRY_COUNT, REG_DATE, REG_TIME) VALUES (?,?,?,?,?,?,?,?,?,?,'0',0,?,?)",
      {user, svc, title, phone, a.Text(4), a.Text(5), a.Text(6), a.Text(7), a.Text(8), a.Text(9), reg_date, reg_time});
}

// exec P_INSERT_REQ_TMP user, svc, title, phone, info1..4, callback,
//   reg_date, reg_time, common_flag, user_flag
void InsertReqTmp(Engine& e, const Args& a, const RowSink&) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  const int64_t svc = a.Int(1, "service ID");
  const std::string& title = a.Text(2);
  const std::string& phone = a.Phone(3, "phone number");
  const std::string& reg_date = a.Date(9, "registration date");
  const std::string& reg_time = a.Time(10, "registration time");
  const int64_t common_flag = a.Flag(11, "common deny list flag");
  const int64_t user_flag = a.Flag(12, "user deny list flag");
  CheckService(db, a, user, svc);
  if (Denied(db, user, phone, common_flag, user_flag)) return;
  if (Int(db, "SELECT count(*) FROM REQ_TMP WHERE SVC_ID = ? AND REG_DATE = ? AND REG_TIME = ? AND RECV_PHONE = ? AND TITLE = ?",
          {svc, reg_date, reg_time, phone, title}))
    return;
  Run(db,
      "INSERT INTO REQ_TMP (USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, CUST_INFO2, CUST_INFO3, CUST_INFO4, "
      "CALLER_ID, REG_DATE, REG_TIME, AGENT_NM) VALUES (?,?,?,?,?,?,?,?,?,?,?,'')",
      {user, svc, title, phone, a.Text(4), a.Text(5), a.Text(6), a.Text(7), a.Text(8), reg_date, reg_time});
}

// exec P_INSERT_DENY_LIST user, number, comment. The number is kept as its
// digits, the form in which requests carry it; a number already on the
// user's list keeps its first registration.
void InsertDenyList(Engine& e, const Args& a, const RowSink&) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  if (user.empty()) a.Fail(0, "user ID", "is empty");
  std::string digits;
  for (char c : a.Text(1))
    if (c >= '0' && c <= '9') digits += c;
  if (digits.empty() || digits.size() > 20) a.Fail(1, "number", "must hold 1 to 20 digits");
  Run(db, "INSERT OR IGNORE INTO T_DENY_ORV (C_USER_ID, C_TELNUM, C_REGIST_DATE, C_COMMENT) VALUES (?,?,?,?)",
      {user, digits, DatePart(e.LocalNow()), a.Text(2)});
}

// { call P_ORV_DELETE_REQ_ORV(svc)}: deletes a chunk of the service's
// waiting and paused requests; one row: the number still left.
void DeleteReqOrv(Engine& e, const Args& a, const RowSink& sink, int chunk) {
  Engine& db = e;
  const int64_t svc = a.Int(0, "service ID");
  Run(db,
      "DELETE FROM REQ_ORV WHERE ORV_ID IN (SELECT ORV_ID FROM REQ_ORV WHERE SVC_ID = ? AND PROGRESS IN ('0','9') "
      "LIMIT ?)",
      {svc, static_cast<int64_t>(chunk)});
  Emit(sink, {std::to_string(Int(db, "SELECT count(*) FROM REQ_ORV WHERE SVC_ID = ? AND PROGRESS IN ('0','9')", {svc}))});
}

// { call P_ORV_데이터삭제(user, from, to)}: deletes a chunk of the user's
// results (RST_ORV, RST_ORV_HIST) dialled in the period and of their
// callbacks; one row: results left, callbacks left.
void DeleteOldData(Engine& e, const Args& a, const RowSink& sink, int chunk) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  const std::string& from = a.Date(1, "from date");
  const std::string& to = a.Date(2, "to date");
  const int64_t n = chunk;
  Run(db,
      "DELETE FROM CALLBACK_INFO WHERE ORV_ID IN (SELECT ORV_ID FROM CALLBACK_INFO WHERE USER_ID = ? AND DIAL_DATE "
      "BETWEEN ? AND ? LIMIT ?)",
      {user, from, to, n});
  for (const char* table : {"RST_ORV", "RST_ORV_HIST"}) {
    const std::string t = table;
    // Results go only after their callbacks, so no callback loses its call.
    Run(db,
        "DELETE FROM " + t + " WHERE ORV_ID IN (SELECT ORV_ID FROM " + t +
            " r WHERE USER_ID = ? AND DIAL_DATE BETWEEN ? AND ? AND NOT EXISTS (SELECT 1 FROM CALLBACK_INFO c "
            "WHERE c.ORV_ID = r.ORV_ID) LIMIT ?)",
        {user, from, to, n});
  }
  const int64_t results =
      Int(db, "SELECT count(*) FROM RST_ORV WHERE USER_ID = ? AND DIAL_DATE BETWEEN ? AND ?", {user, from, to}) +
      Int(db, "SELECT count(*) FROM RST_ORV_HIST WHERE USER_ID = ? AND DIAL_DATE BETWEEN ? AND ?", {user, from, to});
  const int64_t callbacks =
      Int(db, "SELECT count(*) FROM CALLBACK_INFO WHERE USER_ID = ? AND DIAL_DATE BETWEEN ? AND ?", {user, from, to});
  Emit(sink, {std::to_string(results), std::to_string(callbacks)});
}

// {call P_QUERY_REQ_ORV_BY_TITLE(svc, from, to)}: per title of the requests
// registered in the period: title, waiting, paused, called (results),
// successful calls, success rate in percent; last the row "총계".
void QueryReqOrvByTitle(Engine& e, const Args& a, const RowSink& sink) {
  Engine& db = e;
  const int64_t svc = a.Int(0, "service ID");
  const std::string& from = a.Date(1, "from date");
  const std::string& to = a.Date(2, "to date");
  struct Counts {
    int64_t waiting = 0, paused = 0, sent = 0, success = 0;
  };
  std::map<std::string, Counts> by_title;
  Run(db,
      "SELECT TITLE, sum(PROGRESS <> '9'), sum(PROGRESS = '9') FROM REQ_ORV WHERE SVC_ID = ? AND REG_DATE BETWEEN ? "
      "AND ? GROUP BY TITLE",
      {svc, from, to}, [&](const SqlRow& r) {
        Counts& c = by_title[r[0]];
        c.waiting += std::stoll(r[1]);
        c.paused += std::stoll(r[2]);
      });
  Run(db,
      "SELECT TITLE, count(*), sum(RES_CODE = 0) FROM V_RST_ORV WHERE SVC_ID = ? AND REG_DATE BETWEEN ? AND ? GROUP "
      "BY TITLE",
      {svc, from, to}, [&](const SqlRow& r) {
        Counts& c = by_title[r[0]];
        c.sent += std::stoll(r[1]);
        c.success += std::stoll(r[2]);
      });
  if (by_title.empty()) return;
  Counts total;
  auto row = [&](const std::string& title, const Counts& c) {
    Emit(sink, {title, std::to_string(c.waiting), std::to_string(c.paused), std::to_string(c.sent),
                std::to_string(c.success), Percent(c.success, c.sent)});
  };
  for (const auto& [title, c] : by_title) {
    row(title, c);
    total.waiting += c.waiting;
    total.paused += c.paused;
    total.sent += c.sent;
    total.success += c.success;
  }
  row("총계", total);
}

// {call P_ORV_콜백률조회(user, from, to)}: per service and hour of the
// dial time: service name, hour (two digits), answered calls, callbacks,
// callback rate in percent.
void CallbackRate(Engine& e, const Args& a, const RowSink& sink) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  const std::string& from = a.Date(1, "from date");
  const std::string& to = a.Date(2, "to date");
  Run(db,
      "SELECT s.SVC_NM, substr(r.DIAL_TIME, 1, 2) AS HH, sum(r.RES_CODE = 0), "
      "sum(EXISTS (SELECT 1 FROM CALLBACK_INFO c WHERE c.ORV_ID = r.ORV_ID)) "
      "FROM V_RST_ORV r JOIN SERVICE_INFO s ON s.SVC_ID = r.SVC_ID "
      "WHERE r.USER_ID = ? AND r.DIAL_DATE BETWEEN ? AND ? GROUP BY r.SVC_ID, HH ORDER BY r.SVC_ID, HH",
      {user, from, to}, [&](const SqlRow& r) {
        Emit(sink, {r[0], r[1], r[2], r[3], Percent(std::stoll(r[3]), std::stoll(r[2]))});
      });
}

// The result-code columns shared by the statistics: total, answered (0),
// busy (1), voice mailbox (2), no answer (3), unassigned (4), other.
constexpr const char* kCodeSums =
    "count(*), sum(r.RES_CODE = 0), sum(r.RES_CODE = 1), sum(r.RES_CODE = 2), sum(r.RES_CODE = 3), "
    "sum(r.RES_CODE = 4), sum(r.RES_CODE NOT IN (0,1,2,3,4))";

// {call P_ORV_통보결과상세분석(user, from, to, mode)}: mode '1' per dial day,
// '2' per hour of the day over the period. Per service and period: service
// ID, service name, period (yyyy-mm-dd, or the hour as two digits), total,
// answered, answer rate, busy, voice mailbox, no answer, unassigned, other.
void ResultAnalysis(Engine& e, const Args& a, const RowSink& sink) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  const std::string& from = a.Date(1, "from date");
  const std::string& to = a.Date(2, "to date");
  const std::string& mode = a.Text(3);
  if (mode != "1" && mode != "2") a.Fail(3, "mode", "must be '1' (per day) or '2' (per hour)");
  const std::string period = mode == "1" ? "F_FMT_DATE(r.DIAL_DATE)" : "substr(r.DIAL_TIME, 1, 2)";
  Run(db,
      "SELECT r.SVC_ID, s.SVC_NM, " + period + " AS P, " + kCodeSums +
          " FROM V_RST_ORV r JOIN SERVICE_INFO s ON s.SVC_ID = r.SVC_ID WHERE r.USER_ID = ? AND r.DIAL_DATE "
          "BETWEEN ? AND ? GROUP BY r.SVC_ID, P ORDER BY r.SVC_ID, P",
      {user, from, to}, [&](const SqlRow& r) {
        Emit(sink, {r[0], r[1], r[2], r[3], r[4], Percent(std::stoll(r[4]), std::stoll(r[3])), r[5], r[6], r[7], r[8],
                    r[9]});
      });
}

// {call P_ORV_전화요금계산(user, from, to)}: per service and dial day:
// service ID, service name, day (yyyy-mm-dd), charged calls to mobile
// numbers (01...), their charge, charged calls to other lines, their charge.
// A charged call is one with a charge (USE_PAY > 0).
void TelephoneCharges(Engine& e, const Args& a, const RowSink& sink) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  const std::string& from = a.Date(1, "from date");
  const std::string& to = a.Date(2, "to date");
  Run(db,
      "SELECT r.SVC_ID, s.SVC_NM, F_FMT_DATE(r.DIAL_DATE) AS D, "
      "sum(r.USE_PAY > 0 AND r.RECV_PHONE LIKE '01%'), sum(CASE WHEN r.RECV_PHONE LIKE '01%' THEN r.USE_PAY ELSE 0 END), "
      "sum(r.USE_PAY > 0 AND r.RECV_PHONE NOT LIKE '01%'), "
      "sum(CASE WHEN r.RECV_PHONE NOT LIKE '01%' THEN r.USE_PAY ELSE 0 END) "
      "FROM V_RST_ORV r JOIN SERVICE_INFO s ON s.SVC_ID = r.SVC_ID WHERE r.USER_ID = ? AND r.DIAL_DATE BETWEEN ? "
      "AND ? GROUP BY r.SVC_ID, D ORDER BY r.SVC_ID, D",
      {user, from, to}, [&](const SqlRow& r) { Emit(sink, r); });
}

// {call P_RESEARCH_SUMMERY_RST_ORV(user, from, to, grouping)}: the survey
// results (services of type 4 or with survey information) not marked
// deleted, per send date ('0': dial date) or title ('1'): group, service ID,
// service name, total, successes, failures, busy, voice mailbox, no answer,
// unassigned, other. After each group's services a "소계" row, last "총계".
void ResearchSummary(Engine& e, const Args& a, const RowSink& sink) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  const std::string& from = a.Date(1, "from date");
  const std::string& to = a.Date(2, "to date");
  const std::string& grouping = a.Text(3);
  if (grouping != "0" && grouping != "1") a.Fail(3, "grouping", "must be '0' (per date) or '1' (per title)");
  const std::string group = grouping == "0" ? "r.DIAL_DATE" : "r.TITLE";
  using Sums = std::array<int64_t, 8>;  // total, success, failure, busy, vms, noanswer, unassigned, other
  auto add = [](Sums& into, const Sums& s) {
    for (std::size_t i = 0; i < into.size(); ++i) into[i] += s[i];
  };
  auto emit = [&](const std::string& g, const std::string& id, const std::string& name, const Sums& s) {
    SqlRow row{g, id, name};
    for (int64_t v : s) row.push_back(std::to_string(v));
    Emit(sink, row);
  };
  std::string current;
  bool any = false;
  Sums sub{}, total{};
  Run(db,
      "SELECT " + group + " AS G, r.SVC_ID, s.SVC_NM, count(*), sum(r.RES_CODE = 0), sum(r.RES_CODE <> 0), "
          "sum(r.RES_CODE = 1), sum(r.RES_CODE = 2), sum(r.RES_CODE = 3), sum(r.RES_CODE = 4), "
          "sum(r.RES_CODE NOT IN (0,1,2,3,4)) FROM V_RST_ORV r JOIN SERVICE_INFO s ON s.SVC_ID = r.SVC_ID "
          "WHERE r.USER_ID = ? AND r.DIAL_DATE BETWEEN ? AND ? AND r.DELETE_FLAG <> '1' "
          "AND (s.SVC_TYPE = 4 OR s.USE_SURVEY_INFO = '1') GROUP BY G, r.SVC_ID ORDER BY G, r.SVC_ID",
      {user, from, to}, [&](const SqlRow& r) {
        if (any && r[0] != current) {
          emit("소계", "", "", sub);
          sub = {};
        }
        any = true;
        current = r[0];
        Sums s{};
        for (std::size_t i = 0; i < s.size(); ++i) s[i] = std::stoll(r[3 + i]);
        add(sub, s);
        add(total, s);
        emit(r[0], r[1], r[2], s);
      });
  if (!any) return;
  emit("소계", "", "", sub);
  emit("총계", "", "", total);
}

// One row of 90 counts: for questions 1 to 10 the number of replies whose
// key at that question is 1, 2, ... 9.
void EmitAnswerCounts(Engine& db, const std::string& where, const std::vector<SqlValue>& binds,
                      const RowSink& sink) {
  std::array<int64_t, 90> counts{};
  Run(db, "SELECT RES_REPLY FROM V_RST_ORV WHERE " + where, binds, [&](const SqlRow& r) {
    const std::string& reply = r[0];
    for (std::size_t q = 0; q < 10 && q < reply.size(); ++q)
      if (reply[q] >= '1' && reply[q] <= '9') ++counts[q * 9 + static_cast<std::size_t>(reply[q] - '1')];
  });
  SqlRow row;
  for (int64_t c : counts) row.push_back(std::to_string(c));
  Emit(sink, row);
}

// {call P_RESEARCH_STATIS_SIMPLE_DATE(user, svc, date, min_answers)}
void ResearchStatisByDate(Engine& e, const Args& a, const RowSink& sink) {
  const std::string& user = a.Text(0);
  const int64_t svc = a.Int(1, "service ID");
  const std::string& date = a.Date(2, "date");
  const int64_t min = a.Int(3, "minimum answers");
  EmitAnswerCounts(e,
                   "USER_ID = ? AND SVC_ID = ? AND DIAL_DATE = ? AND DELETE_FLAG <> '1' AND RES_CODE = 0 AND "
                   "length(RES_REPLY) >= ?",
                   {user, svc, date, min}, sink);
}

// {call P_RESEARCH_STATIS_SIMPLE_TITLE(user, svc, from, to, title, min)}
void ResearchStatisByTitle(Engine& e, const Args& a, const RowSink& sink) {
  const std::string& user = a.Text(0);
  const int64_t svc = a.Int(1, "service ID");
  const std::string& from = a.Date(2, "from date");
  const std::string& to = a.Date(3, "to date");
  const std::string& title = a.Text(4);
  const int64_t min = a.Int(5, "minimum answers");
  EmitAnswerCounts(e,
                   "USER_ID = ? AND SVC_ID = ? AND DIAL_DATE BETWEEN ? AND ? AND TITLE = ? AND DELETE_FLAG <> '1' "
                   "AND RES_CODE = 0 AND length(RES_REPLY) >= ?",
                   {user, svc, from, to, title, min}, sink);
}

// execute P_RESEARCH_DELETE_TITLE_RST_ORV user, svc, from, to, title,
// grouping: marks the results of one send deleted (DELETE_FLAG '1'): all
// of the dial dates with grouping '0', those of the title with '1'. One
// row: the number of results marked.
void ResearchDeleteTitle(Engine& e, const Args& a, const RowSink& sink) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  const int64_t svc = a.Int(1, "service ID");
  const std::string& from = a.Date(2, "from date");
  const std::string& to = a.Date(3, "to date");
  const std::string& title = a.Text(4);
  const std::string& grouping = a.Text(5);
  if (grouping != "0" && grouping != "1") a.Fail(5, "grouping", "must be '0' (per date) or '1' (per title)");
  int64_t marked = 0;
  for (const char* table : {"RST_ORV", "RST_ORV_HIST"}) {
    std::string sql = std::string("UPDATE ") + table +
                      " SET DELETE_FLAG = '1' WHERE USER_ID = ? AND SVC_ID = ? AND DIAL_DATE BETWEEN ? AND ? AND "
                      "DELETE_FLAG <> '1'";
    std::vector<SqlValue> binds{user, svc, from, to};
    if (grouping == "1") {
      sql += " AND TITLE = ?";
      binds.emplace_back(title);
    }
    marked += Changes(db, sql, binds);
  }
  Emit(sink, {std::to_string(marked)});
}

// {call P_ELEC_RESEARCH_SUMMERY(user, svc, from, to, title, valid)}: the
// job overview of a survey send (an empty title: every title of the
// period). Rows "건수" (counts) and "비율" (percent of the total): category,
// total, connection failed (result code not 0), no answer (answered, no
// key), partial answer (fewer keys than `valid`), complete answer.
void ElecResearchSummary(Engine& e, const Args& a, const RowSink& sink) {
  Engine& db = e;
  const std::string& user = a.Text(0);
  const int64_t svc = a.Int(1, "service ID");
  const std::string& from = a.Date(2, "from date");
  const std::string& to = a.Date(3, "to date");
  const std::string& title = a.Text(4);
  const int64_t valid = a.Int(5, "valid answers");
  std::array<int64_t, 5> c{};
  Run(db,
      "SELECT count(*), sum(RES_CODE <> 0), sum(RES_CODE = 0 AND length(RES_REPLY) = 0), "
      "sum(RES_CODE = 0 AND length(RES_REPLY) > 0 AND length(RES_REPLY) < ?), "
      "sum(RES_CODE = 0 AND length(RES_REPLY) > 0 AND length(RES_REPLY) >= ?) FROM V_RST_ORV "
      "WHERE USER_ID = ? AND SVC_ID = ? AND DIAL_DATE BETWEEN ? AND ? AND DELETE_FLAG <> '1' AND (? = '' OR TITLE = ?)",
      {valid, valid, user, svc, from, to, title, title}, [&](const SqlRow& r) {
        for (std::size_t i = 0; i < c.size(); ++i) c[i] = std::strtoll(r[i].c_str(), nullptr, 10);
      });
  Emit(sink, {"건수", std::to_string(c[0]), std::to_string(c[1]), std::to_string(c[2]), std::to_string(c[3]),
              std::to_string(c[4])});
  Emit(sink, {"비율", Percent(c[0], c[0]), Percent(c[1], c[0]), Percent(c[2], c[0]), Percent(c[3], c[0]),
              Percent(c[4], c[0])});
}

}  // namespace

void RegisterProcedures(Engine& engine, const ProcedureOptions& options) {
  const int chunk = options.delete_chunk > 0 ? options.delete_chunk : ProcedureOptions::kDefaultDeleteChunk;
  Register(engine, "P_INSERT_REQ_ORV", 14, false, InsertReqOrv);
  Register(engine, "P_INSERT_REQ_TMP", 13, false, InsertReqTmp);
  Register(engine, "P_INSERT_DENY_LIST", 3, false, InsertDenyList);
  Register(engine, "P_ORV_DELETE_REQ_ORV", 1, false,
           [chunk](Engine& e, const Args& a, const RowSink& s) { DeleteReqOrv(e, a, s, chunk); });
  Register(engine, "P_ORV_데이터삭제", 3, false,
           [chunk](Engine& e, const Args& a, const RowSink& s) { DeleteOldData(e, a, s, chunk); });
  Register(engine, "P_QUERY_REQ_ORV_BY_TITLE", 3, true, QueryReqOrvByTitle);
  Register(engine, "P_ORV_콜백률조회", 3, true, CallbackRate);
  Register(engine, "P_ORV_통보결과상세분석", 4, true, ResultAnalysis);
  Register(engine, "P_ORV_전화요금계산", 3, true, TelephoneCharges);
  Register(engine, "P_RESEARCH_SUMMERY_RST_ORV", 4, true, ResearchSummary);
  Register(engine, "P_RESEARCH_STATIS_SIMPLE_DATE", 4, true, ResearchStatisByDate);
  Register(engine, "P_RESEARCH_STATIS_SIMPLE_TITLE", 6, true, ResearchStatisByTitle);
  Register(engine, "P_RESEARCH_DELETE_TITLE_RST_ORV", 6, false, ResearchDeleteTitle);
  Register(engine, "P_ELEC_RESEARCH_SUMMERY", 6, true, ElecResearchSummary);
}

}  // namespace provider
