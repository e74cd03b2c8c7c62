// The duplicate number checker: merges call-target text files, drops
// duplicate numbers (the line read last wins) and writes the numbers, in
// order, into one file or into files of a fixed number of rows. The work
// itself is DupChecker (dup_check.h); this dialog runs it on the
// user-interface thread, dispatching pending messages so that stop works.
#pragma once

#include <atomic>
#include <string>

#include "client/app/recent_folder.h"
#include "client/app/tellomar_env.h"
#include "client/numtools/dup_check.h"
#include "platform/profile.h"
#include "ui/window.h"

// Texts of the checker.
namespace dupmsg {
inline constexpr const char* kNoInput = "중복 검사 할 화일을 선택해 주십시오";
inline constexpr const char* kNoOutput = "중복 검사 후 저장할 화일명을 선택해 주십시오";
inline constexpr const char* kAskRun =
    "중복 번호 검사는 데이터 건수에 따라 시간이 오래 걸릴수 있습니다.\r 중복 번호 검사를 실행 하시겠습니까 ?";
inline constexpr const char* kAskOverwrite = "(%s)화일이 이미 존재 합니다. 덮어 쓰시겠습니까 ?";
inline constexpr const char* kCannotOpenInput = "(%s)화일을 열수 없습니다.";
inline constexpr const char* kNotText = "(%s)화일은 텍스트 파일이 아닙니다. 0 바이트나 너무 긴 줄이 있습니다.";
inline constexpr const char* kProcessing = "[%s] 처리중";
inline constexpr const char* kStopped = "중지됨";
inline constexpr const char* kReading = "메모리로 읽는중 %d 건...";
inline constexpr const char* kRead = "임시 테이블에 %d 건 자료 추가 완료...";
inline constexpr const char* kCannotOpenOutput = "저장할 파일을 열수 없습니다.(%s)";
inline constexpr const char* kCannotWriteOutput = "저장할 파일에 쓸 수 없습니다.(%s)";
inline constexpr const char* kOpenErrorCaption = "파일 열기 에러";
inline constexpr const char* kWriting = "[%s]에 %ld/%ld 건 추가중...";
inline constexpr const char* kSummary = "전체건수 %d, 중복건수 %d 생성건수 %d...";
inline constexpr const char* kDone = "중복 번호 추출 완료";
inline constexpr const char* kNothingSelected = "선택된 데이터가 없습니다";
inline constexpr const char* kFilter =
    "Duplicate Check Files (*.csv;*.txt)|*.csv;*.txt|CSV Files (*.csv)|*.csv|Text Files (*.txt)|*.txt||";
inline constexpr const char* kDefaultExt = "*.csv;*.txt";
}  // namespace dupmsg

class CDlgDupCheck : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 200;
  static constexpr int kInputList = 1006;
  static constexpr int kOutputName = 1010;
  static constexpr int kAddFile = 1013;
  static constexpr int kRowsPerFile = 1038;
  static constexpr int kRemove = 1082;
  static constexpr int kChooseOutput = 1084;
  static constexpr int kRun = 1085;
  static constexpr int kStop = 1086;
  static constexpr int kOneFile = 1088;
  static constexpr int kSplit = 1089;
  static constexpr int kProgressText = 1151;
  static constexpr int kFileText = 1152;
  static constexpr int kMinRows = 10;
  static constexpr int kMaxRows = 99999999;
  // Pending window messages are dispatched once per this many lines.
  static constexpr int kPumpEvery = 64;

  // profile: where the folder of the last chosen file is kept (none: the
  // current folder every time).
  CDlgDupCheck(ui::App& app, CTellomarEnv& env, platform::ProfileStore* profile = nullptr,
               numtools::DupCheckOptions options = {});

  std::string m_strOutputName;
  int m_nRowsPerFile = 10000;
  int m_nSaveMode = 0;  // 0 one file, 1 split

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  // During a run: stops the reading and closes once the run has ended.
  void OnCancel() override;

 private:
  void OnAddFile();
  void OnChooseOutput();
  void OnRemove();
  void OnRun();
  void OnSaveMode();
  std::string ChooseFile();
  void SetStatus(int id, const std::string& text);
  void Restore();

  CTellomarEnv& env_;
  platform::ProfileStore* profile_;
  numtools::DupCheckOptions options_;
  std::atomic<bool> stop_{false};
  bool running_ = false;
  bool close_requested_ = false;
};
