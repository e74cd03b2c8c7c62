// The sheet and column choice of a workbook import: lists the sheets of the
// workbook, shows the first ten rows of the chosen sheet as a sample, lets
// the user map columns to the phone number and customer information 1 to 4
// and previews the mapping. After IDOK the caller reads the choice and may
// run its own statements over the dialog's open connection.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "client/app/tellomar_env.h"
#include "client/dispatch/import.h"
#include "ui/window.h"
#include "workbook/ado.h"

// The texts of the sheet dialog.
inline constexpr const char* kSheetConnectErrorText = "excel 파일 연결 오류(%s)";
inline constexpr const char* kSheetOpenErrorText = "excel 파일 열기 오류(%s)";
inline constexpr const char* kSheetNoDataText = "선택한 시트에는 데이터가 없습니다.";
inline constexpr const char* kSheetNoPhoneColumnText = "전호번호가 선택되지 않았습니다.";

class CDlgSelectExcelSheet : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 217;
  static constexpr int kSheets = 1179;
  static constexpr int kPhoneColumn = 1182;
  // Column lists of customer information 1 to 4.
  static constexpr std::array<int, 4> kInfoColumns = {1188, 1193, 1195, 1205};
  static constexpr int kPreview = 1006;
  static constexpr int kSample = 1008;
  static constexpr int kSkipFirstRow = 1199;
  static constexpr unsigned kStartTimer = 1;
  // Rows of the sample.
  static constexpr int kSampleRows = 10;

  CDlgSelectExcelSheet(ui::App& app, CTellomarEnv& env);
  ~CDlgSelectExcelSheet() override;

  // Set by the caller before DoModal.
  std::string m_strFilePath;

  // The choice, valid after IDOK.
  std::string m_strSheetName;
  std::string m_strTelNoColumn;
  std::array<std::string, 4> m_strCustInfoColumn;
  int m_bSkipFirstRow = 0;

  dispatch::WorkbookSelection Selection() const;
  const std::string& ConnectionString() const { return m_strConnection; }
  // The open connection, and the recordset of the chosen sheet (the caller
  // closes it before running its own statement on it).
  CMyADOConn& Connection() { return m_conn; }
  CMyADORS* Recordset() { return m_pRS.get(); }

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  void OnOK() override;
  void OnTimer(unsigned id) override;

 private:
  bool LoadSheetList();
  void OnSelchangeListSheet();
  void OnSelchangeColumn(int list_id, std::string& column);
  void RefreshPreview();
  void ClearColumnChoice();

  CTellomarEnv& env_;
  std::string m_strConnection;
  // Declared before the recordset, which runs on it and goes first.
  CMyADOConn m_conn;
  std::unique_ptr<CMyADORS> m_pRS;
};
