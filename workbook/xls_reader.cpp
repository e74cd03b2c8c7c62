#include "workbook/xls_reader.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "workbook/cell_text.h"
#include "workbook/cfb.h"

namespace workbook {
namespace {

enum : std::uint16_t {
  kBof = 0x0809, kEof = 0x000A, kFilePass = 0x002F, kDateMode = 0x0022, kFormat = 0x041E, kXf = 0x00E0,
  kBoundSheet = 0x0085, kSst = 0x00FC, kContinue = 0x003C, kLabelSst = 0x00FD, kLabel = 0x0204,
  kRString = 0x00D6, kNumber = 0x0203, kRk = 0x027E, kMulRk = 0x00BD, kBoolErr = 0x0205, kFormula = 0x0006,
  kString = 0x0207
};

std::uint16_t U16(std::string_view b, std::size_t o) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[o]) | static_cast<unsigned char>(b[o + 1]) << 8);
}
std::uint32_t U32(std::string_view b, std::size_t o) { return U16(b, o) | static_cast<std::uint32_t>(U16(b, o + 2)) << 16; }
double F64(std::string_view b, std::size_t o) {
  std::uint64_t bits = U32(b, o) | static_cast<std::uint64_t>(U32(b, o + 4)) << 32;
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

double RkValue(std::uint32_t rk) {
  double v;
  if (rk & 2) {
    v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, 8);
  }
  return (rk & 1) ? v / 100 : v;
}

std::string ErrorText(std::uint8_t code) {
  switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    default: return "#ERR!";
  }
}

struct Record {
  std::uint16_t type;
  std::string_view data;
};

// Walks the records of the workbook stream.
class Records {
 public:
  explicit Records(std::string_view stream) : s_(stream) {}
  void Seek(std::size_t pos) { pos_ = pos; }
  std::size_t pos() const { return pos_; }
  bool Next(Record& r) {
    if (pos_ + 4 > s_.size()) return false;
    std::uint16_t len = U16(s_, pos_ + 2);
    if (pos_ + 4 + len > s_.size())
      throw WorkbookError("xls: record 0x" + Hex(U16(s_, pos_)) + " at offset " + std::to_string(pos_) +
                          " runs past the end of the stream (truncated?)");
    r.type = U16(s_, pos_);
    r.data = s_.substr(pos_ + 4, len);
    pos_ += 4 + len;
    return true;
  }
  // The type of the next record without moving, or 0 at the end.
  std::uint16_t PeekType() const { return pos_ + 4 <= s_.size() ? U16(s_, pos_) : 0; }
  static std::string Hex(std::uint16_t v) {
    char b[8];
    std::snprintf(b, sizeof b, "%04X", v);
    return b;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

// Reads across a record and the CONTINUE records after it.
class Pieces {
 public:
  explicit Pieces(std::vector<std::string_view> pieces, const Limits& limits)
      : p_(std::move(pieces)), limits_(limits) {}

  bool AtEnd() {
    while (i_ < p_.size() && off_ >= p_[i_].size()) Advance();
    return i_ >= p_.size();
  }
  std::uint8_t Byte() {
    if (AtEnd()) throw WorkbookError("xls: string data runs past its records");
    return static_cast<std::uint8_t>(p_[i_][off_++]);
  }
  std::uint16_t U16v() {
    std::uint16_t lo = Byte();
    return static_cast<std::uint16_t>(lo | Byte() << 8);
  }
  std::uint32_t U32v() {
    std::uint32_t lo = U16v();
    return lo | static_cast<std::uint32_t>(U16v()) << 16;
  }
  void Skip(std::uint64_t n) {
    while (n > 0) {
      if (AtEnd()) throw WorkbookError("xls: string data runs past its records");
      std::uint64_t take = std::min<std::uint64_t>(n, p_[i_].size() - off_);
      off_ += static_cast<std::size_t>(take);
      n -= take;
    }
  }
  // A string with a 1- or 2-byte character count, converted to UTF-8.
  std::string String(bool short_count) {
    std::uint32_t cch = short_count ? Byte() : U16v();
    std::uint8_t flags = Byte();
    std::uint16_t runs = (flags & 0x08) ? U16v() : 0;
    std::uint32_t ext = (flags & 0x04) ? U32v() : 0;
    bool wide = flags & 0x01;
    std::string out;
    std::uint32_t pending_high = 0;
    for (std::uint32_t k = 0; k < cch; ++k) {
      if (!AtEnd() && off_ == 0 && i_ > 0 && fresh_) {
        // A new CONTINUE record in the middle of the characters: new flags byte.
        wide = Byte() & 0x01;
      }
      fresh_ = false;
      std::uint32_t unit = wide ? U16v() : Byte();
      if (pending_high) {
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
          AppendUtf8(out, 0x10000 + ((pending_high - 0xD800) << 10) + (unit - 0xDC00));
          pending_high = 0;
          continue;
        }
        AppendUtf8(out, 0xFFFD);
        pending_high = 0;
      }
      if (unit >= 0xD800 && unit <= 0xDBFF) pending_high = unit;
      else AppendUtf8(out, unit);
      if (out.size() > limits_.max_string_bytes) throw WorkbookError("xls: a string exceeds the limit max_string_bytes");
    }
    if (pending_high) AppendUtf8(out, 0xFFFD);
    Skip(4ull * runs + ext);
    return out;
  }

 private:
  void Advance() {
    ++i_;
    off_ = 0;
    fresh_ = true;
  }
  std::vector<std::string_view> p_;
  const Limits& limits_;
  std::size_t i_ = 0, off_ = 0;
  bool fresh_ = false;
};

// The record and its CONTINUE records as pieces.
Pieces Continued(Records& recs, std::string_view first, const Limits& limits) {
  std::vector<std::string_view> pieces{first};
  Record r;
  while (recs.PeekType() == kContinue && recs.Next(r)) pieces.push_back(r.data);
  return Pieces(std::move(pieces), limits);
}

struct SheetInfo {
  std::string name;
  std::uint32_t offset;
};

struct CellRec {
  std::uint32_t row, col;
  std::string text;
};

class XlsCursor : public RowCursor {
 public:
  explicit XlsCursor(std::vector<Row> rows) : rows_(std::move(rows)) {}
  bool Next(Row& row) override {
    if (next_ >= rows_.size()) return false;
    row = std::move(rows_[next_++]);
    return true;
  }

 private:
  std::vector<Row> rows_;
  std::size_t next_ = 0;
};

class XlsWorkbook : public Workbook {
 public:
  XlsWorkbook(std::string bytes, const Limits& limits) : limits_(limits) {
    CfbReader cfb(bytes, limits);
    auto stream = cfb.ReadStream("Workbook");
    if (!stream) {
      if (cfb.ReadStream("Book")) throw WorkbookError("xls: Excel 5.0/95 workbooks (BIFF5) are not supported");
      throw WorkbookError("xls: the compound file has no Workbook stream");
    }
    stream_ = std::move(*stream);
    LoadGlobals();
  }

  const std::vector<std::string>& SheetNames() const override { return names_; }

  std::unique_ptr<RowCursor> OpenSheet(std::size_t index, bool) override {
    if (index >= sheets_.size()) throw WorkbookError("no sheet number " + std::to_string(index));
    return std::make_unique<XlsCursor>(ReadSheet(sheets_[index]));
  }

 private:
  void LoadGlobals() {
    Records recs(stream_);
    Record r;
    if (!recs.Next(r) || r.type != kBof || r.data.size() < 4)
      throw WorkbookError("xls: the Workbook stream does not start with a BOF record");
    if (U16(r.data, 0) != 0x0600) throw WorkbookError("xls: not a BIFF8 workbook (Excel 97 or later)");
    std::map<std::uint32_t, std::string> formats;
    std::vector<std::uint16_t> xf_formats;
    while (recs.Next(r)) {
      switch (r.type) {
        case kEof:
          goto done;
        case kFilePass:
          throw WorkbookError("xls: the workbook is password-protected (encrypted)");
        case kDateMode:
          if (r.data.size() >= 2) date1904_ = U16(r.data, 0) != 0;
          break;
        case kFormat:
          if (r.data.size() >= 5) {
            std::uint16_t id = U16(r.data, 0);
            Pieces p({r.data.substr(2)}, limits_);
            formats[id] = p.String(false);
          }
          break;
        case kXf:
          if (r.data.size() >= 4) xf_formats.push_back(U16(r.data, 2));
          break;
        case kBoundSheet: {
          if (r.data.size() < 8) throw WorkbookError("xls: short BOUNDSHEET record");
          std::uint8_t kind = static_cast<std::uint8_t>(r.data[5]);
          Pieces p({r.data.substr(6)}, limits_);
          std::string name = p.String(true);
          if (kind == 0) {  // worksheets only; charts and macro sheets hold no table
            if (sheets_.size() >= limits_.max_sheets) throw WorkbookError("xls: more sheets than the limit max_sheets");
            sheets_.push_back({name, U32(r.data, 0)});
            names_.push_back(name);
          }
          break;
        }
        case kSst: {
          if (r.data.size() < 8) throw WorkbookError("xls: short SST record");
          std::uint32_t unique = U32(r.data, 4);
          Pieces p = Continued(recs, r.data.substr(8), limits_);
          std::size_t total = 0;
          for (std::uint32_t i = 0; i < unique && !p.AtEnd(); ++i) {
            sst_.push_back(p.String(false));
            total += sst_.back().size();
            if (total > limits_.max_shared_string_bytes)
              throw WorkbookError("xls: shared strings exceed the limit max_shared_string_bytes");
          }
          break;
        }
        default:
          break;
      }
    }
    throw WorkbookError("xls: the workbook globals end without an EOF record (truncated?)");
  done:
    for (std::uint16_t id : xf_formats) {
      auto f = formats.find(id);
      xf_is_date_.push_back(IsDateFormat(id, f == formats.end() ? std::string_view() : f->second));
    }
  }

  std::string Number(double v, std::uint16_t xf) const {
    if (xf < xf_is_date_.size() && xf_is_date_[xf]) return FormatSerialDate(v, date1904_);
    return FormatNumber(v);
  }

  std::vector<Row> ReadSheet(const SheetInfo& sheet) const {
    if (sheet.offset >= stream_.size()) throw WorkbookError("xls: sheet '" + sheet.name + "' starts beyond the stream");
    Records recs(stream_);
    recs.Seek(sheet.offset);
    Record r;
    if (!recs.Next(r) || r.type != kBof) throw WorkbookError("xls: sheet '" + sheet.name + "' has no BOF record");
    std::vector<CellRec> cells;
    std::uint64_t bytes = 0;
    auto add = [&](std::uint32_t row, std::uint32_t col, std::string text) {
      if (text.empty()) return;
      if (cells.size() >= limits_.max_cells_per_sheet)
        throw WorkbookError("xls: sheet '" + sheet.name + "' has more cells than the limit max_cells_per_sheet");
      bytes += text.size();
      if (bytes > limits_.max_sheet_bytes)
        throw WorkbookError("xls: sheet '" + sheet.name + "' holds more text than the limit max_sheet_bytes");
      cells.push_back({row, col, std::move(text)});
    };
    int depth = 0;  // embedded substreams (charts in a sheet)
    bool ended = false;
    while (!ended && recs.Next(r)) {
      std::string_view d = r.data;
      if (r.type == kBof) {
        ++depth;
        continue;
      }
      if (r.type == kEof) {
        if (depth == 0) ended = true;
        else --depth;
        continue;
      }
      if (depth > 0) continue;
      auto need = [&](std::size_t n) {
        if (d.size() < n)
          throw WorkbookError("xls: sheet '" + sheet.name + "': record 0x" + Records::Hex(r.type) + " is too short");
      };
      switch (r.type) {
        case kLabelSst: {
          need(10);
          std::uint32_t i = U32(d, 6);
          if (i >= sst_.size())
            throw WorkbookError("xls: sheet '" + sheet.name + "': shared string index " + std::to_string(i) +
                                " out of range");
          add(U16(d, 0), U16(d, 2), sst_[i]);
          break;
        }
        case kLabel:
        case kRString: {
          need(9);
          Pieces p = Continued(recs, d.substr(6), limits_);
          add(U16(d, 0), U16(d, 2), p.String(false));
          break;
        }
        case kNumber:
          need(14);
          add(U16(d, 0), U16(d, 2), Number(F64(d, 6), U16(d, 4)));
          break;
        case kRk:
          need(10);
          add(U16(d, 0), U16(d, 2), Number(RkValue(U32(d, 6)), U16(d, 4)));
          break;
        case kMulRk: {
          need(6);
          std::uint32_t row = U16(d, 0), col = U16(d, 2);
          for (std::size_t o = 4; o + 6 + 2 <= d.size(); o += 6, ++col)
            add(row, col, Number(RkValue(U32(d, o + 2)), U16(d, o)));
          break;
        }
        case kBoolErr:
          need(8);
          add(U16(d, 0), U16(d, 2),
              d[7] ? ErrorText(static_cast<std::uint8_t>(d[6])) : (d[6] ? "TRUE" : "FALSE"));
          break;
        case kFormula: {
          need(20);
          std::uint32_t row = U16(d, 0), col = U16(d, 2);
          if (U16(d, 12) != 0xFFFF) {
            add(row, col, Number(F64(d, 6), U16(d, 4)));
            break;
          }
          switch (static_cast<std::uint8_t>(d[6])) {
            case 0: {  // text result in the STRING record that follows (after SHRFMLA/ARRAY, if any)
              Record s;
              while (recs.PeekType() != 0 && recs.PeekType() != kString && recs.PeekType() != kEof &&
                     recs.PeekType() != kFormula && recs.Next(s)) {
              }
              if (recs.PeekType() == kString && recs.Next(s)) {
                Pieces p = Continued(recs, s.data, limits_);
                add(row, col, p.String(false));
              }
              break;
            }
            case 1: add(row, col, d[8] ? "TRUE" : "FALSE"); break;
            case 2: add(row, col, ErrorText(static_cast<std::uint8_t>(d[8]))); break;
            default: break;  // empty text
          }
          break;
        }
        default:
          break;
      }
    }
    if (!ended) throw WorkbookError("xls: sheet '" + sheet.name + "' ends without an EOF record (truncated?)");
    std::stable_sort(cells.begin(), cells.end(), [](const CellRec& a, const CellRec& b) {
      return a.row != b.row ? a.row < b.row : a.col < b.col;
    });
    std::vector<Row> rows;
    for (auto& c : cells) {
      if (rows.empty() || rows.back().index != c.row) rows.push_back(Row{c.row, {}});
      auto& rc = rows.back().cells;
      if (!rc.empty() && rc.back().col == c.col) rc.back().text = std::move(c.text);  // later record wins
      else rc.push_back(Cell{c.col, std::move(c.text)});
    }
    return rows;
  }

  Limits limits_;
  std::string stream_;
  bool date1904_ = false;
  std::vector<SheetInfo> sheets_;
  std::vector<std::string> names_;
  std::vector<std::string> sst_;
  std::vector<bool> xf_is_date_;
};

}  // namespace

std::unique_ptr<Workbook> OpenXlsMemory(std::string bytes, const Limits& limits) {
  return std::make_unique<XlsWorkbook>(std::move(bytes), limits);
}

}  // namespace workbook
