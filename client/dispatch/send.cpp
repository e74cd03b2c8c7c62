#include "client/dispatch/send.h"

#include <algorithm>
#include <cstring>

#include "client/app/sql_text.h"
#include "client/app/text_util.h"
#include "client/dispatch/import.h"
#include "platform/codepage.h"

namespace dispatch {

namespace {
bool AllDigits(const std::string& s, std::size_t n) {
  return s.size() == n && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}
}  // namespace

std::string CheckSendParams(const SendParams& p) {
  if (p.service_id.empty() || p.service_id.size() > 18 ||
      !std::all_of(p.service_id.begin(), p.service_id.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return "service ID must be digits: '" + p.service_id + "'";
  if (!AllDigits(p.reg_date, 8)) return "registration date must be YYYYMMDD: '" + p.reg_date + "'";
  if (!AllDigits(p.reg_time, 6)) return "registration time must be HHMMSS: '" + p.reg_time + "'";
  if ((p.ministry_flag != 0 && p.ministry_flag != 1) || (p.user_flag != 0 && p.user_flag != 1))
    return "deny-list flags must be 0 or 1";
  return {};
}

std::string BuildReqOrvStatement(const SendParams& p, const TargetList& list, std::size_t row) {
  std::string s;
  s.reserve(160);
  auto q = [&s](std::string_view v) { s += SqlText(v); };
  s += "exec P_INSERT_REQ_ORV '";
  q(p.user_id);
  s += "', ";
  s += p.service_id;
  s += ",'";
  q(p.title);
  s += "','";
  s += GetDigits(list.Cell(row, 1));
  for (int c = 2; c <= 5; ++c) {
    s += "','";
    q(list.Cell(row, c));
  }
  s += "','";
  s += GetDigits(p.callback);
  s += "','000000000000','";
  s += p.reg_date;
  s += "','";
  s += p.reg_time;
  s += "',";
  s += std::to_string(p.ministry_flag);
  s += ",";
  s += std::to_string(p.user_flag);
  return s;
}

std::string CountSentQuery(const SendParams& p) {
  // The title belongs to the key of a send: two sends of one service within
  // the same second (orv-send runs in a script) are told apart by it.
  return "select count(*) from REQ_ORV with(nolock) where SVC_ID = " + p.service_id + " and REG_DATE = '" +
         p.reg_date + "' and REG_TIME = '" + p.reg_time + "' and TITLE = '" + SqlText(p.title) + "' ";
}

int QuerionSendTarget::BulkExecute(const CSQLBatch& batch, std::int32_t* executed, std::string* error) {
  RDB_ERROR e{};
  const std::string text = platform::Utf8ToCp949(batch.GetText());
  const int r = RDBBulkExecuteSQL(handle_, database_.c_str(), batch.GetCount(), text.c_str(), executed, &e);
  if (r < 1 && error) *error = "(" + std::to_string(e.nCode) + ") " + platform::Cp949ToUtf8(e.szMessage);
  return r;
}

bool QuerionSendTarget::QueryFirstValue(const std::string& sql, std::string* value) {
  RDB_ERROR e{};
  std::string record(4096, '\0');
  const std::string text = platform::Utf8ToCp949(sql);
  const int r = RDBQueryFirstRecord(handle_, database_.c_str(), text.c_str(), record.data(), &e);
  if (r < 1 || e.nCode != 0) return false;
  record.resize(std::strlen(record.c_str()));
  const std::size_t end = record.find(":;");
  *value = platform::Cp949ToUtf8(record.substr(0, end));
  return true;
}

SendOutcome RunSend(TargetList& list, const SendParams& params, SendTarget& target, const std::atomic<bool>* stop,
                    const SendCallbacks& cb, long rows_in_send) {
  SendOutcome out;
  const long n = static_cast<long>(list.size());
  if (rows_in_send < 0) rows_in_send = n;
  CSQLBatch batch;
  std::size_t i = 0;

  // Executes the batch and removes the rows it reports executed; false on
  // failure (the rows not reported stay in the list).
  auto execute = [&]() {
    std::int32_t executed = 0;
    std::string error;
    const int r = target.BulkExecute(batch, &executed, &error);
    const long done = std::clamp<long>(executed, 0, batch.GetCount());
    list.RemoveFront(static_cast<std::size_t>(done));
    out.removed += done;
    if (cb.batch_done) cb.batch_done(out.removed);
    if (r < 1) {
      out.failed = true;
      out.error = error;
      return false;
    }
    return true;
  };

  while (out.processed < n) {
    if (cb.progress) cb.progress(out.processed + 1, n);
    const std::string stmt = BuildReqOrvStatement(params, list, i);
    CSQLBatch::AddResult a = batch.TryAdd(stmt);
    if (a == CSQLBatch::AddResult::kFull) {
      if (!execute()) return out;
      batch.Clear();
      a = batch.TryAdd(stmt);
      i = 0;
    }
    if (a != CSQLBatch::AddResult::kAdded) {
      // A statement that never fits is a row the service could not take
      // either; sending stops before it, leaving it and what follows.
      if (batch.GetCount() > 0 && !execute()) return out;
      out.failed = true;
      out.error = "row " + std::string(list.Cell(i, 0)) + " does not fit into a statement batch";
      return out;
    }
    ++out.processed;
    ++i;
    if (stop && stop->load()) {
      out.stopped = true;
      break;
    }
  }
  if (batch.GetCount() > 0) execute();

  std::string value;
  out.counted = target.QueryFirstValue(CountSentQuery(params), &value);
  out.stored = out.counted ? std::atol(value.c_str()) : 0;
  const long finished = rows_in_send - static_cast<long>(list.size());
  out.summary = FormatMessage(kSendSummary,
                              {std::to_string(finished), std::to_string(std::max(0L, finished - out.stored))});
  return out;
}

void SendSession::Begin(const SendParams& params, std::size_t list_rows) {
  if (pending_) return;
  params_ = params;
  rows_in_send_ = static_cast<long>(list_rows);
  pending_ = true;
}

SendOutcome SendSession::Run(TargetList& list, SendTarget& target, const std::atomic<bool>* stop,
                             const SendCallbacks& callbacks) {
  SendOutcome o = RunSend(list, params_, target, stop, callbacks, rows_in_send_);
  if (!o.failed && !o.stopped) pending_ = false;
  return o;
}

}  // namespace dispatch
