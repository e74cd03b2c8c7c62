// Helpers shared by the platform layer's tests.
#pragma once

#include <cstdint>

#include "platform/filetime.h"

namespace platform::testing {

// A SystemTime from its fields (day of week left 0).
inline SystemTime St(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  SystemTime st;
  st.wYear = static_cast<std::uint16_t>(y);
  st.wMonth = static_cast<std::uint16_t>(mo);
  st.wDay = static_cast<std::uint16_t>(d);
  st.wHour = static_cast<std::uint16_t>(h);
  st.wMinute = static_cast<std::uint16_t>(mi);
  st.wSecond = static_cast<std::uint16_t>(s);
  st.wMilliseconds = static_cast<std::uint16_t>(ms);
  return st;
}

}  // namespace platform::testing
