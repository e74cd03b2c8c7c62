#include "client/numtools/delete_data_dlg.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "client/app/date_time.h"
#include "client/app/rdb_record.h"
#include "client/app/sql_text.h"
#include "platform/clock.h"
#include "ui/ddx.h"

std::string StmtDeleteOldData(std::string_view user_id, std::string_view from, std::string_view to) {
  return "{ call P_ORV_데이터삭제('" + SqlText(user_id) + "','" + SqlText(from) + "','" + SqlText(to) + "')}";
}

ui::DateTime DaysBefore(const ui::DateTime& day, int n) {
  using namespace std::chrono;
  const sys_days d = year_month_day{year{day.year}, month{static_cast<unsigned>(day.month)},
                                    std::chrono::day{static_cast<unsigned>(day.day)}};
  const year_month_day r{d - days{n}};
  ui::DateTime out = day;
  out.year = static_cast<int>(r.year());
  out.month = static_cast<int>(static_cast<unsigned>(r.month()));
  out.day = static_cast<int>(static_cast<unsigned>(r.day()));
  return out;
}

CDlgDeleteData::CDlgDeleteData(ui::App& app, CTellomarEnv& env, std::function<ui::DateTime()> today)
    : Dialog(app, "데이터 삭제", ui::Rect{0, 0, 250, 150}), env_(env), today_(std::move(today)) {
  if (!today_) today_ = [] { return ui::DateTime::Now(); };
  AddStatic(ui::IDC_STATIC, "삭제할 데이터", {7, 9, 50, 8});
  AddDateTime(kFrom, {60, 7, 70, 12}, ui::kTabStop);
  AddStatic(ui::IDC_STATIC, "~", {133, 9, 8, 8});
  AddDateTime(kTo, {143, 7, 70, 12}, ui::kTabStop);
  AddListBox(kLog, {7, 26, 236, 98}, ui::kVScroll);
  AddButton(kDelete, "삭제", {68, 130, 50, 14}, ui::kOwnerDraw | ui::kTabStop).SetTooltip("선택된 기간의 데이터를 삭제합니다.");
  AddButton(ui::IDCANCEL, "취소", {132, 130, 50, 14}, ui::kOwnerDraw | ui::kTabStop).SetTooltip("닫습니다.");
  On(kDelete, ui::Notify::Clicked, [this] { OnDelete(); });
}

CDlgDeleteData::~CDlgDeleteData() { StopWorker(); }

bool CDlgDeleteData::OnInitDialog() {
  env_.GetDeleteOldDataDays();
  const int days = env_.m_nDeleteOldDataDays;
  const ui::DateTime today = today_();
  m_dtFrom = DaysBefore(today, days + 60);
  m_dtTo = DaysBefore(today, days);
  UpdateData(false);
  return true;
}

void CDlgDeleteData::DoDataExchange(ui::DataExchange& dx) {
  ui::DDX_DateTime(dx, kFrom, m_dtFrom);
  ui::DDX_DateTime(dx, kTo, m_dtTo);
}

void CDlgDeleteData::OnDelete() {
  if (running_ || !UpdateData(true)) return;
  const std::string from = m_dtFrom.Format("%Y%m%d");
  const std::string to = m_dtTo.Format("%Y%m%d");
  const int days = env_.m_nDeleteOldDataDays;
  const std::string limit = DaysBefore(today_(), days).Format("%Y%m%d");
  if (from > to) {
    env_.MsgInfo(this, "%s", delmsg::kWrongDates);
    return;
  }
  if (to > limit) {
    env_.MsgInfo(this, delmsg::kTooRecent, days);
    return;
  }
  if (env_.MsgBox(this, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION, "%s", delmsg::kAsk) != ui::IDYES)
    return;
  if (worker_.joinable()) worker_.join();  // the last run has ended (running_ is false)
  running_ = true;
  closing_ = false;
  Get<ui::Button>(kDelete).Enable(false);
  worker_ = std::thread([this, s = StmtDeleteOldData(env_.m_strUserID, from, to)] { Work(s); });
}

void CDlgDeleteData::Work(std::string statement) {
  AddLog(delmsg::kDeleting);
  ui::WaitCursor wait(app());
  long long last = -1;
  int same = 0;
  while (!closing_) {
    std::string record;
    const int rc = env_.RDBQueryFirstRecord(record, statement);
    if (rc < 0) break;  // the environment has shown the database error
    if (rc == 0) {
      env_.MsgError(this, "%s", delmsg::kUnknownError);
      break;
    }
    CRDBRecord fields;
    fields.Parse(record);
    const long long remaining =
        std::max(std::atoll(fields.GetField(0)), fields.GetCount() > 1 ? std::atoll(fields.GetField(1)) : 0LL);
    if (remaining <= 0) {
      env_.MsgInfo(this, "%s", delmsg::kDeleted);
      break;
    }
    char text[64];
    std::snprintf(text, sizeof text, delmsg::kRemaining, static_cast<int>(std::min<long long>(remaining, INT32_MAX)));
    AddLog(text);
    same = remaining == last ? same + 1 : 0;
    last = remaining;
    if (same >= kMaxRoundsWithoutProgress) {
      env_.MsgError(this, delmsg::kNoProgress, static_cast<int>(std::min<long long>(remaining, INT32_MAX)));
      break;
    }
  }
  if (!closing_) Get<ui::Button>(kDelete).Enable(true);
  running_ = false;
  app().dispatcher().Post([] {});  // wakes a pumping close
}

void CDlgDeleteData::AddLog(const std::string& text) {
  if (closing_) return;
  auto& log = Get<ui::ComboBox>(kLog);
  if (log.Count() > kMaxLogLines) log.DeleteString(0);
  const CDateTime now = CDateTime::Now(platform::SystemClock{});
  const int index = log.AddString("(" + now.GetTimeMs() + ")" + text);
  log.SetCurSel(index);  // scrolls to the newest line
}

void CDlgDeleteData::StopWorker() {
  closing_ = true;
  // The worker may be waiting for this thread (a message box, a control);
  // keep it pumping until the worker has ended.
  while (running_) {
    app().dispatcher().WaitForWork(std::chrono::milliseconds(50));
    app().PumpMessages();
  }
  if (worker_.joinable()) worker_.join();
}

void CDlgDeleteData::OnCancel() {
  StopWorker();
  EndDialog(ui::IDCANCEL);
}

void CDlgDeleteData::OnDestroy() { StopWorker(); }
