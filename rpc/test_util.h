// Hex helpers shared by the run-time's tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rpc {

inline std::string Hex(const std::vector<uint8_t>& v) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (uint8_t b : v) {
    s += d[b >> 4];
    s += d[b & 15];
  }
  return s;
}

inline std::vector<uint8_t> Unhex(std::string_view h) {
  auto val = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  std::vector<uint8_t> v;
  for (std::size_t i = 0; i + 1 < h.size(); i += 2) v.push_back(static_cast<uint8_t>(val(h[i]) << 4 | val(h[i + 1])));
  return v;
}

}  // namespace rpc
