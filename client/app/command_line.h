// The command line of the client: optional server address, login ID and
// password.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct CommandLineWords {
  std::string server_address;  // at most 50 bytes (code page 949)
  std::string login_id;        // at most 20 bytes
  std::string password;        // at most 20 bytes
};

inline constexpr std::size_t kCommandLineAddressWidth = 50;
inline constexpr std::size_t kCommandLineLoginIdWidth = 20;
inline constexpr std::size_t kCommandLinePasswordWidth = 20;
inline constexpr std::size_t kCommandLineRestWidth = 200;

// Splits the command line. The text is trimmed; an empty text sets nothing.
// Without a blank the whole text is the server address. Otherwise the
// address is the text before the first blank; of the rest (up to 200
// bytes), the login ID is the text before its first blank and the password
// everything after it; when the rest has no blank, the login ID stays empty
// and the whole rest is the password. A run of blanks separates like one
// blank. Words longer than their widths are cut at a whole character.
CommandLineWords SplitCommandLine(std::string_view command_line);

// The arguments after the program name joined by single blanks: the
// command-line text a Windows program would see.
std::string JoinArguments(int argc, const char* const* argv);
