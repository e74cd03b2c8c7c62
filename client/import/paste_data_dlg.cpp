#include "client/import/paste_data_dlg.h"

#include <algorithm>

#include "client/dispatch/import.h"
#include "client/dispatch/report_target_list.h"
#include "ui/ddx.h"

CDlgPasteData::CDlgPasteData(ui::App& app, CTellomarEnv& env, ui::ReportList& send_list)
    : Dialog(app, "파일로부터 가져오기", ui::Rect{0, 0, 330, 250}), env_(env), send_list_(send_list) {
  AddStatic(ui::IDC_STATIC, kPasteInstructionText, {7, 7, 316, 44});
  AddEdit(kText, {7, 54, 316, 150}, ui::kMultiline | ui::kWantReturn | ui::kVScroll | ui::kHScroll | ui::kTabStop);
  AddStatic(kCount, "(0)건", {7, 208, 80, 8});
  AddCheckBox(kExcludeDuplicates, "중복된 번호는 제외 합니다.", {7, 220, 140, 10}, ui::kTabStop);
  AddButton(kApply, "적용(&I)", {161, 230, 50, 14}, ui::kTabStop);
  AddButton(kClearAll, "모두지우기", {215, 230, 50, 14}, ui::kTabStop);
  AddButton(ui::IDCANCEL, "닫기(&X)", {269, 230, 54, 14}, ui::kTabStop);
  On(kText, ui::Notify::Change, [this] { OnChangeText(); });
  On(kClearAll, ui::Notify::Clicked, [this] { Get(kText).SetText(""); });
  On(kApply, ui::Notify::Clicked, [this] {
    if (ApplyPastedText()) EndDialog(ui::IDOK);
  });
}

bool CDlgPasteData::OnInitDialog() {
  m_bExcludeDuplicates = 1;
  UpdateData(false);
  return true;
}

void CDlgPasteData::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_Text(dx, kText, m_strText);
  ui::DDX_Check(dx, kExcludeDuplicates, m_bExcludeDuplicates);
}

void CDlgPasteData::OnChangeText() {
  const std::string text = Get(kText).Text();
  const long lines = std::count(text.begin(), text.end(), '\n');
  Get(kCount).SetText(dispatch::FormatMessage(kPasteCountText, {std::to_string(lines)}));
}

bool CDlgPasteData::ApplyPastedText() {
  if (!UpdateData(true)) return false;
  dispatch::ImportOptions options;
  options.exclude_duplicates = m_bExcludeDuplicates != 0;
  dispatch::ImportCallbacks cb;
  cb.ask_add_zero = [this](const std::string& message) {
    return env_.MsgBox(this, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION, "%s", message.c_str()) ==
           ui::IDYES;
  };
  // A length error is shown when it happens, before the leading-zero
  // question; the summary follows.
  cb.error = [this](const std::string& message) { env_.MsgInfo(this, "%s", message.c_str()); };
  dispatch::ReportTargetList list(send_list_);
  dispatch::CallTargetImporter importer(list, options, cb);
  dispatch::ImportResult r;
  {
    ui::WaitCursor wait(app());
    r = importer.ApplyPastedText(m_strText);
  }
  env_.ShowMessage(this, r.message, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION);
  return r.completed;
}
