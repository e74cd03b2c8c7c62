#include "client/app/command_line.h"

#include "platform/codepage.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::size_t FindBlank(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (IsBlank(s[i])) return i;
  }
  return std::string_view::npos;
}

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

}  // namespace

CommandLineWords SplitCommandLine(std::string_view command_line) {
  CommandLineWords words;
  std::string_view text = Trim(command_line);
  if (text.empty()) return words;
  std::size_t blank = FindBlank(text);
  if (blank == std::string_view::npos) {
    words.server_address = platform::Cp949Truncate(text, kCommandLineAddressWidth);
    return words;
  }
  words.server_address = platform::Cp949Truncate(text.substr(0, blank), kCommandLineAddressWidth);
  std::string rest = platform::Cp949Truncate(SkipBlanks(text.substr(blank)), kCommandLineRestWidth);
  std::string_view r = Trim(rest);
  std::size_t second = FindBlank(r);
  if (second == std::string_view::npos) {
    words.password = platform::Cp949Truncate(r, kCommandLinePasswordWidth);
    return words;
  }
  words.login_id = platform::Cp949Truncate(r.substr(0, second), kCommandLineLoginIdWidth);
  words.password = platform::Cp949Truncate(SkipBlanks(r.substr(second)), kCommandLinePasswordWidth);
  return words;
}

std::string JoinArguments(int argc, const char* const* argv) {
  std::string out;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) out += ' ';
    out += argv[i];
  }
  return out;
}
