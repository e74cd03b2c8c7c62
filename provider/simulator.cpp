#include "provider/simulator.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "provider/procedures.h"

namespace provider {
namespace {

struct Abort {
  ExecResult result;
};

void Run(sqlite3* db, std::string_view sql, const std::vector<SqlValue>& binds,
         const std::function<void(const SqlRow&)>& row = {}) {
  ExecResult r = RunSqlite(db, sql, binds, row);
  if (!r.ok()) throw Abort{r};
}

int64_t Int(sqlite3* db, std::string_view sql, const std::vector<SqlValue>& binds) {
  ExecResult r;
  const int64_t v = QueryInt(db, sql, binds, &r);
  if (!r.ok()) throw Abort{r};
  return v;
}

std::string Two(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

}  // namespace

bool ParseMix(const std::string& text, SimulatorOptions* options) {
  std::vector<int> w;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) {
    if (part.empty() || part.size() > 6) return false;
    for (char c : part)
      if (c < '0' || c > '9') return false;
    w.push_back(std::stoi(part));
  }
  if (w.size() != 6) return false;
  int sum = 0;
  for (int v : w) sum += v;
  if (sum <= 0) return false;
  options->mix_answered = w[0];
  options->mix_busy = w[1];
  options->mix_mailbox = w[2];
  options->mix_noanswer = w[3];
  options->mix_unassigned = w[4];
  options->mix_other = w[5];
  return true;
}

Simulator::Simulator(Engine& engine, SimulatorOptions options)
    : engine_(engine), options_(options), rng_(options.seed) {}

int Simulator::DrawCode() {
  const int weights[6] = {options_.mix_answered, options_.mix_busy,       options_.mix_mailbox,
                          options_.mix_noanswer, options_.mix_unassigned, options_.mix_other};
  const int codes[6] = {0, 1, 2, 3, 4, 11};
  int sum = 0;
  for (int w : weights) sum += w > 0 ? w : 0;
  if (sum <= 0) return 0;
  int pick = std::uniform_int_distribution<int>(0, sum - 1)(rng_);
  for (int i = 0; i < 6; ++i) {
    const int w = weights[i] > 0 ? weights[i] : 0;
    if (pick < w) return codes[i];
    pick -= w;
  }
  return 0;
}

ExecResult Simulator::Step(const DateTime& now, StepCounts* counts) {
  StepCounts local;
  ExecResult r = engine_.ExecuteNative("BEGIN IMMEDIATE");
  if (!r.ok()) return r;
  try {
    r = StepInTransaction(now, &local);
  } catch (const Abort& a) {
    r = a.result;
  }
  if (!r.ok()) {
    engine_.ExecuteNative("ROLLBACK");
    return r;
  }
  r = engine_.ExecuteNative("COMMIT");
  if (!r.ok()) {
    engine_.ExecuteNative("ROLLBACK");
    return r;
  }
  if (counts) *counts = local;
  return r;
}

ExecResult Simulator::StepInTransaction(const DateTime& now, StepCounts* counts) {
  sqlite3* db = engine_.handle();
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", now.year, now.month, now.day);
  const std::string date = buf;
  const std::string time = Two(now.hour) + Two(now.minute) + Two(now.second);
  const std::string hhmm = time.substr(0, 4);

  // Yesterday's results go to the history table.
  Run(db, "INSERT OR IGNORE INTO RST_ORV_HIST SELECT * FROM RST_ORV WHERE DIAL_DATE < ?", {date});
  counts->archived = Int(db, "SELECT changes()", {});
  Run(db, "DELETE FROM RST_ORV WHERE DIAL_DATE < ? AND ORV_ID IN (SELECT ORV_ID FROM RST_ORV_HIST)", {date});

  struct Service {
    int64_t id;
    std::string user, callback_digit;
    bool survey;
  };
  std::vector<Service> services;
  Run(db,
      "SELECT s.SVC_ID, s.USER_ID, s.CALLBACK_DIGIT, (s.SVC_TYPE = 4 OR EXISTS (SELECT 1 FROM QUESTION_INFO q "
      "WHERE q.SVC_ID = s.SVC_ID)) FROM SERVICE_INFO s WHERE s.PROG_STAT = '1' AND s.START_TM <= ? AND "
      "s.END_TM > ? ORDER BY s.SVC_ID",
      {hhmm, hhmm}, [&](const SqlRow& r) { services.push_back({std::stoll(r[0]), r[1], r[2], r[3] == "1"}); });

  for (const Service& svc : services) {
    // The survey's questions in order with their answer counts.
    std::vector<int> answers;
    if (svc.survey) {
      Run(db,
          "SELECT q.QUEST_NO, (SELECT count(*) FROM QUEST_EX_INFO x WHERE x.SVC_ID = q.SVC_ID AND x.QUEST_NO = "
          "q.QUEST_NO AND x.ANS_NO BETWEEN 1 AND 9) FROM QUESTION_INFO q WHERE q.SVC_ID = ? AND q.QUEST_NO BETWEEN "
          "1 AND 10 ORDER BY q.QUEST_NO",
          {svc.id}, [&](const SqlRow& r) { answers.push_back(std::max(1, std::stoi(r[1]))); });
    }
    struct Request {
      int64_t orv_id, try_count;
      std::string phone;
    };
    std::vector<Request> picked;
    Run(db, "SELECT ORV_ID, TRY_COUNT, RECV_PHONE FROM REQ_ORV WHERE SVC_ID = ? AND PROGRESS = '0' ORDER BY ORV_ID LIMIT ?",
        {svc.id, static_cast<int64_t>(options_.calls_per_step)},
        [&](const SqlRow& r) { picked.push_back({std::stoll(r[0]), std::stoll(r[1]), r[2]}); });
    for (const Request& req : picked) {
      const bool mobile = req.phone.rfind("01", 0) == 0;
      const int64_t charge = mobile ? options_.charge_mobile : options_.charge_line;
      // No call without the money for it.
      if (Int(db, "SELECT REMAIN_PAY FROM USER_INFO WHERE USER_ID = ?", {svc.user}) < charge) break;
      const int code = DrawCode();
      ++counts->calls;
      const std::string minute = std::to_string(now.minute / 10);
      const char* code_column = code == 0   ? "RES_CODE0"
                                : code == 1 ? "RES_CODE1"
                                : code == 2 ? "RES_CODE2"
                                : code == 3 ? "RES_CODE3"
                                : code == 4 ? "RES_CODE4"
                                            : "RES_CODE11";
      Run(db,
          "INSERT INTO RST_ORV_STATIS (USER_ID, SVC_ID, SEND_DATE, SEND_HOUR, SEND_MINUTE) VALUES (?,?,?,?,?) "
          "ON CONFLICT DO NOTHING",
          {svc.user, svc.id, date, Two(now.hour), minute});
      Run(db,
          std::string("UPDATE RST_ORV_STATIS SET TOTAL_COUNT = TOTAL_COUNT + 1, ") + code_column + " = " + code_column +
              " + 1 WHERE SVC_ID = ? AND SEND_DATE = ? AND SEND_HOUR = ? AND SEND_MINUTE = ?",
          {svc.id, date, Two(now.hour), minute});
      const int64_t tries = req.try_count + 1;
      if ((code == 1 || code == 3) && tries < options_.max_tries) {
        Run(db, "UPDATE REQ_ORV SET TRY_COUNT = ? WHERE ORV_ID = ?", {tries, req.orv_id});
        ++counts->retries;
        continue;
      }
      std::string reply, answer_time;
      int64_t talk = 0, pay = 0;
      if (code == 0) {
        answer_time = time;
        talk = std::uniform_int_distribution<int>(5, 90)(rng_);
        pay = charge;
        if (svc.survey) {
          for (int n : answers) reply += static_cast<char>('0' + std::uniform_int_distribution<int>(1, n)(rng_));
        } else if (!svc.callback_digit.empty() &&
                   std::uniform_int_distribution<int>(0, 99)(rng_) < options_.callback_percent) {
          reply = svc.callback_digit.substr(0, 1);
        }
      }
      Run(db,
          "INSERT INTO RST_ORV (ORV_ID, USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, CUST_INFO2, CUST_INFO3, "
          "CUST_INFO4, CALLER_ID, RES_CODE, COMM_TIME, RES_REPLY, DIAL_DATE, DIAL_TIME, ANSWER_TIME, TRY_COUNT, "
          "USE_PAY, REG_DATE, REG_TIME, DELETE_FLAG) SELECT ORV_ID, USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, "
          "CUST_INFO2, CUST_INFO3, CUST_INFO4, CALLER_ID, ?, ?, ?, ?, ?, ?, ?, ?, REG_DATE, REG_TIME, '0' FROM "
          "REQ_ORV WHERE ORV_ID = ?",
          {static_cast<int64_t>(code), talk, reply, date, time, answer_time, tries, pay, req.orv_id});
      Run(db, "DELETE FROM REQ_ORV WHERE ORV_ID = ?", {req.orv_id});
      ++counts->results;
      if (pay > 0) Run(db, "UPDATE USER_INFO SET REMAIN_PAY = REMAIN_PAY - ? WHERE USER_ID = ?", {pay, svc.user});
      if (!svc.survey && !reply.empty()) {
        Run(db, "INSERT INTO CALLBACK_INFO (ORV_ID, USER_ID, SVC_ID, DIAL_DATE) VALUES (?,?,?,?)",
            {req.orv_id, svc.user, svc.id, date});
        ++counts->callbacks;
      }
      if (svc.survey && !reply.empty()) {
        const int64_t k = reply[0] - '0';
        const std::string now_col = "NO" + std::to_string(k) + "_NOW", cnt_col = "NO" + std::to_string(k) + "_CNT";
        Run(db,
            "UPDATE AGE_SAMPLE_INFO SET " + now_col + " = " + now_col + " + 1 WHERE SVC_ID = ? AND IS_USE = 1 AND ? >= "
                "COMPLETE_CNT AND (" + cnt_col + " = 0 OR " + now_col + " < " + cnt_col + ")",
            {svc.id, static_cast<int64_t>(reply.size())});
      }
    }
  }
  return {};
}

}  // namespace provider
