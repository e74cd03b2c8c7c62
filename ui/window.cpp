#include "ui/window.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>

#include "ui/ddx.h"

namespace ui {

namespace {
// Runs fn on the user-interface thread, waiting when called elsewhere.
void OnUi(App& app, const std::function<void()>& fn) {
  if (app.OnUiThread()) {
    fn();
  } else {
    app.dispatcher().Send(fn);
  }
}
}  // namespace

// ---------------------------------------------------------------- Window

Window::Window(App& app, WindowKind kind, std::string caption, Rect size)
    : app_(app), kind_(kind), size_(size), caption_(std::move(caption)) {}

Window::~Window() {
  if (created_) {
    // Too late for the derived OnDestroy; take the window out of the host.
    created_ = false;
    app_.RemoveWindow(this);
    app_.host().WindowDestroyed(*this);
  }
}

Control& Window::Add(const ControlSpec& spec) {
  std::unique_ptr<Control> c;
  switch (spec.kind) {
    case ControlKind::Static:
    case ControlKind::GroupBox:
      c = std::make_unique<Static>(*this, spec);
      break;
    case ControlKind::Edit:
    case ControlKind::TextBox:
      c = std::make_unique<Edit>(*this, spec);
      break;
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::Radio:
      c = std::make_unique<Button>(*this, spec);
      break;
    case ControlKind::ComboBox:
    case ControlKind::ListBox:
      c = std::make_unique<ComboBox>(*this, spec);
      break;
    case ControlKind::ReportList:
      c = std::make_unique<ReportList>(*this, spec);
      break;
    case ControlKind::Tree:
      c = std::make_unique<Tree>(*this, spec);
      break;
    case ControlKind::DateTime:
      c = std::make_unique<DateTimePicker>(*this, spec);
      break;
    case ControlKind::Spin:
      c = std::make_unique<Spin>(*this, spec);
      break;
    case ControlKind::Progress:
      c = std::make_unique<Progress>(*this, spec);
      break;
  }
  controls_.push_back(std::move(c));
  return *controls_.back();
}

Static& Window::AddStatic(int id, std::string caption, Rect r, std::uint32_t style) {
  return static_cast<Static&>(Add({ControlKind::Static, id, std::move(caption), r, style}));
}
Static& Window::AddGroupBox(int id, std::string caption, Rect r, std::uint32_t style) {
  return static_cast<Static&>(Add({ControlKind::GroupBox, id, std::move(caption), r, style}));
}
Edit& Window::AddEdit(int id, Rect r, std::uint32_t style) {
  return static_cast<Edit&>(Add({ControlKind::Edit, id, {}, r, style}));
}
Edit& Window::AddTextBox(int id, Rect r, std::uint32_t style) {
  return static_cast<Edit&>(Add({ControlKind::TextBox, id, {}, r, style | kMultiline}));
}
Button& Window::AddButton(int id, std::string caption, Rect r, std::uint32_t style) {
  return static_cast<Button&>(Add({ControlKind::Button, id, std::move(caption), r, style}));
}
Button& Window::AddCheckBox(int id, std::string caption, Rect r, std::uint32_t style) {
  return static_cast<Button&>(Add({ControlKind::CheckBox, id, std::move(caption), r, style}));
}
Button& Window::AddRadio(int id, std::string caption, Rect r, std::uint32_t style) {
  return static_cast<Button&>(Add({ControlKind::Radio, id, std::move(caption), r, style}));
}
ComboBox& Window::AddComboBox(int id, Rect r, std::uint32_t style) {
  return static_cast<ComboBox&>(Add({ControlKind::ComboBox, id, {}, r, style}));
}
ComboBox& Window::AddListBox(int id, Rect r, std::uint32_t style) {
  return static_cast<ComboBox&>(Add({ControlKind::ListBox, id, {}, r, style | kDropDownList}));
}
ReportList& Window::AddReportList(int id, Rect r, std::uint32_t style) {
  return static_cast<ReportList&>(Add({ControlKind::ReportList, id, {}, r, style}));
}
Tree& Window::AddTree(int id, Rect r, std::uint32_t style) {
  return static_cast<Tree&>(Add({ControlKind::Tree, id, {}, r, style}));
}
DateTimePicker& Window::AddDateTime(int id, Rect r, std::uint32_t style) {
  return static_cast<DateTimePicker&>(Add({ControlKind::DateTime, id, {}, r, style}));
}
Spin& Window::AddSpin(int id, Rect r, std::uint32_t style) {
  return static_cast<Spin&>(Add({ControlKind::Spin, id, {}, r, style}));
}
Progress& Window::AddProgress(int id, Rect r, std::uint32_t style) {
  return static_cast<Progress&>(Add({ControlKind::Progress, id, {}, r, style}));
}

Control* Window::Item(int id) {
  for (auto& c : controls_)
    if (c->id() == id) return c.get();
  return nullptr;
}

void Window::MissingControl(int id) const {
  std::fprintf(stderr, "ui: window \"%s\" has no control %d of the asked kind\n", Caption().c_str(), id);
  std::abort();
}

std::vector<Button*> Window::RadioGroup(int id) {
  std::vector<Button*> group;
  std::size_t at = controls_.size();
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i]->id() == id) {
      at = i;
      break;
    }
  }
  if (at == controls_.size()) return group;
  std::size_t start = at;
  while (start > 0 && !controls_[start]->HasStyle(kGroup)) --start;
  for (std::size_t i = start; i < controls_.size(); ++i) {
    if (i > start && controls_[i]->HasStyle(kGroup)) break;
    if (controls_[i]->kind() == ControlKind::Radio) group.push_back(static_cast<Button*>(controls_[i].get()));
  }
  return group;
}

void Window::On(int id, Notify code, Handler handler) { handlers_.emplace(std::make_pair(id, code), std::move(handler)); }

void Window::On(int id, Notify code, std::function<void()> handler) {
  On(id, code, Handler([h = std::move(handler)](const NotifyInfo&) { h(); }));
}

bool Window::Dispatch(const NotifyInfo& info) {
  assert(app_.OnUiThread());
  auto [b, e] = handlers_.equal_range(std::make_pair(info.id, info.code));
  if (b == e) return false;
  // Copies, so that a handler may rebind or destroy what it came from.
  std::vector<Handler> run;
  for (auto it = b; it != e; ++it) run.push_back(it->second);
  for (auto& h : run) h(info);
  return true;
}

std::string Window::Caption() const {
  std::lock_guard lock(caption_mu_);
  return caption_;
}

void Window::SetCaption(std::string caption) {
  OnUi(app_, [&] {
    {
      std::lock_guard lock(caption_mu_);
      caption_ = std::move(caption);
    }
    if (created_) app_.host().WindowChanged(*this);
  });
}

void Window::Show(bool visible) {
  OnUi(app_, [&] {
    visible_ = visible;
    if (created_) app_.host().WindowChanged(*this);
  });
}

void Window::SetFocus(int id) {
  OnUi(app_, [&] {
    focus_ = id;
    // Refreshed through the control so that the host moves the focus.
    if (Control* c = Item(id)) c->Touch(kChangeFocus);
  });
}

void Window::SetTimer(unsigned id, unsigned interval_ms) {
  OnUi(app_, [&] {
    assert(created_ && "SetTimer needs a created window");
    if (created_) app_.host().SetTimer(*this, id, interval_ms);
  });
}

void Window::KillTimer(unsigned id) {
  OnUi(app_, [&] {
    if (created_) app_.host().KillTimer(*this, id);
  });
}

void Window::OnTimer(unsigned) {}

void Window::CreateInHost(Window* parent) {
  assert(app_.OnUiThread());
  parent_ = parent;
  created_ = true;
  app_.AddWindow(this);
  app_.host().WindowCreated(*this);
}

void Window::Destroy() {
  OnUi(app_, [&] {
    if (!created_) return;
    OnDestroy();
    created_ = false;
    app_.RemoveWindow(this);
    app_.host().WindowDestroyed(*this);
  });
}

// ---------------------------------------------------------------- Dialog

Dialog::Dialog(App& app, std::string caption, Rect size) : Window(app, WindowKind::Dialog, std::move(caption), size) {}

int Dialog::DoModal(Window* parent) {
  int result = IDCANCEL;
  OnUi(app(), [&] {
    if (created()) return;  // already shown
    modal_ = true;
    ended_ = false;
    result_ = IDCANCEL;
    CreateInHost(parent);
    UpdateData(false);
    OnInitDialog();
    if (!ended_) {
      app().FlushRefresh();
      app().host().RunModal(*this);
    }
    Destroy();
    modal_ = false;
    result = result_;
  });
  return result;
}

bool Dialog::Create(Window* parent) {
  bool ok = false;
  OnUi(app(), [&] {
    if (created()) return;
    modal_ = false;
    ended_ = false;
    CreateInHost(parent);
    UpdateData(false);
    OnInitDialog();
    ok = created();
  });
  return ok;
}

void Dialog::EndDialog(int result) {
  OnUi(app(), [&] {
    result_ = result;
    ended_ = true;
    if (!created()) return;
    if (modal_) {
      app().host().EndModal(*this);
    } else {
      Destroy();
    }
  });
}

bool Dialog::UpdateData(bool save_and_validate) {
  DataExchange dx(*this, save_and_validate);
  try {
    DoDataExchange(dx);
  } catch (const DataExchange::Failed&) {
    return false;
  }
  return true;
}

void Dialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

bool Dialog::Dispatch(const NotifyInfo& info) {
  if (Window::Dispatch(info)) return true;
  if (info.code != Notify::Clicked && info.code != Notify::Command) return false;
  if (info.id == IDOK) {
    OnOK();
    return true;
  }
  if (info.id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

void Dialog::PressEnter() {
  assert(app().OnUiThread());
  Control* focus = Item(Focus());
  if (focus && focus->kind() == ControlKind::Edit && focus->HasStyle(kMultiline) && focus->HasStyle(kWantReturn)) {
    return;
  }
  if (focus && focus->kind() == ControlKind::Button && focus->Enabled() && focus->Visible()) {
    static_cast<Button*>(focus)->UserClick();
    return;
  }
  Control* def = nullptr;
  for (auto& c : controls())
    if (c->kind() == ControlKind::Button && c->HasStyle(kDefault)) def = c.get();
  if (!def) def = Item(IDOK);
  if (def) {
    if (def->Enabled() && def->Visible() && def->kind() == ControlKind::Button) static_cast<Button*>(def)->UserClick();
    return;
  }
  Dispatch(NotifyInfo{IDOK, Notify::Command});
}

void Dialog::PressEscape() {
  assert(app().OnUiThread());
  // A disabled cancel button (a progress window whose worker still runs)
  // keeps Escape from closing the dialog behind the worker's back.
  if (Control* cancel = Item(IDCANCEL); cancel && !cancel->Enabled()) return;
  Dispatch(NotifyInfo{IDCANCEL, Notify::Command});
}

// ---------------------------------------------------------------- FormView

FormView::FormView(App& app, Rect size) : Window(app, WindowKind::FormView, {}, size) {}

void FormView::CloseFrame() {
  MainFrame* f = frame_;
  if (!f) return;
  std::weak_ptr<bool> alive = f->alive_;
  app().dispatcher().Post([f, alive, v = this] {
    if (alive.lock()) f->CloseView(v);
  });
}

// ---------------------------------------------------------------- MainFrame

MainFrame::MainFrame(App& app, std::string caption)
    : Window(app, WindowKind::Frame, std::move(caption), Rect{}) {}

void MainFrame::Create() {
  if (!created()) CreateInHost(nullptr);
}

void MainFrame::SetMenu(std::vector<MenuItem> menu) {
  OnUi(app(), [&] {
    {
      std::lock_guard lock(mu_);
      menu_ = std::move(menu);
    }
    if (created()) app().host().WindowChanged(*this);
  });
}

std::vector<MenuItem> MainFrame::Menu() const {
  std::lock_guard lock(mu_);
  return menu_;
}

bool MainFrame::DeleteMenuItem(int popup, int pos) {
  bool ok = false;
  OnUi(app(), [&] {
    {
      std::lock_guard lock(mu_);
      if (popup < 0 || popup >= static_cast<int>(menu_.size())) return;
      auto& items = menu_[static_cast<std::size_t>(popup)].items;
      if (pos < 0 || pos >= static_cast<int>(items.size())) return;
      items.erase(items.begin() + pos);
      ok = true;
    }
    if (created()) app().host().WindowChanged(*this);
  });
  return ok;
}

void MainFrame::SetToolbar(std::vector<int> ids) {
  OnUi(app(), [&] {
    {
      std::lock_guard lock(mu_);
      toolbar_ = std::move(ids);
    }
    if (created()) app().host().WindowChanged(*this);
  });
}

std::vector<int> MainFrame::Toolbar() const {
  std::lock_guard lock(mu_);
  return toolbar_;
}

void MainFrame::SetCommandEnabled(int id, bool enabled) {
  OnUi(app(), [&] {
    {
      std::lock_guard lock(mu_);
      disabled_[id] = !enabled;
    }
    if (created()) app().host().WindowChanged(*this);
  });
}

bool MainFrame::CommandEnabled(int id) const {
  std::lock_guard lock(mu_);
  auto it = disabled_.find(id);
  return it == disabled_.end() || !it->second;
}

void MainFrame::SetCommandPrompt(std::function<std::string(int)> prompt) {
  std::lock_guard lock(mu_);
  prompt_ = std::move(prompt);
}

std::string MainFrame::CommandPrompt(int id) const {
  std::function<std::string(int)> p;
  {
    std::lock_guard lock(mu_);
    p = prompt_;
  }
  return p ? p(id) : std::string();
}

void MainFrame::ShowToolbar(bool shown) {
  OnUi(app(), [&] {
    {
      std::lock_guard lock(mu_);
      toolbar_shown_ = shown;
    }
    if (created()) app().host().WindowChanged(*this);
  });
}

bool MainFrame::ToolbarShown() const {
  std::lock_guard lock(mu_);
  return toolbar_shown_;
}

void MainFrame::ShowStatusBar(bool shown) {
  OnUi(app(), [&] {
    {
      std::lock_guard lock(mu_);
      status_shown_ = shown;
    }
    if (created()) app().host().WindowChanged(*this);
  });
}

bool MainFrame::StatusBarShown() const {
  std::lock_guard lock(mu_);
  return status_shown_;
}

void MainFrame::SetStatusText(std::string text) {
  {
    std::lock_guard lock(mu_);
    if (status_ == text) return;
    status_ = std::move(text);
  }
  // Shown by the user-interface thread; a worker does not wait for it.
  app().dispatcher().Post([this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.lock() && created()) app().host().WindowChanged(*this);
  });
}

std::string MainFrame::StatusText() const {
  std::lock_guard lock(mu_);
  return status_;
}

FormView* MainFrame::OpenView(std::unique_ptr<FormView> view, std::string title) {
  FormView* v = view.get();
  OnUi(app(), [&] {
    v->frame_ = this;
    v->SetCaption(std::move(title));
    views_.push_back(std::move(view));
    v->CreateInHost(this);
    v->OnInitialUpdate();
    ActivateView(v);
  });
  return v;
}

std::vector<FormView*> MainFrame::Views() const {
  std::vector<FormView*> out;
  for (auto& v : views_) out.push_back(v.get());
  return out;
}

void MainFrame::ActivateView(FormView* view) {
  OnUi(app(), [&] {
    if (std::none_of(views_.begin(), views_.end(), [&](auto& v) { return v.get() == view; })) return;
    active_ = view;
    if (created()) app().host().WindowChanged(*this);
  });
}

void MainFrame::CloseView(FormView* view) {
  OnUi(app(), [&] {
    auto it = std::find_if(views_.begin(), views_.end(), [&](auto& v) { return v.get() == view; });
    if (it == views_.end()) return;
    std::unique_ptr<FormView> doomed = std::move(*it);
    views_.erase(it);
    if (active_ == view) active_ = views_.empty() ? nullptr : views_.back().get();
    doomed->Destroy();
    doomed.reset();
    if (created()) app().host().WindowChanged(*this);
  });
}

void MainFrame::Arrange(MdiArrange how) {
  OnUi(app(), [&] {
    if (created()) app().host().Arrange(*this, how);
  });
}

bool MainFrame::Command(int id) {
  bool handled = false;
  OnUi(app(), [&] {
    if (!CommandEnabled(id)) return;
    NotifyInfo info{id, Notify::Command};
    if (active_ && active_->Dispatch(info)) {
      handled = true;
      return;
    }
    handled = Window::Dispatch(info);
  });
  return handled;
}

void MainFrame::OnDestroy() {
  while (!views_.empty()) CloseView(views_.back().get());
}

}  // namespace ui
