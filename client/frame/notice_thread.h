// The notice thread of a logged-in session and its two reminder dialogs.
//
// After the login, one thread repeats a round of checks until it is
// stopped (or the process ends): the password of the login is read again
// (a password changed on the server ends the program with exit code 1), a
// prepaid balance below the user's threshold and unpaid pre-charges are
// shown in their dialogs, at most until the user ticks "do not remind me
// again today". Between rounds it sleeps for the interval (a setting, so
// tests can shorten it); "today" comes from the platform clock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "client/app/tellomar_app.h"
#include "platform/clock.h"
#include "ui/window.h"

// The time between two rounds of the notice thread.
inline constexpr std::chrono::milliseconds kDefaultNoticeInterval{600000};
// The balance threshold when the profile holds none (or 0).
inline constexpr int kDefaultRemainCashThreshold = 100000;

inline constexpr std::string_view kRemainCashEntry = "NOTIFY_REMAIN_CASH";
inline constexpr std::string_view kRemainCashTodayEntry = "NOTIFY_REMAIN_CASH_TOTAY";
inline constexpr std::string_view kPreCashTodayEntry = "NOTIFY_PRE_CASH_TOTAY";

inline constexpr std::string_view kPasswordChangedText = "\n비밀번호 오류 입니다.\n프로그램을 종료 합니다.";
inline constexpr std::string_view kChangedText = "변경 되었습니다.";
inline constexpr std::string_view kNoMoreTodayText = "오늘은 다시 알리지 않음";

// Statements of the rounds (apostrophes in the values doubled).
std::string StmtPasswordCheck(std::string_view user_id, std::string_view agent_name);
std::string StmtRemainPay(std::string_view user_id);
std::string StmtPreCharge(std::string_view user_id);
// The dialog texts with the amount written with thousands separators.
std::string RemainCashText(long long amount);
std::string PreCashText(long long amount);

// Balance reminder (template 249).
class CDlgRemainCash : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 249;
  static constexpr int kText = 1207;
  static constexpr int kNoMore = 1213;
  static constexpr int kThreshold = 1215;
  static constexpr int kChange = 1026;

  CDlgRemainCash(ui::App& app, CTellomarApp& the_app, std::string text, std::string today);

  int m_nThreshold = kDefaultRemainCashThreshold;
  int m_bNoMore = 0;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  void OnOK() override;

 private:
  void OnChange();
  CTellomarApp& the_app_;
  std::string today_;
};

// Pre-charge reminder (template 257).
class CDlgPreCash : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 257;
  static constexpr int kText = 1207;
  static constexpr int kNoMore = 1213;
  // The background of the text.
  static constexpr ui::Color kTextBack = ui::Rgb(0, 206, 209);
  // The system's tooltip-text colour.
  static constexpr ui::Color kTextColor = ui::Rgb(0, 0, 0);

  CDlgPreCash(ui::App& app, CTellomarApp& the_app, std::string text, std::string today);

 protected:
  void OnOK() override;

 private:
  CTellomarApp& the_app_;
  std::string today_;
};

// The font of both reminder texts.
inline const ui::Font kNoticeFont{"굴림체", 14, 700};

class CNoticeThread {
 public:
  struct Options {
    std::chrono::milliseconds interval = kDefaultNoticeInterval;
    // Null: the machine's clock.
    const platform::Clock* clock = nullptr;
  };

  // owner: the window of the password message. end_program ends the process
  // with the given exit code.
  CNoticeThread(CTellomarApp& the_app, ui::Window* owner, std::function<void(int)> end_program, Options options);
  ~CNoticeThread();
  CNoticeThread(const CNoticeThread&) = delete;
  CNoticeThread& operator=(const CNoticeThread&) = delete;

  // Starts the thread; its first round runs at once.
  void Start();
  // Wakes the thread from its sleep and waits for it to end. On the
  // user-interface thread it keeps the dispatcher running meanwhile, so a
  // round that waits for a dialog can finish.
  void Stop();
  bool running() const { return thread_.joinable(); }
  int rounds() const;

  // One round (any thread but the user-interface thread, since it waits for
  // its dialogs): false when the password changed and the program ends.
  bool RunRound();
  // Today's local date as eight digits.
  std::string Today() const;

 private:
  bool CheckPassword();
  void RemindBalance(const std::string& today);
  void RemindPreCharge(const std::string& today);
  void Loop();

  CTellomarApp& the_app_;
  CTellomarEnv& env_;
  ui::Window* owner_;
  std::function<void(int)> end_program_;
  Options options_;
  platform::SystemClock system_clock_;
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool stop_ = false;
  bool running_ = false;
  int rounds_ = 0;
  std::thread thread_;
};
