// The debug log: lines of "[Tellomar]" and the text, on standard error or
// in a log file.
//
// The program owns one CDebugLog and installs it with SetDebugLog; DebugLog
// writes to the installed log, or to standard error when none is installed.
// Writing is safe from any thread: each line is written whole.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

class CDebugLog {
 public:
  static constexpr std::string_view kPrefix = "[Tellomar]";
  // Formatted texts are cut to this many bytes, at a whole character.
  static constexpr std::size_t kMaxText = 4095;

  CDebugLog() = default;  // standard error
  ~CDebugLog();
  CDebugLog(const CDebugLog&) = delete;
  CDebugLog& operator=(const CDebugLog&) = delete;

  // Appends to the file from now on; false (and standard error stays) when
  // it cannot be opened.
  bool OpenFile(const std::string& path);
  // Writes the prefix and the text, and a line end when the text has none.
  void Write(std::string_view text);

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

// Installs the program's log (null: standard error). The log must outlive
// every DebugLog call made while it is installed.
void SetDebugLog(CDebugLog* log);

// printf-style debug line.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
