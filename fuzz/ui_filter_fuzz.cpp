// Feeds arbitrary bytes to the file-dialog filter parser; every accepted
// filter must re-assemble to a text that parses to the same filters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/app.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  auto parsed = ui::ParseFileFilter(in);
  if (!parsed) return 0;
  std::string again = ui::FormatFileFilter(*parsed);
  auto round = ui::ParseFileFilter(again);
  if (!round || *round != *parsed) std::abort();
  return 0;
}
