#include "client/senddata/send_progress_dlg.h"

CDlgSendDataProgress::CDlgSendDataProgress(ui::App& app, std::function<void()> on_close)
    : Dialog(app, "서버로 데이터 전송", ui::Rect{0, 0, 220, 62}), on_close_(std::move(on_close)) {
  AddStatic(kStatus, "", {7, 7, 206, 10});
  AddProgress(kProgress, {7, 20, 206, 12});
  AddButton(kStop, "전송 중지", {56, 40, 50, 14}, ui::kTabStop);
  AddButton(kClose, "닫기", {114, 40, 50, 14}, ui::kTabStop | ui::kDisabled);
  On(kStop, ui::Notify::Clicked, [this] { m_bStop = true; });
}

bool CDlgSendDataProgress::OnInitDialog() {
  Get<ui::Progress>(kProgress).SetRange(0, 100);
  return true;
}

void CDlgSendDataProgress::SetStatus(std::string_view text) { Get<ui::Static>(kStatus).SetText(text); }

void CDlgSendDataProgress::SetPercent(int percent) { Get<ui::Progress>(kProgress).SetPos(percent); }

void CDlgSendDataProgress::SendEnded(bool focus_close) {
  Get(kStop).Enable(false);
  Get(kClose).Enable(true);
  if (focus_close) SetFocus(kClose);
}

void CDlgSendDataProgress::OnCancel() {
  // Escape reaches here only with the close button enabled (the layer's
  // rule), so the worker has ended.
  if (!Get(kClose).Enabled()) return;
  if (on_close_) on_close_();
  Destroy();
}
