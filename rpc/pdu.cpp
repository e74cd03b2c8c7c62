#include "rpc/pdu.h"

#include <cstring>

namespace rpc {
namespace {

class Out {
 public:
  void U8(uint8_t v) { b.push_back(v); }
  void U16(uint16_t v) { U8(static_cast<uint8_t>(v)); U8(static_cast<uint8_t>(v >> 8)); }
  void U32(uint32_t v) { for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i))); }
  void Bytes(const uint8_t* p, std::size_t n) { b.insert(b.end(), p, p + n); }
  void Syntax(const SyntaxId& s) { Bytes(s.uuid.wire.data(), 16); U16(s.major); U16(s.minor); }
  void Pad4() { while (b.size() % 4) U8(0); }
  void Header(uint8_t ptype, uint8_t flags, uint32_t call_id) {
    U8(5); U8(0); U8(ptype); U8(flags);
    U8(0x10); U8(0); U8(0); U8(0);
    U16(0);  // frag_length, set by Finish
    U16(0);
    U32(call_id);
  }
  std::vector<uint8_t> Finish() {
    if (b.size() > 0xFFFF) throw PduError("PDU larger than 65535 bytes");
    b[8] = static_cast<uint8_t>(b.size());
    b[9] = static_cast<uint8_t>(b.size() >> 8);
    return std::move(b);
  }
  std::vector<uint8_t> b;
};

class In {
 public:
  In(const uint8_t* p, std::size_t n) : p_(p), n_(n) {}
  void Need(std::size_t k, const char* what) const {
    if (k > n_ - pos_) throw PduError(std::string("PDU ends inside ") + what);
  }
  uint8_t U8(const char* w) { Need(1, w); return p_[pos_++]; }
  uint16_t U16(const char* w) { Need(2, w); uint16_t v = static_cast<uint16_t>(p_[pos_] | p_[pos_ + 1] << 8); pos_ += 2; return v; }
  uint32_t U32(const char* w) {
    Need(4, w);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return v;
  }
  SyntaxId Syntax(const char* w) {
    Need(20, w);
    SyntaxId s;
    std::memcpy(s.uuid.wire.data(), p_ + pos_, 16);
    pos_ += 16;
    s.major = U16(w);
    s.minor = U16(w);
    return s;
  }
  void Skip(std::size_t k, const char* w) { Need(k, w); pos_ += k; }
  void Pad4(const char* w) { Skip((4 - pos_ % 4) % 4, w); }
  std::size_t pos() const { return pos_; }
  std::size_t left() const { return n_ - pos_; }
  const uint8_t* here() const { return p_ + pos_; }

 private:
  const uint8_t* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeBind(uint8_t ptype, uint32_t call_id, const BindPdu& bind) {
  Out o;
  o.Header(ptype, kFirstFrag | kLastFrag, call_id);
  o.U16(bind.max_xmit);
  o.U16(bind.max_recv);
  o.U32(bind.assoc_group);
  o.U8(static_cast<uint8_t>(bind.contexts.size()));
  o.U8(0);
  o.U16(0);
  for (const ContextElem& c : bind.contexts) {
    o.U16(c.context_id);
    o.U8(static_cast<uint8_t>(c.transfer.size()));
    o.U8(0);
    o.Syntax(c.abstract);
    for (const SyntaxId& t : c.transfer) o.Syntax(t);
  }
  return o.Finish();
}

std::vector<uint8_t> EncodeBindAck(uint8_t ptype, uint32_t call_id, const BindAckPdu& ack) {
  Out o;
  o.Header(ptype, kFirstFrag | kLastFrag, call_id);
  o.U16(ack.max_xmit);
  o.U16(ack.max_recv);
  o.U32(ack.assoc_group);
  if (ack.sec_addr.empty()) {
    o.U16(0);
  } else {
    o.U16(static_cast<uint16_t>(ack.sec_addr.size() + 1));
    o.Bytes(reinterpret_cast<const uint8_t*>(ack.sec_addr.data()), ack.sec_addr.size());
    o.U8(0);
  }
  o.Pad4();
  o.U8(static_cast<uint8_t>(ack.results.size()));
  o.U8(0);
  o.U16(0);
  for (const ContextResult& r : ack.results) {
    o.U16(r.result);
    o.U16(r.reason);
    o.Syntax(r.transfer);
  }
  return o.Finish();
}

std::vector<uint8_t> EncodeBindNak(uint32_t call_id, const BindNakPdu& nak) {
  Out o;
  o.Header(kBindNak, kFirstFrag | kLastFrag, call_id);
  o.U16(nak.reason);
  o.U8(1);  // one protocol version supported: 5.0
  o.U8(5);
  o.U8(0);
  o.Pad4();
  return o.Finish();
}

std::vector<uint8_t> EncodeFault(uint32_t call_id, uint16_t context_id, uint32_t status, uint8_t flags) {
  Out o;
  o.Header(kFault, static_cast<uint8_t>(kFirstFrag | kLastFrag | flags), call_id);
  o.U32(0);
  o.U16(context_id);
  o.U8(0);
  o.U8(0);
  o.U32(status);
  o.U32(0);
  return o.Finish();
}

std::vector<uint8_t> EncodeShutdown(uint32_t call_id) {
  Out o;
  o.Header(kShutdown, kFirstFrag | kLastFrag, call_id);
  return o.Finish();
}

std::vector<std::vector<uint8_t>> EncodeCall(uint8_t ptype, uint32_t call_id, uint16_t context_id,
                                             uint16_t opnum, const std::vector<uint8_t>& stub,
                                             uint16_t max_frag) {
  if (max_frag < kRequestHeaderSize + 8) throw PduError("fragment size too small");
  std::size_t per = (max_frag - kRequestHeaderSize) & ~std::size_t{7};
  std::vector<std::vector<uint8_t>> frags;
  std::size_t off = 0;
  do {
    std::size_t n = stub.size() - off < per ? stub.size() - off : per;
    uint8_t flags = 0;
    if (off == 0) flags |= kFirstFrag;
    if (off + n == stub.size()) flags |= kLastFrag;
    Out o;
    o.b.reserve(kRequestHeaderSize + n);
    o.Header(ptype, flags, call_id);
    o.U32(static_cast<uint32_t>(stub.size() - off));  // alloc_hint: what is still to come
    o.U16(context_id);
    if (ptype == kRequest) {
      o.U16(opnum);
    } else {
      o.U8(0);
      o.U8(0);
    }
    o.Bytes(stub.data() + off, n);
    frags.push_back(o.Finish());
    off += n;
  } while (off < stub.size());
  return frags;
}

Pdu DecodePdu(const uint8_t* data, std::size_t size) {
  In in(data, size);
  Pdu pdu;
  Header& h = pdu.header;
  h.vers = in.U8("the header");
  h.vers_minor = in.U8("the header");
  h.ptype = in.U8("the header");
  h.flags = in.U8("the header");
  for (uint8_t& d : h.drep) d = in.U8("the header");
  h.frag_length = in.U16("the header");
  h.auth_length = in.U16("the header");
  h.call_id = in.U32("the header");
  if (h.vers != 5 || h.vers_minor > 1) {
    throw PduError("unsupported protocol version " + std::to_string(h.vers) + "." + std::to_string(h.vers_minor));
  }
  if (h.frag_length != size) throw PduError("frag_length does not match the PDU size");
  if ((h.drep[0] & 0xF0) != 0x10 || (h.drep[0] & 0x0F) != 0 || h.drep[1] != 0) {
    throw PduError("only little-endian ASCII IEEE data representation is supported");
  }
  if (h.auth_length != 0) throw PduError("authenticated PDUs are not supported");
  switch (h.ptype) {
    case kBind:
    case kAlterContext: {
      BindPdu& b = pdu.bind;
      b.max_xmit = in.U16("bind");
      b.max_recv = in.U16("bind");
      b.assoc_group = in.U32("bind");
      uint8_t n = in.U8("bind");
      in.Skip(3, "bind");
      for (int i = 0; i < n; ++i) {
        ContextElem c;
        c.context_id = in.U16("a presentation context");
        uint8_t nt = in.U8("a presentation context");
        in.Skip(1, "a presentation context");
        c.abstract = in.Syntax("an abstract syntax");
        for (int k = 0; k < nt; ++k) c.transfer.push_back(in.Syntax("a transfer syntax"));
        b.contexts.push_back(std::move(c));
      }
      break;
    }
    case kBindAck:
    case kAlterContextResp: {
      BindAckPdu& a = pdu.bind_ack;
      a.max_xmit = in.U16("bind_ack");
      a.max_recv = in.U16("bind_ack");
      a.assoc_group = in.U32("bind_ack");
      uint16_t len = in.U16("bind_ack");
      in.Need(len, "the secondary address");
      a.sec_addr.assign(reinterpret_cast<const char*>(in.here()), strnlen(reinterpret_cast<const char*>(in.here()), len));
      in.Skip(len, "the secondary address");
      in.Pad4("bind_ack");
      uint8_t n = in.U8("bind_ack");
      in.Skip(3, "bind_ack");
      for (int i = 0; i < n; ++i) {
        ContextResult r;
        r.result = in.U16("a context result");
        r.reason = in.U16("a context result");
        r.transfer = in.Syntax("a context result");
        a.results.push_back(r);
      }
      break;
    }
    case kBindNak:
      pdu.bind_nak.reason = in.U16("bind_nak");
      break;
    case kRequest: {
      CallFragment& c = pdu.call;
      c.alloc_hint = in.U32("request");
      c.context_id = in.U16("request");
      c.opnum = in.U16("request");
      if (h.flags & kObjectUuid) in.Skip(16, "the object UUID");
      c.stub.assign(in.here(), in.here() + in.left());
      break;
    }
    case kResponse: {
      CallFragment& c = pdu.call;
      c.alloc_hint = in.U32("response");
      c.context_id = in.U16("response");
      c.cancel_count = in.U8("response");
      in.Skip(1, "response");
      c.stub.assign(in.here(), in.here() + in.left());
      break;
    }
    case kFault: {
      CallFragment& c = pdu.call;
      c.alloc_hint = in.U32("fault");
      c.context_id = in.U16("fault");
      c.cancel_count = in.U8("fault");
      in.Skip(1, "fault");
      c.status = in.U32("fault status");
      break;
    }
    case kShutdown:
    case kCoCancel:
    case kOrphaned:
      break;
    default:
      throw PduError("unknown PDU type " + std::to_string(h.ptype));
  }
  return pdu;
}

void Framer::Feed(const uint8_t* data, std::size_t size) {
  if (start_ > 0 && start_ == buf_.size()) {
    buf_.clear();
    start_ = 0;
  } else if (start_ > 65536) {
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buf_.insert(buf_.end(), data, data + size);
}

std::optional<std::vector<uint8_t>> Framer::Next() {
  std::size_t avail = buf_.size() - start_;
  if (avail < kHeaderSize) return std::nullopt;
  const uint8_t* h = buf_.data() + start_;
  if (h[0] != 5) throw PduError("not a DCE/RPC 5 PDU (version byte " + std::to_string(h[0]) + ")");
  uint16_t len = static_cast<uint16_t>(h[8] | h[9] << 8);
  if (len < kHeaderSize) throw PduError("frag_length " + std::to_string(len) + " is shorter than the header");
  if (len > max_frag_) {
    throw PduError("frag_length " + std::to_string(len) + " exceeds the limit of " + std::to_string(max_frag_));
  }
  if (avail < len) return std::nullopt;
  std::vector<uint8_t> pdu(h, h + len);
  start_ += len;
  return pdu;
}

bool Reassembler::Add(const Pdu& pdu) {
  const Header& h = pdu.header;
  if (h.flags & kFirstFrag) {
    active_ = true;
    first_ = pdu;
    first_.call.stub.clear();
    stub_.clear();
  } else {
    if (!active_) throw PduError("fragment without a first fragment");
    if (h.call_id != first_.header.call_id || h.ptype != first_.header.ptype ||
        (h.ptype == kRequest && pdu.call.opnum != first_.call.opnum)) {
      throw PduError("fragment does not belong to the call being reassembled");
    }
  }
  if (pdu.call.stub.size() > max_stub_ - stub_.size()) {
    throw PduError("reassembled call exceeds the limit of " + std::to_string(max_stub_) + " bytes");
  }
  if (stub_.empty() && (h.flags & kFirstFrag) && pdu.call.alloc_hint <= max_stub_) {
    stub_.reserve(pdu.call.alloc_hint);  // a hint: never trusted beyond the limit
  }
  stub_.insert(stub_.end(), pdu.call.stub.begin(), pdu.call.stub.end());
  if (h.flags & kLastFrag) {
    active_ = false;
    return true;
  }
  return false;
}

std::vector<uint8_t> Reassembler::TakeStub() {
  std::vector<uint8_t> s = std::move(stub_);
  stub_.clear();
  return s;
}

void Reassembler::Reset() {
  active_ = false;
  stub_.clear();
}

}  // namespace rpc
