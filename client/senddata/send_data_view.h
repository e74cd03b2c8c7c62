// The data creation and transmission view: the user picks a service, checks
// the callback number and the title, chooses the deny lists to apply, fills
// the send list (file import, paste, number ranges, manual entry) and sends
// it. The send runs on a worker thread with a modeless progress window; the
// rows the service accepts leave the list batch by batch, so pressing send
// again after a failure or a stop continues the same send (same
// registration date and time, same title), which the service registers
// exactly once.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "client/app/tellomar_env.h"
#include "client/dispatch/send.h"
#include "client/senddata/send_progress_dlg.h"
#include "ui/window.h"

// The dialogs that fill the send list, filled in by the main frame: the
// file import (button 1007), the paste dialog (1008) and the number-range
// generator (1012). Each runs modally on the list; an empty one does nothing.
struct SendDataTools {
  std::function<void(ui::Window* owner, ui::ReportList& list)> import_file, paste, create_rdd;
};

// Texts of the view.
inline constexpr const char* kSelectServiceText = "서비스 ID를 선택하여 주십시오";
inline constexpr const char* kNoServiceInfoText = "지정된 서비스 정보를 가져 올수 없습니다.";
inline constexpr const char* kNoSelectionText = "선택된 데이터가 없습니다";
inline constexpr const char* kInvalidPhoneText = "잘못된 전화번호 입니다.";
inline constexpr const char* kAskDeleteText = "선택된 데이터를 삭제 하시겠습니까 ?";
inline constexpr const char* kAskSendFormat = "%d 건의 데이터를 서버로 전송하시겠습니까?";

// The statements of the view (the user ID with apostrophes doubled).
std::string StmtLoadServices(std::string_view user_id);
std::string StmtServiceInfo(std::string_view service_id);
// "<prefix>_YYYYMMDD_HHMMSS" from a local time.
std::string MakeTitle(std::string_view prefix, const CDateTime& now);

class CDlgSendData : public ui::FormView {
 public:
  static constexpr int kTemplateId = 131;
  // Controls.
  static constexpr int kClose = 1125;
  static constexpr int kDelete = 1030;
  static constexpr int kChange = 1026;
  static constexpr int kAdd = 1021;
  static constexpr int kImport = 1007;
  static constexpr int kPaste = 1008;
  static constexpr int kSend = 1005;
  static constexpr int kCreateRdd = 1012;
  static constexpr int kList = 1006;
  static constexpr int kService = 1037;
  static constexpr int kCallback = 1102;
  static constexpr int kTitle = 1105;
  static constexpr int kMinistryDeny = 1068;
  static constexpr int kUserDeny = 1069;
  static constexpr int kManualPhone = 1019;
  static constexpr int kManualInfo = 1147;
  // Limits of the typed texts in code page 949 bytes: the title (the
  // request's title) and the manual customer information (customer
  // information 1 of the list).
  static constexpr int kMaxTitleBytes = 30;
  static constexpr int kMaxManualInfoBytes = 100;

  CDlgSendData(ui::App& app, CTellomarEnv& env, SendDataTools tools);
  ~CDlgSendData() override;

  // The title bound to edit 1105.
  std::string m_strTitle;
  // The open progress window, null when none is open.
  CDlgSendDataProgress* m_pDlgProgress = nullptr;

  // Moves data between the title edit and m_strTitle; false when the check
  // failed (its message was shown).
  bool UpdateData(bool save_and_validate = true);
  // Whether a send's worker is running.
  bool Sending() const { return sending_.load(); }
  // The send that a press of send would continue (pending after a failure
  // or a stop).
  const dispatch::SendSession& Session() const { return session_; }

  void OnSelchangeComboServiceId();

 protected:
  void OnInitialUpdate() override;
  void OnDestroy() override;
  virtual void DoDataExchange(ui::DataExchange& dx);
  // Where the worker's batches go: the environment's binding.
  virtual std::unique_ptr<dispatch::SendTarget> MakeSendTarget();

 private:
  static void SendThreadProc(CDlgSendData* view);
  void RunSendWorker();
  void LoadServices();
  void OnListClick();
  void OnAdd();
  void OnChange();
  void OnDelete();
  void OnSend();
  void RunTool(const std::function<void(ui::Window*, ui::ReportList&)>& tool);
  // The controls that change the list or start a send, off while a worker
  // sends.
  void EnableListEditing(bool enabled);
  // Ends a running worker (stop flag set, user-interface work served).
  void FinishWorker();
  ui::ReportList& List() { return Get<ui::ReportList>(kList); }

  CTellomarEnv& env_;
  SendDataTools tools_;
  dispatch::SendSession session_;
  std::unique_ptr<CDlgSendDataProgress> progress_;
  std::thread worker_;
  std::atomic<bool> sending_{false};
};
