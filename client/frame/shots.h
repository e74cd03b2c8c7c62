// Screenshots of a session on the Qt host, for runs without a person at the
// screen: the login dialog (filled in), the main frame after the login, and
// the main frame with one screen opened, each written as a PNG file.
//
// A QApplication must exist (normally on the offscreen platform). Message
// boxes are written to standard error as "caption: text" and answered with
// OK (No or Cancel where they ask), other dialogs are grabbed and closed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/frame/main_frame.h"
#include "ui/qt/qt_host.h"

struct ShotsOptions {
  std::string out_dir = ".";
  std::string login_id;
  std::string password;
  // The program's command line (server address, ...).
  std::string command_line;
  std::optional<std::string> db_port;
  // Empty: the defaults ("./Env/Tellomar.INI", the user's profile).
  std::string ini_path;
  std::string zevrin_ini_path;
  std::string profile_file;
  // The command whose screen is opened for screen.png (when the login may
  // not use it, the first screen command it may use); send_data.png of the
  // data creation and transmission screen follows when the login may use it.
  int screen_command = cmd::kQueryReqOrv;
  // Called with the frame after screen.png (tests look at the widgets).
  std::function<void(ui::qt::QtHost&, CMainFrame&)> inspect;
};

struct ShotsResult {
  bool ok = false;
  std::string error;
  std::vector<std::string> files;  // in the order taken
};

ShotsResult TakeScreenshots(const ShotsOptions& options);
