// RPC status codes as a Windows client sees them, with their US-English
// system texts, and the NCA fault statuses that travel in fault PDUs.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rpc {

// Windows RPC status values (winerror.h numbering).
enum Status : uint32_t {
  kOk = 0,
  kInvalidBinding = 1702,        // RPC_S_INVALID_BINDING
  kProtseqNotSupported = 1703,   // RPC_S_PROTSEQ_NOT_SUPPORTED
  kInvalidStringBinding = 1700,  // RPC_S_INVALID_STRING_BINDING
  kUnknownIf = 1717,             // RPC_S_UNKNOWN_IF
  kServerUnavailable = 1722,     // RPC_S_SERVER_UNAVAILABLE
  kServerTooBusy = 1723,         // RPC_S_SERVER_TOO_BUSY
  kCallFailed = 1726,            // RPC_S_CALL_FAILED
  kCallFailedDne = 1727,         // RPC_S_CALL_FAILED_DNE
  kProtocolError = 1728,         // RPC_S_PROTOCOL_ERROR
  kProcnumOutOfRange = 1745,     // RPC_S_PROCNUM_OUT_OF_RANGE
  kCannotSupport = 1764,         // RPC_S_CANNOT_SUPPORT
  kNullRefPointer = 1780,        // RPC_X_NULL_REF_POINTER
  kBadStubData = 1783,           // RPC_X_BAD_STUB_DATA
  kCallCancelled = 1818,         // RPC_S_CALL_CANCELLED
  kCommFailure = 1820,           // RPC_S_COMM_FAILURE
  kOutOfMemory = 14,             // ERROR_OUTOFMEMORY
};

// NCA status values carried in fault PDUs (and bind_nak reasons).
enum NcaStatus : uint32_t {
  kNcaOpRangeError = 0x1C010002,
  kNcaUnknownIf = 0x1C010003,
  kNcaProtoError = 0x1C01000B,
  kNcaServerTooBusy = 0x1C010014,
  kNcaFaultUnspec = 0x1C000012,
  kNcaFaultRemoteNoMemory = 0x1C000011,
  kNcaFaultNdr = 0x000006F7,  // Windows servers send the Win32 code for bad stub data
};

// The US-English system text of a status, or an empty string when there is none.
std::string StatusText(uint32_t status);

// The status a client raises for a fault PDU's status field. Windows
// error codes pass through; NCA codes are mapped to their RPC status.
uint32_t StatusFromFault(uint32_t fault_status);

// An RPC exception: what the MS-RPC run-time raises into the caller's
// exception guard. The code is the positive status.
class Error : public std::runtime_error {
 public:
  explicit Error(uint32_t code, const std::string& detail = {});
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

}  // namespace rpc
