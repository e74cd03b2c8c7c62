#include "client/numtools/create_rdd_dlg.h"

#include <chrono>
#include <cstdio>
#include <random>

#include "client/dispatch/report_target_list.h"
#include "platform/codepage.h"
#include "ui/ddx.h"

CDlgCreateRDD::CDlgCreateRDD(ui::App& app, CTellomarEnv& env, ui::ReportList& send_list)
    : Dialog(app, "RDD 데이터 생성", ui::Rect{0, 0, 186, 152}), env_(env), send_list_(send_list) {
  AddStatic(ui::IDC_STATIC, "전화 번호 대역", {7, 7, 80, 8});
  AddEdit(kRanges, {7, 18, 172, 92}, ui::kMultiline | ui::kWantReturn | ui::kVScroll | ui::kTabStop);
  AddProgress(kProgress, {7, 114, 172, 10}, ui::kHidden);
  AddButton(kCreate, "생성(&C)", {41, 131, 50, 14}, ui::kOwnerDraw | ui::kTabStop).SetTooltip("RDD 데이터를 생성합니다.");
  AddButton(ui::IDCANCEL, "취소", {95, 131, 50, 14}, ui::kOwnerDraw | ui::kTabStop).SetTooltip("취소합니다.");
  On(kCreate, ui::Notify::Clicked, [this] { OnCreate(); });
}

void CDlgCreateRDD::DoDataExchange(ui::DataExchange& dx) { ui::DDX_Text(dx, kRanges, m_strRanges); }

void CDlgCreateRDD::OnCancel() {
  // The generation runs inside the create handler on this thread; it sees
  // the flag at its next number, shuffles what it made into the list and
  // closes the dialog itself.
  if (generating_) {
    stop_ = true;
    close_requested_ = true;
    return;
  }
  EndDialog(ui::IDCANCEL);
}

void CDlgCreateRDD::OnCreate() {
  if (generating_ || !UpdateData(true)) return;
  bool ok = false;
  {
    ui::WaitCursor wait(app());
    auto& progress = Get<ui::Progress>(kProgress);
    progress.SetRange(0, 100);
    progress.SetPos(0);
    progress.Show(true);
    stop_ = false;
    generating_ = true;
    ok = Generate();
    generating_ = false;
    progress.Show(false);
  }
  if (ok) EndDialog(ui::IDOK);
  else if (close_requested_) EndDialog(ui::IDCANCEL);
}

void CDlgCreateRDD::Progress(std::size_t done, std::size_t total, std::size_t& pumped) {
  if (total > 0) Get<ui::Progress>(kProgress).SetPos(static_cast<int>(100 * done / total));
  if (++pumped % kPumpEvery == 0) app().PumpMessages();
}

bool CDlgCreateRDD::Generate() {
  dispatch::ReportTargetList list(send_list_);
  list.Clear();
  candidates_.clear();
  if (m_strRanges.empty()) {
    env_.MsgInfo(this, "%s", kRddEnterRangesText);
    return false;
  }
  std::string text = m_strRanges;
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) text += "\r\n";

  // The prefixes: the text before each line feed, carriage returns removed
  // (blank lines included). One that does not fit is refused before any
  // number is made, instead of being cut to another range.
  std::vector<std::string> prefixes;
  std::size_t pos = 0;
  for (std::size_t lf; (lf = text.find('\n', pos)) != std::string::npos; pos = lf + 1) {
    std::string p;
    for (char c : std::string_view(text).substr(pos, lf - pos))
      if (c != '\r') p += c;
    if (platform::Cp949Length(p) > kMaxPrefixBytes) {
      env_.MsgInfo(this, kRddPrefixTooLongText, static_cast<int>(prefixes.size() + 1), p.c_str());
      return false;
    }
    prefixes.push_back(std::move(p));
  }
  const std::size_t total = prefixes.size() * kNumbersPerRange;
  candidates_.reserve(total);

  std::size_t pumped = 0;
  for (const std::string& prefix : prefixes) {
    for (int n = 1; n <= kNumbersPerRange && !stop_; ++n) {
      Record r{};
      std::snprintf(r.data(), r.size(), "%s-%04d", prefix.c_str(), n);
      candidates_.push_back(r);
      Progress(candidates_.size(), total, pumped);
    }
    if (stop_) break;
  }

  // Shuffle into the list: each row is drawn uniformly from the candidates
  // left (a draw from a generator of 15 bits could not reach past the first
  // 32768 of them), the last one taking the drawn one's place.
  std::mt19937_64 rng(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
                      std::random_device{}());
  list.Clear();
  const std::size_t count = candidates_.size();
  for (std::size_t left = count; left > 0; --left) {
    const std::size_t pick = std::uniform_int_distribution<std::size_t>(0, left - 1)(rng);
    list.AppendNumbered(candidates_[pick].data(), {});
    candidates_[pick] = candidates_[left - 1];
    Progress(count - left + 1, total, pumped);
  }
  candidates_.clear();
  candidates_.shrink_to_fit();
  env_.MsgBox(this, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONINFORMATION, kRddCreatedText,
              static_cast<int>(count));
  return true;
}
