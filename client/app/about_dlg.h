// The About box (dialog template 100): the program's name and version and an
// OK button; its title carries the build date and time.
#pragma once

#include <string>
#include <string_view>

#include "ui/window.h"

class CAboutDlg : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 100;
  static constexpr int kVersionText = 1000;
  static constexpr std::string_view kVersion = "Tellomar 버전 2.0";

  // build_date and build_time as the compiler writes them ("Mar  9 2013",
  // "12:56:04"); by default those of this build.
  explicit CAboutDlg(ui::App& app, std::string build_date = kBuildDate, std::string build_time = kBuildTime);

  // "Tellomar(%s-%s)" with the build date and time.
  static std::string Title(std::string_view build_date, std::string_view build_time);

  static const char* const kBuildDate;
  static const char* const kBuildTime;

 protected:
  bool OnInitDialog() override;

 private:
  std::string build_date_;
  std::string build_time_;
};
