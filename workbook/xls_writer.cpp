#include "workbook/xls_writer.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

#include "workbook/cfb.h"
#include "workbook/workbook.h"

namespace workbook {
namespace {

constexpr std::size_t kMaxRecord = 8224;

void Put16(std::string& b, std::uint32_t v) {
  b += static_cast<char>(v & 0xFF);
  b += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutRecord(std::string& out, std::uint16_t type, const std::string& data) {
  Put16(out, type);
  Put16(out, static_cast<std::uint32_t>(data.size()));
  out += data;
}

// UTF-8 -> UTF-16 code units; malformed bytes become U+FFFD.
std::u16string Utf16(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::uint32_t cp;
    std::size_t n;
    if (c < 0x80) cp = c, n = 1;
    else if ((c & 0xE0) == 0xC0) cp = c & 0x1F, n = 2;
    else if ((c & 0xF0) == 0xE0) cp = c & 0x0F, n = 3;
    else if ((c & 0xF8) == 0xF0) cp = c & 0x07, n = 4;
    else cp = 0xFFFD, n = 1;
    if (n > 1) {
      if (i + n > s.size()) {
        cp = 0xFFFD, n = 1;
      } else {
        for (std::size_t k = 1; k < n; ++k) {
          unsigned char cc = static_cast<unsigned char>(s[i + k]);
          if ((cc & 0xC0) != 0x80) {
            cp = 0xFFFD, n = 1;
            break;
          }
          cp = cp << 6 | (cc & 0x3F);
        }
        if (n > 1 && ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) ||
                      cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
          cp = 0xFFFD;
      }
    }
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

// Writes the shared string table as SST plus CONTINUE records.
class SstWriter {
 public:
  explicit SstWriter(std::string& out) : out_(out) {}
  void Write(const std::vector<std::u16string>& strings, std::uint32_t total) {
    type_ = 0x00FC;
    Put32(cur_, total);
    Put32(cur_, static_cast<std::uint32_t>(strings.size()));
    for (const auto& s : strings) {
      if (kMaxRecord - cur_.size() < 3 + (s.empty() ? 0 : 2)) Flush();
      Put16(cur_, static_cast<std::uint32_t>(s.size()));
      cur_ += '\x01';
      for (char16_t u : s) {
        if (kMaxRecord - cur_.size() < 2) {
          Flush();
          cur_ += '\x01';  // the string goes on: its flags again
        }
        Put16(cur_, u);
      }
    }
    Flush();
  }

 private:
  void Flush() {
    PutRecord(out_, type_, cur_);
    cur_.clear();
    type_ = 0x003C;
  }
  std::string& out_;
  std::string cur_;
  std::uint16_t type_ = 0x00FC;
};

std::string Bof(std::uint16_t kind) {
  std::string d;
  Put16(d, 0x0600);
  Put16(d, kind);
  Put16(d, 0x0DBB);
  Put16(d, 0x07CC);
  Put32(d, 0);
  Put32(d, 0x06);
  return d;
}

std::string Bytes(std::initializer_list<unsigned> v) {
  std::string s;
  for (unsigned b : v) s += static_cast<char>(b);
  return s;
}

}  // namespace

void XlsWriter::AddSheet(std::string_view name) {
  std::u16string u = Utf16(name);
  if (u.empty() || u.size() > 31) throw std::invalid_argument("sheet name must have 1 to 31 characters");
  if (name.find_first_of(":\\/?*[]") != std::string_view::npos)
    throw std::invalid_argument("sheet name must not contain : \\ / ? * [ ]");
  for (auto& s : sheets_)
    if (EqualsNoCaseAscii(s.name, name)) throw std::invalid_argument("duplicate sheet name " + std::string(name));
  sheets_.push_back(Sheet{std::string(name), {}});
}

void XlsWriter::AppendRow(const std::vector<XlsValue>& row) {
  if (sheets_.empty()) AddSheet("Sheet1");
  Sheet& s = sheets_.back();
  if (s.rows.size() >= kMaxRows) throw std::invalid_argument("sheet " + s.name + " already holds 65536 rows");
  if (row.size() > kMaxColumns) throw std::invalid_argument("a row holds at most 256 columns");
  for (auto& v : row)
    if (auto* t = std::get_if<std::string>(&v); t && Utf16(*t).size() > kMaxTextUnits)
      throw std::invalid_argument("a cell text holds at most 32767 characters");
  s.rows.push_back(row);
}

std::string XlsWriter::Finish() const {
  std::vector<Sheet> sheets = sheets_;
  if (sheets.empty()) sheets.push_back(Sheet{"Sheet1", {}});
  // Shared strings, each distinct text once.
  std::map<std::string, std::uint32_t> index;
  std::vector<std::u16string> strings;
  std::uint32_t total = 0;
  for (auto& sh : sheets)
    for (auto& row : sh.rows)
      for (auto& v : row)
        if (auto* t = std::get_if<std::string>(&v); t && !t->empty()) {
          ++total;
          if (index.emplace(*t, static_cast<std::uint32_t>(strings.size())).second) strings.push_back(Utf16(*t));
        }

  // Sheet substreams first, so that their offsets are known.
  std::vector<std::string> bodies;
  for (std::size_t si = 0; si < sheets.size(); ++si) {
    const Sheet& sh = sheets[si];
    std::string b;
    PutRecord(b, 0x0809, Bof(0x0010));
    std::size_t cols = 0;
    for (auto& row : sh.rows) cols = std::max(cols, row.size());
    std::string dim;
    Put32(dim, 0);
    Put32(dim, static_cast<std::uint32_t>(sh.rows.size()));
    Put16(dim, 0);
    Put16(dim, static_cast<std::uint32_t>(cols));
    Put16(dim, 0);
    PutRecord(b, 0x0200, dim);
    for (std::size_t r = 0; r < sh.rows.size(); ++r) {
      for (std::size_t c = 0; c < sh.rows[r].size(); ++c) {
        const XlsValue& v = sh.rows[r][c];
        std::string d;
        Put16(d, static_cast<std::uint32_t>(r));
        Put16(d, static_cast<std::uint32_t>(c));
        Put16(d, 15);
        if (auto* t = std::get_if<std::string>(&v)) {
          if (t->empty()) continue;
          Put32(d, index.at(*t));
          PutRecord(b, 0x00FD, d);
        } else if (auto* n = std::get_if<double>(&v)) {
          std::uint64_t bits;
          std::memcpy(&bits, n, 8);
          Put32(d, static_cast<std::uint32_t>(bits));
          Put32(d, static_cast<std::uint32_t>(bits >> 32));
          PutRecord(b, 0x0203, d);
        }
      }
    }
    std::string w2;
    Put16(w2, si == 0 ? 0x06B6 : 0x02B6);
    Put16(w2, 0);
    Put16(w2, 0);
    Put32(w2, 64);
    Put16(w2, 0);
    Put16(w2, 0);
    Put32(w2, 0);
    PutRecord(b, 0x023E, w2);
    PutRecord(b, 0x000A, "");
    bodies.push_back(std::move(b));
  }

  auto globals = [&](const std::vector<std::uint32_t>& offsets) {
    std::string g;
    PutRecord(g, 0x0809, Bof(0x0005));
    std::string cp;
    Put16(cp, 1200);
    PutRecord(g, 0x0042, cp);
    PutRecord(g, 0x003D, Bytes({0, 0, 0, 0, 0x00, 0x40, 0x00, 0x20, 0x38, 0, 0, 0, 0, 0, 1, 0, 0x58, 0x02}));
    PutRecord(g, 0x0022, Bytes({0, 0}));
    std::string font = Bytes({0xC8, 0, 0, 0, 0xFF, 0x7F, 0x90, 0x01, 0, 0, 0, 0, 0, 0, 5, 0}) + "Arial";
    for (int i = 0; i < 4; ++i) PutRecord(g, 0x0031, font);
    std::string style_xf = Bytes({0, 0, 0, 0, 0xF5, 0xFF, 0x20, 0, 0, 0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20});
    std::string cell_xf = Bytes({0, 0, 0, 0, 0x01, 0x00, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20});
    for (int i = 0; i < 15; ++i) PutRecord(g, 0x00E0, style_xf);
    PutRecord(g, 0x00E0, cell_xf);
    PutRecord(g, 0x0293, Bytes({0x00, 0x80, 0x00, 0xFF}));
    for (std::size_t i = 0; i < sheets.size(); ++i) {
      std::string d;
      Put32(d, offsets[i]);
      d += '\0';
      d += '\0';
      std::u16string name = Utf16(sheets[i].name);
      d += static_cast<char>(name.size());
      d += '\x01';
      for (char16_t u : name) Put16(d, u);
      PutRecord(g, 0x0085, d);
    }
    SstWriter(g).Write(strings, total);
    PutRecord(g, 0x000A, "");
    return g;
  };
  // Offsets do not change the globals' size: lay out once with zeros, then for real.
  std::vector<std::uint32_t> offsets(sheets.size(), 0);
  std::size_t pos = globals(offsets).size();
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    offsets[i] = static_cast<std::uint32_t>(pos);
    pos += bodies[i].size();
  }
  std::string stream = globals(offsets);
  for (auto& b : bodies) stream += b;
  return WriteCfb({{"Workbook", stream}});
}

void XlsWriter::SaveAs(const std::string& path) const {
  std::string bytes = Finish();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

}  // namespace workbook
