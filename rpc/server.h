// Server side of the run-time: a TCP listener, one association per
// connection with a thread each, dispatch by interface (UUID and version)
// and opnum, and callbacks into the client during a call.
//
// A malformed PDU, a truncated frame, an oversized length or a wrong
// protocol version closes that connection; an unknown interface is
// rejected at bind; an unknown opnum or undecodable stub gets a fault. The
// other connections are not affected.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rpc/channel.h"
#include "rpc/ndr.h"
#include "rpc/uuid.h"

namespace rpc {

// What a procedure sees of the call it serves.
class CallContext {
 public:
  CallContext(Channel& channel, uint32_t call_id, uint16_t context_id, Channel::Dispatch nested, void* session)
      : channel_(channel), call_id_(call_id), context_id_(context_id), nested_(std::move(nested)), session_(session) {}

  // Calls the client's callback procedure `opnum` with the given stub and
  // returns its response stub. Throws FaultReceived when the client answers
  // with a fault, TransportError when the connection fails.
  std::vector<uint8_t> Callback(uint16_t opnum, const std::vector<uint8_t>& stub);

  NdrLimits ndr_limits() const { return channel_.ndr_limits(); }

  // The state the server's session factory made for this connection (null without one).
  void* session() const { return session_; }

 private:
  Channel& channel_;
  uint32_t call_id_;
  uint16_t context_id_;
  Channel::Dispatch nested_;
  void* session_;
};

// Serves one call: decode the stub, return the response stub. Throw
// NdrError for bad stub data, FaultToSend for another fault.
using Procedure = std::function<std::vector<uint8_t>(CallContext&, NdrReader& in)>;

struct ServerOptions {
  ChannelOptions channel;
  static constexpr int kDefaultMaxConnections = 256;
  int max_connections = kDefaultMaxConnections;
};

class Server {
 public:
  explicit Server(ServerOptions options = {});
  ~Server();

  // Registers an interface; procs[opnum] serves that opnum (empty entries
  // and opnums past the end get an op-range fault). Call before Listen.
  void Register(const SyntaxId& iface, std::vector<Procedure> procs);

  // Makes the per-connection state that procedures reach through
  // CallContext::session() (for example a database connection). Called on
  // the connection's thread when it starts. Call before Listen.
  using SessionFactory = std::function<std::shared_ptr<void>()>;
  void SetSessionFactory(SessionFactory f) { session_factory_ = std::move(f); }

  // Binds and listens; port "0" picks a free port (see port()). Returns
  // false with *error set on failure. Starts the accepting thread.
  bool Listen(const std::string& host, const std::string& port, std::string* error);
  uint16_t port() const { return port_; }

  // Closes the listener and every connection and joins their threads.
  void Stop();

  // Connections served right now.
  int connections() const { return live_.load(); }

 private:
  struct Conn;
  struct Iface {
    SyntaxId id;
    std::vector<Procedure> procs;
  };
  void AcceptLoop();
  void Serve(Conn* conn);
  void AnswerBind(Channel& ch, const Pdu& pdu, std::vector<const Iface*>* contexts);
  std::vector<uint8_t> Dispatch(Channel& ch, const std::vector<const Iface*>& contexts, void* session,
                                uint16_t ctx, uint16_t opnum, std::vector<uint8_t> stub, uint32_t call_id);

  ServerOptions options_;
  std::vector<Iface> ifaces_;
  SessionFactory session_factory_;
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> live_{0};
  std::atomic<uint32_t> next_group_{1};
  std::mutex mu_;
  std::list<std::unique_ptr<Conn>> conns_;
};

}  // namespace rpc
