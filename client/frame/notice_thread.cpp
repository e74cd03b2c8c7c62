#include "client/frame/notice_thread.h"

#include "client/app/date_time.h"
#include "client/app/debug_log.h"
#include "client/app/env_text.h"
#include "client/app/number_format.h"
#include "client/app/sql_text.h"
#include "ui/ddx.h"

std::string StmtPasswordCheck(std::string_view user_id, std::string_view agent_name) {
  if (!agent_name.empty()) {
    return "select PASSWORD from USER_AGENT_INFO with(nolock) where USER_ID = '" + SqlText(user_id) +
           "' and AGENT_NM = '" + SqlText(agent_name) + "' ";
  }
  return "select PASSWORD from USER_INFO with(nolock) where USER_ID = '" + SqlText(user_id) + "' ";
}

std::string StmtRemainPay(std::string_view user_id) {
  return "select REMAIN_PAY from USER_INFO with(nolock) where USER_ID = '" + SqlText(user_id) + "' ";
}

std::string StmtPreCharge(std::string_view user_id) {
  return "select sum(AMMOUNT) from RECEIPT_INFO with(nolock) where USER_ID = '" + SqlText(user_id) +
         "' and RECEIPT_NAME = '선충전' ";
}

std::string RemainCashText(long long amount) {
  return "\n충전 잔액이 " + FormatThousands(amount) + "원 남았습니다.\n충전을 하여 주십시오";
}

std::string PreCashText(long long amount) {
  return "\n선 충전 후 입금되지 않은 금액이 " + FormatThousands(amount) +
         "원 있습니다.\n\n빠른 시일내에 입금 부탁 드립니다.\n\n자세한 선충전 내역은 [ORV]메뉴의 "
         "[충전내역조회]에서 조회 가능 합니다.\n\n선충전 내역에 대한 입금처리는 입금 하신 후 익일날 반영 됩니다.";
}

namespace {

void LogUnwritten(CTellomarApp& app, std::string_view entry) {
  DebugLog("profile value %.*s not written (%s)", static_cast<int>(entry.size()), entry.data(),
           app.Profile().last_error().c_str());
}

}  // namespace

// ------------------------------------------------------------ balance dialog

CDlgRemainCash::CDlgRemainCash(ui::App& app, CTellomarApp& the_app, std::string text, std::string today)
    : Dialog(app, "충전 잔액 부족 알림", ui::Rect{0, 0, 220, 112}), the_app_(the_app), today_(std::move(today)) {
  ui::Static& s = AddStatic(kText, std::move(text), {7, 7, 206, 50}, ui::kCenter);
  s.SetFont(kNoticeFont);
  AddCheckBox(kNoMore, std::string(kNoMoreTodayText), {7, 62, 120, 10}, ui::kTabStop);
  AddStatic(ui::IDC_STATIC, "잔액이", {7, 78, 26, 8});
  AddEdit(kThreshold, {34, 76, 50, 12}, ui::kNumber | ui::kRight | ui::kTabStop);
  AddStatic(ui::IDC_STATIC, "원 이하 남았을때 알림", {87, 78, 84, 8});
  AddButton(kChange, "변경", {174, 75, 39, 14}, ui::kTabStop);
  AddButton(ui::IDOK, "확인", {85, 93, 50, 14}, ui::kDefault | ui::kTabStop);
  On(kChange, ui::Notify::Clicked, [this] { OnChange(); });
}

bool CDlgRemainCash::OnInitDialog() {
  m_nThreshold = the_app_.GetProfileInt(kRemainCashEntry, 0);
  if (m_nThreshold == 0) m_nThreshold = kDefaultRemainCashThreshold;
  UpdateData(false);
  return true;
}

void CDlgRemainCash::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_Check(dx, kNoMore, m_bNoMore);
  ui::DDX_Text(dx, kThreshold, m_nThreshold);
}

void CDlgRemainCash::OnChange() {
  if (!UpdateData(true)) return;
  if (!the_app_.WriteProfileInt(kRemainCashEntry, m_nThreshold)) {
    // Nothing was changed, so the dialog does not say it was.
    LogUnwritten(the_app_, kRemainCashEntry);
    return;
  }
  app().MessageBox(this, kChangedText, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION);
}

void CDlgRemainCash::OnOK() {
  m_bNoMore = ItemAs<ui::Button>(kNoMore)->Check() == 1 ? 1 : 0;
  if (m_bNoMore && !the_app_.WriteProfileString(kRemainCashTodayEntry, today_)) {
    LogUnwritten(the_app_, kRemainCashTodayEntry);
  }
  EndDialog(ui::IDOK);
}

// -------------------------------------------------------- pre-charge dialog

CDlgPreCash::CDlgPreCash(ui::App& app, CTellomarApp& the_app, std::string text, std::string today)
    : Dialog(app, "선충전 미 입금내역 알림", ui::Rect{0, 0, 260, 150}), the_app_(the_app), today_(std::move(today)) {
  ui::Static& s = AddStatic(kText, std::move(text), {7, 7, 246, 110});
  s.SetFont(kNoticeFont);
  s.SetColors(kTextColor, kTextBack);
  AddCheckBox(kNoMore, std::string(kNoMoreTodayText), {7, 125, 120, 10}, ui::kTabStop);
  AddButton(ui::IDOK, "확인", {203, 122, 50, 14}, ui::kDefault | ui::kTabStop);
}

void CDlgPreCash::OnOK() {
  if (ItemAs<ui::Button>(kNoMore)->Check() == 1 && !the_app_.WriteProfileString(kPreCashTodayEntry, today_)) {
    LogUnwritten(the_app_, kPreCashTodayEntry);
  }
  EndDialog(ui::IDOK);
}

// ------------------------------------------------------------- the thread

CNoticeThread::CNoticeThread(CTellomarApp& the_app, ui::Window* owner, std::function<void(int)> end_program,
                             Options options)
    : the_app_(the_app),
      env_(the_app.env()),
      owner_(owner),
      end_program_(std::move(end_program)),
      options_(options) {}

CNoticeThread::~CNoticeThread() { Stop(); }

void CNoticeThread::Start() {
  if (thread_.joinable()) return;
  {
    std::lock_guard lock(mu_);
    stop_ = false;
    running_ = true;
  }
  thread_ = std::thread([this] { Loop(); });
}

void CNoticeThread::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  ui::App& app = the_app_.app();
  if (app.OnUiThread()) {
    // The thread may be waiting for the user-interface thread (a dialog, a
    // message box): keep running its work until the thread has ended.
    while (true) {
      {
        std::lock_guard lock(mu_);
        if (!running_) break;
      }
      app.dispatcher().WaitForWork(std::chrono::milliseconds(20));
      app.PumpMessages();
    }
  }
  thread_.join();
}

int CNoticeThread::rounds() const {
  std::lock_guard lock(mu_);
  return rounds_;
}

std::string CNoticeThread::Today() const {
  const platform::Clock& clock = options_.clock ? *options_.clock : system_clock_;
  return CDateTime::Now(clock).GetDate();
}

void CNoticeThread::Loop() {
  while (true) {
    const bool go_on = RunRound();
    std::unique_lock lock(mu_);
    ++rounds_;
    if (!go_on) break;
    cv_.notify_all();
    if (cv_.wait_for(lock, options_.interval, [this] { return stop_; })) break;
  }
  std::lock_guard lock(mu_);
  running_ = false;
}

bool CNoticeThread::RunRound() {
  if (!CheckPassword()) return false;
  const std::string today = Today();
  RemindBalance(today);
  RemindPreCharge(today);
  return true;
}

bool CNoticeThread::CheckPassword() {
  std::string password;
  if (env_.GetFirstRecord(password, StmtPasswordCheck(env_.m_strUserID, env_.m_strAgentName), false) != 1) {
    return true;  // no row or a failed lookup changes nothing
  }
  if (password == env_.m_strPassword) return true;
  env_.ShowMessage(owner_, kPasswordChangedText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONERROR);
  if (end_program_) end_program_(1);
  return false;
}

void CNoticeThread::RemindBalance(const std::string& today) {
  if (the_app_.GetProfileString(kRemainCashTodayEntry, "") == today) return;
  std::string value;
  if (env_.GetFirstRecord(value, StmtRemainPay(env_.m_strUserID), false) != 1) return;
  int threshold = the_app_.GetProfileInt(kRemainCashEntry, 0);
  if (threshold == 0) threshold = kDefaultRemainCashThreshold;
  const long amount = FieldNumber(value);
  if (amount >= threshold) return;
  CDlgRemainCash dlg(the_app_.app(), the_app_, RemainCashText(amount), today);
  dlg.DoModal(nullptr);
}

void CNoticeThread::RemindPreCharge(const std::string& today) {
  if (the_app_.GetProfileString(kPreCashTodayEntry, "") == today) return;
  std::string value;
  if (env_.GetFirstRecord(value, StmtPreCharge(env_.m_strUserID), false) != 1) return;
  const long amount = FieldNumber(value);
  if (amount <= 0) return;
  CDlgPreCash dlg(the_app_.app(), the_app_, PreCashText(amount), today);
  dlg.DoModal(nullptr);
}
