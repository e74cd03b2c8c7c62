// Client side of the run-time: binding handles that connect lazily at the
// first call, bind the interface, make calls, dispatch the server's
// callbacks, and reconnect at the next call after a failure.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "rpc/channel.h"
#include "rpc/uuid.h"

namespace rpc {

struct ClientOptions {
  static constexpr int kDefaultConnectTimeoutMs = 10000;
  int connect_timeout_ms = kDefaultConnectTimeoutMs;
  ChannelOptions channel;

  // Defaults, with TELLOMAR_RPC_TIMEOUT_MS (reply time-out) and
  // TELLOMAR_RPC_CONNECT_TIMEOUT_MS taken from the environment when set.
  static ClientOptions FromEnvironment();
};

// Serves a callback the server makes during a call: returns the response
// stub; throws FaultToSend(kNcaOpRangeError) for an unknown opnum.
using CallbackDispatch = std::function<std::vector<uint8_t>(uint16_t opnum, const std::vector<uint8_t>& stub)>;

class Binding {
 public:
  // Creates a binding from a string binding; never contacts the server.
  // Returns kOk, kInvalidStringBinding or kProtseqNotSupported.
  static uint32_t FromString(std::string_view text, const ClientOptions& options, std::unique_ptr<Binding>* out);

  ~Binding();

  // Makes one call: the request stub out, the response stub back. Throws
  // rpc::Error with the status a Windows client raises. Calls made from
  // inside a callback of this binding, on the same thread, travel on the
  // connection of the outstanding call.
  std::vector<uint8_t> Call(const SyntaxId& iface, uint16_t opnum, const std::vector<uint8_t>& stub,
                            const CallbackDispatch& callbacks = {});

  const std::string& host() const { return host_; }
  const std::string& port() const { return port_; }

 private:
  struct Connection;
  Binding(std::string host, std::string port, ClientOptions options);
  std::unique_ptr<Connection> Open(const SyntaxId& iface);
  std::unique_ptr<Connection> TakeIdle(const SyntaxId& iface);
  void GiveBack(std::unique_ptr<Connection> c);
  std::vector<uint8_t> CallOn(Connection& c, uint16_t opnum, const std::vector<uint8_t>& stub,
                              const CallbackDispatch& callbacks);

  std::string host_;
  std::string port_;
  ClientOptions options_;
  std::mutex mu_;
  std::vector<std::unique_ptr<Connection>> idle_;
};

}  // namespace rpc
