#include "client/import/ask_once_dlg.h"

#include "ui/ddx.h"

CDlgAskOnce::CDlgAskOnce(ui::App& app, std::string message)
    : Dialog(app, "확인", ui::Rect{0, 0, 260, 86}), m_strMessage(std::move(message)) {
  AddStatic(kMessage, "", {10, 8, 240, 42});
  AddCheckBox(kDontAskAgain, "이후 다시 묻지 않음", {10, 54, 100, 10}, ui::kTabStop);
  AddButton(ui::IDOK, "예", {148, 66, 50, 14}, ui::kDefault | ui::kTabStop);
  AddButton(ui::IDCANCEL, "아니오", {202, 66, 50, 14}, ui::kTabStop);
}

void CDlgAskOnce::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_Text(dx, kMessage, m_strMessage);
  ui::DDX_Check(dx, kDontAskAgain, m_bDontAskAgain);
}
