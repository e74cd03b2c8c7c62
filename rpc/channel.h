// One TCP connection carrying one DCE/RPC association, used the same way by
// both ends: send a call, then wait for its reply while serving whatever
// calls the peer makes in the meantime (callbacks from a server, or nested
// calls from a client inside a callback), as deep as they nest.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "rpc/ndr.h"
#include "rpc/pdu.h"

namespace rpc {

struct ChannelOptions {
  // How long to wait for the peer while a call is outstanding or a PDU is
  // half received. A peer that stops answering for this long fails the call.
  static constexpr int kDefaultIoTimeoutMs = 60000;
  int io_timeout_ms = kDefaultIoTimeoutMs;
  // Largest fragment accepted from the peer.
  uint16_t max_recv_frag = kWindowsMaxFrag;
  // Largest reassembled stub accepted from the peer.
  std::size_t max_stub = Reassembler::kDefaultMaxStub;
};

// Transport failures. `sent` tells whether the failure happened after a
// request had gone out (the caller maps that to "call failed").
class TransportError : public std::runtime_error {
 public:
  enum Kind { kClosed, kTimeout, kIo, kProtocol };
  TransportError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// A fault the peer answered a call with (status as it travels).
class FaultReceived : public std::runtime_error {
 public:
  explicit FaultReceived(uint32_t status)
      : std::runtime_error("fault " + std::to_string(status)), status_(status) {}
  uint32_t status() const { return status_; }

 private:
  uint32_t status_;
};

// Thrown by a local dispatcher to answer a call with a fault PDU.
class FaultToSend : public std::runtime_error {
 public:
  explicit FaultToSend(uint32_t status) : std::runtime_error("fault"), status_(status) {}
  uint32_t status() const { return status_; }

 private:
  uint32_t status_;
};

class Channel {
 public:
  // Serves a call the peer makes while we wait: returns the response stub,
  // or throws FaultToSend / NdrError (answered with a bad-stub-data fault).
  using Dispatch = std::function<std::vector<uint8_t>(uint16_t context_id, uint16_t opnum,
                                                      std::vector<uint8_t> stub, uint32_t call_id)>;

  Channel(int fd, ChannelOptions options);
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Connects to host:port with a time-out. Throws TransportError.
  static int Connect(const std::string& host, const std::string& port, int timeout_ms);

  void Send(const std::vector<uint8_t>& pdu);
  // Reads one whole PDU. wait_forever: no time-out before its first byte
  // (a server waiting for the next request).
  Pdu Read(bool wait_forever = false);

  // Sends a request or response stub in fragments of the negotiated size.
  void SendCall(uint8_t ptype, uint32_t call_id, uint16_t context_id, uint16_t opnum,
                const std::vector<uint8_t>& stub);

  // Waits for the response to call_id, serving the peer's calls through
  // dispatch. Returns the reassembled response stub. Throws FaultReceived,
  // TransportError.
  std::vector<uint8_t> Await(uint32_t call_id, const Dispatch& dispatch);

  // Serves one whole request whose first fragment is `first` (reads the
  // rest), answering through dispatch. Used by Await and by a server loop.
  void ServeRequest(const Pdu& first, const Dispatch& dispatch);

  // Unblocks a Read on another thread; the channel is unusable afterwards.
  void Shutdown();

  int fd() const { return fd_; }
  void set_max_xmit(uint16_t v) { max_xmit_ = v; }
  uint16_t max_xmit() const { return max_xmit_; }
  const ChannelOptions& options() const { return options_; }
  NdrLimits ndr_limits() const;

 private:
  int fd_;
  ChannelOptions options_;
  uint16_t max_xmit_ = kWindowsMaxFrag;
  Framer framer_;
};

}  // namespace rpc
