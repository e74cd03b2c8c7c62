// Decodes arbitrary stub data as each procedure's request (what the service
// reads) and reply (what the client library reads). The first byte picks
// the procedure.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dbclient/rdb_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto op = static_cast<rdb::Op>(data[0] % 12);
  std::vector<uint8_t> stub(data + 1, data + size);
  rpc::NdrLimits limits;
  limits.max_string = 1 << 20;
  try {
    rpc::NdrReader in(stub, limits);
    rdb::Request r = rdb::DecodeRequest(op, in);
    // What decodes must encode again to the same request.
    std::vector<uint8_t> again = rdb::EncodeRequest(op, r);
    rpc::NdrReader in2(again);
    rdb::DecodeRequest(op, in2);
  } catch (const rpc::NdrError&) {
  }
  try {
    rdb::DecodeReply(op, stub);
  } catch (const rpc::NdrError&) {
  }
  return 0;
}
