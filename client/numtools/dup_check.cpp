#include "client/numtools/dup_check.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "client/app/text_util.h"
#include "client/dispatch/import.h"
#include "platform/codepage.h"

namespace numtools {

// ------------------------------------------------------------------ arena

// Bump allocation in fixed blocks; everything goes at once.
class NumberMap::Arena {
 public:
  static constexpr std::size_t kBlockBytes = 1 << 20;

  void* Allocate(std::size_t bytes, std::size_t align) {
    assert(bytes <= kBlockBytes);
    std::size_t at = (used_ + align - 1) & ~(align - 1);
    if (blocks_.empty() || at + bytes > kBlockBytes) {
      blocks_.push_back(std::make_unique<unsigned char[]>(kBlockBytes));
      at = 0;
    }
    used_ = at + bytes;
    return blocks_.back().get() + at;
  }
  void Clear() {
    blocks_.clear();
    used_ = 0;
  }
  std::size_t Capacity() const { return blocks_.size() * kBlockBytes; }

 private:
  std::vector<std::unique_ptr<unsigned char[]>> blocks_;
  std::size_t used_ = 0;
};

NumberMap::NumberMap() : arena_(std::make_unique<Arena>()) {}

NumberMap::~NumberMap() = default;

std::uint64_t NumberMap::Pack(std::string_view digits) {
  std::uint64_t p = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    std::uint64_t nibble = 0;
    if (i < digits.size()) {
      assert(digits[i] >= '0' && digits[i] <= '9');
      nibble = static_cast<std::uint64_t>(digits[i] - '0') + 1;
    }
    p = p << 4 | nibble;
  }
  return p;
}

NumberMap::Entry NumberMap::Decode(const unsigned char* rec) {
  Entry e;
  auto get = [&rec]() {
    std::string_view s(reinterpret_cast<const char*>(rec + 1), rec[0]);
    rec += 1 + s.size();
    return s;
  };
  e.digits = get();
  for (std::string_view& f : e.info) f = get();
  return e;
}

void NumberMap::Put(std::string_view digits, const std::string_view (&info)[4]) {
  assert(digits.size() <= 255);
  std::size_t size = 1 + digits.size();
  for (std::string_view f : info) {
    assert(f.size() <= 255);
    size += 1 + f.size();
  }
  auto* rec = static_cast<unsigned char*>(arena_->Allocate(size, 1));
  unsigned char* out = rec;
  auto put = [&out](std::string_view s) {
    *out++ = static_cast<unsigned char>(s.size());
    std::memcpy(out, s.data(), s.size());
    out += s.size();
  };
  put(digits);
  for (std::string_view f : info) put(f);
  slots_.push_back(Slot{Pack(digits), rec});
  // Merged as the puts grow, so that numbers put again and again do not
  // pile up slots until the map is read (amortised: the tail to merge is at
  // least as long as the ordered part).
  if (slots_.size() - ordered_ >= std::max(ordered_, kMinMergeTail)) Merge();
}

void NumberMap::Reserve(std::size_t more_puts) { slots_.reserve(slots_.size() + more_puts); }

void NumberMap::Merge() const {
  if (ordered_ == slots_.size()) return;
  const auto mid = slots_.begin() + static_cast<std::ptrdiff_t>(ordered_);
  // Both steps are stable: of equal numbers the later put comes later.
  std::stable_sort(mid, slots_.end(), Less);
  std::inplace_merge(slots_.begin(), mid, slots_.end(), Less);
  std::size_t w = 0;
  for (std::size_t r = 0; r < slots_.size(); ++r) {
    if (w > 0 && Same(slots_[w - 1], slots_[r])) {
      slots_[w - 1] = slots_[r];
    } else {
      slots_[w++] = slots_[r];
    }
  }
  slots_.resize(w);
  ordered_ = w;
}

std::size_t NumberMap::size() const {
  Merge();
  return slots_.size();
}

void NumberMap::Clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  ordered_ = 0;
  arena_->Clear();
}

void NumberMap::ForEach(const std::function<void(const Entry&)>& fn) const {
  Merge();
  for (const Slot& s : slots_) fn(Decode(s.rec));
}

std::size_t NumberMap::MemoryUsed() const { return arena_->Capacity() + slots_.capacity() * sizeof(Slot); }

// ------------------------------------------------------------------- text

std::string_view Cp949Prefix(std::string_view cp949, std::size_t max_bytes) {
  std::size_t i = 0;
  while (i < cp949.size()) {
    const auto c = static_cast<unsigned char>(cp949[i]);
    // A lead byte with its trail byte is one character; a lone lead byte
    // at the end counts as one.
    const std::size_t n = c >= 0x81 && c <= 0xFE && i + 1 < cp949.size() ? 2 : 1;
    if (i + n > max_bytes) break;
    i += n;
  }
  return cp949.substr(0, i);
}

std::string OutputFileName(std::string_view name, int part) {
  // The dot of the file name, not one of a folder's name.
  const std::size_t slash = name.rfind('/');
  std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && slash != std::string_view::npos && dot < slash) dot = std::string_view::npos;
  const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view("txt") : name.substr(dot + 1);
  std::string out(base);
  if (part > 0) out += "_" + std::to_string(part);
  out += ".";
  out += ext;
  return out;
}

// ---------------------------------------------------------------- checker

DupChecker::DupChecker(DupCheckOptions options, DupCheckCallbacks callbacks)
    : options_(options), callbacks_(std::move(callbacks)) {}

namespace {

bool Ascii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

bool DupChecker::ReadFile(const std::string& path, DupCheckResult& r) {
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      r.status = DupCheckStatus::kInputOpenFailed;
      r.failed_path = path;
      return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
      r.status = DupCheckStatus::kInputOpenFailed;
      r.failed_path = path;
      return false;
    }
    bytes = std::move(ss).str();
  }
  if (callbacks_.file_started) callbacks_.file_started(path);

  std::string_view text = bytes;
  const dispatch::TextEncoding enc = dispatch::DetectEncoding(text);
  if (enc == dispatch::TextEncoding::kUtf8Bom) text.remove_prefix(3);
  const bool utf8 = enc != dispatch::TextEncoding::kCp949;
  map_.Reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);

  std::string converted;
  std::string key;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (Stopped()) {
      r.status = DupCheckStatus::kStopped;
      return false;
    }
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.size() > options_.max_line_bytes || line.find('\0') != std::string_view::npos) {
      r.status = DupCheckStatus::kInputNotText;
      r.failed_path = path;
      return false;
    }
    const std::size_t cr = line.rfind('\r');
    if (cr != std::string_view::npos) line = line.substr(0, cr);
    if (utf8 && !Ascii(line)) line = converted = platform::Utf8ToCp949(line);
    if (line.size() <= kShortLineBytes) continue;

    // Fields as the import splits them: a run of commas is one separator.
    dispatch::CStrTokenizer tok(line);
    std::string fields[5];
    int n = 0;
    while (n < 5 && !tok.IsEmpty()) {
      std::string f = tok.NextToken(",");
      if (!f.empty()) fields[n++] = std::move(f);
    }
    key = fields[0];
    StripNonDigits(key);
    // A line whose number field holds no digit (a header line, say) would
    // become a record without a number.
    if (key.empty()) {
      ++r.skipped;
      continue;
    }
    std::string_view info[4];
    for (int k = 0; k < 4; ++k) {
      info[k] = Cp949Prefix(fields[k + 1], kInfoMaxBytes);
      if (info[k].size() < fields[k + 1].size()) ++r.cut_fields;
    }
    map_.Put(key, info);
    ++r.read;
    if (r.read % 10 == 1 && callbacks_.reading) callbacks_.reading(r.read);
  }
  return true;
}

DupCheckResult DupChecker::Read(const std::vector<std::string>& inputs) {
  map_.Clear();
  DupCheckResult r;
  for (const std::string& path : inputs) {
    if (!ReadFile(path, r)) break;
  }
  r.distinct = static_cast<long>(map_.size());
  return r;
}

namespace {

// One output file written through a buffer; a failed write or close is
// remembered.
class OutFile {
 public:
  explicit OutFile(const std::string& path) : f_(std::fopen(path.c_str(), "wb")) {}
  ~OutFile() { Close(); }
  bool open() const { return f_ != nullptr; }
  void Put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= kFlushBytes) Flush();
  }
  bool Close() {
    if (!f_) return ok_;
    Flush();
    if (std::fclose(f_) != 0) ok_ = false;
    f_ = nullptr;
    return ok_;
  }

 private:
  static constexpr std::size_t kFlushBytes = 1 << 16;
  void Flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) ok_ = false;
    buf_.clear();
  }
  std::FILE* f_;
  std::string buf_;
  bool ok_ = true;
};

}  // namespace

DupCheckResult DupChecker::Write(const std::string& output_name, DupCheckResult r) {
  const bool split = options_.rows_per_file > 0;
  int part = split ? 1 : 0;
  std::string path = OutputFileName(output_name, part);
  auto out = std::make_unique<OutFile>(path);
  if (!out->open()) {
    r.status = DupCheckStatus::kOutputOpenFailed;
    r.failed_path = path;
    return r;
  }
  r.outputs.push_back(path);
  const long total = static_cast<long>(map_.size());
  bool failed = false;
  std::string line;
  map_.ForEach([&](const NumberMap::Entry& e) {
    if (failed) return;
    if (split && r.written > 0 && r.written % options_.rows_per_file == 0) {
      if (!out->Close()) {
        failed = true;
        r.status = DupCheckStatus::kOutputWriteFailed;
        r.failed_path = path;
        return;
      }
      path = OutputFileName(output_name, ++part);
      out = std::make_unique<OutFile>(path);
      if (!out->open()) {
        failed = true;
        r.status = DupCheckStatus::kOutputOpenFailed;
        r.failed_path = path;
        return;
      }
      r.outputs.push_back(path);
    }
    line.assign(e.digits);
    for (std::string_view f : e.info) {
      line += ',';
      line += f;
    }
    // The files users exchange end their lines as Windows writes them.
    line += "\r\n";
    out->Put(line);
    ++r.written;
    if (r.written % 10 == 1 && callbacks_.writing) callbacks_.writing(r.written, total);
  });
  if (!failed && !out->Close()) {
    r.status = DupCheckStatus::kOutputWriteFailed;
    r.failed_path = path;
  }
  return r;
}

DupCheckResult DupChecker::Run(const std::vector<std::string>& inputs, const std::string& output_name) {
  DupCheckResult r = Read(inputs);
  if (r.status != DupCheckStatus::kDone) return r;
  return Write(output_name, std::move(r));
}

}  // namespace numtools
