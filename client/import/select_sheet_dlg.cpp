#include "client/import/select_sheet_dlg.h"

#include <vector>

#include "client/app/debug_log.h"
#include "ui/ddx.h"

CDlgSelectExcelSheet::CDlgSelectExcelSheet(ui::App& app, CTellomarEnv& env)
    : Dialog(app, "엑셀 파일에서 데이터 선택", ui::Rect{0, 0, 478, 306}), env_(env) {
  const std::uint32_t lists = ui::kGridLines | ui::kFullRowSelect;
  AddStatic(ui::IDC_STATIC, "엑셀 시트", {7, 7, 70, 8});
  AddStatic(ui::IDC_STATIC, "선택", {7, 16, 70, 8});
  AddListBox(kSheets, {7, 27, 84, 88}, ui::kTabStop | ui::kVScroll);
  AddStatic(ui::IDC_STATIC, "수신 전화번호", {97, 7, 70, 8});
  AddStatic(ui::IDC_STATIC, "열 선택", {97, 16, 70, 8});
  AddListBox(kPhoneColumn, {97, 27, 70, 88}, ui::kTabStop | ui::kVScroll);
  static const char* const kInfoLabels[4][2] = {
      {"고객정보1", "열 선택(100)"}, {"고객정보2", "열 선택(50)"}, {"고객정보3", "열 선택(50)"}, {"고객정보4", "열 선택(50)"}};
  for (int i = 0; i < 4; ++i) {
    const int x = 173 + i * 76;
    AddStatic(ui::IDC_STATIC, kInfoLabels[i][0], {x, 7, 70, 8});
    AddStatic(ui::IDC_STATIC, kInfoLabels[i][1], {x, 16, 70, 8});
    AddListBox(kInfoColumns[static_cast<std::size_t>(i)], {x, 27, 70, 88}, ui::kTabStop | ui::kVScroll);
  }
  AddCheckBox(kSkipFirstRow, "첫번째 열은 무시 합니다.", {7, 120, 120, 10}, ui::kTabStop);
  AddStatic(ui::IDC_STATIC, "선택된 열 미리 보기", {7, 134, 120, 8});
  AddReportList(kPreview, {7, 144, 464, 70}, lists);
  AddStatic(ui::IDC_STATIC, "원본 데이터 샘플 보기", {7, 218, 120, 8});
  AddReportList(kSample, {7, 228, 464, 54}, lists);
  AddButton(ui::IDOK, "선택 완료(&A)", {355, 286, 56, 14}, ui::kDefault | ui::kTabStop);
  AddButton(ui::IDCANCEL, "취소(&C)", {415, 286, 56, 14}, ui::kTabStop);

  On(kSheets, ui::Notify::SelChange, [this] { OnSelchangeListSheet(); });
  On(kPhoneColumn, ui::Notify::SelChange, [this] { OnSelchangeColumn(kPhoneColumn, m_strTelNoColumn); });
  for (std::size_t i = 0; i < kInfoColumns.size(); ++i) {
    On(kInfoColumns[i], ui::Notify::SelChange,
       [this, i] { OnSelchangeColumn(kInfoColumns[i], m_strCustInfoColumn[i]); });
  }
  On(kSkipFirstRow, ui::Notify::Clicked, [this] { RefreshPreview(); });
}

CDlgSelectExcelSheet::~CDlgSelectExcelSheet() {
  if (m_pRS) m_pRS->Close();
  m_pRS.reset();
  m_conn.Close();
}

dispatch::WorkbookSelection CDlgSelectExcelSheet::Selection() const {
  dispatch::WorkbookSelection s;
  s.sheet = m_strSheetName;
  s.phone_column = m_strTelNoColumn;
  for (std::size_t i = 0; i < 4; ++i) s.info_columns[i] = m_strCustInfoColumn[i];
  s.skip_first_row = m_bSkipFirstRow != 0;
  return s;
}

bool CDlgSelectExcelSheet::OnInitDialog() {
  ui::ReportList& preview = Get<ui::ReportList>(kPreview);
  preview.DeleteAllColumns();
  static constexpr int kWidths[dispatch::kSendColumns] = {36, 99, 126, 126, 126, 126};
  for (int c = 0; c < dispatch::kSendColumns; ++c)
    preview.InsertColumn(c, std::string(dispatch::kSendColumnHeaders[c]), kWidths[c]);
  m_strConnection = dispatch::WorkbookConnectionString(m_strFilePath);
  // The workbook is read once the dialog has been painted.
  SetTimer(kStartTimer, 0);
  return true;
}

void CDlgSelectExcelSheet::DoDataExchange(ui::DataExchange& dx) { ui::DDX_Check(dx, kSkipFirstRow, m_bSkipFirstRow); }

void CDlgSelectExcelSheet::OnTimer(unsigned id) {
  if (id != kStartTimer) return Dialog::OnTimer(id);
  KillTimer(kStartTimer);
  bool loaded = false;
  {
    ui::WaitCursor wait(app());
    loaded = LoadSheetList();
  }
  if (!loaded) EndDialog(ui::IDCANCEL);
}

bool CDlgSelectExcelSheet::LoadSheetList() {
  if (m_conn.Open(m_strConnection) < 1) {
    env_.MsgInfo(this, "%s", dispatch::FormatMessage(kSheetConnectErrorText, {m_conn.GetErrorText()}).c_str());
    return false;
  }
  CMyADORS schema(&m_conn);
  if (schema.OpenSchema("TABLE") < 1) {
    env_.MsgInfo(this, "%s", dispatch::FormatMessage(kSheetOpenErrorText, {schema.GetErrorText()}).c_str());
    return false;
  }
  ui::ComboBox& sheets = Get<ui::ComboBox>(kSheets);
  sheets.ResetContent();
  for (; !schema.IsEOF(); schema.MoveNext()) sheets.AddString(schema.GetFieldValue("TABLE_NAME"));
  schema.Close();
  return true;
}

void CDlgSelectExcelSheet::ClearColumnChoice() {
  m_strTelNoColumn.clear();
  for (std::string& c : m_strCustInfoColumn) c.clear();
  Get<ui::ComboBox>(kPhoneColumn).SetCurSel(-1);
  for (int id : kInfoColumns) Get<ui::ComboBox>(id).SetCurSel(-1);
  Get<ui::ReportList>(kPreview).DeleteAllItems();
}

void CDlgSelectExcelSheet::OnSelchangeListSheet() {
  ui::WaitCursor wait(app());
  m_strSheetName = Get<ui::ComboBox>(kSheets).SelectedText();
  if (m_pRS) m_pRS->Close();
  m_pRS = std::make_unique<CMyADORS>(&m_conn);
  const std::string sql = "select top " + std::to_string(kSampleRows) + " * from [" + m_strSheetName + "] ";
  DebugLog("CDlgSelectExcelSheet::OnSelchangeListSheet(%s)", sql.c_str());
  // Columns chosen for another sheet do not name this sheet's columns.
  ClearColumnChoice();
  if (m_pRS->Open(sql) < 1) {
    env_.MsgInfo(this, "%s", dispatch::FormatMessage(kSheetOpenErrorText, {m_pRS->GetErrorText()}).c_str());
    EndDialog(ui::IDCANCEL);
    return;
  }
  if (m_pRS->IsEOF()) {
    env_.MsgInfo(this, "%s", kSheetNoDataText);
    m_pRS->Close();
    return;
  }
  const int fields = m_pRS->GetFieldCount();
  std::vector<std::string> names;
  for (int f = 0; f < fields; ++f) names.push_back(m_pRS->GetFieldName(f));
  std::vector<int> column_lists = {kPhoneColumn};
  column_lists.insert(column_lists.end(), kInfoColumns.begin(), kInfoColumns.end());
  for (int id : column_lists) {
    ui::ComboBox& list = Get<ui::ComboBox>(id);
    list.ResetContent();
    for (const std::string& n : names) list.AddString(n);
  }
  ui::ReportList& sample = Get<ui::ReportList>(kSample);
  sample.DeleteAllItems();
  sample.DeleteAllColumns();
  sample.InsertColumn(0, "NO", 54);
  for (int f = 0; f < fields; ++f) sample.InsertColumn(f + 1, names[static_cast<std::size_t>(f)], 90);
  std::vector<std::string> cells;
  std::vector<std::string_view> views;
  for (int n = 1; !m_pRS->IsEOF(); ++n) {
    cells.assign(1, std::to_string(n));
    for (int f = 0; f < fields; ++f) cells.push_back(m_pRS->GetFieldValue(f));
    views.assign(cells.begin(), cells.end());
    sample.AppendRow(views);
    if (m_pRS->MoveNext() < 1) break;
  }
  m_pRS->MoveFirst();
}

void CDlgSelectExcelSheet::OnSelchangeColumn(int list_id, std::string& column) {
  column = Get<ui::ComboBox>(list_id).SelectedText();
  RefreshPreview();
}

void CDlgSelectExcelSheet::RefreshPreview() {
  m_bSkipFirstRow = Get<ui::Button>(kSkipFirstRow).Check() == 1 ? 1 : 0;
  ui::ReportList& preview = Get<ui::ReportList>(kPreview);
  preview.DeleteAllItems();
  if (!m_pRS || !m_pRS->IsOpen() || m_pRS->MoveFirst() < 1) return;
  const std::string* roles[5] = {&m_strTelNoColumn, &m_strCustInfoColumn[0], &m_strCustInfoColumn[1],
                                 &m_strCustInfoColumn[2], &m_strCustInfoColumn[3]};
  std::vector<std::string> cells;
  std::vector<std::string_view> views;
  bool first = true;
  int n = 0;
  for (; !m_pRS->IsEOF(); m_pRS->MoveNext()) {
    if (first) {
      first = false;
      if (m_bSkipFirstRow) continue;
    }
    cells.assign(6, std::string());
    cells[0] = std::to_string(++n);
    for (int r = 0; r < 5; ++r)
      if (!roles[r]->empty()) cells[static_cast<std::size_t>(r) + 1] = m_pRS->GetFieldValue(*roles[r]);
    views.assign(cells.begin(), cells.end());
    preview.AppendRow(views);
  }
}

void CDlgSelectExcelSheet::OnOK() {
  if (!UpdateData(true)) return;
  if (m_strTelNoColumn.empty()) {
    env_.MsgInfo(this, "%s", kSheetNoPhoneColumnText);
    return;
  }
  EndDialog(ui::IDOK);
}
