// orv-send: imports a call-target file and sends it to the service, with
// the same import and send code as the screens.
//
//   orv-send [-s ADDRESS[:PORT]] -u LOGIN -p PASSWORD --service ID [--title T]
//            [--callback NO] [--deny-ministry] [--deny-user] [--keep-duplicates]
//            [--add-zero] [--sheet NAME --phone COL --info1 COL ... --skip-first-row]
//            [--dry-run] FILE
//
// Resuming: before the first batch the tool writes FILE.orv-send next to the
// input, holding the send's registration date, time and title and a key of
// the arguments that shape the rows. A run with the same arguments that
// finds it reuses them, so the service recognises rows it registered
// already and does not register them again; the file is removed when a
// send completes. Exit codes: 0 done, 1 bad arguments or input, 2 login or
// service failure, 3 send interrupted (run again to resume).
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

namespace dispatch {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitLogin = 2;
inline constexpr int kExitInterrupted = 3;

// Runs the tool; `stop` (set by a signal) interrupts the send.
int RunOrvSend(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const std::atomic<bool>* stop = nullptr);

// The provider's name of a sheet ("Sheet1" -> "Sheet1$") and of a column
// ("C", "3" or "F3" -> "F3"; other names unchanged).
std::string SheetName(const std::string& name);
std::string ColumnName(const std::string& column);

}  // namespace dispatch
