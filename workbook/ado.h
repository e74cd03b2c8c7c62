// Connection and recordset over a workbook, in the shape the screens use
// for Excel files: a connection string names the file and its properties,
// statements run on sheets (see sheet_query.h), every cell is read as text.
//
// Connection strings:
//   Provider=Microsoft.ACE.OLEDB.12.0;Data Source=<path>;Extended Properties="Excel 12.0;HDR=No;IMEX=1"
//   Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;Extended Properties="Excel 8.0;HDR=Yes;IMEX=1"
// "Excel 8.0" reads only .xls (BIFF8) files, "Excel 12.0" both .xlsx and .xls;
// the file's content decides how it is read, not its extension. HDR defaults
// to Yes. IMEX is accepted; cells are always delivered as text.
//
// Failures return 0 and leave an error text (below); the error is also
// written to the error dump stream (standard output unless another stream is
// given) as: one "\t Error number: %x\t%s" line per provider error, then
// "Error", "\tCode = %08lx", "\tCode meaning = %s", "\tSource = %s",
// "\tDescription = %s".
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "workbook/sheet_query.h"
#include "workbook/workbook.h"

struct WorkbookConnectionOptions {
  workbook::Limits limits;
  // Where failures are dumped; nullptr: nowhere. Not owned.
  std::ostream* error_dump = nullptr;
  bool dump_to_stdout = true;  // used when error_dump is nullptr
};

// One provider error of the last failed operation.
struct WorkbookProviderError {
  std::uint32_t code = 0;
  std::string source, description;
};

class CMyADOConn {
 public:
  explicit CMyADOConn(WorkbookConnectionOptions options = {});
  ~CMyADOConn();
  CMyADOConn(const CMyADOConn&) = delete;
  CMyADOConn& operator=(const CMyADOConn&) = delete;

  // Opens the workbook the connection string names: 1, or 0 with the error
  // description as error text.
  int Open(const std::string& connection_string);
  // Opens a workbook held in memory with the properties of a connection
  // string whose Data Source is ignored (tests, fuzzing).
  int OpenMemory(const std::string& connection_string, std::string bytes);
  void Close();
  bool IsOpen() const;

  const std::string& GetErrorText() const { return m_strErrorText; }
  const std::string& GetErrorDescription() const { return m_strErrorDescription; }
  // The last error's code as "%08lx".
  const std::string& GetErrorCode() const { return m_strErrorCode; }
  // The provider errors of the last failed operation.
  const std::vector<WorkbookProviderError>& Errors() const { return errors_; }
  void ClearErrors() { errors_.clear(); }

 private:
  friend class CMyADORS;
  int OpenImpl(const std::string& connection_string, std::string* bytes);
  // Records and dumps a failure; returns its description.
  std::string Fail(std::uint32_t code, const std::string& source, const std::string& description);

  WorkbookConnectionOptions options_;
  std::string provider_;
  std::shared_ptr<workbook::SheetDatabase> db_;
  std::vector<WorkbookProviderError> errors_;
  std::string m_strErrorDescription, m_strErrorCode, m_strErrorText;
};

class CMyADORS {
 public:
  // The connection is not owned and must outlive the recordset.
  explicit CMyADORS(CMyADOConn* connection);
  ~CMyADORS();
  CMyADORS(const CMyADORS&) = delete;
  CMyADORS& operator=(const CMyADORS&) = delete;

  // Runs a statement: 1, or 0 with "CMyADORS::Open:sql(%s),Error(%s)".
  int Open(const std::string& sql);
  // The table list: fields TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
  // TABLE_TYPE, DESCRIPTION; only the given table type, or every table for
  // "all" (any case). 1, or 0 with "CMyADORS::OpenSchema Error(%s)".
  int OpenSchema(const std::string& table_type);

  // The current record's value; "" and "CMyADORS::GetFieldValue,Error(%s)"
  // when there is no such field or no current record. Names compare
  // without ASCII case.
  std::string GetFieldValue(int index);
  std::string GetFieldValue(const std::string& name);
  int GetFieldCount() const;
  std::string GetFieldName(int index);
  // True when there is no current record (also when not open).
  bool IsEOF() const;
  // 1, or 0 with "CMyADORS::MoveFirst Error(%s)" / "CMyADORS::MoveNext Error(%s)".
  int MoveFirst();
  int MoveNext();
  void Close();
  bool IsOpen() const { return rows_ != nullptr; }

  const std::string& GetErrorText() const { return m_strErrorText; }
  const std::string& GetErrorSource() const { return m_strErrorSource; }
  const std::string& GetErrorDescription() const { return m_strErrorDescription; }

 private:
  // Records a failure through the connection; returns its description.
  std::string Fail(std::uint32_t code, const std::string& source, const std::string& description);
  bool Advance();  // fetches the next record; may throw

  // False (and the recordset closed) when its connection was closed or
  // reopened since the recordset was opened.
  bool ConnectionAlive();

  CMyADOConn* conn_;
  std::shared_ptr<workbook::SheetDatabase> db_;  // the connection's workbook when opened
  std::unique_ptr<workbook::ResultRows> rows_;
  std::vector<std::string> values_;
  bool eof_ = true;
  std::string m_strErrorSource, m_strErrorDescription, m_strErrorText;
};
