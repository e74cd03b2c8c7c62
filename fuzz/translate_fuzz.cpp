// Fuzz target: the SQL Server dialect translator must never crash or hang on
// any input, and what it produces must be consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "provider/sql/translate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  provider::TranslateLimits limits;
  limits.max_text_bytes = 1 << 16;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const provider::Translation t = provider::Translate(text, limits);
  if (!t.ok()) return 0;
  for (const provider::Statement& st : t.statements) {
    if (st.is_call && st.call.args.size() != st.call.is_null.size()) std::abort();
    if (!st.is_call) (void)provider::Translate(st.sql, limits);  // output is input too
  }
  return 0;
}
