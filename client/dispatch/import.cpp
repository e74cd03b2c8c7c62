#include "client/dispatch/import.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <cstdio>
#include <iterator>

#include "client/app/text_util.h"
#include "platform/codepage.h"
#include "workbook/ado.h"

namespace dispatch {

std::string CStrTokenizer::NextToken(std::string_view delimiter) {
  const std::size_t f = delimiter.empty() ? std::string::npos : rest_.find(delimiter);
  std::string token;
  if (f == std::string::npos) {
    token.swap(rest_);
  } else {
    token = rest_.substr(0, f);
    rest_.erase(0, f + delimiter.size());
  }
  return token;
}

TextEncoding DetectEncoding(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return TextEncoding::kUtf8Bom;
  return platform::IsValidUtf8(bytes) ? TextEncoding::kUtf8 : TextEncoding::kCp949;
}

std::string FormatMessage(std::string_view format, std::initializer_list<std::string> args) {
  std::string out;
  auto arg = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      std::size_t j = i + 1;
      if (format[j] == 'l') ++j;
      if (j < format.size() && (format[j] == 's' || format[j] == 'd')) {
        if (arg != args.end()) out += *arg++;
        i = j;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

namespace {

std::string NoApostrophes(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '\'') c = ' ';
  return out;
}

// The first five fields of a CSV line: a run of commas is one separator,
// leading commas are skipped, so an empty field moves the following ones
// to the left. Returns how many were found.
std::size_t SplitCommas(std::string_view line, std::array<std::string_view, 5>& fields) {
  std::size_t n = 0;
  std::size_t pos = 0;
  while (pos < line.size() && n < fields.size()) {
    while (pos < line.size() && line[pos] == ',') ++pos;
    if (pos >= line.size()) break;
    std::size_t end = line.find(',', pos);
    if (end == std::string_view::npos) end = line.size();
    fields[n++] = line.substr(pos, end - pos);
    pos = end;
  }
  return n;
}


// A phone text the service can take: 3 to 14 characters, dashes included.
bool UsablePhoneLength(const std::string& phone) { return phone.size() >= 3 && phone.size() <= 14; }

}  // namespace

CallTargetImporter::CallTargetImporter(TargetList& list, ImportOptions options, ImportCallbacks callbacks)
    : list_(list), options_(options), callbacks_(std::move(callbacks)) {}

bool CallTargetImporter::Duplicate(const std::string& phone, ImportCounts& counts) {
  if (!options_.exclude_duplicates) return false;
  if (!m_setTelNo.Insert(phone)) {
    ++counts.duplicates;
    return true;
  }
  return false;
}

void CallTargetImporter::Append(std::string_view phone, const std::array<std::string_view, 4>& info) {
  list_.AppendNumbered(phone, info);
  if (phone.empty() || phone[0] != '0') missing_zero_ = true;
}

namespace {

// The whole file in one buffer, read straight into it (a file that grows
// while it is read is read to its end); false when it cannot be opened or
// read (a directory, for instance).
bool ReadWholeFile(const std::string& path, std::unique_ptr<char[]>& bytes, std::size_t& size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  std::size_t want = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 1;
  constexpr std::size_t kStep = 1 << 16;
  bytes = std::make_unique_for_overwrite<char[]>(want);
  size = 0;
  bool ok = true;
  for (;;) {
    if (size == want) {
      want = size + std::max(kStep, size / 2);
      auto bigger = std::make_unique_for_overwrite<char[]>(want);
      std::memcpy(bigger.get(), bytes.get(), size);
      bytes = std::move(bigger);
    }
    const ssize_t n = ::read(fd, bytes.get() + size, want - size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    size += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return ok;
}

}  // namespace

ImportResult CallTargetImporter::ImportTextFile(const std::string& path) {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  if (!ReadWholeFile(path, bytes, size)) {
    m_setTelNo.Clear();
    list_.Clear();
    ImportResult r;
    r.message = FormatMessage(msg::kFileOpenFailed, {path});
    r.caption = "에러";
    return r;
  }
  return ImportTextBytes(std::string_view(bytes.get(), size));
}

ImportResult CallTargetImporter::ImportTextBytes(std::string_view bytes) {
  m_setTelNo.Clear();
  list_.Clear();
  missing_zero_ = false;
  ImportResult r;
  ImportCounts& c = r.counts;

  const TextEncoding enc = DetectEncoding(bytes);
  if (enc == TextEncoding::kUtf8Bom) bytes.remove_prefix(3);

  // A file holding NUL bytes or endless lines is no list of call targets
  // (a workbook or a picture renamed to .csv, for instance).
  long total = 0;
  {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
      std::size_t end = bytes.find('\n', pos);
      if (end == std::string_view::npos) end = bytes.size();
      if (end - pos > options_.max_line_bytes || bytes.substr(pos, end - pos).find('\0') != std::string_view::npos) {
        r.message = "텍스트 파일이 아닙니다. 줄 " + std::to_string(total + 1) + "이(가) 너무 길거나 0 바이트를 포함합니다.";
        r.caption = "에러";
        return r;
      }
      ++total;
      if (total % 100 == 0) Status(FormatMessage(msg::kCounting, {std::to_string(total)}));
      pos = end + 1;
    }
  }

  list_.Reserve(static_cast<std::size_t>(total), enc == TextEncoding::kCp949 ? bytes.size() / 2 * 3 : bytes.size());
  std::string converted;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (Stopped()) {
      r.stopped = true;
      break;
    }
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view raw = bytes.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t cr = raw.rfind('\r');
    if (cr != std::string_view::npos) raw = raw.substr(0, cr);
    std::string_view line = raw;
    if (enc == TextEncoding::kCp949) line = converted = platform::Cp949ToUtf8(raw);
    // Every UTF-8 character of n bytes is at least n/3 bytes in code page
    // 949 (an unmappable one becomes '?'), so only short lines need measuring.
    const bool too_short = enc == TextEncoding::kCp949 ? raw.size() < 7
                                                       : line.size() < 21 && platform::Cp949Length(line) < 7;
    if (too_short) continue;
    ++c.read;

    std::array<std::string_view, 5> fields;
    const std::size_t nfields = SplitCommas(line, fields);
    std::string phone = nfields == 0 ? std::string() : std::string(fields[0]);
    FormatTelNo(phone);
    // A line without a usable number (letters only, a header line) would be
    // refused by the service and stop the whole send: it is counted as
    // ignored instead of imported.
    if (!UsablePhoneLength(phone)) {
      ++c.ignored;
      continue;
    }
    if (Duplicate(phone, c)) continue;
    // A field is copied only when it holds an apostrophe to blank out.
    std::array<std::string_view, 4> info;
    std::array<std::string, 4> blanked;
    for (std::size_t k = 1; k < nfields; ++k) {
      info[k - 1] = fields[k];
      if (fields[k].find('\'') != std::string_view::npos) info[k - 1] = blanked[k - 1] = NoApostrophes(fields[k]);
    }
    if (list_.size() % 100 == 0 && callbacks_.progress && total > 0)
      callbacks_.progress(static_cast<int>(100 * (static_cast<long>(list_.size()) + 1) / total));
    Append(phone, info);
    ++c.imported;
    if (callbacks_.status)
      Status(FormatMessage(msg::kTextStatus, {std::to_string(c.imported), std::to_string(c.duplicates)}));
  }
  AddLeadingZero();
  r.completed = true;
  r.message = FormatMessage(msg::kTextSummary, {std::to_string(c.imported), std::to_string(c.duplicates)});
  r.caption = "확인";
  return r;
}

std::string WorkbookConnectionString(const std::string& path) {
  const bool xlsx = path.size() >= 5 && ::strcasecmp(path.c_str() + path.size() - 5, ".xlsx") == 0;
  if (xlsx) {
    return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path +
           ";Extended Properties=\"Excel 12.0;HDR=No;IMEX=1\"";
  }
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Extended Properties=\"Excel 8.0;HDR=No;IMEX=1\"";
}

std::string WorkbookDataQuery(const WorkbookSelection& s) {
  static const char* kPlaceholders[4] = {"'DUMMY_NAME' as NAME ", "'DUMMY_CUST' as CUST_INFO ",
                                         "'DUMMY_CUST2' as CUST_INFO2 ", "'DUMMY_CUST3' as CUST_INFO3 "};
  std::string q = "select " + s.phone_column + " ";
  for (int i = 0; i < 4; ++i)
    q += s.info_columns[i].empty() ? std::string(", ") + kPlaceholders[i] : ", " + s.info_columns[i] + " ";
  q += "from [" + s.sheet + "]";
  return q;
}

ImportResult CallTargetImporter::ImportExcelFile(const std::string& path, const WorkbookSelection& s) {
  ImportResult r;
  ImportCounts& c = r.counts;
  CMyADOConn conn;
  auto fail = [&](const std::string& text) {
    r.message = FormatMessage(msg::kExcelOpenError, {text});
    r.caption = "알림";
    return r;
  };
  m_setTelNo.Clear();
  list_.Clear();
  missing_zero_ = false;
  if (conn.Open(WorkbookConnectionString(path)) < 1) return fail(conn.GetErrorText());
  CMyADORS rs(&conn);
  if (rs.Open("select count(*) from [" + s.sheet + "] ") < 1) return fail(rs.GetErrorText());
  const long total = rs.IsEOF() ? 0 : std::atol(rs.GetFieldValue(0).c_str());
  rs.Close();
  if (rs.Open(WorkbookDataQuery(s)) < 1) return fail(rs.GetErrorText());

  static const char* kDummies[4] = {"DUMMY_NAME", "DUMMY_CUST", "DUMMY_CUST2", "DUMMY_CUST3"};
  bool dont_ask = false;
  bool first = true;
  bool ended = false;
  while (!rs.IsEOF() && !ended) {
    if (Stopped()) {
      r.stopped = true;
      break;
    }
    ++c.read;
    if (first && s.skip_first_row) {
      first = false;
      rs.MoveNext();
      continue;
    }
    first = false;
    std::string phone = rs.GetFieldValue(0);
    std::array<std::string, 4> info;
    for (int i = 0; i < 4; ++i) {
      info[i] = rs.GetFieldValue(i + 1);
      if (info[i] == kDummies[i]) info[i].clear();
    }
    FormatTelNo(phone);
    bool valid = true;
    auto check = [&](bool failed, const char* format, const std::string& value) {
      if (!failed || ended) return;
      valid = false;
      ++c.ignored;
      if (dont_ask || !callbacks_.ask_once) return;
      const AskOnceAnswer a = callbacks_.ask_once(FormatMessage(format, {value}));
      dont_ask = a.dont_ask_again;
      if (!a.yes) ended = true;
    };
    check(!UsablePhoneLength(phone), msg::kPhoneLength, phone);
    for (int i = 0; i < 4; ++i)
      check(platform::Cp949Length(info[i]) > (i == 0 ? kInfo1MaxBytes : kInfoMaxBytes), msg::kInfoLength[i], info[i]);
    if (ended) break;
    if (valid && !Duplicate(phone, c)) {
      for (std::string& v : info) v = NoApostrophes(v);
      if (list_.size() % 100 == 0 && callbacks_.progress && total > 0)
        callbacks_.progress(static_cast<int>(100 * (static_cast<long>(list_.size()) + 1) / total));
      Append(phone, {info[0], info[1], info[2], info[3]});
      ++c.imported;
      if (callbacks_.status)
        Status(FormatMessage(msg::kExcelStatus,
                             {std::to_string(c.imported), std::to_string(c.ignored), std::to_string(c.duplicates)}));
    }
    rs.MoveNext();
  }
  rs.Close();
  conn.Close();
  if (s.skip_first_row) ++c.ignored;
  AddLeadingZero();
  r.completed = true;
  r.message = FormatMessage(msg::kExcelSummary, {std::to_string(c.read), std::to_string(c.imported),
                                                 std::to_string(c.ignored), std::to_string(c.duplicates)});
  r.caption = "확인";
  return r;
}

ImportResult CallTargetImporter::ApplyPastedText(std::string_view input) {
  ImportResult r;
  ImportCounts& c = r.counts;
  m_setTelNo.Clear();
  list_.Clear();
  missing_zero_ = false;
  std::string text(input);
  int line_no = 0;
  bool length_error = false;
  bool exhausted = false;
  while (!exhausted && !length_error) {
    std::string line;
    const std::size_t lf = text.find('\n');
    if (lf != std::string::npos) {
      line = text.substr(0, lf);
      text.erase(0, lf + 1);
    } else {
      const std::size_t b = text.find_first_not_of(' ');
      const std::size_t e = text.find_last_not_of(' ');
      line = b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
      text.clear();
      exhausted = true;
      if (line.empty()) break;
    }
    std::erase(line, '\r');
    ++line_no;
    CStrTokenizer tok(line);
    std::string phone = tok.NextToken("\t");
    if (!FormatTelNo(phone)) continue;
    ++c.read;
    if (Duplicate(phone, c)) continue;
    Append(phone, {});
    ++c.imported;
    const std::size_t row = list_.size() - 1;
    for (int i = 0; i < 4 && !tok.IsEmpty(); ++i) {
      const std::string value = NoApostrophes(tok.NextToken("\t"));
      if (platform::Cp949Length(value) > (i == 0 ? kInfo1MaxBytes : kInfoMaxBytes)) {
        r.message = FormatMessage(msg::kPasteLength[i], {std::to_string(line_no), value});
        r.caption = "알림";
        length_error = true;
        if (callbacks_.error) callbacks_.error(r.message);
        break;
      }
      list_.Set(row, 2 + i, value);
    }
  }
  AddLeadingZero();
  const std::string summary =
      FormatMessage(msg::kTextSummary, {std::to_string(c.imported), std::to_string(c.duplicates)});
  // After a length error the dialog shows that message first, then the
  // summary, and stays open.
  r.completed = !length_error;
  r.message = length_error && !callbacks_.error ? r.message + "\n" + summary : summary;
  if (!length_error) r.caption = "확인";
  return r;
}

bool CallTargetImporter::AddLeadingZero() {
  if (!missing_zero_) return false;
  missing_zero_ = false;
  if (!callbacks_.ask_add_zero || !callbacks_.ask_add_zero(msg::kAddZero)) return false;
  for (std::size_t i = 0; i < list_.size(); ++i) {
    const std::string phone = list_.Cell(i, 1);
    if (!phone.empty() && phone[0] == '0') continue;
    std::string fixed = "0" + std::string(phone);
    FormatTelNo(fixed);
    list_.Set(i, 1, fixed);
  }
  return true;
}

}  // namespace dispatch
