#include "client/frame/login_dlg.h"

#include <vector>

#include "client/app/debug_log.h"
#include "client/app/ini_file.h"
#include "client/app/sql_text.h"
#include "ui/ddx.h"

LoginId SplitLoginId(std::string_view login_id) {
  LoginId out;
  const std::size_t at = login_id.find('@');
  if (at != std::string_view::npos && at >= 1) {
    out.agent_name = std::string(login_id.substr(0, at));
    out.user_id = std::string(login_id.substr(at + 1));
  } else {
    out.user_id = std::string(login_id);
  }
  return out;
}

std::string StmtLoginAgent(std::string_view user_id, std::string_view agent_name) {
  return "select u.USER_ID, u.USER_NM, a.AGENT_NM, a.PASSWORD  from USER_INFO u join USER_AGENT_INFO a on "
         "u.USER_ID = a.USER_ID where u.USER_ID = '" +
         SqlText(user_id) + "' and AGENT_NM = '" + SqlText(agent_name) + "' collate Korean_Wansung_BIN ";
}

std::string StmtLoginCustomer(std::string_view user_id) {
  return "select USER_ID, USER_NM, '' as AGENT_NM, PASSWORD from USER_INFO where USER_ID = '" + SqlText(user_id) +
         "' collate Korean_Wansung_BIN ";
}

// ------------------------------------------------------------ server address

CDlgServerAddress::CDlgServerAddress(ui::App& app, CTellomarEnv& env)
    : Dialog(app, "설정", ui::Rect{0, 0, 197, 45}), env_(env) {
  AddStatic(ui::IDC_STATIC, "서버 주소", {7, 9, 36, 8});
  AddEdit(kAddress, {46, 7, 144, 12}, ui::kTabStop);
  AddButton(ui::IDOK, "설정", {46, 25, 50, 14}, ui::kDefault | ui::kTabStop);
  AddButton(ui::IDCANCEL, "취소", {100, 25, 50, 14}, ui::kTabStop);
}

bool CDlgServerAddress::OnInitDialog() {
  m_strAddress = env_.m_strServerIP;
  UpdateData(false);
  return true;
}

void CDlgServerAddress::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_Text(dx, kAddress, m_strAddress);
  ui::DDV_MaxChars(dx, m_strAddress, kMaxAddressBytes);
}

void CDlgServerAddress::OnOK() {
  if (!UpdateData(true)) return;
  // The form of the address is not checked; an unchanged one is saved and
  // rebound all the same.
  env_.m_strServerIP = m_strAddress;
  env_.SaveServerAddress();
  // The environment does not report its writes; read them back so that a
  // file that cannot be written is at least in the debug log.
  const struct {
    const std::string& path;
    std::string_view section, key;
  } files[] = {{env_.m_strIniPath, kTellomarIniSection, kServerIpAddrKey},
               {env_.m_strZevrinIniPath, kVersionCheckSection, kVcServerIpAddrKey}};
  for (const auto& f : files) {
    std::string stored;
    CIniFile(f.path, f.section).Read(f.key, stored);
    if (stored != m_strAddress) DebugLog("CDlgServerAddress::OnOK: the address was not written to %s", f.path.c_str());
  }
  env_.RDBServerClose();
  env_.RDBServerOpen();
  EndDialog(ui::IDOK);
}

// --------------------------------------------------------------------- login

CDlgLogin::CDlgLogin(ui::App& app, CTellomarApp& the_app, std::function<void(int)> end_program)
    : Dialog(app, "로그인", ui::Rect{0, 0, 118, 53}),
      the_app_(the_app),
      env_(the_app.env()),
      end_program_(std::move(end_program)) {
  AddStatic(ui::IDC_STATIC, "사용자ID", {5, 8, 34, 8});
  AddEdit(kLoginId, {40, 6, 73, 12}, ui::kTabStop);
  AddStatic(ui::IDC_STATIC, "비밀번호", {5, 22, 34, 8});
  AddEdit(kPassword, {40, 20, 73, 12}, ui::kPassword | ui::kTabStop);
  AddButton(ui::IDOK, "로그인", {5, 36, 34, 13}, ui::kDefault | ui::kOwnerDraw | ui::kTabStop)
      .SetTooltip("로그인 합니다.");
  AddButton(ui::IDCANCEL, "취소", {42, 36, 34, 13}, ui::kOwnerDraw | ui::kTabStop).SetTooltip("취소합니다.");
  AddButton(kSettings, "설정", {79, 36, 34, 13}, ui::kOwnerDraw | ui::kTabStop)
      .SetTooltip("서버 주소를 변경 합니다.");
  On(kSettings, ui::Notify::Clicked, [this] { OnSettings(); });
}

bool CDlgLogin::OnInitDialog() {
  m_strLoginID = the_app_.GetProfileString(kLastLoginIdEntry, "");
  if (!the_app_.m_strCmdLoginID.empty()) m_strLoginID = the_app_.m_strCmdLoginID;
  if (!the_app_.m_strCmdPassword.empty()) m_strPassword = the_app_.m_strCmdPassword;
  UpdateData(false);
  SetFocus(kPassword);
  SetTimer(kNoticeTimer, kNoticeDelayMs);
  return false;  // the focus is set
}

void CDlgLogin::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_Text(dx, kLoginId, m_strLoginID);
  ui::DDX_Text(dx, kPassword, m_strPassword);
}

void CDlgLogin::OnTimer(unsigned id) {
  if (id != kNoticeTimer) return Dialog::OnTimer(id);
  KillTimer(kNoticeTimer);
  if (env_.m_strServerIP == kFreshInstallAddress) {
    env_.ShowMessage(this, kFirstInstallText, ui::kCaptionNotice, ui::MB_OK | ui::MB_ICONINFORMATION);
  }
}

void CDlgLogin::OnOK() {
  if (!UpdateData(true)) return;
  LoginId id = SplitLoginId(m_strLoginID);
  env_.m_strAgentName = id.agent_name;
  env_.m_strUserID = id.user_id;
  const std::string sql =
      id.agent_name.empty() ? StmtLoginCustomer(id.user_id) : StmtLoginAgent(id.user_id, id.agent_name);
  std::vector<std::string> fields;
  // A failing call has shown the environment's own message already.
  if (env_.GetFirstRecord(fields, sql, false) == 1 && fields.size() >= 4) {
    env_.m_strUserID = fields[0];
    env_.m_strPassword = fields[3];
    if (m_strPassword == env_.m_strPassword) {
      if (!the_app_.WriteProfileString(kLastLoginIdEntry, m_strLoginID)) {
        DebugLog("CDlgLogin::OnOK: %s not written to the profile (%s)", std::string(kLastLoginIdEntry).c_str(),
                 the_app_.Profile().last_error().c_str());
      }
      EndDialog(ui::IDOK);
      return;
    }
    env_.ShowMessage(nullptr, kPasswordMismatchText, ui::kCaptionNotice, ui::MB_OK | ui::MB_ICONINFORMATION);
    return;
  }
  env_.ShowMessage(nullptr, kUnknownUserText, ui::kCaptionNotice, ui::MB_OK | ui::MB_ICONINFORMATION);
}

void CDlgLogin::OnSettings() {
  const std::string before = env_.m_strServerIP;
  CDlgServerAddress dlg(app(), env_);
  if (dlg.DoModal(this) != ui::IDOK) return;
  if (before == kFreshInstallAddress) {
    env_.ShowMessage(this, kRestartText, ui::kCaptionNotice, ui::MB_OK | ui::MB_ICONINFORMATION);
    if (end_program_) end_program_(1);
    EndDialog(ui::IDCANCEL);
  }
}
