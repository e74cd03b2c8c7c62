#include "rpc/server.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "rpc/pdu.h"
#include "rpc/status.h"

namespace rpc {

struct Server::Conn {
  std::unique_ptr<Channel> channel;
  std::thread thread;
  std::atomic<bool> done{false};
};

std::vector<uint8_t> CallContext::Callback(uint16_t opnum, const std::vector<uint8_t>& stub) {
  channel_.SendCall(kRequest, call_id_, context_id_, opnum, stub);
  return channel_.Await(call_id_, nested_);
}

Server::Server(ServerOptions options) : options_(options) {}

Server::~Server() { Stop(); }

void Server::Register(const SyntaxId& iface, std::vector<Procedure> procs) {
  ifaces_.push_back(Iface{iface, std::move(procs)});
}

bool Server::Listen(const std::string& host, const std::string& port, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* res = nullptr;
  int rc = getaddrinfo(host.empty() ? nullptr : host.c_str(), port.c_str(), &hints, &res);
  if (rc != 0) {
    *error = "cannot resolve " + host + ": " + gai_strerror(rc);
    return false;
  }
  std::string last = "no address";
  for (addrinfo* ai = res; ai; ai = ai->ai_next) {
    int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) { last = std::strerror(errno); continue; }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || listen(fd, 128) != 0) {
      last = std::strerror(errno);
      close(fd);
      continue;
    }
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
    port_ = ntohs(ss.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port
                                           : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
    listen_fd_ = fd;
    break;
  }
  freeaddrinfo(res);
  if (listen_fd_ < 0) {
    *error = "cannot listen on " + host + ":" + port + ": " + last;
    return false;
  }
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void Server::AcceptLoop() {
  while (!stopping_) {
    pollfd p{listen_fd_, POLLIN, 0};
    int pr = poll(&p, 1, 200);
    if (pr <= 0) continue;
    int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(mu_);
    // Reap finished connections.
    for (auto it = conns_.begin(); it != conns_.end();) {
      if ((*it)->done) {
        (*it)->thread.join();
        it = conns_.erase(it);
      } else {
        ++it;
      }
    }
    if (static_cast<int>(conns_.size()) >= options_.max_connections) {
      close(fd);
      continue;
    }
    auto conn = std::make_unique<Conn>();
    conn->channel = std::make_unique<Channel>(fd, options_.channel);
    Conn* raw = conn.get();
    conns_.push_back(std::move(conn));
    ++live_;
    raw->thread = std::thread([this, raw] {
      Serve(raw);
      --live_;
      raw->done = true;
    });
  }
}

void Server::Stop() {
  if (stopping_.exchange(true)) return;
  if (acceptor_.joinable()) acceptor_.join();
  if (listen_fd_ >= 0) close(listen_fd_);
  listen_fd_ = -1;
  std::list<std::unique_ptr<Conn>> conns;
  {
    std::lock_guard<std::mutex> lock(mu_);
    conns.swap(conns_);
  }
  for (auto& c : conns) c->channel->Shutdown();
  for (auto& c : conns) c->thread.join();
}

void Server::AnswerBind(Channel& ch, const Pdu& pdu, std::vector<const Iface*>* contexts) {
  const BindPdu& b = pdu.bind;
  BindAckPdu ack;
  // We send no more than the client can take, and take no more than we accept.
  ack.max_xmit = b.max_recv < kWindowsMaxFrag ? b.max_recv : kWindowsMaxFrag;
  ack.max_recv = b.max_xmit < options_.channel.max_recv_frag ? b.max_xmit : options_.channel.max_recv_frag;
  ack.assoc_group = b.assoc_group ? b.assoc_group : next_group_++;
  if (pdu.header.ptype == kBind) ack.sec_addr = std::to_string(port_);
  static const Uuid kFeatureNegotiation = [] {
    Uuid u{};
    const uint8_t prefix[8] = {0x2c, 0x1c, 0xb7, 0x6c, 0x12, 0x98, 0x40, 0x45};  // 6cb71c2c-9812-4540-
    std::memcpy(u.wire.data(), prefix, 8);
    return u;
  }();
  for (const ContextElem& c : b.contexts) {
    ContextResult r;
    r.result = kProviderRejection;
    r.reason = kAbstractSyntaxNotSupported;
    const Iface* found = nullptr;
    for (const Iface& i : ifaces_) {
      if (i.id.uuid == c.abstract.uuid && i.id.major == c.abstract.major && c.abstract.minor <= i.id.minor) found = &i;
    }
    if (found) {
      r.reason = kTransferSyntaxesNotSupported;
      for (const SyntaxId& t : c.transfer) {
        if (t == NdrSyntax()) {
          r = ContextResult{kAcceptance, 0, t};
          if (contexts->size() <= c.context_id) contexts->resize(c.context_id + 1u, nullptr);
          (*contexts)[c.context_id] = found;
          break;
        }
        if (std::memcmp(t.uuid.wire.data(), kFeatureNegotiation.wire.data(), 8) == 0) {
          r = ContextResult{3, 0, SyntaxId{}};  // negotiate_ack, no features
          break;
        }
      }
    }
    ack.results.push_back(r);
  }
  if (pdu.header.ptype == kBind) ch.set_max_xmit(ack.max_xmit < kRequestHeaderSize + 8 ? kWindowsMaxFrag : ack.max_xmit);
  ch.Send(EncodeBindAck(pdu.header.ptype == kBind ? kBindAck : kAlterContextResp, pdu.header.call_id, ack));
}

std::vector<uint8_t> Server::Dispatch(Channel& ch, const std::vector<const Iface*>& contexts, void* session,
                                      uint16_t ctx, uint16_t opnum, std::vector<uint8_t> stub, uint32_t call_id) {
  if (ctx >= contexts.size() || contexts[ctx] == nullptr) throw FaultToSend(kNcaUnknownIf);
  const Iface& iface = *contexts[ctx];
  if (opnum >= iface.procs.size() || !iface.procs[opnum]) throw FaultToSend(kNcaOpRangeError);
  Channel::Dispatch nested = [this, &ch, &contexts, session](uint16_t c, uint16_t o, std::vector<uint8_t> s,
                                                             uint32_t id) {
    return Dispatch(ch, contexts, session, c, o, std::move(s), id);
  };
  CallContext cc(ch, call_id, ctx, nested, session);
  NdrReader in(stub.data(), stub.size(), ch.ndr_limits());
  return iface.procs[opnum](cc, in);
}

void Server::Serve(Conn* conn) {
  Channel& ch = *conn->channel;
  struct CloseAtEnd {
    Channel& ch;
    ~CloseAtEnd() { ch.Shutdown(); }  // the peer sees the end at once, not at reaping
  } close_at_end{ch};
  std::vector<const Iface*> contexts;
  bool bound = false;
  std::shared_ptr<void> session;
  Channel::Dispatch dispatch = [this, &ch, &contexts, &session](uint16_t c, uint16_t o, std::vector<uint8_t> s,
                                                                uint32_t id) {
    return Dispatch(ch, contexts, session.get(), c, o, std::move(s), id);
  };
  try {
    if (session_factory_) session = session_factory_();
    while (!stopping_) {
      Pdu pdu = ch.Read(/*wait_forever=*/true);
      switch (pdu.header.ptype) {
        case kBind:
          if (bound) return;  // a second bind on one association is a protocol error
          bound = true;
          AnswerBind(ch, pdu, &contexts);
          break;
        case kAlterContext:
          if (!bound) return;
          AnswerBind(ch, pdu, &contexts);
          break;
        case kRequest:
          if (!bound) return;
          ch.ServeRequest(pdu, dispatch);
          break;
        case kCoCancel:
        case kOrphaned:
          break;
        default:
          return;  // shutdown, or a PDU a client never sends
      }
    }
  } catch (const std::exception&) {
    // Transport failure or malformed input: this connection ends, the server goes on.
  }
}

}  // namespace rpc
