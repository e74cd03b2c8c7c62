#include "ui/testhost/test_host.h"

#include <algorithm>

namespace ui {

TestHost& TestHost::AnswerMessageBox(int result) {
  script_.push_back(Entry{ModalKind::MessageBox, result, {}, {}});
  return *this;
}

TestHost& TestHost::AnswerDialog(DialogAction action) {
  script_.push_back(Entry{ModalKind::Dialog, 0, std::move(action), {}});
  return *this;
}

TestHost& TestHost::AnswerDialog(int result) {
  return AnswerDialog([result](Dialog& d) { d.EndDialog(result); });
}

TestHost& TestHost::AnswerFileDialog(std::vector<std::string> files) {
  script_.push_back(Entry{ModalKind::FileDialog, 0, {}, std::move(files)});
  return *this;
}

std::vector<TestHost::Modal> TestHost::MessageBoxes() const {
  std::vector<Modal> out;
  for (const Modal& m : modals_)
    if (m.kind == ModalKind::MessageBox) out.push_back(m);
  return out;
}

std::optional<TestHost::Entry> TestHost::Next(ModalKind kind, const std::string& what) {
  if (script_.empty()) {
    faults_.push_back("no answer in the script for " + what);
    return std::nullopt;
  }
  if (script_.front().kind != kind) {
    faults_.push_back("the script's next answer is for another kind of window than " + what);
    return std::nullopt;
  }
  Entry e = std::move(script_.front());
  script_.pop_front();
  return e;
}

int TestHost::ShowMessageBox(Window*, std::string_view text, std::string_view caption, unsigned type) {
  Modal m{ModalKind::MessageBox, std::string(text), std::string(caption), type, 0, {}};
  const unsigned buttons = type & MB_BUTTONMASK;
  std::vector<int> offered;
  switch (buttons) {
    case MB_OKCANCEL: offered = {IDOK, IDCANCEL}; break;
    case MB_YESNO: offered = {IDYES, IDNO}; break;
    case MB_YESNOCANCEL: offered = {IDYES, IDNO, IDCANCEL}; break;
    default: offered = {IDOK}; break;
  }
  const std::string what = "message box \"" + m.text + "\"";
  if (buttons == MB_OK && (script_.empty() || script_.front().kind != ModalKind::MessageBox)) {
    m.result = IDOK;  // only one answer is possible
  } else if (auto e = Next(ModalKind::MessageBox, what)) {
    m.result = e->result;
    if (std::find(offered.begin(), offered.end(), m.result) == offered.end()) {
      faults_.push_back("answer " + std::to_string(m.result) + " is not offered by " + what);
    }
  } else {
    // No answer: the way out that changes nothing.
    m.result = buttons == MB_YESNO ? IDNO : (buttons == MB_OK ? IDOK : IDCANCEL);
  }
  modals_.push_back(m);
  return m.result;
}

void TestHost::RunModal(Dialog& dlg) {
  std::size_t at = modals_.size();
  modals_.push_back(Modal{ModalKind::Dialog, {}, dlg.Caption(), 0, 0, {}});
  const std::string what = "dialog \"" + dlg.Caption() + "\"";
  if (auto e = Next(ModalKind::Dialog, what)) {
    e->action(dlg);
    if (!dlg.ended()) {
      faults_.push_back("the script did not end " + what);
      dlg.EndDialog(IDCANCEL);
    }
  } else {
    dlg.EndDialog(IDCANCEL);
  }
  modals_[at].result = dlg.result();
}

std::optional<std::vector<std::string>> TestHost::ShowFileDialog(Window*, const FileDialogSpec& spec) {
  Modal m{ModalKind::FileDialog, spec.filter, spec.title, 0, 0, {}};
  if (!ParseFileFilter(spec.filter)) faults_.push_back("malformed file filter \"" + spec.filter + "\"");
  std::optional<std::vector<std::string>> result;
  if (auto e = Next(ModalKind::FileDialog, "file dialog \"" + spec.title + "\"")) {
    if (!e->files.empty()) {
      if (e->files.size() > 1 && !spec.multi_select) faults_.push_back("several files for a single-file dialog");
      result = e->files;
      m.files = e->files;
    }
  }
  m.result = result ? IDOK : IDCANCEL;
  modals_.push_back(m);
  return result;
}

void TestHost::SetTimer(Window& w, unsigned id, unsigned interval_ms) {
  Timer t;
  t.interval = std::max(interval_ms, kMinTimerMs);
  t.due = now_ + t.interval;
  t.seq = ++timer_seq_;
  timers_[{&w, id}] = t;  // arming an armed ID replaces it
}

void TestHost::KillTimer(Window& w, unsigned id) { timers_.erase({&w, id}); }

std::map<unsigned, unsigned> TestHost::Timers(const Window& w) const {
  std::map<unsigned, unsigned> out;
  for (const auto& [key, t] : timers_)
    if (key.first == &w) out[key.second] = t.interval;
  return out;
}

void TestHost::FireDue() {
  // Each due timer fires once per pass, earliest first.
  std::vector<std::pair<std::pair<const Window*, unsigned>, Timer>> due;
  for (const auto& [key, t] : timers_)
    if (t.due <= now_) due.emplace_back(key, t);
  std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
    return a.second.due != b.second.due ? a.second.due < b.second.due : a.second.seq < b.second.seq;
  });
  for (const auto& [key, t] : due) {
    auto it = timers_.find(key);
    // Killed or re-armed by an earlier handler of this pass: not due any more.
    if (it == timers_.end() || it->second.seq != t.seq) continue;
    it->second.due = now_ + it->second.interval;
    Window* w = const_cast<Window*>(key.first);
    if (app_) app_->FlushRefresh();
    w->OnTimer(key.second);
  }
}

void TestHost::Advance(std::int64_t ms) {
  const std::int64_t target = now_ + std::max<std::int64_t>(ms, 0);
  for (;;) {
    Pump();
    std::int64_t next = target + 1;
    for (const auto& [key, t] : timers_) next = std::min(next, t.due);
    if (next > target) break;
    now_ = std::max(now_, next);
    FireDue();
  }
  now_ = target;
  Pump();
}

void TestHost::Pump() {
  if (!app_) return;
  // Work queued by the work that runs is taken in the next round; a bound
  // keeps a worker that never stops posting from holding the test here.
  for (int round = 0; round < 1000; ++round) {
    if (app_->dispatcher().RunPending() == 0) break;
  }
  app_->FlushRefresh();
  FireDue();
}

bool TestHost::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    Pump();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (app_) app_->dispatcher().WaitForWork(std::chrono::milliseconds(20));
  }
}

void TestHost::ProcessEvents() {
  if (app_) app_->FlushRefresh();
  FireDue();
}

void TestHost::Refresh(Control& c, std::uint32_t changes) {
  // Takes what a real host takes, so the list starts afresh as after showing.
  if (auto* l = dynamic_cast<ReportList*>(&c); l && (changes & kChangeRows)) l->TakeRowChanges();
  ++refresh_counts_[&c];
  ++total_refreshes_;
}

int TestHost::refreshes(const Control& c) const {
  auto it = refresh_counts_.find(&c);
  return it == refresh_counts_.end() ? 0 : it->second;
}

void TestHost::WindowCreated(Window& w) { windows_.push_back(&w); }

void TestHost::WindowDestroyed(Window& w) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), &w), windows_.end());
  for (auto it = timers_.begin(); it != timers_.end();) {
    it = it->first.first == &w ? timers_.erase(it) : std::next(it);
  }
  for (auto& c : w.controls()) refresh_counts_.erase(c.get());
}

Dialog* TestHost::FindDialog(std::string_view caption) const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if ((*it)->kind() == WindowKind::Dialog && (*it)->Caption() == caption) return static_cast<Dialog*>(*it);
  }
  return nullptr;
}

namespace {
template <class T>
T* Reachable(Window& w, int id) {
  T* c = w.ItemAs<T>(id);
  return c && c->Visible() && c->Enabled() ? c : nullptr;
}
}  // namespace

bool TestHost::Click(Window& w, int id) {
  auto* b = Reachable<Button>(w, id);
  if (!b) return false;
  w.UserFocus(id);
  b->UserClick();
  Pump();
  return true;
}

bool TestHost::Type(Window& w, int id, std::string_view text) {
  auto* e = Reachable<Edit>(w, id);
  if (!e || e->ReadOnly()) return false;
  w.UserFocus(id);
  e->UserType(text);
  Pump();
  return true;
}

bool TestHost::Select(Window& w, int id, int index) {
  if (auto* cb = Reachable<ComboBox>(w, id)) {
    w.UserFocus(id);
    cb->UserSelect(index);
  } else if (auto* t = Reachable<Tree>(w, id)) {
    w.UserFocus(id);
    t->UserSelect(index);
  } else {
    return false;
  }
  Pump();
  return true;
}

bool TestHost::DropDown(Window& w, int id) {
  auto* cb = Reachable<ComboBox>(w, id);
  if (!cb) return false;
  w.UserFocus(id);
  cb->UserDropDown();
  Pump();
  return true;
}

bool TestHost::ClickRow(Window& w, int id, int row, bool ctrl) {
  auto* l = Reachable<ReportList>(w, id);
  if (!l) return false;
  w.UserFocus(id);
  l->UserClickRow(row, ctrl);
  Pump();
  return true;
}

bool TestHost::ClickHeader(Window& w, int id, int column) {
  auto* l = Reachable<ReportList>(w, id);
  if (!l) return false;
  l->UserClickHeader(column);
  Pump();
  return true;
}

bool TestHost::SetDate(Window& w, int id, const DateTime& v) {
  auto* p = Reachable<DateTimePicker>(w, id);
  if (!p) return false;
  w.UserFocus(id);
  p->UserSetValue(v);
  Pump();
  return true;
}

void TestHost::PressEnter(Window& w) {
  if (w.kind() == WindowKind::Dialog) static_cast<Dialog&>(w).PressEnter();
  Pump();
}

void TestHost::PressEscape(Window& w) {
  if (w.kind() == WindowKind::Dialog) static_cast<Dialog&>(w).PressEscape();
  Pump();
}

}  // namespace ui
