#include "rpc/pdu.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "rpc/ndr.h"
#include "rpc/test_util.h"

#ifndef RPC_TESTDATA
#define RPC_TESTDATA "rpc/testdata"
#endif

namespace rpc {
namespace {

// The captured PDUs, keyed by the first words of their comment line.
std::map<std::string, std::vector<uint8_t>> Golden() {
  std::ifstream f(RPC_TESTDATA "/golden-pdus.txt");
  std::map<std::string, std::vector<uint8_t>> out;
  std::string line, label;
  while (std::getline(f, line)) {
    if (line.rfind("# ", 0) == 0) {
      label = line.substr(2);
    } else if (!line.empty()) {
      out[label] = Unhex(line);
    }
  }
  return out;
}

const std::vector<uint8_t>& G(const std::string& prefix) {
  static const auto golden = Golden();
  for (const auto& [k, v] : golden)
    if (k.rfind(prefix, 0) == 0) return v;
  static const std::vector<uint8_t> none;
  ADD_FAILURE() << "no captured PDU " << prefix;
  return none;
}

const SyntaxId kDb{*Uuid::Parse("b08f120f-ce71-45ad-8c70-89bd0134f5e8"), 1, 0};

TEST(Pdu, BindMatchesBothCapturedClients) {
  for (uint16_t frag : {uint16_t{4280}, uint16_t{5840}}) {
    BindPdu b;
    b.max_xmit = b.max_recv = frag;
    b.contexts.push_back({0, kDb, {NdrSyntax()}});
    const auto& want = frag == 4280 ? G("bind, impacket") : G("bind, Wine");
    EXPECT_EQ(Hex(EncodeBind(kBind, 1, b)), Hex(want));

    Pdu p = DecodePdu(want.data(), want.size());
    EXPECT_EQ(p.header.ptype, kBind);
    ASSERT_EQ(p.bind.contexts.size(), 1u);
    EXPECT_EQ(p.bind.contexts[0].abstract, kDb);
    EXPECT_EQ(p.bind.contexts[0].transfer.at(0), NdrSyntax());
    EXPECT_EQ(p.bind.max_recv, frag);
  }
}

TEST(Pdu, BindAckAcceptAndRejectMatchCaptures) {
  BindAckPdu ack;
  ack.assoc_group = 1;
  ack.sec_addr = "47001";
  ack.results.push_back({kAcceptance, 0, NdrSyntax()});
  EXPECT_EQ(Hex(EncodeBindAck(kBindAck, 1, ack)), Hex(G("bind_ack accept")));

  ack.assoc_group = 6;
  ack.results[0] = {kProviderRejection, kAbstractSyntaxNotSupported, SyntaxId{}};
  EXPECT_EQ(Hex(EncodeBindAck(kBindAck, 1, ack)), Hex(G("bind_ack provider_rejection")));

  const auto& rej = G("bind_ack provider_rejection");
  Pdu p = DecodePdu(rej.data(), rej.size());
  EXPECT_EQ(p.bind_ack.sec_addr, "47001");
  ASSERT_EQ(p.bind_ack.results.size(), 1u);
  EXPECT_EQ(p.bind_ack.results[0].result, kProviderRejection);
  EXPECT_EQ(p.bind_ack.results[0].reason, kAbstractSyntaxNotSupported);
}

TEST(Pdu, RequestsAndResponsesMatchCaptures) {
  NdrWriter w;
  w.String("hello");
  w.Long(21);
  auto frags = EncodeCall(kRequest, 1, 0, 0, w.bytes(), kWindowsMaxFrag);
  ASSERT_EQ(frags.size(), 1u);
  EXPECT_EQ(Hex(frags[0]), Hex(G("request opnum 0")));

  NdrWriter w2;
  w2.Long(5);
  w2.ConformantVaryingBytes("ddddd", 5);
  EXPECT_EQ(Hex(EncodeCall(kRequest, 1, 0, 2, w2.bytes(), kWindowsMaxFrag).at(0)), Hex(G("request opnum 2")));

  for (const char* label : {"response opnum 3", "response opnum 1"}) {
    const auto& resp = G(label);
    Pdu p = DecodePdu(resp.data(), resp.size());
    EXPECT_EQ(p.header.ptype, kResponse);
    EXPECT_EQ(p.call.stub.size(), p.call.alloc_hint) << label;
    EXPECT_EQ(Hex(EncodeCall(kResponse, 1, 0, 0, p.call.stub, kWindowsMaxFrag).at(0)), Hex(resp)) << label;
  }

  // Array of three {long; FILETIME; char[261]} then small 3.
  const auto& r1 = G("response opnum 1");
  Pdu p = DecodePdu(r1.data(), r1.size());
  NdrReader r(p.call.stub);
  ASSERT_EQ(r.Long(), 3u);
  for (uint32_t i = 0; i < 3; ++i) {
    r.Align(4);
    EXPECT_EQ(r.Long(), 100 + i);
    uint32_t lo, hi;
    r.FileTime(&lo, &hi);
    EXPECT_EQ(r.FixedChars(261), "f" + std::to_string(i) + ".vox");
  }
  EXPECT_EQ(r.Small(), 3);
}

TEST(Pdu, FaultsFromBothPeersDecode) {
  const auto& wine = G("fault nca_s_op_rng_error");
  Pdu p = DecodePdu(wine.data(), wine.size());
  EXPECT_EQ(p.header.ptype, kFault);
  EXPECT_EQ(p.call.status, 0x1c010002u);
  EXPECT_EQ(Hex(EncodeFault(1, 0, 0x1c010002u)), Hex(wine));

  // impacket's 28-byte fault carries the status right after the common part.
  const auto& imp = G("fault from impacket");
  Pdu q = DecodePdu(imp.data(), imp.size());
  EXPECT_EQ(q.call.status, 0x6e4u);
}

TEST(Pdu, MalformedPdusAreErrors) {
  auto bind = G("bind, Wine");
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"truncated", std::vector<uint8_t>(bind.begin(), bind.begin() + 40)});
  auto v4 = bind; v4[0] = 4; cases.push_back({"version 4", v4});
  auto big = bind; big[24] = 9; cases.push_back({"more contexts than bytes", big});
  auto len = bind; len[8] = 0x50; cases.push_back({"frag_length mismatch", len});
  auto be = bind; be[4] = 0x00; cases.push_back({"big-endian drep", be});
  auto ty = bind; ty[2] = 99; cases.push_back({"unknown type", ty});
  for (const Case& c : cases) {
    EXPECT_THROW(DecodePdu(c.bytes.data(), c.bytes.size()), PduError) << c.name;
  }
}

// A stream cut at every possible place gives back the same PDUs.
TEST(Pdu, FramerReassemblesAnyChunking) {
  std::vector<uint8_t> stream;
  std::vector<std::vector<uint8_t>> pdus = {G("bind, Wine"), G("request opnum 0"), G("response opnum 3")};
  for (const auto& p : pdus) stream.insert(stream.end(), p.begin(), p.end());
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{16}, std::size_t{17}, std::size_t{1000}, stream.size()}) {
    Framer f;
    std::vector<std::vector<uint8_t>> got;
    for (std::size_t off = 0; off < stream.size(); off += chunk) {
      f.Feed(stream.data() + off, std::min(chunk, stream.size() - off));
      while (auto p = f.Next()) got.push_back(*p);
    }
    EXPECT_EQ(got, pdus) << "chunk " << chunk;
    EXPECT_EQ(f.buffered(), 0u);
  }
  Framer bad(5840);
  std::vector<uint8_t> h = {5, 0, 0, 3, 0x10, 0, 0, 0, 0xff, 0xff, 0, 0, 1, 0, 0, 0};
  bad.Feed(h.data(), h.size());
  EXPECT_THROW(bad.Next(), PduError);  // longer than allowed
  Framer tiny;
  h[8] = 8; h[9] = 0;
  tiny.Feed(h.data(), h.size());
  EXPECT_THROW(tiny.Next(), PduError);  // shorter than a header
}

TEST(Pdu, FragmentationRoundTripsAtBothFragmentSizes) {
  for (uint16_t frag : {uint16_t{4280}, uint16_t{5840}}) {
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{4256}, std::size_t{4257}, std::size_t{50000}}) {
      std::vector<uint8_t> stub(n);
      for (std::size_t i = 0; i < n; ++i) stub[i] = static_cast<uint8_t>(i * 7);
      auto frags = EncodeCall(kRequest, 9, 0, 6, stub, frag);
      Reassembler r;
      bool done = false;
      for (std::size_t i = 0; i < frags.size(); ++i) {
        ASSERT_LE(frags[i].size(), frag);
        Pdu p = DecodePdu(frags[i].data(), frags[i].size());
        if (i + 1 < frags.size()) {
          EXPECT_EQ(p.call.stub.size() % 8, 0u);
        }
        EXPECT_EQ(p.call.opnum, 6);
        done = r.Add(p);
        EXPECT_EQ(done, i + 1 == frags.size());
      }
      EXPECT_EQ(r.TakeStub(), stub) << frag << " " << n;
    }
  }
}

TEST(Pdu, ReassemblyRejectsStrayOrOversizedFragments) {
  std::vector<uint8_t> stub(20000, 1);
  auto frags = EncodeCall(kRequest, 9, 0, 6, stub, 5840);
  ASSERT_GE(frags.size(), 3u);
  Reassembler r;
  Pdu middle = DecodePdu(frags[1].data(), frags[1].size());
  EXPECT_THROW(r.Add(middle), PduError);  // no first fragment
  Reassembler limited(12000);
  Pdu p0 = DecodePdu(frags[0].data(), frags[0].size());
  limited.Add(p0);
  limited.Add(middle);
  Pdu p2 = DecodePdu(frags[2].data(), frags[2].size());
  EXPECT_THROW(limited.Add(p2), PduError);
  Reassembler other;
  other.Add(p0);
  Pdu foreign = middle;
  foreign.header.call_id = 10;
  EXPECT_THROW(other.Add(foreign), PduError);
}

}  // namespace
}  // namespace rpc
