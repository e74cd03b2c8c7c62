// The exports of libQuerion: binding handles over the RPC run-time, the
// call frame that turns every RPC failure into a negative result plus an
// error record, and the dispatch of the server's record callbacks.
#include "dbclient/querion.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "dbclient/rdb_protocol.h"
#include "platform/codepage.h"
#include "rpc/client.h"
#include "rpc/status.h"
#include "rpc/string_binding.h"

static_assert(sizeof(RDB_ERROR) == 1008, "RDB_ERROR must keep its 1008-byte layout");

namespace {

// Binding handles given out by RDBServerOpen. The C interface hands out
// 32-bit values, so the library keeps what they stand for.
class HandleTable {
 public:
  RDB_HANDLE Add(std::shared_ptr<rpc::Binding> b) {
    std::lock_guard<std::mutex> lock(mu_);
    RDB_HANDLE h = next_++;
    if (next_ == 0) next_ = 1;
    map_[h] = std::move(b);
    return h;
  }
  std::shared_ptr<rpc::Binding> Find(RDB_HANDLE h) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = map_.find(h);
    return it == map_.end() ? nullptr : it->second;
  }
  bool Remove(RDB_HANDLE h) {
    std::lock_guard<std::mutex> lock(mu_);
    return map_.erase(h) > 0;
  }

 private:
  std::mutex mu_;
  RDB_HANDLE next_ = 0x51000001;
  std::map<RDB_HANDLE, std::shared_ptr<rpc::Binding>> map_;
};

HandleTable& Handles() {
  static HandleTable* t = new HandleTable;  // never destroyed: exports may run during exit
  return *t;
}

std::atomic<RDB_MESSAGE_HOOK> g_message_hook{nullptr};

int DefaultRecordHandler(RDB_HANDLE, int32_t, int32_t, const char*) {
  static const std::string text = platform::Utf8ToCp949("함수 포인터가 초기화 되지 않았습니다");
  static const std::string caption = platform::Utf8ToCp949("RPC LIB 에러");
  if (RDB_MESSAGE_HOOK hook = g_message_hook.load()) {
    hook(text.c_str(), caption.c_str());
  } else {
    std::fprintf(stderr, "%s: %s\n", platform::Cp949ToUtf8(caption).c_str(), platform::Cp949ToUtf8(text).c_str());
  }
  return 1;
}

std::atomic<RDB_RECORD_HANDLER> g_record_handler{&DefaultRecordHandler};

void FillRpcError(RDB_ERROR* err, uint32_t code) {
  if (!err) return;
  err->nCode = -static_cast<int32_t>(code);
  std::string text = rpc::StatusText(code);
  if (!text.empty()) {
    if (text.size() > 255) text.resize(255);
    std::memcpy(err->szMessage, text.c_str(), text.size() + 1);
  }
}

// The server's record callbacks during a query call.
rpc::CallbackDispatch RecordCallbacks(RDB_HANDLE h) {
  return [h](uint16_t opnum, const std::vector<uint8_t>& stub) {
    rpc::NdrReader in(stub);
    RDB_RECORD_HANDLER handler = g_record_handler.load();
    rpc::NdrWriter out;
    if (opnum == rdb::kRecordCallback) {
      int32_t id = in.SLong();
      int32_t second = in.SLong();
      std::string record = in.String();
      out.SLong(handler(h, id, second, record.c_str()));
    } else if (opnum == rdb::kBulkRecordCallback) {
      int32_t id = in.SLong();
      int32_t second = in.SLong();
      int32_t count = in.SLong();
      std::string text = in.String();
      // Each record ends with the separator; text after the last one is
      // ignored and fewer separators than the count end early.
      int32_t answer = 1;
      std::size_t pos = 0;
      std::string record;
      for (int32_t i = 0; i < count; ++i) {
        std::size_t sep = text.find(rdb::kRecordEnd, pos);
        if (sep == std::string::npos) break;
        record.assign(text, pos, sep - pos);
        pos = sep + 6;
        if (handler(h, id, second, record.c_str()) == 0) {
          answer = 0;
          break;
        }
      }
      out.SLong(answer);
    } else {
      throw rpc::FaultToSend(rpc::kNcaOpRangeError);
    }
    return out.Take();
  };
}

// The call frame: run the stub, map any exception to minus its status.
template <typename F>
int Guarded(RDB_ERROR* err, F&& body) {
  try {
    return body();
  } catch (const rpc::Error& e) {
    FillRpcError(err, e.code());
    return -static_cast<int>(e.code());
  } catch (const rpc::NdrError&) {
    FillRpcError(err, rpc::kBadStubData);
    return -static_cast<int>(rpc::kBadStubData);
  } catch (const std::bad_alloc&) {
    FillRpcError(err, rpc::kOutOfMemory);
    return -static_cast<int>(rpc::kOutOfMemory);
  } catch (...) {
    FillRpcError(err, rpc::kCallFailed);
    return -static_cast<int>(rpc::kCallFailed);
  }
}

rdb::Reply Call(RDB_HANDLE h, rdb::Op op, const rdb::Request& req, bool with_callbacks) {
  std::shared_ptr<rpc::Binding> b = Handles().Find(h);
  if (!b) throw rpc::Error(rpc::kInvalidBinding);
  std::vector<uint8_t> stub = b->Call(rdb::Interface(), op, rdb::EncodeRequest(op, req),
                                      with_callbacks ? RecordCallbacks(h) : rpc::CallbackDispatch{});
  return rdb::DecodeReply(op, stub);
}

void CopyError(const rdb::Reply& r, RDB_ERROR* err) {
  err->nCode = r.code;
  std::size_t n = r.message.size() < sizeof err->szMessage - 1 ? r.message.size() : sizeof err->szMessage - 1;
  std::memcpy(err->szMessage, r.message.data(), n);
  err->szMessage[n] = 0;
}

int NullPointer(RDB_ERROR* err) {
  FillRpcError(err, rpc::kNullRefPointer);
  return -static_cast<int>(rpc::kNullRefPointer);
}

int Small(const rdb::Reply& r) { return static_cast<uint8_t>(r.result); }

// opnums 1 and 4: statement in, error record out.
int Execute(rdb::Op op, RDB_HANDLE h, const char* db, const char* sql, RDB_ERROR* err) {
  if (!db || !sql || !err) return NullPointer(err);
  return Guarded(err, [&] {
    rdb::Reply r = Call(h, op, rdb::Request{db, {sql}}, false);
    CopyError(r, err);
    return Small(r);
  });
}

int Query(rdb::Op op, RDB_HANDLE h, const char* db, int32_t id, int32_t second, const char* sql, int32_t* rows,
          RDB_ERROR* err) {
  if (!db || !sql || !rows || !err) return NullPointer(err);
  return Guarded(err, [&] {
    rdb::Request req{db, {sql}, id, second};
    rdb::Reply r = Call(h, op, req, true);
    *rows = r.value;
    CopyError(r, err);
    return Small(r);
  });
}

int FirstRecord(rdb::Op op, RDB_HANDLE h, const char* db, int32_t value, const char* sql, char* record,
                RDB_ERROR* err) {
  if (!db || !sql || !record || !err) return NullPointer(err);
  return Guarded(err, [&] {
    rdb::Reply r = Call(h, op, rdb::Request{db, {sql}, value}, false);
    std::size_t n = r.record.size() < rdb::kFirstRecordSize - 1 ? r.record.size() : rdb::kFirstRecordSize - 1;
    std::memcpy(record, r.record.data(), n);
    record[n] = 0;
    CopyError(r, err);
    return Small(r);
  });
}

}  // namespace

extern "C" {

RDB_HANDLE RDBServerOpen(const char* pszAddress, const char* pszPort) {
  if (!pszAddress || !pszPort) return 0;
  char addr[100];
  char port[100];
  std::snprintf(addr, sizeof addr, "%s", pszAddress);
  std::snprintf(port, sizeof port, "%s", pszPort);
  std::printf("Querion, pszEndpoint ip(%s) port(%s)\n", addr, port);
  std::printf("Querion, Rpc nfo Addr(%s), Prot(%s), Port(%s)\n", addr, "ncacn_ip_tcp", port);
  std::string text = rpc::ComposeStringBinding({"", std::string(rpc::kProtseqTcp), addr, port, ""});
  std::printf("Querion, RpcStringBindingCompose returned 0x%x\n", 0u);
  std::printf("Querion, pszStringBinding = %s\n", text.c_str());
  std::unique_ptr<rpc::Binding> binding;
  uint32_t status = rpc::Binding::FromString(text, rpc::ClientOptions::FromEnvironment(), &binding);
  std::printf("Client, RpcBindingFromStringBinding returned 0x%x\n", status);
  std::printf("RpcStringFree returned 0x%x\n", 0u);
  std::fflush(stdout);
  if (status != rpc::kOk) return 0;
  return Handles().Add(std::move(binding));
}

int32_t RDBServerClose(RDB_HANDLE hBinding) {
  return Handles().Remove(hBinding) ? 0 : static_cast<int32_t>(rpc::kInvalidBinding);
}

int RDBIsReady(RDB_HANDLE hBinding) {
  return Guarded(nullptr, [&] { return Small(Call(hBinding, rdb::kIsReady, {}, false)); });
}

int RDBExecuteSQL(RDB_HANDLE h, const char* db, const char* sql, RDB_ERROR* err) {
  return Execute(rdb::kExecuteSQL, h, db, sql, err);
}

int RDBExecuteSQLEx(RDB_HANDLE h, const char* db, const char* sql, RDB_ERROR* err) {
  return Execute(rdb::kExecuteSQLEx, h, db, sql, err);
}

int RDBExecuteSQLWan(RDB_HANDLE h, const char* db, const char* sql, RDB_ERROR* err) {
  if (!db || !sql || !err) return NullPointer(err);
  std::memset(err, 0, sizeof *err);
  return Guarded(err, [&] {
    rdb::Reply r = Call(h, rdb::kExecuteSQLWan, rdb::Request{db, {sql}}, false);
    err->nCode = r.code;
    return Small(r);
  });
}

int RDBExecuteSQLQueue(RDB_HANDLE h, const char* t1, const char* t2, const char* t3, const char* t4,
                       RDB_ERROR* err) {
  if (!t1 || !t2 || !t3 || !t4 || !err) return NullPointer(err);
  return Guarded(err, [&] {
    rdb::Reply r = Call(h, rdb::kExecuteSQLQueue, rdb::Request{"", {t1, t2, t3, t4}}, false);
    CopyError(r, err);
    return Small(r);
  });
}

int RDBBulkExecuteSQL(RDB_HANDLE h, const char* db, int32_t count, const char* batch, int32_t* executed,
                      RDB_ERROR* err) {
  if (!db || !batch || !executed || !err) return NullPointer(err);
  return Guarded(err, [&] {
    rdb::Reply r = Call(h, rdb::kBulkExecuteSQL, rdb::Request{db, {batch}, count}, false);
    *executed = r.value;
    CopyError(r, err);
    return Small(r);
  });
}

int RDBQueryRecord(RDB_HANDLE h, const char* db, int32_t id, const char* sql, int32_t* rows, RDB_ERROR* err) {
  return Query(rdb::kQueryRecord, h, db, id, 0, sql, rows, err);
}

int RDBBulkQueryRecord(RDB_HANDLE h, const char* db, int32_t id, const char* sql, int32_t* rows, RDB_ERROR* err) {
  return Query(rdb::kBulkQueryRecord, h, db, id, 0, sql, rows, err);
}

int RDBQueryRecordEx(RDB_HANDLE h, const char* db, int32_t id, int32_t second, const char* sql, int32_t* rows,
                     RDB_ERROR* err) {
  return Query(rdb::kQueryRecordEx, h, db, id, second, sql, rows, err);
}

int RDBQueryFirstRecord(RDB_HANDLE h, const char* db, const char* sql, char* record, RDB_ERROR* err) {
  return FirstRecord(rdb::kQueryFirstRecord, h, db, 0, sql, record, err);
}

int RDBQueryFirstRecordEx(RDB_HANDLE h, const char* db, int32_t value, const char* sql, char* record,
                          RDB_ERROR* err) {
  return FirstRecord(rdb::kQueryFirstRecordEx, h, db, value, sql, record, err);
}

RDB_RECORD_HANDLER RDBSetEventCallBackFN(RDB_RECORD_HANDLER handler) {
  g_record_handler.store(handler ? handler : &DefaultRecordHandler);
  return handler;
}

RDB_MESSAGE_HOOK RDBSetMessageHook(RDB_MESSAGE_HOOK hook) {
  g_message_hook.store(hook);
  return hook;
}

}  // extern "C"
