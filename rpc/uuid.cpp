#include "rpc/uuid.h"

#include <cstdio>

namespace rpc {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<Uuid> Uuid::Parse(std::string_view t) {
  if (t.size() != 36 || t[8] != '-' || t[13] != '-' || t[18] != '-' || t[23] != '-') return std::nullopt;
  uint8_t b[16];
  int n = 0;
  for (std::size_t i = 0; i < t.size();) {
    if (t[i] == '-') { ++i; continue; }
    int hi = HexValue(t[i]), lo = HexValue(t[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    b[n++] = static_cast<uint8_t>(hi << 4 | lo);
    i += 2;
  }
  Uuid u;
  // time_low, time_mid, time_hi_and_version are little-endian on the wire.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) u.wire[i] = b[order[i]];
  return u;
}

std::string Uuid::ToString() const {
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  char out[37];
  int p = 0;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out[p++] = '-';
    std::snprintf(out + p, 3, "%02x", wire[order[i]]);
    p += 2;
  }
  return std::string(out, p);
}

SyntaxId NdrSyntax() {
  static const SyntaxId ndr{*Uuid::Parse("8a885d04-1ceb-11c9-9fe8-08002b104860"), 2, 0};
  return ndr;
}

}  // namespace rpc
