#include "client/senddata/send_data_view.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "client/app/debug_log.h"
#include "client/app/rdb_record.h"
#include "client/app/sql_text.h"
#include "client/dispatch/import.h"
#include "client/dispatch/report_target_list.h"
#include "platform/clock.h"
#include "ui/ddx.h"

namespace {

// Query ID of the service list's records.
constexpr long kServiceQueryId = 131;

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

CDateTime LocalNow() { return CDateTime::Now(platform::SystemClock()); }

}  // namespace

std::string StmtLoadServices(std::string_view user_id) {
  return "select SVC_ID, SVC_NM from SERVICE_INFO with(nolock)  where USER_ID = '" + SqlText(user_id) +
         "' and SVC_TYPE in(0,4,5) and PROG_STAT <> '9' order by SVC_ID ";
}

std::string StmtServiceInfo(std::string_view service_id) {
  return "select DEF_CALLER_ID, SVC_TYPE  from SERVICE_INFO v with(nolock) where v.SVC_ID = " +
         std::string(service_id) + " ";
}

std::string MakeTitle(std::string_view prefix, const CDateTime& now) {
  return std::string(prefix) + "_" + now.GetDate() + "_" + now.GetHHMMSS();
}

CDlgSendData::CDlgSendData(ui::App& app, CTellomarEnv& env, SendDataTools tools)
    : FormView(app, ui::Rect{0, 0, 530, 330}), env_(env), tools_(std::move(tools)) {
  const std::uint32_t button = ui::kOwnerDraw | ui::kTabStop;
  AddStatic(ui::IDC_STATIC, "서비스ID", {10, 12, 40, 8});
  AddComboBox(kService, {52, 10, 160, 120}, ui::kDropDownList | ui::kVScroll | ui::kTabStop);
  AddStatic(ui::IDC_STATIC, "콜백번호", {222, 12, 36, 8});
  AddEdit(kCallback, {260, 10, 80, 12}, ui::kTabStop);
  AddStatic(ui::IDC_STATIC, "제    목", {10, 28, 40, 8});
  AddEdit(kTitle, {52, 26, 160, 12}, ui::kTabStop);
  AddCheckBox(kMinistryDeny, "[정통부 수신 거부목록]에 포함된 번호는 제외함", {222, 26, 200, 10}, ui::kTabStop);
  AddCheckBox(kUserDeny, "[사용자 수신 거부목록]에 포함된 번호는 제외함", {222, 38, 200, 10}, ui::kTabStop);
  AddButton(kImport, " 전화번호\n가져오기(&I)", {10, 52, 60, 24}, button).SetTooltip("파일로 부터 자료를 가져 옵니다.");
  AddButton(kPaste, "엑셀에서 복사후 붙여넣기(&E)", {74, 52, 110, 24}, ui::kTabStop);
  AddButton(kCreateRdd, "RDD 생성", {188, 52, 50, 24}, ui::kTabStop | ui::kHidden);
  AddButton(kSend, "가져온 자료\n서버로 전송(&S)", {400, 52, 60, 24}, button)
      .SetTooltip("리스트의 데이터를 서버로 데이터를 전송 합니다.");
  AddButton(kClose, "닫기(&X)", {464, 52, 56, 24}, button).SetTooltip("현재 창을 닫습니다.");
  AddReportList(kList, {10, 82, 510, 190}, ui::kGridLines | ui::kFullRowSelect | ui::kMultiSelect | ui::kTabStop);
  AddGroupBox(ui::IDC_STATIC, "수동 입력", {10, 278, 510, 42});
  AddStatic(ui::IDC_STATIC, "전화번호", {18, 296, 36, 8});
  AddEdit(kManualPhone, {56, 294, 80, 12}, ui::kTabStop);
  AddStatic(ui::IDC_STATIC, "고객정보", {144, 296, 36, 8});
  AddEdit(kManualInfo, {182, 294, 160, 12}, ui::kTabStop).SetLimit(kMaxManualInfoBytes);
  AddButton(kAdd, "추가(&A)", {350, 292, 50, 16}, button).SetTooltip("새 자료를 추가 합니다.");
  AddButton(kChange, "변경(&C)", {404, 292, 50, 16}, button).SetTooltip("선택된 자료를 변경 합니다.");
  AddButton(kDelete, "삭제(&D)", {458, 292, 50, 16}, button).SetTooltip("선택된 자료를 삭제 합니다.");

  On(kService, ui::Notify::DropDown, [this] { LoadServices(); });
  On(kService, ui::Notify::SelChange, [this] { OnSelchangeComboServiceId(); });
  On(kList, ui::Notify::Clicked, [this] { OnListClick(); });
  On(kImport, ui::Notify::Clicked, [this] { RunTool(tools_.import_file); });
  On(kPaste, ui::Notify::Clicked, [this] { RunTool(tools_.paste); });
  On(kCreateRdd, ui::Notify::Clicked, [this] { RunTool(tools_.create_rdd); });
  On(kAdd, ui::Notify::Clicked, [this] { OnAdd(); });
  On(kChange, ui::Notify::Clicked, [this] { OnChange(); });
  On(kDelete, ui::Notify::Clicked, [this] { OnDelete(); });
  On(kSend, ui::Notify::Clicked, [this] { OnSend(); });
  On(kClose, ui::Notify::Clicked, [this] { CloseFrame(); });
}

CDlgSendData::~CDlgSendData() { FinishWorker(); }

void CDlgSendData::OnDestroy() {
  FinishWorker();
  if (progress_ && progress_->created()) progress_->Destroy();
  m_pDlgProgress = nullptr;
}

void CDlgSendData::FinishWorker() {
  if (!worker_.joinable()) return;
  if (progress_) progress_->m_bStop = true;
  // The worker may be waiting for the user-interface thread (a control
  // operation or its error message), so serve it until it has ended.
  while (sending_.load() && app().OnUiThread()) {
    app().PumpMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker_.join();
}

bool CDlgSendData::UpdateData(bool save_and_validate) {
  ui::DataExchange dx(*this, save_and_validate);
  try {
    DoDataExchange(dx);
  } catch (const ui::DataExchange::Failed&) {
    return false;
  }
  return true;
}

void CDlgSendData::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_Text(dx, kTitle, m_strTitle);
  ui::DDV_MaxChars(dx, m_strTitle, kMaxTitleBytes);
}

void CDlgSendData::OnInitialUpdate() {
  UpdateData(false);
  ui::ReportList& list = List();
  static constexpr int kWidths[dispatch::kSendColumns] = {54, 135, 90, 180, 180, 180};
  for (int c = 0; c < dispatch::kSendColumns; ++c)
    list.InsertColumn(c, std::string(dispatch::kSendColumnHeaders[c]), kWidths[c]);
  Get<ui::Button>(kMinistryDeny).SetCheck(0);
  Get<ui::Button>(kUserDeny).SetCheck(1);
  Get(kCreateRdd).Show(env_.m_nUseResearch != 0);
  LoadServices();
}

// ------------------------------------------------------------------ services

void CDlgSendData::LoadServices() {
  auto& combo = Get<ui::ComboBox>(kService);
  const std::string before = combo.SelectedText();
  CTellomarEnv::RecordHandler previous =
      CTellomarEnv::SetRecordHandler([&combo](std::int32_t query_id, std::int32_t, std::string_view text) {
        if (query_id != kServiceQueryId) return 1;
        CRDBRecord record;
        record.Parse(text);
        combo.AddString(std::string(record.Field(0)) + "." + std::string(record.Field(1)));
        return 1;
      });
  combo.ResetContent();
  long rows = 0;
  env_.QueryRecord(kServiceQueryId, StmtLoadServices(env_.m_strUserID), &rows);  // shows its own error
  CTellomarEnv::SetRecordHandler(std::move(previous));
  if (combo.Count() == 1) {
    combo.SetCurSel(0);
    combo.Enable(false);
    OnSelchangeComboServiceId();
    return;
  }
  // Reopening the list keeps the service chosen before.
  if (!before.empty()) combo.SetCurSel(combo.FindStringExact(before));
}

void CDlgSendData::OnSelchangeComboServiceId() {
  const std::string service = CTellomarEnv::GetComboCode(Get<ui::ComboBox>(kService));
  if (!AllDigits(service)) {
    env_.ShowMessage(nullptr, kNoServiceInfoText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  const std::string sql = StmtServiceInfo(service);
  DebugLog("CDlgSendData::OnSelchangeComboServiceId(%s)", sql.c_str());
  std::string text;
  const int r = env_.RDBQueryFirstRecord(text, sql);
  if (r < 0) return;  // the database error was shown
  if (r == 0) {
    env_.ShowMessage(nullptr, kNoServiceInfoText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  CRDBRecord record;
  record.Parse(text);
  Get<ui::Edit>(kCallback).SetText(record.Field(0));
  const std::string_view type = record.Field(1);
  const char* prefix = type == "0" ? "음성전송" : type == "4" ? "설문조사" : "제목없음";
  m_strTitle = MakeTitle(prefix, LocalNow());
  Get<ui::Edit>(kTitle).SetText(m_strTitle);
  const long id = std::stol(service);
  const int chg = env_.GetUseChgCallbackNo(id);
  Get(kCallback).Enable(chg != 0 && chg != -1);
  const int deny = env_.GetUseDenyNospam(id);
  Get<ui::Button>(kMinistryDeny).SetCheck(deny != 0 && deny != -1 ? 1 : 0);
}

// -------------------------------------------------------------- manual entry

void CDlgSendData::OnListClick() {
  ui::ReportList& list = List();
  const int row = list.NextSelected(-1);
  if (row < 0) {
    env_.ShowMessage(nullptr, kNoSelectionText, ui::kCaptionConfirm, ui::MB_OK);
    return;
  }
  Get<ui::Edit>(kManualPhone).SetText(list.ItemText(row, 1));
  Get<ui::Edit>(kManualInfo).SetText(list.ItemText(row, 2));
}

void CDlgSendData::OnAdd() {
  std::string phone = Get(kManualPhone).Text();
  if (!CTellomarEnv::FormatTelNo(phone)) {
    env_.MsgInfo("%s", kInvalidPhoneText);
    SetFocus(kManualPhone);
    return;
  }
  ui::ReportList& list = List();
  list.InsertItem(0, std::to_string(list.ItemCount() + 1));
  list.SetItemText(0, 1, phone);
  list.SetItemText(0, 2, Get(kManualInfo).Text());
}

void CDlgSendData::OnChange() {
  ui::ReportList& list = List();
  const int row = list.NextSelected(-1);
  if (row < 0) {
    env_.ShowMessage(nullptr, kNoSelectionText, ui::kCaptionConfirm, ui::MB_OK);
    return;
  }
  std::string phone = Get(kManualPhone).Text();
  if (!CTellomarEnv::FormatTelNo(phone)) {
    env_.MsgInfo("%s", kInvalidPhoneText);
    SetFocus(kManualPhone);
    return;
  }
  list.SetItemText(row, 1, phone);
}

void CDlgSendData::OnDelete() {
  if (env_.ShowMessage(nullptr, kAskDeleteText, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION) !=
      ui::IDYES)
    return;
  ui::ReportList& list = List();
  const std::vector<int> rows = list.SelectedRows();  // ascending
  if (rows.empty()) {
    env_.ShowMessage(nullptr, kNoSelectionText, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION);
    return;
  }
  // From the highest index down, a run of adjacent rows at a time.
  list.SetRedraw(false);
  std::size_t end = rows.size();
  while (end > 0) {
    std::size_t begin = end - 1;
    while (begin > 0 && rows[begin - 1] == rows[begin] - 1) --begin;
    list.DeleteItems(rows[begin], static_cast<int>(end - begin));
    end = begin;
  }
  list.SetRedraw(true);
}

void CDlgSendData::RunTool(const std::function<void(ui::Window*, ui::ReportList&)>& tool) {
  if (!tool) return;
  tool(nullptr, List());
  // The list was filled again: a send interrupted before starts anew.
  session_.Reset();
}

// ---------------------------------------------------------------------- send

void CDlgSendData::EnableListEditing(bool enabled) {
  for (int id : {kSend, kImport, kPaste, kCreateRdd, kAdd, kChange, kDelete}) Get(id).Enable(enabled);
}

void CDlgSendData::OnSend() {
  if (sending_.load()) return;
  if (!UpdateData(true)) return;
  const CDateTime now = LocalNow();
  if (m_strTitle.empty()) {
    m_strTitle = MakeTitle("제목없음", now);
    UpdateData(false);
  }
  const std::string service = CTellomarEnv::GetComboCode(Get<ui::ComboBox>(kService));
  if (service.empty()) {
    env_.ShowMessage(nullptr, kSelectServiceText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONERROR);
    SetFocus(kService);
    return;
  }
  dispatch::SendParams params;
  params.user_id = env_.m_strUserID;
  params.service_id = service;
  params.title = m_strTitle;
  params.callback = CTellomarEnv::GetDigits(Get(kCallback).Text());
  params.reg_date = now.GetDate();
  params.reg_time = now.GetHHMMSS();
  params.ministry_flag = Get<ui::Button>(kMinistryDeny).Check() ? 1 : 0;
  params.user_flag = Get<ui::Button>(kUserDeny).Check() ? 1 : 0;
  if (const std::string why = dispatch::CheckSendParams(params); !why.empty()) {
    env_.ShowMessage(nullptr, kSelectServiceText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONERROR);
    SetFocus(kService);
    return;
  }

  const int rows = List().ItemCount();
  const std::string ask = dispatch::FormatMessage(kAskSendFormat, {std::to_string(rows)});
  if (env_.ShowMessage(nullptr, ask, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION) != ui::IDYES) return;

  // A send to another service is a new send; otherwise a pending one goes
  // on with its own registration date, time and title.
  if (session_.pending() && session_.params().service_id != service) session_.Reset();
  session_.Begin(params, static_cast<std::size_t>(rows));
  if (m_strTitle != session_.params().title) {
    m_strTitle = session_.params().title;
    UpdateData(false);
  }

  if (worker_.joinable()) worker_.join();  // the previous worker has ended
  if (progress_ && progress_->created()) progress_->Destroy();
  progress_ = std::make_unique<CDlgSendDataProgress>(app(), [this] { m_pDlgProgress = nullptr; });
  progress_->Create(this);
  m_pDlgProgress = progress_.get();
  EnableListEditing(false);
  sending_ = true;
  worker_ = std::thread(&CDlgSendData::SendThreadProc, this);
}

void CDlgSendData::SendThreadProc(CDlgSendData* view) { view->RunSendWorker(); }

std::unique_ptr<dispatch::SendTarget> CDlgSendData::MakeSendTarget() {
  return std::make_unique<dispatch::QuerionSendTarget>(env_.m_hRDB, env_.m_strDBName);
}

void CDlgSendData::RunSendWorker() {
  CDlgSendDataProgress& progress = *progress_;
  app().BeginWaitCursor();
  dispatch::ReportTargetList list(List());
  std::unique_ptr<dispatch::SendTarget> target = MakeSendTarget();
  dispatch::SendCallbacks callbacks;
  callbacks.progress = [&progress](long current, long total) {
    progress.SetPercent(static_cast<int>(100 * current / std::max(1L, total)));
    progress.SetStatus(
        dispatch::FormatMessage(dispatch::kSendingStatus, {std::to_string(total), std::to_string(current)}));
  };
  const dispatch::SendOutcome out = session_.Run(list, *target, &progress.StopFlag(), callbacks);
  app().EndWaitCursor();

  if (out.failed) {
    progress.SendEnded(false);
    env_.ShowMessage(nullptr, dispatch::kSendErrorMessage, ui::kCaptionError, ui::MB_OK | ui::MB_ICONERROR);
    DebugLog("CDlgSendData::SendThreadProc: %s", out.error.c_str());
  }
  // A failure in the middle ends without the summary; after the last
  // batch's failure the summary still tells what the service holds.
  if (!out.summary.empty()) {
    progress.SetPercent(100);
    progress.SetStatus(out.summary);
    progress.SendEnded(true);
    // Only a completed send empties the title: a pending one keeps it for
    // the resume.
    if (!session_.pending()) Get<ui::Edit>(kTitle).SetText("");
  }
  EnableListEditing(true);
  sending_ = false;
}
