#include "provider/dbservice.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "dbclient/rdb_protocol.h"
#include "platform/codepage.h"
#include "provider/sql/engine.h"
#include "rpc/channel.h"
#include "rpc/status.h"

namespace provider {
namespace {

struct Session {
  std::unique_ptr<Engine> engine;
  std::string open_error;
};


// The record in UTF-8; the field and record marks are ASCII, so converting
// a whole batch of them at once gives the same bytes as converting each
// field, with one conversion instead of one per field.
void AppendRecordUtf8(std::string* out, const std::vector<std::string>& fields) {
  for (const std::string& f : fields) {
    out->append(f);
    out->append(rdb::kFieldEnd);
  }
}

void AppendRecord(std::string* out, const std::vector<std::string>& fields) {
  for (const std::string& f : fields) {
    out->append(platform::Utf8ToCp949(f));
    out->append(rdb::kFieldEnd);
  }
}

// A callback that failed: a broken connection ends the call (and the
// connection); a fault from the client (no record handler table, a
// handler that could not decode the record) answers the call with a fault.
[[noreturn]] void Fail(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const rpc::FaultReceived& f) {
    throw rpc::FaultToSend(rpc::kNcaFaultUnspec);
  }
}

rdb::Reply FromResult(const ExecResult& r) {
  rdb::Reply reply;
  reply.code = r.code;
  reply.result = (r.code == 0 || r.code == 1) ? 1 : 0;
  if (!r.message.empty()) reply.message = platform::Utf8ToCp949(r.message);
  return reply;
}

}  // namespace

void DbService::RegisterOn(rpc::Server& server) {
  const DbServiceOptions& opt = options_;
  server.SetSessionFactory([&opt]() -> std::shared_ptr<void> {
    auto s = std::make_shared<Session>();
    s->engine = Engine::Open(opt.db_path, &s->open_error);
    if (s->engine && opt.configure) opt.configure(*s->engine);
    return s;
  });

  auto handler = [&opt](rdb::Op op) -> rpc::Procedure {
    return [&opt, op](rpc::CallContext& cc, rpc::NdrReader& in) {
      rdb::Request req = rdb::DecodeRequest(op, in);
      rdb::Reply reply;
      if (op == rdb::kIsReady) {
        reply.result = 1;
        return rdb::EncodeReply(op, reply);
      }
      auto* session = static_cast<Session*>(cc.session());
      if (!session || !session->engine) {
        reply.code = sqlcode::kStorage;
        reply.message = platform::Utf8ToCp949("database unavailable: " + (session ? session->open_error : ""));
        return rdb::EncodeReply(op, reply);
      }
      Engine& engine = *session->engine;
      std::string sql = platform::Cp949ToUtf8(op == rdb::kExecuteSQLQueue ? req.texts.at(1) : req.texts.at(0));
      switch (op) {
        case rdb::kExecuteSQL:
        case rdb::kExecuteSQLEx:
        case rdb::kExecuteSQLQueue:
        case rdb::kExecuteSQLWan: {
          ExecResult r = engine.Execute(sql, [](const std::vector<std::string>&) { return true; });
          reply = FromResult(r);
          break;
        }
        case rdb::kBulkExecuteSQL: {
          int32_t executed = 0;
          ExecResult r = engine.ExecuteBatch(sql, req.id, &executed);
          reply = FromResult(r);
          reply.value = executed;
          break;
        }
        case rdb::kQueryFirstRecord:
        case rdb::kQueryFirstRecordEx: {
          std::vector<std::string> fields;
          ExecResult r = engine.ExecuteFirst(sql, &fields);
          reply = FromResult(r);
          if (r.code == sqlcode::kOk) AppendRecord(&reply.record, fields);
          break;
        }
        case rdb::kQueryRecordEx: {
          int32_t rows = 0;
          bool stopped = false;
          std::exception_ptr failure;
          ExecResult r = engine.Execute(sql, [&](const std::vector<std::string>& fields) {
            std::string record;
            AppendRecord(&record, fields);
            rpc::NdrWriter w;
            w.SLong(req.id);
            w.SLong(req.second);
            w.String(record);
            try {
              std::vector<uint8_t> answer = cc.Callback(rdb::kRecordCallback, w.Take());
              ++rows;
              rpc::NdrReader a(answer);
              stopped = a.SLong() == 0;
            } catch (...) {
              failure = std::current_exception();  // raised after the engine has let go of the statement
              stopped = true;
            }
            return !stopped;
          });
          if (failure) Fail(failure);
          reply = FromResult(r);
          reply.value = rows;
          break;
        }
        case rdb::kQueryRecord:
        case rdb::kBulkQueryRecord: {
          int32_t rows = 0, pending = 0, batch_no = 0;
          bool stopped = false;
          std::string text;
          std::exception_ptr failure;
          auto flush = [&]() {
            if (pending == 0 || stopped) return;
            rpc::NdrWriter w;
            w.SLong(req.id);
            w.SLong(batch_no++);
            w.SLong(pending);
            w.String(platform::Utf8ToCp949(text));
            try {
              std::vector<uint8_t> answer = cc.Callback(rdb::kBulkRecordCallback, w.Take());
              rows += pending;
              rpc::NdrReader a(answer);
              stopped = a.SLong() == 0;
            } catch (...) {
              failure = std::current_exception();
              stopped = true;
            }
            pending = 0;
            text.clear();
          };
          ExecResult r = engine.Execute(sql, [&](const std::vector<std::string>& fields) {
            AppendRecordUtf8(&text, fields);
            text.append(rdb::kRecordEnd);
            ++pending;
            if (text.size() >= opt.batch_bytes || pending >= opt.batch_rows) flush();
            return !stopped;
          });
          if (r.code == 0) flush();
          if (failure) Fail(failure);
          reply = FromResult(r);
          reply.value = rows;
          break;
        }
        default:
          throw rpc::FaultToSend(rpc::kNcaOpRangeError);
      }
      return rdb::EncodeReply(op, reply);
    };
  };

  std::vector<rpc::Procedure> procs;
  for (uint16_t op = 0; op <= rdb::kBulkQueryRecord; ++op) procs.push_back(handler(static_cast<rdb::Op>(op)));
  // Opnum 11 is declared but has no meaning: it answers with nothing.
  procs.push_back([](rpc::CallContext&, rpc::NdrReader&) { return std::vector<uint8_t>(); });
  server.Register(rdb::Interface(), std::move(procs));
}

}  // namespace provider
