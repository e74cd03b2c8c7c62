#include "platform/ini.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/codepage.h"

namespace platform {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares two names ignoring ASCII case. Works for code page 949 and UTF-8
// alike: a byte of 0x81 or above starts a character whose following byte is
// compared exactly, so the trail bytes of code page 949 (which include the
// ranges of the ASCII letters) are never folded.
bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(a[i]);
    if (c >= 0x81) {
      if (a[i] != b[i]) return false;
      if (i + 1 < a.size()) {
        ++i;
        if (a[i] != b[i]) return false;
      }
      continue;
    }
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool HasLineEndOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Cuts bytes in the given encoding to at most max bytes at a whole character.
std::string CutToBytes(std::string_view s, std::size_t max, IniEncoding enc) {
  if (s.size() <= max) return std::string(s);
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = 1;
    if (enc == IniEncoding::kCp949) {
      if (c >= 0x81 && c <= 0xFE) n = 2;
    } else {
      n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    }
    if (i + n > max) break;
    i += n;
  }
  return std::string(s.substr(0, i));
}

std::string Describe(const std::string& what, const std::string& path, int err) {
  return what + " (" + path + "): " + std::strerror(err);
}

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

// Reads the whole file. Returns false with *err set (ENOENT for a missing
// file, EFBIG for one above the limit).
bool ReadFileBytes(const std::string& path, std::size_t max, std::string* out, int* err) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *err = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    *err = errno;
    ::close(fd);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    *err = EISDIR;
    return false;
  }
  out->clear();
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      *err = errno;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    if (out->size() + static_cast<std::size_t>(n) > max) {
      ::close(fd);
      *err = EFBIG;
      return false;
    }
    out->append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string TempName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  return path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
         std::to_string(rd() & 0xFFFFFF);
}

// Replaces the file with new content: temporary file, flush, rename.
bool ReplaceFile(const std::string& path, std::string_view data, std::string* error) {
  struct stat st {};
  bool existed = ::stat(path.c_str(), &st) == 0;
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    tmp = TempName(path);
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    SetError(error, Describe("cannot create temporary file", tmp, errno));
    return false;
  }
  bool ok = WriteAll(fd, data);
  int err = errno;
  if (ok && existed) (void)::fchmod(fd, st.st_mode & 07777);
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    err = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    SetError(error, Describe("cannot write", path, err));
    return false;
  }
  return true;
}

// Holds an exclusive advisory lock on a folder for the lifetime of the object.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) {
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
      err_ = errno;
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) break;
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool ok() const { return fd_ >= 0; }
  int error() const { return err_; }

 private:
  int fd_ = -1;
  int err_ = 0;
};

// Text in the API (UTF-8) to the file's encoding; false when it cannot be
// stored there without loss.
bool ToFile(std::string_view utf8, IniEncoding enc, std::string* out) {
  if (!IsValidUtf8(utf8)) return false;
  if (enc == IniEncoding::kUtf8) {
    *out = std::string(utf8);
    return true;
  }
  *out = Utf8ToCp949(utf8);
  return Cp949ToUtf8(*out) == utf8;
}

std::string FromFile(std::string_view bytes, IniEncoding enc) {
  if (enc == IniEncoding::kUtf8) return std::string(bytes);
  return Cp949ToUtf8(bytes);
}

// Loads a document for reading; false when there is nothing to read.
bool LoadForRead(const std::string& path, const IniOptions& options, IniDocument* doc, IniEncoding* enc) {
  std::string bytes;
  int err = 0;
  if (!ReadFileBytes(path, options.max_file_bytes, &bytes, &err)) return false;
  *doc = IniDocument::Parse(bytes);
  *enc = doc->HasBom() ? IniEncoding::kUtf8 : options.encoding;
  return true;
}

std::string ResolveTarget(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    auto target = std::filesystem::canonical(path, ec);
    if (!ec) return target.string();
  }
  return path;
}

// Read, change, write back under the folder lock. The change returns -1 to
// refuse (with a reason), 0 for "nothing to do", 1 for a change.
template <typename Change>
bool Modify(const std::string& given_path, const IniOptions& options, std::string* error, Change change) {
  const std::string path = ResolveTarget(given_path);
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty()) folder = ".";
  FolderLock lock(folder);
  if (!lock.ok()) {
    SetError(error, Describe("cannot open folder", folder, lock.error()));
    return false;
  }
  std::string bytes;
  int err = 0;
  IniDocument doc;
  bool existed = ReadFileBytes(path, options.max_file_bytes, &bytes, &err);
  if (!existed && err != ENOENT) {
    SetError(error, Describe("cannot read", path, err));
    return false;
  }
  if (existed) doc = IniDocument::Parse(bytes);
  IniEncoding enc = doc.HasBom() ? IniEncoding::kUtf8 : options.encoding;
  std::string change_error;
  int changed = change(doc, enc, &change_error);
  if (changed < 0) {
    SetError(error, change_error + " (" + path + ")");
    return false;
  }
  if (changed == 0) return true;
  std::string out = doc.Serialize();
  if (existed && out == bytes) return true;
  return ReplaceFile(path, out, error);
}

std::optional<std::string> ReadValue(std::string_view section, std::string_view key, const std::string& path,
                                     std::size_t buffer_size, const IniOptions& options) {
  IniDocument doc;
  IniEncoding enc{};
  if (!LoadForRead(path, options, &doc, &enc)) return std::nullopt;
  std::string fsection, fkey;
  if (!ToFile(section, enc, &fsection) || !ToFile(key, enc, &fkey)) return std::nullopt;
  std::optional<std::string> raw = doc.Get(fsection, fkey);
  if (!raw) return std::nullopt;
  std::string value = StripIniQuotes(*raw);
  if (buffer_size != 0) value = CutToBytes(value, buffer_size - 1, enc);
  return FromFile(value, enc);
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  if (bytes.substr(0, kBom.size()) == kBom) {
    doc.bom_ = true;
    bytes.remove_prefix(kBom.size());
  }
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    Line line;
    if (end == std::string_view::npos) {
      line.text = std::string(bytes.substr(pos));
      pos = bytes.size();
    } else {
      line.text = std::string(bytes.substr(pos, end - pos));
      std::size_t eol_len = (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1;
      line.eol = std::string(bytes.substr(end, eol_len));
      pos = end + eol_len;
    }
    std::string_view t = Trim(line.text);
    if (!t.empty() && t.front() == '[') {
      std::size_t close = t.find(']');
      if (close != std::string_view::npos) {
        line.kind = Kind::kSection;
        line.name = std::string(Trim(t.substr(1, close - 1)));
      }
    } else if (!t.empty() && t.front() != ';') {
      std::size_t eq = line.text.find('=');
      std::string_view key = Trim(std::string_view(line.text).substr(0, eq));
      if (!key.empty()) {
        line.kind = Kind::kEntry;
        line.name = std::string(key);
        if (eq == std::string::npos) {
          line.value_pos = line.text.size();
        } else {
          line.has_equals = true;
          std::size_t v = eq + 1;
          while (v < line.text.size() && IsBlank(line.text[v])) ++v;
          std::size_t e = line.text.size();
          while (e > v && IsBlank(line.text[e - 1])) --e;
          line.value_pos = v;
          line.value_len = e - v;
        }
      }
    }
    doc.lines_.push_back(std::move(line));
  }
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string out;
  if (bom_) out.append(kBom);
  for (const Line& l : lines_) {
    out.append(l.text);
    out.append(l.eol);
  }
  return out;
}

std::size_t IniDocument::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::kSection && EqualNoCase(lines_[i].name, section)) return i;
  }
  return std::string::npos;
}

std::size_t IniDocument::SectionEnd(std::size_t h) const {
  std::size_t i = h + 1;
  while (i < lines_.size() && lines_[i].kind != Kind::kSection) ++i;
  return i;
}

std::string IniDocument::DefaultEol() const {
  for (const Line& l : lines_) {
    if (!l.eol.empty()) return l.eol;
  }
  return "\r\n";
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  std::size_t h = FindSection(section);
  if (h == std::string::npos) return std::nullopt;
  std::size_t end = SectionEnd(h);
  for (std::size_t i = h + 1; i < end; ++i) {
    const Line& l = lines_[i];
    if (l.kind == Kind::kEntry && EqualNoCase(l.name, key)) return l.text.substr(l.value_pos, l.value_len);
  }
  return std::nullopt;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string eol = DefaultEol();
  auto make_entry = [&] {
    Line l;
    l.kind = Kind::kEntry;
    l.name = std::string(key);
    l.text = std::string(key) + "=" + std::string(value);
    l.eol = eol;
    l.has_equals = true;
    l.value_pos = key.size() + 1;
    l.value_len = value.size();
    return l;
  };
  std::size_t h = FindSection(section);
  if (h == std::string::npos) {
    if (!lines_.empty()) {
      if (lines_.back().eol.empty()) lines_.back().eol = eol;
      if (!Trim(lines_.back().text).empty()) {
        Line blank;
        blank.eol = eol;
        lines_.push_back(std::move(blank));
      }
    }
    Line head;
    head.kind = Kind::kSection;
    head.name = std::string(section);
    head.text = "[" + std::string(section) + "]";
    head.eol = eol;
    lines_.push_back(std::move(head));
    lines_.push_back(make_entry());
    return;
  }
  std::size_t end = SectionEnd(h);
  std::size_t last_entry = h;
  for (std::size_t i = h + 1; i < end; ++i) {
    Line& l = lines_[i];
    if (l.kind != Kind::kEntry) continue;
    last_entry = i;
    if (!EqualNoCase(l.name, key)) continue;
    if (!l.has_equals) {
      l.text += "=";
      l.has_equals = true;
      l.value_pos = l.text.size();
      l.value_len = 0;
    }
    l.text.replace(l.value_pos, l.value_len, value);
    l.value_len = value.size();
    return;
  }
  if (lines_[last_entry].eol.empty()) lines_[last_entry].eol = eol;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last_entry + 1), make_entry());
}

bool IniDocument::RemoveKey(std::string_view section, std::string_view key) {
  std::size_t h = FindSection(section);
  if (h == std::string::npos) return false;
  std::size_t end = SectionEnd(h);
  bool removed = false;
  for (std::size_t i = end; i-- > h + 1;) {
    if (lines_[i].kind == Kind::kEntry && EqualNoCase(lines_[i].name, key)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
    }
  }
  return removed;
}

bool IniDocument::RemoveSection(std::string_view section) {
  std::size_t h = FindSection(section);
  if (h == std::string::npos) return false;
  std::size_t end = SectionEnd(h);
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(h), lines_.begin() + static_cast<std::ptrdiff_t>(end));
  return true;
}

bool IsValidIniSection(std::string_view section) {
  return !Trim(section).empty() && Trim(section) == section && !HasLineEndOrNul(section) &&
         section.find(']') == std::string_view::npos;
}

bool IsValidIniKey(std::string_view key) {
  return !Trim(key).empty() && Trim(key) == key && !HasLineEndOrNul(key) &&
         key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';';
}

bool IsValidIniValue(std::string_view value) { return !HasLineEndOrNul(value); }

std::string StripIniQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return std::string(value.substr(1, value.size() - 2));
  }
  return std::string(value);
}

std::optional<std::string> ReadPrivateProfileValue(std::string_view section, std::string_view key,
                                                   const std::string& path, const IniOptions& options) {
  return ReadValue(Trim(section), Trim(key), path, 0, options);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view default_value,
                                    const std::string& path, std::size_t buffer_size, const IniOptions& options) {
  std::optional<std::string> value = ReadValue(Trim(section), Trim(key), path, buffer_size, options);
  if (value) return *value;
  std::string_view d = default_value;
  while (!d.empty() && d.back() == ' ') d.remove_suffix(1);
  if (buffer_size == 0) return std::string(d);
  return Cp949ToUtf8(CutToBytes(Utf8ToCp949(d), buffer_size - 1, IniEncoding::kCp949));
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int default_value, const std::string& path,
                         const IniOptions& options) {
  std::string v = GetPrivateProfileString(section, key, "", path, 0, options);
  if (v.empty()) return default_value;
  return ParseProfileInt(v);
}

int ParseProfileInt(std::string_view v) {
  std::size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
  long long n = 0;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    n = n * 10 + (v[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  return static_cast<int>(n);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path, const IniOptions& options, std::string* error) {
  section = Trim(section);
  key = Trim(key);
  if (!IsValidIniSection(section) || !IsValidIniKey(key) || !IsValidIniValue(value)) {
    SetError(error, "invalid section, key or value for " + path);
    return false;
  }
  return Modify(path, options, error, [&](IniDocument& doc, IniEncoding enc, std::string* why) {
    std::string s, k, v;
    if (!ToFile(section, enc, &s) || !ToFile(key, enc, &k) || !ToFile(value, enc, &v)) {
      *why = "text cannot be stored in the file's encoding";
      return -1;
    }
    doc.Set(s, k, v);
    return 1;
  });
}

bool DeletePrivateProfileKey(std::string_view section, std::string_view key, const std::string& path,
                             const IniOptions& options, std::string* error) {
  section = Trim(section);
  key = Trim(key);
  return Modify(path, options, error, [&](IniDocument& doc, IniEncoding enc, std::string*) {
    std::string s, k;
    if (!ToFile(section, enc, &s) || !ToFile(key, enc, &k)) return 0;
    return doc.RemoveKey(s, k) ? 1 : 0;
  });
}

bool DeletePrivateProfileSection(std::string_view section, const std::string& path, const IniOptions& options,
                                 std::string* error) {
  section = Trim(section);
  return Modify(path, options, error, [&](IniDocument& doc, IniEncoding enc, std::string*) {
    std::string s;
    if (!ToFile(section, enc, &s)) return 0;
    return doc.RemoveSection(s) ? 1 : 0;
  });
}

}  // namespace platform
