#include "client/numtools/dup_check_dlg.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>

#include "client/app/debug_log.h"
#include "ui/ddx.h"

using numtools::DupCheckCallbacks;
using numtools::DupCheckOptions;
using numtools::DupCheckResult;
using numtools::DupCheckStatus;
using numtools::DupChecker;
using numtools::kInfoMaxBytes;
using numtools::OutputFileName;

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
  va_end(args);
  return out;
}

}  // namespace

CDlgDupCheck::CDlgDupCheck(ui::App& app, CTellomarEnv& env, platform::ProfileStore* profile, DupCheckOptions options)
    : Dialog(app, "중복 번호 검사", ui::Rect{0, 0, 290, 214}), env_(env), profile_(profile), options_(options) {
  AddReportList(kInputList, {7, 7, 206, 96}, ui::kMultiSelect | ui::kFullRowSelect | ui::kGridLines | ui::kTabStop);
  AddButton(kAddFile, "파일 추가", {219, 7, 64, 14}, ui::kOwnerDraw | ui::kTabStop)
      .SetTooltip("중복 검사할 파일을 추가합니다.");
  AddButton(kRemove, "제거(&R)", {219, 25, 64, 14}, ui::kOwnerDraw | ui::kTabStop)
      .SetTooltip("선택된 파일을 목록에서 제거합니다.");
  AddStatic(ui::IDC_STATIC, "검사 후 저장할 파일명", {7, 111, 80, 8});
  AddEdit(kOutputName, {88, 109, 125, 12}, ui::kTabStop);
  AddButton(kChooseOutput, "저장할 화일명 선택", {219, 108, 64, 14}, ui::kOwnerDraw | ui::kTabStop)
      .SetTooltip("중복 검사 후 저장할 파일을 선택합니다.");
  AddRadio(kOneFile, "하나의 파일로 저장", {7, 128, 90, 10}, ui::kGroup | ui::kTabStop);
  AddRadio(kSplit, "여러개로 나누어서 저장", {7, 142, 100, 10});
  AddEdit(kRowsPerFile, {110, 141, 50, 12}, ui::kNumber | ui::kTabStop);
  AddStatic(ui::IDC_STATIC, "건 단위로", {164, 143, 40, 8});
  AddStatic(kFileText, "", {7, 160, 276, 8});
  AddStatic(kProgressText, "", {7, 172, 276, 8});
  AddButton(kRun, "중복 번호 검사 실행", {7, 190, 80, 16}, ui::kOwnerDraw | ui::kTabStop)
      .SetTooltip("중복 번호 검사를 실행합니다.");
  AddButton(kStop, "중복 번호 검사 중지", {91, 190, 80, 16}, ui::kOwnerDraw | ui::kDisabled | ui::kTabStop)
      .SetTooltip("중복 번호 검사를 중지합니다.");
  AddButton(ui::IDCANCEL, "닫기(&X)", {219, 190, 64, 16}, ui::kOwnerDraw | ui::kTabStop).SetTooltip("닫습니다.");
  On(kAddFile, ui::Notify::Clicked, [this] { OnAddFile(); });
  On(kChooseOutput, ui::Notify::Clicked, [this] { OnChooseOutput(); });
  On(kRemove, ui::Notify::Clicked, [this] { OnRemove(); });
  On(kRun, ui::Notify::Clicked, [this] { OnRun(); });
  On(kStop, ui::Notify::Clicked, [this] { stop_ = true; });
  On(kOneFile, ui::Notify::Clicked, [this] { OnSaveMode(); });
  On(kSplit, ui::Notify::Clicked, [this] { OnSaveMode(); });
}

bool CDlgDupCheck::OnInitDialog() {
  auto& list = Get<ui::ReportList>(kInputList);
  // One column as wide as the control (dialog units to pixels of the dialog font).
  list.InsertColumn(0, "선택된 파일명", list.rect().w * 3 / 2);
  UpdateData(false);
  OnSaveMode();
  return true;
}

void CDlgDupCheck::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_Text(dx, kOutputName, m_strOutputName);
  ui::DDX_Text(dx, kRowsPerFile, m_nRowsPerFile);
  ui::DDV_MinMaxInt(dx, m_nRowsPerFile, kMinRows, kMaxRows);
  ui::DDX_Radio(dx, kOneFile, m_nSaveMode);
}

void CDlgDupCheck::OnSaveMode() { Get<ui::Edit>(kRowsPerFile).Enable(Get<ui::Button>(kSplit).Check() == 1); }

std::string CDlgDupCheck::ChooseFile() {
  return ChooseFileInRecentFolder(*this, profile_, kDupCheckRecentFolderEntry, dupmsg::kFilter, dupmsg::kDefaultExt);
}

void CDlgDupCheck::OnAddFile() {
  const std::string path = ChooseFile();
  if (path.empty()) return;
  Get<ui::ReportList>(kInputList).AppendRow({path});
}

void CDlgDupCheck::OnChooseOutput() {
  const std::string path = ChooseFile();
  if (path.empty()) return;
  Get<ui::Edit>(kOutputName).SetText(path);
}

void CDlgDupCheck::OnRemove() {
  auto& list = Get<ui::ReportList>(kInputList);
  const std::vector<int> rows = list.SelectedRows();
  if (rows.empty()) {
    env_.MsgBox(this, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION, "%s", dupmsg::kNothingSelected);
    return;
  }
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) list.DeleteItem(*it);
}

void CDlgDupCheck::SetStatus(int id, const std::string& text) { Get<ui::Static>(id).SetText(text); }

void CDlgDupCheck::Restore() {
  Get<ui::Button>(kRun).Enable(true);
  Get<ui::Button>(kStop).Enable(false);
  running_ = false;
  if (close_requested_) EndDialog(ui::IDCANCEL);
}

void CDlgDupCheck::OnCancel() {
  // The run is on this thread's stack (its loops dispatch messages): it
  // ends first, then the dialog closes.
  if (running_) {
    stop_ = true;
    close_requested_ = true;
    return;
  }
  EndDialog(ui::IDCANCEL);
}

void CDlgDupCheck::OnRun() {
  if (running_ || !UpdateData(true)) return;
  stop_ = false;
  auto& list = Get<ui::ReportList>(kInputList);
  if (list.ItemCount() == 0) {
    env_.MsgBox(this, ui::kCaptionError, ui::MB_OK | ui::MB_ICONINFORMATION, "%s", dupmsg::kNoInput);
    SetFocus(kAddFile);
    return;
  }
  if (m_strOutputName.empty()) {
    env_.MsgBox(this, ui::kCaptionError, ui::MB_OK | ui::MB_ICONINFORMATION, "%s", dupmsg::kNoOutput);
    SetFocus(kChooseOutput);
    return;
  }
  if (env_.MsgBox(this, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION, "%s", dupmsg::kAskRun) != ui::IDYES)
    return;
  const bool split = m_nSaveMode == 1;
  // The file the run writes first (in split mode the first numbered one)
  // is the one that would be overwritten.
  const std::string first = OutputFileName(m_strOutputName, split ? 1 : 0);
  if (CTellomarEnv::FileExists(first) &&
      env_.MsgBox(this, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION, dupmsg::kAskOverwrite,
                  first.c_str()) != ui::IDYES)
    return;

  std::vector<std::string> inputs;
  for (int i = 0; i < list.ItemCount(); ++i) inputs.push_back(list.ItemText(i, 0));

  ui::WaitCursor wait(app());
  running_ = true;
  Get<ui::Button>(kRun).Enable(false);
  Get<ui::Button>(kStop).Enable(true);

  DupCheckOptions options = options_;
  options.rows_per_file = split ? m_nRowsPerFile : 0;
  long polled = 0;
  DupCheckCallbacks cb;
  cb.file_started = [this](const std::string& path) { SetStatus(kFileText, Format(dupmsg::kProcessing, path.c_str())); };
  cb.reading = [this](long read) { SetStatus(kProgressText, Format(dupmsg::kReading, static_cast<int>(read))); };
  cb.stop = [this, &polled] {
    if (++polled % kPumpEvery == 0) app().PumpMessages();
    return stop_.load();
  };
  const std::string entered = m_strOutputName;
  long written_pumps = 0;
  cb.writing = [this, &entered, &written_pumps](long written, long total) {
    SetStatus(kProgressText, Format(dupmsg::kWriting, entered.c_str(), written, total));
    if (++written_pumps % kPumpEvery == 0) app().PumpMessages();
  };
  DupChecker checker(options, cb);

  DupCheckResult r = checker.Read(inputs);
  switch (r.status) {
    case DupCheckStatus::kStopped:
      if (!close_requested_)
        env_.MsgBox(this, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION, "%s", dupmsg::kStopped);
      return Restore();
    case DupCheckStatus::kInputOpenFailed:
      env_.MsgBox(this, ui::kCaptionError, ui::MB_OK | ui::MB_ICONINFORMATION, dupmsg::kCannotOpenInput,
                  r.failed_path.c_str());
      return Restore();
    case DupCheckStatus::kInputNotText:
      env_.MsgBox(this, ui::kCaptionError, ui::MB_OK | ui::MB_ICONINFORMATION, dupmsg::kNotText,
                  r.failed_path.c_str());
      return Restore();
    default:
      break;
  }
  if (r.cut_fields > 0)
    DebugLog("CDlgDupCheck: %ld customer-information fields cut to %zu bytes", r.cut_fields, kInfoMaxBytes);
  SetStatus(kProgressText, Format(dupmsg::kRead, static_cast<int>(r.read)));

  r = checker.Write(m_strOutputName, std::move(r));
  checker.Release();
  if (r.status == DupCheckStatus::kOutputOpenFailed || r.status == DupCheckStatus::kOutputWriteFailed) {
    env_.MsgBox(this, dupmsg::kOpenErrorCaption, ui::MB_OK | ui::MB_ICONERROR,
                r.status == DupCheckStatus::kOutputOpenFailed ? dupmsg::kCannotOpenOutput : dupmsg::kCannotWriteOutput,
                r.failed_path.c_str());
    return Restore();
  }
  SetStatus(kProgressText, Format(dupmsg::kSummary, static_cast<int>(r.read), static_cast<int>(r.duplicates()),
                                  static_cast<int>(r.written)));
  env_.MsgBox(this, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION, "%s", dupmsg::kDone);
  Restore();
}
