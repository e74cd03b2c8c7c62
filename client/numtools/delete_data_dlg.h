// Deletion of the customer's old request data for a period: a stored
// procedure of the service deletes a chunk per call and answers with what is
// left; a worker thread calls it until nothing is left, logging the counts.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "client/app/tellomar_env.h"
#include "ui/window.h"

// Texts of the deletion.
namespace delmsg {
inline constexpr const char* kWrongDates = "날짜 선택이 잘못 되었습니다.";
inline constexpr const char* kTooRecent = "%d일이 지나지 않은 데이터는 삭제할 수 없습니다.";
inline constexpr const char* kAsk = "선택된 기간의 데이터를 삭제 하시겠습니까 ?";
inline constexpr const char* kDeleting = "삭제중입니다.";
inline constexpr const char* kUnknownError = "알수 없는 데이터베이스 오류 입니다.";
inline constexpr const char* kRemaining = "남은 건수:%d건";
inline constexpr const char* kDeleted = "데이터가 삭제 되었습니다";
// The service answers the same count again and again: nothing is deleted.
inline constexpr const char* kNoProgress = "삭제가 진행되지 않습니다. 남은 건수:%d건";
}  // namespace delmsg

// The deletion call of a user and period (YYYYMMDD), apostrophes doubled.
std::string StmtDeleteOldData(std::string_view user_id, std::string_view from, std::string_view to);

// The day n days before a date (time of day kept).
ui::DateTime DaysBefore(const ui::DateTime& day, int n);

class CDlgDeleteData : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 201;
  static constexpr int kFrom = 1028;
  static constexpr int kTo = 1036;
  static constexpr int kDelete = 1030;
  static constexpr int kLog = 1107;
  static constexpr int kMaxLogLines = 100;
  // Calls in a row that leave the remaining count unchanged before the
  // deletion is given up (a service that deletes nothing would loop for ever).
  static constexpr int kMaxRoundsWithoutProgress = 3;

  // today: the local date (tests set it); default the machine's.
  CDlgDeleteData(ui::App& app, CTellomarEnv& env, std::function<ui::DateTime()> today = {});
  ~CDlgDeleteData() override;

  ui::DateTime m_dtFrom;
  ui::DateTime m_dtTo;

  bool Deleting() const { return running_; }

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  void OnCancel() override;
  void OnDestroy() override;

 private:
  void OnDelete();
  void Work(std::string statement);
  void AddLog(const std::string& text);
  // Lets the worker end after its current call (pumping meanwhile).
  void StopWorker();

  CTellomarEnv& env_;
  std::function<ui::DateTime()> today_;
  std::thread worker_;
  std::atomic<bool> running_{false};
  std::atomic<bool> closing_{false};
};
