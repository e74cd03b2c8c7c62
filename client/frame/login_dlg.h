// The login dialog and the server-address dialog.
//
// CDlgLogin checks a customer user ID (or "agent@customer") and its password
// against the service's user tables through the session environment and, on
// success, leaves the logged-in user in the environment. Its settings button
// runs CDlgServerAddress, which stores a new server address for the client
// and the updater and rebinds at once.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "client/app/tellomar_app.h"
#include "client/app/tellomar_env.h"
#include "ui/window.h"

// Texts of the login.
inline constexpr std::string_view kFirstInstallText =
    "처음 설치후에는 설정 버튼을 눌러 서버 주소를 변경하셔야 합니다.";
inline constexpr std::string_view kPasswordMismatchText = "비밀번호가 일치하지 않습니다.";
inline constexpr std::string_view kUnknownUserText = "등록되지 않은 사용자 입니다.";
inline constexpr std::string_view kRestartText = "서버 주소를 변경하면 프로그램을 다시 시작 하여야 합니다.";
// The address of a fresh installation.
inline constexpr std::string_view kFreshInstallAddress = "127.0.0.1";
// Profile entry with the login ID of the last successful login.
inline constexpr std::string_view kLastLoginIdEntry = "LAST_LOGIN_ID";

// A login ID split at its first '@'. An '@' at position 0 does not split:
// the whole text is then the user ID and the agent name stays empty.
struct LoginId {
  std::string agent_name;
  std::string user_id;
  friend bool operator==(const LoginId&, const LoginId&) = default;
};
LoginId SplitLoginId(std::string_view login_id);

// The lookup statements of a login (apostrophes in the values doubled).
std::string StmtLoginAgent(std::string_view user_id, std::string_view agent_name);
std::string StmtLoginCustomer(std::string_view user_id);

class CDlgServerAddress : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 130;
  static constexpr int kAddress = 1101;
  static constexpr int kMaxAddressBytes = 50;

  CDlgServerAddress(ui::App& app, CTellomarEnv& env);

  std::string m_strAddress;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  void OnOK() override;

 private:
  CTellomarEnv& env_;
};

class CDlgLogin : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 129;
  static constexpr int kLoginId = 1000;
  static constexpr int kPassword = 1001;
  static constexpr int kSettings = 1122;
  static constexpr unsigned kNoticeTimer = 0;
  static constexpr unsigned kNoticeDelayMs = 500;

  // end_program ends the process with the given exit code (the restart
  // rule after an address change).
  CDlgLogin(ui::App& app, CTellomarApp& the_app, std::function<void(int)> end_program);

  std::string m_strLoginID;
  std::string m_strPassword;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  void OnOK() override;
  void OnTimer(unsigned id) override;

 private:
  void OnSettings();

  CTellomarApp& the_app_;
  CTellomarEnv& env_;
  std::function<void(int)> end_program_;
};
