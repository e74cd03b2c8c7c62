#include "client/app/tellomar_app.h"

#include "client/app/about_dlg.h"
#include "platform/files.h"

CTellomarApp::CTellomarApp(ui::App& app, CTellomarEnv& env) : app_(app), env_(env) {}

bool CTellomarApp::InitInstance(const Options& options) {
  // Per-user profile under the registry key of the program.
  profile_ = std::make_unique<platform::ProfileStore>(
      options.profile_file.empty()
          ? platform::ProfileStore::DefaultFile(platform::kProfileRegistryKey, platform::kProfileProgram)
          : options.profile_file);

  m_strStartDir = platform::CurrentDirectory();

  CommandLineWords words = SplitCommandLine(options.command_line);
  m_strCmdServerAddr = words.server_address;
  m_strCmdLoginID = words.login_id;
  m_strCmdPassword = words.password;
  db_port_ = options.db_port;

  // Every dialog and form view paints on the one background colour.
  app_.SetDialogColor(ui::kDialogBackground);

  if (options.create_main_frame) return options.create_main_frame(*this);
  return StartSession(nullptr);
}

bool CTellomarApp::StartSession(ui::Window* owner) {
  if (!env_.LoadEnv()) {
    env_.ShowMessage(owner, kNoEnvironmentText, kErrorCaption, ui::MB_OK | ui::MB_ICONERROR);
    return false;
  }
  if (!m_strCmdServerAddr.empty()) env_.m_strServerIP = m_strCmdServerAddr;
  if (db_port_) env_.m_strServerPort = *db_port_;
  env_.RDBServerOpen();
  env_.InstallDefaultRecordHandler();
  return true;
}

int CTellomarApp::ShowAboutBox(ui::Window* parent) {
  CAboutDlg dlg(app_);
  return dlg.DoModal(parent);
}

std::string CTellomarApp::GetProfileString(std::string_view entry, std::string_view default_value,
                                           std::string_view section) const {
  return profile_ ? profile_->GetProfileString(section, entry, default_value) : std::string(default_value);
}

int CTellomarApp::GetProfileInt(std::string_view entry, int default_value, std::string_view section) const {
  return profile_ ? profile_->GetProfileInt(section, entry, default_value) : default_value;
}

bool CTellomarApp::WriteProfileString(std::string_view entry, std::string_view value, std::string_view section) {
  return profile_ && profile_->WriteProfileString(section, entry, value);
}

bool CTellomarApp::WriteProfileInt(std::string_view entry, int value, std::string_view section) {
  return profile_ && profile_->WriteProfileInt(section, entry, value);
}

bool IsValidPortText(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  return v >= 1 && v <= 65535;
}
