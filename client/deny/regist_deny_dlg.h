// The deny registration dialog: the customer's own list of numbers that must
// not be called. Numbers are registered from a file (on a worker thread, in
// statement batches), one by one by hand, looked up (optionally together
// with the nationwide list the service keeps under the user ID 'all'),
// deleted row by row, or all at once. The service applies the lists when
// requests are sent; this dialog only maintains them.
//
// The lookup's record handler reaches the open dialog through the
// process-wide pointer g_pDlgRegistDeny (set by the constructor) and counts
// rows in g_nDenyRowCount: one deny dialog is open at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "client/app/recent_folder.h"
#include "client/app/tellomar_env.h"
#include "platform/profile.h"
#include "ui/window.h"

// Texts of the dialog.
inline constexpr const char* kDenyNoFileText = "화일명을 선택해 주십시오";
inline constexpr const char* kDenyNoDescriptionText = "자료 설명을 입력하여 주십시오";
inline constexpr const char* kDenyBadDescriptionText =
    "자료 설명이 너무 길거나 사용할 수 없는 문자(~$#^@*)를 포함하고 있습니다.";
inline constexpr const char* kDenyAskAddText = "수신거부 목록에 추가 하시겠습니까 ?";
inline constexpr const char* kDenyOpenFailedText = "화일을 열수 없습니다.";
inline constexpr const char* kDenyCountingFormat = "데이터 건수를 계산하고 있습니다.(%ld건)";
inline constexpr const char* kDenyAddingFormat = "%d 건중 %d 건 추가중...";
inline constexpr const char* kDenyAddDoneText = "수신 거부 등록 완료";
inline constexpr const char* kDenyAskStopText =
    "파일에서 수신거부 자료를 추가하는 중입니다.\r\n중지하고 닫으시겠습니까 ?";
inline constexpr const char* kDenyAskClearText = "사용자 수신거부 자료를 모두 삭제 하시겠습니까 ";
inline constexpr const char* kDenyClearedText = "삭제완료";
inline constexpr const char* kDenyBadNumberText = "잘못된 전화 번호 입니다.";
inline constexpr const char* kDenyAddedText = "관리 대상 목록에 추가 되었습니다.";
inline constexpr const char* kDenyAskLongLookupText =
    "전화 번호를 정상적으로 입력하지 않으면 조회 시간이 길어질수 있습니다.\r\n계속 하시겠습니까 ?";
inline constexpr const char* kDenyFoundFormat = "%d 건의 자료가 조회 되었습니다.";
inline constexpr const char* kDenyNothingFoundText = "지정된 조건에 맞는 데이터가 없습니다.";
inline constexpr const char* kDenyNoSelectionText = "선택된 데이터가 없습니다";
inline constexpr const char* kDenyAskDeleteText = "선택된 자료를 삭제 하시겠습니까 ?";
inline constexpr const char* kDenyDeletedText = "선택한 자료가 삭제 되었습니다";
// The file dialog's filter and default extension.
inline constexpr const char* kDenyFileFilter =
    "Import Files (*.csv;*.txt)|*.csv;*.txt|CSV Files (*.csv)|*.csv|Text Files (*.txt)|*.txt||";
inline constexpr const char* kDenyFileDefaultExt = "*.csv;*.txt";

// The statements of the dialog. Every typed value has its apostrophes
// doubled.
std::string StmtInsertDenyList(std::string_view user_id, std::string_view number, std::string_view comment);
std::string StmtDeleteAllDeny(std::string_view user_id);
std::string StmtDeleteDeny(std::string_view user_id, std::string_view number);
// The lookup: with the common list (V_DENY_INFO, user IDs 'all' and the
// user's) or the own list only (T_DENY_ORV). The text is matched literally
// inside the numbers (DenyLikeText).
std::string StmtLookupDeny(std::string_view user_id, std::string_view text, bool include_common);

// A typed text for the inside of a LIKE pattern '%...%': apostrophes
// doubled, and the pattern characters '%', '_' and '[' each written as a
// one-character class ("[%]", "[_]", "[[]"), so that they match only
// themselves and a typed "0_0" does not find every number holding 0?0.
std::string DenyLikeText(std::string_view text);

// The number of one line of a deny file: the text before the first comma
// (line ends cut), its digits only, at most 20 of them. Empty when fewer
// than 7 digits remain: the line is skipped.
std::string DenyNumberOfLine(std::string_view line);

// Limits of the file registration.
struct DenyFileOptions {
  // Bytes kept of a line; the rest of a longer line is read and dropped
  // (only its first field is used), so a file without line breaks neither
  // fills the memory nor turns its tail into extra numbers.
  std::size_t max_line_bytes = 4096;
};

class CDlgRegistDeny;
// The open deny dialog (null when none is open) and the lookup's row count.
extern CDlgRegistDeny* g_pDlgRegistDeny;
extern int g_nDenyRowCount;

class CDlgRegistDeny : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 156;
  // Controls.
  static constexpr int kFileName = 1010;
  static constexpr int kDescription = 1015;
  static constexpr int kLookupNumber = 1019;
  static constexpr int kComment = 1154;
  static constexpr int kNumber = 1018;
  static constexpr int kIncludeCommon = 1174;
  static constexpr int kProgress = 1040;
  static constexpr int kStatus = 1151;
  static constexpr int kList = 1006;
  static constexpr int kChooseFile = 1013;
  static constexpr int kAddFromFile = 1149;
  static constexpr int kClearAll = 1150;
  static constexpr int kAddOne = 1070;
  static constexpr int kLookup = 1091;
  static constexpr int kDelete = 1030;
  // Limits of the typed texts in code page 949 bytes.
  static constexpr int kMaxCommentBytes = 50;
  static constexpr int kMaxNumberBytes = 20;
  // A direct registration needs more characters than this; a lookup text
  // of at most this many characters asks first.
  static constexpr std::size_t kMaxShortNumber = 8;
  static constexpr std::size_t kMaxShortLookup = 4;
  // Query ID of the lookup.
  static constexpr long kLookupQueryId = 0;

  // profile: where the recent import folder is kept (null: not kept).
  CDlgRegistDeny(ui::App& app, CTellomarEnv& env, platform::ProfileStore* profile = nullptr,
                 DenyFileOptions options = {});
  ~CDlgRegistDeny() override;

  // Members bound to the controls.
  std::string m_strFileName;
  std::string m_strDescription;
  std::string m_strLookupNumber;
  std::string m_strComment;
  std::string m_strNumber;
  int m_bIncludeCommon = 0;

  // Sort direction of the list's header clicks: +1 sorts descending, -1
  // ascending; flipped by every click, shared by all columns and kept for
  // the process.
  static int s_nSortDirection;

  // Whether a file registration's worker is running.
  bool Registering() const { return registering_.load(); }

  // The lookup's record handler: appends the record to the open dialog's
  // list and counts it. 1 to go on, 0 when no dialog is open.
  static int DenyRecordCallback(std::int32_t query_id, std::int32_t second, std::string_view record);

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  void OnCancel() override;
  void OnDestroy() override;

 private:
  void OnChooseFile();
  void OnAddFromFile();
  void OnClearAll();
  void OnAddOne();
  void OnLookup();
  void OnDelete();
  void OnColumnClick(int column);
  void RunFileWorker(std::string path, std::string description);
  // Sends and clears the batch; false after the error was shown.
  bool SendBatch(CSQLBatch& batch);
  void SetStatus(std::string_view text);
  // Ends a running worker: stop flag set, user-interface work served.
  void FinishWorker();
  void AddRow(std::string_view record);
  ui::ReportList& List() { return Get<ui::ReportList>(kList); }

  CTellomarEnv& env_;
  platform::ProfileStore* profile_;
  DenyFileOptions options_;
  std::thread worker_;
  std::atomic<bool> registering_{false};
  std::atomic<bool> stop_{false};
  bool deleting_ = false;
};
