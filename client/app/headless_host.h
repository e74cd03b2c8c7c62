// A host for runs without a person at the screen (no display, or the
// offscreen platform of the test runs): windows, timers and controls go to
// the inner host, but what would wait for a person does not wait. A message
// box is written to standard error as "caption: text" and answered with OK
// when that is its only button, else with No or Cancel (nobody agreed); a modal dialog is written as "caption: (dialog)" and ended
// with IDCANCEL; a file dialog is cancelled.
#pragma once

#include "ui/app.h"

class CHeadlessHost : public ui::Host {
 public:
  explicit CHeadlessHost(ui::Host& inner) : inner_(inner) {}

  void Attach(ui::App& app) override { inner_.Attach(app); }
  void WindowCreated(ui::Window& w) override { inner_.WindowCreated(w); }
  void WindowDestroyed(ui::Window& w) override { inner_.WindowDestroyed(w); }
  void WindowChanged(ui::Window& w) override { inner_.WindowChanged(w); }
  void RunModal(ui::Dialog& dlg) override;
  void EndModal(ui::Dialog&) override {}
  int ShowMessageBox(ui::Window* owner, std::string_view text, std::string_view caption, unsigned type) override;
  std::optional<std::vector<std::string>> ShowFileDialog(ui::Window*, const ui::FileDialogSpec&) override {
    return std::nullopt;
  }
  void SetTimer(ui::Window& w, unsigned id, unsigned interval_ms) override { inner_.SetTimer(w, id, interval_ms); }
  void KillTimer(ui::Window& w, unsigned id) override { inner_.KillTimer(w, id); }
  void Refresh(ui::Control& c, std::uint32_t changes) override { inner_.Refresh(c, changes); }
  void SetWaitCursor(bool on) override { inner_.SetWaitCursor(on); }
  void Arrange(ui::Window& frame, ui::MdiArrange how) override { inner_.Arrange(frame, how); }
  void ProcessEvents() override { inner_.ProcessEvents(); }
  void Wake() override { inner_.Wake(); }

 private:
  ui::Host& inner_;
};
