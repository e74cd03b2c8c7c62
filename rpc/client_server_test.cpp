#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "rpc/client.h"
#include "rpc/server.h"
#include "rpc/status.h"
#include "rpc/string_binding.h"

namespace rpc {
namespace {

const SyntaxId kTest{*Uuid::Parse("11112222-3333-4444-5555-666677778888"), 1, 0};

std::vector<uint8_t> LongStub(uint32_t v) {
  NdrWriter w;
  w.Long(v);
  return w.Take();
}

// A test interface:
//   0 echo:      [in,string] text, [in] long n -> [out,string] text, long n+1
//   1 deliver:   [in] long k -> server calls callback 0 with i = 0..k-1 until it returns 0; returns calls made
//   2 nested:    [in] long depth -> callback 1 with depth; the client calls opnum 2 again with depth-1
//   3 sleep:     [in] long ms
//   4 blob:      [in] conformant varying bytes -> the same bytes reversed
//   5 drop:      the server ends the connection mid-call
class TestServer {
 public:
  explicit TestServer(ServerOptions o = {}) : server(o) {
    std::vector<Procedure> p(6);
    p[0] = [](CallContext&, NdrReader& in) {
      std::string s = in.String();
      uint32_t n = in.Long();
      NdrWriter w;
      w.String(s);
      w.Long(n + 1);
      return w.Take();
    };
    p[1] = [](CallContext& cc, NdrReader& in) {
      uint32_t k = in.Long();
      uint32_t made = 0;
      for (uint32_t i = 0; i < k; ++i) {
        auto r = cc.Callback(0, LongStub(i));
        ++made;
        NdrReader rr(r);
        if (rr.Long() == 0) break;
      }
      return LongStub(made);
    };
    p[2] = [](CallContext& cc, NdrReader& in) {
      uint32_t depth = in.Long();
      if (depth == 0) return LongStub(0);
      auto r = cc.Callback(1, LongStub(depth));
      NdrReader rr(r);
      return LongStub(rr.Long() + 1);
    };
    p[3] = [](CallContext&, NdrReader& in) {
      std::this_thread::sleep_for(std::chrono::milliseconds(in.Long()));
      return LongStub(0);
    };
    p[4] = [](CallContext&, NdrReader& in) {
      auto v = in.ConformantVaryingBytes();
      std::vector<uint8_t> rev(v.rbegin(), v.rend());
      NdrWriter w;
      w.ConformantVaryingBytes(rev.data(), static_cast<uint32_t>(rev.size()));
      return w.Take();
    };
    p[5] = [](CallContext&, NdrReader&) -> std::vector<uint8_t> { throw std::runtime_error("drop"); };
    server.Register(kTest, std::move(p));
    std::string err;
    EXPECT_TRUE(server.Listen("127.0.0.1", "0", &err)) << err;
  }
  std::string binding() const { return "ncacn_ip_tcp:127.0.0.1[" + std::to_string(server.port()) + "]"; }
  Server server;
};

std::unique_ptr<Binding> Bind(const std::string& text, ClientOptions o = {}) {
  std::unique_ptr<Binding> b;
  EXPECT_EQ(Binding::FromString(text, o, &b), kOk);
  return b;
}

uint32_t CallStatus(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.code();
  }
  return 0;
}

TEST(ClientServer, EchoAndLargeStubsFragmentBothWays) {
  TestServer ts;
  auto b = Bind(ts.binding());
  NdrWriter w;
  w.String("\xB0\xA1 hello");
  w.Long(41);
  auto r_stub = b->Call(kTest, 0, w.bytes());
  NdrReader r(r_stub);
  EXPECT_EQ(r.String(), "\xB0\xA1 hello");
  EXPECT_EQ(r.Long(), 42u);

  for (uint32_t n : {0u, 5815u, 5816u, 200000u}) {
    std::vector<uint8_t> blob(n);
    for (uint32_t i = 0; i < n; ++i) blob[i] = static_cast<uint8_t>(i % 251);
    NdrWriter bw;
    bw.ConformantVaryingBytes(blob.data(), n);
    auto br_stub = b->Call(kTest, 4, bw.bytes());
  NdrReader br(br_stub);
    auto got = br.ConformantVaryingBytes();
    EXPECT_EQ(std::vector<uint8_t>(got.rbegin(), got.rend()), blob) << n;
  }
}

TEST(ClientServer, CallbacksRunInOrderAndStopWhenHandlerSaysSo) {
  TestServer ts;
  auto b = Bind(ts.binding());
  std::vector<uint32_t> seen;
  CallbackDispatch cb = [&](uint16_t opnum, const std::vector<uint8_t>& stub) {
    EXPECT_EQ(opnum, 0);
    NdrReader r(stub);
    seen.push_back(r.Long());
    return LongStub(seen.size() < 3 ? 1 : 0);  // ask to stop after the third
  };
  auto r_stub = b->Call(kTest, 1, LongStub(10), cb);
  NdrReader r(r_stub);
  EXPECT_EQ(r.Long(), 3u);
  EXPECT_EQ(seen, (std::vector<uint32_t>{0, 1, 2}));
}

TEST(ClientServer, CallbacksNestWithCallsBackIntoTheServer) {
  TestServer ts;
  auto b = Bind(ts.binding());
  int deepest = 0;
  CallbackDispatch cb;
  cb = [&](uint16_t opnum, const std::vector<uint8_t>& stub) {
    EXPECT_EQ(opnum, 1);
    NdrReader r(stub);
    uint32_t depth = r.Long();
    deepest = std::max<int>(deepest, static_cast<int>(depth));
    // A call made inside the callback goes out on the same connection.
    return b->Call(kTest, 2, LongStub(depth - 1), cb);
  };
  auto r_stub = b->Call(kTest, 2, LongStub(6), cb);
  NdrReader r(r_stub);
  EXPECT_EQ(r.Long(), 6u);
  EXPECT_EQ(deepest, 6);
  EXPECT_EQ(ts.server.connections(), 1);
}

TEST(ClientServer, FailureStatuses) {
  TestServer ts;
  auto b = Bind(ts.binding());
  EXPECT_EQ(CallStatus([&] { b->Call(kTest, 9, {}); }), kProcnumOutOfRange);
  EXPECT_EQ(CallStatus([&] { b->Call(kTest, 0, LongStub(1)); }), kBadStubData);
  // The association survives faults.
  EXPECT_EQ(CallStatus([&] { b->Call(kTest, 3, LongStub(0)); }), 0u);

  SyntaxId other = kTest;
  other.major = 2;
  EXPECT_EQ(CallStatus([&] { b->Call(other, 0, {}); }), kUnknownIf);

  EXPECT_EQ(CallStatus([&] { b->Call(kTest, 5, {}); }), kCallFailed);  // server gone mid-call
  EXPECT_EQ(CallStatus([&] { b->Call(kTest, 3, LongStub(0)); }), 0u);   // reconnects

  // A callback the client does not have: the server sees a fault; the call goes on.
  EXPECT_EQ(CallStatus([&] { b->Call(kTest, 1, LongStub(1)); }), kCallFailed);
}

TEST(ClientServer, RefusedAndUnresponsivePeers) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  std::string port = std::to_string(ntohs(a.sin_port));
  close(fd);  // nothing listens there now
  auto refused = Bind("ncacn_ip_tcp:127.0.0.1[" + port + "]");
  EXPECT_EQ(CallStatus([&] { refused->Call(kTest, 0, {}); }), kServerUnavailable);
  EXPECT_EQ(StatusText(kServerUnavailable), "The RPC server is unavailable.");

  TestServer ts;
  ClientOptions quick;
  quick.channel.io_timeout_ms = 300;
  auto b = Bind(ts.binding(), quick);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(CallStatus([&] { b->Call(kTest, 3, LongStub(1500)); }), kCallFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1400));
}

// Raw bytes from a misbehaving peer close its own connection only.
TEST(ClientServer, MalformedInputClosesOnlyThatConnection) {
  TestServer ts;
  auto good = Bind(ts.binding());
  EXPECT_EQ(CallStatus([&] { good->Call(kTest, 3, LongStub(0)); }), 0u);

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> bind = EncodeBind(kBind, 1, BindPdu{5840, 5840, 0, {{0, kTest, {NdrSyntax()}}}});
  auto v4 = bind; v4[0] = 4;
  auto trunc = bind; trunc[8] = 0xff; trunc[9] = 0x00;  // claims 255 bytes, sends 72 then closes write side
  auto huge = bind; huge[8] = 0xff; huge[9] = 0xff;
  std::vector<uint8_t> request_before_bind = EncodeCall(kRequest, 1, 0, 0, {}, 5840)[0];
  std::vector<Case> cases = {{"version 4", v4}, {"truncated", trunc}, {"oversized", huge},
                             {"request before bind", request_before_bind},
                             {"garbage", std::vector<uint8_t>(64, 0xAB)}};
  for (const Case& c : cases) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(ts.server.port());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(send(fd, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(c.bytes.size()));
    shutdown(fd, SHUT_WR);
    timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    uint8_t buf[256];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof buf, 0)) > 0) {
    }
    EXPECT_EQ(n, 0) << c.name << ": the server must close the connection";
    close(fd);
    EXPECT_EQ(CallStatus([&] { good->Call(kTest, 3, LongStub(0)); }), 0u) << c.name;
  }
}

TEST(ClientServer, ConnectionsAreServedConcurrently) {
  TestServer ts;
  auto b = Bind(ts.binding());
  // Two threads on one binding each get a connection of their own.
  std::thread slow([&] { EXPECT_EQ(CallStatus([&] { b->Call(kTest, 3, LongStub(500)); }), 0u); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(CallStatus([&] { b->Call(kTest, 3, LongStub(0)); }), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(400));
  slow.join();
}

}  // namespace
}  // namespace rpc
