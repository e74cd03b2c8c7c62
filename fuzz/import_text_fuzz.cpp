// Text-file and pasted-text import on arbitrary bytes: no crash, no hang,
// and every imported row has a phone text of 3 to 14 characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "client/dispatch/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  dispatch::SendList list;
  dispatch::ImportCallbacks cb;
  cb.ask_add_zero = [](const std::string&) { return true; };
  dispatch::CallTargetImporter imp(list, {}, cb);
  imp.ImportTextBytes(bytes);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::size_t n = list.Get(i, 1).size();
    if (n < 3 || n > 15) std::abort();  // the leading-zero fix may add one
  }
  imp.ApplyPastedText(bytes);
  return 0;
}
