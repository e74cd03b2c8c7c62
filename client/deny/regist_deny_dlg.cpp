#include "client/deny/regist_deny_dlg.h"

#include <cassert>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "client/app/debug_log.h"
#include "client/app/rdb_record.h"
#include "client/app/sql_text.h"
#include "platform/codepage.h"
#include "ui/ddx.h"

CDlgRegistDeny* g_pDlgRegistDeny = nullptr;
int g_nDenyRowCount = 0;
int CDlgRegistDeny::s_nSortDirection = 1;

namespace {

// Fewer digits than this make no number worth denying.
constexpr std::size_t kMinFileDigits = 7;
// Digits kept of a file line's number.
constexpr std::size_t kMaxFileDigits = 20;
// Status updates while counting and while adding.
constexpr long kCountStatusEvery = 100;
constexpr int kAddStatusEvery = 10;

std::string Format(const char* format, long a) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}

std::string Format(const char* format, int a, int b) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads one line (with its line feed) into line, keeping at most max_bytes
// of it and dropping the rest up to the line feed. False at the end of the
// file.
bool ReadBoundedLine(std::FILE* f, std::string& line, std::size_t max_bytes) {
  line.clear();
  char buf[4096];
  bool any = false;
  while (std::fgets(buf, sizeof buf, f)) {
    any = true;
    const std::size_t n = std::strlen(buf);
    const bool ended = n > 0 && buf[n - 1] == '\n';
    if (line.size() < max_bytes) line.append(buf, std::min(n, max_bytes - line.size()));
    if (ended) break;
  }
  return any;
}

}  // namespace

// ---------------------------------------------------------------- statements

std::string StmtInsertDenyList(std::string_view user_id, std::string_view number, std::string_view comment) {
  return "exec P_INSERT_DENY_LIST '" + SqlText(user_id) + "', '" + SqlText(number) + "','" + SqlText(comment) + "'";
}

std::string StmtDeleteAllDeny(std::string_view user_id) {
  return "delete from T_DENY_ORV where C_USER_ID = '" + SqlText(user_id) + "'";
}

std::string StmtDeleteDeny(std::string_view user_id, std::string_view number) {
  return "delete from T_DENY_ORV where C_USER_ID = '" + SqlText(user_id) + "' and C_TELNUM = '" + SqlText(number) +
         "' ";
}

std::string StmtLookupDeny(std::string_view user_id, std::string_view text, bool include_common) {
  if (include_common) {
    return "select C_TELNUM,TYPE,C_REGIST_DATE,C_COMMENT from V_DENY_INFO where C_USER_ID in('all', '" +
           SqlText(user_id) + "') and C_TELNUM like '%" + DenyLikeText(text) + "%' order by C_TELNUM";
  }
  return "select C_TELNUM, '사용자수신거부' as TYPE,C_REGIST_DATE,C_COMMENT from T_DENY_ORV where C_USER_ID = '" +
         SqlText(user_id) + "' and C_TELNUM like '%" + DenyLikeText(text) + "%' order by C_TELNUM";
}

std::string DenyLikeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '\'':
        out += "''";
        break;
      case '%':
      case '_':
      case '[':
        out += '[';
        out += c;
        out += ']';
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string DenyNumberOfLine(std::string_view line) {
  if (std::size_t cr = line.rfind('\r'); cr != std::string_view::npos) line = line.substr(0, cr);
  if (std::size_t lf = line.rfind('\n'); lf != std::string_view::npos) line = line.substr(0, lf);
  std::string number(line.substr(0, line.find(',')));
  StripNonDigits(number);
  if (number.size() < kMinFileDigits) return {};
  if (number.size() > kMaxFileDigits) number.resize(kMaxFileDigits);
  return number;
}

// -------------------------------------------------------------------- dialog

CDlgRegistDeny::CDlgRegistDeny(ui::App& app, CTellomarEnv& env, platform::ProfileStore* profile,
                               DenyFileOptions options)
    : Dialog(app, "수신 거부 등록", ui::Rect{0, 0, 430, 330}), env_(env), profile_(profile), options_(options) {
  g_pDlgRegistDeny = this;
  constexpr std::uint32_t button = ui::kOwnerDraw | ui::kTabStop;

  AddGroupBox(ui::IDC_STATIC, "파일에서 등록", {7, 5, 416, 62});
  AddEdit(kFileName, {14, 18, 300, 12}, ui::kTabStop);
  AddButton(kChooseFile, "파일 선택", {318, 17, 98, 14}, button).SetTooltip("수신거부 자료 파일을 선택 합니다.");
  AddStatic(ui::IDC_STATIC, "자료 설명", {14, 36, 40, 8});
  AddEdit(kDescription, {56, 34, 258, 12}, ui::kTabStop);
  AddButton(kAddFromFile, "파일에서 읽어서 추가(&I)", {318, 33, 98, 14}, button)
      .SetTooltip("선택한 파일의 전화번호를 수신거부 목록에 추가 합니다.");
  AddButton(kClearAll, "기존 자료 모두 삭제(&D)", {318, 49, 98, 14}, button)
      .SetTooltip("사용자 수신거부 자료를 모두 삭제 합니다.");

  AddGroupBox(ui::IDC_STATIC, "직접 등록", {7, 70, 416, 30});
  AddStatic(ui::IDC_STATIC, "전화번호", {14, 84, 36, 8});
  AddEdit(kNumber, {52, 82, 80, 12}, ui::kTabStop).SetLimit(kMaxNumberBytes);
  AddStatic(ui::IDC_STATIC, "참고 사항", {138, 84, 36, 8});
  AddEdit(kComment, {176, 82, 138, 12}, ui::kTabStop).SetLimit(kMaxCommentBytes);
  AddButton(kAddOne, "수신거부 목록에 추가", {318, 81, 98, 14}, button)
      .SetTooltip("입력한 전화번호를 수신거부 목록에 추가 합니다.");

  AddStatic(ui::IDC_STATIC, "전화 번호", {14, 110, 36, 8});
  AddEdit(kLookupNumber, {52, 108, 80, 12}, ui::kTabStop);
  AddCheckBox(kIncludeCommon, "공정거래 수신거부 포함", {138, 109, 100, 10}, ui::kTabStop);
  AddButton(kLookup, "조회", {264, 107, 50, 14}, button).SetTooltip("수신거부 목록을 조회 합니다.");
  AddButton(kDelete, "삭제", {318, 107, 50, 14}, button).SetTooltip("선택된 자료를 삭제 합니다.");
  AddButton(ui::IDCANCEL, "닫기(&X)", {372, 107, 50, 14}, button).SetTooltip("창을 닫습니다.");

  AddReportList(kList, {7, 126, 416, 168}, ui::kMultiSelect | ui::kGridLines | ui::kFullRowSelect | ui::kTabStop);
  AddProgress(kProgress, {7, 298, 416, 10}, ui::kHidden);
  AddStatic(ui::IDC_STATIC, "진행 상태", {7, 314, 36, 8});
  AddStatic(kStatus, "", {46, 312, 377, 12}, ui::kSunken);

  On(kChooseFile, ui::Notify::Clicked, [this] { OnChooseFile(); });
  On(kAddFromFile, ui::Notify::Clicked, [this] { OnAddFromFile(); });
  On(kClearAll, ui::Notify::Clicked, [this] { OnClearAll(); });
  On(kAddOne, ui::Notify::Clicked, [this] { OnAddOne(); });
  On(kLookup, ui::Notify::Clicked, [this] { OnLookup(); });
  On(kDelete, ui::Notify::Clicked, [this] { OnDelete(); });
  On(kList, ui::Notify::ColumnClick, [this](const ui::NotifyInfo& info) { OnColumnClick(info.sub_item); });
}

CDlgRegistDeny::~CDlgRegistDeny() {
  FinishWorker();
  if (g_pDlgRegistDeny == this) g_pDlgRegistDeny = nullptr;
}

bool CDlgRegistDeny::OnInitDialog() {
  ui::ReportList& list = List();
  list.InsertColumn(0, "NO", 54);
  list.InsertColumn(1, "전화번호", 108);
  list.InsertColumn(2, "형태", 126);
  list.InsertColumn(3, "등록일자", 72);
  list.InsertColumn(4, "비고", 450);
  return true;
}

void CDlgRegistDeny::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_Text(dx, kFileName, m_strFileName);
  ui::DDX_Text(dx, kDescription, m_strDescription);
  ui::DDX_Text(dx, kLookupNumber, m_strLookupNumber);
  ui::DDX_Text(dx, kComment, m_strComment);
  ui::DDV_MaxChars(dx, m_strComment, kMaxCommentBytes);
  ui::DDX_Text(dx, kNumber, m_strNumber);
  ui::DDV_MaxChars(dx, m_strNumber, kMaxNumberBytes);
  ui::DDX_Check(dx, kIncludeCommon, m_bIncludeCommon);
}

void CDlgRegistDeny::OnCancel() {
  if (registering_.load() &&
      env_.ShowMessage(this, kDenyAskStopText, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION) != ui::IDYES)
    return;
  FinishWorker();
  Dialog::OnCancel();
}

void CDlgRegistDeny::OnDestroy() { FinishWorker(); }

void CDlgRegistDeny::FinishWorker() {
  if (!worker_.joinable()) return;
  stop_ = true;
  // The worker may be waiting for the user-interface thread (a control
  // operation or a message box), so serve it until it has ended.
  while (registering_.load() && app().OnUiThread()) {
    app().PumpMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker_.join();
}

void CDlgRegistDeny::SetStatus(std::string_view text) { Get<ui::Static>(kStatus).SetText(text); }

// ---------------------------------------------------------------- the file

void CDlgRegistDeny::OnChooseFile() {
  const std::string chosen =
      ChooseFileInRecentFolder(*this, profile_, kRecentFolderEntry, kDenyFileFilter, kDenyFileDefaultExt);
  if (chosen.empty()) return;
  // Only the file name changes: the other fields keep what was typed.
  m_strFileName = chosen;
  Get<ui::Edit>(kFileName).SetText(m_strFileName);
}

void CDlgRegistDeny::OnAddFromFile() {
  if (!UpdateData(true)) return;
  if (registering_.load()) return;  // the button is off while a worker runs
  if (m_strFileName.empty()) {
    env_.ShowMessage(this, kDenyNoFileText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONINFORMATION);
    SetFocus(kChooseFile);
    return;
  }
  if (m_strDescription.empty()) {
    env_.ShowMessage(this, kDenyNoDescriptionText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONINFORMATION);
    SetFocus(kDescription);
    return;
  }
  // The description goes into every statement: one that cannot stand in a
  // batch even with the longest number would stop the run at its first line.
  CSQLBatch probe;
  if (probe.TryAdd(StmtInsertDenyList(env_.m_strUserID, std::string(kMaxFileDigits, '0'), m_strDescription)) !=
      CSQLBatch::AddResult::kAdded) {
    env_.ShowMessage(this, kDenyBadDescriptionText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONINFORMATION);
    SetFocus(kDescription);
    return;
  }
  if (env_.ShowMessage(this, kDenyAskAddText, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION) != ui::IDYES)
    return;

  if (worker_.joinable()) worker_.join();  // the previous worker has ended
  stop_ = false;
  registering_ = true;
  Get(kAddFromFile).Enable(false);
  worker_ = std::thread(&CDlgRegistDeny::RunFileWorker, this, m_strFileName, m_strDescription);
}

bool CDlgRegistDeny::SendBatch(CSQLBatch& batch) {
  if (batch.GetCount() == 0) return true;
  long executed = 0;
  CDBError error;
  if (env_.RDBBulkExecuteSQL(batch, &executed, &error) < 1) {
    env_.ShowDBError(error);
    return false;
  }
  batch.Clear();
  return true;
}

void CDlgRegistDeny::RunFileWorker(std::string path, std::string description) {
  struct Done {
    CDlgRegistDeny& dlg;
    ~Done() {
      dlg.Get(kAddFromFile).Enable(true);
      dlg.registering_ = false;
    }
  } done{*this};

  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
  if (!file) {
    env_.ShowMessage(this, kDenyOpenFailedText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONINFORMATION);
    return;
  }
  std::string line;
  long total = 0;
  while (!stop_.load() && ReadBoundedLine(file.get(), line, options_.max_line_bytes)) {
    if (++total % kCountStatusEvery == 0) SetStatus(Format(kDenyCountingFormat, total));
  }
  std::rewind(file.get());

  ui::WaitCursor wait(app());
  CSQLBatch batch;
  int k = 0;
  while (!stop_.load() && ReadBoundedLine(file.get(), line, options_.max_line_bytes)) {
    const std::string number = DenyNumberOfLine(line);
    if (number.empty()) continue;
    const std::string sql = StmtInsertDenyList(env_.m_strUserID, number, description);
    CSQLBatch::AddResult added = batch.TryAdd(sql);
    if (added == CSQLBatch::AddResult::kFull) {
      if (!SendBatch(batch)) return;
      added = batch.TryAdd(sql);
    }
    // The description was checked against the longest number before the run.
    assert(added == CSQLBatch::AddResult::kAdded);
    ++k;
    if (k % kAddStatusEvery == 1) SetStatus(Format(kDenyAddingFormat, static_cast<int>(total), k));
  }
  file.reset();
  if (stop_.load()) {
    // Closed by the user: what was sent stays registered, the rest is not.
    DebugLog("CDlgRegistDeny: registration from %s stopped after %d numbers", path.c_str(), k - batch.GetCount());
    return;
  }
  if (!SendBatch(batch)) return;
  SetStatus(Format(kDenyAddingFormat, static_cast<int>(total), k));
  env_.ShowMessage(this, kDenyAddDoneText, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION);
}

// ------------------------------------------------------------- the own list

void CDlgRegistDeny::OnClearAll() {
  if (env_.ShowMessage(this, kDenyAskClearText, ui::kCaptionWarning, ui::MB_YESNO | ui::MB_ICONQUESTION) !=
      ui::IDYES)
    return;
  if (env_.ExecuteSQLWan(StmtDeleteAllDeny(env_.m_strUserID)) != 1) return;
  env_.ShowMessage(this, kDenyClearedText, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION);
}

void CDlgRegistDeny::OnAddOne() {
  if (!UpdateData(true)) return;
  if (platform::Cp949Length(m_strNumber) <= kMaxShortNumber) {
    env_.ShowMessage(this, kDenyBadNumberText, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONERROR);
    SetFocus(kNumber);
    return;
  }
  if (env_.ExecuteSQLWan(StmtInsertDenyList(env_.m_strUserID, m_strNumber, m_strComment)) != 1) return;
  env_.ShowMessage(this, kDenyAddedText, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION);
}

// ------------------------------------------------------------------- lookup

int CDlgRegistDeny::DenyRecordCallback(std::int32_t query_id, std::int32_t, std::string_view record) {
  if (query_id != kLookupQueryId || !g_pDlgRegistDeny) return 0;
  g_pDlgRegistDeny->AddRow(record);
  return 1;
}

void CDlgRegistDeny::AddRow(std::string_view record) {
  CRDBRecord fields;
  fields.Parse(record);
  const std::string no = std::to_string(g_nDenyRowCount + 1);
  List().AppendRow({no, fields.Field(0), fields.Field(1), fields.Field(2), fields.Field(3)});
  ++g_nDenyRowCount;
}

void CDlgRegistDeny::OnLookup() {
  if (!UpdateData(true)) return;
  if (platform::Cp949Length(m_strLookupNumber) <= kMaxShortLookup &&
      env_.ShowMessage(this, kDenyAskLongLookupText, ui::kCaptionWarning, ui::MB_YESNO | ui::MB_ICONQUESTION) !=
          ui::IDYES)
    return;
  List().DeleteAllItems();
  g_nDenyRowCount = 0;
  const std::string sql = StmtLookupDeny(env_.m_strUserID, m_strLookupNumber, m_bIncludeCommon != 0);

  long rows = 0;
  CDBError error;
  int result;
  {
    ui::WaitCursor wait(app());
    CTellomarEnv::RecordHandler previous = CTellomarEnv::SetRecordHandler(&CDlgRegistDeny::DenyRecordCallback);
    result = env_.RDBQueryRecord(kLookupQueryId, sql, &rows, &error, true);
    CTellomarEnv::SetRecordHandler(std::move(previous));
  }
  if (result < 1) {
    env_.ShowDBError(error);
    return;
  }
  if (rows > 0) {
    env_.MsgInfo(this, kDenyFoundFormat, g_nDenyRowCount);
  } else {
    env_.MsgInfo(this, "%s", kDenyNothingFoundText);
  }
}

// ------------------------------------------------------------------- delete

void CDlgRegistDeny::OnDelete() {
  if (deleting_) return;
  ui::ReportList& list = List();
  const int selected = list.SelectedCount();
  if (selected == 0) {
    env_.ShowMessage(this, kDenyNoSelectionText, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION);
    return;
  }
  if (env_.ShowMessage(this, kDenyAskDeleteText, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION) !=
      ui::IDYES)
    return;

  deleting_ = true;
  bool failed = false;
  {
    ui::WaitCursor wait(app());
    ui::Progress& progress = Get<ui::Progress>(kProgress);
    progress.SetRange(0, 99);
    progress.SetPos(0);
    progress.Show(true);
    for (int done = 0; done < selected; ++done) {
      const int row = list.NextSelected(-1);
      if (row < 0) break;  // the selection changed meanwhile
      const std::string sql = StmtDeleteDeny(env_.m_strUserID, list.ItemText(row, 1));
      DebugLog("CDlgRegistDeny::OnButtonDelete sql(%s)", sql.c_str());
      if (env_.ExecuteSQLWan(sql) != 1) {
        failed = true;  // the environment has shown the error
        break;
      }
      list.DeleteItem(row);
      progress.SetPos(100 * (done + 1) / selected);
      app().PumpMessages();
    }
    progress.Show(false);
  }
  deleting_ = false;
  // After a failure the rows deleted before stay deleted; no success is
  // claimed for the rest.
  if (!failed) env_.ShowMessage(this, kDenyDeletedText, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION);
}

// --------------------------------------------------------------------- sort

void CDlgRegistDeny::OnColumnClick(int column) {
  ui::ReportList& list = List();
  if (column < 0 || column >= list.ColumnCount()) return;
  // Rows compare by the bytes of the clicked column as unsigned
  // characters; +1 puts the greater text first.
  list.SortByText(column, s_nSortDirection > 0);
  const int count = list.ItemCount();
  for (int row = 0; row < count; ++row) list.SetItemText(row, 0, std::to_string(row + 1));
  s_nSortDirection = -s_nSortDirection;
}
