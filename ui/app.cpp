#include "ui/app.h"

#include <algorithm>

#include "ui/controls.h"
#include "ui/window.h"

namespace ui {

std::optional<std::vector<FileFilter>> ParseFileFilter(std::string_view filter) {
  std::vector<FileFilter> out;
  // The list ends at the first "||" (the double terminator); one trailing
  // '|' closes the last pattern part.
  if (auto end = filter.find("||"); end != std::string_view::npos) filter = filter.substr(0, end);
  if (!filter.empty() && filter.back() == '|') filter.remove_suffix(1);
  if (filter.empty()) return out;
  std::vector<std::string_view> parts;
  for (std::size_t pos = 0;;) {
    std::size_t bar = filter.find('|', pos);
    parts.push_back(filter.substr(pos, bar == std::string_view::npos ? std::string_view::npos : bar - pos));
    if (bar == std::string_view::npos) break;
    pos = bar + 1;
  }
  if (parts.size() % 2 != 0) return std::nullopt;
  auto trim = [](std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  };
  for (std::size_t i = 0; i < parts.size(); i += 2) {
    FileFilter f;
    f.description = std::string(parts[i]);
    if (trim(parts[i]).empty()) return std::nullopt;
    std::string_view pats = parts[i + 1];
    for (std::size_t pos = 0;;) {
      std::size_t semi = pats.find(';', pos);
      std::string_view p = trim(pats.substr(pos, semi == std::string_view::npos ? std::string_view::npos : semi - pos));
      if (p.empty()) return std::nullopt;
      f.patterns.emplace_back(p);
      if (semi == std::string_view::npos) break;
      pos = semi + 1;
    }
    out.push_back(std::move(f));
  }
  return out;
}

std::string FormatFileFilter(const std::vector<FileFilter>& filters) {
  std::string out;
  for (const FileFilter& f : filters) {
    out += f.description;
    out += '|';
    for (std::size_t i = 0; i < f.patterns.size(); ++i) {
      if (i > 0) out += ';';
      out += f.patterns[i];
    }
    out += '|';
  }
  out += '|';
  return out;
}

App::App(Host& host) : host_(host) {
  dispatcher_.SetWake([this] { host_.Wake(); });
  host_.Attach(*this);
}

App::~App() { dispatcher_.Shutdown(); }

int App::MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned type) {
  int result = (type & MB_BUTTONMASK) == MB_YESNO ? IDNO : IDCANCEL;
  auto show = [&] {
    FlushRefresh();
    result = host_.ShowMessageBox(owner, text, caption, type);
  };
  if (OnUiThread()) {
    show();
  } else {
    dispatcher_.Send(show);
  }
  return result;
}

std::optional<std::vector<std::string>> App::FileDialog(Window* owner, const FileDialogSpec& spec) {
  std::optional<std::vector<std::string>> result;
  auto show = [&] {
    FlushRefresh();
    result = host_.ShowFileDialog(owner, spec);
  };
  if (OnUiThread()) {
    show();
  } else {
    dispatcher_.Send(show);
  }
  return result;
}

void App::PumpMessages() {
  if (!OnUiThread()) return;
  dispatcher_.RunPending();
  host_.ProcessEvents();
}

void App::BeginWaitCursor() {
  if (wait_count_.fetch_add(1) == 0) {
    dispatcher_.Post([this] { host_.SetWaitCursor(WaitCursorShown()); });
  }
}

void App::EndWaitCursor() {
  int before = wait_count_.load();
  // Never below zero: an unmatched End is ignored.
  while (before > 0 && !wait_count_.compare_exchange_weak(before, before - 1)) {
  }
  if (before == 1) {
    dispatcher_.Post([this] { host_.SetWaitCursor(WaitCursorShown()); });
  }
}

void App::MarkDirty(Control* c) {
  bool post = false;
  {
    std::lock_guard lock(dirty_mu_);
    if (std::find(dirty_.begin(), dirty_.end(), c) == dirty_.end()) dirty_.push_back(c);
    if (!flush_posted_) {
      flush_posted_ = true;
      post = true;
    }
  }
  if (post) dispatcher_.Post([this] { FlushRefresh(); });
}

void App::ForgetDirty(Control* c) {
  std::lock_guard lock(dirty_mu_);
  dirty_.erase(std::remove(dirty_.begin(), dirty_.end(), c), dirty_.end());
}

void App::FlushRefresh() {
  std::vector<Control*> batch;
  {
    std::lock_guard lock(dirty_mu_);
    batch.swap(dirty_);
    flush_posted_ = false;
  }
  for (Control* c : batch) {
    std::uint32_t changes = c->TakeChanges();
    if (changes != 0 && c->owner().created()) host_.Refresh(*c, changes);
  }
}

void App::AddWindow(Window* w) { windows_.push_back(w); }

void App::RemoveWindow(Window* w) { windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end()); }

}  // namespace ui
