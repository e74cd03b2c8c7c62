#include "rpc/string_binding.h"

#include "rpc/status.h"

namespace rpc {

std::string ComposeStringBinding(const StringBinding& b) {
  std::string s;
  if (!b.object_uuid.empty()) s += b.object_uuid + "@";
  s += b.protseq;
  s += ":";
  s += b.network_address;
  if (!b.endpoint.empty() || !b.options.empty()) {
    s += "[";
    s += b.endpoint;
    if (!b.options.empty()) s += "," + b.options;
    s += "]";
  }
  return s;
}

uint32_t ParseStringBinding(std::string_view t, StringBinding* out) {
  StringBinding b;
  std::size_t colon = t.find(':');
  if (colon == std::string_view::npos) return kInvalidStringBinding;
  std::string_view head = t.substr(0, colon);
  std::size_t at = head.find('@');
  if (at != std::string_view::npos) {
    b.object_uuid = std::string(head.substr(0, at));
    head = head.substr(at + 1);
  }
  if (head.empty()) return kInvalidStringBinding;
  b.protseq = std::string(head);
  std::string_view rest = t.substr(colon + 1);
  std::size_t open = rest.find('[');
  if (open == std::string_view::npos) {
    if (rest.find(']') != std::string_view::npos) return kInvalidStringBinding;
    b.network_address = std::string(rest);
  } else {
    if (rest.back() != ']' || rest.find('[', open + 1) != std::string_view::npos) return kInvalidStringBinding;
    b.network_address = std::string(rest.substr(0, open));
    std::string_view inside = rest.substr(open + 1, rest.size() - open - 2);
    std::size_t comma = inside.find(',');
    b.endpoint = std::string(inside.substr(0, comma));
    if (comma != std::string_view::npos) b.options = std::string(inside.substr(comma + 1));
    // "endpoint=8907" is the long form of the same thing.
    if (b.endpoint.rfind("endpoint=", 0) == 0) b.endpoint = b.endpoint.substr(9);
  }
  *out = std::move(b);
  return kOk;
}

}  // namespace rpc
