#include "rpc/channel.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "rpc/status.h"

namespace rpc {

Channel::Channel(int fd, ChannelOptions options)
    : fd_(fd), options_(options), framer_(options.max_recv_frag) {
  int one = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

Channel::~Channel() {
  if (fd_ >= 0) close(fd_);
}

NdrLimits Channel::ndr_limits() const {
  NdrLimits l;
  if (options_.max_stub < l.max_string) l.max_string = static_cast<uint32_t>(options_.max_stub);
  return l;
}

int Channel::Connect(const std::string& host, const std::string& port, int timeout_ms) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &res);
  if (rc != 0) throw TransportError(TransportError::kIo, "cannot resolve " + host + ": " + gai_strerror(rc));
  std::string last = "no address";
  for (addrinfo* ai = res; ai; ai = ai->ai_next) {
    int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0) { last = std::strerror(errno); continue; }
    if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0 && errno != EINPROGRESS) {
      last = std::strerror(errno);
      close(fd);
      continue;
    }
    pollfd p{fd, POLLOUT, 0};
    int pr = poll(&p, 1, timeout_ms);
    int err = 0;
    socklen_t len = sizeof err;
    if (pr <= 0) {
      err = pr == 0 ? ETIMEDOUT : errno;
    } else {
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    }
    if (err != 0) {
      last = std::strerror(err);
      close(fd);
      continue;
    }
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    freeaddrinfo(res);
    return fd;
  }
  freeaddrinfo(res);
  throw TransportError(TransportError::kIo, "cannot connect to " + host + "[" + port + "]: " + last);
}

void Channel::Send(const std::vector<uint8_t>& pdu) {
  std::size_t off = 0;
  while (off < pdu.size()) {
    pollfd p{fd_, POLLOUT, 0};
    int pr = poll(&p, 1, options_.io_timeout_ms);
    if (pr == 0) throw TransportError(TransportError::kTimeout, "peer stopped reading");
    if (pr < 0) {
      if (errno == EINTR) continue;
      throw TransportError(TransportError::kIo, std::strerror(errno));
    }
    ssize_t n = send(fd_, pdu.data() + off, pdu.size() - off, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw TransportError(errno == EPIPE || errno == ECONNRESET ? TransportError::kClosed : TransportError::kIo,
                           std::strerror(errno));
    }
    off += static_cast<std::size_t>(n);
  }
}

Pdu Channel::Read(bool wait_forever) {
  for (;;) {
    try {
      if (auto bytes = framer_.Next()) return DecodePdu(bytes->data(), bytes->size());
    } catch (const PduError& e) {
      throw TransportError(TransportError::kProtocol, e.what());
    }
    int timeout = (wait_forever && framer_.buffered() == 0) ? -1 : options_.io_timeout_ms;
    pollfd p{fd_, POLLIN, 0};
    int pr = poll(&p, 1, timeout);
    if (pr == 0) throw TransportError(TransportError::kTimeout, "peer did not answer in time");
    if (pr < 0) {
      if (errno == EINTR) continue;
      throw TransportError(TransportError::kIo, std::strerror(errno));
    }
    uint8_t buf[65536];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n == 0) throw TransportError(TransportError::kClosed, "connection closed by the peer");
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw TransportError(TransportError::kClosed, std::strerror(errno));
    }
    framer_.Feed(buf, static_cast<std::size_t>(n));
  }
}

void Channel::SendCall(uint8_t ptype, uint32_t call_id, uint16_t context_id, uint16_t opnum,
                       const std::vector<uint8_t>& stub) {
  for (const auto& frag : EncodeCall(ptype, call_id, context_id, opnum, stub, max_xmit_)) Send(frag);
}

void Channel::ServeRequest(const Pdu& first, const Dispatch& dispatch) {
  Reassembler req(options_.max_stub);
  Pdu pdu = first;
  try {
    while (!req.Add(pdu)) {
      pdu = Read();
      if (pdu.header.ptype != kRequest) throw PduError("expected the next fragment of a request");
    }
  } catch (const PduError& e) {
    throw TransportError(TransportError::kProtocol, e.what());
  }
  const Pdu& head = req.first();
  uint32_t call_id = head.header.call_id;
  uint16_t ctx = head.call.context_id;
  std::vector<uint8_t> out;
  uint32_t fault = 0;
  try {
    out = dispatch(ctx, head.call.opnum, req.TakeStub(), call_id);
  } catch (const FaultToSend& f) {
    fault = f.status();
  } catch (const NdrError&) {
    fault = kNcaFaultNdr;
  } catch (const std::bad_alloc&) {
    fault = kNcaFaultRemoteNoMemory;
  }
  if (fault != 0) {
    Send(EncodeFault(call_id, ctx, fault, kDidNotExecute));
  } else {
    SendCall(kResponse, call_id, ctx, 0, out);
  }
}

std::vector<uint8_t> Channel::Await(uint32_t call_id, const Dispatch& dispatch) {
  Reassembler resp(options_.max_stub);
  for (;;) {
    Pdu pdu = Read();
    switch (pdu.header.ptype) {
      case kResponse:
        if (pdu.header.call_id != call_id) {
          throw TransportError(TransportError::kProtocol, "response for call " + std::to_string(pdu.header.call_id) +
                                                              " while waiting for " + std::to_string(call_id));
        }
        try {
          if (resp.Add(pdu)) return resp.TakeStub();
        } catch (const PduError& e) {
          throw TransportError(TransportError::kProtocol, e.what());
        }
        break;
      case kFault:
        // Some peers put another call id into faults; a fault ends the call we wait for.
        throw FaultReceived(pdu.call.status);
      case kRequest:
        ServeRequest(pdu, dispatch);
        break;
      case kCoCancel:
      case kOrphaned:
        break;
      case kShutdown:
        throw TransportError(TransportError::kClosed, "peer shut the association down");
      default:
        throw TransportError(TransportError::kProtocol,
                             "unexpected PDU type " + std::to_string(pdu.header.ptype) + " during a call");
    }
  }
}

void Channel::Shutdown() {
  if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
}

}  // namespace rpc
