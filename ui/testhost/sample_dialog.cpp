#include "ui/testhost/sample_dialog.h"

#include <cstdio>

namespace ui {

SampleDialog::SampleDialog(App& app, int rows) : Dialog(app, "샘플 대화상자", Rect{0, 0, 260, 190}), rows_(rows) {
  AddStatic(IDC_STATIC, "이름", {7, 9, 30, 8});
  AddEdit(kName, {40, 7, 110, 12}, kTabStop);
  AddButton(kAsk, "질문하기(&Q)", {160, 6, 50, 14}, kOwnerDraw).SetTooltip("저장할지 묻습니다.");
  AddButton(kStart, "시작(&S)", {212, 6, 40, 14});
  AddStatic(kCountdown, "", {7, 26, 120, 8});
  AddComboBox(kKind, {130, 24, 80, 60}, kDropDownList | kSorted);
  AddEdit(kMemo, {7, 40, 245, 24}, kMultiline | kWantReturn);
  AddProgress(kProgress, {7, 70, 245, 10});
  AddStatic(kStatus, "대기 중", {7, 84, 245, 8}, kCenter);
  AddReportList(kList, {7, 96, 245, 70}, kGridLines | kFullRowSelect | kMultiSelect);
  AddButton(IDOK, "확인", {148, 171, 50, 14}, kDefault);
  AddButton(IDCANCEL, "취소", {202, 171, 50, 14});

  On(kAsk, Notify::Clicked, [this] { OnAsk(); });
  On(kStart, Notify::Clicked, [this] { OnStart(); });
  On(kList, Notify::ColumnClick, [this](const NotifyInfo& n) {
    Get<ReportList>(kList).SortByText(n.sub_item, sort_descending_);
    sort_descending_ = !sort_descending_;
  });
}

SampleDialog::~SampleDialog() { JoinWorker(); }

void SampleDialog::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

bool SampleDialog::OnInitDialog() {
  auto& list = Get<ReportList>(kList);
  list.InsertColumn(0, "번호", 40, Align::Right);
  list.InsertColumn(1, "전화번호", 90);
  list.InsertColumn(2, "고객정보", 100);
  list.InsertColumn(3, "키", 0);  // hidden key column
  auto& kind = Get<ComboBox>(kKind);
  for (const char* k : {"설문조사", "음성전송", "문자"}) kind.AddString(k);
  kind.SetCurSel(0);
  Get<Static>(kCountdown).SetText(std::to_string(seconds_left) + "초 남음");
  SetTimer(kTimer, 1000);
  SetFocus(kName);
  return false;
}

void SampleDialog::DoDataExchange(DataExchange& dx) {
  DDX_Text(dx, kName, name);
  DDV_MaxChars(dx, name, 10);
}

void SampleDialog::OnTimer(unsigned id) {
  if (id != kTimer) return;
  if (--seconds_left <= 0) {
    KillTimer(kTimer);
    seconds_left = 0;
  }
  Get<Static>(kCountdown).SetText(std::to_string(seconds_left) + "초 남음");
}

void SampleDialog::OnAsk() {
  int r = app().MessageBox(this, "저장하시겠습니까?", kCaptionConfirm, MB_YESNO | MB_ICONQUESTION);
  Get<Static>(kStatus).SetText(r == IDYES ? "저장했습니다." : "취소했습니다.");
}

void SampleDialog::OnStart() {
  if (worker_.joinable()) return;
  Get<Button>(kStart).Enable(false);
  Get(IDCANCEL).Enable(false);
  worker_done = false;
  worker_ = std::thread([this] { Work(); });
}

void SampleDialog::Work() {
  WaitCursor wait(app());
  auto& list = Get<ReportList>(kList);
  auto& progress = Get<Progress>(kProgress);
  auto& status = Get<Static>(kStatus);
  char buf[64];
  for (int i = 0; i < rows_; ++i) {
    std::snprintf(buf, sizeof buf, "010-%04d-%04d", i / 10000, i % 10000);
    std::string no = std::to_string(i + 1);
    int row = list.InsertItem(i, no);
    list.SetItemText(row, 1, buf);
    list.SetItemText(row, 2, "고객 " + no);
    list.SetItemData(row, i);
    if (list.ItemCount() != i + 1 || list.ItemText(row, 1) != buf) readback_wrong = true;
    progress.SetPos(100 * (i + 1) / rows_);
    std::snprintf(buf, sizeof buf, "%d 건중 %d 건 처리중...", rows_, i + 1);
    status.SetText(buf);
  }
  std::snprintf(buf, sizeof buf, "%d 건 처리 완료", rows_);
  status.SetText(buf);
  app().MessageBox(this, "처리가 끝났습니다.", kCaptionNotice, MB_OK | MB_ICONINFORMATION);
  Get(IDCANCEL).Enable(true);
  Get<Button>(kStart).Enable(true);
  worker_done = true;
}

}  // namespace ui
