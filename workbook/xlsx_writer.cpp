#include "workbook/xlsx_writer.h"

#include <zip.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "workbook/cell_text.h"
#include "workbook/workbook.h"

namespace workbook {
namespace {

std::string ColumnLetters(std::size_t col) {
  std::string s;
  for (std::size_t c = col + 1; c > 0; c = (c - 1) / 26) s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
  return s;
}

std::size_t Utf8Length(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

std::string AttrEscape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string EscapeXlsxText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if ((c < 0x20 && c != '\t' && c != '\n') || c == '\r') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "_x%04X_", c);
      out += buf;
    } else if (c == '_' && i + 6 < s.size() && s[i + 1] == 'x' && s[i + 6] == '_' &&
               std::strspn(std::string(s.substr(i + 2, 4)).c_str(), "0123456789abcdefABCDEF") == 4) {
      out += "_x005F_";  // a literal escape-shaped text keeps its underscore
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

XlsxWriter::~XlsxWriter() {
  for (auto& s : sheets_)
    if (s.data) std::fclose(s.data);
}

void XlsxWriter::AddSheet(std::string_view name) {
  std::size_t len = Utf8Length(name);
  if (len == 0 || len > 31) throw std::invalid_argument("sheet name must have 1 to 31 characters");
  if (name.find_first_of(":\\/?*[]") != std::string_view::npos)
    throw std::invalid_argument("sheet name must not contain : \\ / ? * [ ]");
  for (auto& s : sheets_)
    if (EqualsNoCaseAscii(s.name, name)) throw std::invalid_argument("duplicate sheet name " + std::string(name));
  std::FILE* f = std::tmpfile();
  if (!f) throw std::runtime_error(std::string("cannot create a temporary file: ") + std::strerror(errno));
  static const char head[] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><worksheet "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  if (std::fwrite(head, 1, sizeof head - 1, f) != sizeof head - 1) {
    std::fclose(f);
    throw std::runtime_error("cannot write a temporary file");
  }
  sheets_.push_back(Sheet{std::string(name), f, 0, 0});
}

void XlsxWriter::AppendRow(const std::vector<XlsValue>& row) {
  if (saved_) throw std::logic_error("XlsxWriter::AppendRow after SaveAs");
  if (sheets_.empty()) AddSheet("Sheet1");
  Sheet& s = sheets_.back();
  if (s.rows >= kMaxRows) throw std::invalid_argument("sheet " + s.name + " already holds 1048576 rows");
  if (row.size() > kMaxColumns) throw std::invalid_argument("a row holds at most 16384 columns");
  std::string r = std::to_string(++s.rows);
  std::string xml = "<row r=\"" + r + "\">";
  for (std::size_t c = 0; c < row.size(); ++c) {
    const XlsValue& v = row[c];
    if (auto* t = std::get_if<std::string>(&v)) {
      if (t->empty()) continue;
      xml += "<c r=\"" + ColumnLetters(c) + r + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" +
             EscapeXlsxText(*t) + "</t></is></c>";
    } else if (auto* n = std::get_if<double>(&v)) {
      if (!std::isfinite(*n)) throw std::invalid_argument("a number cell must be finite");
      char buf[40];
      auto res = std::to_chars(buf, buf + sizeof buf, *n);  // shortest text that reads back exactly
      xml += "<c r=\"" + ColumnLetters(c) + r + "\"><v>" + std::string(buf, res.ptr) + "</v></c>";
    }
  }
  xml += "</row>";
  s.columns = std::max(s.columns, row.size());
  if (std::fwrite(xml.data(), 1, xml.size(), s.data) != xml.size())
    throw std::runtime_error(std::string("cannot write a temporary file: ") + std::strerror(errno));
}

void XlsxWriter::SaveAs(const std::string& path) {
  if (saved_) throw std::logic_error("XlsxWriter::SaveAs called twice");
  saved_ = true;
  if (sheets_.empty()) AddSheet("Sheet1");
  const std::string ns = "http://schemas.openxmlformats.org/";
  const std::string mime = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
  std::vector<std::string> texts;  // kept alive until zip_close
  texts.reserve(5);
  std::string types = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Types xmlns=\"" + ns +
                      "package/2006/content-types\"><Default Extension=\"rels\" ContentType=\"application/"
                      "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
                      "ContentType=\"application/xml\"/><Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
                      mime + "sheet.main+xml\"/><Override PartName=\"/xl/styles.xml\" ContentType=\"" + mime +
                      "styles+xml\"/>";
  std::string wb = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><workbook xmlns=\"" + ns +
                   "spreadsheetml/2006/main\" xmlns:r=\"" + ns + "officeDocument/2006/relationships\"><sheets>";
  std::string rels = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Relationships xmlns=\"" + ns +
                     "package/2006/relationships\"><Relationship Id=\"rIdStyles\" Type=\"" + ns +
                     "officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>";
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    std::string n = std::to_string(i + 1);
    types += "<Override PartName=\"/xl/worksheets/sheet" + n + ".xml\" ContentType=\"" + mime + "worksheet+xml\"/>";
    wb += "<sheet name=\"" + AttrEscape(sheets_[i].name) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + ns + "officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
  }
  types += "</Types>";
  wb += "</sheets></workbook>";
  rels += "</Relationships>";
  std::string root = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Relationships xmlns=\"" + ns +
                     "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + ns +
                     "officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
  std::string styles = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><styleSheet xmlns=\"" + ns +
                       "spreadsheetml/2006/main\"><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/>"
                       "</font></fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill>"
                       "<patternFill patternType=\"gray125\"/></fill></fills><borders count=\"1\"><border/></borders>"
                       "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
                       "</cellStyleXfs><cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
                       "borderId=\"0\" xfId=\"0\"/></cellXfs></styleSheet>";

  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) throw std::runtime_error("cannot create " + path);
  auto add = [&](const std::string& name, zip_source_t* src) {
    if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
      std::string msg = zip_strerror(z);
      zip_source_free(src);
      zip_discard(z);
      throw std::runtime_error("cannot write " + path + ": " + msg);
    }
  };
  auto add_text = [&](const std::string& name, std::string text) {
    texts.push_back(std::move(text));
    add(name, zip_source_buffer(z, texts.back().data(), texts.back().size(), 0));
  };
  add_text("[Content_Types].xml", std::move(types));
  add_text("_rels/.rels", std::move(root));
  add_text("xl/workbook.xml", std::move(wb));
  add_text("xl/_rels/workbook.xml.rels", std::move(rels));
  add_text("xl/styles.xml", std::move(styles));
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    Sheet& s = sheets_[i];
    static const char tail[] = "</sheetData></worksheet>";
    if (std::fwrite(tail, 1, sizeof tail - 1, s.data) != sizeof tail - 1 || std::fflush(s.data) != 0) {
      zip_discard(z);
      throw std::runtime_error(std::string("cannot write a temporary file: ") + std::strerror(errno));
    }
    // libzip reads the part from the temporary file at zip_close and closes it.
    long size = std::ftell(s.data);
    std::rewind(s.data);
    zip_source_t* src = size > 0 ? zip_source_filep(z, s.data, 0, size) : nullptr;
    if (src) s.data = nullptr;
    add("xl/worksheets/sheet" + std::to_string(i + 1) + ".xml", src);
  }
  if (zip_close(z) != 0) {
    std::string msg = zip_strerror(z);
    zip_discard(z);
    throw std::runtime_error("cannot write " + path + ": " + msg);
  }
}

}  // namespace workbook
