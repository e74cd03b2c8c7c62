// String bindings: [ObjectUuid@]ProtocolSequence:NetworkAddress[Endpoint,Options]
#pragma once

#include <string>
#include <string_view>

namespace rpc {

struct StringBinding {
  std::string object_uuid;
  std::string protseq;
  std::string network_address;
  std::string endpoint;
  std::string options;
};

// Composes the text form; parts left empty are left out. Always succeeds.
std::string ComposeStringBinding(const StringBinding& b);

// Parses the text form. Returns kOk, or kInvalidStringBinding for a text
// that is not a string binding (no protocol sequence, unbalanced brackets).
uint32_t ParseStringBinding(std::string_view text, StringBinding* out);

// The only protocol sequence this run-time speaks.
inline constexpr std::string_view kProtseqTcp = "ncacn_ip_tcp";

}  // namespace rpc
