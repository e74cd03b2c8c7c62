#include "client/app/about_dlg.h"

const char* const CAboutDlg::kBuildDate = __DATE__;
const char* const CAboutDlg::kBuildTime = __TIME__;

CAboutDlg::CAboutDlg(ui::App& app, std::string build_date, std::string build_time)
    : ui::Dialog(app, "Tellomar 정보", ui::Rect{0, 0, 235, 55}),
      build_date_(std::move(build_date)),
      build_time_(std::move(build_time)) {
  // The program icon would stand at (11, 17); the window layer has no icon
  // control, so the box shows the text and the button only.
  AddStatic(kVersionText, std::string(kVersion), ui::Rect{40, 10, 119, 8});
  AddButton(ui::IDOK, "확인", ui::Rect{178, 7, 50, 14}, ui::kDefault | ui::kGroup | ui::kTabStop);
}

std::string CAboutDlg::Title(std::string_view build_date, std::string_view build_time) {
  return "Tellomar(" + std::string(build_date) + "-" + std::string(build_time) + ")";
}

bool CAboutDlg::OnInitDialog() {
  SetCaption(Title(build_date_, build_time_));
  return true;
}
