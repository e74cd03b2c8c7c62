// Feeds arbitrary bytes through the framer, the PDU decoder and the
// reassembler, as a peer's stream would reach them.
#include <cstddef>
#include <cstdint>

#include "rpc/pdu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rpc::Framer framer(5840);
  rpc::Reassembler reassembler(1 << 20);
  // Split the input at a point the input itself chooses, to vary chunking.
  size_t cut = size ? data[0] % (size + 1) : 0;
  try {
    framer.Feed(data, cut);
    for (int pass = 0; pass < 2; ++pass) {
      while (auto bytes = framer.Next()) {
        try {
          rpc::Pdu pdu = rpc::DecodePdu(bytes->data(), bytes->size());
          if (pdu.header.ptype == rpc::kRequest || pdu.header.ptype == rpc::kResponse) {
            if (reassembler.Add(pdu)) reassembler.TakeStub();
          }
        } catch (const rpc::PduError&) {
        }
      }
      if (pass == 0) framer.Feed(data + cut, size - cut);
    }
  } catch (const rpc::PduError&) {
  }
  return 0;
}
