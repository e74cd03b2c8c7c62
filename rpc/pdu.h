// Connection-oriented DCE/RPC 5.0 PDUs: encoding, decoding, framing of a
// byte stream, fragmentation and reassembly. No I/O happens here.
//
// Common header (16 bytes, every PDU):
//   offset size field
//   0      1    rpc_vers (5)
//   1      1    rpc_vers_minor (0)
//   2      1    ptype
//   3      1    pfc_flags
//   4      4    packed_drep (10 00 00 00: little-endian, ASCII, IEEE)
//   8      2    frag_length (whole PDU)
//   10     2    auth_length
//   12     4    call_id
//
// request (0):   16 alloc_hint u32, 20 p_cont_id u16, 22 opnum u16,
//                [24 object UUID when PFC_OBJECT_UUID], then stub data
// response (2):  16 alloc_hint u32, 20 p_cont_id u16, 22 cancel_count u8, 23 reserved, 24 stub
// fault (3):     16 alloc_hint u32, 20 p_cont_id u16, 22 cancel_count u8, 23 reserved,
//                24 status u32, 28 reserved u32 (some peers end the PDU at 28)
// bind (11) / alter_context (14):
//                16 max_xmit_frag u16, 18 max_recv_frag u16, 20 assoc_group_id u32,
//                24 n_context_elem u8, 25 reserved u8, 26 reserved u16, 28 contexts:
//                  p_cont_id u16, n_transfer_syn u8, reserved u8,
//                  abstract syntax (UUID 16, version major u16, minor u16),
//                  n_transfer_syn transfer syntaxes (20 bytes each)
// bind_ack (12) / alter_context_resp (15):
//                16 max_xmit_frag u16, 18 max_recv_frag u16, 20 assoc_group_id u32,
//                24 sec_addr length u16, 26 sec_addr bytes (with NUL), padding to 4,
//                n_results u8, reserved u8, reserved u16, results:
//                  result u16, reason u16, transfer syntax (20 bytes)
// bind_nak (13): 16 provider_reject_reason u16, 18 n_protocols u8, then (major u8, minor u8)
// shutdown (17), orphaned (19), co_cancel (18): header only (plus padding)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "rpc/uuid.h"

namespace rpc {

enum PduType : uint8_t {
  kRequest = 0,
  kResponse = 2,
  kFault = 3,
  kBind = 11,
  kBindAck = 12,
  kBindNak = 13,
  kAlterContext = 14,
  kAlterContextResp = 15,
  kShutdown = 17,
  kCoCancel = 18,
  kOrphaned = 19,
};

enum PfcFlags : uint8_t {
  kFirstFrag = 0x01,
  kLastFrag = 0x02,
  kPendingCancel = 0x04,
  kConcMpx = 0x10,
  kDidNotExecute = 0x20,
  kMaybe = 0x40,
  kObjectUuid = 0x80,
};

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kRequestHeaderSize = 24;   // request and response
constexpr uint16_t kWindowsMaxFrag = 5840;       // what Windows-style peers offer

// bind_ack results and reasons.
enum : uint16_t { kAcceptance = 0, kUserRejection = 1, kProviderRejection = 2 };
enum : uint16_t {
  kReasonNotSpecified = 0,
  kAbstractSyntaxNotSupported = 1,
  kTransferSyntaxesNotSupported = 2,
};
// bind_nak reasons.
enum : uint16_t { kNakReasonNotSpecified = 0, kNakProtocolVersionNotSupported = 4 };

class PduError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Header {
  uint8_t vers = 5;
  uint8_t vers_minor = 0;
  uint8_t ptype = 0;
  uint8_t flags = 0;
  uint8_t drep[4] = {0x10, 0, 0, 0};
  uint16_t frag_length = 0;
  uint16_t auth_length = 0;
  uint32_t call_id = 0;
};

struct ContextElem {
  uint16_t context_id = 0;
  SyntaxId abstract;
  std::vector<SyntaxId> transfer;
};

struct BindPdu {  // bind and alter_context
  uint16_t max_xmit = kWindowsMaxFrag;
  uint16_t max_recv = kWindowsMaxFrag;
  uint32_t assoc_group = 0;
  std::vector<ContextElem> contexts;
};

struct ContextResult {
  uint16_t result = kAcceptance;
  uint16_t reason = 0;
  SyntaxId transfer;  // all zero when rejected
};

struct BindAckPdu {  // bind_ack and alter_context_resp
  uint16_t max_xmit = kWindowsMaxFrag;
  uint16_t max_recv = kWindowsMaxFrag;
  uint32_t assoc_group = 0;
  std::string sec_addr;  // without the NUL; empty gives a zero length
  std::vector<ContextResult> results;
};

struct BindNakPdu {
  uint16_t reason = kNakReasonNotSpecified;
};

// One fragment of a request or response, or a fault.
struct CallFragment {
  uint32_t alloc_hint = 0;
  uint16_t context_id = 0;
  uint16_t opnum = 0;         // request only
  uint8_t cancel_count = 0;   // response and fault
  uint32_t status = 0;        // fault only
  std::vector<uint8_t> stub;  // request and response
};

// A decoded PDU.
struct Pdu {
  Header header;
  BindPdu bind;        // kBind, kAlterContext
  BindAckPdu bind_ack; // kBindAck, kAlterContextResp
  BindNakPdu bind_nak; // kBindNak
  CallFragment call;   // kRequest, kResponse, kFault
};

// Encoders return the complete PDU bytes with frag_length filled in.
std::vector<uint8_t> EncodeBind(uint8_t ptype, uint32_t call_id, const BindPdu& bind);
std::vector<uint8_t> EncodeBindAck(uint8_t ptype, uint32_t call_id, const BindAckPdu& ack);
std::vector<uint8_t> EncodeBindNak(uint32_t call_id, const BindNakPdu& nak);
std::vector<uint8_t> EncodeFault(uint32_t call_id, uint16_t context_id, uint32_t status, uint8_t flags = 0);
std::vector<uint8_t> EncodeShutdown(uint32_t call_id);

// Splits a request or response stub into fragments of at most max_frag
// bytes each. Every fragment but the last carries a multiple of 8 stub
// bytes so that NDR alignment stays the same in each. An empty stub gives
// one fragment.
std::vector<std::vector<uint8_t>> EncodeCall(uint8_t ptype, uint32_t call_id, uint16_t context_id,
                                             uint16_t opnum, const std::vector<uint8_t>& stub,
                                             uint16_t max_frag);

// Decodes one whole PDU (exactly frag_length bytes). Throws PduError.
Pdu DecodePdu(const uint8_t* data, std::size_t size);

// Cuts a byte stream into PDUs. Feed it bytes in any chunks; Next()
// returns each complete PDU's bytes. A header that cannot start a PDU
// (wrong version, frag_length below the header size or above max_frag)
// throws PduError: the stream is then unusable.
class Framer {
 public:
  explicit Framer(uint16_t max_frag = 0xFFFF) : max_frag_(max_frag) {}
  void Feed(const uint8_t* data, std::size_t size);
  std::optional<std::vector<uint8_t>> Next();
  std::size_t buffered() const { return buf_.size() - start_; }

 private:
  uint16_t max_frag_;
  std::vector<uint8_t> buf_;
  std::size_t start_ = 0;
};

// Joins the fragments of one request or response. Limit: the stub size
// of the reassembled call (a peer that sends more gets its connection
// closed).
class Reassembler {
 public:
  static constexpr std::size_t kDefaultMaxStub = 64u << 20;
  explicit Reassembler(std::size_t max_stub = kDefaultMaxStub) : max_stub_(max_stub) {}

  // Adds one fragment; returns true when it was the last one. A first
  // fragment restarts the call; a middle fragment without a first one, a
  // change of call id, type or opnum, or too much data throws PduError.
  bool Add(const Pdu& pdu);
  const Pdu& first() const { return first_; }
  std::vector<uint8_t> TakeStub();
  bool active() const { return active_; }
  void Reset();

 private:
  std::size_t max_stub_;
  bool active_ = false;
  Pdu first_;
  std::vector<uint8_t> stub_;
};

}  // namespace rpc
