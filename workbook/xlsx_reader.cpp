#include "workbook/xlsx_reader.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <utility>

#include "workbook/cell_text.h"

namespace workbook {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::uint32_t kMaxRows = 1048576;
constexpr std::uint32_t kMaxCols = 16384;

// Elements and attributes are matched by local name: whatever prefix a
// writer chose (or none), the name after the last ':' decides.
std::string_view LocalName(const char* name) {
  // One pass over the (short) name: this runs for every element and
  // attribute of a sheet.
  const char* local = name;
  const char* p = name;
  for (; *p; ++p)
    if (*p == ':') local = p + 1;
  return {local, static_cast<std::size_t>(p - local)};
}

const char* Attr(const char** attrs, std::string_view local) {
  for (int i = 0; attrs[i]; i += 2)
    if (LocalName(attrs[i]) == local) return attrs[i + 1];
  return nullptr;
}

bool ParseU32(std::string_view s, std::uint32_t& out) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  if (s.empty()) return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}

bool IsTrue(const char* v) { return v && (std::strcmp(v, "1") == 0 || std::strcmp(v, "true") == 0); }

// Receives the expat events of one part. Handlers never throw through expat:
// they record the error and stop the parser; XmlStream throws afterwards.
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void OnStart(std::string_view local, const char** attrs) = 0;
  virtual void OnEnd(std::string_view local) = 0;
  virtual void OnText(const char*, int) {}
  void Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    XML_StopParser(parser_, XML_FALSE);
  }
  // Pauses the parser after the current event (the rows parsed so far are
  // enough for now); XmlStream::Resume goes on.
  void Suspend() { XML_StopParser(parser_, XML_TRUE); }
  const std::string& error() const { return error_; }
  void set_parser(XML_Parser p) { parser_ = p; }
  void set_max_depth(std::size_t d) { max_depth_ = d; }
  // Depth bookkeeping around every element (the parser keeps a stack of
  // open elements, so endless nesting is refused).
  bool Enter() {
    if (++depth_ <= max_depth_) return true;
    Fail("elements nest deeper than the limit max_xml_depth");
    return false;
  }
  void Leave() { --depth_; }

 private:
  XML_Parser parser_ = nullptr;
  std::size_t depth_ = 0, max_depth_ = 256;
  std::string error_;
};

void XMLCALL StartCb(void* ud, const char* name, const char** attrs) {
  auto* h = static_cast<XmlHandler*>(ud);
  if (h->Enter()) h->OnStart(LocalName(name), attrs);
}
void XMLCALL EndCb(void* ud, const char* name) {
  auto* h = static_cast<XmlHandler*>(ud);
  h->Leave();
  h->OnEnd(LocalName(name));
}
void XMLCALL TextCb(void* ud, const char* s, int len) { static_cast<XmlHandler*>(ud)->OnText(s, len); }
void XMLCALL EntityDeclCb(void* ud, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                          const XML_Char*, const XML_Char*, const XML_Char*) {
  // Workbook parts never declare entities; a part that does is refused
  // rather than expanded.
  static_cast<XmlHandler*>(ud)->Fail("entity declarations are not allowed");
}

class XmlStream {
 public:
  XmlStream(XmlHandler& handler, std::string part, const Limits& limits) : handler_(handler), part_(std::move(part)) {
    handler_.set_max_depth(limits.max_xml_depth);
    parser_ = XML_ParserCreate(nullptr);
    if (!parser_) throw WorkbookError("out of memory creating the XML parser");
    XML_SetUserData(parser_, &handler_);
    XML_SetElementHandler(parser_, StartCb, EndCb);
    XML_SetCharacterDataHandler(parser_, TextCb);
    XML_SetEntityDeclHandler(parser_, EntityDeclCb);
    handler_.set_parser(parser_);
  }
  ~XmlStream() { XML_ParserFree(parser_); }
  XmlStream(const XmlStream&) = delete;
  XmlStream& operator=(const XmlStream&) = delete;

  // Parses a buffer (which must stay unchanged while the parse is
  // suspended); returns true when the handler suspended the parse.
  bool Feed(const char* data, std::size_t n, bool final) {
    return Check(XML_Parse(parser_, data, static_cast<int>(n), final ? XML_TRUE : XML_FALSE));
  }
  bool Resume() { return Check(XML_ResumeParser(parser_)); }

 private:
  bool Check(XML_Status status) {
    if (status == XML_STATUS_SUSPENDED) return true;
    if (status != XML_STATUS_OK) {
      if (!handler_.error().empty()) throw WorkbookError(part_ + ": " + handler_.error());
      throw WorkbookError(part_ + ": malformed XML at line " + std::to_string(XML_GetCurrentLineNumber(parser_)) +
                          ": " + XML_ErrorString(XML_GetErrorCode(parser_)));
    }
    return false;
  }

  XmlHandler& handler_;
  std::string part_;
  XML_Parser parser_;
};

// One part of the archive opened for reading, with the inflated-size guard.
class ZipPart {
 public:
  ZipPart(zip_t* zip, zip_int64_t index, std::string name, const Limits& limits)
      : name_(std::move(name)), limit_(limits.max_inflated_bytes), max_token_(limits.max_xml_token_bytes) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, static_cast<zip_uint64_t>(index), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE) &&
        st.size > limit_)
      throw WorkbookError(name_ + ": inflated size " + std::to_string(st.size) +
                          " bytes exceeds the limit max_inflated_bytes (" + std::to_string(limit_) + ")");
    file_ = zip_fopen_index(zip, static_cast<zip_uint64_t>(index), 0);
    if (!file_) throw WorkbookError(name_ + ": cannot open part: " + zip_strerror(zip));
  }
  ~ZipPart() { zip_fclose(file_); }
  ZipPart(const ZipPart&) = delete;
  ZipPart& operator=(const ZipPart&) = delete;

  // Reads up to n bytes; 0 at the end.
  std::size_t Read(char* buf, std::size_t n) {
    zip_int64_t got = zip_fread(file_, buf, n);
    if (got < 0) throw WorkbookError(name_ + ": damaged compressed data: " + zip_file_strerror(file_));
    total_ += static_cast<std::uint64_t>(got);
    if (total_ > limit_)
      throw WorkbookError(name_ + ": inflates beyond the limit max_inflated_bytes (" +
                          std::to_string(limit_) + " bytes)");
    const void* last = memrchr(buf, '>', static_cast<std::size_t>(got));
    run_ = last ? static_cast<std::size_t>(buf + got - static_cast<const char*>(last) - 1)
                : run_ + static_cast<std::size_t>(got);
    if (run_ > max_token_)
      throw WorkbookError(name_ + ": an XML tag or text runs longer than the limit max_xml_token_bytes (" +
                          std::to_string(max_token_) + " bytes)");
    return static_cast<std::size_t>(got);
  }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  std::uint64_t limit_;
  std::size_t max_token_;
  std::size_t run_ = 0;  // bytes since the last '>'
  std::uint64_t total_ = 0;
  zip_file_t* file_ = nullptr;
};

// Parses a whole part through a handler.
void ParsePart(zip_t* zip, zip_int64_t index, const std::string& name, const Limits& limits,
               XmlHandler& handler) {
  ZipPart part(zip, index, name, limits);
  XmlStream xml(handler, name, limits);
  std::vector<char> buf(kChunk);
  for (;;) {
    std::size_t n = part.Read(buf.data(), buf.size());
    xml.Feed(buf.data(), n, n == 0);
    if (n == 0) break;
  }
}

// Relationship parts: Id -> (Type, Target).
struct Relationship {
  std::string type, target;
};

class RelsHandler : public XmlHandler {
 public:
  std::map<std::string, Relationship> rels;
  void OnStart(std::string_view local, const char** attrs) override {
    if (local != "Relationship") return;
    const char* id = Attr(attrs, "Id");
    const char* target = Attr(attrs, "Target");
    const char* type = Attr(attrs, "Type");
    const char* mode = Attr(attrs, "TargetMode");
    if (!id || !target || (mode && std::strcmp(mode, "External") == 0)) return;
    rels[id] = Relationship{type ? type : "", target};
  }
  void OnEnd(std::string_view) override {}
};

// Resolves a relationship target against the folder of its source part.
std::string ResolveTarget(const std::string& base_dir, const std::string& target) {
  std::string path = target.size() && target[0] == '/' ? target.substr(1) : base_dir + target;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string seg = path.substr(start, slash - start);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    start = slash + 1;
  }
  std::string out;
  for (auto& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

class WorkbookHandler : public XmlHandler {
 public:
  struct Sheet {
    std::string name, rel_id;
  };
  std::vector<Sheet> sheets;
  bool date1904 = false;
  std::size_t max_sheets = 0;
  void OnStart(std::string_view local, const char** attrs) override {
    if (local == "workbookPr") {
      date1904 = IsTrue(Attr(attrs, "date1904"));
    } else if (local == "sheet") {
      const char* name = Attr(attrs, "name");
      const char* id = Attr(attrs, "id");
      if (!name || !id) return Fail("sheet without name or relationship id");
      if (sheets.size() >= max_sheets) return Fail("more sheets than the limit max_sheets");
      sheets.push_back({name, id});
    }
  }
  void OnEnd(std::string_view) override {}
};

class StylesHandler : public XmlHandler {
 public:
  std::map<std::uint32_t, std::string> formats;
  std::vector<std::uint32_t> xf_formats;
  void OnStart(std::string_view local, const char** attrs) override {
    if (local == "numFmt") {
      std::uint32_t id;
      const char* code = Attr(attrs, "formatCode");
      const char* ids = Attr(attrs, "numFmtId");
      if (ids && code && ParseU32(ids, id) && formats.size() < 100000) formats[id] = code;
    } else if (local == "cellXfs") {
      in_cell_xfs_ = true;
    } else if (local == "xf" && in_cell_xfs_) {
      std::uint32_t id = 0;
      const char* ids = Attr(attrs, "numFmtId");
      if (!ids || !ParseU32(ids, id)) id = 0;
      if (xf_formats.size() < 1'000'000) xf_formats.push_back(id);
    }
  }
  void OnEnd(std::string_view local) override {
    if (local == "cellXfs") in_cell_xfs_ = false;
  }

 private:
  bool in_cell_xfs_ = false;
};

// Shared strings, kept as one buffer plus offsets.
struct SharedStrings {
  std::string data;
  std::vector<std::size_t> ends;
  std::size_t size() const { return ends.size(); }
  std::string_view at(std::size_t i) const {
    std::size_t b = i ? ends[i - 1] : 0;
    return std::string_view(data).substr(b, ends[i] - b);
  }
};

// Collects the text of string items (si of the shared strings, is of a
// cell): the t elements, directly or in rich text runs, but not the
// phonetic runs (rPh).
class StringCollector {
 public:
  void Start(std::string_view local) {
    if (local == "rPh") ++phonetic_;
    else if (local == "t" && phonetic_ == 0) in_t_ = true;
  }
  void End(std::string_view local) {
    if (local == "rPh" && phonetic_ > 0) --phonetic_;
    else if (local == "t") in_t_ = false;
  }
  // Returns false when the text grows beyond max bytes.
  bool Text(const char* s, int len, std::size_t max) {
    if (!in_t_) return true;
    if (text_.size() + static_cast<std::size_t>(len) > max) return false;
    text_.append(s, static_cast<std::size_t>(len));
    return true;
  }
  std::string Take() {
    phonetic_ = 0;
    in_t_ = false;
    return DecodeXmlEscapes(std::exchange(text_, std::string()));
  }
  void Reset() {
    text_.clear();
    phonetic_ = 0;
    in_t_ = false;
  }

 private:
  std::string text_;
  int phonetic_ = 0;
  bool in_t_ = false;
};

class SharedStringsHandler : public XmlHandler {
 public:
  explicit SharedStringsHandler(SharedStrings& out, const Limits& limits) : out_(out), limits_(limits) {}
  void OnStart(std::string_view local, const char**) override {
    if (local == "si") {
      in_si_ = true;
      collector_.Reset();
    } else if (in_si_) {
      collector_.Start(local);
    }
  }
  void OnEnd(std::string_view local) override {
    if (local == "si" && in_si_) {
      in_si_ = false;
      std::string s = collector_.Take();
      if (out_.data.size() + s.size() > limits_.max_shared_string_bytes)
        return Fail("shared strings exceed the limit max_shared_string_bytes");
      out_.data += s;
      out_.ends.push_back(out_.data.size());
    } else if (in_si_) {
      collector_.End(local);
    }
  }
  void OnText(const char* s, int len) override {
    if (in_si_ && !collector_.Text(s, len, limits_.max_string_bytes))
      Fail("a shared string exceeds the limit max_string_bytes");
  }

 private:
  SharedStrings& out_;
  const Limits& limits_;
  StringCollector collector_;
  bool in_si_ = false;
};

std::string IsoDateText(std::string_view v) {
  // yyyy-mm-dd[Thh:mm[:ss[.fff]]]
  if (v.size() >= 10 && v[4] == '-' && v[7] == '-') {
    std::string out(v.substr(0, 10));
    if (v.size() >= 16 && v[10] == 'T') {
      std::string time(v.substr(11, std::min<std::size_t>(8, v.size() - 11)));
      if (time.size() == 5) time += ":00";
      if (time != "00:00:00") out += " " + time;
    }
    return out;
  }
  return std::string(v);
}

struct XlsxShared {
  const SharedStrings* strings;
  std::vector<bool> xf_is_date;
  bool date1904;
  Limits limits;
};

// The t attribute of a cell; a missing or unknown one reads as a number.
enum class CellType { kNumber, kShared, kInlineString, kFormulaString, kError, kBool, kDate };

CellType TypeOf(const char* t) {
  if (!t) return CellType::kNumber;
  const std::string_view v(t);
  if (v == "s") return CellType::kShared;
  if (v == "inlineStr") return CellType::kInlineString;
  if (v == "str") return CellType::kFormulaString;
  if (v == "e") return CellType::kError;
  if (v == "b") return CellType::kBool;
  if (v == "d") return CellType::kDate;
  return CellType::kNumber;
}

class SheetHandler : public XmlHandler {
 public:
  static constexpr std::size_t kQueueBytes = 4u << 20;
  std::size_t queued_bytes = 0;  // text bytes of the rows waiting in the queue

  SheetHandler(const XlsxShared& shared, std::deque<Row>& out, bool texts)
      : shared_(shared), out_(out), texts_(texts) {}

  void OnStart(std::string_view local, const char** attrs) override {
    if (local == "sheetData") {
      in_data_ = true;
    } else if (!in_data_) {
      return;
    } else if (in_cell_) {
      if (local == "v") {
        in_v_ = true;
      } else if (local == "is") {
        in_is_ = true;
      } else if (in_is_) {
        strings_.Start(local);
      }
    } else if (local == "row") {
      std::uint32_t r = 0;
      const char* rs = Attr(attrs, "r");
      if (rs) {
        if (!ParseU32(rs, r) || r == 0 || r > kMaxRows) return Fail(std::string("bad row number r=\"") + rs + "\"");
        r -= 1;
      } else {
        r = have_row_ ? last_row_ + 1 : 0;
        if (r >= kMaxRows) return Fail("more rows than a sheet holds");
      }
      if (have_row_ && r <= last_row_)
        return Fail("row " + std::to_string(r + 1) + " out of order after row " + std::to_string(last_row_ + 1));
      have_row_ = true;
      last_row_ = r;
      row_.index = r;
      row_.cells.clear();
      row_bytes_ = 0;
      next_col_ = 0;
      in_row_ = true;
    } else if (local == "c" && in_row_) {
      // The three attributes of a cell in one pass over them.
      const char* ref = nullptr;
      const char* t = nullptr;
      const char* s = nullptr;
      for (int i = 0; attrs[i]; i += 2) {
        const std::string_view name = LocalName(attrs[i]);
        if (name == "r" && !ref) ref = attrs[i + 1];
        else if (name == "t" && !t) t = attrs[i + 1];
        else if (name == "s" && !s) s = attrs[i + 1];
      }
      if (ref) {
        std::uint32_t col, row1;
        if (!ParseColumnLetters(ref, col, row1) || col >= kMaxCols)
          return Fail(std::string("bad cell reference r=\"") + ref + "\"");
        col_ = col;
      } else {
        col_ = next_col_;
        if (col_ >= kMaxCols) return Fail("more cells in row " + std::to_string(row_.index + 1) + " than a sheet holds");
      }
      next_col_ = col_ + 1;
      type_ = TypeOf(t);
      style_ = 0;
      if (s && !ParseU32(s, style_)) style_ = 0;
      value_.clear();
      strings_.Reset();
      in_cell_ = true;
    }
  }

  void OnEnd(std::string_view local) override {
    if (!in_data_) return;
    if (in_cell_) {
      if (local == "v") {
        in_v_ = false;
      } else if (local == "is") {
        in_is_ = false;
        value_ = strings_.Take();
        inline_ = true;
      } else if (in_is_) {
        strings_.End(local);
      } else if (local == "c") {
        in_cell_ = false;
        FinishCell();
        inline_ = false;
      }
    } else if (local == "row") {
      in_row_ = false;
      if (row_.cells.empty()) return;
      // Cells should ascend; order them if a writer did not, the last one of
      // a column winning.
      bool ascending = true;
      for (std::size_t i = 1; i < row_.cells.size() && ascending; ++i)
        ascending = row_.cells[i - 1].col < row_.cells[i].col;
      if (!ascending) {
        std::stable_sort(row_.cells.begin(), row_.cells.end(),
                         [](const Cell& a, const Cell& b) { return a.col < b.col; });
        std::vector<Cell> unique;
        for (auto& c : row_.cells) {
          if (!unique.empty() && unique.back().col == c.col) unique.back() = std::move(c);
          else unique.push_back(std::move(c));
        }
        row_.cells = std::move(unique);
      }
      queued_bytes += row_bytes_;
      out_.push_back(std::move(row_));
      // Enough rows for the reader to go on with: one buffer of XML can name
      // the same long shared string in cell after cell.
      if (queued_bytes > kQueueBytes) Suspend();
      row_ = Row();
    } else if (local == "sheetData") {
      in_data_ = false;
    }
  }

  void OnText(const char* s, int len) override {
    if (in_v_) {
      if (value_.size() + static_cast<std::size_t>(len) > shared_.limits.max_string_bytes)
        return Fail("a cell value exceeds the limit max_string_bytes");
      value_.append(s, static_cast<std::size_t>(len));
    } else if (in_is_ && !strings_.Text(s, len, shared_.limits.max_string_bytes)) {
      Fail("an inline string exceeds the limit max_string_bytes");
    }
  }

 private:
  void FinishCell() {
    std::string text;
    if (inline_ || type_ == CellType::kInlineString) {
      text = std::move(value_);
    } else {
      if (value_.empty()) return;  // a cell with a style but no value
      text = CellText();
      if (!error().empty()) return;
    }
    if (text.empty()) return;
    if (++cells_ > shared_.limits.max_cells_per_sheet)
      return Fail("more cells than the limit max_cells_per_sheet");
    row_bytes_ += text.size();
    if (row_bytes_ > shared_.limits.max_row_bytes)
      return Fail("row " + std::to_string(row_.index + 1) + " holds more text than the limit max_row_bytes");
    row_.cells.push_back(Cell{col_, std::move(text)});
  }

  std::string CellText() {
    if (type_ == CellType::kShared) {
      std::uint32_t i;
      if (!ParseU32(value_, i) || i >= shared_.strings->size()) {
        Fail("shared string index " + value_ + " out of range in row " + std::to_string(row_.index + 1));
        return {};
      }
      std::string_view s = shared_.strings->at(i);
      if (s.empty()) return {};
      return texts_ ? std::string(s) : std::string(1, ' ');
    }
    if (type_ == CellType::kFormulaString) return DecodeXmlEscapes(value_);
    if (type_ == CellType::kError) return value_;
    if (type_ == CellType::kBool) return value_ == "1" || value_ == "true" ? "TRUE" : "FALSE";
    if (type_ == CellType::kDate) return texts_ ? IsoDateText(value_) : value_;
    if (!texts_) return value_;
    std::string_view v = value_;
    while (!v.empty() && (v.front() == ' ' || v.front() == '\n' || v.front() == '\t' || v.front() == '\r')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\n' || v.back() == '\t' || v.back() == '\r')) v.remove_suffix(1);
    bool is_date = style_ < shared_.xf_is_date.size() && shared_.xf_is_date[style_];
    std::string fast;
    if (!is_date && FormatNumberText(v, fast)) return fast;
    double d;
    auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
    if (ec != std::errc() || p != v.data() + v.size()) return value_;  // not a number: keep as written
    if (is_date) return FormatSerialDate(d, shared_.date1904);
    return FormatNumber(d);
  }

  const XlsxShared& shared_;
  std::deque<Row>& out_;
  bool texts_;
  StringCollector strings_;
  Row row_;
  CellType type_ = CellType::kNumber;
  std::string value_;
  std::uint32_t style_ = 0, col_ = 0, next_col_ = 0, last_row_ = 0;
  std::uint64_t cells_ = 0;
  std::size_t row_bytes_ = 0;
  bool in_data_ = false, in_row_ = false, in_cell_ = false, in_v_ = false, in_is_ = false;
  bool inline_ = false, have_row_ = false;
};

class XlsxSheetCursor : public RowCursor {
 public:
  XlsxSheetCursor(zip_t* zip, zip_int64_t index, const std::string& name, const XlsxShared& shared, bool texts)
      : part_(zip, index, name, shared.limits),
        handler_(shared, queue_, texts),
        xml_(handler_, name, shared.limits),
        buf_(kChunk) {}

  bool Next(Row& row) override {
    while (queue_.empty() && !done_) {
      if (suspended_) {
        suspended_ = xml_.Resume();
      } else {
        std::size_t n = part_.Read(buf_.data(), buf_.size());
        last_ = n == 0;
        suspended_ = xml_.Feed(buf_.data(), n, last_);
      }
      if (!suspended_ && last_) done_ = true;
    }
    if (queue_.empty()) return false;
    row = std::move(queue_.front());
    queue_.pop_front();
    for (const Cell& c : row.cells) handler_.queued_bytes -= std::min(handler_.queued_bytes, c.text.size());
    return true;
  }

 private:
  ZipPart part_;
  std::deque<Row> queue_;
  SheetHandler handler_;
  XmlStream xml_;
  std::vector<char> buf_;
  bool done_ = false, last_ = false, suspended_ = false;
};

class XlsxWorkbook : public Workbook {
 public:
  XlsxWorkbook(std::string bytes, const std::string& path, const Limits& limits) : bytes_(std::move(bytes)) {
    shared_.limits = limits;
    shared_.strings = &strings_;
    int err = 0;
    if (path.empty()) {
      zip_error_t zerr;
      zip_error_init(&zerr);
      zip_source_t* src = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &zerr);
      if (!src) {
        std::string msg = zip_error_strerror(&zerr);
        zip_error_fini(&zerr);
        throw WorkbookError("cannot read the workbook archive: " + msg);
      }
      zip_ = zip_open_from_source(src, ZIP_RDONLY, &zerr);
      if (!zip_) {
        std::string msg = zip_error_strerror(&zerr);
        zip_source_free(src);
        zip_error_fini(&zerr);
        throw WorkbookError("not a readable .xlsx archive: " + msg);
      }
      zip_error_fini(&zerr);
    } else {
      zip_ = zip_open(path.c_str(), ZIP_RDONLY, &err);
      if (!zip_) {
        zip_error_t zerr;
        zip_error_init_with_code(&zerr, err);
        std::string msg = zip_error_strerror(&zerr);
        zip_error_fini(&zerr);
        throw WorkbookError(path + ": not a readable .xlsx archive: " + msg);
      }
    }
    try {
      Load();
    } catch (...) {
      zip_discard(zip_);
      throw;
    }
  }
  ~XlsxWorkbook() override { zip_discard(zip_); }

  const std::vector<std::string>& SheetNames() const override { return names_; }

  std::unique_ptr<RowCursor> OpenSheet(std::size_t index, bool texts) override {
    if (index >= sheet_parts_.size()) throw WorkbookError("no sheet number " + std::to_string(index));
    zip_int64_t entry = Locate(sheet_parts_[index]);
    if (entry < 0) throw WorkbookError("sheet '" + names_[index] + "': part " + sheet_parts_[index] + " is missing");
    return std::make_unique<XlsxSheetCursor>(zip_, entry, sheet_parts_[index], shared_, texts);
  }

 private:
  zip_int64_t Locate(const std::string& name) { return zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE); }

  void Parse(const std::string& name, XmlHandler& h) {
    zip_int64_t i = Locate(name);
    if (i < 0) throw WorkbookError("part " + name + " is missing");
    ParsePart(zip_, i, name, shared_.limits, h);
  }

  void Load() {
    std::string wb_part = "xl/workbook.xml";
    if (Locate("_rels/.rels") >= 0) {
      RelsHandler root;
      Parse("_rels/.rels", root);
      for (auto& [id, rel] : root.rels)
        if (EndsWith(rel.type, "/officeDocument")) wb_part = ResolveTarget("", rel.target);
    }
    if (Locate(wb_part) < 0) throw WorkbookError("not an .xlsx workbook: no part " + wb_part);
    std::string dir = wb_part.substr(0, wb_part.rfind('/') + 1);
    std::string rels_part = dir + "_rels/" + wb_part.substr(dir.size()) + ".rels";
    RelsHandler rels;
    if (Locate(rels_part) >= 0) Parse(rels_part, rels);
    WorkbookHandler wb;
    wb.max_sheets = shared_.limits.max_sheets;
    Parse(wb_part, wb);
    shared_.date1904 = wb.date1904;
    std::string styles_part = dir + "styles.xml", strings_part = dir + "sharedStrings.xml";
    for (auto& [id, rel] : rels.rels) {
      if (EndsWith(rel.type, "/styles")) styles_part = ResolveTarget(dir, rel.target);
      if (EndsWith(rel.type, "/sharedStrings")) strings_part = ResolveTarget(dir, rel.target);
    }
    for (auto& s : wb.sheets) {
      auto it = rels.rels.find(s.rel_id);
      if (it == rels.rels.end()) throw WorkbookError("sheet '" + s.name + "' has no relationship " + s.rel_id);
      // Chart sheets and dialog sheets hold no cells; only worksheets are tables.
      if (!it->second.type.empty() && !EndsWith(it->second.type, "/worksheet")) continue;
      names_.push_back(s.name);
      sheet_parts_.push_back(ResolveTarget(dir, it->second.target));
    }
    if (Locate(styles_part) >= 0) {
      StylesHandler styles;
      Parse(styles_part, styles);
      for (std::uint32_t id : styles.xf_formats) {
        auto f = styles.formats.find(id);
        shared_.xf_is_date.push_back(IsDateFormat(id, f == styles.formats.end() ? std::string_view() : f->second));
      }
    }
    if (Locate(strings_part) >= 0) {
      SharedStringsHandler h(strings_, shared_.limits);
      Parse(strings_part, h);
    }
  }

  std::string bytes_;
  zip_t* zip_ = nullptr;
  XlsxShared shared_;
  SharedStrings strings_;
  std::vector<std::string> names_, sheet_parts_;
};

}  // namespace

std::unique_ptr<Workbook> OpenXlsxFile(const std::string& path, const Limits& limits) {
  return std::make_unique<XlsxWorkbook>(std::string(), path, limits);
}

std::unique_ptr<Workbook> OpenXlsxMemory(std::string bytes, const Limits& limits) {
  return std::make_unique<XlsxWorkbook>(std::move(bytes), std::string(), limits);
}

}  // namespace workbook
