#include "workbook/ado.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>

namespace {

using workbook::QueryError;

constexpr std::uint32_t kErrNoProvider = 0x800A0E7A;  // the provider is not installed
constexpr std::uint32_t kErrClosed = 0x800A0E78;      // operation on a closed object
constexpr std::uint32_t kErrOpen = 0x800A0E79;        // operation on an open object
constexpr std::uint32_t kErrNoRecord = 0x800A0BCD;    // BOF or EOF
constexpr std::uint32_t kErrNoItem = 0x800A0CC1;      // no such field

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

// key=value pairs separated by ';', values optionally in double or single quotes.
std::map<std::string, std::string> ParseProperties(std::string_view s) {
  std::map<std::string, std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t eq = s.find('=', i), semi = s.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      if (semi == std::string_view::npos) break;
      i = semi + 1;  // an entry without a value
      continue;
    }
    std::string key = Lower(Trim(s.substr(i, eq - i)));
    std::size_t j = eq + 1;
    while (j < s.size() && (s[j] == ' ' || s[j] == '\t')) ++j;
    std::string value;
    if (j < s.size() && (s[j] == '"' || s[j] == '\'')) {
      char q = s[j++];
      for (; j < s.size(); ++j) {
        if (s[j] == q) {
          if (j + 1 < s.size() && s[j + 1] == q) {
            value += q;
            ++j;
            continue;
          }
          ++j;
          break;
        }
        value += s[j];
      }
      std::size_t next = s.find(';', j);
      i = next == std::string_view::npos ? s.size() : next + 1;
    } else {
      std::size_t next = s.find(';', j);
      value = Trim(s.substr(j, next == std::string_view::npos ? std::string_view::npos : next - j));
      i = next == std::string_view::npos ? s.size() : next + 1;
    }
    if (!key.empty()) out[key] = value;
  }
  return out;
}

// Text for a code: the system's message where there is one, else the
// generic forms for the dispatch range and for unknown codes.
std::string CodeMeaning(std::uint32_t code) {
  switch (code) {
    case 0x80004005: return "Unspecified error";
    case 0x8007000E: return "Not enough memory resources are available to complete this operation.";
    case 0x80070057: return "The parameter is incorrect.";
    default: break;
  }
  char buf[64];
  if (code > 0x80040200 && code <= 0x8004FFFF)
    std::snprintf(buf, sizeof buf, "IDispatch error #%u", code - 0x80040200);
  else
    std::snprintf(buf, sizeof buf, "Unknown error 0x%0X", code);
  return buf;
}

bool IsProviderCode(std::uint32_t code) { return (code & 0xFFFF0000u) != 0x800A0000u; }

}  // namespace

CMyADOConn::CMyADOConn(WorkbookConnectionOptions options) : options_(std::move(options)) {}
CMyADOConn::~CMyADOConn() = default;

std::string CMyADOConn::Fail(std::uint32_t code, const std::string& source, const std::string& description) {
  if (IsProviderCode(code)) errors_.push_back({code, source, description});
  std::ostream* out = options_.error_dump ? options_.error_dump : options_.dump_to_stdout ? &std::cout : nullptr;
  if (out) {
    char line[64];
    for (const auto& e : errors_) {
      std::snprintf(line, sizeof line, "\t Error number: %x\t", e.code);
      *out << line << e.description << "\n";
    }
    std::snprintf(line, sizeof line, "\tCode = %08x\n", code);
    *out << "Error\n" << line << "\tCode meaning = " << CodeMeaning(code) << "\n"
         << "\tSource = " << source << "\n"
         << "\tDescription = " << description << "\n";
    out->flush();
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08x", code);
  m_strErrorCode = hex;
  m_strErrorDescription = description;
  return description;
}

int CMyADOConn::Open(const std::string& connection_string) { return OpenImpl(connection_string, nullptr); }

int CMyADOConn::OpenMemory(const std::string& connection_string, std::string bytes) {
  return OpenImpl(connection_string, &bytes);
}

int CMyADOConn::OpenImpl(const std::string& connection_string, std::string* bytes) {
  errors_.clear();
  auto fail = [&](std::uint32_t code, const std::string& source, const std::string& description) {
    m_strErrorText = Fail(code, source, description);
    return 0;
  };
  if (db_) return fail(kErrOpen, "ADODB.Connection", "the connection is already open");
  auto props = ParseProperties(connection_string);
  std::string provider = props.count("provider") ? props["provider"] : "";
  std::string lp = Lower(provider);
  bool ace = lp.rfind("microsoft.ace.oledb.", 0) == 0;
  bool jet = lp == "microsoft.jet.oledb.4.0";
  if (!ace && !jet)
    return fail(kErrNoProvider, "ADODB.Connection",
                "provider cannot be found ('" + provider + "'): use Microsoft.ACE.OLEDB.12.0 or Microsoft.Jet.OLEDB.4.0");
  bool xls_only = true, header = true;
  bool have_format = false;
  std::string ext = props.count("extended properties") ? props["extended properties"] : "";
  std::size_t start = 0;
  while (start <= ext.size()) {
    std::size_t semi = ext.find(';', start);
    std::string item = Lower(Trim(std::string_view(ext).substr(start, semi == std::string::npos ? std::string::npos : semi - start)));
    start = semi == std::string::npos ? ext.size() + 1 : semi + 1;
    if (item == "excel 8.0" || item == "excel 97") {
      have_format = true;
      xls_only = true;
    } else if (item.rfind("excel 12.0", 0) == 0 && ace) {
      have_format = true;
      xls_only = false;
    } else if (item.rfind("hdr", 0) == 0) {
      std::string v = Trim(item.substr(item.find('=') == std::string::npos ? item.size() : item.find('=') + 1));
      header = v != "no" && v != "false" && v != "0";
    }
  }
  if (!have_format)
    return fail(workbook::kErrUnspecified, provider,
                "could not find installable ISAM: Extended Properties must name Excel 8.0" +
                    std::string(ace ? " or Excel 12.0" : "") + " (got \"" + ext + "\")");
  std::string path = props.count("data source") ? props["data source"] : "";
  try {
    std::unique_ptr<workbook::Workbook> wb;
    workbook::Format format;
    if (bytes) {
      format = workbook::DetectFormat(*bytes);
    } else {
      if (path.empty()) return fail(workbook::kErrUnspecified, provider, "the connection string names no Data Source");
      std::FILE* f = std::fopen(path.c_str(), "rb");
      if (!f) return fail(workbook::kErrUnspecified, provider, "could not find file '" + path + "': " + std::strerror(errno));
      char head[8] = {};
      std::size_t n = std::fread(head, 1, sizeof head, f);
      std::fclose(f);
      format = workbook::DetectFormat(std::string_view(head, n));
    }
    std::string what = bytes ? std::string("the workbook") : "'" + path + "'";
    if (format == workbook::Format::kUnknown)
      return fail(workbook::kErrUnspecified, provider,
                  "external table is not in the expected format: " + what + " is neither an .xls nor an .xlsx workbook");
    if (xls_only && format != workbook::Format::kXls)
      return fail(workbook::kErrUnspecified, provider,
                  "external table is not in the expected format: " + what +
                      " is not an Excel 97-2003 (.xls) workbook, which Excel 8.0 reads");
    wb = bytes ? workbook::OpenWorkbookMemory(std::move(*bytes), options_.limits)
               : workbook::OpenWorkbookFile(path, options_.limits);
    db_ = workbook::SheetDatabase::Create(std::move(wb), header);
  } catch (const std::exception& e) {
    return fail(workbook::kErrUnspecified, provider, std::string("external table is not in the expected format: ") + e.what());
  }
  provider_ = provider;
  m_strErrorText.clear();
  return 1;
}

void CMyADOConn::Close() { db_.reset(); }
bool CMyADOConn::IsOpen() const { return db_ != nullptr; }

CMyADORS::CMyADORS(CMyADOConn* connection) : conn_(connection) {}
CMyADORS::~CMyADORS() = default;

std::string CMyADORS::Fail(std::uint32_t code, const std::string& source, const std::string& description) {
  m_strErrorSource = source;
  m_strErrorDescription = description;
  if (conn_) return conn_->Fail(code, source, description);
  return description;
}

bool CMyADORS::ConnectionAlive() {
  if (rows_ && (!conn_ || conn_->db_ != db_)) Close();
  return rows_ != nullptr;
}

bool CMyADORS::Advance() {
  eof_ = !rows_->Fetch(values_);
  return !eof_;
}

int CMyADORS::Open(const std::string& sql) {
  auto fail = [&](std::uint32_t code, const std::string& source, const std::string& description) {
    m_strErrorText = "CMyADORS::Open:sql(" + sql + "),Error(" + Fail(code, source, description) + ")";
    return 0;
  };
  if (conn_) conn_->ClearErrors();
  if (rows_) return fail(kErrOpen, "ADODB.Recordset", "the recordset is already open");
  if (!conn_ || !conn_->db_) return fail(kErrClosed, "ADODB.Recordset", "the connection is not open");
  try {
    rows_ = conn_->db_->Execute(sql);
    db_ = conn_->db_;
    Advance();
  } catch (const QueryError& e) {
    rows_.reset();
    return fail(e.code, conn_->provider_, e.what());
  } catch (const std::exception& e) {
    rows_.reset();
    return fail(workbook::kErrUnspecified, conn_->provider_, e.what());
  }
  return 1;
}

int CMyADORS::OpenSchema(const std::string& table_type) {
  auto fail = [&](std::uint32_t code, const std::string& source, const std::string& description) {
    m_strErrorText = "CMyADORS::OpenSchema Error(" + Fail(code, source, description) + ")";
    return 0;
  };
  if (conn_) conn_->ClearErrors();
  if (!conn_ || !conn_->db_) return fail(kErrClosed, "ADODB.Recordset", "the connection is not open");
  std::string type = Lower(table_type);
  std::vector<std::vector<std::string>> rows;
  if (type == "all" || type == "table")
    for (const std::string& name : conn_->db_->TableNames()) rows.push_back({"", "", name, "TABLE", ""});
  rows_ = std::make_unique<workbook::FixedRows>(
      std::vector<std::string>{"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE", "DESCRIPTION"},
      std::move(rows));
  db_ = conn_->db_;
  Advance();
  return 1;
}

std::string CMyADORS::GetFieldValue(int index) {
  auto fail = [&](std::uint32_t code, const std::string& description) {
    m_strErrorText = "CMyADORS::GetFieldValue,Error(" + Fail(code, "ADODB.Fields", description) + ")";
    return std::string();
  };
  if (!ConnectionAlive()) return fail(kErrClosed, "the recordset is not open");
  if (index < 0 || static_cast<std::size_t>(index) >= rows_->fields().size())
    return fail(kErrNoItem, "no field number " + std::to_string(index) + " in the recordset");
  if (eof_) return fail(kErrNoRecord, "no current record (BOF or EOF)");
  return values_[static_cast<std::size_t>(index)];
}

std::string CMyADORS::GetFieldValue(const std::string& name) {
  if (ConnectionAlive()) {
    const auto& f = rows_->fields();
    std::string key = Lower(name);
    for (std::size_t i = 0; i < f.size(); ++i)
      if (Lower(f[i]) == key) return GetFieldValue(static_cast<int>(i));
  }
  m_strErrorText = "CMyADORS::GetFieldValue,Error(" +
                   Fail(rows_ ? kErrNoItem : kErrClosed, "ADODB.Fields",
                        rows_ ? "no field named '" + name + "' in the recordset" : "the recordset is not open") +
                   ")";
  return {};
}

int CMyADORS::GetFieldCount() const { return rows_ ? static_cast<int>(rows_->fields().size()) : 0; }

std::string CMyADORS::GetFieldName(int index) {
  if (!rows_ || index < 0 || static_cast<std::size_t>(index) >= rows_->fields().size()) {
    m_strErrorText = "CMyADORS::GetFieldName,Error(" +
                     Fail(rows_ ? kErrNoItem : kErrClosed, "ADODB.Fields", "no field number " + std::to_string(index)) + ")";
    return {};
  }
  return rows_->fields()[static_cast<std::size_t>(index)];
}

bool CMyADORS::IsEOF() const { return !rows_ || eof_; }

int CMyADORS::MoveFirst() {
  auto fail = [&](std::uint32_t code, const std::string& source, const std::string& description) {
    m_strErrorText = "CMyADORS::MoveFirst Error(" + Fail(code, source, description) + ")";
    return 0;
  };
  if (!ConnectionAlive()) return fail(kErrClosed, "ADODB.Recordset", "the recordset is not open");
  try {
    rows_->Rewind();
    Advance();
  } catch (const std::exception& e) {
    eof_ = true;
    return fail(workbook::kErrUnspecified, conn_ ? conn_->provider_ : "", e.what());
  }
  return 1;
}

int CMyADORS::MoveNext() {
  auto fail = [&](std::uint32_t code, const std::string& source, const std::string& description) {
    m_strErrorText = "CMyADORS::MoveNext Error(" + Fail(code, source, description) + ")";
    return 0;
  };
  if (!ConnectionAlive()) return fail(kErrClosed, "ADODB.Recordset", "the recordset is not open");
  if (eof_) return fail(kErrNoRecord, "ADODB.Recordset", "no current record (BOF or EOF)");
  try {
    Advance();
  } catch (const std::exception& e) {
    eof_ = true;
    return fail(workbook::kErrUnspecified, conn_ ? conn_->provider_ : "", e.what());
  }
  return 1;
}

void CMyADORS::Close() {
  rows_.reset();
  db_.reset();
  values_.clear();
  eof_ = true;
}
