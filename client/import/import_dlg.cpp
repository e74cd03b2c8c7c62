#include "client/import/import_dlg.h"

#include <strings.h>

#include <filesystem>

#include "client/app/debug_log.h"
#include "client/dispatch/report_target_list.h"
#include "client/import/ask_once_dlg.h"
#include "client/import/select_sheet_dlg.h"
#include "ui/ddx.h"

bool IsWorkbookPath(const std::string& path) {
  auto ends = [&](const char* ext, std::size_t n) {
    return path.size() >= n && ::strcasecmp(path.c_str() + path.size() - n, ext) == 0;
  };
  return ends(".xls", 4) || ends(".xlsx", 5);
}

CDlgImport::CDlgImport(ui::App& app, CTellomarEnv& env, ui::ReportList& send_list)
    : Dialog(app, "파일로부터 가져오기", ui::Rect{0, 0, 286, 92}), env_(env), send_list_(send_list) {
  AddStatic(ui::IDC_STATIC, "파일명", {7, 10, 28, 8});
  AddEdit(kFileName, {38, 8, 186, 12}, ui::kTabStop);
  AddButton(kChooseFile, "파일 선택", {228, 7, 50, 14}, ui::kTabStop);
  AddCheckBox(kExcludeDuplicates, "중복된 번호는 제외 합니다.", {38, 26, 140, 10}, ui::kTabStop);
  AddProgress(kProgress, {7, 42, 271, 10}, ui::kHidden);
  AddStatic(kStatus, "", {7, 55, 200, 8}, ui::kHidden);
  AddButton(kStop, "가져오기 중지", {210, 53, 68, 14}, ui::kHidden | ui::kTabStop);
  AddButton(kImport, "가져오기(&I)", {174, 72, 50, 14}, ui::kDefault | ui::kTabStop);
  AddButton(ui::IDCANCEL, "닫기(&X)", {228, 72, 50, 14}, ui::kTabStop);
  On(kChooseFile, ui::Notify::Clicked, [this] { OnChooseFile(); });
  On(kImport, ui::Notify::Clicked, [this] { OnImport(); });
  On(kStop, ui::Notify::Clicked, [this] { m_bStop = true; });
}

bool CDlgImport::OnInitDialog() {
  m_bExcludeDuplicates = 1;
  UpdateData(false);
  return true;
}

void CDlgImport::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_Text(dx, kFileName, m_strFileName);
  ui::DDX_Check(dx, kExcludeDuplicates, m_bExcludeDuplicates);
}

void CDlgImport::OnChooseFile() {
  const std::string chosen =
      ChooseFileInRecentFolder(*this, m_pProfile, kRecentFolderEntry, kImportFileFilter, "*.csv;*.txt;*.xls");
  if (!chosen.empty()) Get(kFileName).SetText(chosen);
}

void CDlgImport::ShowRunning(bool running) {
  for (int id : {kProgress, kStatus, kStop}) Get(id).Show(running);
  Get(kStop).Enable(running);
  Get(kImport).Enable(!running);
  Get(ui::IDCANCEL).Enable(!running);
}

void CDlgImport::OnImport() {
  if (!UpdateData(true)) return;
  m_bStop = false;
  Get<ui::Progress>(kProgress).SetPos(0);
  Get(kStatus).SetText("");
  bool done = false;
  {
    ui::WaitCursor wait(app());
    ShowRunning(true);
    done = IsWorkbookPath(m_strFileName) ? ImportExcelFile() : ImportTextFile();
    ShowRunning(false);
  }
  if (done) EndDialog(ui::IDOK);
}

dispatch::ImportOptions CDlgImport::Options() const {
  dispatch::ImportOptions o;
  o.exclude_duplicates = m_bExcludeDuplicates != 0;
  return o;
}

dispatch::ImportCallbacks CDlgImport::Callbacks() {
  dispatch::ImportCallbacks cb;
  cb.ask_once = [this](const std::string& message) {
    CDlgAskOnce ask(app(), message);
    dispatch::AskOnceAnswer a;
    a.yes = ask.DoModal(this) == ui::IDOK;
    a.dont_ask_again = a.yes && ask.m_bDontAskAgain != 0;
    return a;
  };
  cb.ask_add_zero = [this](const std::string& message) {
    return env_.MsgBox(this, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION, "%s", message.c_str()) ==
           ui::IDYES;
  };
  cb.status = [this](const std::string& text) { Get(kStatus).SetText(text); };
  cb.progress = [this](int percent) { Get<ui::Progress>(kProgress).SetPos(percent); };
  // Once per record: the pending messages are served, so the stop button
  // works and the dialog stays painted.
  cb.stop = [this] {
    app().PumpMessages();
    return m_bStop;
  };
  return cb;
}

void CDlgImport::ShowSummary(const dispatch::ImportResult& r) {
  env_.ShowMessage(this, r.message, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION);
}

bool CDlgImport::ImportTextFile() {
  dispatch::ReportTargetList list(send_list_);
  dispatch::CallTargetImporter importer(list, Options(), Callbacks());
  const dispatch::ImportResult r = importer.ImportTextFile(m_strFileName);
  if (!r.completed) {
    env_.ShowMessage(this, r.message, ui::kCaptionError, ui::MB_OK | ui::MB_ICONERROR);
    return false;
  }
  ShowSummary(r);
  return true;
}

bool CDlgImport::ImportExcelFile() {
  dispatch::WorkbookSelection selection;
  {
    // The dialog, with its connection, goes before the run, so that the
    // workbook is held open once only.
    CDlgSelectExcelSheet sheet(app(), env_);
    sheet.m_strFilePath = m_strFileName;
    if (sheet.DoModal(this) != ui::IDOK) return false;
    selection = sheet.Selection();
  }
  dispatch::ReportTargetList list(send_list_);
  dispatch::CallTargetImporter importer(list, Options(), Callbacks());
  const dispatch::ImportResult r = importer.ImportExcelFile(m_strFileName, selection);
  if (!r.completed) {
    env_.MsgInfo(this, "%s", r.message.c_str());
    return false;
  }
  ShowSummary(r);
  return true;
}
