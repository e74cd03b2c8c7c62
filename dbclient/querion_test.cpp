// libQuerion against a scripted server: the client-side rules that do not
// depend on what the real service answers.
#include "dbclient/querion.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "dbclient/rdb_protocol.h"
#include "platform/codepage.h"
#include "rpc/server.h"

namespace {

// A server whose procedures the test scripts.
class FakeService {
 public:
  FakeService() {
    reply.result = 1;
    std::vector<rpc::Procedure> procs(12);
    for (uint16_t op = 0; op < 12; ++op) {
      procs[op] = [this, op](rpc::CallContext& cc, rpc::NdrReader& in) {
        ++calls;
        rdb::Request req = rdb::DecodeRequest(static_cast<rdb::Op>(op), in);
        last = req;
        if (op == 5 && req.texts[0] == "drop") throw std::runtime_error("connection dropped mid-call");
        if (deliver) deliver(cc, req);
        return rdb::EncodeReply(static_cast<rdb::Op>(op), reply);
      };
    }
    server.Register(rdb::Interface(), procs);
    std::string err;
    EXPECT_TRUE(server.Listen("127.0.0.1", "0", &err)) << err;
    port = std::to_string(server.port());
  }
  rpc::Server server;
  std::string port;
  std::atomic<int> calls{0};
  rdb::Request last;
  rdb::Reply reply;
  std::function<void(rpc::CallContext&, const rdb::Request&)> deliver;
};

// Sends callback 1 with the given count and text; returns the client's answer.
int32_t Bulk(rpc::CallContext& cc, int32_t count, const std::string& text) {
  rpc::NdrWriter w;
  w.SLong(7);
  w.SLong(3);
  w.SLong(count);
  w.String(text);
  auto answer = cc.Callback(rdb::kBulkRecordCallback, w.Take());
  rpc::NdrReader r(answer);
  return r.SLong();
}

struct Seen {
  std::vector<std::string> records;
  int stop_after = -1;
};
Seen* g_seen = nullptr;

int Collect(RDB_HANDLE, int32_t id, int32_t second, const char* record) {
  EXPECT_EQ(id, 7);
  EXPECT_EQ(second, 3);
  g_seen->records.push_back(record);
  return static_cast<int>(g_seen->records.size()) == g_seen->stop_after ? 0 : 1;
}

int g_messages = 0;
std::string g_last_message;
void CountMessages(const char* text, const char* caption) {
  ++g_messages;
  g_last_message = platform::Cp949ToUtf8(caption) + "|" + platform::Cp949ToUtf8(text);
}

TEST(Querion, ErrorRecordKeepsItsLayout) {
  EXPECT_EQ(sizeof(RDB_ERROR), 1008u);
  EXPECT_EQ(offsetof(RDB_ERROR, szMessage), 4u);
}

TEST(Querion, UnreachableServerFailsAtTheFirstCallNotAtOpen) {
  FakeService gone;
  std::string port = gone.port;
  gone.server.Stop();
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", port.c_str());
  ASSERT_NE(h, 0u);
  RDB_ERROR err{};
  EXPECT_EQ(RDBExecuteSQL(h, "NEW_ORV", "select 1", &err), -1722);
  EXPECT_EQ(err.nCode, -1722);
  EXPECT_STREQ(err.szMessage, "The RPC server is unavailable.");
  EXPECT_EQ(RDBIsReady(h), -1722);
  EXPECT_EQ(RDBServerClose(h), 0);
  EXPECT_EQ(RDBIsReady(h), -1702);  // a closed handle is no longer valid
}

TEST(Querion, NullPointersFailBeforeAnythingIsSent) {
  FakeService s;
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", s.port.c_str());
  RDB_ERROR err{};
  int32_t n = 0;
  char buf[4096];
  EXPECT_EQ(RDBExecuteSQL(h, "NEW_ORV", nullptr, &err), -1780);
  EXPECT_EQ(err.nCode, -1780);
  EXPECT_STREQ(err.szMessage, "A null reference pointer was passed to the stub.");
  EXPECT_EQ(RDBQueryRecord(h, "NEW_ORV", 1, "select 1", nullptr, &err), -1780);
  EXPECT_EQ(RDBQueryFirstRecord(h, nullptr, "select 1", buf, &err), -1780);
  EXPECT_EQ(RDBBulkExecuteSQL(h, "NEW_ORV", 1, "x~$#^@*", &n, nullptr), -1780);
  EXPECT_EQ(RDBExecuteSQLQueue(h, "a", "b", nullptr, "d", &err), -1780);
  EXPECT_EQ(s.calls.load(), 0);
  RDBServerClose(h);
}

TEST(Querion, ResultsCodesAndTextsComeFromTheServer) {
  FakeService s;
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", s.port.c_str());
  RDB_ERROR err{};
  s.reply.result = 0;
  s.reply.code = 208;
  s.reply.message = platform::Utf8ToCp949("개체 이름이 잘못되었습니다");
  EXPECT_EQ(RDBExecuteSQL(h, "NEW_ORV", "select * from NOPE", &err), 0);
  EXPECT_EQ(err.nCode, 208);
  EXPECT_EQ(platform::Cp949ToUtf8(err.szMessage), "개체 이름이 잘못되었습니다");
  EXPECT_EQ(s.last.db, "NEW_ORV");
  EXPECT_EQ(s.last.texts.at(0), "select * from NOPE");

  // The Wan form clears the record and gets only the code.
  std::memset(&err, 'x', sizeof err);
  EXPECT_EQ(RDBExecuteSQLWan(h, "NEW_ORV", "update X set a = 1", &err), 0);
  EXPECT_EQ(err.nCode, 208);
  EXPECT_STREQ(err.szMessage, "");

  // The small result is returned zero-extended.
  s.reply.result = static_cast<int8_t>(-56);  // 200 as an unsigned byte
  s.reply.code = 0;
  EXPECT_EQ(RDBExecuteSQLEx(h, "NEW_ORV", "x", &err), 200);

  s.reply.result = 1;
  s.reply.code = 0;
  s.reply.record = "1:;" + std::string(5000, 'r');  // more than a buffer holds
  char buf[4096];
  EXPECT_EQ(RDBQueryFirstRecord(h, "NEW_ORV", "select 1", buf, &err), 1);
  EXPECT_EQ(std::strlen(buf), 4095u);

  s.reply.value = 12;
  int32_t executed = 0;
  EXPECT_EQ(RDBBulkExecuteSQL(h, "NEW_ORV", 2, "a~$#^@*b~$#^@*", &executed, &err), 1);
  EXPECT_EQ(executed, 12);
  EXPECT_EQ(s.last.id, 2);

  EXPECT_EQ(RDBExecuteSQLQueue(h, "t1", "t2", "t3", "t4", &err), 1);
  EXPECT_EQ(s.last.texts, (std::vector<std::string>{"t1", "t2", "t3", "t4"}));
  RDBServerClose(h);
}

TEST(Querion, BulkCallbackSplitsRecordsAsTheCountAndSeparatorsAllow) {
  FakeService s;
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", s.port.c_str());
  struct Case {
    int32_t count;
    std::string text;
    int stop_after;
    std::vector<std::string> want;
    int32_t answer;
  } cases[] = {
      {3, "a:;~$#^@*b:;~$#^@*", -1, {"a:;", "b:;"}, 1},          // fewer separators than the count
      {1, "a:;~$#^@*b:;~$#^@*", -1, {"a:;"}, 1},                 // the count ends it
      {2, "a:;~$#^@*b:;~$#^@*tail", -1, {"a:;", "b:;"}, 1},      // text after the last separator ignored
      {3, "a:;~$#^@*b:;~$#^@*c:;~$#^@*", 2, {"a:;", "b:;"}, 0},  // the handler asks to stop
      {2, ":;:;~$#^@*~$#^@*", -1, {":;:;", ""}, 1},              // empty values and an empty record
  };
  for (const Case& c : cases) {
    Seen seen;
    seen.stop_after = c.stop_after;
    g_seen = &seen;
    int32_t answer = -1;
    s.deliver = [&](rpc::CallContext& cc, const rdb::Request&) { answer = Bulk(cc, c.count, c.text); };
    RDBSetEventCallBackFN(&Collect);
    RDB_ERROR err{};
    int32_t rows = 0;
    EXPECT_EQ(RDBBulkQueryRecord(h, "NEW_ORV", 7, "select", &rows, &err), 1);
    EXPECT_EQ(seen.records, c.want) << c.text;
    EXPECT_EQ(answer, c.answer) << c.text;
  }
  g_seen = nullptr;
  RDBServerClose(h);
}

TEST(Querion, RecordCallbackAndTheDefaultHandler) {
  FakeService s;
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", s.port.c_str());
  std::vector<int32_t> answers;
  s.deliver = [&](rpc::CallContext& cc, const rdb::Request& req) {
    for (int i = 0; i < 3; ++i) {
      rpc::NdrWriter w;
      w.SLong(req.id);
      w.SLong(req.second);
      w.String("r" + std::to_string(i) + ":;");
      auto a = cc.Callback(rdb::kRecordCallback, w.Take());
      rpc::NdrReader r(a);
      answers.push_back(r.SLong());
    }
  };
  // No handler installed: the default one shows its message once per record.
  RDBSetEventCallBackFN(nullptr);
  RDBSetMessageHook(&CountMessages);
  g_messages = 0;
  RDB_ERROR err{};
  int32_t rows = 0;
  EXPECT_EQ(RDBQueryRecordEx(h, "NEW_ORV", 7, 3, "select", &rows, &err), 1);
  EXPECT_EQ(g_messages, 3);
  EXPECT_EQ(g_last_message, "RPC LIB 에러|함수 포인터가 초기화 되지 않았습니다");
  EXPECT_EQ(answers, (std::vector<int32_t>{1, 1, 1}));
  RDBSetMessageHook(nullptr);

  Seen seen;
  seen.stop_after = 2;
  g_seen = &seen;
  answers.clear();
  RDBSetEventCallBackFN(&Collect);
  EXPECT_EQ(RDBQueryRecordEx(h, "NEW_ORV", 7, 3, "select", &rows, &err), 1);
  EXPECT_EQ(answers, (std::vector<int32_t>{1, 0, 1}));  // callback 0 returns the handler's own answer
  g_seen = nullptr;
  RDBServerClose(h);
}

TEST(Querion, RpcFailuresMapToNegativeStatuses) {
  FakeService s;
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", s.port.c_str());
  RDB_ERROR err{};
  EXPECT_EQ(RDBExecuteSQLQueue(h, "drop", "", "", "", &err), -1726);  // server gone mid-call
  EXPECT_STREQ(err.szMessage, "The remote procedure call failed.");
  EXPECT_EQ(RDBIsReady(h), 1);  // the next call reconnects
  // A callback the client does not know: the server's call fails, the client reports it.
  s.deliver = [&](rpc::CallContext& cc, const rdb::Request&) {
    EXPECT_THROW(cc.Callback(5, {}), rpc::FaultReceived);
  };
  int32_t rows;
  EXPECT_EQ(RDBQueryRecord(h, "NEW_ORV", 1, "select", &rows, &err), 1);
  RDBServerClose(h);
  EXPECT_EQ(RDBServerOpen("127.0.0.1", nullptr), 0u);
}

TEST(Querion, UnknownProcedureIsOutOfRange) {
  // A service that lacks procedure 8.
  rpc::Server server;
  std::vector<rpc::Procedure> procs(8, [](rpc::CallContext&, rpc::NdrReader&) { return std::vector<uint8_t>{1}; });
  server.Register(rdb::Interface(), procs);
  std::string e;
  ASSERT_TRUE(server.Listen("127.0.0.1", "0", &e));
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", std::to_string(server.port()).c_str());
  RDB_ERROR err{};
  char buf[4096];
  EXPECT_EQ(RDBQueryFirstRecord(h, "NEW_ORV", "select 1", buf, &err), -1745);
  EXPECT_EQ(err.nCode, -1745);
  EXPECT_STREQ(err.szMessage, "The procedure number is out of range.");
  RDBServerClose(h);
}

}  // namespace
