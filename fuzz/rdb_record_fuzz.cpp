// Feeds arbitrary bytes to the record splitter: the fields joined again with
// their terminators must be a prefix of the input, and no field may hold a
// terminator.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "client/app/rdb_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  CRDBRecord r;
  int n = r.Parse(bytes);
  if (n < 0 || n > CRDBRecord::kMaxFields) std::abort();
  std::vector<std::string> fields;
  for (int i = 0; i < n; ++i) {
    if (!r.GetField(i)) std::abort();
    std::string f(r.Field(i));
    if (f.find(CRDBRecord::kTerminator) != std::string::npos) std::abort();
    fields.push_back(f);
  }
  if (r.GetField(n) != nullptr) std::abort();
  std::string joined = MakeRDBRecord(fields);
  if (bytes.compare(0, joined.size(), joined) != 0) std::abort();
  return 0;
}
