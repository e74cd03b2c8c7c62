// The application object of Tellomar and its start-up sequence.
//
// InitInstance: dialog colour, profile store, start directory, command line,
// the view templates, then the main frame. The main frame, when it is
// created, calls StartSession for its part of the start-up: configuration,
// the command-line server address, the binding and the default record
// handler. Without a main frame factory InitInstance runs StartSession
// itself (the program can then be started up and checked without screens).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/app/command_line.h"
#include "client/app/tellomar_env.h"
#include "platform/profile.h"
#include "ui/app.h"
#include "ui/window.h"

// What the main frame shows, and the program then ends with exit code 1,
// when the configuration cannot be read.
inline constexpr std::string_view kNoEnvironmentText = "환경 정보를 읽을수 없습니다.\r\n프로그램을 종료 합니다.";

// One screen of the program: its view class, the title its document gets
// and the factory of its form view.
struct CViewTemplate {
  std::string view_class;
  std::string title;
  std::function<std::unique_ptr<ui::FormView>(ui::App&)> create;
};

class CTellomarApp {
 public:
  struct Options {
    // The command-line text (the words after the program name).
    std::string command_line;
    // Replaces the port "8907" of the database service when set (tests run
    // the service on a free port).
    std::optional<std::string> db_port;
    // File of the per-user profile store; empty: the user's default.
    std::string profile_file;
    // Creates the main frame, which calls StartSession; false when it could
    // not be created. Empty: no frame, StartSession runs directly.
    std::function<bool(CTellomarApp&)> create_main_frame;
  };

  CTellomarApp(ui::App& app, CTellomarEnv& env);
  CTellomarApp(const CTellomarApp&) = delete;
  CTellomarApp& operator=(const CTellomarApp&) = delete;

  // The start-up sequence; false when the main frame (or, without one, the
  // session start) failed: the program then ends with exit code 1.
  bool InitInstance(const Options& options);

  // The main frame's part of the start-up: LoadEnv (on failure the message
  // kNoEnvironmentText with the given owner, and false), the command-line
  // server address, the port override, RDBServerOpen (its result is not
  // tested) and the default record handler. True when the session can go on.
  bool StartSession(ui::Window* owner = nullptr);

  // Registers a screen (in the order of registration).
  void AddDocTemplate(CViewTemplate t) { templates_.push_back(std::move(t)); }
  const std::vector<CViewTemplate>& DocTemplates() const { return templates_; }

  // The About box, modal.
  int ShowAboutBox(ui::Window* parent = nullptr);

  // The per-user profile (section "Tellomar" unless given).
  platform::ProfileStore& Profile() { return *profile_; }
  std::string GetProfileString(std::string_view entry, std::string_view default_value = {},
                               std::string_view section = platform::kProfileSection) const;
  int GetProfileInt(std::string_view entry, int default_value,
                    std::string_view section = platform::kProfileSection) const;
  bool WriteProfileString(std::string_view entry, std::string_view value,
                          std::string_view section = platform::kProfileSection);
  bool WriteProfileInt(std::string_view entry, int value, std::string_view section = platform::kProfileSection);

  ui::App& app() { return app_; }
  CTellomarEnv& env() { return env_; }

  // Public to the login dialog and the main frame.
  std::string m_strStartDir;       // working directory at start-up
  std::string m_strCmdServerAddr;  // command-line words; empty when absent
  std::string m_strCmdLoginID;
  std::string m_strCmdPassword;

 private:
  ui::App& app_;
  CTellomarEnv& env_;
  std::optional<std::string> db_port_;
  std::unique_ptr<platform::ProfileStore> profile_;
  std::vector<CViewTemplate> templates_;
};

// True when the text is a TCP port number (1 to 65535, digits only).
bool IsValidPortText(std::string_view text);
