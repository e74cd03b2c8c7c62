#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {
namespace {

void SetErrno(std::error_code* ec, int err) {
  if (ec) *ec = std::error_code(err, std::generic_category());
}

FileTime FromTimespec(const struct timespec& ts) {
  FileTime ft;
  if (!UnixToFileTime(ts, &ft)) ft = FileTime{};
  return ft;
}

// Length of the UTF-8 character starting at s[i] (1 for a stray byte).
std::size_t CharLen(std::string_view s, std::size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  if (i + n > s.size()) return 1;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

bool Match(std::string_view p, std::string_view n) {
  // Iterative matching with one backtrack point for the last '*'.
  std::size_t pi = 0, ni = 0, star_p = std::string_view::npos, star_n = 0;
  while (ni < n.size()) {
    if (pi < p.size() && p[pi] == '*') {
      star_p = ++pi;
      star_n = ni;
    } else if (pi < p.size() && p[pi] == '?') {
      ++pi;
      ni += CharLen(n, ni);
    } else if (pi < p.size() && p[pi] == n[ni]) {
      ++pi;
      ++ni;
    } else if (star_p != std::string_view::npos) {
      pi = star_p;
      star_n += CharLen(n, star_n);
      ni = star_n;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

bool GetFileTimes(const std::string& path, FileTime* creation, FileTime* last_access, FileTime* last_write,
                  std::error_code* ec) {
  struct statx sx {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
    SetErrno(ec, errno);
    return false;
  }
  auto conv = [](const struct statx_timestamp& t) {
    struct timespec ts {};
    ts.tv_sec = static_cast<time_t>(t.tv_sec);
    ts.tv_nsec = static_cast<long>(t.tv_nsec);
    return FromTimespec(ts);
  };
  if (creation) *creation = (sx.stx_mask & STATX_BTIME) ? conv(sx.stx_btime) : conv(sx.stx_ctime);
  if (last_access) *last_access = conv(sx.stx_atime);
  if (last_write) *last_write = conv(sx.stx_mtime);
  return true;
}

bool SetFileTimes(const std::string& path, const FileTime* /*creation*/, const FileTime* last_access,
                  const FileTime* last_write, std::error_code* ec) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = times[0];
  if (last_access) times[0] = FileTimeToUnix(*last_access);
  if (last_write) times[1] = FileTimeToUnix(*last_write);
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
    SetErrno(ec, errno);
    return false;
  }
  return true;
}

bool MatchWildcard(std::string_view pattern, std::string_view name) {
  if (Match(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    return Match(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

std::string ToNativePath(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

bool FileExists(std::string_view given) {
  if (given.empty()) return false;
  std::string path = ToNativePath(given);
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
  if (folder.find_first_of("*?") != std::string::npos) return false;
  if (pattern.find_first_of("*?") == std::string::npos) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (struct dirent* e = ::readdir(dir)) {
    std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    if (MatchWildcard(pattern, name)) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

std::string CurrentDirectory() {
  std::vector<char> buf(4096);
  for (;;) {
    if (::getcwd(buf.data(), buf.size())) return std::string(buf.data());
    if (errno != ERANGE || buf.size() > (1u << 20)) return {};
    buf.resize(buf.size() * 2);
  }
}

}  // namespace platform
