// Feeds arbitrary text to the text parsers of the client core (dates, times,
// telephone numbers, amounts, command lines, statement batches) and checks
// the invariants they promise.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "client/app/command_line.h"
#include "client/app/date_time.h"
#include "client/app/number_format.h"
#include "client/app/sql_batch.h"
#include "client/app/text_util.h"
#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);

  CDateTime t;
  if (t.SetDate(text) && !platform::IsValidSystemTime(t.GetSystemTime())) std::abort();
  CDateTime u;
  u.SetDate("2024-01-01");
  if (u.SetTime(text) && !u.IsValid()) std::abort();
  if (u.AddDays(static_cast<long long>(size) - 100) && !u.IsValid()) std::abort();

  std::string tel = text;
  if (FormatTelNo(tel)) {
    if (tel.size() < 11 || tel.size() > 13) std::abort();
  } else if (tel != GetDigits(text)) {
    std::abort();
  }

  (void)FormatThousands(text);
  (void)FormatAmount(text, static_cast<int>(size % 4));
  (void)RoundAt(text, static_cast<int>(size % 20));

  CommandLineWords w = SplitCommandLine(text);
  if (platform::Cp949Length(w.server_address) > kCommandLineAddressWidth ||
      platform::Cp949Length(w.login_id) > kCommandLineLoginIdWidth ||
      platform::Cp949Length(w.password) > kCommandLinePasswordWidth)
    std::abort();

  CSQLBatch b;
  for (int i = 0; i < 64 && b.Add(text); ++i) {
  }
  if (b.GetLength() > CSQLBatch::kMaxLength) std::abort();
  return 0;
}
