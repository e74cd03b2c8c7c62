#include "rpc/status.h"

namespace rpc {

std::string StatusText(uint32_t status) {
  switch (status) {
    case kOutOfMemory: return "Not enough storage is available to complete this operation.";
    case kInvalidStringBinding: return "The string binding is invalid.";
    case kInvalidBinding: return "The binding handle is invalid.";
    case kProtseqNotSupported: return "The RPC protocol sequence is not supported.";
    case kUnknownIf: return "The interface is unknown.";
    case kServerUnavailable: return "The RPC server is unavailable.";
    case kServerTooBusy: return "The RPC server is too busy to complete this operation.";
    case kCallFailed: return "The remote procedure call failed.";
    case kCallFailedDne: return "The remote procedure call failed and did not execute.";
    case kProtocolError: return "A remote procedure call (RPC) protocol error occurred.";
    case kProcnumOutOfRange: return "The procedure number is out of range.";
    case kCannotSupport: return "The requested operation is not supported.";
    case kNullRefPointer: return "A null reference pointer was passed to the stub.";
    case kBadStubData: return "The stub received bad data.";
    case kCallCancelled: return "The remote procedure call was cancelled.";
    case kCommFailure: return "A communications failure occurred during a remote procedure call.";
    default: return {};
  }
}

uint32_t StatusFromFault(uint32_t fault) {
  switch (fault) {
    case kNcaOpRangeError: return kProcnumOutOfRange;
    case kNcaUnknownIf: return kUnknownIf;
    case kNcaProtoError: return kProtocolError;
    case kNcaServerTooBusy: return kServerTooBusy;
    case kNcaFaultUnspec: return kCallFailed;
    case kNcaFaultRemoteNoMemory: return kOutOfMemory;
    case 0x1C010001: return kCommFailure;
    default: break;
  }
  if ((fault & 0xFFFF0000u) == 0x1C000000u || (fault & 0xFFFF0000u) == 0x1C010000u) return kCallFailed;
  return fault;
}

Error::Error(uint32_t code, const std::string& detail)
    : std::runtime_error(detail.empty() ? StatusText(code) : StatusText(code) + " (" + detail + ")"),
      code_(code) {}

}  // namespace rpc
