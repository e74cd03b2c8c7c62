// Interface and transfer-syntax identifiers: a UUID with a version, as they
// appear in bind PDUs (UUID in its little-endian wire form, then version
// major and minor as two 16-bit values).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rpc {

struct Uuid {
  std::array<uint8_t, 16> wire{};  // bytes as they travel (first three fields little-endian)

  // Parses "b08f120f-ce71-45ad-8c70-89bd0134f5e8"; nullopt on malformed text.
  static std::optional<Uuid> Parse(std::string_view text);
  std::string ToString() const;
  bool operator==(const Uuid&) const = default;
};

struct SyntaxId {
  Uuid uuid;
  uint16_t major = 0;
  uint16_t minor = 0;
  bool operator==(const SyntaxId&) const = default;
};

// NDR 2.0: 8a885d04-1ceb-11c9-9fe8-08002b104860 version 2.
SyntaxId NdrSyntax();

}  // namespace rpc
