#include "client/app/debug_log.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>

namespace {

std::atomic<CDebugLog*> g_installed{nullptr};

std::string Line(std::string_view text) {
  std::string line;
  line.reserve(CDebugLog::kPrefix.size() + text.size() + 1);
  line += CDebugLog::kPrefix;
  line += text;
  if (line.back() != '\n') line += '\n';
  return line;
}

void WriteFd(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n <= 0) return;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Cuts a formatted text to kMaxText bytes without splitting a UTF-8
// character.
std::string_view CutText(std::string_view s) {
  if (s.size() <= CDebugLog::kMaxText) return s;
  std::size_t n = CDebugLog::kMaxText;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

}  // namespace

CDebugLog::~CDebugLog() {
  if (file_) std::fclose(file_);
}

bool CDebugLog::OpenFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "ae");
  if (!f) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = f;
  return true;
}

void CDebugLog::Write(std::string_view text) {
  std::string line = Line(CutText(text));
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_) {
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
  } else {
    WriteFd(STDERR_FILENO, line);
  }
}

void SetDebugLog(CDebugLog* log) { g_installed.store(log); }

void DebugLog(const char* format, ...) {
  char buf[CDebugLog::kMaxText + 1 + 4];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  if (n < 0) return;
  std::string_view text(buf, std::min(static_cast<std::size_t>(n), sizeof buf - 1));
  if (CDebugLog* log = g_installed.load()) {
    log->Write(text);
  } else {
    WriteFd(STDERR_FILENO, Line(CutText(text)));
  }
}
