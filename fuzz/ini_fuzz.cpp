// Feeds arbitrary bytes to the INI parser: parsing must give back the input
// exactly, and lookups and edits must not fail on any input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  auto doc = platform::IniDocument::Parse(bytes);
  if (doc.Serialize() != bytes) std::abort();
  (void)doc.Get("Tellomar", "SERVER_IP_ADDR");
  doc.Set("Tellomar", "SERVER_IP_ADDR", "127.0.0.1");
  doc.Set("New", "k", "v");
  auto again = platform::IniDocument::Parse(doc.Serialize());
  if (again.Get("New", "k").value_or("") != "v") std::abort();
  if (again.Serialize() != doc.Serialize()) std::abort();
  again.RemoveKey("Tellomar", "SERVER_IP_ADDR");
  again.RemoveSection("New");
  return 0;
}
