#include "rpc/client.h"

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdlib>

#include "rpc/status.h"
#include "rpc/string_binding.h"

namespace rpc {

struct Binding::Connection {
  Connection(int fd, const ChannelOptions& o) : channel(fd, o) {}
  Channel channel;
  SyntaxId iface;
  uint32_t next_call_id = 1;
  bool broken = false;  // the association cannot carry another call
};

namespace {

// The connections with a call outstanding on this thread, innermost last,
// so that a call made inside a callback goes out on the same connection.
struct Active {
  const Binding* binding;
  void* connection;
};
thread_local std::vector<Active> t_active;

int EnvMs(const char* name, int fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  char* end = nullptr;
  long n = std::strtol(v, &end, 10);
  return (end && *end == 0 && n > 0 && n < 24L * 3600 * 1000) ? static_cast<int>(n) : fallback;
}

// True when an idle connection was closed by the server meanwhile (or has
// unexpected data): it must not carry the next call.
bool Stale(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) != 0;
}

}  // namespace

ClientOptions ClientOptions::FromEnvironment() {
  ClientOptions o;
  o.channel.io_timeout_ms = EnvMs("TELLOMAR_RPC_TIMEOUT_MS", o.channel.io_timeout_ms);
  o.connect_timeout_ms = EnvMs("TELLOMAR_RPC_CONNECT_TIMEOUT_MS", o.connect_timeout_ms);
  return o;
}

uint32_t Binding::FromString(std::string_view text, const ClientOptions& options, std::unique_ptr<Binding>* out) {
  StringBinding sb;
  if (uint32_t st = ParseStringBinding(text, &sb); st != kOk) return st;
  if (sb.protseq != kProtseqTcp) return kProtseqNotSupported;
  if (sb.network_address.empty()) sb.network_address = "127.0.0.1";
  out->reset(new Binding(sb.network_address, sb.endpoint, options));
  return kOk;
}

Binding::Binding(std::string host, std::string port, ClientOptions options)
    : host_(std::move(host)), port_(std::move(port)), options_(options) {}

Binding::~Binding() = default;

std::unique_ptr<Binding::Connection> Binding::TakeIdle(const SyntaxId& iface) {
  std::lock_guard<std::mutex> lock(mu_);
  for (std::size_t i = idle_.size(); i-- > 0;) {
    if (!(idle_[i]->iface == iface)) continue;
    std::unique_ptr<Connection> c = std::move(idle_[i]);
    idle_.erase(idle_.begin() + static_cast<std::ptrdiff_t>(i));
    if (Stale(c->channel.fd())) continue;  // dropped; try the next or open a new one
    return c;
  }
  return nullptr;
}

void Binding::GiveBack(std::unique_ptr<Connection> c) {
  std::lock_guard<std::mutex> lock(mu_);
  if (idle_.size() < 8) idle_.push_back(std::move(c));
}

std::unique_ptr<Binding::Connection> Binding::Open(const SyntaxId& iface) {
  int fd;
  try {
    fd = Channel::Connect(host_, port_.empty() ? "0" : port_, options_.connect_timeout_ms);
  } catch (const TransportError& e) {
    throw Error(kServerUnavailable, e.what());
  }
  auto c = std::make_unique<Connection>(fd, options_.channel);
  c->iface = iface;
  BindPdu bind;
  bind.max_xmit = kWindowsMaxFrag;
  bind.max_recv = options_.channel.max_recv_frag;
  bind.contexts.push_back(ContextElem{0, iface, {NdrSyntax()}});
  Pdu ack;
  try {
    c->channel.Send(EncodeBind(kBind, c->next_call_id++, bind));
    ack = c->channel.Read();
  } catch (const TransportError& e) {
    throw Error(e.kind() == TransportError::kProtocol ? kProtocolError : kServerUnavailable, e.what());
  }
  if (ack.header.ptype == kBindNak) throw Error(kCallFailedDne, "bind rejected");
  if (ack.header.ptype != kBindAck) throw Error(kProtocolError, "no bind_ack");
  const BindAckPdu& a = ack.bind_ack;
  if (a.results.empty()) throw Error(kProtocolError, "bind_ack without results");
  if (a.results[0].result != kAcceptance) {
    throw Error(a.results[0].reason == kAbstractSyntaxNotSupported ? kUnknownIf : kCallFailedDne,
                "presentation context rejected");
  }
  if (!(a.results[0].transfer == NdrSyntax())) throw Error(kProtocolError, "server chose another transfer syntax");
  uint16_t xmit = a.max_recv < kWindowsMaxFrag ? a.max_recv : kWindowsMaxFrag;
  if (xmit < kRequestHeaderSize + 8) throw Error(kProtocolError, "server offers a fragment size too small");
  c->channel.set_max_xmit(xmit);
  return c;
}

std::vector<uint8_t> Binding::CallOn(Connection& c, uint16_t opnum, const std::vector<uint8_t>& stub,
                                     const CallbackDispatch& callbacks) {
  uint32_t call_id = c.next_call_id++;
  Channel::Dispatch dispatch = [&](uint16_t, uint16_t cb_opnum, std::vector<uint8_t> in, uint32_t) {
    if (!callbacks) throw FaultToSend(kNcaOpRangeError);
    return callbacks(cb_opnum, in);
  };
  t_active.push_back({this, &c});
  struct Pop {
    ~Pop() { t_active.pop_back(); }
  } pop;
  try {
    c.channel.SendCall(kRequest, call_id, 0, opnum, stub);
    return c.channel.Await(call_id, dispatch);
  } catch (const FaultReceived& f) {
    // A fault ends the call but leaves the association usable.
    throw Error(StatusFromFault(f.status()));
  } catch (const TransportError& e) {
    c.broken = true;
    throw Error(e.kind() == TransportError::kProtocol ? kProtocolError : kCallFailed, e.what());
  } catch (...) {
    c.broken = true;  // a callback handler threw: the reply stream is out of step
    throw;
  }
}

std::vector<uint8_t> Binding::Call(const SyntaxId& iface, uint16_t opnum, const std::vector<uint8_t>& stub,
                                   const CallbackDispatch& callbacks) {
  for (auto it = t_active.rbegin(); it != t_active.rend(); ++it) {
    if (it->binding == this) {
      auto* c = static_cast<Connection*>(it->connection);
      if (c->iface == iface) return CallOn(*c, opnum, stub, callbacks);
    }
  }
  std::unique_ptr<Connection> c = TakeIdle(iface);
  if (!c) c = Open(iface);
  try {
    std::vector<uint8_t> out = CallOn(*c, opnum, stub, callbacks);
    GiveBack(std::move(c));
    return out;
  } catch (...) {
    if (!c->broken) GiveBack(std::move(c));
    throw;
  }
}

}  // namespace rpc
